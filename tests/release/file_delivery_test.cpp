// DeliverFile: a finished file appears in the output folder under its final
// name complete or not at all, under the name the counter series gives, also
// when the lock cannot be had or deleted, when someone takes a name without
// the lock, and on file systems without hard links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "release/file_routines.h"
#include "release/file_routines_test_support.h"
#include "release/owned_files.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using files_test::CapturedLog;
using files_test::FakeFileSystem;
using files_test::ShortLockWait;
using testing_support::ReadFile;
using testing_support::TempDir;

// Every entry of a folder, hidden ones included, sorted, once the batch is
// over (the lock seeds, which the release script drops at the end of a
// batch, are dropped first).
std::vector<std::string> Entries(const fs::path& folder) {
  CurrentFileSystem().DropLockSeeds();
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

// An output folder and a finished working file to deliver into it.
struct Delivery {
  TempDir dir;
  std::string work = dir.Write("work/finished.txt", std::string(100000, 'x') + "end~");
  fs::path out = dir.path() / "out";
  Delivery() { fs::create_directory(out); }
  std::string Wanted() const { return (out / "claims.txt").string(); }
  std::string In(const std::string& name) const { return (out / name).string(); }
};

TEST(DeliverFile, PublishesTheWholeFileUnderTheNextFreeName) {
  struct Row {
    int line;
    std::vector<std::string> existing;  // files already there ("name>target": a link)
    std::string expected;
  } rows[] = {
      {__LINE__, {}, "claims.txt"},
      {__LINE__, {"claims.txt"}, "claims_1.txt"},
      {__LINE__, {"claims.txt", "claims_1.txt", "claims_2.txt"}, "claims_3.txt"},
      // Planted links are taken names; neither they nor their targets change.
      {__LINE__, {"claims.txt>victim.txt"}, "claims_1.txt"},
      {__LINE__, {"claims.txt>nowhere.txt", "claims_1.txt>victim.txt"}, "claims_2.txt"},
  };
  // A private working file (as releases write them) becomes the output by a
  // second name; any other is copied.
  for (const Row& row : rows)
    for (const fs::perms workMode : {fs::perms(0600), fs::perms(0644)}) {
      SCOPED_TRACE(row.line);
      SCOPED_TRACE(static_cast<int>(workMode));
      Delivery d;
      fs::permissions(d.work, workMode);
      const std::string victim = d.dir.Write("victim.txt", "secret");
      std::vector<std::string> expected = {row.expected};
      for (const std::string& entry : row.existing) {
        const std::size_t arrow = entry.find('>');
        if (arrow == std::string::npos) {
          d.dir.Write("out/" + entry, "earlier");
        } else {
          fs::create_symlink(d.dir.path() / entry.substr(arrow + 1),
                             d.out / entry.substr(0, arrow));
        }
        expected.push_back(entry.substr(0, arrow));
      }
      std::sort(expected.begin(), expected.end());

      std::string chosen;
      EXPECT_EQ(DeliverFile(d.work, d.Wanted(), "_", &chosen), d.In(row.expected));
      EXPECT_EQ(chosen, d.In(row.expected));
      EXPECT_EQ(ReadFile(d.In(row.expected)), ReadFile(d.work));
      EXPECT_EQ(ModeOf(d.In(row.expected)), 0600u);
      // No temporary copy, no lock, nothing else; the working file is the
      // caller's to delete.
      EXPECT_EQ(Entries(d.out), expected);
      EXPECT_TRUE(fs::exists(d.work));
      EXPECT_EQ(ReadFile(victim), "secret");
      EXPECT_FALSE(fs::exists(d.dir.path() / "nowhere.txt"));
    }
}

TEST(DeliverFile, RepeatedNamesFollowTheSeriesWithoutWalkingIt) {
  Delivery d;
  std::vector<std::string> names;
  for (int i = 0; i < 205; ++i) names.push_back(DeliverFile(d.work, d.Wanted(), "_"));
  EXPECT_EQ(names[0], d.In("claims.txt"));
  EXPECT_EQ(names[1], d.In("claims_1.txt"));
  EXPECT_EQ(names[100], d.In("claims_100.txt"));
  EXPECT_EQ(names[101], d.In("claims_100_1.txt"));
  EXPECT_EQ(names[200], d.In("claims_100_100.txt"));
  EXPECT_EQ(names[201], d.In("claims_100_100_1.txt"));
  EXPECT_EQ(Entries(d.out).size(), 205u);

  // The 206th name costs a few status calls, not 206: the wanted name, the
  // last name taken, and the one after it.
  FakeFileSystem fake;
  {
    ScopedFileSystem use(fake);
    EXPECT_EQ(DeliverFile(d.work, d.Wanted(), "_"), d.In("claims_100_100_5.txt"));
  }
  EXPECT_LE(fake.Count("status"), 3) << ::testing::PrintToString(fake.calls);

  // A pick-up job took the first file away: the wanted name is free again.
  fs::remove(d.out / "claims.txt");
  EXPECT_EQ(DeliverFile(d.work, d.Wanted(), "_"), d.In("claims.txt"));
  // It took everything away: the series starts again.
  for (const std::string& name : Entries(d.out)) fs::remove(d.out / name);
  d.dir.Write("out/claims.txt", "new day");
  EXPECT_EQ(DeliverFile(d.work, d.Wanted(), "_"), d.In("claims_1.txt"));
}

TEST(DeliverFile, FailuresLeaveNothingInTheFolder) {
  // Folders that cannot be locked must not be waited for.
  ShortLockWait wait(1000, 100);
  struct Row {
    int line;
    bool missingSource;
    bool missingFolder;
    int copyError;  // -1: the real copy
    int linkError;  // -1: the real link
    int number;
    const char* description;
    const char* chosen;  // regular expression of the name given, below out/
    int errorEntries;
  } rows[] = {
      {__LINE__, true, false, -1, -1, 53, "File not found", "claims\\.txt", 0},
      // The design's answer to a folder that is not there: the GUID name,
      // then the copy fails; but without waiting for a lock first.
      {__LINE__, false, true, -1, -1, 76, "Path not found", "claims_[0-9A-F]{32}\\.txt", 1},
      {__LINE__, false, false, ENOSPC, -1, 61, "Disk full", "claims\\.txt", 0},
      {__LINE__, false, false, -1, EIO, 57, "Device I/O error", "claims_[0-9A-F]{32}\\.txt", 1},
      {__LINE__, false, false, -1, ENOSPC, 61, "Disk full", "claims_[0-9A-F]{32}\\.txt", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Delivery d;
    CapturedLog log;
    const std::string from = row.missingSource ? d.dir.Child("work/none.txt") : d.work;
    const fs::path folder = row.missingFolder ? d.dir.path() / "missing" : d.out;
    FakeFileSystem fake;
    fake.onCopy = [&](const std::string&) { return row.copyError; };
    fake.onLink = [&](const std::string&) { return row.linkError; };
    ScopedFileSystem use(fake);
    std::string chosen;
    const auto start = std::chrono::steady_clock::now();
    try {
      DeliverFile(from, (folder / "claims.txt").string(), "_", &chosen);
      ADD_FAILURE() << "no error";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.Number(), row.number);
      EXPECT_EQ(e.Source(), "DeliverFile");
      EXPECT_EQ(e.Description(), row.description);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(std::regex_match(chosen, std::regex(folder.string() + "/" + row.chosen))) << chosen;
    EXPECT_EQ(log.Errors().size(), static_cast<std::size_t>(row.errorEntries));
    EXPECT_TRUE(Entries(d.out).empty()) << ::testing::PrintToString(Entries(d.out));
    EXPECT_FALSE(fs::exists(d.dir.path() / "missing"));
  }
}

TEST(DeliverFile, NameTakenWithoutTheLockIsSkipped) {
  // Two processes that took a stale lock over at the same moment are both
  // inside; the one that links second moves on to the next name. A private
  // working file is linked into the folder (it has two names before the
  // link): the name taken meanwhile must not pass for its own.
  for (const fs::perms workMode : {fs::perms(0600), fs::perms(0644)}) {
    SCOPED_TRACE(static_cast<int>(workMode));
    Delivery d;
    fs::permissions(d.work, workMode);
    FakeFileSystem fake;
    int links = 0;
    fake.onLink = [&](const std::string& to) {
      if (links++ == 0) d.dir.Write("out/" + fs::path(to).filename().string(), "the other one");
      return -1;
    };
    ScopedFileSystem use(fake);
    EXPECT_EQ(DeliverFile(d.work, d.Wanted(), "_"), d.In("claims_1.txt"));
    EXPECT_EQ(ReadFile(d.In("claims.txt")), "the other one");
    EXPECT_EQ(ReadFile(d.In("claims_1.txt")), ReadFile(d.work));
    EXPECT_EQ(Entries(d.out), (std::vector<std::string>{"claims.txt", "claims_1.txt"}));
  }
}

TEST(DeliverFile, LinkThatSucceededButAnsweredExistsCountsAsDone) {
  // Over NFS a retransmitted link request can answer EEXIST for a link that
  // the first transmission made: the file then has two names.
  Delivery d;
  FakeFileSystem fake;
  fake.onLink = [&](const std::string& to) {
    EXPECT_EQ(fake.PosixFileSystem::Link(fake.linkSource, to), 0);
    return EEXIST;
  };
  ScopedFileSystem use(fake);
  EXPECT_EQ(DeliverFile(d.work, d.Wanted(), "_"), d.In("claims.txt"));
  EXPECT_EQ(fake.Count("link"), 1);
  EXPECT_EQ(Entries(d.out), std::vector<std::string>{"claims.txt"});
}

TEST(DeliverFile, WithoutHardLinksThePlaceholderIsFilledAtOnce) {
  struct Row {
    int line;
    int linkError;
    bool nameTakenMeanwhile;  // the placeholder's creation finds the name taken
    std::string expected;
  } rows[] = {
      {__LINE__, EPERM, false, "claims.txt"},  // SMB mounts, FAT
      {__LINE__, EOPNOTSUPP, false, "claims.txt"}, {__LINE__, ENOSYS, false, "claims.txt"},
      {__LINE__, EXDEV, false, "claims.txt"},      {__LINE__, EPERM, true, "claims_1.txt"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Delivery d;
    FakeFileSystem fake;
    fake.onLink = [&](const std::string&) { return row.linkError; };
    bool taken = false;
    fake.onCreate = [&](const std::string& path) {
      if (!row.nameTakenMeanwhile || taken || path != d.In("claims.txt")) return -1;
      taken = true;
      d.dir.Write("out/claims.txt", "the other one");
      return EEXIST;
    };
    // The empty placeholder may exist only between its creation and the
    // rename that fills it: no other call comes in between.
    std::vector<std::string> between;
    fake.onRename = [&](const std::string& to) {
      if (to == d.In(row.expected)) between = fake.calls;
      return -1;
    };
    ScopedFileSystem use(fake);
    EXPECT_EQ(DeliverFile(d.work, d.Wanted(), "_"), d.In(row.expected));
    EXPECT_EQ(ReadFile(d.In(row.expected)), ReadFile(d.work));
    ASSERT_GE(between.size(), 3u);
    EXPECT_EQ(between[between.size() - 2], "create " + d.In(row.expected));
    // Before it, the copy waited under a marker that names the placeholder.
    const std::string marker = fs::path(between[between.size() - 3].substr(7)).filename();
    const std::optional<OwnedFile> owned = ParseOwnedFileName(marker);
    ASSERT_TRUE(owned) << marker;
    EXPECT_EQ(owned->kind, "pending");
    EXPECT_EQ(owned->label, NameHash(row.expected));
    std::vector<std::string> expected = {row.expected};
    if (row.nameTakenMeanwhile) expected.insert(expected.begin(), "claims.txt");
    EXPECT_EQ(Entries(d.out), expected);
  }
}

TEST(DeliverFile, FailedLockDeleteAfterPublishingKeepsTheName) {
  // The lock file was deleted meanwhile by a process that took a stale lock
  // over. The file is in place: that stays the answer, logged, with no GUID
  // name and nothing empty left behind.
  Delivery d;
  CapturedLog log;
  FakeFileSystem fake;
  fake.onRemove = [&](const std::string& path) {
    return fs::path(path).filename() == "folder.lock" ? ENOENT : -1;
  };
  ScopedFileSystem use(fake);
  EXPECT_EQ(DeliverFile(d.work, d.Wanted(), "_"), d.In("claims.txt"));
  EXPECT_EQ(ReadFile(d.In("claims.txt")), ReadFile(d.work));
  EXPECT_EQ(log.Errors(), std::vector<std::string>{"ReleaseLock | 0 | File not found"});
  fs::remove(d.out / "folder.lock");
  EXPECT_EQ(Entries(d.out), std::vector<std::string>{"claims.txt"});
}

TEST(KeepUnderFreeName, MovesTheFileToTheSeriesInItsFolder) {
  TempDir dir;
  dir.Write("work/claims.txt", "someone else's");
  const std::string owned = dir.Write("work/" + OwnedFileName("work", "claims.txt"), "undelivered");
  const std::string kept = KeepUnderFreeName(owned, dir.Child("work/claims.txt"), "_");
  EXPECT_EQ(kept, dir.Child("work/claims_1.txt"));
  EXPECT_EQ(ReadFile(kept), "undelivered");
  EXPECT_EQ(Entries(dir.path() / "work"), (std::vector<std::string>{"claims.txt", "claims_1.txt"}));
}

}  // namespace
}  // namespace quillon
