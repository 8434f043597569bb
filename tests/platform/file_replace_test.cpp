// Replacing a file through a temporary file and a rename: the old file stays
// whole whatever step fails, and a save that dies half-way leaves no cut-off
// file under the real name.
#include "platform/file_replace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(ReplaceFileContents, PutsTheNewBytesInPlace) {
  struct Row {
    int line;
    const char* old;  // nullptr: no file yet
    unsigned mode;    // of the old file
  } rows[] = {
      {__LINE__, nullptr, 0},
      {__LINE__, "old text that is longer than the new one", 0640},
      {__LINE__, "", 0600},
      {__LINE__, "x", 0755},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    testing_support::TempDir dir;
    const std::string path = dir.Child("maps.xml");
    if (row.old != nullptr) {
      dir.Write("maps.xml", row.old);
      ASSERT_EQ(::chmod(path.c_str(), row.mode), 0);
    }
    EXPECT_EQ(ReplaceFileContents(path, "<FieldMappings/>"), 0);
    EXPECT_EQ(ReadFile(path), "<FieldMappings/>");
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"maps.xml"}) << "temporary file left";
    if (row.old != nullptr) {
      EXPECT_EQ(ModeOf(path), row.mode) << "permission bits kept";
    }
  }
}

TEST(ReplaceFileContents, RefusesWhatItMustNotReplace) {
  testing_support::TempDir dir;
  const std::string readOnly = dir.Write("read-only.xml", "keep");
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  fs::create_directory(dir.path() / "folder.xml");
  struct Row {
    int line;
    std::string path;
    int error;
  } rows[] = {
      {__LINE__, readOnly, EACCES},  // also for root: the file has no write bit
      {__LINE__, dir.Child("folder.xml"), EISDIR},
      {__LINE__, dir.Child("missing/maps.xml"), ENOENT},
      {__LINE__, "", ENOENT},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ReplaceFileContents(row.path, "new"), row.error);
  }
  EXPECT_EQ(ReadFile(readOnly), "keep");
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"folder.xml", "read-only.xml"}));
}

TEST(ReplaceFileContents, ASymbolicLinkKeepsPointingAtTheReplacedFile) {
  testing_support::TempDir dir;
  const std::string real = dir.Write("shared/maps.xml", "old");
  const std::string link = dir.Child("maps.xml");
  fs::create_symlink(real, link);
  EXPECT_EQ(ReplaceFileContents(link, "new"), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(real), "new");

  fs::create_symlink(dir.Child("nowhere.xml"), dir.Child("dangling.xml"));
  EXPECT_EQ(ReplaceFileContents(dir.Child("dangling.xml"), "x"), ENOENT);
  EXPECT_FALSE(fs::exists(dir.Child("nowhere.xml")));
}

TEST(IsReadOnlyFile, AnswersForFilesOnly) {
  testing_support::TempDir dir;
  const std::string writable = dir.Write("w.xml", "");
  const std::string noWriteBits = dir.Write("r.xml", "");
  ASSERT_EQ(::chmod(noWriteBits.c_str(), 0444), 0);
  const std::string groupOnly = dir.Write("g.xml", "");
  ASSERT_EQ(::chmod(groupOnly.c_str(), 0464), 0);
  struct Row {
    int line;
    std::string path;
    bool readOnly;
  } rows[] = {
      {__LINE__, writable, false},
      {__LINE__, noWriteBits, true},
      // A write bit for the group only: read-only for its owner, unless the
      // owner is root, who may write it anyway.
      {__LINE__, groupOnly, ::geteuid() != 0},
      {__LINE__, dir.Child("missing.xml"), false},
      {__LINE__, dir.str(), false},
      {__LINE__, "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(IsReadOnlyFile(row.path), row.readOnly);
  }
}

// A process that dies inside a step: nothing after it runs.
struct SimulatedCrash {};

class FailingSteps : public PosixFileReplaceSteps {
 public:
  enum class Fault { kWriteFails, kWriteCutShort, kRenameFails, kCrashBeforeRename };
  explicit FailingSteps(Fault fault) : fault_(fault) {}

  int WriteNew(const std::string& path, std::string_view bytes, unsigned mode) override {
    if (fault_ == Fault::kWriteFails) return ENOSPC;
    if (fault_ == Fault::kWriteCutShort) {
      // The disk fills up half-way: the real step removes what it wrote.
      const int error = PosixFileReplaceSteps::WriteNew(path, bytes.substr(0, 3), mode);
      EXPECT_EQ(error, 0);
      ::unlink(path.c_str());
      return ENOSPC;
    }
    return PosixFileReplaceSteps::WriteNew(path, bytes, mode);
  }
  int Rename(const std::string& from, const std::string& to) override {
    if (fault_ == Fault::kRenameFails) return EIO;
    if (fault_ == Fault::kCrashBeforeRename) throw SimulatedCrash{};
    return PosixFileReplaceSteps::Rename(from, to);
  }

 private:
  Fault fault_;
};

TEST(ReplaceFileContents, AFailureAtAnyStepLeavesTheOldFileWhole) {
  using Fault = FailingSteps::Fault;
  struct Row {
    int line;
    Fault fault;
    int error;           // 0: the save does not return (crash)
    bool temporaryLeft;  // a crash leaves its temporary file, as a real one would
  } rows[] = {
      {__LINE__, Fault::kWriteFails, ENOSPC, false},
      {__LINE__, Fault::kWriteCutShort, ENOSPC, false},
      {__LINE__, Fault::kRenameFails, EIO, false},
      {__LINE__, Fault::kCrashBeforeRename, 0, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    testing_support::TempDir dir;
    const std::string path = dir.Write("maps.xml", "<FieldMappings><MappingClass name=\"A\"/>");
    FailingSteps steps(row.fault);
    ScopedFileReplaceSteps use(steps);
    if (row.error == 0) {
      EXPECT_THROW(ReplaceFileContents(path, "<FieldMappings/>"), SimulatedCrash);
    } else {
      EXPECT_EQ(ReplaceFileContents(path, "<FieldMappings/>"), row.error);
    }
    EXPECT_EQ(ReadFile(path), "<FieldMappings><MappingClass name=\"A\"/>");
    const std::vector<std::string> left = Entries(dir.path());
    ASSERT_EQ(left.size(), row.temporaryLeft ? 2u : 1u);
    if (row.temporaryLeft) {
      EXPECT_EQ(left[0].rfind(".maps.xml.", 0), 0u) << left[0];
      EXPECT_EQ(ReadFile(dir.Child(left[0])), "<FieldMappings/>");
    }
  }
}

}  // namespace
}  // namespace platform
