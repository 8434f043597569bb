// Loading the stand-in host's batch and batch-class files: what a valid file
// gives, and that every kind of broken input is refused with the file, the
// place and the problem named.
#include <gtest/gtest.h>

#include <string>

#include "host/batch_class_file.h"
#include "host/batch_file.h"
#include "host/host_file_error.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

constexpr const char* kBatchClass = R"({
  "name": "Claims",
  "customProperties": { "EDI Output": "One EDI Per Batch", "Enable Logging": "0" },
  "indexFields": ["Patient Name", "Total"],
  "batchFields": ["Payer"],
  "hostVariables": ["Batch ID"],
  "links": [
    { "destination": "Name", "sourceType": 0, "source": "Patient Name" },
    { "destination": "Payer", "sourceType": 3, "source": "Payer" },
    { "destination": "BID", "sourceType": 2, "source": "Batch ID" }
  ]
})";

constexpr const char* kBatch = R"({
  "batchClass": "class.json",
  "name": "Monday", "id": "B-7", "description": "two claims",
  "classNumber": 42,
  "batchFields": { "Payer": "87726" },
  "documents": [
    { "id": 17, "className": "CMS1500", "classId": 3,
      "indexFields": { "Patient Name": "DOE, JANE", "Total": "12.50" } },
    { "id": 18, "className": "UB04", "classId": 4, "indexFields": {} }
  ]
})";

TEST(BatchClassFile, ReadsEveryPartInOrder) {
  const BatchClassDefinition c = ParseBatchClass(kBatchClass, "class.json");
  EXPECT_EQ(c.Name, "Claims");
  ASSERT_EQ(c.CustomProperties.size(), 2u);
  EXPECT_EQ(c.CustomProperties[0].Name, "EDI Output");
  EXPECT_EQ(c.CustomProperties[1].Value, "0");
  EXPECT_EQ(c.IndexFields, (std::vector<std::string>{"Patient Name", "Total"}));
  EXPECT_EQ(c.BatchFields, (std::vector<std::string>{"Payer"}));
  EXPECT_EQ(c.HostVariables, (std::vector<std::string>{"Batch ID"}));
  ASSERT_EQ(c.Links.size(), 3u);
  EXPECT_EQ(c.Links[1].Destination, "Payer");
  EXPECT_EQ(c.Links[1].SourceType, kSourceBatchField);
  EXPECT_EQ(c.Links[2].Source, "Batch ID");
}

TEST(BatchClassFile, CustomPropertiesKeepWrittenOrderNotAlphabetical) {
  const BatchClassDefinition c = ParseBatchClass(
      R"({"name":"x","customProperties":{"Z":"1","A":"2","M":"3"},"indexFields":[],)"
      R"("batchFields":[],"hostVariables":[],"links":[]})",
      "f");
  ASSERT_EQ(c.CustomProperties.size(), 3u);
  EXPECT_EQ(c.CustomProperties[0].Name, "Z");
  EXPECT_EQ(c.CustomProperties[1].Name, "A");
  EXPECT_EQ(c.CustomProperties[2].Name, "M");
}

TEST(BatchClassFile, SaveAndLoadGiveTheSameClass) {
  testing_support::TempDir dir;
  BatchClassDefinition c = ParseBatchClass(kBatchClass, "class.json");
  c.CustomProperties.push_back({"Sl/ash~Tilde", "ü \"quoted\""});
  c.Links.push_back({"src", kSourceHostVariable, "dest"});
  const std::string path = dir.Child("saved.json");
  SaveBatchClassFile(path, c);
  const BatchClassDefinition back = LoadBatchClassFile(path);
  EXPECT_EQ(BatchClassToJson(back), BatchClassToJson(c));
  ASSERT_EQ(back.CustomProperties.size(), 3u);
  EXPECT_EQ(back.CustomProperties[2].Name, "Sl/ash~Tilde");
  EXPECT_EQ(back.CustomProperties[2].Value, "ü \"quoted\"");
  // No temporary file is left beside it.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST(BatchClassFile, SaveIntoMissingFolderFailsNamingTheFile) {
  testing_support::TempDir dir;
  const std::string path = dir.Child("no/such/class.json");
  try {
    SaveBatchClassFile(path, ParseBatchClass(kBatchClass, "class.json"));
    FAIL() << "no error";
  } catch (const HostFileError& e) {
    EXPECT_EQ(e.File(), path);
    EXPECT_NE(e.Problem().find("cannot be written"), std::string::npos) << e.what();
  }
}

TEST(BatchFile, ReadsEveryPartInOrder) {
  const BatchDefinition b = ParseBatch(kBatch, "batch.json");
  EXPECT_EQ(b.BatchClass, "class.json");
  EXPECT_EQ(b.Name, "Monday");
  EXPECT_EQ(b.Id, "B-7");
  EXPECT_EQ(b.Description, "two claims");
  EXPECT_EQ(b.ClassNumber, 42);
  EXPECT_EQ(b.BatchFields.ToString(), "Payer=87726");
  ASSERT_EQ(b.Documents.size(), 2u);
  EXPECT_EQ(b.Documents[0].Id, 17);
  EXPECT_EQ(b.Documents[0].ClassName, "CMS1500");
  EXPECT_EQ(b.Documents[0].ClassId, 3);
  EXPECT_EQ(b.Documents[0].IndexFields.ToString(), "Patient Name=DOE, JANE;Total=12.50");
  EXPECT_EQ(b.Documents[1].IndexFields.Count(), 0);
}

TEST(BatchFile, BatchClassPathIsRelativeToTheBatchFile) {
  struct Row {
    int line;
    const char* batchFile;
    const char* batchClass;
    const char* expected;
  } rows[] = {
      {__LINE__, "/data/in/batch.json", "class.json", "/data/in/class.json"},
      {__LINE__, "/data/in/batch.json", "../classes/c.json", "/data/classes/c.json"},
      {__LINE__, "/data/in/batch.json", "/etc/q/c.json", "/etc/q/c.json"},
      {__LINE__, "/data/in/batch.json", "sub\\c.json", "/data/in/sub/c.json"},  // Windows form
      {__LINE__, "batch.json", "c.json", "c.json"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    BatchDefinition b;
    b.BatchClass = row.batchClass;
    EXPECT_EQ(ResolveBatchClassPath(row.batchFile, b), row.expected);
  }
}

// A valid batch-class file with one part replaced by `replacement`.
std::string ClassWith(const std::string& from, const std::string& to) {
  std::string text = kBatchClass;
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

std::string BatchWith(const std::string& from, const std::string& to) {
  std::string text = kBatch;
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

struct BrokenRow {
  int line;
  std::string json;
  std::string place;    // expected Place()
  std::string problem;  // expected to appear in Problem()
};

void CheckBroken(const BrokenRow& row, bool batchClass) {
  SCOPED_TRACE(row.line);
  try {
    if (batchClass) {
      ParseBatchClass(row.json, "the-file.json");
    } else {
      ParseBatch(row.json, "the-file.json");
    }
    ADD_FAILURE() << "accepted";
  } catch (const HostFileError& e) {
    EXPECT_EQ(e.File(), "the-file.json");
    EXPECT_EQ(e.Place(), row.place) << e.what();
    EXPECT_NE(e.Problem().find(row.problem), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("the-file.json"), std::string::npos);
  }
}

TEST(BatchClassFile, BrokenInputIsRefusedWithPlaceAndProblem) {
  const BrokenRow rows[] = {
      {__LINE__, "", "", "not valid JSON"},
      {__LINE__, "{\"name\": \"x\",", "", "not valid JSON"},
      {__LINE__, "{\"name\": \"x\"}\n}", "", "line 2"},
      {__LINE__, "[]", "/", "must be an object, not an array"},
      {__LINE__, "{\"name\": \"\xff\"}", "", "not valid JSON"},    // not UTF-8
      {__LINE__, "{\"name\": -2e1474836}", "", "not valid JSON"},  // beyond any double
      {__LINE__, ClassWith("\"name\": \"Claims\",", ""), "/", "\"name\" is missing"},
      {__LINE__, ClassWith("\"name\": \"Claims\"", "\"name\": 5"), "/name", "must be text"},
      {__LINE__, ClassWith("\"name\": \"Claims\"", "\"name\": \"a\", \"name\": \"b\""), "/name",
       "written twice"},
      {__LINE__, ClassWith("\"name\": \"Claims\"", "\"name\": \"a\", \"indexfields\": []"),
       "/indexfields", "unknown key"},  // a misspelt key is not silently ignored
      {__LINE__, ClassWith("\"hostVariables\": [\"Batch ID\"],", ""), "/",
       "\"hostVariables\" is missing"},
      {__LINE__,
       ClassWith("{ \"EDI Output\": \"One EDI Per Batch\", \"Enable Logging\": \"0\" }", "[]"),
       "/customProperties", "must be an object, not an array"},
      {__LINE__, ClassWith("\"Enable Logging\": \"0\"", "\"Enable Logging\": 0"),
       "/customProperties/Enable Logging", "must be text, not a whole number"},
      {__LINE__, ClassWith("\"Enable Logging\": \"0\"", "\"edi output\": \"x\""),
       "/customProperties/edi output", "given twice"},
      {__LINE__, ClassWith("\"Enable Logging\": \"0\"", "\"a/b\": null"), "/customProperties/a~1b",
       "must be text, not null"},
      {__LINE__, ClassWith("\"Enable Logging\": \"0\"", "\"\": \"x\""), "/customProperties/",
       "needs a name"},
      {__LINE__, ClassWith("[\"Patient Name\", \"Total\"]", "\"Patient Name\""), "/indexFields",
       "must be an array, not text"},
      {__LINE__, ClassWith("[\"Patient Name\", \"Total\"]", "[\"Patient Name\", 7]"),
       "/indexFields/1", "must be text"},
      {__LINE__, ClassWith("[\"Patient Name\", \"Total\"]", "[\"Patient Name\", \"PATIENT NAME\"]"),
       "/indexFields/1", "given twice"},
      {__LINE__, ClassWith("[\"Payer\"]", "[\"\"]"), "/batchFields/0", "must not be empty"},
      {__LINE__, ClassWith("[\"Batch ID\"]", "{}"), "/hostVariables", "must be an array"},
      {__LINE__, ClassWith("\"sourceType\": 3", "\"sourceType\": 1"), "/links/1/sourceType",
       "must be 0 (index field), 2 (host variable) or 3 (batch field), not 1"},
      {__LINE__, ClassWith("\"sourceType\": 3", "\"sourceType\": \"3\""), "/links/1/sourceType",
       "must be a whole number, not text"},
      {__LINE__, ClassWith("\"sourceType\": 3", "\"sourceType\": 3.0"), "/links/1/sourceType",
       "must be a whole number, not a number with a fraction"},
      {__LINE__, ClassWith("\"sourceType\": 3", "\"sourceType\": 4294967299"),
       "/links/1/sourceType", "outside"},  // would wrap to 3 if cut to 32 bits
      {__LINE__, ClassWith("\"destination\": \"Name\", ", ""), "/links/0",
       "\"destination\" is missing"},
      {__LINE__, ClassWith("\"destination\": \"Name\"", "\"destination\": \"\""),
       "/links/0/destination", "must not be empty"},
      {__LINE__, ClassWith("\"source\": \"Batch ID\"", "\"source\": \"Batch ID\", \"x\": 1"),
       "/links/2/x", "unknown key"},
      {__LINE__,
       ClassWith("{ \"destination\": \"Name\", \"sourceType\": 0, \"source\": "
                 "\"Patient Name\" }",
                 "\"Name\""),
       "/links/0", "must be an object, not text"},
  };
  for (const BrokenRow& row : rows) CheckBroken(row, true);
}

TEST(BatchFile, BrokenInputIsRefusedWithPlaceAndProblem) {
  const BrokenRow rows[] = {
      {__LINE__, "{", "", "not valid JSON"},
      {__LINE__, "null", "/", "must be an object, not null"},
      {__LINE__, BatchWith("\"batchClass\": \"class.json\",", ""), "/",
       "\"batchClass\" is missing"},
      {__LINE__, BatchWith("\"class.json\"", "\"\""), "/batchClass", "must not be empty"},
      {__LINE__, BatchWith("\"id\": \"B-7\"", "\"id\": 7"), "/id", "must be text"},
      {__LINE__, BatchWith("\"classNumber\": 42", "\"classNumber\": \"42\""), "/classNumber",
       "must be a whole number"},
      {__LINE__, BatchWith("\"classNumber\": 42", "\"classNumber\": 2147483648"), "/classNumber",
       "outside -2147483648..2147483647"},
      {__LINE__, BatchWith("\"classNumber\": 42", "\"classNumber\": -2147483649"), "/classNumber",
       "outside"},
      {__LINE__, BatchWith("{ \"Payer\": \"87726\" }", "[\"87726\"]"), "/batchFields",
       "must be an object"},
      {__LINE__, BatchWith("\"Payer\": \"87726\"", "\"Payer\": 87726"), "/batchFields/Payer",
       "must be text"},
      {__LINE__, BatchWith("\"Payer\": \"87726\"", "\"Payer\": \"1\", \"payer\": \"2\""),
       "/batchFields/payer", "given twice"},
      {__LINE__, BatchWith("\"Payer\": \"87726\"", "\"Payer\": \"1\", \"Payer\": \"2\""),
       "/batchFields/Payer", "written twice"},
      {__LINE__, BatchWith("\"id\": 18", "\"id\": 17"), "/documents/1/id",
       "duplicate document id 17 (also /documents/0/id)"},
      {__LINE__, BatchWith("\"id\": 18", "\"id\": \"18\""), "/documents/1/id",
       "must be a whole number, not text"},
      {__LINE__, BatchWith("\"classId\": 4, ", ""), "/documents/1", "\"classId\" is missing"},
      {__LINE__, BatchWith("\"className\": \"UB04\"", "\"className\": [\"UB04\"]"),
       "/documents/1/className", "must be text, not an array"},
      {__LINE__, BatchWith("\"Total\": \"12.50\"", "\"Total\": 12.5"),
       "/documents/0/indexFields/Total", "must be text"},
      {__LINE__, BatchWith("\"Total\": \"12.50\"", "\"TOTAL\": \"1\", \"total\": \"2\""),
       "/documents/0/indexFields/total", "given twice"},
      {__LINE__, BatchWith("\"indexFields\": {} }", "\"indexFields\": {}, \"pages\": 2 }"),
       "/documents/1/pages", "unknown key"},
      {__LINE__,
       R"({"batchClass": "c", "name": "", "id": "", "description": "", "classNumber": 1,
           "batchFields": {}, "documents": {"id": 1}})",
       "/documents", "must be an array, not an object"},
      // The file is read in the order of its text: a document is checked key by
      // key, so an unknown key is found before anything nested in its value.
      {__LINE__, BatchWith("\"Total\": \"12.50\"", "\"Total\": \"1\", \"Total\": \"2\""),
       "/documents/0/indexFields/Total", "written twice"},  // the pointer follows nesting
      {__LINE__, BatchWith("\"classId\": 4, ", "\"b\": [1, {\"k\": 1, \"k\": 2}], "),
       "/documents/1/b", "unknown key \"b\""},
  };
  for (const BrokenRow& row : rows) CheckBroken(row, false);
}

TEST(BatchFile, FileThatCannotBeReadIsNamed) {
  testing_support::TempDir dir;
  struct Row {
    int line;
    std::string path;
    std::string problem;
  } rows[] = {
      {__LINE__, dir.Child("missing.json"), "does not exist"},
      {__LINE__, dir.str(), "is a folder"},
      {__LINE__, "/dev/null", "is not a regular file"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    try {
      LoadBatchFile(row.path);
      ADD_FAILURE() << "accepted";
    } catch (const HostFileError& e) {
      EXPECT_EQ(e.File(), row.path);
      EXPECT_NE(e.Problem().find(row.problem), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace quillon
