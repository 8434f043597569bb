// The folder lock between processes: several release processes reserving
// names in one folder at once never settle on the same name, a waiter gets
// the lock once its holder lets go, and a lock left behind by a dead process
// is taken over after the waiting time.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "release/file_routines.h"
#include "release/file_routines_test_support.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using files_test::FakeFileSystem;
using files_test::ShortLockWait;
using testing_support::TempDir;

// Runs `body` in a child process and returns its pid; the child's exit code
// is body's result (any exception makes it 99).
template <typename Body>
pid_t Spawn(Body body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
    }
    // What the end of the process would do before _exit skips it.
    quillon::CurrentFileSystem().DropLockSeeds();
    ::_exit(code);
  }
  return pid;
}

int ExitCodeOf(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(FolderLockBetweenProcesses, EightProcessesReserveDistinctNames) {
  constexpr int kProcesses = 8;
  constexpr int kNamesEach = 200;
  TempDir out;
  TempDir results;
  // Generous enough that nobody ever takes a live lock over, short enough
  // that waiting does not dominate the test.
  ShortLockWait wait(100000, 1);
  const std::string wanted = out.Child("claims.txt");

  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const std::string list = results.Child("names-" + std::to_string(p));
    children.push_back(Spawn([&, list] {
      ::close(go[1]);
      char c;
      // Everyone starts when the parent closes its end of the pipe.
      if (::read(go[0], &c, 1) != 0) return 2;
      std::string names;
      for (int i = 0; i < kNamesEach; ++i) names += MakeFileNameUnique(wanted, "_") + "\n";
      std::ofstream(list) << names;
      return 0;
    }));
    ASSERT_GT(children.back(), 0);
  }
  ::close(go[0]);
  const auto start = std::chrono::steady_clock::now();
  ::close(go[1]);
  for (const pid_t pid : children) EXPECT_EQ(ExitCodeOf(pid), 0);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
  std::printf("[ info     ] %d processes x %d names: %lld ms\n", kProcesses, kNamesEach,
              static_cast<long long>(millis));
  RecordProperty("milliseconds", static_cast<int>(millis));

  std::set<std::string> all;
  int count = 0;
  for (int p = 0; p < kProcesses; ++p) {
    std::istringstream names(
        testing_support::ReadFile(results.Child("names-" + std::to_string(p))));
    for (std::string name; std::getline(names, name);) {
      ++count;
      all.insert(name);
      // A fallback name would have no placeholder behind it.
      EXPECT_TRUE(fs::is_regular_file(name)) << name;
    }
  }
  EXPECT_EQ(count, kProcesses * kNamesEach);
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kProcesses * kNamesEach));
  EXPECT_FALSE(fs::exists(out.path() / "folder.lock"));
  EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()),
            kProcesses * kNamesEach);
}

TEST(FolderLockBetweenProcesses, WaiterGetsTheLockWhenTheHolderLetsGo) {
  TempDir dir;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = Spawn([&] {
    ObtainLock(dir.str());
    if (::write(ready[1], "x", 1) != 1) return 2;
    ::usleep(100 * 1000);
    ReleaseLock(dir.str());
    return 0;
  });
  ASSERT_GT(holder, 0);
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);

  ShortLockWait wait(5000, 1);
  FakeFileSystem fake;
  ScopedFileSystem use(fake);
  ObtainLock(dir.str());
  EXPECT_GT(fake.Count("create"), 1);  // it had to wait
  EXPECT_EQ(fake.Count("remove"), 0);  // and took nothing over
  EXPECT_EQ(ExitCodeOf(holder), 0);    // the holder released its own lock
  ReleaseLock(dir.str());
}

TEST(FolderLockBetweenProcesses, StaleLockIsTakenOverAfterTheWait) {
  struct Row {
    int line;
    int attempts, sleep;
    int tries;  // creations of the lock before the take-over
  } rows[] = {
      // 10 ms in all: tries after 0, 1, 3, 5, 7, 9 and 10 ms.
      {__LINE__, 5, 2, 7},
      // 40 ms: quick at first (1, 2, 4 ms apart), then every 8 ms.
      {__LINE__, 5, 8, 9},
      {__LINE__, 1, 0, 1},  // no wait at all
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    TempDir dir;
    dir.Write("folder.lock", "");
    ShortLockWait wait(row.attempts, row.sleep);
    FakeFileSystem fake;
    ScopedFileSystem use(fake);
    EXPECT_EQ(MakeFileNameUnique(dir.Child("out.txt"), "_"), dir.Child("out.txt"));
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "out.txt"));
    EXPECT_FALSE(fs::exists(dir.path() / "folder.lock"));
    const std::string lock = dir.Child("folder.lock");
    std::vector<std::string> expected(static_cast<std::size_t>(row.tries), "create " + lock);
    expected.insert(expected.end(), {"remove " + lock,  // the take-over
                                     "create " + lock, "status " + dir.Child("out.txt"),
                                     "create " + dir.Child("out.txt"), "remove " + lock});
    EXPECT_EQ(fake.calls, expected);
  }
}

}  // namespace
}  // namespace quillon
