// OpenPrivateAppendFile: logs never go through a planted link, into a file of
// another user, into one that others can read or that has a second name; the
// data then go to a fresh file beside it, and the caller hears of it once.
#include "platform/private_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>

#include "support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

void Append(const PrivateFile& file, const std::string& text) {
  ASSERT_GE(file.descriptor, 0);
  ASSERT_EQ(::write(file.descriptor, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(file.descriptor);
}

TEST(OpenPrivateAppendFile, RefusesFilesThatAreNotPrivate) {
  struct Row {
    int line;
    std::string planted;  // what is at the name before
    const char* reason;   // nullptr: the file is used
    bool rootOnly;
  } rows[] = {
      {__LINE__, "nothing", nullptr, false},
      {__LINE__, "file 0600", nullptr, false},
      {__LINE__, "file 0620", nullptr, false},  // others may not read it
      {__LINE__, "file 0644", "other users can read it", false},
      {__LINE__, "file 0640", "other users can read it", false},
      {__LINE__, "link", "it is a symbolic link", false},
      {__LINE__, "dangling link", "it is a symbolic link", false},
      {__LINE__, "hard link", "it has other names (hard links)", false},
      {__LINE__, "fifo", "it is not a regular file", false},
      {__LINE__, "other user", "it belongs to another user", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    if (row.rootOnly && ::geteuid() != 0) continue;  // only root can give files away
    TempDir dir;
    const std::string path = dir.Child("4242_quillon.log");
    const std::string victim = dir.Write("victim.txt", "secret");
    if (row.planted.rfind("file ", 0) == 0) {
      dir.Write("4242_quillon.log", "earlier\n");
      ::chmod(path.c_str(), static_cast<mode_t>(std::stoi(row.planted.substr(5), nullptr, 8)));
    } else if (row.planted == "link") {
      fs::create_symlink(victim, path);
    } else if (row.planted == "dangling link") {
      fs::create_symlink(dir.Child("created.txt"), path);
    } else if (row.planted == "hard link") {
      ::chmod(victim.c_str(), 0600);
      fs::create_hard_link(victim, path);
    } else if (row.planted == "fifo") {
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);  // must not block
    } else if (row.planted == "other user") {
      dir.Write("4242_quillon.log", "");
      ::chmod(path.c_str(), 0600);
      ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }

    const PrivateFile file = OpenPrivateAppendFile(path);
    ASSERT_GE(file.descriptor, 0) << file.error;
    Append(file, "claim data\n");
    EXPECT_EQ(ReadFile(victim), "secret");
    EXPECT_FALSE(fs::exists(dir.Child("created.txt")));
    if (row.reason == nullptr) {
      EXPECT_EQ(file.path, path);
      EXPECT_EQ(file.notice, "");
      EXPECT_NE(ReadFile(path).find("claim data\n"), std::string::npos);
      if (row.planted == "nothing") {
        EXPECT_EQ(ModeOf(path), 0600u);
      }
      continue;
    }
    // A fresh file beside it, for the owner only, and a notice that says why.
    EXPECT_TRUE(
        std::regex_match(file.path, std::regex(dir.str() + "/4242_quillon\\.[0-9A-F]{8}\\.log")))
        << file.path;
    EXPECT_EQ(ReadFile(file.path), "claim data\n");
    EXPECT_EQ(ModeOf(file.path), 0600u);
    EXPECT_EQ(file.notice, "the file " + path + " is not written to because " + row.reason +
                               "; writing to " + file.path + " instead");
    if (row.planted != "fifo") {
      EXPECT_EQ(ReadFile(path).find("claim data"), std::string::npos);
    }

    // Later opens of the name go to the same fresh file, without a notice.
    const PrivateFile again = OpenPrivateAppendFile(path);
    EXPECT_EQ(again.path, file.path);
    EXPECT_EQ(again.notice, "");
    Append(again, "more\n");
    EXPECT_EQ(ReadFile(file.path), "claim data\nmore\n");
  }
}

TEST(OpenPrivateAppendFile, FailuresAreReportedNotHidden) {
  TempDir dir;
  fs::create_directory(dir.path() / "a-folder.log");
  struct Row {
    int line;
    std::string path;
    int error;
  } rows[] = {
      {__LINE__, dir.Child("missing/x.log"), ENOENT},
      {__LINE__, dir.Child("a-folder.log"), EISDIR},
      {__LINE__, "", ENOENT},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const PrivateFile file = OpenPrivateAppendFile(row.path);
    EXPECT_EQ(file.descriptor, -1);
    EXPECT_EQ(file.error, row.error);
    EXPECT_EQ(file.notice, "");
  }
}

}  // namespace
}  // namespace platform
