// Windows-form paths at the file-system boundary: UNC root, drive table,
// POSIX paths, and that ".." cannot lead out of a drive root or a share.
#include "platform/native_path.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

namespace platform {
namespace {

class PathMapping {
 public:
  explicit PathMapping(PathSettings settings) : saved_(GetPathSettings()) {
    SetPathSettings(std::move(settings));
  }
  ~PathMapping() { SetPathSettings(saved_); }

 private:
  PathSettings saved_;
};

// Sets (or, with nullptr, removes) an environment variable for one test.
class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~EnvVar() {
    if (saved_) {
      ::setenv(name_, saved_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(ToNativePath, MapsUncDrivesAndPosixPaths) {
  PathMapping mapping({"/mnt/unc", {{'C', "/srv/c"}, {'D', "/"}, {'E', "/srv/e/"}}});
  struct Row {
    int line;
    std::string path;
    std::string native;
  } rows[] = {
      {__LINE__, R"(\\srv\claims\out\)", "/mnt/unc/srv/claims/out/"},
      {__LINE__, R"(\\srv\claims\out\a.txt)", "/mnt/unc/srv/claims/out/a.txt"},
      {__LINE__, R"(\\srv\claims)", "/mnt/unc/srv/claims"},
      {__LINE__, R"(\\srv/claims/out)", "/mnt/unc/srv/claims/out"},  // "/" after the start
      {__LINE__, R"(\/srv\claims)", "/mnt/unc/srv/claims"},
      {__LINE__, R"(\\srv\claims\a\.\b\..\c)", "/mnt/unc/srv/claims/a/c"},
      {__LINE__, R"(\\srv\claims\a\\b)", "/mnt/unc/srv/claims/a/b"},
      {__LINE__, R"(\\)", "/mnt/unc"},
      // ".." stops at the share; a server or share of "." or ".." is no path.
      {__LINE__, R"(\\srv\claims\..\..\..\etc)", "/mnt/unc/srv/claims/etc"},
      {__LINE__, R"(\\..\claims\x)", ""},
      {__LINE__, R"(\\srv\..\x)", ""},
      {__LINE__, R"(\\srv\.\x)", ""},
      {__LINE__, R"(C:\edi\a.txt)", "/srv/c/edi/a.txt"},
      {__LINE__, R"(c:\edi\a.txt)", "/srv/c/edi/a.txt"},
      {__LINE__, R"(C:/edi/a.txt)", "/srv/c/edi/a.txt"},
      {__LINE__, R"(C:\edi\)", "/srv/c/edi/"},
      {__LINE__, "C:", "/srv/c"},
      {__LINE__, R"(C:\)", "/srv/c"},
      {__LINE__, "C:edi", "/srv/c/edi"},  // drive-relative: from the root
      {__LINE__, R"(C:\..\..\etc\passwd)", "/srv/c/etc/passwd"},
      {__LINE__, R"(C:\edi\..\..\x)", "/srv/c/x"},
      {__LINE__, R"(D:\x)", "/x"},
      {__LINE__, "D:", "/"},
      {__LINE__, R"(E:\x)", "/srv/e/x"},
      {__LINE__, R"(Q:\x)", ""},  // no entry: missing or bad drive
      {__LINE__, "q:", ""},
      {__LINE__, R"(/var/tmp\x)", "/var/tmp/x"},
      {__LINE__, "/var/../etc", "/var/../etc"},  // POSIX paths are kept as they are
      {__LINE__, "//srv/share", "//srv/share"},  // "/" first: never UNC
      {__LINE__, R"(out\a.txt)", "out/a.txt"},
      {__LINE__, R"(1:\x)", "1:/x"},  // not a drive letter
      {__LINE__, "", ""},
      {__LINE__, std::string("C:\\a\0b", 6), ""},  // a NUL would cut the path short
      {__LINE__, std::string("/tmp/a\0/etc", 11), ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ToNativePath(row.path), row.native);
  }
}

TEST(ToNativePath, EmptyUncRootMeansTheFileSystemRoot) {
  PathMapping mapping({"", {}});
  EXPECT_EQ(ToNativePath(R"(\\srv\share\x)"), "/srv/share/x");
}

TEST(PathClassification, UncDriveLetterAndDriveRoot) {
  PathMapping mapping({"/mnt/unc", {{'C', "/srv/c"}}});
  struct Row {
    int line;
    const char* path;
    bool unc;
    char drive;
  } rows[] = {
      {__LINE__, R"(\\srv\share)", true, '\0'},
      {__LINE__, R"(\/srv)", true, '\0'},
      {__LINE__, "//srv/share", false, '\0'},
      {__LINE__, R"(\srv)", false, '\0'},
      {__LINE__, R"(C:\x)", false, 'C'},
      {__LINE__, "c:", false, 'C'},
      {__LINE__, "z:x", false, 'Z'},
      {__LINE__, R"(1:\x)", false, '\0'},
      {__LINE__, ":", false, '\0'},
      {__LINE__, "", false, '\0'},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(IsUncPath(row.path), row.unc);
    EXPECT_EQ(DriveLetterOf(row.path), row.drive);
  }
  EXPECT_EQ(DriveRoot('c'), std::optional<std::string>("/srv/c"));
  EXPECT_EQ(DriveRoot('C'), std::optional<std::string>("/srv/c"));
  EXPECT_EQ(DriveRoot('D'), std::nullopt);
  EXPECT_EQ(DriveRoot('1'), std::nullopt);
}

TEST(PathSettingsFromEnvironment, ReadsRootAndDriveTable) {
  struct Row {
    int line;
    const char* uncRoot;  // nullptr: unset
    const char* drives;
    std::string wantRoot;
    std::map<char, std::string> wantDrives;
  } rows[] = {
      {__LINE__, nullptr, nullptr, "/mnt/unc", {}},
      {__LINE__, "", "", "/mnt/unc", {}},  // empty root keeps the default
      {__LINE__, "/srv/unc", "C=/srv/c;D=/data", "/srv/unc", {{'C', "/srv/c"}, {'D', "/data"}}},
      {__LINE__, nullptr, " c = /srv/c ; d=/data ;", "/mnt/unc", {{'C', "/srv/c"}, {'D', "/data"}}},
      {__LINE__, nullptr, "C=/a;c=/b", "/mnt/unc", {{'C', "/b"}}},  // the later entry wins
      // Malformed entries are skipped, the good ones kept.
      {__LINE__, nullptr, "x;==;E=;CD=/x;1=/y;F=/f", "/mnt/unc", {{'F', "/f"}}},
      {__LINE__, nullptr, "G=/with=equals", "/mnt/unc", {{'G', "/with=equals"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EnvVar root("QUILLON_UNC_ROOT", row.uncRoot);
    EnvVar drives("QUILLON_DRIVES", row.drives);
    const PathSettings s = PathSettingsFromEnvironment();
    EXPECT_EQ(s.uncRoot, row.wantRoot);
    EXPECT_EQ(s.drives, row.wantDrives);
  }
}

}  // namespace
}  // namespace platform
