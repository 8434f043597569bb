// The bundled examples released with the built `quillon` command in a fresh
// folder, as an administrator would from a clone: the mapping files load,
// every claim form becomes one transaction set of one interchange (an 837P for
// examples/professional-claims, an 837I for examples/institutional-claims), a
// second release writes a second file with the next interchange control
// number, and the excerpts that docs/mapping-guide.md shows are what the
// release writes.
//
// The full X12 validation of the files, with an independent parser, is the
// CTest tests x12_example_release and x12_institutional_example_release
// (tests/x12); the institutional release is also held against that checker
// here, twice.
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

// The transaction sets of an interchange by ST02, each with its segments
// from ST to SE, and the control numbers in file order.
struct TransactionSets {
  std::map<std::string, std::vector<std::string>> byControl;
  std::vector<std::string> order;
};

TransactionSets SplitTransactionSets(const std::vector<std::string>& segments) {
  TransactionSets sets;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (segments[i].rfind("ST*", 0) != 0) continue;
    const std::string control = Elements(segments[i])[2];
    std::size_t j = i;
    while (j < segments.size() && segments[j].rfind("SE*", 0) != 0) ++j;
    if (j == segments.size()) {
      ADD_FAILURE() << "transaction set " << control << " without SE";
      break;
    }
    EXPECT_EQ(sets.byControl.count(control), 0u) << "ST02 " << control << " twice";
    sets.byControl[control].assign(segments.begin() + static_cast<std::ptrdiff_t>(i),
                                   segments.begin() + static_cast<std::ptrdiff_t>(j) + 1);
    sets.order.push_back(control);
  }
  return sets;
}

// The ```x12 blocks of the mapping guide for one example, each with the guide
// line that opens it: "```x12" for the professional example, "```x12 NAME"
// for examples/NAME.
std::vector<std::pair<int, std::vector<std::string>>> GuideExcerpts(const std::string& example) {
  std::vector<std::pair<int, std::vector<std::string>>> blocks;
  std::ifstream guide(kSource + "/docs/mapping-guide.md");
  EXPECT_TRUE(guide) << "cannot read docs/mapping-guide.md";
  const std::string opening =
      example == "professional-claims" ? std::string("```x12") : "```x12 " + example;
  std::string line;
  int number = 0;
  bool inBlock = false;
  while (std::getline(guide, line)) {
    ++number;
    if (!inBlock) {
      if (line == opening) {
        inBlock = true;
        blocks.push_back({number, {}});
      }
      continue;
    }
    if (line.rfind("```", 0) == 0) {
      inBlock = false;
      continue;
    }
    EXPECT_TRUE(!line.empty() && line.back() == '~') << "guide line " << number;
    blocks.back().second.push_back(line.substr(0, line.size() - 1));
  }
  return blocks;
}

// A copy of an example below a temporary folder, laid out as in a clone;
// the example's relative directories then resolve inside the copy, and the
// release creates them (build/ included).
class ReleasedExample : public ::testing::Test {
 protected:
  explicit ReleasedExample(std::string example = "professional-claims")
      : example_(std::move(example)) {}

  void SetUp() override {
    const fs::path example = dir_.path() / "examples" / example_;
    fs::create_directories(example.parent_path());
    fs::copy(fs::path(kSource) / "examples" / example_, example, fs::copy_options::recursive);
    for (const auto& entry : fs::directory_iterator(example)) {
      if (entry.path().extension() == ".icn") fs::remove(entry.path());  // a fresh counter
    }
  }

  testing_support::CommandResult Release() {
    return Quillon(dir_.str(), {"release", "examples/" + example_ + "/batch.json"});
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

  // Every excerpt of the guide for this example must appear in `released` as
  // consecutive segments; answers the number of excerpts.
  int ExpectGuideExcerpts(const std::vector<std::string>& released) const {
    const auto blocks = GuideExcerpts(example_);
    for (const auto& [line, excerpt] : blocks) {
      SCOPED_TRACE("x12 block at guide line " + std::to_string(line));
      EXPECT_FALSE(excerpt.empty());
      const auto found =
          std::search(released.begin(), released.end(), excerpt.begin(), excerpt.end());
      EXPECT_NE(found, released.end()) << "the release does not write these segments";
    }
    return static_cast<int>(blocks.size());
  }

  std::string example_;
  testing_support::TempDir dir_;
};

class ReleasedInstitutionalExample : public ReleasedExample {
 protected:
  ReleasedInstitutionalExample() : ReleasedExample("institutional-claims") {}
};

// Every bundled example (examples/*/) lints clean against its own batch
// class: all three files load and nothing is found.
TEST(ExampleMappings, EveryExampleChecksClean) {
  std::vector<std::string> examples;
  for (const auto& entry : fs::directory_iterator(fs::path(kSource) / "examples")) {
    if (entry.is_directory()) examples.push_back(entry.path().filename().string());
  }
  std::sort(examples.begin(), examples.end());
  ASSERT_FALSE(examples.empty());
  for (const std::string& example : examples) {
    SCOPED_TRACE(example);
    const std::string folder = "examples/" + example;
    const auto result = Quillon(
        kSource, {"check", "--batch-class", folder + "/batch-class.json", folder + "/mappings"});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    for (const char* file : {"DataMappings.xml", "FieldMappings.xml", "FeedOutputMappings.xml"}) {
      const std::string line = folder + "/mappings/" + file + ": OK (";
      EXPECT_NE(result.out.find(line), std::string::npos) << file << "\n" << result.out;
    }
    // Three OK lines and nothing else: no findings, no count.
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 3) << result.out;
  }
}

// The example of docs/host-files.md releases from the root of a clone: its
// directories are relative to its batch-class file, its output folder to the
// root.
TEST(DocsExample, ReleasesFromTheRootOfTheRepository) {
  testing_support::TempDir dir;
  const fs::path copy = dir.path() / "docs" / "examples";
  fs::create_directories(copy.parent_path());
  fs::copy(fs::path(kSource) / "docs" / "examples", copy, fs::copy_options::recursive);
  for (const auto& entry : fs::directory_iterator(copy)) {
    if (entry.path().extension() == ".icn") fs::remove(entry.path());
  }
  const auto result = Quillon(dir.str(), {"release", "docs/examples/batch.json"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_EQ(result.err, "");
  const std::string file = "build/docs-example/out/claims-B-1001.txt";
  EXPECT_NE(result.out.find("output files written: 1\n  ./" + file + "\n"), std::string::npos)
      << result.out;
  const std::string text = ReadFile((dir.path() / file).string());
  EXPECT_EQ(text.rfind("ISA*000000001~\nGS*HC*NORTHSIDE BILLING*87726*", 0), 0u) << text;
  for (const char* segment :
       {"ST*837*0017~\nCLM*17*125.00~NM1*QC*1*DOE*JANE~DMG*D8*19800412~SV1*HC:99213*125.00~"
        "DTP*472*D8*20240227~\nSE*7*0017~\n",
        "ST*837*0018~\nCLM*18*80.00~NM1*QC*1*M\xDCLLER*JOS\xC9~DMG*D8*19551103~\nSE*5*0018~\n",
        "GE*2~\nIEA*000000001~\n"}) {
    EXPECT_NE(text.find(segment), std::string::npos) << segment << "\n" << text;
  }
  EXPECT_TRUE(fs::is_directory(dir.path() / "build" / "docs-example" / "logs"));
  EXPECT_TRUE(fs::exists(copy / "batch-class.icn"));
}

TEST_F(ReleasedExample, EveryFormBecomesOneTransactionSet) {
  const std::string text = ReleaseOnce();
  ASSERT_FALSE(text.empty());
  const std::vector<std::string> segments = Segments(text);
  ASSERT_GE(segments.size(), 4u);

  auto [sets, order] = SplitTransactionSets(segments);

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

TEST_F(ReleasedExample, DelimitersAndControlCharactersInFieldsChangeNoSegment) {
  // A "~" typed into Patient State used to end the segment there and start a
  // new one with the rest of the value; NUL and ESC reached the file raw.
  const fs::path example = dir_.path() / "examples" / "professional-claims";
  nlohmann::ordered_json batch = nlohmann::ordered_json::parse(ReadFile(example / "batch.json"));
  const std::string hostile = std::string("~*:^\0\x1b", 6) + "\t\r\n";
  for (auto& document : batch["documents"]) {
    auto& fields = document["indexFields"];
    for (const char* name : {"Patient Last Name", "Patient Address", "Payer Name"}) {
      if (fields.contains(name)) fields[name] = "X" + hostile + fields[name].get<std::string>();
    }
    // Codes lose the delimiters and stay valid codes.
    for (const char* name : {"Patient State", "Insured ID", "Procedure Codes", "Total Charge"}) {
      if (fields.contains(name)) fields[name] = "~" + fields[name].get<std::string>() + "*:^\r\n";
    }
  }
  batch["batchFields"]["Submitter Name"] = "NORTH~SIDE*BILLING:" + std::string(1, '\0');
  const std::string clean = ReleaseOnce();
  fs::remove_all(Out());
  std::ofstream(example / "hostile.json") << batch.dump(2);
  const auto result = Quillon(dir_.str(), {"release", "examples/professional-claims/hostile.json"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const auto files = OutputFiles();
  ASSERT_EQ(files.size(), 1u);
  const std::string text = ReadFile(files[0].string());

  // Only printable characters and the line feeds of the mappings.
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    ASSERT_TRUE(c == '\n' || (byte >= 0x20 && byte < 0x7F)) << "byte " << int{byte};
  }
  // The same segments with the same number of elements and components.
  const std::vector<std::string> want = Segments(clean);
  const std::vector<std::string> got = Segments(text);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(got[i]);
    const std::vector<std::string> a = Elements(got[i]);
    const std::vector<std::string> b = Elements(want[i]);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(a[0], b[0]);
    for (std::size_t e = 1; e < a.size() && a[0] != "ISA"; ++e) {
      EXPECT_EQ(std::count(a[e].begin(), a[e].end(), ':'),
                std::count(b[e].begin(), b[e].end(), ':'));
    }
  }
  EXPECT_NE(text.find("NM1*IL*1*X??DOE*"), std::string::npos);  // NUL and ESC as "?"
}

TEST_F(ReleasedExample, GuideExcerptsAreWhatTheReleaseWrites) {
  const std::vector<std::string> released = Segments(ReleaseOnce());
  ASSERT_FALSE(released.empty());
  EXPECT_GE(ExpectGuideExcerpts(released), 4);
}

// The UB-04 forms of examples/institutional-claims: one transaction set per
// form with its bill type, dates, physicians, second payer and revenue lines.
TEST_F(ReleasedInstitutionalExample, EveryFormBecomesOneTransactionSet) {
  const std::string text = ReleaseOnce();
  ASSERT_FALSE(text.empty());
  const std::vector<std::string> segments = Segments(text);
  auto [sets, order] = SplitTransactionSets(segments);

  struct Row {
    int line;
    std::string control;     // ST02 = the document id
    std::string charge;      // CLM02
    std::string billType;    // CLM05: facility type, "A", frequency
    int lines;               // revenue lines (LX)
    int lineDates;           // DTP*472 of the lines
    std::string patient;     // PAT01, "" when the subscriber is the patient
    std::string admission;   // DTP*435 format and date, "" for none
    std::string discharge;   // DTP*096 time, "" for none
    bool operating;          // NM1*72
    std::string otherPayer;  // SBR01 and SBR02 of loop 2320, "" for none
  } rows[] = {
      {__LINE__, "2001", "9068.25", "11:A:1", 5, 0, "", "DT*202403010800", "1100", true, ""},
      {__LINE__, "2002", "1215.00", "13:A:1", 4, 4, "19", "", "", false, ""},
      {__LINE__, "2003", "885.00", "13:A:1", 5, 5, "", "", "", false, "S*18"},
      {__LINE__, "2004", "4648.40", "11:A:1", 4, 0, "01", "DT*202403022200", "1400", true, "S*18"},
      {__LINE__, "2005", "7050.00", "13:A:1", 5, 5, "", "", "", true, ""},
      {__LINE__, "2006", "7840.85", "11:A:1", 6, 0, "", "DT*202402261700", "1000", false, "S*18"},
      {__LINE__, "2007", "285.00", "14:A:1", 3, 3, "G8", "", "", false, ""},
      {__LINE__, "2008", "15330.00", "11:A:2", 6, 0, "", "DT*202403050300", "", false, ""},
      {__LINE__, "2009", "580.50", "13:A:1", 3, 3, "19", "", "", false, ""},
  };
  EXPECT_EQ(order.size(), std::size(rows));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ASSERT_EQ(sets.count(row.control), 1u) << "no transaction set " << row.control;
    const std::vector<std::string>& set = sets[row.control];
    const std::vector<std::string> se = Elements(set.back());
    EXPECT_EQ(se[1], std::to_string(set.size())) << "SE01";
    EXPECT_EQ(se[2], row.control) << "SE02";
    EXPECT_EQ(set[0], "ST*837*" + row.control + "*005010X223A2");

    int lx = 0;
    int lineDates = 0;
    double sum = 0;
    std::string clm02, clm05, pat, admission, discharge, otherPayer;
    bool operating = false;
    bool attending = false;
    int statements = 0;
    int cl1 = 0;
    bool inOtherPayer = false;
    for (const std::string& segment : set) {
      const std::vector<std::string> e = Elements(segment);
      if (e[0] == "LX") {
        ++lx;
        EXPECT_EQ(e[1], std::to_string(lx)) << "LX numbering";
      } else if (e[0] == "SV2") {
        ASSERT_GE(e.size(), 6u) << segment;
        sum += std::stod(e[3]);
        EXPECT_TRUE(e[4] == "UN" || e[4] == "DA") << segment;
        EXPECT_FALSE(e[5].empty()) << "SV205 units: " << segment;
      } else if (e[0] == "DTP" && e[1] == "472") {
        ++lineDates;
      } else if (e[0] == "DTP" && e[1] == "435") {
        admission = e[2] + "*" + e[3];
      } else if (e[0] == "DTP" && e[1] == "096") {
        discharge = e[3];
      } else if (e[0] == "DTP" && e[1] == "434") {
        ++statements;
        EXPECT_EQ(e[2], "RD8");
      } else if (e[0] == "CL1") {
        ++cl1;
      } else if (e[0] == "PAT") {
        pat = e[1];
      } else if (e[0] == "CLM") {
        clm02 = e[2];
        clm05 = e[5];
      } else if (e[0] == "NM1" && e[1] == "71") {
        attending = true;
      } else if (e[0] == "NM1" && e[1] == "72") {
        operating = true;
      } else if (e[0] == "SBR" && e[1] != "P") {
        otherPayer = e[1] + "*" + e[2];
        inOtherPayer = true;
      } else if (e[0] == "OI") {
        EXPECT_TRUE(inOtherPayer) << "OI outside loop 2320";
      }
    }
    EXPECT_EQ(clm02, row.charge);
    EXPECT_EQ(clm05, row.billType);
    EXPECT_NEAR(sum, std::stod(row.charge), 0.001) << "CLM02 is the sum of the lines";
    EXPECT_EQ(lx, row.lines);
    EXPECT_EQ(lineDates, row.lineDates);
    EXPECT_EQ(pat, row.patient);
    EXPECT_EQ(admission, row.admission);
    EXPECT_EQ(discharge, row.discharge);
    EXPECT_EQ(operating, row.operating);
    EXPECT_EQ(otherPayer, row.otherPayer);
    EXPECT_TRUE(attending) << "every form names its attending physician";
    EXPECT_EQ(statements, 1);
    EXPECT_EQ(cl1, 1);
  }
}

// Document 2009 was captured with X12 delimiters, a tab and a line break in
// its values: level 1 takes them out, so no value cuts a segment and the file
// holds printable ASCII with a line feed after each terminator only.
TEST_F(ReleasedInstitutionalExample, CapturedDelimitersAndControlCharactersAreStripped) {
  const std::string text = ReleaseOnce();
  ASSERT_FALSE(text.empty());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      EXPECT_TRUE(i > 0 && text[i - 1] == '~') << "line feed inside a segment at byte " << i;
    } else {
      EXPECT_TRUE(c >= 0x20 && c < 0x7f) << "character " << int(c) << " at byte " << i;
    }
  }
  auto [sets, order] = SplitTransactionSets(Segments(text));
  ASSERT_EQ(sets.count("2009"), 1u);
  const std::vector<std::string>& set = sets["2009"];
  const char* const cleaned[] = {
      "CLM*PC-2009A*580.50***13:A:1**A*Y*Y",      // "PC-2009*A"
      "SBR*P**GRP30551******CI",                  // "GRP^30551"
      "NM1*IL*1*D'ANGELO*MARCO****MI*XJ7100245",  // "Marco:"
      "NM1*QC*1*D'ANGELO*SOFIA",                  // "D'Angelo~"
      "N4*TAMPA*FL*33605",                        // "Tampa\r\n"
      "NM1*71*1*NGUYEN*DAVID****XX*1345678902",   // "David\t"
  };
  for (const char* segment : cleaned) {
    EXPECT_TRUE(std::find(set.begin(), set.end(), segment) != set.end()) << segment;
  }
}

// Two releases of the institutional example: each file passes the 837I
// checker of tests/x12 (the independent node-x12 parser) without a problem,
// and each has an interchange control number of its own.
TEST_F(ReleasedInstitutionalExample, TwoReleasesPassTheCheckerWithTheirOwnControlNumbers) {
  const std::string checker = kSource + "/tests/x12/check-837i.js";
  if (!fs::exists(kSource + "/tests/x12/node_modules/node-x12/package.json") ||
      RunCommand({"/usr/bin/env", "node", "--version"}).exitCode != 0) {
    GTEST_SKIP() << "node or tests/x12/node_modules is missing (scripts/install-test-deps.sh)";
  }
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    const auto result = Release();
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  }
  const auto files = OutputFiles();
  ASSERT_EQ(files.size(), 2u);

  std::set<std::string> controlNumbers;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    const auto check =
        RunCommand({"/usr/bin/env", "node", checker, "--transactions", "9", file.string()});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    EXPECT_NE(check.out.find(": valid 837I (005010X223A2): 9 transaction sets"), std::string::npos)
        << check.out;
    EXPECT_EQ(check.err, "");

    const std::string text = ReadFile(file.string());
    ASSERT_GE(text.size(), 106u);
    const std::vector<std::string> isa = Elements(text.substr(0, 105));
    ASSERT_EQ(isa.size(), 17u);
    controlNumbers.insert(isa[13]);
    EXPECT_NE(file.filename().string().find(isa[13]), std::string::npos);
  }
  EXPECT_EQ(controlNumbers, (std::set<std::string>{"000000001", "000000002"}));
}

TEST_F(ReleasedInstitutionalExample, GuideExcerptsAreWhatTheReleaseWrites) {
  const std::vector<std::string> released = Segments(ReleaseOnce());
  ASSERT_FALSE(released.empty());
  EXPECT_GE(ExpectGuideExcerpts(released), 3);
}

}  // namespace
