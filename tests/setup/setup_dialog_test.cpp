// The dialog's own steps around the save: closing with the unsaved-changes
// question, help pages, folder browsing, the "Load Mappings" button and the
// message title.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "release/library_location.h"
#include "setup/setup_fixture.h"

namespace quillon::setup_testing {
namespace {

namespace fs = std::filesystem;
using platform::MessageAnswer;
using Box = SetupController::DirectoryBox;
using Button = SetupController::ClosingButton;

const std::string kDiscard = "The export settings will not be saved. Do you want to continue?";

TEST_F(SetupDialogTest, ClosingAsksOnlyWhenSomethingWouldBeLost) {
  struct Row {
    int line;
    std::function<void()> edit;
    Button button;
    std::vector<MessageAnswer> answers;
    bool closes;
    std::vector<std::string> asked;
  } rows[] = {
      {__LINE__, [] {}, Button::kCancel, {}, true, {}},
      {__LINE__, [] {}, Button::kNone, {}, true, {}},  // the close box
      {__LINE__,
       [&] { Dialog().SetWorkingDirectory("/typed"); },
       Button::kCancel,
       {MessageAnswer::kYes},
       true,
       {kDiscard}},
      {__LINE__,
       [&] { Dialog().SetWorkingDirectory("/typed"); },
       Button::kCancel,
       {MessageAnswer::kNo},
       false,
       {kDiscard}},
      {__LINE__,
       [&] { field_.Edit(MappingDocument("Edited")); },
       Button::kNone,
       {MessageAnswer::kNo},
       false,
       {kDiscard}},
      {__LINE__,
       [&] { Dialog().ClickEnableLogging(false); },
       Button::kNone,
       {MessageAnswer::kYes},
       true,
       {kDiscard}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Open();
    row.edit();
    const std::string before = testing_support::ReadFile(ClassFile());
    RecordingBoxes boxes(row.answers);
    platform::ScopedMessageBoxService use(boxes);
    EXPECT_EQ(Dialog().RequestClose(row.button), row.closes);
    EXPECT_EQ(boxes.Texts(), row.asked);
    EXPECT_EQ(Dialog().RecordedClosingButton(), Button::kNone);
    EXPECT_EQ(testing_support::ReadFile(ClassFile()), before) << "nothing is saved";
    EXPECT_EQ(Host().ApplyCount(), 0);
  }
}

TEST_F(SetupDialogTest, ARefusedOkFollowedByTheCloseBoxIsACancel) {
  Open();
  Dialog().SetMappingsDirectory(dir_.Child("none"));
  RecordingBoxes boxes({MessageAnswer::kOk, MessageAnswer::kYes});
  platform::ScopedMessageBoxService use(boxes);
  Dialog().RecordClosingButton(Button::kOk);
  EXPECT_EQ(Dialog().RecordedClosingButton(), Button::kOk);
  EXPECT_FALSE(Dialog().OnCloseRequest());
  EXPECT_TRUE(Dialog().OnCloseRequest());  // the window's close box
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Mappings Directory is not valid", kDiscard}));
  EXPECT_EQ(Host().ApplyCount(), 0);
}

TEST(SetupHelp, EachTabHasItsPage) {
  const std::string base = LibraryDirectory() + "\\Documentation\\Help\\Quillon\\Quillon_help";
  struct Row {
    int line;
    std::string caption;
    std::string page;
  } rows[] = {
      {__LINE__, "&General", "\\c_generaltab.html"},
      {__LINE__, "D&ata Mappings", "\\c_datamappingstab.html"},
      {__LINE__, "Fiel&d Mappings", "\\c_fieldmappingtab.html"},
      {__LINE__, "Outp&ut Data", "\\c_outputdatatab.html"},
      {__LINE__, "General", "\\c_generaltab.html"},
      {__LINE__, "&&Gen&eral&", "\\c_generaltab.html"},
      {__LINE__, "general", ""},  // captions compare exactly
      {__LINE__, "Paths", ""},
      {__LINE__, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(SetupController::HelpPath(row.caption), base + row.page);
  }
  for (std::string_view caption : SetupController::kTabCaptions) {
    EXPECT_NE(SetupController::HelpPath(caption), base) << caption;
  }
}

TEST_F(SetupDialogTest, ShowHelpOpensThePageAndSurvivesAnOpenerThatFails) {
  Open();
  Dialog().ShowHelp("Fiel&d Mappings");
  ASSERT_EQ(documents_.opened.size(), 1u);
  EXPECT_EQ(documents_.opened[0], SetupController::HelpPath("Field Mappings"));
  LogCapture log;
  documents_.fail = true;
  Dialog().ShowHelp("Other");
  EXPECT_EQ(documents_.opened.back(), SetupController::HelpPath(""));
  EXPECT_NE(log.Text().find("ERROR ShowHelp | ShellOpen | No program opens"), std::string::npos)
      << log.Text();
}

TEST_F(SetupDialogTest, BrowseReplacesTheTextOfItsBox) {
  const std::string longest = "/" + std::string(259, 'x');
  // 260 characters in 519 bytes: characters count, not bytes.
  std::string accented = "/";
  for (int i = 0; i < 259; ++i) accented += "\xC3\xA9";
  struct Row {
    int line;
    Box box;
    std::string chosen;  // what the picker hands back ("" cancelled)
    bool pickerFails;
    std::string text;  // the box afterwards
    bool logged;       // a failure entry in the log
  } rows[] = {
      {__LINE__, Box::kMappings, "/srv/maps", false, "/srv/maps", false},
      {__LINE__, Box::kWorking, "/srv/work", false, "/srv/work", false},
      {__LINE__, Box::kLogging, "C:\\logs", false, "C:\\logs", false},
      {__LINE__, Box::kWorking, "", false, "", false},  // cancelled
      {__LINE__, Box::kWorking, std::string("/srv/w\0garbage", 14), false, "/srv/w", false},
      {__LINE__, Box::kWorking, std::string("\0/x", 3), false, "", false},
      {__LINE__, Box::kWorking, longest, false, longest, false},  // 260 characters
      {__LINE__, Box::kWorking, longest + "y", false, "", true},  // 261: refused
      {__LINE__, Box::kWorking, accented, false, accented, false},
      {__LINE__, Box::kWorking, "/srv/work", true, "", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Open();
    testing_support::ScriptedFolderPicker picker({row.chosen});
    picker.fail = row.pickerFails;
    SetupController dialog(data_, field_, output_, picker, documents_);
    dialog.ShowForm(Host());
    LogCapture log;
    const std::string before = dialog.Directory(row.box);
    dialog.Browse(row.box);
    EXPECT_EQ(picker.titles, std::vector<std::string>{"Please Select Working Dir Folder"});
    EXPECT_EQ(dialog.Directory(row.box), row.text.empty() ? before : row.text);
    EXPECT_EQ(dialog.Changed(), !row.text.empty());
    EXPECT_EQ(log.Text().find("ERROR Browse") != std::string::npos, row.logged) << log.Text();
  }
}

TEST_F(SetupDialogTest, LoadMappingsSaysWhatItFound) {
  struct Row {
    int line;
    std::function<void()> arrange;
    std::string message;
    std::string fieldEditor;  // what the field mappings editor shows afterwards
  } rows[] = {
      {__LINE__, [] {}, "The mapping files are loaded successfully", MappingDocument("Field")},
      {__LINE__, [&] { fs::remove(MappingFile("FieldMappings.xml")); },
       "The mapping files do not exist", "<FieldMappings/>"},
      {__LINE__, [&] { dir_.Write("maps/FieldMappings.xml", "<FieldMappings><Mapping"); },
       "The mapping files are invalid", "<unchanged>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    dir_.Write("maps/FieldMappings.xml", MappingDocument("Field"));
    Open();
    field_.Edit("<unchanged>");
    row.arrange();
    RecordingBoxes boxes;
    platform::ScopedMessageBoxService use(boxes);
    Dialog().LoadMappings();
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].text, row.message);
    EXPECT_EQ(boxes.Shown()[0].title, "Quillon");
    EXPECT_EQ(boxes.Shown()[0].icon, platform::MessageIcon::kNone);
    EXPECT_EQ(boxes.Shown()[0].buttons, platform::MessageButtons::kOk);
    EXPECT_EQ(field_.XmlText(), row.fieldEditor);
  }
}

TEST_F(SetupDialogTest, TheEditorMayHandBackOtherSetupData) {
  class Swapping final : public MappingsEditor {
   public:
    explicit Swapping(HostSetupData* replacement) : replacement_(replacement) {}
    bool Changed() const override { return false; }
    void SetMappingMode(bool) override {}
    void LoadFromXml(std::string_view) override {}
    std::string XmlText() const override { return MappingDocument("S"); }
    void SetSetupData(HostSetupData*& setupData) override { setupData = replacement_; }
    void SetFirstFieldList(const std::vector<std::string>&) override {}
    void SetSecondFieldList(const std::vector<std::string>&) override {}
    void SetVisible(bool) override {}

   private:
    HostSetupData* replacement_;
  };
  Open();
  FileSetupData other(ClassFile());
  Swapping swapping(&other);
  Swapping clearing(nullptr);
  SetupController dialog(swapping, field_, output_, folders_, documents_);
  dialog.ShowForm(Host());
  EXPECT_EQ(dialog.SetupData(), &other);
  SetupController kept(clearing, field_, output_, folders_, documents_);
  kept.ShowForm(Host());
  EXPECT_EQ(kept.SetupData(), &Host()) << "a null hand-back keeps the setup data";
}

TEST_F(SetupDialogTest, EveryMessageCarriesTheDialogsTitle) {
  Open();
  RecordingBoxes boxes({MessageAnswer::kNo});
  platform::ScopedMessageBoxService use(boxes);
  EXPECT_EQ(Dialog().MsgBox("Question?", platform::MessageButtons::kYesNo,
                            platform::MessageIcon::kQuestion, "Some other title"),
            MessageAnswer::kNo);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].title, "Quillon");
  EXPECT_EQ(boxes.Shown()[0].icon, platform::MessageIcon::kQuestion);
}

}  // namespace
}  // namespace quillon::setup_testing
