// `quillon setup BATCH-CLASS.json [options]`: the release setup of a batch
// class without a display, as the capture host's administration tool runs
// it: the setup script (OpenScript, RunUI, CloseScript) with a console
// stand-in for the dialog's window.
//
// Without options it prints what the dialog would show: the stored settings,
// the state of the three mapping files (loaded, missing and shown as empty,
// or invalid with the reason), and the links. With any of --mappings-dir,
// --logging-dir, --working-dir, --edi-output, --logging, --import-mappings or
// --save it puts the values into the dialog and presses OK: the whole save
// runs in its order (validation, the overwrite question, custom properties,
// mapping files, links, the two "saved" reports, Apply).
//
// The dialog's messages are printed on standard output ("Quillon: ..."). Its
// questions are answered by --yes or --no, else asked on the terminal; with
// neither and no terminal they are answered No, so nothing is created or
// overwritten without consent.
//
// Exit codes: 0 saved (or nothing asked); 1 the save was refused, nothing
// was written, and the last message says why (or: the mapping files could
// not be written, or the host could not apply the settings); 2 bad usage or
// an unreadable batch-class file or import folder.
#include <unistd.h>

#include <array>
#include <cerrno>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command.h"
#include "app/setup_window_command.h"
#include "host/file_setup_data.h"
#include "mapping/conditional_mappings.h"
#include "platform/error.h"
#include "platform/native_path.h"
#include "platform/os_services.h"
#include "release/custom_properties.h"
#include "setup/document_opener.h"
#include "setup/folder_picker.h"
#include "setup/mapping_storage.h"
#include "setup/release_setup_script.h"
#include "setup/setup_controller.h"
#include "setup/xml_text_editor.h"

namespace quillon::app {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;

struct SetupOptions {
  std::string batchClassFile;
  std::optional<std::string> mappingsDir;
  std::optional<std::string> loggingDir;
  std::optional<std::string> workingDir;
  std::optional<std::string> ediOutput;  // "per-batch" | "per-document"
  std::optional<std::string> logging;    // "on" | "off"
  std::optional<std::string> importMappings;
  bool save = false;
  bool yes = false;
  bool no = false;
  bool gui = false;

  bool SaveAsked() const {
    return save || mappingsDir || loggingDir || workingDir || ediOutput || logging ||
           importMappings;
  }
};

constexpr const char* kExamples = R"(Examples:
  quillon setup claims/class.json
  quillon setup claims/class.json --working-dir /srv/edi/work --logging off --yes
  quillon setup claims/class.json --mappings-dir /srv/maps-v2 --import-mappings /srv/maps --yes
  quillon setup claims/class.json --gui       the setup window, on a desktop
What a save stores where, with an example session: docs/setup.md.)";

// A message text for the console: carriage returns become line breaks.
std::string ConsoleText(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

bool ReadAnswerLine(std::string& line) {
  line.clear();
  char c = 0;
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return !line.empty();
    if (c == '\n') return true;
    if (c != '\r') line.push_back(c);
  }
}

// The dialog's messages on standard output; questions answered from the
// options or the terminal.
class CommandMessageBoxes final : public platform::MessageBoxService {
 public:
  explicit CommandMessageBoxes(std::optional<bool> answer) : answer_(answer) {}

  MessageAnswer Show(const platform::MessageBoxRequest& request) override {
    shown.push_back(request.text);
    std::cout << request.title << ": " << ConsoleText(request.text);
    if (request.buttons == MessageButtons::kOk) {
      std::cout << "\n";
      return MessageAnswer::kOk;
    }
    const bool yesNo = request.buttons == MessageButtons::kYesNo ||
                       request.buttons == MessageButtons::kYesNoCancel;
    const MessageAnswer yes = yesNo ? MessageAnswer::kYes : MessageAnswer::kOk;
    const MessageAnswer no = yesNo ? MessageAnswer::kNo : MessageAnswer::kCancel;
    if (answer_) {
      std::cout << " -> " << (*answer_ ? "yes" : "no") << "\n";
      return *answer_ ? yes : no;
    }
    if (::isatty(STDIN_FILENO) == 1) {
      for (int tries = 0; tries < 5; ++tries) {
        std::cout << " [y/n] " << std::flush;
        std::string line;
        if (!ReadAnswerLine(line)) break;
        if (line == "y" || line == "Y" || line == "yes" || line == "Yes") return yes;
        if (line == "n" || line == "N" || line == "no" || line == "No") return no;
      }
    }
    std::cout << " -> no (not asked: give --yes or --no, or run on a terminal)\n";
    return no;
  }

  std::vector<std::string> shown;

 private:
  std::optional<bool> answer_;
};

// The console stand-in for the dialog's window.
class ConsoleSetupWindow final : public SetupWindow {
 public:
  ConsoleSetupWindow(const SetupOptions& options, FileSetupData& setupData,
                     const std::vector<std::string>& importedMappings, bool& saved)
      : options_(options), setupData_(setupData), imported_(importedMappings), saved_(saved) {}

  MappingsEditor& Editor(MappingLevel level) override {
    return editors_[static_cast<std::size_t>(level)];
  }
  FolderPicker& Folders() override { return folders_; }
  DocumentOpener& Documents() override { return documents_; }

  void ShowModal(SetupController& dialog) override {
    PrintStoredState();
    if (!options_.SaveAsked()) {
      saved_ = dialog.RequestClose(SetupController::ClosingButton::kNone);
      return;
    }
    std::cout << "saving:\n";
    if (options_.mappingsDir) dialog.SetMappingsDirectory(*options_.mappingsDir);
    if (options_.loggingDir) dialog.SetLoggingDirectory(*options_.loggingDir);
    if (options_.workingDir) dialog.SetWorkingDirectory(*options_.workingDir);
    if (options_.ediOutput) {
      dialog.SelectEdiOutput(*options_.ediOutput == "per-document" ? EdiOutputMode::kPerDocument
                                                                   : EdiOutputMode::kPerBatch);
    }
    if (options_.logging) dialog.ClickEnableLogging(*options_.logging == "on");
    for (std::size_t i = 0; i < imported_.size() && i < editors_.size(); ++i) {
      editors_[i].Edit(imported_[i]);
    }
    saved_ = dialog.RequestClose(SetupController::ClosingButton::kOk);
  }

 private:
  void PrintStoredState() const {
    std::cout << "batch class: " << setupData_.Current().Name << " (" << setupData_.FilePath()
              << ")\n";
    std::cout << "settings:\n";
    HostSetupCustomProperties& properties = setupData_.CustomProperties();
    for (std::string_view name : kSetupProperties) {
      std::cout << "  " << name << ": ";
      if (CustomPropertyExists(properties, name)) {
        std::cout << "\"" << properties.Item(name).Value << "\"\n";
      } else {
        std::cout << "(not set)\n";
      }
    }
    std::cout << "mapping files:\n";
    if (!CustomPropertyExists(properties, kMappingsDirectoryProperty)) {
      std::cout << "  (no mappings directory)\n";
    } else {
      const std::string directory = properties.Item(kMappingsDirectoryProperty).Value;
      for (MappingLevel level : kMappingLevels) {
        const std::string path = MappingFilePath(directory, level);
        const MappingFileState state = InspectMappingFile(path);
        std::cout << "  " << platform::ToNativePath(path) << ": ";
        switch (state.kind) {
          case MappingFileState::Kind::kLoaded:
            std::cout << "loaded (" << state.classes
                      << (state.classes == 1 ? " class)" : " classes)");
            break;
          case MappingFileState::Kind::kMissing:
            std::cout << "missing (the editor starts empty)";
            break;
          case MappingFileState::Kind::kInvalid:
            std::cout << "invalid: error " << state.errorNumber;
            if (state.line > 0) std::cout << " at line " << state.line;
            std::cout << ": " << state.description;
            break;
        }
        std::cout << "\n";
      }
    }
    HostLinks& links = setupData_.Links();
    std::cout << "links (" << links.Count() << "):\n";
    for (std::int32_t i = 1; i <= links.Count(); ++i) {
      const HostLink& link = links.Item(i);
      std::cout << "  Source: " << link.Source << ", Dest: " << link.Destination
                << ", Type: " << link.SourceType << "\n";
    }
  }

  const SetupOptions& options_;
  FileSetupData& setupData_;
  const std::vector<std::string>& imported_;
  bool& saved_;
  std::array<XmlTextEditor, 3> editors_;
  ConsoleFolderPicker folders_;
  ConsoleDocumentOpener documents_;
};

// The three mapping files of an import folder, as text; each must load.
std::vector<std::string> ReadImportedMappings(const std::string& directory) {
  std::vector<std::string> texts;
  for (MappingLevel level : kMappingLevels) {
    const std::string path = MappingFilePath(directory, level);
    const std::string shown = platform::ToNativePath(path);
    if (!MappingFileExists(path))
      throw InputError("--import-mappings: " + shown + " does not exist");
    marrow::ConditionalMappings mappings;
    try {
      mappings.LoadFromXMLFile(path);
    } catch (const platform::Error& e) {
      const std::int32_t line = mappings.LastLoadErrorLine();
      throw InputError("--import-mappings: " + shown + ": error " + std::to_string(e.Number()) +
                       (line > 0 ? " at line " + std::to_string(line) : "") + ": " +
                       e.Description());
    }
    texts.push_back(mappings.SaveXMLString());
  }
  return texts;
}

int Run(const SetupOptions& options) {
  if (options.gui) return RunSetupWindowCommand(options.batchClassFile);
  FileSetupData setupData(options.batchClassFile);
  const std::vector<std::string> imported = options.importMappings
                                                ? ReadImportedMappings(*options.importMappings)
                                                : std::vector<std::string>{};

  std::optional<bool> answer;
  if (options.yes) answer = true;
  if (options.no) answer = false;
  CommandMessageBoxes boxes(answer);
  platform::ScopedMessageBoxService useBoxes(boxes);

  bool saved = false;
  ReleaseSetupScript script([&]() -> std::unique_ptr<SetupWindow> {
    return std::make_unique<ConsoleSetupWindow>(options, setupData, imported, saved);
  });
  script.SetSetupData(&setupData);
  script.OpenScript();
  script.RunUI();
  script.CloseScript();
  std::cout.flush();

  if (!options.SaveAsked()) return FinishOutput();
  if (!saved) {
    std::cerr << "error: the setup was not saved"
              << (boxes.shown.empty() ? std::string() : ": " + ConsoleText(boxes.shown.back()))
              << "\n";
    return kExitSomeFailed;
  }
  for (const std::string& message : boxes.shown) {
    if (message == "Can't save the mapping files") {
      std::cerr << "error: the mapping files could not all be written (see the log); the "
                   "settings and links were saved\n";
      return kExitSomeFailed;
    }
  }
  std::cout << "saved: " << setupData.FilePath() << "\n";
  return FinishOutput();
}

const bool registered = RegisterCommand(
    80, "setup",
    "Show or change the release setup of a batch class (settings, mapping files, links)",
    [](CLI::App& sub) -> std::function<int()> {
      auto options = std::make_shared<SetupOptions>();
      sub.add_option("batch-class", options->batchClassFile, "Batch-class file (JSON)")->required();
      sub.add_option("--mappings-dir", options->mappingsDir,
                     "Mappings directory (must exist; holds the three mapping files)");
      sub.add_option("--logging-dir", options->loggingDir, "Release log directory");
      sub.add_option("--working-dir", options->workingDir,
                     "Working directory of the release (\"\" for none)");
      sub.add_option("--edi-output", options->ediOutput,
                     "One output file per batch or per document")
          ->check(CLI::IsMember({"per-batch", "per-document"}));
      sub.add_option("--logging", options->logging, "Release logging on or off")
          ->check(CLI::IsMember({"on", "off"}));
      sub.add_option("--import-mappings", options->importMappings,
                     "Load the three mapping editors from the files in this folder (an edit: "
                     "the save writes them into the mappings directory)");
      sub.add_flag("--save", options->save,
                   "Save even without changes (adds missing links, rewrites the mapping files)");
      CLI::Option* yes = sub.add_flag("--yes,-y", options->yes, "Answer Yes to every question");
      CLI::Option* no = sub.add_flag("--no,-n", options->no, "Answer No to every question");
      yes->excludes(no);
      CLI::Option* gui =
          sub.add_flag("--gui", options->gui,
                       "Open the setup window (needs a display; OK saves as the options above do)");
      for (const char* option : {"--mappings-dir", "--logging-dir", "--working-dir", "--edi-output",
                                 "--logging", "--import-mappings", "--save", "--yes", "--no"}) {
        gui->excludes(option);
      }
      sub.footer(kExamples);
      return [options]() { return Run(*options); };
    });

}  // namespace
}  // namespace quillon::app
