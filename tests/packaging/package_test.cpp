// The Debian package, built by cpack from this build tree into a folder of
// its own: what it holds, what it depends on, and what lintian says.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "packaging/program_path.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ProgramPath;
using testing_support::RunCommand;

const std::string kLibDir = QUILLON_LIBDIR;
const std::string kPackageVersion = std::string(QUILLON_VERSION) + "-1";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

class PackageTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    output_ = std::make_unique<testing_support::TempDir>();
    const auto cpack =
        RunCommand({QUILLON_CPACK, "-G", "DEB", "--config",
                    std::string(QUILLON_BUILD_DIR) + "/CPackConfig.cmake", "-B", output_->str()});
    cpackLog_ = cpack.out + cpack.err;
    if (cpack.exitCode != 0) return;
    for (const auto& entry : fs::directory_iterator(output_->path())) {
      if (entry.path().extension() == ".deb") deb_ = entry.path().string();
    }
    if (deb_.empty()) return;
    // "drwxr-xr-x root/root 0 2026-01-01 00:00 ./usr/bin/" -> "usr/bin/";
    // links keep their target: "usr/lib/libx.so -> libx.so.0".
    for (const std::string& line : Lines(RunCommand({ProgramPath("dpkg-deb"), "-c", deb_}).out)) {
      const std::size_t at = line.find(" ./");
      if (at != std::string::npos && at + 3 < line.size()) files_.insert(line.substr(at + 3));
    }
    const fs::path unpacked = output_->path() / "unpacked";
    RunCommand({ProgramPath("dpkg-deb"), "-x", deb_, unpacked.string()});
    unpacked_ = unpacked.string();
  }

  static void TearDownTestSuite() { output_.reset(); }

  void SetUp() override { ASSERT_FALSE(deb_.empty()) << "cpack made no package:\n" << cpackLog_; }

  static std::string Field(const std::string& name) {
    const auto result = RunCommand({ProgramPath("dpkg-deb"), "-f", deb_, name});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::string value = result.out;
    while (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
  }

  static std::string ControlFile(const std::string& name) {
    const auto result = RunCommand({ProgramPath("dpkg-deb"), "-I", deb_, name});
    EXPECT_EQ(result.exitCode, 0) << name << ": " << result.err;
    return result.out;
  }

  static bool Has(const std::string& path) { return files_.count(path) > 0; }

  static inline std::unique_ptr<testing_support::TempDir> output_;
  static inline std::string cpackLog_;
  static inline std::string deb_;
  static inline std::string unpacked_;
  static inline std::set<std::string> files_;
};

TEST_F(PackageTest, HoldsCommandLibrariesHeadersManPagesCompletionDocsAndExamples) {
  const struct Row {
    int line;
    std::string path;
  } rows[] = {
      {__LINE__, "usr/bin/quillon"},
      {__LINE__, "usr/" + kLibDir + "/libquillon.so.0 -> libquillon.so." QUILLON_VERSION},
      {__LINE__, "usr/" + kLibDir + "/libquillon.so." QUILLON_VERSION},
      {__LINE__, "usr/" + kLibDir + "/libquillon.so -> libquillon.so.0"},
      {__LINE__, "usr/" + kLibDir + "/libmarrow.so." QUILLON_VERSION},
      {__LINE__, "usr/" + kLibDir + "/libtessel.so." QUILLON_VERSION},
      {__LINE__, "usr/" + kLibDir + "/libquillon-platform.so." QUILLON_VERSION},
      {__LINE__, "usr/include/quillon/quillon_export.h"},
      {__LINE__, "usr/include/quillon/marrow_export.h"},
      {__LINE__, "usr/include/quillon/mapping/conditional_mappings.h"},
      {__LINE__, "usr/include/quillon/platform/error.h"},
      {__LINE__, "usr/include/quillon/host/tessel/name_value_list.h"},
      {__LINE__, "usr/share/man/man1/quillon.1.gz"},
      {__LINE__, "usr/share/man/man5/quillon-mappings.5.gz"},
      {__LINE__, "usr/share/bash-completion/completions/quillon"},
      {__LINE__, "usr/share/doc/quillon/copyright"},
      {__LINE__, "usr/share/doc/quillon/changelog.Debian.gz"},
      {__LINE__, "usr/share/doc/quillon/README.md"},
      {__LINE__, "usr/share/doc/quillon/docs/expressions.md"},
      {__LINE__, "usr/share/doc/quillon/docs/mapping-guide.md"},
      {__LINE__, "usr/share/doc/quillon/examples/professional-claims/batch.json"},
      {__LINE__, "usr/share/doc/quillon/examples/professional-claims/mappings/FieldMappings.xml"},
      {__LINE__, "usr/share/lintian/overrides/quillon"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_TRUE(Has(row.path)) << row.path;
  }
}

TEST_F(PackageTest, HoldsAManPageForEverySubcommandAndEveryExample) {
  const auto describe = RunCommand({QUILLON_BIN, "--describe-cli"});
  ASSERT_EQ(describe.exitCode, 0) << describe.err;
  const nlohmann::json cli = nlohmann::json::parse(describe.out);
  ASSERT_FALSE(cli["subcommands"].empty());
  for (const auto& sub : cli["subcommands"]) {
    const std::string page =
        "usr/share/man/man1/quillon-" + sub["name"].get<std::string>() + ".1.gz";
    EXPECT_TRUE(Has(page)) << page;
  }
  // Every file of every example folder, present and future.
  const fs::path examples = fs::path(QUILLON_SOURCE_DIR) / "examples";
  int count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(examples)) {
    // Hidden files and the interchange counters of released examples stay out.
    if (!entry.is_regular_file() || entry.path().filename().string().front() == '.' ||
        entry.path().extension() == ".icn") {
      continue;
    }
    ++count;
    const std::string path =
        "usr/share/doc/quillon/examples/" + fs::relative(entry.path(), examples).generic_string();
    EXPECT_TRUE(Has(path)) << path;
  }
  EXPECT_GT(count, 0);
}

TEST_F(PackageTest, LeavesOutPrivateHeadersAndBuildTools) {
  for (const std::string& path : files_) {
    SCOPED_TRACE(path);
    EXPECT_EQ(path.rfind("usr/", 0), 0u);
    EXPECT_EQ(path.rfind("usr/local", 0), std::string::npos);
    EXPECT_EQ(path.find("_internal.h"), std::string::npos);
    EXPECT_EQ(path.find("/internal/"), std::string::npos);
    EXPECT_EQ(path.find("docgen"), std::string::npos);
    EXPECT_EQ(path.find("_tests"), std::string::npos);
    EXPECT_EQ(path.find(".partial"), std::string::npos);
    EXPECT_EQ(path.find("/."), std::string::npos);
    EXPECT_FALSE(path.size() >= 4 && path.compare(path.size() - 4, 4, ".icn") == 0);
  }
}

TEST_F(PackageTest, ControlFieldsAndLibraryMetadata) {
  EXPECT_EQ(Field("Package"), "quillon");
  EXPECT_EQ(Field("Version"), kPackageVersion);
  const auto arch = RunCommand({ProgramPath("dpkg"), "--print-architecture"});
  EXPECT_EQ(Field("Architecture") + "\n", arch.out);
  EXPECT_EQ(Field("Section"), "utils");
  EXPECT_NE(Field("Maintainer").find('@'), std::string::npos);
  // Every library of the package, with the version it needs of itself.
  const std::string shlibs = ControlFile("shlibs");
  for (const char* library : {"libquillon", "libmarrow", "libtessel", "libquillon-platform"}) {
    SCOPED_TRACE(library);
    EXPECT_NE(shlibs.find(std::string(library) + " 0 quillon (= " + kPackageVersion + ")"),
              std::string::npos)
        << shlibs;
  }
  // The ldconfig trigger, and no maintainer scripts: with a postrm, `apt
  // remove` would leave the package behind in dpkg's database.
  EXPECT_NE(ControlFile("triggers").find("activate-noawait ldconfig"), std::string::npos);
  const std::string members = RunCommand({ProgramPath("dpkg-deb"), "--info", deb_}).out;
  for (const char* script : {"preinst", "postinst", "prerm", "postrm"}) {
    EXPECT_EQ(members.find(std::string(" ") + script + " "), std::string::npos) << members;
  }
}

// Depends comes from dpkg-shlibdeps over the libraries the binaries link:
// the C and C++ runtimes and libxml2, each with the version it needs at
// least, never the package itself. (A sanitizer build adds its runtimes.)
TEST_F(PackageTest, DependsComesFromTheLinkedLibraries) {
  const std::string depends = Field("Depends");
  std::map<std::string, std::string> versions;  // package -> "(>= 2.34)" or ""
  const std::regex entry("([a-z0-9][a-z0-9+.-]+)( \\((>=|=) [^)]+\\))?");
  std::size_t start = 0;
  while (start <= depends.size()) {
    const std::size_t end = std::min(depends.find(", ", start), depends.size());
    const std::string item = depends.substr(start, end - start);
    std::smatch match;
    EXPECT_TRUE(std::regex_match(item, match, entry)) << item;
    if (!match.empty()) versions[match[1]] = match[2];
    start = end + 2;
  }
  for (const char* needed : {"libc6", "libstdc++6", "libxml2"}) {
    SCOPED_TRACE(needed);
    ASSERT_EQ(versions.count(needed), 1u) << depends;
    EXPECT_EQ(versions[needed].rfind(" (>= ", 0), 0u) << depends;
  }
  EXPECT_EQ(versions.count("quillon"), 0u) << depends;
}

TEST_F(PackageTest, ChangelogNamesThePackageVersionAndFilesAreCompressedForDebian) {
  const auto changelog = RunCommand(
      {ProgramPath("gzip"), "-dc", unpacked_ + "/usr/share/doc/quillon/changelog.Debian.gz"});
  ASSERT_EQ(changelog.exitCode, 0) << changelog.err;
  EXPECT_EQ(changelog.out.rfind("quillon (" + kPackageVersion + ") ", 0), 0u)
      << "packaging/debian/changelog needs an entry for " << kPackageVersion;
  const auto copyright = testing_support::ReadFile(unpacked_ + "/usr/share/doc/quillon/copyright");
  EXPECT_EQ(copyright.rfind("Format: https://www.debian.org/doc/packaging-manuals/", 0), 0u);
  // Binaries are stripped (Debian keeps debug symbols apart).
  const auto file = RunCommand({ProgramPath("file"), "-L", unpacked_ + "/usr/bin/quillon"});
  EXPECT_NE(file.out.find(", stripped"), std::string::npos) << file.out;
}

TEST_F(PackageTest, LintianFindsNoErrors) {
  const auto lintian = RunCommand({ProgramPath("lintian"), "--fail-on", "error", deb_});
  ASSERT_NE(lintian.exitCode, 127) << "lintian is missing: run scripts/install-deps.sh";
  for (const std::string& line : Lines(lintian.out)) {
    EXPECT_NE(line.rfind("E: ", 0), 0u) << line;
  }
  EXPECT_EQ(lintian.exitCode, 0) << lintian.out << lintian.err;
}

}  // namespace
