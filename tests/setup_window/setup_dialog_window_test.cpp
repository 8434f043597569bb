// The "Quillon Setup" window on a temporary batch class, driven through its
// widgets: saving, cancelling, the close box, logging controls, browsing and
// help. Messages are answered by a script; the window runs on the offscreen
// platform.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "host/file_setup_data.h"
#include "mapping/conditional_mappings.h"
#include "platform/os_services.h"
#include "setup/release_setup_script.h"
#include "setup/setup_controller.h"
#include "setup/window/mappings_editor_widget.h"
#include "setup/window/qt_message_boxes.h"
#include "setup/window/setup_dialog_window.h"
#include "setup_window/widget_helpers.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using platform::MessageAnswer;
using testing_support::ReadFile;
using testing_support::ScriptedMessageBoxes;
using window_testing::Child;
using window_testing::Click;
using window_testing::ClickIndicator;
using window_testing::Settle;
using window_testing::TypeIntoCell;

class ScriptedFolders final : public FolderPicker {
 public:
  std::string BrowseForFolder(std::string_view title) override {
    titles.emplace_back(title);
    return answer;
  }
  std::string answer;
  std::vector<std::string> titles;
};

class RecordedDocuments final : public DocumentOpener {
 public:
  void Open(std::string_view path) override { opened.emplace_back(path); }
  std::vector<std::string> opened;
};

std::string BatchClassJson(const std::string& properties) {
  return R"({
    "name": "Claims",
    "customProperties": {)" +
         properties + R"(},
    "indexFields": ["Payer Type", "Last Name"],
    "batchFields": ["Submitter"],
    "hostVariables": ["Batch ID"],
    "links": [
      { "destination": "PayerType", "sourceType": 0, "source": "Payer Type" },
      { "destination": "Last", "sourceType": 0, "source": "Last Name" }
    ]
  })";
}

// A window bound to a controller on a batch-class file in a temporary
// folder, shown (not modally, so that the test can drive it).
class SetupWindowTest : public ::testing::Test {
 protected:
  void Open(const std::string& properties) {
    if (window_) Window().Unbind();
    controller_.reset();
    window_.reset();
    classFile_ = dir_.Write("class.json", BatchClassJson(properties));
    setupData_ = std::make_unique<FileSetupData>(classFile_);
    window_ = std::make_unique<QtSetupWindow>(folders_, documents_);
    controller_ = std::make_unique<SetupController>(
        window_->Editor(MappingLevel::kData), window_->Editor(MappingLevel::kField),
        window_->Editor(MappingLevel::kOutput), window_->Folders(), window_->Documents());
    controller_->ShowForm(*setupData_);
    Window().Bind(*controller_);
    Window().show();
    Settle();
  }

  void TearDown() override {
    if (window_) Window().Unbind();
    controller_.reset();
    window_.reset();
  }

  SetupDialogWindow& Window() { return window_->Window(); }
  std::string StoredProperties() const {
    std::string out;
    for (const HostCustomProperty& property :
         FileSetupData(classFile_).Current().CustomProperties) {
      out += property.Name + "=" + property.Value + ";";
    }
    return out;
  }
  std::vector<std::string> Shown() const {
    std::vector<std::string> texts;
    for (const auto& request : boxes_.shown) texts.push_back(request.text);
    return texts;
  }
  void Answer(std::vector<MessageAnswer> answers) {
    boxes_ = ScriptedMessageBoxes(std::move(answers));
  }

  testing_support::TempDir dir_;
  ScriptedMessageBoxes boxes_;
  platform::ScopedMessageBoxService useBoxes_{boxes_};
  ScriptedFolders folders_;
  RecordedDocuments documents_;
  std::string classFile_;
  std::unique_ptr<FileSetupData> setupData_;
  std::unique_ptr<QtSetupWindow> window_;
  std::unique_ptr<SetupController> controller_;
};

TEST_F(SetupWindowTest, CaptionTabsAndButtonsAsTheAdministratorSeesThem) {
  Open("");
  EXPECT_EQ(Window().windowTitle(), "Quillon Setup");
  QTabWidget& tabs = Window().Tabs();
  ASSERT_EQ(tabs.count(), 4);
  EXPECT_EQ(tabs.tabText(0), "&General");
  EXPECT_EQ(tabs.tabText(1), "D&ata Mappings");
  EXPECT_EQ(tabs.tabText(2), "Fiel&d Mappings");
  EXPECT_EQ(tabs.tabText(3), "Outp&ut Data");
  struct Expected {
    const char* name;
    const char* text;
  };
  const Expected buttons[] = {
      {"browseMappings", "&Browse"},
      {"browseWorking", "B&rowse"},
      {"browseLogging", "Bro&wse"},
      {"loadMappings", "&Load Mappings"},
      {"enableLogging", "&Enable Logging"},
      {"perBatch", "Create one EDI file &per batch"},
      {"perDocument", "Create one EDI &file per document"},
      {"ok", "&OK"},
      {"cancel", "&Cancel"},
      {"help", "&Help"},
  };
  for (const Expected& b : buttons) {
    SCOPED_TRACE(b.name);
    EXPECT_EQ(Child<QAbstractButton>(Window(), b.name)->text(), b.text);
  }
  // A batch class never saved opens empty, with nothing changed.
  EXPECT_EQ(Child<QLineEdit>(Window(), "mappingsDirectory")->text(), "");
  EXPECT_FALSE(controller_->Dirty());
}

// The whole save through the window: directories, logging, output mode and
// a mapping class built in the data mappings editor.
TEST_F(SetupWindowTest, OkSavesExactlyWhatWasEntered) {
  std::filesystem::create_directories(dir_.path() / "maps");
  std::filesystem::create_directories(dir_.path() / "logs");
  Open(R"("Mappings Directory": "", "Logging Directory": "", "Working Directory": "",
          "EDI Output": "One EDI Per Batch", "Enable Logging": "0")");
  EXPECT_FALSE(Child<QLineEdit>(Window(), "loggingDirectory")->isEnabled());

  QTest::keyClicks(Child<QLineEdit>(Window(), "mappingsDirectory"),
                   QString::fromStdString(dir_.Child("maps")));
  ClickIndicator(Child<QCheckBox>(Window(), "enableLogging"));
  ASSERT_TRUE(Child<QLineEdit>(Window(), "loggingDirectory")->isEnabled());
  QTest::keyClicks(Child<QLineEdit>(Window(), "loggingDirectory"),
                   QString::fromStdString(dir_.Child("logs")));
  ClickIndicator(Child<QRadioButton>(Window(), "perDocument"));

  Window().ShowTab(1);
  MappingsEditorWidget& editor = Window().Editor(MappingLevel::kData);
  Click(editor, "addClass");
  auto* nameEditor = Child<QListWidget>(editor, "classList")->findChild<QLineEdit*>();
  ASSERT_NE(nameEditor, nullptr);
  nameEditor->selectAll();
  QTest::keyClicks(nameEditor, "Medicare");
  QTest::keyClick(nameEditor, Qt::Key_Return);
  Settle();
  auto* conditions = Child<QTableWidget>(editor, "conditionsTable");
  Click(editor, "conditionAdd");
  TypeIntoCell(conditions, 0, 1, "PayerType");
  TypeIntoCell(conditions, 0, 3, "MC");
  auto* fields = Child<QTableWidget>(editor, "fieldsTable");
  Click(editor, "fieldAdd");
  TypeIntoCell(fields, 0, 0, "Payer");
  TypeIntoCell(fields, 0, 1, "Medicare");
  Click(editor, "fieldAdd");
  TypeIntoCell(fields, 1, 0, "Name");
  TypeIntoCell(fields, 1, 1, "[Last:trim]");

  Answer({MessageAnswer::kYes});  // overwrite the mapping files
  Click(Window(), "ok");
  Settle();

  EXPECT_TRUE(window_->Saved());
  EXPECT_FALSE(Window().isVisible());
  ASSERT_GE(boxes_.shown.size(), 3u);
  EXPECT_EQ(boxes_.shown[0].text, "Are you sure you want to overwrite the mapping files?");
  for (const auto& request : boxes_.shown) EXPECT_EQ(request.title, "Quillon");
  EXPECT_EQ(boxes_.shown.back().text.rfind("Custom Properties Saved: ", 0), 0u);

  EXPECT_EQ(StoredProperties(), "Mappings Directory=" + dir_.Child("maps") +
                                    ";Logging Directory=" + dir_.Child("logs") +
                                    ";Working Directory=;EDI Output=One EDI Per Document;"
                                    "Enable Logging=1;");
  marrow::ConditionalMappings data;
  data.LoadFromXMLFile(dir_.Child("maps/DataMappings.xml"));
  ASSERT_EQ(data.Count(), 1);
  EXPECT_EQ(data.Item(1)->Name(), "Medicare");
  EXPECT_EQ(data.Item(1)->MapConditionsString(), "and|PayerType|equals|MC");
  EXPECT_EQ(data.Item(1)->FieldMapsString(), "Payer=Medicare;Name=[Last:trim]");
  for (const char* file : {"maps/FieldMappings.xml", "maps/FeedOutputMappings.xml"}) {
    marrow::ConditionalMappings other;
    other.LoadFromXMLFile(dir_.Child(file));
    EXPECT_EQ(other.Count(), 0) << file;
  }
}

TEST_F(SetupWindowTest, CancelAfterAnEditAsksAndNoKeepsTheWindowOpen) {
  Open(R"("Mappings Directory": "x", "Logging Directory": "", "Working Directory": "",
          "EDI Output": "One EDI Per Batch", "Enable Logging": "0")");
  const std::string before = ReadFile(classFile_);
  QTest::keyClicks(Child<QLineEdit>(Window(), "workingDirectory"), "w");

  Answer({MessageAnswer::kNo});
  Click(Window(), "cancel");
  Settle();
  ASSERT_EQ(Shown(), std::vector<std::string>{
                         "The export settings will not be saved. Do you want to continue?"});
  EXPECT_EQ(boxes_.shown[0].buttons, platform::MessageButtons::kYesNo);
  EXPECT_EQ(boxes_.shown[0].icon, platform::MessageIcon::kQuestion);
  EXPECT_TRUE(Window().isVisible());

  Answer({MessageAnswer::kYes});
  Click(Window(), "cancel");
  Settle();
  EXPECT_FALSE(Window().isVisible());
  EXPECT_FALSE(window_->Saved());
  EXPECT_EQ(ReadFile(classFile_), before);
}

TEST_F(SetupWindowTest, AnEditInAMappingsEditorAlsoCountsForCancel) {
  Open("");
  Window().ShowTab(3);
  Click(Window().Editor(MappingLevel::kOutput), "addClass");
  Answer({MessageAnswer::kNo});
  Window().close();
  Settle();
  EXPECT_EQ(Shown().size(), 1u);
  EXPECT_TRUE(Window().isVisible());
}

TEST_F(SetupWindowTest, ClosingAnUnchangedWindowAsksNothing) {
  Open(R"("Mappings Directory": "x", "Logging Directory": "", "Working Directory": "",
          "EDI Output": "One EDI Per Batch", "Enable Logging": "0")");
  const std::string before = ReadFile(classFile_);
  Window().close();
  Settle();
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_FALSE(Window().isVisible());
  EXPECT_EQ(ReadFile(classFile_), before);
}

TEST_F(SetupWindowTest, ARefusedOkFollowedByTheCloseBoxIsACancel) {
  Open(R"("Mappings Directory": "", "Logging Directory": "", "Working Directory": "",
          "EDI Output": "One EDI Per Batch", "Enable Logging": "0")");
  const std::string before = ReadFile(classFile_);
  auto* mappings = Child<QLineEdit>(Window(), "mappingsDirectory");
  QTest::keyClicks(mappings, QString::fromStdString(dir_.Child("no-such-folder")));
  Window().ShowTab(2);

  Click(Window(), "ok");
  Settle();
  ASSERT_EQ(Shown(), std::vector<std::string>{"Mappings Directory is not valid"});
  EXPECT_EQ(boxes_.shown[0].icon, platform::MessageIcon::kExclamation);
  EXPECT_TRUE(Window().isVisible());
  // The window shows the box to correct.
  EXPECT_EQ(Window().Tabs().currentIndex(), 0);
  EXPECT_EQ(QApplication::focusWidget(), mappings);

  Answer({MessageAnswer::kYes});
  Window().close();
  Settle();
  ASSERT_EQ(Shown(), std::vector<std::string>{
                         "The export settings will not be saved. Do you want to continue?"});
  EXPECT_FALSE(Window().isVisible());
  EXPECT_FALSE(window_->Saved());
  EXPECT_EQ(ReadFile(classFile_), before);
}

TEST_F(SetupWindowTest, LoggingControlsFollowTheCheckBox) {
  struct Case {
    int line;
    const char* stored;
    bool enabled;
  };
  const Case cases[] = {{__LINE__, "0", false}, {__LINE__, "1", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Open(std::string(R"("Mappings Directory": "", "Logging Directory": "", )") +
         R"("Working Directory": "", "EDI Output": "", "Enable Logging": ")" + c.stored + "\"");
    auto* box = Child<QLineEdit>(Window(), "loggingDirectory");
    auto* browse = Child<QPushButton>(Window(), "browseLogging");
    auto* check = Child<QCheckBox>(Window(), "enableLogging");
    EXPECT_EQ(check->isChecked(), c.enabled);
    EXPECT_EQ(box->isEnabled(), c.enabled);
    EXPECT_EQ(browse->isEnabled(), c.enabled);
    // An empty "EDI Output" selects per batch.
    EXPECT_TRUE(Child<QRadioButton>(Window(), "perBatch")->isChecked());
    EXPECT_FALSE(controller_->Dirty());

    ClickIndicator(check);
    EXPECT_EQ(box->isEnabled(), !c.enabled);
    EXPECT_EQ(browse->isEnabled(), !c.enabled);
    EXPECT_TRUE(controller_->Dirty());
  }
}

TEST_F(SetupWindowTest, BrowseButtonsFillTheirBoxes) {
  Open(R"("Mappings Directory": "m", "Logging Directory": "l", "Working Directory": "w",
          "EDI Output": "", "Enable Logging": "1")");
  struct Case {
    int line;
    const char* button;
    const char* box;
    const char* answer;
    const char* shown;
  };
  const Case cases[] = {
      {__LINE__, "browseMappings", "mappingsDirectory", "/srv/maps", "/srv/maps"},
      {__LINE__, "browseWorking", "workingDirectory", "/srv/work", "/srv/work"},
      {__LINE__, "browseLogging", "loggingDirectory", "/srv/logs", "/srv/logs"},
      {__LINE__, "browseLogging", "loggingDirectory", "", "/srv/logs"},  // cancelled
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    folders_.answer = c.answer;
    Click(Window(), c.button);
    EXPECT_EQ(Child<QLineEdit>(Window(), c.box)->text(), c.shown);
    EXPECT_EQ(folders_.titles.back(), "Please Select Working Dir Folder");
  }
  EXPECT_TRUE(controller_->Dirty());
  EXPECT_EQ(controller_->MappingsDirectory(), "/srv/maps");
}

TEST_F(SetupWindowTest, HelpButtonAndF1OpenTheCurrentTabsPage) {
  Open("");
  const char* pages[] = {"c_generaltab.html", "c_datamappingstab.html", "c_fieldmappingtab.html",
                         "c_outputdatatab.html"};
  for (int tab = 0; tab < 4; ++tab) {
    SCOPED_TRACE(tab);
    Window().ShowTab(tab);
    Click(Window(), "help");
    ASSERT_FALSE(documents_.opened.empty());
    const std::string& path = documents_.opened.back();
    EXPECT_NE(path.find("Documentation\\Help\\Quillon\\Quillon_help\\"), std::string::npos);
    EXPECT_EQ(path.substr(path.size() - std::string(pages[tab]).size()), pages[tab]);
  }
  // F1 where the focus is, on release.
  documents_.opened.clear();
  Window().ShowTab(0);
  Window().activateWindow();
  auto* box = Child<QLineEdit>(Window(), "workingDirectory");
  box->setFocus();
  QTest::keyPress(box, Qt::Key_F1);
  EXPECT_TRUE(documents_.opened.empty());
  QTest::keyRelease(box, Qt::Key_F1);
  ASSERT_EQ(documents_.opened.size(), 1u);
  EXPECT_NE(documents_.opened[0].find("c_generaltab.html"), std::string::npos);
}

TEST_F(SetupWindowTest, TheHelpPagesAreWhereTheHelpPathPoints) {
  // The build places the pages beside the libraries, as the install does.
  for (const char* caption : {"&General", "D&ata Mappings", "Fiel&d Mappings", "Outp&ut Data"}) {
    SCOPED_TRACE(caption);
    const std::string path = SetupController::HelpPath(caption);
    std::string native = path;
    for (char& c : native) {
      if (c == '\\') c = '/';
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(native)) << native;
    EXPECT_NE(ReadFile(native).find("<h1>"), std::string::npos);
  }
}

// The window as the setup script shows it: modal, until it closes.
TEST(SetupWindowModal, RunUiShowsTheWindowUntilItCloses) {
  testing_support::TempDir dir;
  FileSetupData setupData(dir.Write("class.json", BatchClassJson("")));
  ScriptedMessageBoxes boxes;
  platform::ScopedMessageBoxService useBoxes(boxes);
  RecordedDocuments documents;
  ScriptedFolders folders;
  int shown = 0;
  ReleaseSetupScript script([&]() -> std::unique_ptr<SetupWindow> {
    auto window = std::make_unique<QtSetupWindow>(folders, documents);
    SetupDialogWindow* dialog = &window->Window();
    QTimer::singleShot(0, dialog, [dialog, &shown] {
      shown += dialog->isVisible() && dialog->isModal() ? 1 : 0;
      QTest::mouseClick(dialog->findChild<QPushButton*>("cancel"), Qt::LeftButton);
    });
    return window;
  });
  script.SetSetupData(&setupData);
  EXPECT_EQ(script.RunUI(), 0);
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(boxes.shown.empty());
  // A second RunUI shows a new window.
  EXPECT_EQ(script.RunUI(), 0);
  EXPECT_EQ(shown, 2);
}

TEST(QtMessageBoxes, ShowsTheRequestAndReturnsTheButtonPressed) {
  struct Case {
    int line;
    platform::MessageButtons buttons;
    QMessageBox::StandardButton press;  // NoButton: Escape
    MessageAnswer answer;
  };
  const Case cases[] = {
      {__LINE__, platform::MessageButtons::kYesNo, QMessageBox::Yes, MessageAnswer::kYes},
      {__LINE__, platform::MessageButtons::kYesNo, QMessageBox::No, MessageAnswer::kNo},
      {__LINE__, platform::MessageButtons::kYesNo, QMessageBox::NoButton, MessageAnswer::kNo},
      {__LINE__, platform::MessageButtons::kOk, QMessageBox::Ok, MessageAnswer::kOk},
      {__LINE__, platform::MessageButtons::kOkCancel, QMessageBox::NoButton,
       MessageAnswer::kCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    QString title;
    QString text;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      title = box->windowTitle();
      text = box->text();
      if (c.press == QMessageBox::NoButton) {
        QTest::keyClick(box, Qt::Key_Escape);
      } else {
        QTest::mouseClick(box->button(c.press), Qt::LeftButton);
      }
    });
    QtMessageBoxes boxes;
    EXPECT_EQ(boxes.Show(
                  {"line one\r\nline two", "Quillon", c.buttons, platform::MessageIcon::kQuestion}),
              c.answer);
    EXPECT_EQ(title, "Quillon");
    EXPECT_EQ(text, "line one\nline two");
  }
}

}  // namespace
}  // namespace quillon
