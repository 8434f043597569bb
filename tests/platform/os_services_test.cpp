// The operating-system services: GUIDs from the random source, process id,
// sleeping, the hidden attribute stand-in, system errors as runtime errors,
// and the console message box (answers from a terminal only).
#include "platform/os_services.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "support/scripted_message_boxes.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

bool CountingBytes(unsigned char* buffer, std::size_t size) noexcept {
  for (std::size_t i = 0; i < size; ++i) buffer[i] = static_cast<unsigned char>(0xF0 + i);
  return true;
}
bool NoBytes(unsigned char*, std::size_t) noexcept {
  return false;
}

class RandomSource {
 public:
  explicit RandomSource(RandomFill fill) : previous_(SetRandomFill(fill)) {}
  ~RandomSource() { SetRandomFill(previous_); }

 private:
  RandomFill previous_;
};

TEST(NewGuid, BytesFillTheFieldsInOrderWithVersionAndVariant) {
  RandomSource fixed(&CountingBytes);
  Guid g;
  ASSERT_TRUE(NewGuid(g));
  EXPECT_EQ(g.data1, 0xF0F1F2F3u);
  EXPECT_EQ(g.data2, 0xF4F5u);
  EXPECT_EQ(g.data3, 0x46F7u);  // version 4 in the top nibble
  const std::uint8_t data4[8] = {0xB8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};  // variant 10xx
  EXPECT_EQ(std::memcmp(g.data4, data4, 8), 0);
}

TEST(NewGuid, FailingSourceLeavesTheGuidUntouched) {
  RandomSource failing(&NoBytes);
  Guid g;
  g.data1 = 7;
  EXPECT_FALSE(NewGuid(g));
  EXPECT_EQ(g.data1, 7u);
}

TEST(NewGuid, SystemSourceGivesFreshVersion4Guids) {
  std::set<std::uint32_t> firsts;
  for (int i = 0; i < 64; ++i) {
    Guid g;
    ASSERT_TRUE(NewGuid(g));
    EXPECT_EQ(g.data3 >> 12, 4);
    EXPECT_EQ(g.data4[0] >> 6, 2);
    firsts.insert(g.data1);
  }
  EXPECT_GT(firsts.size(), 60u);
}

TEST(CurrentProcessId, IsThisProcessAndDiffersInAChild) {
  EXPECT_EQ(CurrentProcessId(), static_cast<std::int32_t>(::getpid()));
  const std::int32_t parent = CurrentProcessId();
  const pid_t child = ::fork();
  if (child == 0) ::_exit(CurrentProcessId() != parent ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(PrefaultForWriting, LeavesEveryByteAsItWas) {
  // Only the pages wholly inside the range are touched, and only to make
  // them present: what was written stays, around the range too.
  constexpr std::size_t kBytes = 3 * 65536;
  std::vector<char> memory(kBytes);
  for (std::size_t i = 0; i < kBytes; ++i) memory[i] = static_cast<char>(i * 7 + 1);
  const std::vector<char> before = memory;
  const struct {
    std::size_t offset;
    std::size_t size;
  } ranges[] = {{0, 0}, {1, 10}, {5, 65536}, {100, kBytes - 200}, {0, kBytes}};
  for (const auto& range : ranges) {
    platform::PrefaultForWriting(memory.data() + range.offset, range.size);
    EXPECT_EQ(memory, before) << range.offset << "+" << range.size;
  }
  platform::PrefaultForWriting(nullptr, 0);
}

// Whether every page of [data, data + size) is mapped in this process.
bool Mapped(void* data, std::size_t size) {
  std::vector<unsigned char> pages((size + 4095) / 4096);
  return ::mincore(data, size, pages.data()) == 0;
}

TEST(LargeBuffer, WholeGranulesAlignedWritableAndGivenBack) {
  constexpr std::size_t kGranule = platform::LargeBuffer::kGranule;
  const struct Row {
    int line;
    std::size_t size;
    std::size_t capacity;
  } rows[] = {
      {__LINE__, 0, 0},
      {__LINE__, 1, kGranule},
      {__LINE__, kGranule, kGranule},
      {__LINE__, kGranule + 1, 2 * kGranule},
      {__LINE__, 5 * kGranule - 3, 5 * kGranule},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    char* where = nullptr;
    {
      platform::LargeBuffer buffer(row.size);
      ASSERT_EQ(buffer.Capacity(), row.capacity);
      if (row.capacity == 0) {
        EXPECT_EQ(buffer.Data(), nullptr);
        continue;
      }
      where = buffer.Data();
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(where) % kGranule, 0u);
      // New memory reads as zeros, and every byte of it can be written.
      EXPECT_EQ(where[0], 0);
      EXPECT_EQ(where[row.capacity - 1], 0);
      std::memset(where, 'q', row.capacity);

      // Moved, the memory goes along and the old owner has none; assigned,
      // the memory the target held is given back.
      platform::LargeBuffer moved(std::move(buffer));
      EXPECT_EQ(buffer.Data(), nullptr);  // NOLINT(bugprone-use-after-move)
      EXPECT_EQ(buffer.Capacity(), 0u);
      EXPECT_EQ(moved.Data(), where);
      EXPECT_EQ(moved.Data()[row.capacity - 1], 'q');
      platform::LargeBuffer assigned(1);
      char* const replaced = assigned.Data();
      assigned = std::move(moved);
      EXPECT_EQ(assigned.Data(), where);
      EXPECT_EQ(assigned.Capacity(), row.capacity);
      EXPECT_FALSE(Mapped(replaced, kGranule));
      EXPECT_TRUE(Mapped(where, row.capacity));
    }
    EXPECT_FALSE(Mapped(where, row.capacity));
  }
  EXPECT_THROW(platform::LargeBuffer(SIZE_MAX - 1), std::bad_alloc);
  EXPECT_THROW(platform::LargeBuffer(std::size_t{1} << 60), std::bad_alloc);
}

TEST(SleepMilliseconds, SleepsAtLeastTheTimeAskedAndNothingForZero) {
  const auto start = std::chrono::steady_clock::now();
  SleepMilliseconds(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  SleepMilliseconds(0);
  SleepMilliseconds(-5);
}

TEST(SetHiddenAttribute, ChangesNothingAndReportsWhetherTheFileIsThere) {
  testing_support::TempDir dir;
  const std::string file = dir.Write("folder.lock", "");
  std::filesystem::create_symlink(dir.path() / "nowhere", dir.path() / "link");
  const auto before = std::filesystem::status(file).permissions();
  EXPECT_TRUE(SetHiddenAttribute(file));
  EXPECT_EQ(std::filesystem::status(file).permissions(), before);
  EXPECT_TRUE(SetHiddenAttribute(dir.Child("link")));  // the link itself, not its target
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "nowhere"));
  EXPECT_FALSE(SetHiddenAttribute(dir.Child("missing")));
  EXPECT_FALSE(SetHiddenAttribute(""));
}

TEST(FileError, SystemErrorsBecomeRuntimeErrors) {
  struct Row {
    int line;
    int code;
    FileOperation operation;
    int number;
    const char* description;
  } rows[] = {
      {__LINE__, EEXIST, FileOperation::kCreate, 58, "File already exists"},
      {__LINE__, ENOENT, FileOperation::kCreate, 76, "Path not found"},
      {__LINE__, ENOENT, FileOperation::kOpen, 53, "File not found"},
      {__LINE__, ENOTDIR, FileOperation::kOpen, 76, "Path not found"},
      {__LINE__, EACCES, FileOperation::kCreate, 70, "Permission denied"},
      {__LINE__, ENOSPC, FileOperation::kCreate, 61, "Disk full"},
      {__LINE__, EIO, FileOperation::kOpen, 57, "Device I/O error"},
      {__LINE__, ENAMETOOLONG, FileOperation::kCreate, 52, "Bad file name or number"},
      {__LINE__, ENXIO, FileOperation::kOpen, 68, "Device unavailable"},
      {__LINE__, ELOOP, FileOperation::kOpen, 75, "Path/File access error"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const Error e = FileError(row.code, row.operation, "Somewhere");
    EXPECT_EQ(e.Number(), row.number);
    EXPECT_EQ(e.Description(), row.description);
    EXPECT_EQ(e.Source(), "Somewhere");
  }
}

TEST(MessageBoxes, ButtonSetsAndDefaultAnswers) {
  struct Row {
    int line;
    MessageButtons buttons;
    int defaultButton;
    MessageAnswer answer;
  } rows[] = {
      {__LINE__, MessageButtons::kOk, 1, MessageAnswer::kOk},
      {__LINE__, MessageButtons::kYesNo, 1, MessageAnswer::kYes},
      {__LINE__, MessageButtons::kYesNo, 2, MessageAnswer::kNo},
      {__LINE__, MessageButtons::kYesNo, 3, MessageAnswer::kYes},  // out of range: first
      {__LINE__, MessageButtons::kOkCancel, 2, MessageAnswer::kCancel},
      {__LINE__, MessageButtons::kYesNoCancel, 3, MessageAnswer::kCancel},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    MessageBoxRequest request{"text", "title", row.buttons, MessageIcon::kNone, row.defaultButton};
    EXPECT_EQ(DefaultAnswer(request), row.answer);
  }
  EXPECT_EQ(ButtonsOf(MessageButtons::kYesNoCancel).size(), 3u);
}

TEST(MessageBoxes, ReplacedServiceIsUsedAndRestored) {
  MessageBoxService& console = CurrentMessageBoxService();
  EXPECT_NE(dynamic_cast<ConsoleMessageBoxService*>(&console), nullptr);
  testing_support::ScriptedMessageBoxes boxes({MessageAnswer::kNo});
  {
    ScopedMessageBoxService use(boxes);
    EXPECT_EQ(&CurrentMessageBoxService(), &boxes);
    EXPECT_EQ(CurrentMessageBoxService().Show({"q?", "t", MessageButtons::kYesNo}),
              MessageAnswer::kNo);
    // Once the script is used up, the default button answers.
    EXPECT_EQ(CurrentMessageBoxService().Show({"q?", "t", MessageButtons::kYesNo}),
              MessageAnswer::kYes);
  }
  EXPECT_EQ(&CurrentMessageBoxService(), &console);
  EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST(ConsoleMessageBox, WithoutATerminalAnswersTheDefaultAndReadsNothing) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::write(fds[1], "no\n", 3), 3);
  ConsoleMessageBoxService console(fds[0]);
  ::testing::internal::CaptureStderr();
  const MessageAnswer answer =
      console.Show({"C:\\edi\rThe directory does not exist. Create it?", "Drive/Directory Problem",
                    MessageButtons::kYesNo, MessageIcon::kQuestion});
  const std::string shown = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, MessageAnswer::kYes);
  EXPECT_EQ(shown,
            "[question] Drive/Directory Problem: C:\\edi\nThe directory does not exist. "
            "Create it? [yes*/no]\n");
  char left[4] = {};
  ::close(fds[1]);
  EXPECT_EQ(::read(fds[0], left, sizeof left), 3);  // still unread
  ::close(fds[0]);
}

TEST(ConsoleMessageBox, ReadsTheAnswerFromATerminal) {
  struct Row {
    int line;
    const char* typed;
    MessageButtons buttons;
    int defaultButton;
    MessageAnswer answer;
  } rows[] = {
      {__LINE__, "no\n", MessageButtons::kYesNo, 1, MessageAnswer::kNo},
      {__LINE__, "Y\n", MessageButtons::kYesNo, 2, MessageAnswer::kYes},
      {__LINE__, "  yes \n", MessageButtons::kYesNo, 2, MessageAnswer::kYes},
      {__LINE__, "\n", MessageButtons::kYesNo, 2, MessageAnswer::kNo},  // empty: default
      {__LINE__, "maybe\nc\n", MessageButtons::kYesNoCancel, 1, MessageAnswer::kCancel},
      {__LINE__, "ok\n", MessageButtons::kOk, 1, MessageAnswer::kOk},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const auto length = static_cast<ssize_t>(std::strlen(row.typed));
    ASSERT_EQ(::write(master, row.typed, static_cast<std::size_t>(length)), length);
    ConsoleMessageBoxService console(slave);
    ::testing::internal::CaptureStderr();
    const MessageAnswer answer =
        console.Show({"Sure?", "Quillon", row.buttons, MessageIcon::kNone, row.defaultButton});
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, row.answer);
    ::close(slave);
    ::close(master);
  }
}

}  // namespace
}  // namespace platform
