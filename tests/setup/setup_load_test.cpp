// Loading the dialog from the host's setup data and the mapping files, and
// the controls' own state (changed flag, logging controls).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "setup/mapping_storage.h"
#include "setup/setup_fixture.h"

namespace quillon::setup_testing {
namespace {

using Box = SetupController::DirectoryBox;

TEST_F(SetupDialogTest, ShowFormFillsTheControlsAndTheEditors) {
  BatchClassText text = DefaultClass();
  text.properties = {{"Mappings Directory", MappingsDir()},
                     {"Logging Directory", "C:\\logs"},
                     {"Working Directory", "/srv/work"},
                     {"EDI Output", "One EDI Per Document"},
                     {"Enable Logging", "1"}};
  WriteBatchClass(text);
  std::filesystem::remove(MappingFile("FieldMappings.xml"));  // a missing file starts empty
  Open();

  const SetupSettings& settings = Dialog().Settings();
  EXPECT_EQ(settings.mappingsDirectory, MappingsDir());
  EXPECT_EQ(settings.loggingDirectory, "C:\\logs");
  EXPECT_EQ(settings.workingDirectory, "/srv/work");
  EXPECT_EQ(settings.ediOutput, EdiOutputMode::kPerDocument);
  EXPECT_TRUE(settings.enableLogging);
  EXPECT_TRUE(Dialog().LoggingControlsEnabled());
  // Loading fires the controls' change events; the flag is cleared after.
  EXPECT_FALSE(Dialog().Changed());
  EXPECT_FALSE(Dialog().Dirty());
  EXPECT_EQ(Dialog().SetupData(), &Host());
  EXPECT_EQ(Dialog().Batch().dataMappingsFile, MappingsDir() + "\\DataMappings.xml");
  EXPECT_EQ(Dialog().Batch().outputMappingsFile, MappingsDir() + "\\FeedOutputMappings.xml");

  struct Row {
    int line;
    XmlTextEditor* editor;
    std::string xml;
  } rows[] = {
      {__LINE__, &data_, MappingDocument("Data")},
      {__LINE__, &field_, "<FieldMappings/>"},
      {__LINE__, &output_, MappingDocument("Output")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(row.editor->XmlText(), row.xml);
    EXPECT_FALSE(row.editor->Changed());
    EXPECT_TRUE(row.editor->MappingMode());
    EXPECT_TRUE(row.editor->Visible());
    EXPECT_EQ(row.editor->SetupData(), &Host());
    EXPECT_TRUE(row.editor->FirstFieldList().empty());  // nothing fills it at setup time
  }
}

TEST_F(SetupDialogTest, StoredValuesSelectTheControls) {
  struct Row {
    int line;
    const char* ediOutput;
    const char* enableLogging;
    EdiOutputMode mode;
    bool logging;
    bool editorsLoaded;  // false: the load stopped at the value
  } rows[] = {
      {__LINE__, "One EDI Per Batch", "0", EdiOutputMode::kPerBatch, false, true},
      {__LINE__, "One EDI Per Document", "1", EdiOutputMode::kPerDocument, true, true},
      // Neither mode was selected when it was saved: the per-batch option.
      {__LINE__, "", "0", EdiOutputMode::kPerBatch, false, true},
      {__LINE__, "one edi per document", "0", EdiOutputMode::kPerBatch, false, true},
      // "Enable Logging" is read as the release reads it.
      {__LINE__, "One EDI Per Batch", "True", EdiOutputMode::kPerBatch, true, true},
      {__LINE__, "One EDI Per Batch", " false ", EdiOutputMode::kPerBatch, false, true},
      {__LINE__, "One EDI Per Batch", "-1", EdiOutputMode::kPerBatch, true, true},
      {__LINE__, "One EDI Per Batch", "yes", EdiOutputMode::kPerBatch, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    BatchClassText text = DefaultClass();
    text.properties[3].second = row.ediOutput;
    text.properties[4].second = row.enableLogging;
    WriteBatchClass(text);
    data_.LoadFromXml("");
    Open();
    EXPECT_EQ(Dialog().EdiOutput(), row.mode);
    EXPECT_EQ(Dialog().EnableLogging(), row.logging);
    EXPECT_EQ(Dialog().LoggingControlsEnabled(), row.logging);
    EXPECT_EQ(data_.XmlText() == MappingDocument("Data"), row.editorsLoaded);
  }
}

TEST_F(SetupDialogTest, TheLoadStopsAtTheFirstMissingPropertyAndSaysSo) {
  struct Row {
    int line;
    std::vector<std::pair<std::string, std::string>> properties;
    std::string mappings;
    std::string logging;
  } rows[] = {
      {__LINE__, {}, "", ""},  // never saved: an empty dialog
      {__LINE__, {{"Mappings Directory", "M"}}, "M", ""},
      {__LINE__, {{"Mappings Directory", "M"}, {"Logging Directory", "L"}}, "M", "L"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    LogCapture log;
    BatchClassText text = DefaultClass();
    text.properties = row.properties;
    WriteBatchClass(text);
    data_.LoadFromXml("");
    Open();
    // The stand-in host hands a relative directory over resolved against
    // the folder of the batch-class file, as the release reads it.
    const auto resolved = [&](const std::string& d) { return d.empty() ? d : dir_.Child(d); };
    EXPECT_EQ(Dialog().MappingsDirectory(), resolved(row.mappings));
    EXPECT_EQ(Dialog().LoggingDirectory(), resolved(row.logging));
    EXPECT_EQ(Dialog().EdiOutput(), EdiOutputMode::kNone);
    EXPECT_EQ(data_.XmlText(), "");
    EXPECT_FALSE(Dialog().Dirty());
    EXPECT_NE(log.Text().find("ERROR LoadXMLMappingFromHalvo | 0 | "), std::string::npos)
        << log.Text();
  }
}

TEST_F(SetupDialogTest, AnInvalidMappingFileEndsTheLoadWithTheEditorsBeforeIt) {
  dir_.Write("maps/FieldMappings.xml", "<FieldMappings><MappingClass>");
  LogCapture log;
  Open();
  EXPECT_EQ(data_.XmlText(), MappingDocument("Data"));
  EXPECT_EQ(field_.Loads(), 0);
  EXPECT_EQ(output_.Loads(), 0);
  EXPECT_NE(log.Text().find("ERROR LoadXMLMappingFromHalvo"), std::string::npos);
  EXPECT_NE(log.Text().find("Loading general tab " + MappingsDir()), std::string::npos);
}

TEST_F(SetupDialogTest, EditsSetTheChangedFlag) {
  struct Row {
    int line;
    std::function<void(SetupController&)> edit;
    bool changed;
  } rows[] = {
      {__LINE__, [](SetupController& d) { d.SetMappingsDirectory("/other"); }, true},
      {__LINE__, [](SetupController& d) { d.SetLoggingDirectory("/logs"); }, true},
      {__LINE__, [](SetupController& d) { d.SetWorkingDirectory("/work"); }, true},
      {__LINE__, [](SetupController& d) { d.SetWorkingDirectory(""); }, false},  // same text
      {__LINE__, [](SetupController& d) { d.ClickEnableLogging(true); }, true},
      {__LINE__, [](SetupController& d) { d.SelectEdiOutput(EdiOutputMode::kPerBatch); }, true},
      {__LINE__, [](SetupController& d) { d.SelectEdiOutput(EdiOutputMode::kNone); }, true},
      {__LINE__, [](SetupController&) {}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Open();
    row.edit(Dialog());
    EXPECT_EQ(Dialog().Changed(), row.changed);
    EXPECT_EQ(Dialog().Dirty(), row.changed);
  }
  // An edited mapping makes the dialog dirty without touching its own flag.
  Open();
  field_.Edit(MappingDocument("Edited"));
  EXPECT_FALSE(Dialog().Changed());
  EXPECT_TRUE(Dialog().Dirty());
}

TEST_F(SetupDialogTest, TheLoggingControlsFollowTheCheckBox) {
  Open();
  EXPECT_FALSE(Dialog().LoggingControlsEnabled());
  Dialog().ClickEnableLogging(true);
  EXPECT_TRUE(Dialog().LoggingControlsEnabled());
  Dialog().ClickEnableLogging(false);
  EXPECT_FALSE(Dialog().LoggingControlsEnabled());
  EXPECT_EQ(Dialog().Directory(Box::kLogging), "");
}

TEST(MappingStorage, PathsExistenceAndWritability) {
  testing_support::TempDir dir;
  dir.Write("maps/DataMappings.xml", "x");
  dir.Write("maps/FieldMappings.xml", "x");
  const std::string readOnly = dir.Write("maps/FeedOutputMappings.xml", "x");
  std::filesystem::create_directories(dir.path() / "dirs" / "DataMappings.xml");
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
  struct Row {
    int line;
    std::string directory;
    bool exist;
  } rows[] = {
      {__LINE__, dir.Child("maps"), true},
      {__LINE__, dir.Child("maps") + "\\", true},  // doubled separator, same files
      {__LINE__, dir.Child("maps") + "/", true},
      {__LINE__, dir.Child("dirs"), false},  // a folder of that name is no file
      {__LINE__, dir.Child("none"), false},
      {__LINE__, "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(MappingFilesExist(row.directory), row.exist);
  }
  EXPECT_EQ(MappingFilePath("C:\\maps\\", MappingLevel::kField), "C:\\maps\\\\FieldMappings.xml");
  EXPECT_EQ(MappingFilePath("", MappingLevel::kOutput), "\\FeedOutputMappings.xml");
  EXPECT_FALSE(IsFileWritable(readOnly));
  EXPECT_TRUE(IsFileWritable(dir.Child("maps") + "\\DataMappings.xml"));
  EXPECT_TRUE(IsFileWritable(dir.Child("maps/New.xml")));  // a missing file: the save creates it
}

TEST(MappingStorage, InspectTellsLoadedMissingAndInvalid) {
  testing_support::TempDir dir;
  dir.Write("good.xml", MappingDocument("A"));
  dir.Write("bad.xml", "<FieldMappings>\n<MappingClass><Fields/></MappingClass></FieldMappings>");
  const MappingFileState good = InspectMappingFile(dir.Child("good.xml"));
  EXPECT_EQ(good.kind, MappingFileState::Kind::kLoaded);
  EXPECT_EQ(good.classes, 1);
  EXPECT_EQ(InspectMappingFile(dir.Child("none.xml")).kind, MappingFileState::Kind::kMissing);
  const MappingFileState bad = InspectMappingFile(dir.Child("bad.xml"));
  EXPECT_EQ(bad.kind, MappingFileState::Kind::kInvalid);
  EXPECT_EQ(bad.errorNumber, 6000);
  EXPECT_EQ(bad.line, 2);
  EXPECT_NE(bad.description.find("mapping class missing required attribute 'name'."),
            std::string::npos);
}

}  // namespace
}  // namespace quillon::setup_testing
