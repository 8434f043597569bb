// The interchange control number counter: numbers rise by one per
// reservation, a peek takes nothing, broken counter files are named, and
// processes reserving at the same time never share or lose a number.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "host/host_file_error.h"
#include "host/interchange_counter.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

TEST(InterchangeCounter, PathIsBesideTheBatchClassFile) {
  struct Row {
    int line;
    const char* batchClass;
    const char* counter;
  } rows[] = {
      {__LINE__, "/srv/classes/claims.json", "/srv/classes/claims.icn"},
      {__LINE__, "claims", "claims.icn"},
      {__LINE__, "/srv/a.b/claims.v2.json", "/srv/a.b/claims.v2.icn"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(InterchangeCounter::PathFor(row.batchClass), row.counter);
  }
}

TEST(InterchangeCounter, StartsAtOneAndRisesByOnePerReservation) {
  testing_support::TempDir dir;
  InterchangeCounter counter(dir.Child("c.icn"));
  EXPECT_EQ(counter.Peek(), 1);
  EXPECT_EQ(counter.Peek(), 1);  // a peek takes nothing
  EXPECT_EQ(counter.Reserve(), 1);
  EXPECT_EQ(counter.Reserve(), 2);
  EXPECT_EQ(counter.Peek(), 3);
  EXPECT_EQ(testing_support::ReadFile(counter.Path()), "2\n");
}

TEST(InterchangeCounter, ContinuesFromAHandWrittenValue) {
  testing_support::TempDir dir;
  struct Row {
    int line;
    const char* content;
    std::int64_t next;
  } rows[] = {
      {__LINE__, "", 1},  // created but never written
      {__LINE__, "41", 42},
      {__LINE__, "999999998", 999999999},
      // Nine digits at most (ISA13): the number wraps to 1, and the shorter
      // text replaces the longer one whole (stray bytes after are dropped).
      {__LINE__, "  999999999 \r\n\n", 1},
      {__LINE__, "1000000000", 1},  // beyond nine digits (an older version, a hand edit)
      {__LINE__, "123456789012", 1},
      {__LINE__, "000", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    InterchangeCounter counter(dir.Write("c.icn", row.content));
    EXPECT_EQ(counter.Peek(), row.next);
    EXPECT_EQ(counter.Reserve(), row.next);
    EXPECT_EQ(testing_support::ReadFile(counter.Path()), std::to_string(row.next) + "\n");
  }
}

TEST(InterchangeCounter, BrokenCounterIsNamedAndLeftAlone) {
  testing_support::TempDir dir;
  struct Row {
    int line;
    const char* content;
    const char* problem;
  } rows[] = {
      {__LINE__, "abc", "holds \"abc\", not a number"},
      {__LINE__, "-4", "not a number"},
      {__LINE__, "12 13", "not a number"},
      {__LINE__, "99999999999999999999", "not a number"},  // would overflow
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const std::string path = dir.Write("c.icn", row.content);
    InterchangeCounter counter(path);
    for (int peek = 0; peek < 2; ++peek) {
      try {
        peek ? counter.Peek() : counter.Reserve();
        ADD_FAILURE() << "accepted";
      } catch (const HostFileError& e) {
        EXPECT_EQ(e.File(), path);
        EXPECT_NE(e.Problem().find(row.problem), std::string::npos) << e.what();
      }
    }
    EXPECT_EQ(testing_support::ReadFile(path), row.content);
  }
}

TEST(InterchangeCounter, CounterInAMissingFolderIsNamed) {
  testing_support::TempDir dir;
  InterchangeCounter counter(dir.Child("gone/c.icn"));
  EXPECT_THROW(counter.Reserve(), HostFileError);
}

TEST(InterchangeCounter, ConcurrentProcessesEachGetTheirOwnNumbers) {
  testing_support::TempDir dir;
  const std::string path = dir.Child("shared.icn");
  constexpr int kProcesses = 6;
  constexpr int kEach = 40;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // Each child writes the numbers it got into a file of its own.
      std::string got;
      try {
        InterchangeCounter counter(path);
        for (int i = 0; i < kEach; ++i) got += std::to_string(counter.Reserve()) + "\n";
      } catch (...) {
        _exit(3);
      }
      dir.Write("got-" + std::to_string(p), got);
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::multiset<std::int64_t> all;
  for (int p = 0; p < kProcesses; ++p) {
    std::istringstream in(testing_support::ReadFile(dir.Child("got-" + std::to_string(p))));
    std::int64_t n = 0;
    while (in >> n) all.insert(n);
  }
  ASSERT_EQ(all.size(), static_cast<std::size_t>(kProcesses * kEach));
  std::int64_t expected = 1;
  for (std::int64_t n : all) EXPECT_EQ(n, expected++);  // 1..N, none twice, none lost
  EXPECT_EQ(InterchangeCounter(path).Peek(), kProcesses * kEach + 1);
}

}  // namespace
}  // namespace quillon
