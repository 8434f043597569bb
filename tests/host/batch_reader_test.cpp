// Reading a batch file one document at a time: documents come out in order
// with the checks of a whole read, the batch's own keys may follow the
// documents, and a fault anywhere in the file is reported with its place
// after exactly the documents before it. Input that is not a regular file,
// or nested too deep, is refused without blocking or crashing.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/batch_class_file.h"
#include "host/batch_file.h"
#include "host/batch_reader.h"
#include "host/host_file_error.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

// A batch of three documents; each piece on its own line, so that the
// truncations below cut where the rows say.
const std::string kHead = R"({
  "batchClass": "class.json", "name": "Monday", "id": "B-7", "description": "",
  "classNumber": 42, "batchFields": { "Payer": "87726" },
  "documents": [)";
const std::string kDocument1 =
    R"(
    { "id": 17, "className": "CMS1500", "classId": 3, "indexFields": { "Name": "DOE" } })";
const std::string kDocument2 =
    R"(,
    { "id": 18, "className": "CMS1500", "classId": 3, "indexFields": { "Name": "ROE" } })";
const std::string kDocument3 =
    R"(,
    { "id": 19, "className": "UB04", "classId": 4, "indexFields": {} })";
const std::string kTail = R"(
  ]
})";
const std::string kBatch = kHead + kDocument1 + kDocument2 + kDocument3 + kTail;

// Reads all it can; the ids of the documents handed out, then the fault.
struct ReadResult {
  bool opened = false;
  std::vector<int> ids;
  std::string place;
  std::string problem;
  bool failed = false;
};

ReadResult ReadAll(const std::string& text) {
  ReadResult result;
  try {
    BatchReader reader(text, "batch.json");
    result.opened = true;
    BatchDocument document;
    while (reader.Next(document)) result.ids.push_back(document.Id);
    EXPECT_FALSE(reader.Next(document)) << "the end stays the end";
  } catch (const HostFileError& e) {
    EXPECT_EQ(e.File(), "batch.json");
    result.failed = true;
    result.place = e.Place();
    result.problem = e.Problem();
  }
  return result;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST(BatchReader, HandsOutTheDocumentsOneAfterTheOther) {
  BatchReader reader(kBatch, "batch.json");
  EXPECT_EQ(reader.Batch().Name, "Monday");
  EXPECT_EQ(reader.Batch().ClassNumber, 42);
  EXPECT_EQ(reader.Batch().BatchFields.ToString(), "Payer=87726");
  EXPECT_TRUE(reader.Batch().Documents.empty());
  EXPECT_EQ(reader.Size(), kBatch.size());
  BatchDocument document;
  ASSERT_TRUE(reader.Next(document));
  EXPECT_EQ(document.Id, 17);
  EXPECT_EQ(document.IndexFields.ToString(), "Name=DOE");
  const std::uint64_t afterFirst = reader.BytesRead();
  EXPECT_LT(afterFirst, kBatch.size());
  ASSERT_TRUE(reader.Next(document));
  EXPECT_EQ(document.IndexFields.ToString(), "Name=ROE");
  ASSERT_TRUE(reader.Next(document));
  EXPECT_EQ(document.ClassName, "UB04");
  EXPECT_EQ(document.IndexFields.Count(), 0);  // nothing left from the one before
  EXPECT_FALSE(reader.Next(document));
  EXPECT_EQ(reader.DocumentsRead(), 3);
  EXPECT_EQ(reader.BytesRead(), kBatch.size());
}

// Texts are read in runs of plain bytes; whatever ends a run (an escape, a
// quote, a character beyond ASCII, a raw control character) must be seen at
// any place in the text.
TEST(BatchReader, StringsAreReadWhereverTheirSpecialCharactersStand) {
  const struct {
    std::string written;  // as in the file
    std::string read;     // "" when the file must be refused
  } specials[] = {
      {"\\n", "\n"},
      {"\\\"", "\""},
      {"\\\\", "\\"},
      {"\\u00e9", "\xC3\xA9"},
      {"\xC3\xA9", "\xC3\xA9"},
      {"\xE2\x82\xAC", "\xE2\x82\xAC"},
      {"\x01", ""},
      {"\t", ""},
  };
  for (const auto& special : specials) {
    for (std::size_t at = 0; at < 19; ++at) {
      SCOPED_TRACE(special.written + " at " + std::to_string(at));
      const std::string before(at, 'a');
      const std::string after = "0123456789ABCDEFGHIJ";
      const std::string batch = kHead + R"({ "id": 1, "className": "C", "classId": 1,
          "indexFields": { "Field": ")" +
                                before + special.written + after + R"(" } })" + kTail;
      BatchDocument document;
      if (special.read.empty()) {
        EXPECT_THROW(BatchReader(batch, "batch.json").Next(document), HostFileError);
        continue;
      }
      BatchReader reader(batch, "batch.json");
      ASSERT_TRUE(reader.Next(document));
      EXPECT_EQ(document.IndexFields.Value("Field"), before + special.read + after);
    }
  }
}

TEST(BatchReader, TheBatchsOwnKeysMayFollowTheDocuments) {
  const std::string text = R"({"documents": [
      {"id": 1, "className": "A", "classId": 1, "indexFields": {"X": "1"}},
      {"id": 2, "className": "A", "classId": 1, "indexFields": {}}],
    "batchClass": "c.json", "name": "Late", "id": "B-9", "description": "d",
    "classNumber": 5, "batchFields": {"Payer": "1"}})";
  BatchReader reader(text, "batch.json");
  EXPECT_EQ(reader.Batch().Name, "Late");
  EXPECT_EQ(reader.Batch().BatchFields.ToString(), "Payer=1");
  EXPECT_EQ(ReadAll(text).ids, (std::vector<int>{1, 2}));
  EXPECT_FALSE(ReadAll(text).failed);
}

TEST(BatchReader, AFaultIsReportedAfterTheDocumentsBeforeIt) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  struct Row {
    int line;
    std::string text;
    bool opens;            // the header is read without a fault
    std::vector<int> ids;  // documents handed out before the fault
    std::string place;     // "" for a syntax error
    std::string problem;   // found in Problem()
  } rows[] = {
      // Truncated at various points.
      {__LINE__, kHead.substr(0, 40), false, {}, "", "not valid JSON: parse error at line 2"},
      {__LINE__,
       kHead,
       true,
       {},
       "",
       "not valid JSON: parse error at line 4, column 17: "
       "the text ends too early; expected a value"},
      {__LINE__,
       kHead + kDocument1.substr(0, 30),
       true,
       {},
       "",
       "line 5, column 30: the text ends too early; expected a value"},
      {__LINE__, kHead + kDocument1.substr(0, 25), true, {}, "", "a string that does not end"},
      {__LINE__,
       kHead + kDocument1 + kDocument2.substr(0, 40),
       true,
       {17},
       "",
       "parse error at line 6"},
      {__LINE__,
       kHead + kDocument1 + kDocument2 + kDocument3,
       true,
       {17, 18, 19},
       "",
       "the text ends too early; expected ',' or ']'"},
      {__LINE__,
       kBatch.substr(0, kBatch.size() - 1),
       true,
       {17, 18, 19},
       "",
       "expected ',' or '}'"},
      // Bad JSON in a document, and after the batch.
      {__LINE__,
       Replaced(kBatch, R"("id": 18, "className")", R"("id": 18 "className")"),
       true,
       {17},
       "",
       "parse error at line 6, column 16: unexpected '\"'; expected ',' or '}'"},
      {__LINE__,
       Replaced(kBatch, R"("ROE")", "\"R\x01OE\""),
       true,
       {17},
       "",
       "a control character in a string"},
      {__LINE__,
       Replaced(kBatch, R"("ROE")", "\"R\xC3(E\""),
       true,
       {17},
       "",
       "a string that is not valid UTF-8"},
      {__LINE__,
       kBatch + " x",
       true,
       {17, 18, 19},
       "",
       "unexpected 'x'; expected nothing after the end of the JSON value"},
      // Broken documents.
      {__LINE__,
       Replaced(kBatch, R"("id": 19)", R"("id": 17)"),
       true,
       {17, 18},
       "/documents/2/id",
       "duplicate document id 17 (also /documents/0/id)"},
      {__LINE__,
       Replaced(kBatch, R"("ROE")", "\"ROE\", \"Age\": 41"),
       true,
       {17},
       "/documents/1/indexFields/Age",
       "must be text, not a whole number"},
      {__LINE__,
       Replaced(kBatch, R"("ROE")", R"("ROE", "NAME": "x")"),
       true,
       {17},
       "/documents/1/indexFields/NAME",
       "the field \"NAME\" is given twice"},
      {__LINE__,
       Replaced(kBatch, R"("ROE")", R"("ROE", "Name": "x")"),
       true,
       {17},
       "/documents/1/indexFields/Name",
       "the key \"Name\" is written twice"},
      {__LINE__,
       Replaced(kBatch, R"("classId": 4, )", ""),
       true,
       {17, 18},
       "/documents/2",
       "the key \"classId\" is missing"},
      {__LINE__,
       Replaced(kBatch, R"("classId": 4, )", R"("classId": 4, "pages": 2, )"),
       true,
       {17, 18},
       "/documents/2/pages",
       "unknown key \"pages\""},
      {__LINE__,
       Replaced(kBatch, R"("id": 18)", R"("id": 2147483648)"),
       true,
       {17},
       "/documents/1/id",
       "the number 2147483648 is outside -2147483648..2147483647"},
      {__LINE__,
       Replaced(kBatch, R"("id": 18)", R"("id": 18.0)"),
       true,
       {17},
       "/documents/1/id",
       "must be a whole number, not a number with a fraction"},
      {__LINE__,
       Replaced(kBatch, kDocument2, ",\n 7"),
       true,
       {17},
       "/documents/1",
       "must be an object, not a whole number"},
      // A field value of 100,000 nested "[": refused at its first "[".
      {__LINE__,
       Replaced(kBatch, R"("ROE")", deep),
       true,
       {17},
       "/documents/1/indexFields/Name",
       "must be text, not an array"},
      // After the documents.
      {__LINE__,
       Replaced(kBatch, kTail, "], \"pages\": 3}"),
       true,
       {17, 18, 19},
       "/pages",
       "unknown key \"pages\""},
      {__LINE__,
       Replaced(kBatch, kTail, "], \"documents\": []}"),
       true,
       {17, 18, 19},
       "/documents",
       "the key \"documents\" is written twice"},
      // The batch's own keys: faults found before any document is handed out.
      {__LINE__,
       Replaced(kBatch, R"("classNumber": 42, )", ""),
       false,
       {},
       "/",
       "the key \"classNumber\" is missing"},
      {__LINE__,
       Replaced(kBatch, R"("name": "Monday")", R"("name": 7)"),
       false,
       {},
       "/name",
       "must be text, not a whole number"},
      {__LINE__,
       R"({"documents": [{"id": 1, "className": "A", "classId": 1, "indexFields": {}}],
          "batchClass": "c", "name": "", "id": "", "description": "", "batchFields": {}})",
       false,
       {},
       "/",
       "the key \"classNumber\" is missing"},
      {__LINE__,
       R"({"documents": [{"id": 1, "x": )" + deep + "}], \"batchClass\": \"c\"}",
       false,
       {},
       "",
       "nesting deeper than 64 levels"},
      {__LINE__, R"({"documents": [{"id": 1}, {"b": 1, "b": )", false, {}, "", "not valid JSON"},
      {__LINE__, "", false, {}, "", "not valid JSON: parse error at line 1, column 1"},
      {__LINE__, deep, false, {}, "/", "must be an object, not an array"},
      {__LINE__, "null", false, {}, "/", "must be an object, not null"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const ReadResult result = ReadAll(row.text);
    EXPECT_TRUE(result.failed) << "read to the end";
    EXPECT_EQ(result.opened, row.opens);
    EXPECT_EQ(result.ids, row.ids);
    EXPECT_EQ(result.place, row.place) << result.problem;
    EXPECT_NE(result.problem.find(row.problem), std::string::npos) << result.problem;
  }
}

TEST(BatchReader, SyntaxErrorsInAFileNameLineAndColumn) {
  testing_support::TempDir dir;
  const std::string path = dir.Write(
      "batch.json", Replaced(kBatch, R"("id": 18, "className")", R"("id": 18 "className")"));
  BatchReader reader(path);
  BatchDocument document;
  ASSERT_TRUE(reader.Next(document));
  try {
    reader.Next(document);
    FAIL() << "no error";
  } catch (const HostFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              path +
                  ": not valid JSON: parse error at line 6, column 16: unexpected '\"'; "
                  "expected ',' or '}'");
  }
}

TEST(BatchReader, OnlyRegularFilesAreRead) {
  testing_support::TempDir dir;
  const std::string fifo = dir.Child("pipe.json");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string batchClass = dir.Write("class.json", "{}");
  struct Row {
    int line;
    std::string path;
    std::string problem;
  } rows[] = {
      {__LINE__, dir.Child("missing.json"), "the file does not exist or cannot be reached"},
      {__LINE__, dir.str(), "is a folder, not a file"},
      {__LINE__, fifo, "is not a regular file (a device, a pipe or a socket)"},  // never blocks
      {__LINE__, "/dev/zero", "is not a regular file (a device, a pipe or a socket)"},
      {__LINE__, "/dev/null", "is not a regular file (a device, a pipe or a socket)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    for (int kind = 0; kind < 3; ++kind) {
      SCOPED_TRACE(kind);
      try {
        if (kind == 0) BatchReader reader(row.path);
        if (kind == 1) LoadBatchFile(row.path);
        if (kind == 2) LoadBatchClassFile(row.path);
        ADD_FAILURE() << "accepted";
      } catch (const HostFileError& e) {
        EXPECT_EQ(e.File(), row.path);
        EXPECT_EQ(e.Place(), "");
        EXPECT_EQ(e.Problem(), row.problem);
      }
    }
  }
}

TEST(BatchClassFile, NestingDeeperThan64LevelsIsRefused) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  std::string levels;  // "/0" for each array level
  for (int i = 0; i < 64; ++i) levels += "/0";
  struct Row {
    int line;
    std::string json;
    std::string place;  // where the 65th level would start
  } rows[] = {
      {__LINE__, R"({"name": )" + deep + "}", "/name" + levels.substr(2)},
      {__LINE__, deep, levels},
      {__LINE__, std::string(100000, '['), levels},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    try {
      ParseBatchClass(row.json, "class.json");
      ADD_FAILURE() << "accepted";
    } catch (const HostFileError& e) {
      EXPECT_EQ(e.Place(), row.place);
      EXPECT_EQ(e.Problem(), "nested deeper than 64 levels");
    }
  }
  // 64 levels are fine as JSON (and then refused for what they are).
  try {
    ParseBatchClass(std::string(64, '[') + std::string(64, ']'), "class.json");
    ADD_FAILURE() << "accepted";
  } catch (const HostFileError& e) {
    EXPECT_EQ(e.Problem(), "must be an object, not an array");
  }
}

}  // namespace
}  // namespace quillon
