// `quillon release` killed with SIGKILL: at every file-system call of a small
// release (through the test hook of the file-system seam) and at random
// moments of a release of a few thousand documents. After each kill the
// output folder holds only complete files; the next release succeeds and
// leaves nothing behind, neither its own files nor the killed one's.
//
// And the stale lock: many releases started together over a lock file left
// behind by a dead process all wait, all take the lock over at about the
// same moment, and still each writes one complete file of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "release_fixtures.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CommandResult;
using testing_support::ReadFile;
using testing_support::TempDir;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// A leftover lock is taken over after 3 x 10 ms instead of 20 seconds.
const std::string kShortLockWait = "QUILLON_TEST_LOCK_WAIT=3:10";

constexpr const char* kLevel3 = R"xml(<FieldMappings>
  <MappingClass name="Record">
    <Fields>
      <Field name="_createFeed" value="YES"/>
      <Field name="_outputString" value="CLM*[Batch]*[Claim]~"/>
      <Field name="_header" value="ISA*[Batch]*[ICN]~"/>
      <Field name="_footer" value="IEA*_docCount~"/>
      <Field name="_outputFileName" value="claims.x12"/>
      <Field name="_outputDirectory" value="{OUT}"/>
    </Fields>
  </MappingClass>
</FieldMappings>)xml";

// A batch class (one per output mode) and batches in a temporary folder.
class Releases {
 public:
  Releases() {
    dir_.Write("mappings/DataMappings.xml", release_testing::kNoClasses);
    dir_.Write("mappings/FieldMappings.xml", release_testing::kNoClasses);
    dir_.Write("mappings/FeedOutputMappings.xml",
               release_testing::Substitute(kLevel3, {{"OUT", Out().string()}}));
    for (const char* mode : {"One EDI Per Batch", "One EDI Per Document"}) {
      nlohmann::ordered_json json = {
          {"name", "Claims"},
          {"customProperties",
           {{"Mappings Directory", dir_.Child("mappings")},
            {"Logging Directory", dir_.Child("logs")},
            {"Working Directory", Work().string()},
            {"EDI Output", mode},
            {"Enable Logging", "0"}}},
          {"indexFields", {"Claim"}},
          {"batchFields", {"Batch"}},
          {"hostVariables", {"Interchange Control Number"}},
          {"links",
           {{{"destination", "Claim"}, {"sourceType", 0}, {"source", "Claim"}},
            {{"destination", "Batch"}, {"sourceType", 3}, {"source", "Batch"}},
            {{"destination", "ICN"},
             {"sourceType", 2},
             {"source", "Interchange Control Number"}}}}};
      dir_.Write(std::string(mode).find("Batch") != std::string::npos ? "batch.json" : "doc.json",
                 json.dump(2));
    }
    fs::create_directories(Out());
  }

  // A batch file named after the batch, of `documents` claims.
  std::string Batch(const std::string& name, int documents, bool perDocument = false) const {
    nlohmann::ordered_json docs = nlohmann::json::array();
    for (int id = 1; id <= documents; ++id) {
      docs.push_back({{"id", id},
                      {"className", "CMS1500"},
                      {"classId", 3},
                      {"indexFields", {{"Claim", std::to_string(id)}}}});
    }
    nlohmann::ordered_json json = {{"batchClass", perDocument ? "doc.json" : "batch.json"},
                                   {"name", name},
                                   {"id", name},
                                   {"description", ""},
                                   {"classNumber", 1},
                                   {"batchFields", {{"Batch", name}}},
                                   {"documents", docs}};
    return dir_.Write(name + ".json", json.dump());
  }

  CommandResult Release(const std::string& batch, std::vector<std::string> env = {}) const {
    env.push_back(kShortLockWait);
    return testing_support::RunCommand({QUILLON_BIN, "release", batch}, {}, env);
  }

  fs::path Out() const { return dir_.path() / "out"; }
  fs::path Work() const { return dir_.path() / "work"; }

 private:
  TempDir dir_;
};

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Whether `text` is a whole output file: "ISA*<batch>*<n>~", the claims
// 1..count of that batch ("CLM*<batch>*<id>~"; per document: one claim of
// any id), "IEA*<count>~". (Checked by hand: std::regex recurses once per
// character and overflows the stack on files of thousands of claims.)
bool IsComplete(const std::string& text) {
  if (text.rfind("ISA*", 0) != 0) return false;
  const std::size_t star = text.find('*', 4);
  const std::size_t end = text.find('~');
  if (star == std::string::npos || end == std::string::npos || star > end) return false;
  const std::string batch = text.substr(4, star - 4);
  const std::size_t iea = text.rfind("IEA*");
  if (iea == std::string::npos || text.back() != '~') return false;
  const std::string count = text.substr(iea + 4, text.size() - iea - 5);
  if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos) return false;
  const std::string claims = text.substr(end + 1, iea - end - 1);
  const int n = std::stoi(count);
  const std::string prefix = "CLM*" + batch + "*";
  if (n == 1 && claims.rfind(prefix, 0) == 0 && claims.find('~') == claims.size() - 1) {
    return true;  // one document's file
  }
  std::string expected;
  for (int id = 1; id <= n; ++id) expected += prefix + std::to_string(id) + "~";
  return claims == expected;
}

// Every file of the output folder that a reader would take is complete;
// hidden files of a killed process and its lock may be there too.
void ExpectOnlyCompleteFiles(const fs::path& out) {
  for (const std::string& name : Entries(out)) {
    if (name[0] == '.' || name == "folder.lock") continue;
    EXPECT_TRUE(IsComplete(ReadFile((out / name).string()))) << name;
  }
}

// After a successful release: complete files only, and nothing else at all.
void ExpectCleanFolders(const Releases& r) {
  for (const std::string& name : Entries(r.Out())) {
    EXPECT_NE(name[0], '.') << "left behind: " << name;
    EXPECT_NE(name, "folder.lock");
    if (name[0] != '.' && name != "folder.lock") {
      EXPECT_TRUE(IsComplete(ReadFile((r.Out() / name).string()))) << name;
    }
  }
  EXPECT_TRUE(Entries(r.Work()).empty()) << ::testing::PrintToString(Entries(r.Work()));
}

void EmptyFolder(const fs::path& folder) {
  for (const std::string& name : Entries(folder)) fs::remove_all(folder / name);
}

TEST(CrashSafety, KilledAtEveryFileSystemCall) {
  struct Row {
    int line;
    bool perDocument;
    int documents;
    bool hardLinks;
  } rows[] = {
      {__LINE__, false, 3, true},
      {__LINE__, true, 2, true},
      // A share without hard links: the name is reserved by a placeholder
      // that is filled at once; a kill in between leaves it empty until the
      // next release into the folder removes it.
      {__LINE__, false, 3, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Releases r;
    const std::string batch =
        r.Batch("K" + std::to_string(row.line), row.documents, row.perDocument);
    std::vector<std::string> hooks;
    if (!row.hardLinks) hooks.push_back("QUILLON_TEST_HARD_LINKS=off");
    int call = 1;
    for (;; ++call) {
      SCOPED_TRACE("killed at file-system call " + std::to_string(call));
      std::vector<std::string> env = hooks;
      env.push_back("QUILLON_TEST_CRASH_AT=" + std::to_string(call));
      const CommandResult killed = r.Release(batch, env);
      if (killed.exitCode != 128 + SIGKILL) {
        // Past the last call: the release ran to its end.
        EXPECT_EQ(killed.exitCode, 0) << killed.out << killed.err;
        break;
      }
      if (row.hardLinks) ExpectOnlyCompleteFiles(r.Out());

      const CommandResult next = r.Release(batch, hooks);
      EXPECT_EQ(next.exitCode, 0) << next.out << next.err;
      ExpectCleanFolders(r);
      EmptyFolder(r.Out());
      ASSERT_LT(call, 200) << "the hook never let the release finish";
    }
    // Every step of a release was a kill point: the lock, the copy, the
    // link, the deletes, the directory checks, the counter of documents.
    EXPECT_GT(call, row.perDocument ? 20 : 12);
  }
}

TEST(CrashSafety, KilledAtRandomMomentsOfALargeRelease) {
  const int documents = kSanitized ? 500 : 3000;
  const int kills = kSanitized ? 3 : 8;
  Releases r;
  const std::string batch = r.Batch("Large", documents);

  // How long a whole release takes here, to spread the kills over it.
  const auto start = std::chrono::steady_clock::now();
  const CommandResult whole = r.Release(batch);
  ASSERT_EQ(whole.exitCode, 0) << whole.out << whole.err;
  const auto duration = std::chrono::steady_clock::now() - start;
  ExpectCleanFolders(r);
  EmptyFolder(r.Out());

  std::mt19937 random(20240301);
  for (int kill = 0; kill < kills; ++kill) {
    const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(duration) *
                       std::uniform_real_distribution<double>(0.3, 1.1)(random);
    SCOPED_TRACE("killed after " + std::to_string(delay.count()) + " us");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      ::setenv("QUILLON_TEST_LOCK_WAIT", "3:10", 1);
      ::execl(QUILLON_BIN, QUILLON_BIN, "release", batch.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ExpectOnlyCompleteFiles(r.Out());

    const CommandResult next = r.Release(batch);
    EXPECT_EQ(next.exitCode, 0) << next.out << next.err;
    ExpectCleanFolders(r);
    EmptyFolder(r.Out());
  }
}

TEST(StaleLock, ManyReleasesTakeItOverTogether) {
  const int processes = kSanitized ? 6 : 16;
  const int rounds = kSanitized ? 2 : 5;
  Releases r;
  std::vector<std::string> batches;
  for (int p = 0; p < processes; ++p) batches.push_back(r.Batch("S" + std::to_string(p), 5));

  std::size_t files = 0;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Left behind by a process that died holding it.
    std::ofstream(r.Out() / "folder.lock").close();
    std::vector<CommandResult> results(batches.size());
    std::vector<std::thread> threads;
    for (std::size_t p = 0; p < batches.size(); ++p) {
      threads.emplace_back([&, p] { results[p] = r.Release(batches[p]); });
    }
    for (std::thread& thread : threads) thread.join();
    for (const CommandResult& result : results) {
      // Every release says what happened: each wrote its one file.
      EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
      EXPECT_NE(result.out.find("output files written: 1\n"), std::string::npos) << result.out;
    }
    files += batches.size();
    const std::vector<std::string> names = Entries(r.Out());
    EXPECT_EQ(names.size(), files) << ::testing::PrintToString(names);
    std::set<std::string> icns;
    for (const std::string& name : names) {
      const std::string text = ReadFile((r.Out() / name).string());
      EXPECT_TRUE(IsComplete(text)) << name << ": " << text.size() << " bytes";
      icns.insert(text.substr(0, text.find('~')));
    }
    EXPECT_EQ(icns.size(), files);  // no batch twice, none lost
    ExpectCleanFolders(r);
  }
}

}  // namespace
