// Files a release process keeps for itself: their names tell machine,
// process and start, and a later release removes those of processes that
// have ended, never those of live processes or of other machines.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/os_services.h"
#include "release/file_routines_test_support.h"
#include "release/owned_files.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A process that has ended: its id and the start token it had.
struct EndedProcess {
  std::int32_t pid = 0;
  std::string token;
  EndedProcess() {
    int ready[2];
    if (::pipe(ready) != 0) return;
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(ready[1]);
      char c;
      // Waits for the parent to read its token, then ends.
      if (::read(ready[0], &c, 1) < 0) ::_exit(1);
      ::_exit(0);
    }
    pid = child;
    token = platform::ProcessStartToken(child);
    ::close(ready[0]);
    ::close(ready[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
  }
};

std::string NameOf(const std::string& machine, std::int32_t pid, const std::string& token,
                   const std::string& rest) {
  return ".quillon-" + machine + "-" + std::to_string(pid) + "-" + token + "-" + rest;
}

TEST(OwnedFileName, NamesThisProcessAndParsesBack) {
  const std::string name = OwnedFileName("work", "837P claims/x\\y\x01.x12");
  const std::optional<OwnedFile> owned = ParseOwnedFileName(name);
  ASSERT_TRUE(owned) << name;
  EXPECT_EQ(owned->machine, platform::MachineTag());
  EXPECT_EQ(owned->pid, platform::CurrentProcessId());
  EXPECT_EQ(owned->kind, "work");
  EXPECT_EQ(owned->label, "837P claimsxy.x12");  // no separators, no control characters
  EXPECT_TRUE(IsOwnFile(*owned));
  EXPECT_NE(OwnedFileName("tmp"), OwnedFileName("tmp"));  // numbered

  // A long label is cut, never inside a character.
  std::string label;
  for (int i = 0; i < 40; ++i) label += "é";
  const std::optional<OwnedFile> cut = ParseOwnedFileName(OwnedFileName("work", label));
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->label, label.substr(0, 60));
}

TEST(ParseOwnedFileName, OnlyWellFormedNames) {
  const std::string token(16, 'A');
  struct Row {
    int line;
    std::string name;
    bool owned;
  } rows[] = {
      {__LINE__, ".quillon-0A1B2C3D-42-" + token + "-7-claims.txt.work", true},
      {__LINE__, ".quillon-0A1B2C3D-42-" + token + "-7.tmp", true},
      {__LINE__, "claims.txt", false},
      {__LINE__, ".quillon-0A1B2C3D-42-" + token + "-7", false},      // no kind
      {__LINE__, ".quillon-0a1b2c3d-42-" + token + "-7.tmp", false},  // lower case
      {__LINE__, ".quillon-0A1B2C3-42-" + token + "-7.tmp", false},   // 7 digits
      {__LINE__, ".quillon-0A1B2C3D-0-" + token + "-7.tmp", false},   // no process 0
      {__LINE__, ".quillon-0A1B2C3D-4x2-" + token + "-7.tmp", false},
      {__LINE__, ".quillon-0A1B2C3D-42-" + token + ".tmp", false},  // no number
      {__LINE__, ".quillon-0A1B2C3D-99999999999-" + token + "-7.tmp", false},
      {__LINE__, ".quillon-000102030405460788090A0B0C0D0E0F.tmp", false},  // older versions
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ParseOwnedFileName(row.name).has_value(), row.owned);
  }
}

TEST(RemoveLeftovers, OnlyFilesOfEndedProcessesOfThisMachine) {
  const EndedProcess ended;
  ASSERT_GT(ended.pid, 0);
  ASSERT_FALSE(ended.token.empty()) << "no /proc";
  const std::string machine = platform::MachineTag();
  const std::int32_t self = platform::CurrentProcessId();
  const std::string selfToken = platform::ProcessStartToken(self);
  const std::int32_t parent = static_cast<std::int32_t>(::getppid());
  const std::string otherMachine = machine == "00000000" ? "00000001" : "00000000";
  struct Row {
    int line;
    std::string name;
    bool removed;
  } rows[] = {
      {__LINE__, NameOf(machine, ended.pid, ended.token, "1-claims.txt.work"), true},
      {__LINE__, NameOf(machine, ended.pid, ended.token, "2.tmp"), true},
      {__LINE__, NameOf(machine, ended.pid, ended.token, "7.seed"), true},
      {__LINE__, NameOf(machine, ended.pid, ended.token, "3.other"), false},  // unknown kind
      {__LINE__, OwnedFileName("work", "mine"), false},                       // this process
      {__LINE__, NameOf(machine, parent, platform::ProcessStartToken(parent), "4.tmp"), false},
      // Another process has this process's id now: the owner has ended.
      {__LINE__,
       NameOf(machine, self,
              std::string(16, 'F') == selfToken ? std::string(16, 'E') : std::string(16, 'F'),
              "5.tmp"),
       true},
      // Process ids of another machine mean nothing here.
      {__LINE__, NameOf(otherMachine, ended.pid, ended.token, "6.tmp"), false},
      {__LINE__, "claims.txt", false},
  };
  for (const bool lockHeld : {false, true}) {
    SCOPED_TRACE(lockHeld);
    TempDir dir;
    files_test::CapturedLog log;
    std::vector<std::string> kept;
    std::vector<std::string> removed;
    for (const Row& row : rows) {
      dir.Write(row.name, "x");
      (row.removed ? removed : kept).push_back(dir.Child(row.name));
    }
    std::vector<std::string> answer = RemoveLeftovers(dir.str(), lockHeld);
    std::sort(answer.begin(), answer.end());
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(answer, removed);
    for (const std::string& path : kept) EXPECT_TRUE(fs::exists(path)) << path;
    for (const std::string& path : removed) EXPECT_FALSE(fs::exists(path)) << path;
  }
}

TEST(RemoveLeftovers, PlaceholderLeftEmptyIsRemovedUnderTheLock) {
  const EndedProcess ended;
  ASSERT_FALSE(ended.token.empty()) << "no /proc";
  const std::string marker = NameOf(platform::MachineTag(), ended.pid, ended.token,
                                    "9-" + NameHash("claims_3.txt") + ".pending");
  struct Row {
    int line;
    bool lockHeld;
    std::string placeholder;  // content of claims_3.txt; "-" none
    std::vector<std::string> left;
  } rows[] = {
      // Killed between reserving the name and filling it.
      {__LINE__, true, "", {"claims.txt"}},
      // Killed before reserving it: the marker alone goes.
      {__LINE__, true, "-", {"claims.txt"}},
      // The name holds a whole file (someone else's): it stays.
      {__LINE__, true, "ISA~", {"claims.txt", "claims_3.txt"}},
      // Without the lock a live process could be between the two steps.
      {__LINE__, false, "", {marker, "claims.txt", "claims_3.txt"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    TempDir dir;
    dir.Write(marker, "ISA~whole file~");
    dir.Write("claims.txt", "");  // empty, but no marker names it
    if (row.placeholder != "-") dir.Write("claims_3.txt", row.placeholder);
    RemoveLeftovers(dir.str(), row.lockHeld);
    std::vector<std::string> left = row.left;
    std::sort(left.begin(), left.end());
    EXPECT_EQ(Entries(dir.path()), left);
  }
}

TEST(RemoveLeftoversOnce, ListsAFolderOncePerInterval) {
  TempDir dir;
  files_test::FakeFileSystem fake;
  ScopedFileSystem use(fake);
  ForgetCleanedFolders();
  RemoveLeftoversOnce(dir.str(), false);
  RemoveLeftoversOnce(dir.str(), false);
  EXPECT_EQ(fake.Count("list"), 1);
  RemoveLeftoversOnce(dir.str(), false, std::chrono::seconds(0));
  EXPECT_EQ(fake.Count("list"), 2);
  ForgetCleanedFolders();
}

}  // namespace
}  // namespace quillon
