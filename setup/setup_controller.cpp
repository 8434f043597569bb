#include "setup/setup_controller.h"

#include <exception>
#include <unordered_map>

#include "platform/error.h"
#include "platform/text.h"
#include "release/custom_properties.h"
#include "release/file_routines.h"
#include "release/global_logger.h"
#include "release/library_location.h"

namespace quillon {

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

// The longest path the folder picker hands back.
constexpr std::size_t kMaxPathCharacters = 260;
constexpr int kBadFileName = 52;

void LogTrace(std::string_view text, std::int32_t level = 2) {
  GlobalLogger().LogText(text, level, 1);
}

void LogFailure(std::string_view procedure, const platform::Error& e, bool helpContext) {
  GlobalLogger().LogError(procedure, helpContext ? std::to_string(e.HelpContext()) : e.Source(),
                          e.Description());
}

// Anything else that escapes (out of memory, a host that throws its own
// exceptions) is handled like the platform's errors.
platform::Error AsError(const std::exception& e, std::string_view source) {
  return platform::Error(51, std::string(source), e.what());  // 51: internal error
}

// 91: "Object variable or With block variable not set".
HostSetupData& Required(HostSetupData* setupData, const char* source) {
  if (setupData == nullptr) platform::Raise(91, source, "The dialog has no setup data");
  return *setupData;
}

std::string PropertyValue(HostSetupData& setupData, std::string_view name) {
  return setupData.CustomProperties().Item(name).Value;
}

}  // namespace

SetupController::SetupController(MappingsEditor& dataEditor, MappingsEditor& fieldEditor,
                                 MappingsEditor& outputEditor, FolderPicker& folderPicker,
                                 DocumentOpener& documentOpener)
    : editors_{&dataEditor, &fieldEditor, &outputEditor},
      folderPicker_(folderPicker),
      documentOpener_(documentOpener) {}

SetupController::~SetupController() = default;

MappingsEditor& SetupController::Editor(MappingLevel level) const noexcept {
  return *editors_[static_cast<std::size_t>(level)];
}

const marrow::ConditionalMappings& SetupController::Mappings(MappingLevel level) const noexcept {
  return mappings_[static_cast<std::size_t>(level)];
}

// ---------------------------------------------------------------- loading

void SetupController::ShowForm(HostSetupData& setupData) {
  try {
    LogTrace("ShowForm: Setting Setupdata");
    setupData_ = &setupData;
    LogTrace("ShowForm: LoadXMLMappingFromHalvo");
    LoadFromHost();
    changed_ = false;
  } catch (const platform::Error& e) {
    LogFailure("ShowForm", e, false);
  } catch (const std::exception& e) {
    LogFailure("ShowForm", AsError(e, "ShowForm"), false);
  }
}

void SetupController::LoadFromHost() {
  try {
    HostSetupData& data = Required(setupData_, "LoadXMLMappingFromHalvo");
    LogTrace("Loading general tab " + PropertyValue(data, kMappingsDirectoryProperty));
    SetMappingsDirectory(PropertyValue(data, kMappingsDirectoryProperty));
    SetLoggingDirectory(PropertyValue(data, kLoggingDirectoryProperty));
    SetWorkingDirectory(PropertyValue(data, kWorkingDirectoryProperty));
    SelectEdiOutput(EdiOutputFromText(PropertyValue(data, kEdiOutputProperty)));
    // Read as the release reads it ("1", "0", "True", "false", ...), so the
    // check box shows what a release would do.
    ClickEnableLogging(TextToBoolean(PropertyValue(data, kEnableLoggingProperty)));
    LogTrace("Loading Quillon Controls ");
    for (MappingsEditor* editor : editors_) {
      HandSetupDataTo(*editor);
      editor->SetFirstFieldList(batch_.editorFields);
    }
    std::string mappingsDirectory;
    if (CustomPropertyExists(data.CustomProperties(), kMappingsDirectoryProperty)) {
      mappingsDirectory = PropertyValue(data, kMappingsDirectoryProperty);
      SetMappingsDirectory(mappingsDirectory);
      LogTrace("Mappings Directory " + mappingsDirectory);
    }
    SetFilePaths(mappingsDirectory);
    LoadEditorsFromFiles();
  } catch (const platform::Error& e) {
    LogFailure("LoadXMLMappingFromHalvo", e, true);
  } catch (const std::exception& e) {
    LogFailure("LoadXMLMappingFromHalvo", AsError(e, "LoadXMLMappingFromHalvo"), true);
  }
}

bool SetupController::ReloadEditors(std::string& mappingsDirectory) {
  try {
    mappingsDirectory = settings_.mappingsDirectory;
    SetFilePaths(mappingsDirectory);
    LoadEditorsFromFiles();
    for (MappingLevel level : {MappingLevel::kData, MappingLevel::kField}) {
      MappingsEditor& editor = Editor(level);
      HandSetupDataTo(editor);
      editor.SetFirstFieldList(batch_.editorFields);
      editor.SetSecondFieldList(batch_.editorFields);
    }
    HandSetupDataTo(Editor(MappingLevel::kOutput));
    Editor(MappingLevel::kOutput).SetFirstFieldList(batch_.editorFields);
    return true;
  } catch (const platform::Error& e) {
    LogFailure("LoadXMLMappingFromForm", e, true);
  } catch (const std::exception& e) {
    LogFailure("LoadXMLMappingFromForm", AsError(e, "LoadXMLMappingFromForm"), true);
  }
  return false;
}

void SetupController::SetFilePaths(std::string_view mappingsDirectory) {
  batch_.dataMappingsFile = MappingFilePath(mappingsDirectory, MappingLevel::kData);
  batch_.fieldMappingsFile = MappingFilePath(mappingsDirectory, MappingLevel::kField);
  batch_.outputMappingsFile = MappingFilePath(mappingsDirectory, MappingLevel::kOutput);
  LogTrace(" mstrDataMappingsFile : " + batch_.dataMappingsFile);
}

const std::string& SetupController::FilePath(MappingLevel level) const noexcept {
  switch (level) {
    case MappingLevel::kField:
      return batch_.fieldMappingsFile;
    case MappingLevel::kOutput:
      return batch_.outputMappingsFile;
    case MappingLevel::kData:
      break;
  }
  return batch_.dataMappingsFile;
}

void SetupController::LoadEditorsFromFiles() {
  for (MappingLevel level : kMappingLevels) {
    marrow::ConditionalMappings& mappings = mappings_[static_cast<std::size_t>(level)];
    const std::string& path = FilePath(level);
    std::string& loadedFrom = loadedFrom_[static_cast<std::size_t>(level)];
    loadedFrom.clear();
    if (MappingFileExists(path)) {
      mappings.LoadFromXMLFile(path);
      loadedFrom = path;
    } else {
      mappings.LoadFromXML(kEmptyMappingDocument);
    }
    MappingsEditor& editor = Editor(level);
    editor.SetMappingMode(true);
    editor.LoadFromXml(mappings.SaveXMLString());
    editor.SetVisible(true);
  }
}

void SetupController::HandSetupDataTo(MappingsEditor& editor) {
  HostSetupData* data = setupData_;
  editor.SetSetupData(data);
  if (data != nullptr) setupData_ = data;
}

// ---------------------------------------------------------------- saving

void SetupController::SaveEditorsToFiles() {
  try {
    for (MappingLevel level : kMappingLevels) {
      const std::size_t index = static_cast<std::size_t>(level);
      const std::string& path = FilePath(level);
      // An editor that was not edited and shows the file it was loaded from:
      // the file holds its document already. Writing it again would only
      // drop the comments and the layout the administrator gave the file.
      if (!Editor(level).Changed() && loadedFrom_[index] == path && MappingFileExists(path)) {
        continue;
      }
      mappings_[index].LoadFromXML(Editor(level).XmlText());
      mappings_[index].SaveXMLFile(path);
    }
  } catch (const platform::Error& e) {
    LogFailure("SaveXMLMappingFromHalvo", e, false);
    MsgBox("Can't save the mapping files", MessageButtons::kOk, MessageIcon::kInformation);
  } catch (const std::exception& e) {
    LogFailure("SaveXMLMappingFromHalvo", AsError(e, "SaveXMLMappingFromHalvo"), false);
    MsgBox("Can't save the mapping files", MessageButtons::kOk, MessageIcon::kInformation);
  }
}

void SetupController::AddUnlinkedFields() {
  try {
    HostSetupData& data = Required(setupData_, "AddUnlinkedDocAndBatchFields");
    HostLinks& links = data.Links();
    // The destination of the first link of each source, kept up to date as
    // links are added, so that each field costs one lookup.
    std::unordered_map<std::string, std::string> firstDestination;
    for (std::int32_t i = 1; i <= links.Count(); ++i) {
      const HostLink& link = links.Item(i);
      firstDestination.try_emplace(link.Source, link.Destination);
    }
    const auto add = [&](const std::string& name, std::int32_t type) {
      links.Add(name, type, name);
      firstDestination.try_emplace(name, name);
    };

    const HostNames& batchFields = data.BatchFields();
    for (std::int32_t i = 1; i <= batchFields.Count(); ++i) {
      const std::string& name = batchFields.Item(i);
      if (firstDestination.count(name) == 0) add(name, kSourceBatchField);
    }
    const HostNames& indexFields = data.IndexFields();
    for (std::int32_t i = 1; i <= indexFields.Count(); ++i) {
      const std::string& name = indexFields.Item(i);
      const auto first = firstDestination.find(name);
      if (first == firstDestination.end() || first->second != name) add(name, kSourceIndexField);
    }
    const HostNames& variables = data.HostVariables();
    for (std::int32_t i = 1; i <= variables.Count(); ++i) {
      add(variables.Item(i), kSourceHostVariable);
    }
  } catch (const platform::Error& e) {
    GlobalLogger().LogText(e.Description(), 0, 1);
  } catch (const std::exception& e) {
    GlobalLogger().LogText(e.what(), 0, 1);
  }
}

void SetupController::ReportSaved() {
  try {
    HostSetupData& data = Required(setupData_, "AlertUserToSystemStateSaved");
    HostLinks& links = data.Links();
    std::string linkText;
    for (std::int32_t i = 1; i <= links.Count(); ++i) {
      const HostLink& link = links.Item(i);
      linkText.append("\r\n").append("Source: ").append(link.Source);
      linkText.append(", Dest: ").append(link.Destination);
      linkText.append(", Type: ").append(std::to_string(link.SourceType));
    }
    MsgBox(std::string("Quillon Connector") + " has been updated!" + linkText, MessageButtons::kOk,
           MessageIcon::kInformation);

    HostSetupCustomProperties& properties = data.CustomProperties();
    std::string propertyText = std::string("Custom Properties Saved: ") + "\r\n";
    for (std::int32_t i = 1; i <= properties.Count(); ++i) {
      const HostCustomProperty& property = properties.Item(i);
      propertyText.append("\r\n").append("Name: ").append(property.Name);
      propertyText.append(", Value: ").append(property.Value);
    }
    MsgBox(propertyText, MessageButtons::kOk, MessageIcon::kInformation);
  } catch (const platform::Error& e) {
    LogFailure("AlertUserToSystemStateSaved", e, true);
  } catch (const std::exception& e) {
    LogFailure("AlertUserToSystemStateSaved", AsError(e, "AlertUserToSystemStateSaved"), true);
  }
}

bool SetupController::SaveSettings() {
  if (!ValidateDirectories().valid) return false;

  bool edited = false;
  for (const MappingsEditor* editor : editors_) edited = edited || editor->Changed();
  if (edited) {
    if (MsgBox("Are you sure you want to overwrite the mapping files?", MessageButtons::kYesNo,
               MessageIcon::kQuestion) != MessageAnswer::kYes) {
      return false;
    }
  } else {
    std::string directory;
    if (!MappingFilesExist(settings_.mappingsDirectory)) {
      ReloadEditors(directory);
      MsgBox("The mapping files do not exist", MessageButtons::kOk, MessageIcon::kInformation);
      return false;
    }
    if (!ReloadEditors(directory)) {
      MsgBox("The mapping files are invalid", MessageButtons::kOk, MessageIcon::kInformation);
      return false;
    }
  }

  SetFilePaths(settings_.mappingsDirectory);
  for (MappingLevel level : kMappingLevels) {
    if (!IsFileWritable(FilePath(level))) {
      MsgBox("Could not modify the mapping files - Access is denied", MessageButtons::kOk,
             MessageIcon::kInformation);
      return false;
    }
  }

  // From here on the save writes. A failure of the host itself (it cannot
  // take the properties, or cannot apply them) is reported and keeps the
  // dialog open, rather than escaping from the window's close handler.
  try {
    HostSetupData& data = Required(setupData_, "SaveSettings");
    HostSetupCustomProperties& properties = data.CustomProperties();
    properties.RemoveAll();
    LogTrace("Saving Release setup Links ", 1);
    properties.Add(kMappingsDirectoryProperty, settings_.mappingsDirectory);
    properties.Add(kLoggingDirectoryProperty, settings_.loggingDirectory);
    properties.Add(kWorkingDirectoryProperty, settings_.workingDirectory);
    properties.Add(kEdiOutputProperty, EdiOutputText(settings_.ediOutput));
    properties.Add(kEnableLoggingProperty, EnableLoggingText(settings_.enableLogging));

    SaveEditorsToFiles();
    LogTrace("After Saving mappings XML ", 1);
    AddUnlinkedFields();
    LogTrace("After linking unlinked batch and document fields", 1);
    ReportSaved();
    data.Apply();
    LogTrace("After calling SetupData. Apply", 1);
    return true;
  } catch (const platform::Error& e) {
    LogFailure("SaveSettings", e, false);
    MsgBox("The settings could not be saved: " + e.Description(), MessageButtons::kOk,
           MessageIcon::kExclamation);
  } catch (const std::exception& e) {
    LogFailure("SaveSettings", AsError(e, "SaveSettings"), false);
    MsgBox(std::string("The settings could not be saved: ") + e.what(), MessageButtons::kOk,
           MessageIcon::kExclamation);
  }
  return false;
}

// ---------------------------------------------------------------- controls

void SetupController::SetDirectory(DirectoryBox box, std::string_view text) {
  std::string* target = nullptr;
  switch (box) {
    case DirectoryBox::kMappings:
      target = &settings_.mappingsDirectory;
      break;
    case DirectoryBox::kLogging:
      target = &settings_.loggingDirectory;
      break;
    case DirectoryBox::kWorking:
      target = &settings_.workingDirectory;
      break;
    case DirectoryBox::kNone:
      return;
  }
  if (*target == text) return;
  target->assign(text);
  changed_ = true;
}

const std::string& SetupController::Directory(DirectoryBox box) const {
  switch (box) {
    case DirectoryBox::kLogging:
      return settings_.loggingDirectory;
    case DirectoryBox::kWorking:
      return settings_.workingDirectory;
    case DirectoryBox::kMappings:
    case DirectoryBox::kNone:
      break;
  }
  return settings_.mappingsDirectory;
}

void SetupController::SetMappingsDirectory(std::string_view text) {
  SetDirectory(DirectoryBox::kMappings, text);
}

void SetupController::SetLoggingDirectory(std::string_view text) {
  SetDirectory(DirectoryBox::kLogging, text);
}

void SetupController::SetWorkingDirectory(std::string_view text) {
  SetDirectory(DirectoryBox::kWorking, text);
}

void SetupController::ClickEnableLogging(bool on) {
  settings_.enableLogging = on;
  changed_ = true;
  UpdateLoggingControls();
}

void SetupController::SelectEdiOutput(EdiOutputMode mode) {
  settings_.ediOutput = mode;
  changed_ = true;
}

bool SetupController::Dirty() const {
  if (changed_) return true;
  for (const MappingsEditor* editor : editors_) {
    if (editor->Changed()) return true;
  }
  return false;
}

// ---------------------------------------------------------------- checks

SetupController::DirectoryCheck SetupController::ValidateDirectories() {
  DirectoryCheck check;
  const auto fail = [&](DirectoryBox box, const char* message) {
    MsgBox(message, MessageButtons::kOk, MessageIcon::kExclamation);
    check = {false, box};
  };
  if (!VerifyDirectoryName(settings_.mappingsDirectory, false)) {
    fail(DirectoryBox::kMappings, "Mappings Directory is not valid");
  } else if (settings_.enableLogging && !VerifyDirectoryName(settings_.loggingDirectory, true)) {
    fail(DirectoryBox::kLogging, "Logging Directory is not valid");
  } else if (!settings_.workingDirectory.empty() &&
             !VerifyDirectoryName(settings_.workingDirectory, true)) {
    fail(DirectoryBox::kWorking, "Working Directory is not valid");
  }
  focusRequest_ = check.focus;
  return check;
}

// ---------------------------------------------------------------- closing

bool SetupController::OnCloseRequest() {
  const bool closes = closingButton_ == ClosingButton::kOk ? SaveSettings() : ConfirmDiscard();
  closingButton_ = ClosingButton::kNone;
  return closes;
}

bool SetupController::RequestClose(ClosingButton button) {
  if (button != ClosingButton::kNone) RecordClosingButton(button);
  return OnCloseRequest();
}

bool SetupController::ConfirmDiscard() {
  if (!Dirty()) return true;
  return MsgBox("The export settings will not be saved. Do you want to continue?",
                MessageButtons::kYesNo, MessageIcon::kQuestion) == MessageAnswer::kYes;
}

// ---------------------------------------------------------------- help, folders

std::string SetupController::HelpPath(std::string_view tabCaption) {
  std::string path = LibraryDirectory() + "\\" + "Documentation\\Help\\Quillon\\Quillon_help";
  std::string caption;
  for (char c : tabCaption) {
    if (c != '&') caption.push_back(c);
  }
  if (caption == "General") {
    path += "\\c_generaltab.html";
  } else if (caption == "Output Data") {
    path += "\\c_outputdatatab.html";
  } else if (caption == "Field Mappings") {
    path += "\\c_fieldmappingtab.html";
  } else if (caption == "Data Mappings") {
    path += "\\c_datamappingstab.html";
  }
  return path;
}

void SetupController::ShowHelp(std::string_view tabCaption) {
  try {
    documentOpener_.Open(HelpPath(tabCaption));
  } catch (const platform::Error& e) {
    LogFailure("ShowHelp", e, false);
  } catch (const std::exception& e) {
    LogFailure("ShowHelp", AsError(e, "ShowHelp"), false);
  }
}

void SetupController::Browse(DirectoryBox box) {
  try {
    std::string path = folderPicker_.BrowseForFolder("Please Select Working Dir Folder");
    const std::size_t nul = path.find('\0');
    if (nul != std::string::npos) path.resize(nul);
    if (path.empty()) return;
    // The classic picker cannot hand back more; a longer path would only be
    // cut to one that names another folder.
    if (platform::text::Len(path) > kMaxPathCharacters) {
      platform::Raise(kBadFileName, "BrowseForFolder",
                      "The folder path is longer than 260 characters: " + path);
    }
    SetDirectory(box, path);
  } catch (const platform::Error& e) {
    LogFailure("Browse", e, false);
  } catch (const std::exception& e) {
    LogFailure("Browse", AsError(e, "Browse"), false);
  }
}

void SetupController::LoadMappings() {
  std::string directory;
  if (!MappingFilesExist(settings_.mappingsDirectory)) {
    ReloadEditors(directory);
    MsgBox("The mapping files do not exist", MessageButtons::kOk, MessageIcon::kNone);
  } else if (ReloadEditors(directory)) {
    MsgBox("The mapping files are loaded successfully", MessageButtons::kOk, MessageIcon::kNone);
  } else {
    MsgBox("The mapping files are invalid", MessageButtons::kOk, MessageIcon::kNone);
  }
}

MessageAnswer SetupController::MsgBox(std::string_view prompt, MessageButtons buttons,
                                      MessageIcon icon, std::string_view /*title*/) {
  return platform::CurrentMessageBoxService().Show(
      {std::string(prompt), std::string(kMessageTitle), buttons, icon});
}

}  // namespace quillon
