// The save of the setup dialog: its order, every refusal (which must leave
// the batch-class file and the mapping files exactly as they were), the host
// links it adds, and saves that fail or die half-way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/batch_class_file.h"
#include "host/custom_property_collection.h"
#include "platform/file_replace.h"
#include "release/file_system_seam.h"
#include "setup/setup_fixture.h"

namespace quillon::setup_testing {
namespace {

namespace fs = std::filesystem;
using platform::MessageAnswer;
using Box = SetupController::DirectoryBox;
using Button = SetupController::ClosingButton;

// A host that records every call the save makes on it, and keeps every link
// it is given.
class RecordingSetupData final : public HostSetupData {
 public:
  explicit RecordingSetupData(std::vector<std::string>& events)
      : properties_(events), links_(events), events_(events) {}

  HostSetupCustomProperties& CustomProperties() override { return properties_; }
  HostLinks& Links() override { return links_; }
  const HostNames& IndexFields() const override { return indexFields; }
  const HostNames& BatchFields() const override { return batchFields; }
  const HostNames& HostVariables() const override { return hostVariables; }
  void Apply() override { events_.push_back("apply"); }
  void ReportError(std::int32_t, std::int32_t, std::int32_t, const std::string& description,
                   const std::string&, std::int32_t) override {
    events_.push_back("report " + description);
  }

  class Names final : public HostNames {
   public:
    const std::string& Item(std::int32_t position) const override {
      return items.at(static_cast<std::size_t>(position - 1));
    }
    std::int32_t Count() const override { return static_cast<std::int32_t>(items.size()); }
    std::vector<std::string> items;
  };
  Names indexFields;
  Names batchFields;
  Names hostVariables;

 private:
  class Properties final : public HostSetupCustomProperties {
   public:
    explicit Properties(std::vector<std::string>& events) : events_(events) {}
    const HostCustomProperty& Item(std::string_view name) const override {
      return held_.Item(name);
    }
    const HostCustomProperty& Item(std::int32_t position) const override {
      return held_.Item(position);
    }
    std::int32_t Count() const override { return held_.Count(); }
    void Add(std::string_view name, std::string_view value) override {
      events_.push_back("property " + std::string(name) + "=" + std::string(value));
      held_.Add(name, value);
    }
    void RemoveAll() override {
      events_.push_back("remove all properties");
      held_.RemoveAll();
    }

   private:
    CustomPropertyCollection held_;
    std::vector<std::string>& events_;
  };
  class LinkList final : public HostLinks {
   public:
    explicit LinkList(std::vector<std::string>& events) : events_(events) {}
    const HostLink& Item(std::int32_t position) const override {
      return items_.at(static_cast<std::size_t>(position - 1));
    }
    std::int32_t Count() const override { return static_cast<std::int32_t>(items_.size()); }
    void Add(std::string_view destination, std::int32_t type, std::string_view source) override {
      events_.push_back("link " + std::string(destination) + "|" + std::to_string(type) + "|" +
                        std::string(source));
      items_.push_back({std::string(source), type, std::string(destination)});
    }

   private:
    std::vector<HostLink> items_;
    std::vector<std::string>& events_;
  };

  Properties properties_;
  LinkList links_;
  std::vector<std::string>& events_;
};

// Records which file each completed replacement put in place.
class RecordingReplaceSteps : public platform::PosixFileReplaceSteps {
 public:
  explicit RecordingReplaceSteps(std::vector<std::string>& events) : events_(events) {}
  int Rename(const std::string& from, const std::string& to) override {
    events_.push_back("write " + fs::path(to).filename().string());
    return PosixFileReplaceSteps::Rename(from, to);
  }

 private:
  std::vector<std::string>& events_;
};

TEST_F(SetupDialogTest, TheSaveRunsInItsFixedOrder) {
  struct Row {
    int line;
    bool edited;
    std::vector<std::string> before;  // what happens before the properties
    std::vector<std::string> writes;  // the mapping files written
  } rows[] = {
      {__LINE__,
       true,
       {"ask Are you sure you want to overwrite the mapping files? -> yes"},
       {"write FeedOutputMappings.xml"}},
      // Nothing edited: the editors are reloaded silently, and the files
      // already hold what they show.
      {__LINE__, false, {}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    dir_.Write("maps/FeedOutputMappings.xml", MappingDocument("Output"));
    std::vector<std::string> events;
    RecordingSetupData host(events);
    host.indexFields.items = {"Patient Name", "Total"};
    host.batchFields.items = {"Payer"};
    host.hostVariables.items = {"Batch ID", "Release Date"};
    for (const auto& [name, value] : DefaultClass().properties) {
      host.CustomProperties().Add(name, value);
    }
    host.Links().Add("Total", kSourceIndexField, "Total");
    RecordingBoxes boxes({MessageAnswer::kYes}, &events);
    platform::ScopedMessageBoxService useBoxes(boxes);
    RecordingReplaceSteps steps(events);
    platform::ScopedFileReplaceSteps useSteps(steps);
    LogCapture log;

    SetupController dialog(data_, field_, output_, folders_, documents_);
    dialog.ShowForm(host);
    if (row.edited) output_.Edit(MappingDocument("Edited"));
    dialog.ClickEnableLogging(false);
    dialog.SelectEdiOutput(EdiOutputMode::kPerDocument);
    events.clear();
    ASSERT_TRUE(dialog.RequestClose(Button::kOk));

    std::vector<std::string> expected = row.before;
    for (const char* line : {
             "remove all properties",
             "",  // the mappings directory, below
             "property Logging Directory=",
             "property Working Directory=",
             "property EDI Output=One EDI Per Document",
             "property Enable Logging=0",
             "*",  // the writes, below
             "link Payer|3|Payer",
             "link Patient Name|0|Patient Name",
             "link Batch ID|2|Batch ID",
             "link Release Date|2|Release Date",
             "show Quillon Connector has been updated!",
             "show Custom Properties Saved: ",
             "apply",
         }) {
      if (std::string_view(line) == "*") {
        expected.insert(expected.end(), row.writes.begin(), row.writes.end());
      } else {
        expected.push_back(*line ? line : "property Mappings Directory=" + MappingsDir());
      }
    }
    EXPECT_EQ(events, expected);
    EXPECT_EQ(testing_support::ReadFile(MappingFile("FeedOutputMappings.xml")),
              row.edited ? MappingDocument("Edited") : MappingDocument("Output"));
    const std::string text = log.Text();
    std::size_t at = 0;
    for (const char* line : {"L1 Saving Release setup Links ", "L1 After Saving mappings XML ",
                             "L1 After linking unlinked batch and document fields",
                             "L1 After calling SetupData. Apply"}) {
      at = text.find(line, at);
      EXPECT_NE(at, std::string::npos) << line << "\n" << text;
    }
  }
}

TEST_F(SetupDialogTest, OnlyMappingFilesThatWouldChangeAreWritten) {
  const std::string commented =
      "<?xml version=\"1.0\"?>\n<FieldMappings>\n  <!-- kept -->\n"
      "  <MappingClass name=\"Field\"><Fields/></MappingClass>\n</FieldMappings>\n";
  dir_.Write("maps/FieldMappings.xml", commented);
  fs::create_directories(dir_.path() / "maps2");
  RecordingBoxes boxes({MessageAnswer::kYes});
  platform::ScopedMessageBoxService use(boxes);

  // No edits: the files stay byte for byte, comments and all.
  Open();
  Dialog().SetWorkingDirectory(dir_.str());
  ASSERT_TRUE(Dialog().RequestClose(Button::kOk));
  EXPECT_EQ(testing_support::ReadFile(MappingFile("FieldMappings.xml")), commented);

  // One edit: that file only.
  Open();
  data_.Edit(MappingDocument("D2"));
  ASSERT_TRUE(Dialog().RequestClose(Button::kOk));
  EXPECT_EQ(testing_support::ReadFile(MappingFile("DataMappings.xml")), MappingDocument("D2"));
  EXPECT_EQ(testing_support::ReadFile(MappingFile("FieldMappings.xml")), commented);

  // Another directory: every editor's document goes there, edited or not.
  Open();
  Dialog().SetMappingsDirectory(dir_.Child("maps2"));
  output_.Edit(MappingDocument("O2"));
  ASSERT_TRUE(Dialog().RequestClose(Button::kOk));
  EXPECT_EQ(testing_support::ReadFile(dir_.Child("maps2/DataMappings.xml")), MappingDocument("D2"));
  EXPECT_EQ(testing_support::ReadFile(dir_.Child("maps2/FieldMappings.xml")),
            "<FieldMappings><MappingClass name=\"Field\"><Fields/></MappingClass></FieldMappings>");
  EXPECT_EQ(testing_support::ReadFile(dir_.Child("maps2/FeedOutputMappings.xml")),
            MappingDocument("O2"));
  EXPECT_EQ(testing_support::ReadFile(MappingFile("FieldMappings.xml")), commented);
}

TEST_F(SetupDialogTest, TheSavedReportsListLinksAndProperties) {
  RecordingBoxes boxes;
  platform::ScopedMessageBoxService use(boxes);
  Open();
  ASSERT_TRUE(Dialog().RequestClose(Button::kOk));
  const std::vector<std::string> texts = boxes.Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0],
            "Quillon Connector has been updated!"
            "\r\nSource: Patient Name, Dest: PatientName, Type: 0"
            "\r\nSource: Payer, Dest: Payer, Type: 3"
            "\r\nSource: Patient Name, Dest: Patient Name, Type: 0"
            "\r\nSource: Total, Dest: Total, Type: 0"
            "\r\nSource: Batch ID, Dest: Batch ID, Type: 2"
            "\r\nSource: Release Date, Dest: Release Date, Type: 2");
  EXPECT_EQ(texts[1],
            "Custom Properties Saved: \r\n\r\nName: Mappings Directory, Value: " + MappingsDir() +
                "\r\nName: Logging Directory, Value: \r\nName: Working Directory, "
                "Value: \r\nName: EDI Output, Value: One EDI Per Batch\r\nName: "
                "Enable Logging, Value: 0");
  for (const auto& request : boxes.Shown()) {
    EXPECT_EQ(request.title, "Quillon");
    EXPECT_EQ(request.icon, platform::MessageIcon::kInformation);
  }
}

// A file system on which no directory can be made.
struct NoNewDirectories : PosixFileSystem {
  int MakeDirectory(const std::string&, unsigned) override { return EACCES; }
};

TEST_F(SetupDialogTest, EveryRefusalLeavesTheFilesAsTheyWere) {
  const std::string overwrite = "Are you sure you want to overwrite the mapping files?";
  const std::string logs = dir_.Child("logs");
  const std::string createLogs = logs + "\r" + "The directory does not exist. Create it?";
  const std::string aFile = dir_.Write("a-file", "x");
  struct Row {
    int line;
    std::function<void()> arrange;  // after the dialog was opened
    std::vector<MessageAnswer> answers;
    bool noNewDirectories;
    std::vector<std::string> messages;
    Box focus;
  } rows[] = {
      {__LINE__,
       [&] { Dialog().SetMappingsDirectory(dir_.Child("none")); },
       {},
       false,
       {"Mappings Directory is not valid"},
       Box::kMappings},
      {__LINE__,
       [&] { Dialog().SetMappingsDirectory(""); },
       {},
       false,
       {"Mappings Directory is not valid"},
       Box::kMappings},
      {__LINE__,
       [&] { Dialog().SetMappingsDirectory(aFile); },
       {},
       false,
       {"Mappings Directory is not valid"},
       Box::kMappings},
      // The mappings directory is never created, even when the answer would be Yes.
      {__LINE__,
       [&] { Dialog().SetMappingsDirectory(logs); },
       {MessageAnswer::kYes},
       false,
       {"Mappings Directory is not valid"},
       Box::kMappings},
      {__LINE__,
       [&] {
         Dialog().ClickEnableLogging(true);
         Dialog().SetLoggingDirectory(logs);
       },
       {MessageAnswer::kYes},
       true,
       {createLogs, "Logging Directory is not valid"},
       Box::kLogging},
      {__LINE__,
       [&] {
         Dialog().ClickEnableLogging(true);
         Dialog().SetLoggingDirectory(logs);
       },
       {MessageAnswer::kNo},
       false,
       {createLogs, "Logging Directory is not valid"},
       Box::kLogging},
      {__LINE__,
       [&] {
         Dialog().ClickEnableLogging(true);
         Dialog().SetLoggingDirectory("");
       },
       {},
       false,
       {"Logging Directory is not valid"},
       Box::kLogging},
      {__LINE__,
       [&] { Dialog().SetWorkingDirectory(logs); },
       {MessageAnswer::kYes},
       true,
       {createLogs, "Working Directory is not valid"},
       Box::kWorking},
      {__LINE__,
       [&] { data_.Edit(MappingDocument("Edited")); },
       {MessageAnswer::kNo},
       false,
       {overwrite},
       Box::kNone},
      {__LINE__,
       [&] { fs::remove(MappingFile("FieldMappings.xml")); },
       {},
       false,
       {"The mapping files do not exist"},
       Box::kNone},
      {__LINE__,
       [&] { dir_.Write("maps/FieldMappings.xml", "<FieldMappings><Oops>"); },
       {},
       false,
       {"The mapping files are invalid"},
       Box::kNone},
      {__LINE__,
       [&] { fs::permissions(MappingFile("FeedOutputMappings.xml"), fs::perms::owner_read); },
       {},
       false,
       {"Could not modify the mapping files - Access is denied"},
       Box::kNone},
      {__LINE__,
       [&] {
         fs::permissions(MappingFile("DataMappings.xml"), fs::perms::owner_read);
         output_.Edit(MappingDocument("Edited"));
       },
       {MessageAnswer::kYes},
       false,
       {overwrite, "Could not modify the mapping files - Access is denied"},
       Box::kNone},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    for (const char* name : {"DataMappings.xml", "FieldMappings.xml", "FeedOutputMappings.xml"}) {
      dir_.Write(std::string("maps/") + name, MappingDocument(name));
      fs::permissions(MappingFile(name), fs::perms::owner_read | fs::perms::owner_write);
    }
    Open();
    row.arrange();
    const auto before = Snapshot(dir_.path());
    RecordingBoxes boxes(row.answers);
    platform::ScopedMessageBoxService useBoxes(boxes);
    NoNewDirectories noDirectories;
    std::optional<ScopedFileSystem> useFileSystem;
    if (row.noNewDirectories) useFileSystem.emplace(noDirectories);

    EXPECT_FALSE(Dialog().RequestClose(Button::kOk)) << "the dialog stays open";
    EXPECT_EQ(boxes.Texts(), row.messages);
    EXPECT_EQ(Dialog().FocusRequest(), row.focus);
    EXPECT_EQ(Dialog().RecordedClosingButton(), Button::kNone);
    EXPECT_EQ(Snapshot(dir_.path()), before);
    EXPECT_EQ(Host().ApplyCount(), 0);
    EXPECT_FALSE(fs::exists(logs));
  }
}

TEST_F(SetupDialogTest, ADirectoryTheAdministratorAgreesToCreateIsCreated) {
  RecordingBoxes boxes({MessageAnswer::kYes, MessageAnswer::kYes});
  platform::ScopedMessageBoxService use(boxes);
  Open();
  Dialog().ClickEnableLogging(true);
  Dialog().SetLoggingDirectory(dir_.Child("new/logs"));
  Dialog().SetWorkingDirectory(dir_.Child("new/work"));
  const SetupController::DirectoryCheck check = Dialog().ValidateDirectories();
  EXPECT_TRUE(check.valid);
  EXPECT_EQ(check.focus, Box::kNone);
  EXPECT_TRUE(fs::is_directory(dir_.Child("new/logs")));
  EXPECT_TRUE(fs::is_directory(dir_.Child("new/work")));
  for (const auto& request : boxes.Shown()) EXPECT_EQ(request.title, "Drive/Directory Problem");
}

TEST_F(SetupDialogTest, WithLoggingOffTheLoggingDirectoryIsNotChecked) {
  RecordingBoxes boxes;
  platform::ScopedMessageBoxService use(boxes);
  Open();
  Dialog().SetLoggingDirectory("Q:\\: not a directory");
  Dialog().SetWorkingDirectory("");  // an empty working directory is accepted too
  EXPECT_TRUE(Dialog().ValidateDirectories().valid);
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_FALSE(Dialog().LoggingControlsEnabled());
}

TEST_F(SetupDialogTest, NeitherOutputModeStoresEmptyAndLoadsBackAsPerBatch) {
  RecordingBoxes boxes;
  platform::ScopedMessageBoxService use(boxes);
  Open();
  Dialog().SelectEdiOutput(EdiOutputMode::kNone);
  ASSERT_TRUE(Dialog().RequestClose(Button::kOk));
  const BatchClassDefinition saved = LoadBatchClassFile(ClassFile());
  ASSERT_EQ(saved.CustomProperties.size(), 5u);
  EXPECT_EQ(saved.CustomProperties[3].Name, "EDI Output");
  EXPECT_EQ(saved.CustomProperties[3].Value, "");
  Open();
  EXPECT_EQ(Dialog().EdiOutput(), EdiOutputMode::kPerBatch);
}

TEST_F(SetupDialogTest, TheSaveLinksWhatNoLinkCarriesYet) {
  BatchClassText text = DefaultClass();
  text.indexFields = {"Renamed", "Own", "FirstDecides", "Unlinked"};
  text.batchFields = {"Payer", "Submitter"};
  text.hostVariables = {"Batch ID"};
  text.links = {
      {"Other", 0, "Renamed"},              // linked under another destination
      {"Own", 0, "Own"},                    // linked under its own name
      {"Elsewhere", 0, "FirstDecides"},     // the first link by source decides ...
      {"FirstDecides", 3, "FirstDecides"},  // ... not this one
      {"PayerID", 3, "Payer"},              // a batch field needs any link by source
      {"Batch ID", 2, "Batch ID"},          // a host variable's link exists already
  };
  WriteBatchClass(text);
  RecordingBoxes boxes;
  platform::ScopedMessageBoxService use(boxes);
  Open();
  ASSERT_TRUE(Dialog().RequestClose(Button::kOk));

  struct Row {
    int line;
    std::string destination;
    std::int32_t type;
    std::string source;
  } added[] = {
      {__LINE__, "Submitter", kSourceBatchField, "Submitter"},
      {__LINE__, "Renamed", kSourceIndexField, "Renamed"},
      {__LINE__, "FirstDecides", kSourceIndexField, "FirstDecides"},
      {__LINE__, "Unlinked", kSourceIndexField, "Unlinked"},
      // "Batch ID" is asked for again and the stand-in host, holding that
      // very link, drops it.
  };
  const BatchClassDefinition saved = LoadBatchClassFile(ClassFile());
  ASSERT_EQ(saved.Links.size(), text.links.size() + std::size(added));
  for (std::size_t i = 0; i < std::size(added); ++i) {
    const Row& row = added[i];
    SCOPED_TRACE(row.line);
    const HostLink& link = saved.Links[text.links.size() + i];
    EXPECT_EQ(link.Destination, row.destination);
    EXPECT_EQ(link.SourceType, row.type);
    EXPECT_EQ(link.Source, row.source);
  }
}

TEST_F(SetupDialogTest, HostVariablesAreLinkedOnEverySave) {
  // The dialog asks for every variable's link on every save; the stand-in
  // host keeps one of each.
  std::vector<std::string> events;
  RecordingSetupData host(events);
  host.hostVariables.items = {"Batch ID", "Release Date"};
  for (const auto& [name, value] : DefaultClass().properties) {
    host.CustomProperties().Add(name, value);
  }
  RecordingBoxes boxes;
  platform::ScopedMessageBoxService use(boxes);
  for (int save = 1; save <= 2; ++save) {
    SetupController dialog(data_, field_, output_, folders_, documents_);
    dialog.ShowForm(host);
    ASSERT_TRUE(dialog.RequestClose(Button::kOk));
  }
  EXPECT_EQ(std::count(events.begin(), events.end(), "link Batch ID|2|Batch ID"), 2);
  EXPECT_EQ(std::count(events.begin(), events.end(), "link Release Date|2|Release Date"), 2);

  for (int save = 1; save <= 2; ++save) {
    Open();
    ASSERT_TRUE(Dialog().RequestClose(Button::kOk));
  }
  int variableLinks = 0;
  for (const HostLink& link : LoadBatchClassFile(ClassFile()).Links) {
    variableLinks += link.SourceType == kSourceHostVariable ? 1 : 0;
  }
  EXPECT_EQ(variableLinks, 2);
}

TEST_F(SetupDialogTest, ATrailingBackslashNamesTheSameFiles) {
  RecordingBoxes boxes({MessageAnswer::kYes});
  platform::ScopedMessageBoxService use(boxes);
  Open();
  Dialog().SetMappingsDirectory(MappingsDir() + "\\");
  data_.Edit(MappingDocument("Edited"));
  const auto before = Snapshot(dir_.path());
  ASSERT_TRUE(Dialog().RequestClose(Button::kOk));
  EXPECT_EQ(Dialog().Batch().dataMappingsFile, MappingsDir() + "\\\\DataMappings.xml");
  const auto after = Snapshot(dir_.path());
  ASSERT_EQ(after.size(), before.size()) << "no other file was written";
  EXPECT_EQ(after.at("maps/DataMappings.xml"), MappingDocument("Edited"));
  EXPECT_EQ(LoadBatchClassFile(ClassFile()).CustomProperties[0].Value, MappingsDir() + "\\");
}

// A process that dies in the middle of the save.
struct SimulatedCrash {};

TEST_F(SetupDialogTest, ASaveInterruptedAfterTheTemporaryFileLeavesTheOldFiles) {
  struct CrashAtRename : platform::PosixFileReplaceSteps {
    int Rename(const std::string&, const std::string&) override { throw SimulatedCrash{}; }
  } steps;
  RecordingBoxes boxes({MessageAnswer::kYes});
  platform::ScopedMessageBoxService useBoxes(boxes);
  Open();
  Dialog().SelectEdiOutput(EdiOutputMode::kPerDocument);
  data_.Edit(MappingDocument("Edited"));
  const auto before = Snapshot(dir_.path());
  {
    platform::ScopedFileReplaceSteps use(steps);
    EXPECT_THROW(Dialog().RequestClose(Button::kOk), SimulatedCrash);
  }
  auto after = Snapshot(dir_.path());
  // The dead process left its temporary file, under a name no reader uses.
  std::vector<std::string> leftovers;
  for (auto it = after.begin(); it != after.end();) {
    if (fs::path(it->first).filename().string().rfind(".DataMappings.xml.", 0) == 0) {
      leftovers.push_back(it->second);
      it = after.erase(it);
    } else {
      ++it;
    }
  }
  EXPECT_EQ(after, before);
  EXPECT_EQ(leftovers, std::vector<std::string>{MappingDocument("Edited")});
  EXPECT_EQ(Host().ApplyCount(), 0);
}

TEST_F(SetupDialogTest, AMappingFileThatCannotBeWrittenIsReportedAndTheSaveGoesOn) {
  struct RenameFails : platform::PosixFileReplaceSteps {
    int Rename(const std::string& from, const std::string& to) override {
      if (fs::path(to).filename() == "FieldMappings.xml") return ENOSPC;
      return PosixFileReplaceSteps::Rename(from, to);
    }
  } steps;
  struct Row {
    int line;
    std::function<void()> arrange;
    bool renameFails;
    std::string data, field, output;  // the files afterwards
  } rows[] = {
      {__LINE__,
       [&] {
         data_.Edit(MappingDocument("D2"));
         field_.Edit(MappingDocument("F2"));
         output_.Edit(MappingDocument("O2"));
       },
       true, MappingDocument("D2"), MappingDocument("Field"), MappingDocument("Output")},
      // An editor text that is no mapping document stops the writing there.
      {__LINE__,
       [&] {
         data_.Edit(MappingDocument("D2"));
         field_.Edit("<FieldMappings><MappingClass>");
         output_.Edit(MappingDocument("O2"));
       },
       false, MappingDocument("D2"), MappingDocument("Field"), MappingDocument("Output")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    WriteBatchClass(DefaultClass());
    dir_.Write("maps/DataMappings.xml", MappingDocument("Data"));
    RecordingBoxes boxes({MessageAnswer::kYes});
    platform::ScopedMessageBoxService useBoxes(boxes);
    Open();
    Dialog().SelectEdiOutput(EdiOutputMode::kPerDocument);
    row.arrange();
    std::optional<platform::ScopedFileReplaceSteps> use;
    if (row.renameFails) use.emplace(steps);
    EXPECT_TRUE(Dialog().RequestClose(Button::kOk));
    const std::vector<std::string> texts = boxes.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[1], "Can't save the mapping files");
    EXPECT_EQ(testing_support::ReadFile(MappingFile("DataMappings.xml")), row.data);
    EXPECT_EQ(testing_support::ReadFile(MappingFile("FieldMappings.xml")), row.field);
    EXPECT_EQ(testing_support::ReadFile(MappingFile("FeedOutputMappings.xml")), row.output);
    EXPECT_EQ(Snapshot(dir_.path()).size(), 4u) << "no temporary file is left";
    // The settings are saved all the same.
    EXPECT_EQ(LoadBatchClassFile(ClassFile()).CustomProperties[3].Value, "One EDI Per Document");
  }
}

TEST_F(SetupDialogTest, AnApplyThatFailsIsReportedAndKeepsTheDialogOpen) {
  struct ClassFileCannotBeReplaced : platform::PosixFileReplaceSteps {
    int Rename(const std::string& from, const std::string& to) override {
      if (fs::path(to).filename() == "class.json") return EIO;
      return PosixFileReplaceSteps::Rename(from, to);
    }
  } steps;
  platform::ScopedFileReplaceSteps use(steps);
  RecordingBoxes boxes;
  platform::ScopedMessageBoxService useBoxes(boxes);
  LogCapture log;
  Open();
  const std::string before = testing_support::ReadFile(ClassFile());
  Dialog().SelectEdiOutput(EdiOutputMode::kPerDocument);
  EXPECT_FALSE(Dialog().RequestClose(Button::kOk));
  const std::vector<std::string> texts = boxes.Texts();
  ASSERT_EQ(texts.size(), 3u);  // the two reports, then the failure
  EXPECT_EQ(texts[2].rfind("The settings could not be saved: ", 0), 0u) << texts[2];
  EXPECT_NE(texts[2].find("class.json"), std::string::npos) << texts[2];
  EXPECT_EQ(testing_support::ReadFile(ClassFile()), before);
  EXPECT_NE(log.Text().find("ERROR SaveSettings | SetupData.Apply | "), std::string::npos);
}

}  // namespace
}  // namespace quillon::setup_testing
