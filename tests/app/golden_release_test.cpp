// The output of a 1,000-document release, byte for byte, against the output
// the connector wrote before the release path was made faster.
//
// The batch is made the same way every time: the ten claim forms of the
// professional-claims example (a copy kept in golden/professional-claims, so
// that later changes to the bundled example do not move the reference)
// cycled, document k (from 1) being form (k - 1) mod 10 with id k and patient
// account number "PA-k". The interchange counter starts at 41, so the control
// numbers are fixed. The dates and times of the file (ISA09 and ISA10, GS04
// and GS05, BHT04 and BHT05) are masked with "#" before the comparison.
//
// Kept: the SHA-256 of the masked output (release-1000.sha256) and its first
// 20 transaction sets (release-1000-head.x12) to show where a difference
// starts. On a mismatch the masked output is written to
// golden-release-1000.actual.x12 in the test's working folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/run_command.h"
#include "support/sha256.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using testing_support::ReadFile;

const fs::path kGolden = fs::path(QUILLON_SOURCE_DIR) / "tests" / "app" / "golden";
constexpr int kDocuments = 1000;
constexpr std::size_t kHeadTransactionSets = 20;

// Masks the elements that hold the date or time of the release.
std::string MaskDates(const std::string& text) {
  struct Masked {
    std::string_view segment;
    std::vector<int> elements;
  };
  static const Masked kMasked[] = {{"ISA", {9, 10}}, {"GS", {4, 5}}, {"BHT", {4, 5}}};
  std::string out = text;
  std::size_t start = 0;
  while (start < out.size()) {
    std::size_t end = out.find('~', start);
    if (end == std::string::npos) end = out.size();
    std::size_t id = start;
    while (id < end && (out[id] == '\r' || out[id] == '\n')) ++id;
    // Element boundaries of the segment [id, end).
    std::vector<std::size_t> stars;
    for (std::size_t i = id; i < end; ++i) {
      if (out[i] == '*') stars.push_back(i);
    }
    const std::string_view name(out.data() + id, (stars.empty() ? end : stars[0]) - id);
    for (const Masked& masked : kMasked) {
      if (name != masked.segment) continue;
      for (int element : masked.elements) {
        const auto e = static_cast<std::size_t>(element);
        if (e > stars.size()) continue;
        const std::size_t from = stars[e - 1] + 1;
        const std::size_t to = e < stars.size() ? stars[e] : end;
        for (std::size_t i = from; i < to; ++i) out[i] = '#';
      }
    }
    start = end + 1;
  }
  return out;
}

// The text up to the end of the `count`-th SE segment and its line end.
std::string Head(const std::string& text, std::size_t count) {
  std::size_t at = 0;
  for (std::size_t n = 0; n < count; ++n) {
    at = text.find("\nSE*", at);
    if (at == std::string::npos) return text;
    ++at;
  }
  const std::size_t end = text.find('\n', at);
  return end == std::string::npos ? text : text.substr(0, end + 1);
}

// Line number and both lines where two texts first differ.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  std::size_t line = 1;
  std::size_t start = 0;
  for (std::size_t i = 0; i < std::min(expected.size(), actual.size()); ++i) {
    if (expected[i] != actual[i]) {
      const auto lineOf = [&](const std::string& t) {
        return t.substr(start, t.find('\n', start) - start);
      };
      return "line " + std::to_string(line) + ":\n  expected: " + lineOf(expected) +
             "\n  actual:   " + lineOf(actual);
    }
    if (expected[i] == '\n') {
      ++line;
      start = i + 1;
    }
  }
  return "one text is a prefix of the other (" + std::to_string(expected.size()) + " and " +
         std::to_string(actual.size()) + " bytes)";
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

TEST(Sha256, KnownDigests) {
  struct Row {
    int line;
    std::string data;
    std::string digest;
  } rows[] = {
      {__LINE__, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {__LINE__, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 56 bytes: the length no longer fits in the first padding block.
      {__LINE__, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {__LINE__, std::string(1000, 'a'),
       "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(testing_support::Sha256Hex(row.data), row.digest);
  }
}

TEST(GoldenRelease, ThousandDocumentsAsBefore) {
  testing_support::TempDir dir;
  const fs::path example = kGolden / "professional-claims";

  // The mapping files, writing into the temporary folder.
  fs::create_directories(dir.path() / "mappings");
  for (const char* name : {"DataMappings.xml", "FieldMappings.xml", "FeedOutputMappings.xml"}) {
    std::string text = ReadFile((example / "mappings" / name).string());
    const std::string from = "value=\"./build/example-output/out\"";
    if (const std::size_t at = text.find(from); at != std::string::npos) {
      text.replace(at, from.size(), "value=\"" + dir.Child("out") + "\"");
    }
    dir.Write(std::string("mappings/") + name, text);
  }
  Json batchClass = Json::parse(ReadFile((example / "batch-class.json").string()));
  batchClass["customProperties"]["Mappings Directory"] = dir.Child("mappings");
  batchClass["customProperties"]["Logging Directory"] = dir.Child("logs");
  batchClass["customProperties"]["Working Directory"] = dir.Child("work");
  batchClass["customProperties"]["Enable Logging"] = "0";
  dir.Write("class.json", batchClass.dump(2));
  dir.Write("class.icn", "41");

  Json batch = Json::parse(ReadFile((example / "batch.json").string()));
  const Json forms = batch["documents"];
  ASSERT_EQ(forms.size(), 10u);
  batch["batchClass"] = "class.json";
  batch["documents"] = Json::array();
  for (int k = 1; k <= kDocuments; ++k) {
    Json document = forms[static_cast<std::size_t>(k - 1) % forms.size()];
    document["id"] = k;
    document["indexFields"]["Patient Account Number"] = "PA-" + std::to_string(k);
    batch["documents"].push_back(std::move(document));
  }
  const std::string batchFile = dir.Write("batch.json", batch.dump(2));

  const auto result = testing_support::RunCommand({QUILLON_BIN, "release", batchFile});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir.path() / "out")) {
    files.push_back(entry.path());
  }
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].filename(), "837P-B-240301-01-000000042.x12");

  const std::string masked = MaskDates(ReadFile(files[0].string()));
  const std::string head = ReadFile((kGolden / "release-1000-head.x12").string());
  const std::string digest = Trimmed(ReadFile((kGolden / "release-1000.sha256").string()));
  const bool same = testing_support::Sha256Hex(masked) == digest;
  if (!same) {
    std::ofstream("golden-release-1000.actual.x12", std::ios::binary) << masked;
  }
  EXPECT_EQ(Head(masked, kHeadTransactionSets), head)
      << FirstDifference(head, Head(masked, kHeadTransactionSets));
  EXPECT_TRUE(same) << "the masked output differs from the reference (SHA-256 " << digest
                    << "); it was written to golden-release-1000.actual.x12: "
                    << FirstDifference(head, masked);
}

}  // namespace
