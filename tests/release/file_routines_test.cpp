// The path, directory and unique-name routines: splitting and parents of
// UNC, drive and POSIX paths, directory creation and access checks, the
// counter sequence of unique names with its GUID fallback, directory
// validation with its questions, and that planted symbolic links are never
// followed.
#include "release/file_routines.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/native_path.h"
#include "release/file_routines_test_support.h"
#include "release/owned_files.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using files_test::CapturedLog;
using files_test::FakeFileSystem;
using files_test::FixedRandom;
using files_test::ShortLockWait;
using platform::MessageAnswer;
using testing_support::ScriptedMessageBoxes;
using testing_support::TempDir;

// Maps drive letters and the UNC root for one test, then restores them.
class PathMapping {
 public:
  explicit PathMapping(platform::PathSettings settings) : saved_(platform::GetPathSettings()) {
    platform::SetPathSettings(std::move(settings));
  }
  ~PathMapping() { platform::SetPathSettings(saved_); }

 private:
  platform::PathSettings saved_;
};

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

std::string CurrentDirectory() {
  std::error_code ec;
  return fs::current_path(ec).string();
}

// ---------------------------------------------------------------- paths

TEST(SplitPath, FolderKeepsItsSeparatorAndBareNamesGiveNothing) {
  struct Row {
    int line;
    const char* path;
    bool result;
    const char* folder;
    const char* file;
  } rows[] = {
      {__LINE__, R"(C:\out\a.txt)", true, R"(C:\out\)", "a.txt"},
      {__LINE__, R"(\\srv\share\a.txt)", true, R"(\\srv\share\)", "a.txt"},
      {__LINE__, R"(C:\out\)", true, R"(C:\out\)", ""},
      {__LINE__, "/var/edi/a.txt", true, "/var/edi/", "a.txt"},
      {__LINE__, R"(/var\edi/a.txt)", true, R"(/var\edi/)", "a.txt"},  // mixed: last one counts
      {__LINE__, R"(C:\a/b\c.txt)", true, R"(C:\a/b\)", "c.txt"},
      {__LINE__, "a.txt", false, "", ""},  // the whole path is not a file name
      {__LINE__, "C:a.txt", false, "", ""},
      {__LINE__, "", false, "", ""},
      {__LINE__, "/", true, "/", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    std::string folder = "stale";
    std::string file = "stale";
    EXPECT_EQ(SplitPath(row.path, folder, file), row.result);
    EXPECT_EQ(folder, row.folder);
    EXPECT_EQ(file, row.file);
  }
}

TEST(ParentDirectory, SharesAndDriveRootsHaveNoParent) {
  struct Row {
    int line;
    const char* path;
    const char* parent;
  } rows[] = {
      {__LINE__, R"(\\server\share\dir)", R"(\\server\share)"},
      {__LINE__, R"(\\server\share\dir\)", R"(\\server\share)"},
      {__LINE__, R"(\\server\share\a\b)", R"(\\server\share\a)"},
      {__LINE__, R"(\\server\share)", ""},
      {__LINE__, R"(\\server\share\)", ""},
      {__LINE__, R"(\\server)", ""},  // a server alone has nothing above it
      {__LINE__, R"(\\)", ""},
      {__LINE__, R"(\\server/share/dir)", R"(\\server/share)"},
      {__LINE__, "C:", ""},
      {__LINE__, R"(C:\)", ""},
      {__LINE__, R"(C:\dir)", "C:"},
      {__LINE__, R"(C:\dir\)", "C:"},
      {__LINE__, R"(C:\a\b\c)", R"(C:\a\b)"},
      {__LINE__, R"(C:\a\b\\)", R"(C:\a\b)"},  // only one trailing separator is dropped
      {__LINE__, "  C:\\a\\b  ", R"(C:\a)"},   // blanks around are ignored
      {__LINE__, "/srv/edi/out", "/srv/edi"},
      {__LINE__, "/srv/edi/out/", "/srv/edi"},
      {__LINE__, "/srv", ""},
      {__LINE__, "/", ""},
      {__LINE__, "relative", ""},
      {__LINE__, R"(rel\sub)", "rel"},
      {__LINE__, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ParentDirectory(row.path), row.parent);
  }
}

TEST(IsAllDigits, OnlyAsciiDigitsAndNotEmpty) {
  struct Row {
    int line;
    const char* text;
    bool result;
  } rows[] = {
      {__LINE__, "0", true},
      {__LINE__, "0123456789", true},
      {__LINE__, "", false},
      {__LINE__, " 1", false},
      {__LINE__, "1 ", false},
      {__LINE__, "-1", false},
      {__LINE__, "1.5", false},
      {__LINE__, "1e3", false},
      {__LINE__, "batch", false},
      {__LINE__, "\xd9\xa1", false},      // ARABIC-INDIC DIGIT ONE is no "0" to "9"
      {__LINE__, "\xef\xbc\x91", false},  // FULLWIDTH DIGIT ONE
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(IsAllDigits(row.text), row.result);
  }
}

TEST(NewGuidString, FieldsInOrderUpperCasePadded) {
  {
    FixedRandom fixed(&files_test::CountingBytes);
    EXPECT_EQ(NewGuidString(), files_test::kCountingGuid);
  }
  const std::string a = NewGuidString();
  const std::string b = NewGuidString();
  EXPECT_TRUE(std::regex_match(a, std::regex("[0-9A-F]{12}4[0-9A-F]{3}[89AB][0-9A-F]{15}"))) << a;
  EXPECT_NE(a, b);
}

TEST(NewGuidString, EmptyWhenNoGuidCanBeMade) {
  FixedRandom failing(&files_test::NoBytes);
  EXPECT_EQ(NewGuidString(), "");
}

// ---------------------------------------------------------------- directories

TEST(DirectoryExists, OnlyDirectoriesAndLinksToThem) {
  TempDir dir;
  fs::create_directory(dir.path() / "sub");
  dir.Write("file.txt", "x");
  fs::create_directory_symlink(dir.path() / "sub", dir.path() / "link");
  PathMapping mapping({"/nonexistent-unc", {{'C', dir.str()}}});
  struct Row {
    int line;
    std::string path;
    bool result;
  } rows[] = {
      {__LINE__, dir.str(), true},
      {__LINE__, dir.Child("sub"), true},
      {__LINE__, dir.Child("sub") + "/", true},
      {__LINE__, dir.Child("link"), true},
      {__LINE__, dir.Child("file.txt"), false},
      {__LINE__, dir.Child("missing"), false},
      {__LINE__, R"(C:\sub)", true},  // through the drive table
      {__LINE__, R"(C:\sub\)", true},
      {__LINE__, "C:", true},
      {__LINE__, R"(Q:\sub)", false},  // no mapping for Q
      {__LINE__, R"(\\srv\share)", false},
      {__LINE__, "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(DirectoryExists(row.path), row.result);
  }
}

TEST(CreateDirectoryTree, BuildsMissingAncestorsTopDownWithOwnerOnlyAccess) {
  TempDir dir;
  PathMapping mapping({"/nonexistent-unc", {{'C', dir.str()}}});
  FakeFileSystem fake;
  ScopedFileSystem use(fake);
  ASSERT_TRUE(CreateDirectoryTree(R"(C:\a\b\c\d)"));
  std::vector<std::string> made;
  for (const auto& call : fake.calls) {
    if (call.rfind("mkdir ", 0) == 0) made.push_back(call.substr(6));
  }
  const std::vector<std::string> expected = {dir.Child("a"), dir.Child("a/b"), dir.Child("a/b/c"),
                                             dir.Child("a/b/c/d")};
  EXPECT_EQ(made, expected);
  for (const auto& path : expected) EXPECT_EQ(ModeOf(path) & 077, 0u) << path;
}

TEST(CreateDirectoryTree, ExistingDirectoryIsTrueAndNoErrorAtAll) {
  TempDir dir;
  dir.Write("keep.txt", "x");
  FakeFileSystem fake;
  ScopedFileSystem use(fake);
  EXPECT_TRUE(CreateDirectoryTree(dir.str()));
  EXPECT_TRUE(CreateDirectoryTree(dir.str() + "/"));
  // Its creation is attempted (and fails) at most; nothing above it is touched.
  for (const auto& call : fake.calls) {
    if (call.rfind("mkdir ", 0) == 0) {
      EXPECT_EQ(call.substr(6).rfind(dir.str(), 0), 0u) << call;
    }
  }
  EXPECT_EQ(testing_support::ReadFile(dir.Child("keep.txt")), "x");
}

TEST(CreateDirectoryTree, FailsWithoutCreatingRootsSharesOrThroughFiles) {
  TempDir dir;
  dir.Write("file.txt", "x");
  fs::create_directories(dir.path() / "unc" / "srv" / "share");
  PathMapping mapping({dir.Child("unc"), {{'C', dir.str()}, {'D', dir.Child("no-such-root")}}});
  struct Row {
    int line;
    std::string path;
    bool result;
    const char* mustNotExist;  // below the temporary folder, "" for none
  } rows[] = {
      {__LINE__, dir.Child("file.txt") + "/sub", false, ""},         // a file in the way
      {__LINE__, R"(Q:\edi\out)", false, ""},                        // unmapped drive
      {__LINE__, R"(D:\edi\out)", false, "no-such-root"},            // mapped root missing
      {__LINE__, R"(\\srv\missing\out)", false, "unc/srv/missing"},  // never makes a share
      {__LINE__, R"(\\other\share\out)", false, "unc/other"},        // nor a server
      {__LINE__, R"(\\srv\share\x\y)", true, ""},  // below an existing share: fine
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(CreateDirectoryTree(row.path), row.result);
    if (*row.mustNotExist != '\0') {
      EXPECT_FALSE(fs::exists(dir.path() / row.mustNotExist));
    }
  }
  EXPECT_TRUE(fs::is_directory(dir.path() / "unc/srv/share/x/y"));
}

TEST(CreateDirectoryTree, RelativePathsGrowFromTheCurrentDirectory) {
  // The current directory is the implied parent of a relative path's first
  // name, so "build\out\logs" in a fresh clone creates build first.
  TempDir dir;
  const fs::path before = fs::current_path();
  fs::current_path(dir.path());
  struct Row {
    int line;
    std::string path;
    const char* created;
  } rows[] = {
      {__LINE__, "top", "top"},
      {__LINE__, R"(build\out\logs)", "build/out/logs"},
      {__LINE__, "a/b", "a/b"},
      {__LINE__, R"(.\dot\x)", "dot/x"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_TRUE(CreateDirectoryTree(row.path));
    EXPECT_TRUE(fs::is_directory(dir.path() / row.created));
  }
  fs::current_path(before);
}

TEST(CreateDirectoryTree, ToleratesAnotherProcessCreatingTheSameLevel) {
  TempDir dir;
  FakeFileSystem fake;
  // The first mkdir loses a race: the directory appears, but our call fails.
  fake.onMakeDirectory = [&](const std::string& path) {
    if (fake.Count("mkdir") != 1) return -1;
    ::mkdir(path.c_str(), 0700);
    return EEXIST;
  };
  ScopedFileSystem use(fake);
  EXPECT_TRUE(CreateDirectoryTree(dir.Child("a/b/c")));
  EXPECT_TRUE(fs::is_directory(dir.path() / "a/b/c"));
}

TEST(CreateDirectoryTree, StopsAtTheFirstLevelThatCannotBeMade) {
  TempDir dir;
  FakeFileSystem fake;
  fake.onMakeDirectory = [](const std::string&) { return EACCES; };
  ScopedFileSystem use(fake);
  EXPECT_FALSE(CreateDirectoryTree(dir.Child("a/b/c")));
  EXPECT_EQ(fake.Count("mkdir"), 1);
}

// ---------------------------------------------------------------- access

void ExpectNoAccessError(const std::string& directory) {
  try {
    CheckDirectoryAccess(directory);
    ADD_FAILURE() << "no error for " << directory;
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.Number(), 6000);
    EXPECT_EQ(e.Source(), "Check Directory Access");
    EXPECT_EQ(
        e.Description(),
        "Release user does not have appropriate access to the output directory - " + directory);
  }
}

TEST(CheckDirectoryAccess, WritableDirectoryLeavesNoTrace) {
  TempDir dir;
  EXPECT_NO_THROW(CheckDirectoryAccess(dir.str()));
  EXPECT_NO_THROW(CheckDirectoryAccess(dir.str() + "/"));
  EXPECT_TRUE(fs::is_empty(dir.path()));
  EXPECT_TRUE(HasDirectoryAccess(dir.str()));
}

TEST(CheckDirectoryAccess, EveryFailingStepRaises6000) {
  TempDir dir;
  struct Row {
    int line;
    int createError;  // -1: real call
    int removeError;
  } rows[] = {
      {__LINE__, EACCES, -1},  // read-only directory
      {__LINE__, EROFS, -1},
      {__LINE__, ENOSPC, -1},
      {__LINE__, -1, EPERM},  // created but cannot be deleted again
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    FakeFileSystem fake;
    fake.onCreate = [&](const std::string&) { return row.createError; };
    fake.onRemove = [&](const std::string&) { return row.removeError; };
    ScopedFileSystem use(fake);
    ExpectNoAccessError(dir.str());
    EXPECT_FALSE(HasDirectoryAccess(dir.str()));
    for (const auto& entry : fs::directory_iterator(dir.path())) fs::remove(entry.path());
  }
}

TEST(CheckDirectoryAccess, MissingOrEmptyDirectoryRaises6000) {
  TempDir dir;
  ExpectNoAccessError(dir.Child("missing"));
  ExpectNoAccessError("");  // not the root of the file system
  PathMapping mapping({"/nonexistent-unc", {}});
  ExpectNoAccessError(R"(Q:\out)");
}

TEST(CheckDirectoryAccess, NeverOverwritesAFileOfTheProbeName) {
  TempDir dir;
  FakeFileSystem fake;
  std::string probe;
  fake.onCreate = [&](const std::string& path) {
    probe = path;
    std::ofstream(path) << "keep";  // someone else's file is there first
    return -1;
  };
  ScopedFileSystem use(fake);
  ExpectNoAccessError(dir.str());
  EXPECT_EQ(testing_support::ReadFile(probe), "keep");
  // The probe is this process's own hidden file.
  const std::optional<OwnedFile> owned = ParseOwnedFileName(fs::path(probe).filename().string());
  ASSERT_TRUE(owned) << probe;
  EXPECT_EQ(owned->kind, "probe");
  EXPECT_TRUE(IsOwnFile(*owned));
}

TEST(CheckDirectoryAccess, RealReadOnlyDirectory) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores permission bits";
  TempDir dir;
  fs::create_directory(dir.path() / "ro");
  fs::permissions(dir.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  ExpectNoAccessError(dir.Child("ro"));
}

// ---------------------------------------------------------------- unique names

TEST(MakeFileNameUnique, CounterRunsToHundredThenStartsANewBase) {
  TempDir dir;
  const std::string wanted = dir.Child("out.txt");
  std::vector<std::string> got;
  for (int i = 0; i < 103; ++i) got.push_back(MakeFileNameUnique(wanted, "_"));
  EXPECT_EQ(got[0], dir.Child("out.txt"));
  EXPECT_EQ(got[1], dir.Child("out_1.txt"));
  EXPECT_EQ(got[2], dir.Child("out_2.txt"));
  EXPECT_EQ(got[99], dir.Child("out_99.txt"));
  EXPECT_EQ(got[100], dir.Child("out_100.txt"));
  EXPECT_EQ(got[101], dir.Child("out_100_1.txt"));
  EXPECT_EQ(got[102], dir.Child("out_100_2.txt"));
  for (const auto& name : got) {
    ASSERT_TRUE(fs::is_regular_file(name)) << name;  // reserved on disk
    EXPECT_EQ(fs::file_size(name), 0u);
    EXPECT_EQ(ModeOf(name) & 077, 0u) << name;
  }
  EXPECT_FALSE(fs::exists(dir.path() / "folder.lock"));
}

TEST(MakeFileNameUnique, NextFreeNameForWhatIsTaken) {
  struct Row {
    int line;
    const char* wanted;
    std::vector<const char*> taken;
    const char* result;
  } rows[] = {
      {__LINE__, "out.txt", {}, "out.txt"},
      {__LINE__, "out.txt", {"out.txt"}, "out_1.txt"},
      {__LINE__, "out.txt", {"out.txt", "out_1.txt", "out_2.txt"}, "out_3.txt"},
      {__LINE__, "out_99.txt", {"out_99.txt"}, "out_100.txt"},
      {__LINE__, "out_100.txt", {"out_100.txt"}, "out_100_1.txt"},
      {__LINE__, "out_7.txt", {"out_7.txt"}, "out_8.txt"},
      {__LINE__, "out_07.txt", {"out_07.txt"}, "out_8.txt"},
      {__LINE__, "out_250.txt", {"out_250.txt"}, "out_250_1.txt"},
      {__LINE__, "report", {"report"}, "report_1"},  // no extension
      {__LINE__, "a.b.txt", {"a.b.txt"}, "a.b_1.txt"},
      {__LINE__, "claims.2024.txt", {"claims.2024.txt"}, "claims.2024_1.txt"},
      {__LINE__, "out.txt", {"out_1.txt"}, "out.txt"},     // only the wanted name decides
      {__LINE__, "x_1.5.txt", {"x_1.5.txt"}, "x__1.txt"},  // a number, but not all digits
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    TempDir dir;
    for (const char* name : row.taken) dir.Write(name, "data");
    EXPECT_EQ(MakeFileNameUnique(dir.Child(row.wanted), "_"), dir.Child(row.result));
    for (const char* name : row.taken)
      EXPECT_EQ(testing_support::ReadFile(dir.Child(name)), "data");
  }
}

TEST(MakeFileNameUnique, WindowsFormPathsKeepTheirForm) {
  TempDir dir;
  fs::create_directories(dir.path() / "unc/srv/share/edi");
  PathMapping mapping({dir.Child("unc"), {{'C', dir.str()}}});
  fs::create_directory(dir.path() / "edi");
  EXPECT_EQ(MakeFileNameUnique(R"(C:\edi\out.txt)", "_"), R"(C:\edi\out.txt)");
  EXPECT_EQ(MakeFileNameUnique(R"(C:\edi\out.txt)", "_"), R"(C:\edi\out_1.txt)");
  EXPECT_EQ(MakeFileNameUnique(R"(\\srv\share\edi\out.txt)", "_"), R"(\\srv\share\edi\out.txt)");
  EXPECT_EQ(MakeFileNameUnique(R"(\\srv\share\edi\out.txt)", "_"), R"(\\srv\share\edi\out_1.txt)");
  EXPECT_TRUE(fs::exists(dir.path() / "edi/out_1.txt"));
  EXPECT_TRUE(fs::exists(dir.path() / "unc/srv/share/edi/out_1.txt"));
}

TEST(MakeFileNameUnique, NonNumericCounterFallsBackToGuidWithOneErrorEntry) {
  struct Row {
    int line;
    const char* taken;
    std::string fallback;  // the GUID name
  } rows[] = {
      {__LINE__, "claims_batch.txt",
       std::string("claims_batch_") + files_test::kCountingGuid + ".txt"},
      {__LINE__, "my_claims.2024.txt",
       std::string("my_claims.2024_") + files_test::kCountingGuid + ".txt"},
      {__LINE__, "out_.txt",
       std::string("out__") + files_test::kCountingGuid + ".txt"},  // "" is no number
      {__LINE__, "x_a", std::string("x_a_") + files_test::kCountingGuid},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    TempDir dir;
    CapturedLog log;
    FixedRandom fixed(&files_test::CountingBytes);
    dir.Write(row.taken, "");
    const std::string wanted = dir.Child(row.taken);
    const std::string result = MakeFileNameUnique(wanted, "_");
    EXPECT_EQ(result, dir.Child(row.fallback));
    EXPECT_FALSE(fs::exists(result));  // the fallback name is not reserved
    EXPECT_FALSE(fs::exists(dir.path() / "folder.lock"));
    const std::vector<std::string> expected = {
        "MakeFileNameUnique | 0 | Error creating unique file name: " + wanted +
        ", Error Number: 13, Desc: Type mismatch, Error Line: 2 sPath1:" + dir.str() + "/"};
    EXPECT_EQ(log.Errors(), expected);
  }
}

TEST(MakeFileNameUnique, MissingFolderFallsBackAtOnce) {
  TempDir dir;
  CapturedLog log;
  ShortLockWait wait(3, 1);
  FakeFileSystem fake;
  ScopedFileSystem use(fake);
  const std::string folder = dir.Child("missing") + "/";
  const std::string result = MakeFileNameUnique(folder + "out.txt", "_");
  EXPECT_TRUE(std::regex_match(result, std::regex(folder + "out_[0-9A-F]{32}\\.txt"))) << result;
  // A missing folder never appears by waiting: one attempt, no take-over.
  EXPECT_EQ(fake.Count("create"), 1);
  EXPECT_EQ(fake.Count("remove"), 0);
  const std::vector<std::string> expected = {
      "MakeFileNameUnique | 0 | Error creating unique file name: " + folder +
      "out.txt, Error Number: 76, Desc: Path not found, Error Line: 1 sPath1:" + folder};
  EXPECT_EQ(log.Errors(), expected);
  EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

TEST(MakeFileNameUnique, FailureAfterTheLockReleasesItAndLogsBoth) {
  TempDir dir;
  const std::string lock = dir.Child("folder.lock");
  struct Row {
    int line;
    int placeholderError;  // creating the reserved name
    int releaseError;      // deleting the lock file
    bool reserved;         // the wanted name is the result (else the GUID name)
    std::vector<std::string> errors;
  } rows[] = {
      {__LINE__,
       ENOSPC,
       -1,
       false,
       {"MakeFileNameUnique | 0 | Error creating unique file name: " + dir.Child("out.txt") +
        ", Error Number: 61, Desc: Disk full, Error Line: 3 sPath1:" + dir.str() + "/"}},
      {__LINE__,
       ENOSPC,
       EACCES,
       false,
       {"MakeFileNameUnique | 0 | Error creating unique file name: " + dir.Child("out.txt") +
            ", Error Number: 61, Desc: Disk full, Error Line: 3 sPath1:" + dir.str() + "/",
        "ReleaseLock | 0 | Permission denied"}},
      // The placeholder is made, then the lock file cannot be deleted (another
      // process took a stale lock over and deleted it already): the name is
      // reserved all the same and stays the result. It used to be given up
      // for a GUID name, leaving the empty placeholder behind for good.
      {__LINE__, -1, ENOENT, true, {"ReleaseLock | 0 | File not found"}},
      {__LINE__, -1, EACCES, true, {"ReleaseLock | 0 | Permission denied"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    CapturedLog log;
    FakeFileSystem fake;
    fake.onCreate = [&](const std::string& path) {
      return path == lock ? -1 : row.placeholderError;
    };
    fake.onRemove = [&](const std::string&) { return row.releaseError; };
    ScopedFileSystem use(fake);
    const std::string result = MakeFileNameUnique(dir.Child("out.txt"), "_");
    if (row.reserved) {
      EXPECT_EQ(result, dir.Child("out.txt"));
      EXPECT_TRUE(fs::is_regular_file(result));
    } else {
      EXPECT_TRUE(std::regex_match(result, std::regex(".*/out_[0-9A-F]{32}\\.txt"))) << result;
    }
    EXPECT_EQ(log.Errors(), row.errors);
    EXPECT_EQ(fake.Count("remove"), 1);  // the lock file, once
    fs::remove(lock);
    fs::remove(dir.path() / "out.txt");
  }
}

TEST(MakeFileNameUnique, BareNameLivesInTheCurrentDirectory) {
  // Such a path has no folder: the lock and the names are relative to the
  // current directory. Checked through the seam so the test does not have to
  // change the working directory.
  FakeFileSystem fake;
  fake.onCreate = [](const std::string&) { return 0; };
  fake.onRemove = [](const std::string&) { return 0; };
  fake.onStatus = [](const std::string& path) { return path == "out.txt" ? 0 : ENOENT; };
  ScopedFileSystem use(fake);
  EXPECT_EQ(MakeFileNameUnique("out.txt", "_"), "out_1.txt");
  const std::vector<std::string> expected = {"create folder.lock", "status out.txt",
                                             "status out_1.txt", "create out_1.txt",
                                             "remove folder.lock"};
  EXPECT_EQ(fake.calls, expected);
}

TEST(MakeFileNameUnique, PlantedSymbolicLinksAreTakenNamesNotFollowed) {
  TempDir dir;
  const std::string victim = dir.Write("victim.txt", "secret");
  fs::create_symlink(victim, dir.path() / "out.txt");
  fs::create_symlink(dir.path() / "nowhere.txt", dir.path() / "out_1.txt");  // dangling
  EXPECT_EQ(MakeFileNameUnique(dir.Child("out.txt"), "_"), dir.Child("out_2.txt"));
  EXPECT_EQ(testing_support::ReadFile(victim), "secret");
  EXPECT_FALSE(fs::exists(dir.path() / "nowhere.txt"));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "out.txt"));
}

TEST(MakeFileNameUnique, DirectoryOfTheWantedNameIsNoFileButCannotBeReserved) {
  TempDir dir;
  CapturedLog log;
  fs::create_directory(dir.path() / "out.txt");
  const std::string result = MakeFileNameUnique(dir.Child("out.txt"), "_");
  EXPECT_TRUE(std::regex_match(result, std::regex(".*/out_[0-9A-F]{32}\\.txt"))) << result;
  ASSERT_EQ(log.Errors().size(), 1u);
  EXPECT_NE(log.Errors()[0].find("Error Number: 58, Desc: File already exists, Error Line: 3"),
            std::string::npos);
}

// ---------------------------------------------------------------- locks

TEST(ObtainLock, LinkPlantedAsTheLockIsReplacedNotFollowed) {
  TempDir dir;
  ShortLockWait wait(2, 0);
  const std::string victim = dir.Write("victim.txt", "secret");
  fs::create_symlink(victim, dir.path() / "folder.lock");
  fs::create_directory(dir.path() / "d");
  fs::create_symlink(dir.path() / "created-through-link", dir.path() / "d" / "folder.lock");
  ObtainLock(dir.str());
  ObtainLock(dir.Child("d"));
  EXPECT_FALSE(fs::is_symlink(dir.path() / "folder.lock"));
  EXPECT_TRUE(fs::is_regular_file(dir.path() / "folder.lock"));
  EXPECT_EQ(testing_support::ReadFile(victim), "secret");
  EXPECT_FALSE(fs::exists(dir.path() / "created-through-link"));
  EXPECT_EQ(ModeOf(dir.Child("folder.lock")) & 077, 0u);
  ReleaseLock(dir.str());
  ReleaseLock(dir.Child("d"));
  CurrentFileSystem().DropLockSeeds();
  EXPECT_TRUE(fs::is_empty(dir.path() / "d"));
}

TEST(ObtainLock, LockIsASecondNameOfAFileTheProcessKeepsWhereLinksExist) {
  // The real file system, with and without hard links; a seed removed by
  // someone between two locks only costs the next lock a new file.
  struct NoHardLinks : PosixFileSystem {
    int Link(const std::string&, const std::string&) override { return EPERM; }
  };
  struct Row {
    int line;
    bool hardLinks;
    bool seedRemovedBetween;
  } rows[] = {{__LINE__, true, false}, {__LINE__, true, true}, {__LINE__, false, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    TempDir dir;
    PosixFileSystem real;
    NoHardLinks noLinks;
    FileSystem& files = row.hardLinks ? static_cast<FileSystem&>(real) : noLinks;
    ScopedFileSystem use(files);
    const fs::path lock = dir.path() / "folder.lock";
    const auto seeds = [&] {
      std::vector<fs::path> found;
      for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path().extension() == ".seed") found.push_back(entry.path());
      }
      return found;
    };
    std::uintmax_t firstInode = 0;
    for (int round = 0; round < 3; ++round) {
      SCOPED_TRACE(round);
      ObtainLock(dir.str());
      ASSERT_TRUE(fs::is_regular_file(lock));
      EXPECT_EQ(ModeOf(lock.string()) & 077, 0u);
      struct stat st {};
      ASSERT_EQ(::stat(lock.c_str(), &st), 0);
      const bool fresh = row.seedRemovedBetween && round == 1;
      if (row.hardLinks && !fresh) {
        ASSERT_EQ(seeds().size(), 1u);
        EXPECT_EQ(fs::hard_link_count(lock), 2u);
        EXPECT_TRUE(fs::equivalent(lock, seeds()[0]));
        if (round == 0) firstInode = st.st_ino;
        if (!row.seedRemovedBetween) {
          EXPECT_EQ(st.st_ino, firstInode);
        }
      } else {
        EXPECT_EQ(fs::hard_link_count(lock), 1u);
        EXPECT_TRUE(seeds().empty());
      }
      // Someone else waits for this very file.
      EXPECT_THROW(
          {
            ShortLockWait wait(1, 0);
            // ... and cannot take it over either.
            struct Refused : PosixFileSystem {
              int Remove(const std::string& path) override {
                return fs::path(path).filename() == "folder.lock" ? EACCES
                                                                  : PosixFileSystem::Remove(path);
              }
            } refused;
            ScopedFileSystem other(refused);
            ObtainLock(dir.str());
          },
          platform::Error);
      ReleaseLock(dir.str());
      EXPECT_FALSE(fs::exists(lock));
      if (row.seedRemovedBetween && round == 0) {
        for (const fs::path& seed : seeds()) fs::remove(seed);
      }
    }
    files.DropLockSeeds();
    EXPECT_TRUE(fs::is_empty(dir.path()));
  }
}

TEST(ObtainLock, RaisesWhenEvenTheTakeOverFails) {
  TempDir dir;
  ShortLockWait wait(2, 0);
  FakeFileSystem fake;
  fake.onCreate = [](const std::string&) { return EEXIST; };
  fake.onRemove = [](const std::string&) { return EACCES; };
  ScopedFileSystem use(fake);
  const std::string folder = dir.str() + "/";
  try {
    ObtainLock(folder);
    FAIL() << "no error";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.Number(), 58);
    EXPECT_EQ(e.Source(), "ObtainLock: Can't obtain lock for folder " + folder);
    EXPECT_EQ(e.Description(), "File already exists");
  }
  EXPECT_EQ(fake.Count("create"), 2);  // no wait (2 x 0 ms), then the take-over
  EXPECT_EQ(fake.Count("remove"), 1);
}

TEST(ObtainLock, FailuresThatCannotClearEndTheWaitAtOnce) {
  TempDir dir;
  dir.Write("file", "x");
  // A wait this long would stop the test for minutes.
  ShortLockWait wait(1000, 100);
  struct Row {
    int line;
    std::string folder;
    int injected;  // errno of the lock creation, -1: the real one
    int number;
    const char* description;
  } rows[] = {
      {__LINE__, dir.Child("missing"), -1, 76, "Path not found"},
      {__LINE__, dir.Child("file"), -1, 76, "Path not found"},  // a file in the path
      {__LINE__, dir.Child(std::string(300, 'n')), -1, 52, "Bad file name or number"},
      {__LINE__, dir.str(), EACCES, 70, "Permission denied"},
      {__LINE__, dir.str(), EROFS, 70, "Permission denied"},
      {__LINE__, dir.str(), ENOSPC, 61, "Disk full"},
      {__LINE__, dir.str(), EIO, 57, "Device I/O error"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    FakeFileSystem fake;
    fake.onCreate = [&](const std::string&) { return row.injected; };
    ScopedFileSystem use(fake);
    try {
      ObtainLock(row.folder);
      ADD_FAILURE() << "no error";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.Number(), row.number);
      EXPECT_EQ(e.Source(), "ObtainLock: Can't obtain lock for folder " + row.folder);
      EXPECT_EQ(e.Description(), row.description);
    }
    EXPECT_EQ(fake.Count("create"), 1);
    EXPECT_EQ(fake.Count("remove"), 0);  // nothing is taken over
  }
}

TEST(ReleaseLock, FailureIsRaised) {
  TempDir dir;
  try {
    ReleaseLock(dir.str());
    FAIL() << "no error";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.Number(), 53);
    EXPECT_EQ(e.Description(), "File not found");
  }
}

TEST(LockWaitPolicy, DefaultIsHundredTimesTwoHundredMilliseconds) {
  ResetLockWaitPolicy();
  EXPECT_EQ(GetLockWaitPolicy().attempts, 100);
  EXPECT_EQ(GetLockWaitPolicy().sleepMilliseconds, 200);
  struct Row {
    int line;
    int attempts, sleep;
    int wantAttempts, wantSleep;
  } rows[] = {
      {__LINE__, 5, 10, 5, 10},
      {__LINE__, 0, 10, 1, 10},  // at least one attempt
      {__LINE__, -3, -1, 1, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ShortLockWait wait(row.attempts, row.sleep);
    EXPECT_EQ(GetLockWaitPolicy().attempts, row.wantAttempts);
    EXPECT_EQ(GetLockWaitPolicy().sleepMilliseconds, row.wantSleep);
  }
  EXPECT_EQ(GetLockWaitPolicy().attempts, 100);
}

// ---------------------------------------------------------------- validation

TEST(VerifyDirectoryName, AnswersAndQuestions) {
  TempDir dir;
  fs::create_directories(dir.path() / "unc/srv/share/there");
  fs::create_directory(dir.path() / "there");
  dir.Write("file.txt", "x");
  PathMapping mapping({dir.Child("unc"), {{'C', dir.str()}, {'D', dir.Child("no-such-root")}}});
  const std::string question = "The directory does not exist. Create it?";
  const std::string badDrive = "The drive letter is missing or bad.";
  struct Row {
    int line;
    std::string path;
    bool offer;
    std::vector<MessageAnswer> answers;
    bool result;
    std::string message;  // "" when nothing may be shown
    const char* created;  // below the temporary folder, "" for none
  } rows[] = {
      {__LINE__, "", true, {}, false, "", ""},
      {__LINE__, "C: \\there", true, {}, false, "", ""},  // ": " after the letter
      {__LINE__, dir.Child("there"), true, {}, true, "", ""},
      {__LINE__, R"(C:\there)", true, {}, true, "", ""},
      {__LINE__, "C:", true, {}, true, "", ""},
      {__LINE__, dir.Child("new1"), false, {}, false, "", ""},
      {__LINE__,
       dir.Child("new2"),
       true,
       {MessageAnswer::kNo},
       false,
       dir.Child("new2") + "\r" + question,
       ""},
      {__LINE__,
       dir.Child("new3/deep"),
       true,
       {MessageAnswer::kYes},
       true,
       dir.Child("new3/deep") + "\r" + question,
       "new3/deep"},
      {__LINE__, R"(C:\new4)", true, {MessageAnswer::kYes}, true, "C:\\new4\r" + question, "new4"},
      {__LINE__, R"(Q:\edi)", true, {}, false, badDrive, ""},
      {__LINE__, R"(D:\edi)", true, {}, false, badDrive, ""},  // mapped root missing
      {__LINE__, R"(1:\edi)", true, {}, false, badDrive, ""},
      {__LINE__, dir.Child("file.txt"), true, {}, false, "", ""},
      {__LINE__, R"(\\srv\share\there)", true, {}, true, "", ""},
      {__LINE__, R"(\\srv\share\there\)", true, {}, true, "", ""},
      {__LINE__, R"(\\srv\share\new5)", false, {}, false, "", ""},
      // The backslash appended to a UNC path shows in the question.
      {__LINE__,
       R"(\\srv\share\new6)",
       true,
       {MessageAnswer::kYes},
       true,
       "\\\\srv\\share\\new6\\\r" + question,
       "unc/srv/share/new6"},
      {__LINE__, R"(\\srv\nope\x)", true, {}, false, "", ""},  // bad share: silent
      {__LINE__, R"(\\gone\share\x)", true, {}, false, "", ""},
  };
  const std::string before = CurrentDirectory();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ScriptedMessageBoxes boxes(row.answers);
    platform::ScopedMessageBoxService use(boxes);
    EXPECT_EQ(VerifyDirectoryName(row.path, row.offer), row.result);
    if (row.message.empty()) {
      EXPECT_TRUE(boxes.shown.empty());
    } else {
      ASSERT_EQ(boxes.shown.size(), 1u);
      const platform::MessageBoxRequest& shown = boxes.shown[0];
      EXPECT_EQ(shown.text, row.message);
      EXPECT_EQ(shown.title, "Drive/Directory Problem");
      const bool asked = row.message != badDrive;
      EXPECT_EQ(shown.buttons,
                asked ? platform::MessageButtons::kYesNo : platform::MessageButtons::kOk);
      EXPECT_EQ(shown.icon,
                asked ? platform::MessageIcon::kQuestion : platform::MessageIcon::kExclamation);
    }
    if (*row.created != '\0') {
      EXPECT_TRUE(fs::is_directory(dir.path() / row.created));
    }
    EXPECT_EQ(CurrentDirectory(), before);
  }
  EXPECT_FALSE(fs::exists(dir.path() / "new1"));
  EXPECT_FALSE(fs::exists(dir.path() / "new2"));
  EXPECT_FALSE(fs::exists(dir.path() / "unc/srv/share/new5"));
}

TEST(VerifyDirectoryName, DirectoryThatCannotBeEnteredIsNotUsable) {
  TempDir dir;
  FakeFileSystem fake;
  fake.onEnter = [](const std::string&) { return EACCES; };
  ScopedFileSystem use(fake);
  ScriptedMessageBoxes boxes;
  platform::ScopedMessageBoxService show(boxes);
  EXPECT_FALSE(VerifyDirectoryName(dir.str(), true));
  EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace quillon
