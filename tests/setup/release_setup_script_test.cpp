// The setup script the administration tool drives: its four operations, the
// setup log, and a new dialog for every RunUI.
#include "setup/release_setup_script.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/native_path.h"
#include "platform/os_services.h"
#include "release/global_logger.h"
#include "release/library_location.h"
#include "setup/setup_fixture.h"
#include "setup/setup_log.h"

namespace quillon::setup_testing {
namespace {

using Button = SetupController::ClosingButton;

// A window that runs a script of actions on the dialog it shows.
class ScriptedWindow final : public SetupWindow {
 public:
  explicit ScriptedWindow(std::function<void(SetupController&)> actions)
      : actions_(std::move(actions)) {}
  MappingsEditor& Editor(MappingLevel level) override {
    return editors[static_cast<std::size_t>(level)];
  }
  FolderPicker& Folders() override { return folders_; }
  DocumentOpener& Documents() override { return documents_; }
  void ShowModal(SetupController& dialog) override {
    shownWith = dialog.Settings();
    if (actions_) actions_(dialog);
  }

  std::array<XmlTextEditor, 3> editors;
  SetupSettings shownWith;

 private:
  std::function<void(SetupController&)> actions_;
  testing_support::ScriptedFolderPicker folders_;
  testing_support::RecordingDocumentOpener documents_;
};

class ReleaseSetupScriptTest : public SetupDialogTest {
 protected:
  ReleaseSetupScript MakeScript(std::function<void(SetupController&)> actions = {}) {
    return ReleaseSetupScript([this, actions]() -> std::unique_ptr<SetupWindow> {
      ++windowsMade_;
      return std::make_unique<ScriptedWindow>(actions);
    });
  }
  int windowsMade_ = 0;
};

TEST_F(ReleaseSetupScriptTest, TheFourOperationsAnswerZero) {
  testing_support::TempDir logs;
  FileSetupData setup(ClassFile());
  ReleaseSetupScript script = MakeScript();
  script.SetSetupData(&setup);
  script.SetLogFolderSource([&] { return logs.str(); });
  std::int32_t id = 42;
  std::string one = "a";
  std::string two = "b";
  struct Row {
    int line;
    std::function<std::int32_t()> call;
  } rows[] = {
      {__LINE__, [&] { return script.OpenScript(); }},
      {__LINE__, [&] { return script.RunUI(); }},
      {__LINE__, [&] { return script.ActionEvent(id, one, two); }},
      {__LINE__, [&] { return script.CloseScript(); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(row.call(), 0);
  }
  EXPECT_EQ(id, 42);
  EXPECT_EQ(one, "a");
  EXPECT_EQ(two, "b");
  EXPECT_EQ(windowsMade_, 1);
  EXPECT_TRUE(setup.Errors().empty());

  const tessel::Logger& logger = GlobalLogger();
  EXPECT_EQ(logger.LogFolder(), logs.str());
  EXPECT_EQ(logger.LogFileName(),
            std::to_string(platform::CurrentProcessId()) + "_" + LibraryBaseName());
  EXPECT_EQ(logger.LogSetting(), 50);
  const std::string text = testing_support::ReadFile(platform::ToNativePath(logger.FilePath()));
  EXPECT_NE(text.find("L2 Entering Setup - Openscript"), std::string::npos) << text;
  EXPECT_NE(text.find("L2 Quillon  Release : " + LibraryVersionText() +
                      " Path: " + LibraryDirectory() + "\\" + LibraryBaseName() + ".dll"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("L2 ShowForm: LoadXMLMappingFromHalvo"), std::string::npos);
  NewGlobalLogger();
}

TEST_F(ReleaseSetupScriptTest, OpenScriptFailureIsReportedToTheHost) {
  FileSetupData setup(ClassFile());
  ReleaseSetupScript script = MakeScript();
  script.SetSetupData(&setup);
  script.SetLogFolderSource(
      []() -> std::string { platform::Raise(76, "SetupLogFolder", "Path not found: /nope"); });
  EXPECT_EQ(script.OpenScript(), -1);
  ASSERT_EQ(setup.Errors().size(), 1u);
  const HostErrorRecord& report = setup.Errors()[0];
  EXPECT_EQ(report.Number, 76);
  EXPECT_EQ(report.Source, "SetupLogFolder");
  EXPECT_EQ(report.Description, "Path not found: /nope");
  EXPECT_EQ(report.A, -1);
  EXPECT_EQ(report.B, 0);
  EXPECT_EQ(report.C, 0);
  NewGlobalLogger();
}

TEST_F(ReleaseSetupScriptTest, EachRunUIShowsANewDialogLoadedFromTheStoredSettings) {
  FileSetupData setup(ClassFile());
  RecordingBoxes boxes;
  platform::ScopedMessageBoxService use(boxes);
  // The first run saves a new working directory; the second one sees it.
  std::vector<SetupSettings> seen;
  int run = 0;
  ReleaseSetupScript script = MakeScript([&](SetupController& dialog) {
    seen.push_back(dialog.Settings());
    if (++run == 1) {
      dialog.SetWorkingDirectory(dir_.str());
      EXPECT_TRUE(dialog.RequestClose(Button::kOk));
    } else {
      EXPECT_FALSE(dialog.Dirty());
      EXPECT_TRUE(dialog.RequestClose(Button::kCancel));
    }
  });
  script.SetSetupData(&setup);
  EXPECT_EQ(script.RunUI(), 0);
  EXPECT_EQ(script.RunUI(), 0);
  EXPECT_EQ(windowsMade_, 2);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].workingDirectory, "");
  EXPECT_EQ(seen[1].workingDirectory, dir_.str());
  EXPECT_EQ(setup.ApplyCount(), 1);
}

TEST_F(ReleaseSetupScriptTest, RunUINeverFailsTowardsTheHost) {
  LogCapture log;
  struct Row {
    int line;
    SetupWindowFactory windows;
    bool withSetupData;
  } rows[] = {
      {__LINE__,
       []() -> std::unique_ptr<SetupWindow> { platform::Raise(7, "NewWindow", "Out of memory"); },
       true},
      {__LINE__, []() -> std::unique_ptr<SetupWindow> { return nullptr; }, true},
      {__LINE__, {}, true},
      {__LINE__,
       []() -> std::unique_ptr<SetupWindow> {
         return std::make_unique<ScriptedWindow>(
             [](SetupController&) { platform::Raise(5, "ShowModal", "The window broke"); });
       },
       true},
      {__LINE__,
       []() -> std::unique_ptr<SetupWindow> { return std::make_unique<ScriptedWindow>(nullptr); },
       false},
  };
  FileSetupData setup(ClassFile());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ReleaseSetupScript script(row.windows);
    script.SetSetupData(row.withSetupData ? &setup : nullptr);
    EXPECT_EQ(script.RunUI(), 0);
  }
  const std::string text = log.Text();
  for (const char* entry : {"ERROR RunUI | NewWindow | Out of memory",
                            "ERROR RunUI | RunUI | The setup dialog's window could not be made",
                            "ERROR RunUI | RunUI | There is no window to show the setup dialog in",
                            "ERROR RunUI | ShowModal | The window broke",
                            "ERROR RunUI | ShowForm | The setup data were not set before RunUI"}) {
    EXPECT_NE(text.find(entry), std::string::npos) << entry << "\n" << text;
  }
  EXPECT_TRUE(setup.Errors().empty());
}

TEST(SetupLog, TheLibraryFolderWhenWritableElseTheStateFolder) {
  struct Row {
    int line;
    bool writable;
    const char* xdg;
    const char* home;
    std::string folder;
  } rows[] = {
      {__LINE__, true, "/state", "/home/ann", "/usr/lib/quillon"},
      {__LINE__, false, "/state", "/home/ann", "/state/quillon"},
      {__LINE__, false, nullptr, "/home/ann", "/home/ann/.local/state/quillon"},
      {__LINE__, false, "", "/home/ann/", "/home/ann/.local/state/quillon"},
      {__LINE__, false, "relative/state", "/home/ann", "/home/ann/.local/state/quillon"},
      {__LINE__, false, nullptr, nullptr, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ChooseSetupLogFolder("/usr/lib/quillon", row.writable, row.xdg, row.home),
              row.folder);
  }
}

}  // namespace
}  // namespace quillon::setup_testing
