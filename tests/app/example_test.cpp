// The bundled example (examples/professional-claims) released with the built
// `quillon` command in a fresh folder, as an administrator would from a
// clone: the mapping files load, every claim form becomes one transaction set
// of one 837P interchange, a second release writes a second file with the
// next interchange control number, and the 837P excerpts that
// docs/mapping-guide.md shows are what the release writes.
//
// The full X12 validation of the file, with an independent parser, is the
// CTest test x12_example_release (tests/x12).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::RunCommand;

const std::string kSource = QUILLON_SOURCE_DIR;

// Runs `quillon ARGS...` in `folder` (no shell: env -C changes the folder).
testing_support::CommandResult Quillon(const std::string& folder, std::vector<std::string> args) {
  args.insert(args.begin(), {"/usr/bin/env", "-C", folder, QUILLON_BIN});
  return RunCommand(args);
}

// The segments of an X12 text: split at "~", each without the line end that
// follows the terminator.
std::vector<std::string> Segments(const std::string& text) {
  std::vector<std::string> segments;
  std::size_t start = 0;
  while (start < text.size()) {
    while (start < text.size() && (text[start] == '\r' || text[start] == '\n')) ++start;
    const std::size_t end = text.find('~', start);
    if (end == std::string::npos) {
      if (start < text.size()) segments.push_back(text.substr(start));  // unterminated rest
      break;
    }
    segments.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return segments;
}

std::vector<std::string> Elements(const std::string& segment) {
  std::vector<std::string> elements;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = segment.find('*', start);
    elements.push_back(segment.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return elements;
}

// A copy of the example below a temporary folder, laid out as in a clone;
// the example's relative directories then resolve inside the copy, and the
// release creates them (build/ included).
class ReleasedExample : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path example = dir_.path() / "examples" / "professional-claims";
    fs::create_directories(example.parent_path());
    fs::copy(fs::path(kSource) / "examples" / "professional-claims", example,
             fs::copy_options::recursive);
    for (const auto& entry : fs::directory_iterator(example)) {
      if (entry.path().extension() == ".icn") fs::remove(entry.path());  // a fresh counter
    }
  }

  testing_support::CommandResult Release() {
    return Quillon(dir_.str(), {"release", "examples/professional-claims/batch.json"});
  }

  std::vector<fs::path> OutputFiles() const {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Out(), ec)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
  }

  fs::path Out() const { return dir_.path() / "build" / "example-output" / "out"; }
  fs::path Work() const { return dir_.path() / "build" / "example-output" / "work"; }

  // The released file of a single release, or an empty text after a failure
  // that the caller has already reported.
  std::string ReleaseOnce() {
    const auto result = Release();
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    const auto files = OutputFiles();
    EXPECT_EQ(files.size(), 1u);
    return files.size() == 1 ? ReadFile(files[0].string()) : std::string();
  }

  testing_support::TempDir dir_;
};

TEST(ExampleMappings, CheckReportsAllThreeFilesOk) {
  const auto result = Quillon(kSource, {"check", "examples/professional-claims/mappings"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  for (const char* file : {"DataMappings.xml", "FieldMappings.xml", "FeedOutputMappings.xml"}) {
    const std::string line =
        std::string("examples/professional-claims/mappings/") + file + ": OK (";
    EXPECT_NE(result.out.find(line), std::string::npos) << file << "\n" << result.out;
  }
}

TEST_F(ReleasedExample, EveryFormBecomesOneTransactionSet) {
  const std::string text = ReleaseOnce();
  ASSERT_FALSE(text.empty());
  const std::vector<std::string> segments = Segments(text);
  ASSERT_GE(segments.size(), 4u);

  // The transaction sets by ST02, with their segments from ST to SE.
  std::map<std::string, std::vector<std::string>> sets;
  std::vector<std::string> order;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (segments[i].rfind("ST*", 0) != 0) continue;
    const std::string control = Elements(segments[i])[2];
    std::size_t j = i;
    while (j < segments.size() && segments[j].rfind("SE*", 0) != 0) ++j;
    ASSERT_LT(j, segments.size()) << "transaction set " << control << " without SE";
    EXPECT_EQ(sets.count(control), 0u) << "ST02 " << control << " twice";
    sets[control].assign(segments.begin() + static_cast<std::ptrdiff_t>(i),
                         segments.begin() + static_cast<std::ptrdiff_t>(j) + 1);
    order.push_back(control);
  }

  struct Row {
    int line;
    std::string control;     // ST02 = the document id
    std::string charge;      // CLM02
    int lines;               // billed service lines
    std::string patient;     // PAT01, "" when the subscriber is the patient
    std::string assignment;  // CLM07
    bool referring;          // loop 2310A
  } rows[] = {
      {__LINE__, "1001", "125.00", 1, "", "A", true},
      {__LINE__, "1002", "100.00", 4, "19", "A", false},
      {__LINE__, "1003", "565.00", 6, "", "A", false},
      {__LINE__, "1004", "107.00", 2, "", "A", false},  // third row voided
      {__LINE__, "1005", "275.00", 2, "", "A", false},
      {__LINE__, "1006", "113.00", 2, "01", "A", false},
      {__LINE__, "1007", "205.00", 2, "", "A", true},  // third row charges 0.00
      {__LINE__, "1008", "1250.00", 5, "G8", "A", false},
      {__LINE__, "1009", "170.00", 2, "", "A", false},
      {__LINE__, "1010", "110.00", 1, "", "C", false},
  };
  EXPECT_EQ(order.size(), std::size(rows));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ASSERT_EQ(sets.count(row.control), 1u) << "no transaction set " << row.control;
    const std::vector<std::string>& set = sets[row.control];
    const std::vector<std::string> se = Elements(set.back());
    EXPECT_EQ(se[1], std::to_string(set.size())) << "SE01";
    EXPECT_EQ(se[2], row.control) << "SE02";

    int lx = 0;
    double sum = 0;
    std::string pat;
    std::string clm02;
    std::string clm07;
    bool referring = false;
    std::vector<std::string> hl;
    for (const std::string& segment : set) {
      const std::vector<std::string> e = Elements(segment);
      if (e[0] == "LX") {
        ++lx;
        EXPECT_EQ(e[1], std::to_string(lx)) << "LX numbering";
      } else if (e[0] == "SV1") {
        sum += std::stod(e[2]);
      } else if (e[0] == "PAT") {
        pat = e[1];
      } else if (e[0] == "CLM") {
        clm02 = e[2];
        clm07 = e[7];
      } else if (e[0] == "NM1" && e[1] == "DN") {
        referring = true;
      } else if (e[0] == "HL") {
        hl.push_back(segment);
      }
    }
    EXPECT_EQ(lx, row.lines);
    EXPECT_EQ(clm02, row.charge);
    EXPECT_NEAR(sum, std::stod(row.charge), 0.001) << "CLM02 is the sum of the lines";
    EXPECT_EQ(pat, row.patient);
    EXPECT_EQ(clm07, row.assignment);
    EXPECT_EQ(referring, row.referring);
    const std::vector<std::string> expectedLevels =
        row.patient.empty() ? std::vector<std::string>{"HL*1**20*1", "HL*2*1*22*0"}
                            : std::vector<std::string>{"HL*1**20*1", "HL*2*1*22*1", "HL*3*2*23*0"};
    EXPECT_EQ(hl, expectedLevels);
  }

  // The envelope: one group of ten transaction sets.
  const std::vector<std::string> ge = Elements(segments[segments.size() - 2]);
  ASSERT_EQ(ge[0], "GE");
  EXPECT_EQ(ge[1], std::to_string(std::size(rows)));
  // Nothing is left behind in the working directory.
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(Work(), ec)) {
    ADD_FAILURE() << "left in the working directory: " << entry.path();
  }
}

TEST_F(ReleasedExample, TwoReleasesWriteTwoFilesWithTheirOwnControlNumbers) {
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    const auto result = Release();
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  }
  const auto files = OutputFiles();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_NE(files[0].filename(), files[1].filename());

  std::set<std::string> controlNumbers;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    const std::string text = ReadFile(file.string());
    ASSERT_GE(text.size(), 106u);
    const std::string isa = text.substr(0, 106);
    EXPECT_EQ(isa.back(), '~');
    const std::vector<std::string> isaElements = Elements(isa.substr(0, 105));
    ASSERT_EQ(isaElements.size(), 17u);
    const std::string icn = isaElements[13];
    EXPECT_EQ(icn.size(), 9u);
    EXPECT_EQ(icn.find_first_not_of("0123456789"), std::string::npos);
    controlNumbers.insert(icn);

    const std::vector<std::string> segments = Segments(text);
    const std::vector<std::string> iea = Elements(segments.back());
    ASSERT_EQ(iea[0], "IEA");
    EXPECT_EQ(iea[2], icn);
    const std::vector<std::string> gs = Elements(segments[1]);
    const std::vector<std::string> ge = Elements(segments[segments.size() - 2]);
    EXPECT_EQ(gs[6], ge[2]);
    EXPECT_EQ(std::stol(gs[6]), std::stol(icn));
    // The file is named after its control number.
    EXPECT_NE(file.filename().string().find(icn), std::string::npos);
  }
  EXPECT_EQ(controlNumbers.size(), 2u);
  EXPECT_EQ(controlNumbers, (std::set<std::string>{"000000001", "000000002"}));
}

TEST_F(ReleasedExample, GuideExcerptsAreWhatTheReleaseWrites) {
  const std::vector<std::string> released = Segments(ReleaseOnce());
  ASSERT_FALSE(released.empty());

  // Every ```x12 block of the guide must appear as consecutive segments.
  std::ifstream guide(kSource + "/docs/mapping-guide.md");
  ASSERT_TRUE(guide) << "cannot read docs/mapping-guide.md";
  std::string line;
  int number = 0;
  int blocks = 0;
  bool inBlock = false;
  int blockLine = 0;
  std::vector<std::string> excerpt;
  while (std::getline(guide, line)) {
    ++number;
    if (!inBlock) {
      if (line == "```x12") {
        inBlock = true;
        blockLine = number;
        excerpt.clear();
      }
      continue;
    }
    if (line.rfind("```", 0) != 0) {
      ASSERT_TRUE(!line.empty() && line.back() == '~') << "guide line " << number;
      excerpt.push_back(line.substr(0, line.size() - 1));
      continue;
    }
    inBlock = false;
    ++blocks;
    SCOPED_TRACE("x12 block at guide line " + std::to_string(blockLine));
    ASSERT_FALSE(excerpt.empty());
    const auto found =
        std::search(released.begin(), released.end(), excerpt.begin(), excerpt.end());
    EXPECT_NE(found, released.end()) << "the release does not write these segments";
  }
  EXPECT_GE(blocks, 4);
}

}  // namespace
