#include "platform/os_services.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <new>
#include <utility>

namespace platform {
namespace {

bool SystemRandomFill(unsigned char* buffer, std::size_t size) noexcept {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::getrandom(buffer + done, size - done, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  return true;
}

std::atomic<RandomFill>& RandomSource() {
  static std::atomic<RandomFill> source{nullptr};
  return source;
}

}  // namespace

bool NewGuid(Guid& out) noexcept {
  unsigned char bytes[16];
  const RandomFill fill = RandomSource().load();
  if (!(fill != nullptr ? fill : &SystemRandomFill)(bytes, sizeof bytes)) return false;
  Guid g;
  g.data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
            (std::uint32_t{bytes[2]} << 8) | bytes[3];
  g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) g.data4[i] = bytes[8 + i];
  // Version 4 (random) and the RFC 4122 variant, as the system's GUID
  // generator marks its GUIDs.
  g.data3 = static_cast<std::uint16_t>((g.data3 & 0x0FFF) | 0x4000);
  g.data4[0] = static_cast<std::uint8_t>((g.data4[0] & 0x3F) | 0x80);
  out = g;
  return true;
}

RandomFill SetRandomFill(RandomFill fill) noexcept {
  return RandomSource().exchange(fill);
}

namespace {
// getpid is a system call each time; log lines and owned file names ask for
// it constantly. The child of a fork forgets the parent's.
std::atomic<std::int32_t> knownProcessId{0};
void ForgetProcessId() noexcept {
  knownProcessId.store(0, std::memory_order_relaxed);
}
}  // namespace

std::int32_t CurrentProcessId() noexcept {
  std::int32_t pid = knownProcessId.load(std::memory_order_relaxed);
  if (pid == 0) {
    static const bool forgetOnFork = ::pthread_atfork(nullptr, nullptr, &ForgetProcessId) == 0;
    pid = static_cast<std::int32_t>(::getpid());
    if (forgetOnFork) knownProcessId.store(pid, std::memory_order_relaxed);
  }
  return pid;
}

void PrefaultForWriting(void* data, std::size_t size) noexcept {
#ifdef MADV_POPULATE_WRITE
  static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + page - 1) / page * page;
  const std::uintptr_t last = (begin + size) / page * page;
  if (last > first) {
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
  }
#else
  (void)data;
  (void)size;
#endif
}

LargeBuffer::LargeBuffer(std::size_t size) {
  if (size == 0) return;
  if (size > SIZE_MAX - 2 * kGranule) throw std::bad_alloc();
  const std::size_t capacity = (size + kGranule - 1) / kGranule * kGranule;
  // Map a granule more than needed and give back the ends, so that the
  // buffer starts on a granule boundary (a huge page needs one).
  const std::size_t mapped = capacity + kGranule;
  void* const mapping =
      ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  const auto begin = reinterpret_cast<std::uintptr_t>(mapping);
  const std::uintptr_t aligned = (begin + kGranule - 1) / kGranule * kGranule;
  if (aligned > begin) ::munmap(mapping, aligned - begin);
  const std::uintptr_t end = begin + mapped;
  if (end > aligned + capacity) {
    ::munmap(reinterpret_cast<void*>(aligned + capacity), end - (aligned + capacity));
  }
  data_ = reinterpret_cast<char*>(aligned);
  capacity_ = capacity;
#ifdef MADV_HUGEPAGE
  ::madvise(data_, capacity_, MADV_HUGEPAGE);  // a hint: no huge pages, no harm
#endif
}

LargeBuffer::~LargeBuffer() {
  if (data_ != nullptr) ::munmap(data_, capacity_);
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), capacity_(std::exchange(other.capacity_, 0)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
  if (this != &other) {
    if (data_ != nullptr) ::munmap(data_, capacity_);
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

void SleepMilliseconds(std::int32_t milliseconds) noexcept {
  if (milliseconds <= 0) return;
  timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  // A signal cuts nanosleep short; sleep the rest.
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

namespace {

// The whole of a small file of /proc, or "" when it cannot be read.
std::string ReadSmallFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text;
  char buffer[512];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || text.size() > 4096) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return text;
}

std::uint64_t Fnv1a64(std::string_view text) noexcept {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Hex(std::uint64_t value, int digits) {
  char text[17];
  std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
  return std::string(text, static_cast<std::size_t>(digits));
}

// The start time of a process in clock ticks since boot: field 22 of
// /proc/<pid>/stat. The command name (field 2) may hold blanks and
// parentheses, so the fields are counted from the last ")".
std::string StartTimeOf(std::int32_t pid) {
  const std::string stat = ReadSmallFile("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return {};
  std::size_t at = close + 1;
  for (int field = 3; field <= 22; ++field) {
    while (at < stat.size() && stat[at] == ' ') ++at;
    const std::size_t end = stat.find(' ', at);
    if (field == 22) return stat.substr(at, end == std::string::npos ? end : end - at);
    if (end == std::string::npos) return {};
    at = end;
  }
  return {};
}

const std::string& BootId() {
  static const std::string id = ReadSmallFile("/proc/sys/kernel/random/boot_id");
  return id;
}

}  // namespace

const std::string& MachineTag() {
  static const std::string tag = [] {
    char host[HOST_NAME_MAX + 1] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    char ns[64] = {};
    const ssize_t n = ::readlink("/proc/self/ns/pid", ns, sizeof ns - 1);
    const std::string identity = std::string(host) + "\n" + (n > 0 ? std::string(ns, n) : "");
    return Hex(Fnv1a64(identity) & 0xFFFFFFFFull, 8);
  }();
  return tag;
}

std::string ProcessStartToken(std::int32_t pid) {
  if (pid <= 0) return {};
  const std::string start = StartTimeOf(pid);
  if (start.empty()) return {};
  return Hex(Fnv1a64(BootId() + "\n" + start), 16);
}

bool ProcessHasEnded(std::int32_t pid, std::string_view startToken) {
  if (pid <= 0) return true;
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return true;
  // A process has that id. Without /proc there is no telling whether it is
  // the owner: assume it is.
  if (ProcessStartToken(CurrentProcessId()).empty()) return false;
  const std::string now = ProcessStartToken(pid);
  // Gone between the two looks, or another process under a reused id.
  return now.empty() || now != startToken;
}

bool SetHiddenAttribute(std::string_view nativePath) noexcept {
  try {
    const std::string path(nativePath);
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
  } catch (...) {
    return false;
  }
}

Error FileError(int errorCode, FileOperation operation, std::string source) {
  int number = 75;
  const char* text = "Path/File access error";
  switch (errorCode) {
    case EEXIST:
      number = 58;
      text = "File already exists";
      break;
    case ENOENT:
      if (operation == FileOperation::kOpen) {
        number = 53;
        text = "File not found";
      } else {
        number = 76;
        text = "Path not found";
      }
      break;
    case ENOTDIR:
      number = 76;
      text = "Path not found";
      break;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      number = 70;
      text = "Permission denied";
      break;
    case ENOSPC:
    case EDQUOT:
      number = 61;
      text = "Disk full";
      break;
    case EIO:
      number = 57;
      text = "Device I/O error";
      break;
    case ENAMETOOLONG:
      number = 52;
      text = "Bad file name or number";
      break;
    case EMFILE:
    case ENFILE:
      number = 67;
      text = "Too many files";
      break;
    case ENODEV:
    case ENXIO:
      number = 68;
      text = "Device unavailable";
      break;
    default:
      break;
  }
  return Error(number, std::move(source), text);
}

// ---------------------------------------------------------------- message boxes

std::span<const MessageAnswer> ButtonsOf(MessageButtons buttons) noexcept {
  static constexpr MessageAnswer kOk[] = {MessageAnswer::kOk};
  static constexpr MessageAnswer kOkCancel[] = {MessageAnswer::kOk, MessageAnswer::kCancel};
  static constexpr MessageAnswer kYesNo[] = {MessageAnswer::kYes, MessageAnswer::kNo};
  static constexpr MessageAnswer kYesNoCancel[] = {MessageAnswer::kYes, MessageAnswer::kNo,
                                                   MessageAnswer::kCancel};
  switch (buttons) {
    case MessageButtons::kOkCancel:
      return kOkCancel;
    case MessageButtons::kYesNo:
      return kYesNo;
    case MessageButtons::kYesNoCancel:
      return kYesNoCancel;
    case MessageButtons::kOk:
      break;
  }
  return kOk;
}

MessageAnswer DefaultAnswer(const MessageBoxRequest& request) noexcept {
  const auto buttons = ButtonsOf(request.buttons);
  const int index = request.defaultButton;
  if (index < 1 || static_cast<std::size_t>(index) > buttons.size()) return buttons[0];
  return buttons[static_cast<std::size_t>(index - 1)];
}

MessageBoxService::~MessageBoxService() = default;

namespace {

const char* AnswerWord(MessageAnswer a) {
  switch (a) {
    case MessageAnswer::kOk:
      return "ok";
    case MessageAnswer::kCancel:
      return "cancel";
    case MessageAnswer::kYes:
      return "yes";
    case MessageAnswer::kNo:
      return "no";
  }
  return "ok";
}

const char* IconWord(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation:
      return "[information] ";
    case MessageIcon::kExclamation:
      return "[warning] ";
    case MessageIcon::kQuestion:
      return "[question] ";
    case MessageIcon::kCritical:
      return "[error] ";
    case MessageIcon::kNone:
      break;
  }
  return "";
}

// Reads one line from a file descriptor; false at end of input or on error.
bool ReadLine(int fd, std::string& line) {
  line.clear();
  char c = 0;
  for (;;) {
    const ssize_t got = ::read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return !line.empty();
    if (c == '\n') return true;
    if (c != '\r') line.push_back(c);
  }
}

bool Matches(const std::string& word, MessageAnswer a) {
  std::string lower;
  for (char c : word) {
    if (c == ' ' || c == '\t') continue;
    lower.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
  }
  const std::string full = AnswerWord(a);
  return !lower.empty() && (lower == full || lower == full.substr(0, 1));
}

}  // namespace

MessageAnswer ConsoleMessageBoxService::Show(const MessageBoxRequest& request) {
  const MessageAnswer fallback = DefaultAnswer(request);
  const auto buttons = ButtonsOf(request.buttons);
  // Carriage returns separate lines in message texts; a terminal would jump
  // back to the start of the line instead.
  std::string text;
  for (std::size_t i = 0; i < request.text.size(); ++i) {
    const char c = request.text[i];
    if (c == '\r') {
      text.push_back('\n');
      if (i + 1 < request.text.size() && request.text[i + 1] == '\n') ++i;
    } else {
      text.push_back(c);
    }
  }
  std::string choices;
  for (const MessageAnswer b : buttons) {
    if (!choices.empty()) choices += "/";
    choices += AnswerWord(b);
    if (b == fallback) choices += "*";
  }
  std::fprintf(stderr, "%s%s: %s [%s]\n", IconWord(request.icon), request.title.c_str(),
               text.c_str(), choices.c_str());
  if (::isatty(input_) != 1) return fallback;
  for (int tries = 0; tries < 5; ++tries) {
    std::fprintf(stderr, "> ");
    std::string line;
    if (!ReadLine(input_, line)) return fallback;
    bool blank = true;
    for (char c : line) blank = blank && (c == ' ' || c == '\t');
    if (blank) return fallback;
    for (const MessageAnswer b : buttons) {
      if (Matches(line, b)) return b;
    }
    std::fprintf(stderr, "Please answer %s.\n", choices.c_str());
  }
  return fallback;
}

namespace {
std::atomic<MessageBoxService*>& ServiceSlot() {
  static std::atomic<MessageBoxService*> slot{nullptr};
  return slot;
}
}  // namespace

MessageBoxService& CurrentMessageBoxService() noexcept {
  static ConsoleMessageBoxService console;
  MessageBoxService* current = ServiceSlot().load();
  return current != nullptr ? *current : console;
}

MessageBoxService* SetMessageBoxService(MessageBoxService* service) noexcept {
  return ServiceSlot().exchange(service);
}

}  // namespace platform
