// SetupController: the setup dialog ("Quillon Setup") without its window.
// It holds what the controls show and carries out everything the dialog
// does; a window only binds its widgets to it:
//
//   text boxes            MappingsDirectory / SetMappingsDirectory, and the
//                         same for the logging and working directories
//   "Enable Logging"      EnableLogging / ClickEnableLogging, with
//                         LoggingControlsEnabled for the logging directory's
//                         text box and browse button
//   the two options       EdiOutput / SelectEdiOutput
//   three browse buttons  Browse(box)
//   "Load Mappings"       LoadMappings (the window shows the wait cursor)
//   OK, Cancel, close box RecordClosingButton, then OnCloseRequest when the
//                         window is asked to close (or RequestClose for both):
//                         true lets it close; after a refusal FocusRequest
//                         names the text box to focus
//   Help, F1              ShowHelp(caption of the current tab)
//   three editor tabs     the MappingsEditor objects given to the constructor
//
// Every message goes through MsgBox (title "Quillon", whatever the caller
// passes) to platform::CurrentMessageBoxService(); the folder checks of
// release/file_routines.h ask their questions through the same service.
// Log lines go to GlobalLogger(), which the setup script starts.
//
// Loading (ShowForm): the five custom properties fill the controls, and the
// three mapping files of the mappings directory fill the editors ("<FieldMappings/>"
// for a file that does not exist). The load stops at the first property the
// host does not have, so a batch class never saved opens with empty controls.
//
// Saving (SaveSettings, run when OK closes the dialog), in this order:
//   1. ValidateDirectories; 2./3. the editors' changes: ask before overwriting
//   the mapping files, or (no changes) reload the editors from the typed
//   directory, refusing when a file is missing or invalid; 4./5. refuse when
//   a mapping file is read-only; 6./7. replace the custom properties with the
//   five settings; 8. write the editors into the mapping files (a file that
//   an unedited editor was loaded from is left as it is); 9. add the host
//   links that are missing; 10. report what was saved; 11. Apply.
// A save refused in steps 1 to 5 writes nothing (a directory the
// administrator agreed to create in step 1 stays created).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/host_setup_data.h"
#include "mapping/conditional_mappings.h"
#include "platform/os_services.h"
#include "quillon_export.h"
#include "release/batch_state.h"
#include "setup/document_opener.h"
#include "setup/folder_picker.h"
#include "setup/mapping_storage.h"
#include "setup/mappings_editor.h"
#include "setup/setup_settings.h"

namespace quillon {

class QUILLON_API SetupController {
 public:
  static constexpr std::string_view kCaption = "Quillon Setup";
  // The title of every message the dialog shows.
  static constexpr std::string_view kMessageTitle = "Quillon";
  // The tab captions, in order; "&" marks the access key.
  static constexpr std::array<std::string_view, 4> kTabCaptions = {
      "&General", "D&ata Mappings", "Fiel&d Mappings", "Outp&ut Data"};

  // The text boxes that can take the focus after a refused check.
  enum class DirectoryBox { kNone, kMappings, kLogging, kWorking };
  // The button that asked the window to close.
  enum class ClosingButton { kNone, kOk, kCancel };

  struct DirectoryCheck {
    bool valid = true;
    DirectoryBox focus = DirectoryBox::kNone;  // the box of the failed check
  };

  // The editors of the three tabs (data translation, field mappings, output
  // data), the folder picker and the document opener stay owned by the
  // caller and must outlive the controller.
  SetupController(MappingsEditor& dataEditor, MappingsEditor& fieldEditor,
                  MappingsEditor& outputEditor, FolderPicker& folderPicker,
                  DocumentOpener& documentOpener);
  ~SetupController();
  SetupController(const SetupController&) = delete;
  SetupController& operator=(const SetupController&) = delete;

  // ---- loading and saving -----------------------------------------------

  // Keeps the setup data, loads the controls and editors from it
  // (LoadFromHost) and clears the changed flag. Failures are logged.
  void ShowForm(HostSetupData& setupData);
  // Fills the controls from the custom properties and the editors from the
  // mapping files; stops, logged, at the first failure.
  void LoadFromHost();
  // Reloads the three editors from the files of the mappings directory typed
  // in the dialog, which is also handed back. False (logged) on a failure,
  // such as a file that is not a valid mapping-class document.
  bool ReloadEditors(std::string& mappingsDirectory);
  // Writes the three editors' documents into their files, in level order;
  // a failure shows "Can't save the mapping files" and abandons the rest.
  // A file is left as it is when its editor was not edited and was loaded
  // from that very file: rewriting it would change nothing but drop its
  // comments and layout.
  void SaveEditorsToFiles();
  // Adds a link (name, type, name) for every batch field that no link has
  // as its source (type 3), every index field whose first link by source
  // has another destination or that has none (type 0), and every host
  // variable (type 2, always). A failure is logged and ends the step.
  void AddUnlinkedFields();
  // Shows the links and then the custom properties that were saved.
  void ReportSaved();
  // The whole save; true lets the dialog close.
  bool SaveSettings();

  // ---- the controls --------------------------------------------------------

  const SetupSettings& Settings() const noexcept { return settings_; }
  const std::string& MappingsDirectory() const noexcept { return settings_.mappingsDirectory; }
  const std::string& LoggingDirectory() const noexcept { return settings_.loggingDirectory; }
  const std::string& WorkingDirectory() const noexcept { return settings_.workingDirectory; }
  bool EnableLogging() const noexcept { return settings_.enableLogging; }
  EdiOutputMode EdiOutput() const noexcept { return settings_.ediOutput; }

  // Edits of the text boxes: a new text sets the changed flag.
  void SetMappingsDirectory(std::string_view text);
  void SetLoggingDirectory(std::string_view text);
  void SetWorkingDirectory(std::string_view text);
  void SetDirectory(DirectoryBox box, std::string_view text);
  const std::string& Directory(DirectoryBox box) const;
  // A click on the check box that leaves it in state `on`: sets the changed
  // flag and updates the logging controls.
  void ClickEnableLogging(bool on);
  // A click on an option button (kNone: the window cleared both): sets the
  // changed flag.
  void SelectEdiOutput(EdiOutputMode mode);

  // The dialog's own changed flag.
  bool Changed() const noexcept { return changed_; }
  // The changed flag, or any editor's.
  bool Dirty() const;

  // The logging directory's text box and browse button are enabled exactly
  // when the check box is on. Runs when the window opens and on each click.
  void UpdateLoggingControls() noexcept { loggingControlsEnabled_ = settings_.enableLogging; }
  bool LoggingControlsEnabled() const noexcept { return loggingControlsEnabled_; }

  // ---- checks -----------------------------------------------------------------

  // The mappings directory must be usable (never created here); the logging
  // directory too when logging is on, and the working directory when it is
  // not empty (both may be created after asking). The first failure shows
  // its message and names the box to focus, also in FocusRequest.
  DirectoryCheck ValidateDirectories();
  // The box to focus after the last refused check (kNone after a good one).
  DirectoryBox FocusRequest() const noexcept { return focusRequest_; }

  // ---- closing ----------------------------------------------------------------

  void RecordClosingButton(ClosingButton button) noexcept { closingButton_ = button; }
  ClosingButton RecordedClosingButton() const noexcept { return closingButton_; }
  // The window is asked to close: after OK the save decides, otherwise
  // ConfirmDiscard. The recorded button is reset either way, so a refused OK
  // followed by the close box counts as a cancel. True: close.
  bool OnCloseRequest();
  // RecordClosingButton (unless kNone, the close box) and OnCloseRequest.
  bool RequestClose(ClosingButton button);
  // True when nothing was changed, or the administrator agrees to lose the
  // changes.
  bool ConfirmDiscard();

  // ---- help, folders, mappings, messages ------------------------------------

  // The help page of a tab: the library's folder, then
  // "\Documentation\Help\Quillon\Quillon_help", then the tab's page
  // ("\c_generaltab.html", ...); a caption without a page gives the help
  // base itself.
  static std::string HelpPath(std::string_view tabCaption);
  // Opens HelpPath through the document opener; a failure is logged.
  void ShowHelp(std::string_view tabCaption);
  // The browse button of a box: the chosen folder replaces the box's text;
  // a cancelled choice changes nothing. Failures are logged. A path cut at
  // its first NUL character; one longer than 260 characters is refused.
  void Browse(DirectoryBox box);
  // The "Load Mappings" button: reloads the editors from the typed directory
  // and says whether the files were missing, loaded or invalid.
  void LoadMappings();
  // Shows a message with the title "Quillon" (`title` is ignored) and
  // returns the button pressed.
  platform::MessageAnswer MsgBox(std::string_view prompt, platform::MessageButtons buttons,
                                 platform::MessageIcon icon, std::string_view title = {});

  // ---- state beside the controls --------------------------------------------

  HostSetupData* SetupData() const noexcept { return setupData_; }
  // Holds the three mapping file paths of the last load or save.
  const BatchState& Batch() const noexcept { return batch_; }
  MappingsEditor& Editor(MappingLevel level) const noexcept;
  const marrow::ConditionalMappings& Mappings(MappingLevel level) const noexcept;

 private:
  void SetFilePaths(std::string_view mappingsDirectory);
  const std::string& FilePath(MappingLevel level) const noexcept;
  void LoadEditorsFromFiles();
  void HandSetupDataTo(MappingsEditor& editor);

  SetupSettings settings_;
  bool changed_ = false;
  bool loggingControlsEnabled_ = false;
  ClosingButton closingButton_ = ClosingButton::kNone;
  DirectoryBox focusRequest_ = DirectoryBox::kNone;
  HostSetupData* setupData_ = nullptr;
  std::array<MappingsEditor*, 3> editors_;
  std::array<marrow::ConditionalMappings, 3> mappings_;
  // The file each editor was last loaded from ("" for an empty document).
  std::array<std::string, 3> loadedFrom_;
  BatchState batch_;
  FolderPicker& folderPicker_;
  DocumentOpener& documentOpener_;
};

}  // namespace quillon
