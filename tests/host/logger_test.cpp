// Logger: line format, level threshold, where the file goes, and that a log
// that cannot be written never fails the caller.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "host/tessel/logger.h"
#include "support/temp_dir.h"

namespace tessel {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

TEST(Logger, WritesOneStampedLinePerCall) {
  testing_support::TempDir dir;
  Logger log;
  log.LogFolder(dir.str());
  log.LogFileName("4242_Quillon");
  log.LogText("Entering Release - Openscript", 2, 1);
  log.LogText("Releasing Doc (ID): 17, After copying images :", 0, 2);
  log.LogError("ReleaseDoc", "CreateEDI", "The ouput directory is undefined");
  log.Flush();

  const std::string pid = std::to_string(getpid());
  const std::string stamp = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} pid=)" + pid + " ";
  const struct Row {
    int line;
    std::string pattern;
  } rows[] = {
      {__LINE__, stamp + R"(L2 Entering Release - Openscript)"},
      {__LINE__, stamp + R"(L0\* Releasing Doc \(ID\): 17, After copying images :)"},
      {__LINE__, stamp + R"(ERROR ReleaseDoc \| CreateEDI \| The ouput directory is undefined)"},
  };
  EXPECT_EQ(log.FilePath(), dir.str() + "\\4242_Quillon.log");
  const std::vector<std::string> lines =
      Lines(testing_support::ReadFile(dir.Child("4242_Quillon.log")));
  ASSERT_EQ(lines.size(), std::size(rows));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(rows[i].line);
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(rows[i].pattern))) << lines[i];
  }
}

TEST(Logger, LevelsAboveTheSettingAreNotWritten) {
  struct Row {
    int line;
    int setting;
    int level;
    bool written;
  } rows[] = {
      {__LINE__, 10, 2, true}, {__LINE__, 50, 2, true}, {__LINE__, 2, 2, true},
      {__LINE__, 1, 2, false}, {__LINE__, 1, 1, true},  {__LINE__, 0, 0, true},
      {__LINE__, 0, 1, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    testing_support::TempDir dir;
    Logger log;
    log.LogFolder(dir.str());
    log.LogFileName("x");
    log.LogSetting(row.setting);
    log.LogText("text", row.level, 1);
    log.Flush();
    EXPECT_EQ(testing_support::ReadFile(dir.Child("x.log")).empty(), !row.written);
  }
}

TEST(Logger, ErrorsAreWrittenWhateverTheSetting) {
  testing_support::TempDir dir;
  Logger log;
  log.LogFolder(dir.str() + "/");
  log.LogFileName("x");
  log.LogSetting(-1);
  log.LogError("p", "s", "d");
  EXPECT_NE(testing_support::ReadFile(dir.Child("x.log")).find("ERROR p | s | d"),
            std::string::npos);
}

TEST(Logger, AppendsToAnExistingLog) {
  testing_support::TempDir dir;
  dir.Write("x.log", "earlier line\n");
  ASSERT_EQ(::chmod(dir.Child("x.log").c_str(), 0600), 0);
  {
    Logger log;
    log.LogFolder(dir.str());
    log.LogFileName("x");
    log.LogText("later", 2, 1);
  }
  const std::vector<std::string> lines = Lines(testing_support::ReadFile(dir.Child("x.log")));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "earlier line");
  EXPECT_NE(lines[1].find("L2 later"), std::string::npos);
}

TEST(Logger, EmptyFolderMeansOff) {
  testing_support::TempDir dir;
  Logger log;
  EXPECT_FALSE(log.Enabled());
  EXPECT_EQ(log.FilePath(), "");
  log.LogFileName("x");
  testing::internal::CaptureStderr();
  log.LogText("nothing", 0, 1);
  log.LogError("p", "s", "d");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Logger, UnwritableLogIsReportedOnceAndNeverFailsTheCaller) {
  testing_support::TempDir dir;
  Logger log;
  log.LogFolder(dir.Child("missing/folder"));
  log.LogFileName("x");
  testing::internal::CaptureStderr();
  log.LogText("one", 0, 1);
  log.LogError("p", "s", "d");
  log.LogText("three", 2, 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cannot write the log file"), std::string::npos) << err;
  EXPECT_EQ(err.find("cannot write"), err.rfind("cannot write")) << err;

  // A new folder is a new chance.
  log.LogFolder(dir.str());
  log.LogText("four", 2, 1);
  log.Flush();
  EXPECT_NE(testing_support::ReadFile(dir.Child("x.log")).find("L2 four"), std::string::npos);
}

TEST(Logger, ChangingTheFileNameMovesToANewFile) {
  testing_support::TempDir dir;
  Logger log;
  log.LogFolder(dir.str());
  log.LogFileName("first");
  log.LogText("a", 2, 1);
  log.LogFileName("second");
  log.LogText("b", 2, 1);
  log.Flush();
  EXPECT_NE(testing_support::ReadFile(dir.Child("first.log")).find("L2 a"), std::string::npos);
  EXPECT_EQ(testing_support::ReadFile(dir.Child("first.log")).find("L2 b"), std::string::npos);
  EXPECT_NE(testing_support::ReadFile(dir.Child("second.log")).find("L2 b"), std::string::npos);
}

TEST(Logger, TextIsWrittenWhole) {
  testing_support::TempDir dir;
  Logger log;
  log.LogFolder(dir.str());
  log.LogFileName("x");
  const std::string text("before\0after \xFF", 14);  // a NUL and a byte that is not UTF-8
  log.LogText(text, 2, 1);
  log.Flush();
  const std::string content = testing_support::ReadFile(dir.Child("x.log"));
  EXPECT_NE(content.find("L2 " + text + "\n"), std::string::npos);
}

TEST(Logger, PlantedLogIsNotWrittenToAndStandardErrorSaysSoOnce) {
  // A shared log folder where someone planted the predictable name first, as
  // a link to a file of theirs: the release log must not end up there.
  testing_support::TempDir dir;
  const std::string planted = dir.Write("planted.txt", "");
  ASSERT_EQ(::symlink(planted.c_str(), dir.Child("4242_quillon.log").c_str()), 0);
  testing::internal::CaptureStderr();
  // Per-document mode starts a new logger for every document.
  for (const char* document : {"document 1", "document 2"}) {
    Logger log;
    log.LogFolder(dir.str());
    log.LogFileName("4242_quillon");
    log.LogText(document, 0, 2);
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(testing_support::ReadFile(planted), "");
  const std::regex notice(
      "quillon: the file .*/4242_quillon\\.log is not written to because it is a symbolic link; "
      "writing to (.*/4242_quillon\\.[0-9A-F]{8}\\.log) instead\n");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(err, m, notice)) << err;
  const std::vector<std::string> lines = Lines(testing_support::ReadFile(m[1]));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("L0* document 1"), std::string::npos);
  EXPECT_NE(lines[1].find("L0* document 2"), std::string::npos);
}

TEST(Logger, LinesWaitInMemoryUntilFlushedOrAnError) {
  testing_support::TempDir dir;
  Logger log;
  log.LogFolder(dir.str());
  log.LogFileName("x");
  log.LogText("one", 2, 1);
  std::string& line = log.BeginLine(1, 2);
  line.append("composed ").append("in place");
  log.EndLine();
  EXPECT_EQ(testing_support::ReadFile(dir.Child("x.log")), "");
  // An error entry takes everything before it to the file at once.
  log.LogError("p", "s", "d");
  std::vector<std::string> lines = Lines(testing_support::ReadFile(dir.Child("x.log")));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find(" L2 one"), std::string::npos);
  EXPECT_NE(lines[1].find(" L1* composed in place"), std::string::npos);
  EXPECT_NE(lines[2].find(" ERROR p | s | d"), std::string::npos);
  log.LogText("two", 2, 1);
  log.Flush();
  lines = Lines(testing_support::ReadFile(dir.Child("x.log")));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[3].find(" L2 two"), std::string::npos);
}

TEST(Logger, LongLinesGoOutInPartsAndArriveWhole) {
  testing_support::TempDir dir;
  Logger log;
  log.LogFolder(dir.str());
  log.LogFileName("x");
  log.LogText("before", 2, 1);
  const std::string part(700 * 1024, 'r');
  std::string& line = log.BeginLine(1, 1);
  line.append("records ");
  for (int i = 0; i < 4; ++i) {
    line.append(part).append(1, static_cast<char>('0' + i));
    log.FlushLongLine();
  }
  // Written on while the line was composed, so it never all sat in memory.
  EXPECT_GT(testing_support::ReadFile(dir.Child("x.log")).size(), 2 * part.size());
  line.append(" end");
  log.EndLine();
  log.LogText("after", 2, 1);
  log.Flush();
  const std::vector<std::string> lines = Lines(testing_support::ReadFile(dir.Child("x.log")));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find(" L2 before"), std::string::npos);
  const std::string expected =
      "records " + part + "0" + part + "1" + part + "2" + part + "3" + " end";
  EXPECT_EQ(lines[1].substr(lines[1].find(" L1 ") + 4), expected);
  EXPECT_NE(lines[2].find(" L2 after"), std::string::npos);
}

// A restarted logger is a new one (off, default setting) until configured;
// configured with the file it had open, it writes on into that open file.
// The first document's log is renamed before the second document, so the
// file the second one's lines reach shows whether the log was opened again.
TEST(Logger, RestartWritesOnIntoTheOpenFileOnlyWhenItIsConfiguredAgain) {
  const struct Row {
    int line;
    const char* folder;  // for the second document: "same", "other" or ""
    const char* name;
    const char* secondLinesIn;  // the file that gets "second" ("" none)
  } rows[] = {
      {__LINE__, "same", "x", "moved.log"},
      {__LINE__, "same", "y", "y.log"},
      {__LINE__, "other", "x", "other/x.log"},
      {__LINE__, "", "x", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    testing_support::TempDir dir;
    ASSERT_EQ(::mkdir(dir.Child("other").c_str(), 0700), 0);
    Logger log;
    log.LogFolder(dir.str());
    log.LogFileName("x");
    log.LogSetting(0);
    log.LogText("first", 0, 1);
    log.Flush();
    log.LogText("gathered before the restart", 0, 1);
    log.Restart();
    EXPECT_FALSE(log.Enabled());
    EXPECT_EQ(log.LogSetting(), 10);
    log.LogText("while off", 0, 1);
    ASSERT_EQ(::rename(dir.Child("x.log").c_str(), dir.Child("moved.log").c_str()), 0);

    const std::string folder = row.folder == std::string("other")  ? dir.Child("other")
                               : row.folder == std::string("same") ? dir.str()
                                                                   : "";
    log.LogFolder(folder);
    log.LogFileName(row.name);
    log.LogText("second", 2, 1);
    log.Flush();

    const std::vector<std::string> first = Lines(testing_support::ReadFile(dir.Child("moved.log")));
    ASSERT_GE(first.size(), 2u);
    EXPECT_NE(first[0].find(" L0 first"), std::string::npos);
    EXPECT_NE(first[1].find(" L0 gathered before the restart"), std::string::npos);
    std::string all;
    for (const char* file : {"moved.log", "x.log", "y.log", "other/x.log"}) {
      if (::access(dir.Child(file).c_str(), F_OK) == 0)
        all += testing_support::ReadFile(dir.Child(file));
    }
    EXPECT_EQ(all.find("while off"), std::string::npos);
    if (*row.secondLinesIn == '\0') {
      EXPECT_EQ(all.find("second"), std::string::npos);
    } else {
      const std::vector<std::string> lines =
          Lines(testing_support::ReadFile(dir.Child(row.secondLinesIn)));
      ASSERT_FALSE(lines.empty());
      EXPECT_NE(lines.back().find(" L2 second"), std::string::npos);
      EXPECT_EQ(all.find("second"), all.rfind("second"));  // in that file only
    }
  }
}

// Pages of the log (before its last keepBytes) that are on disk leave the
// page cache; no line is lost or changed by that.
TEST(Logger, OldPartsOfALongLogLeaveThePageCacheAndNoLineIsLost) {
  testing_support::TempDir dir;
  Logger log(Logger::CacheLimits{1 << 20, 256 << 10});
  log.LogFolder(dir.str());
  log.LogFileName("x");
  std::size_t lines = 0;
  const auto write = [&](std::size_t bytes) {
    for (std::size_t n = 0; n < bytes; n += 100) {
      log.LogText("line " + std::to_string(lines++) + std::string(60, '.'), 2, 1);
      if (lines % 1000 == 0) log.Flush();  // one flush per document, as a release does
    }
    log.Flush();
  };
  write(3 << 20);
  const std::string path = dir.Child("x.log");
  {
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fsync(fd), 0);  // on disk, so that the next trimming may drop it
    ::close(fd);
  }
  write(512 << 10);

  struct statfs fs {};
  ASSERT_EQ(::statfs(dir.str().c_str(), &fs), 0);
  const bool tmpfs = fs.f_type == 0x01021994;  // its page cache is the file
  const int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  const std::size_t size = static_cast<std::size_t>(::lseek(fd, 0, SEEK_END));
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  ASSERT_NE(map, MAP_FAILED);
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident((size + page - 1) / page);
  ASSERT_EQ(::mincore(map, size, resident.data()), 0);
  ::munmap(map, size);
  // The first two megabytes were on disk and more than 1 MiB from the end.
  std::size_t cached = 0;
  for (std::size_t i = 0; i < (2u << 20) / page; ++i) cached += resident[i] & 1;
  if (!tmpfs) {
    EXPECT_EQ(cached, 0u);
  }

  // (Read after the check: reading brings the pages back.)
  const std::vector<std::string> read = Lines(testing_support::ReadFile(path));
  ASSERT_EQ(read.size(), lines);
  for (std::size_t i = 0; i < read.size(); i += 997) {
    EXPECT_NE(read[i].find(" L2 line " + std::to_string(i) + "."), std::string::npos) << read[i];
  }
}

}  // namespace
}  // namespace tessel
