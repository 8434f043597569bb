// The operating-system services the system needs beyond plain file access:
// GUIDs, the process id, sleeping, the hidden file attribute, turning a system
// error code into a runtime error, and modal message boxes.
//
// Everything here is a thin layer over POSIX so that the routines above it
// keep the behaviour the connector had on its original platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform_export.h"

namespace platform {

// ---------------------------------------------------------------- GUIDs

// A GUID in its classic four fields.
struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};
};

// Fills `buffer` with `size` random bytes; false when it cannot.
using RandomFill = bool (*)(unsigned char* buffer, std::size_t size) noexcept;

// A fresh random (version 4) GUID from the system's random source
// (getrandom). False, with `out` untouched, when no random bytes could be
// had. The 16 random bytes fill data1..data4 in order, most significant byte
// first, before the version and variant bits are set.
PLATFORM_API bool NewGuid(Guid& out) noexcept;

// Replaces the random source (tests use fixed bytes or a failing source);
// nullptr restores getrandom. Returns the previous source (nullptr for the
// system one).
PLATFORM_API RandomFill SetRandomFill(RandomFill fill) noexcept;

// ---------------------------------------------------------------- process

PLATFORM_API std::int32_t CurrentProcessId() noexcept;

// Sleeps at least `milliseconds` (nothing for 0 or less).
PLATFORM_API void SleepMilliseconds(std::int32_t milliseconds) noexcept;

// Makes the whole pages inside [data, data + size) present and writable in
// one call, for memory that is about to be written all through: a page fault
// per page costs more than the page itself (in a virtual machine many times
// more). Nothing happens where the kernel cannot do it (before Linux 5.14).
PLATFORM_API void PrefaultForWriting(void* data, std::size_t size) noexcept;

// Memory for a large buffer that is filled from its start, such as a batch's
// text: whole pages of its own, aligned to and in multiples of 2 MiB, in huge
// pages where the system offers them for the asking (transparent huge pages
// in "madvise" mode). Memory used for the first time costs one fault per
// 2 MiB instead of one per 4 KiB so; in a virtual machine a 4 KiB page
// touched for the first time costs some ten microseconds. Pages become
// present as they are first touched. Raises std::bad_alloc when there is no
// memory.
class PLATFORM_API LargeBuffer {
 public:
  static constexpr std::size_t kGranule = std::size_t{2} << 20;

  LargeBuffer() = default;
  // At least `size` bytes (a whole number of granules; none for 0).
  explicit LargeBuffer(std::size_t size);
  ~LargeBuffer();
  LargeBuffer(LargeBuffer&& other) noexcept;
  LargeBuffer& operator=(LargeBuffer&& other) noexcept;
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  char* Data() const noexcept { return data_; }
  std::size_t Capacity() const noexcept { return capacity_; }

 private:
  char* data_ = nullptr;
  std::size_t capacity_ = 0;
};

// Files that a process leaves in a folder shared with other machines carry
// who made them, so that a later process can tell whether their owner is
// still at work. Three parts:
//
// MachineTag: 8 upper-case hex digits from the host name and the process-id
// namespace, so that processes of another machine (or another container on
// this one), whose process ids mean nothing here, are never judged by them.
PLATFORM_API const std::string& MachineTag();
// ProcessStartToken: 16 upper-case hex digits from the boot and the start
// time of the process `pid`; another process that later gets the same id has
// another token. "" when the process is not there or /proc cannot be read.
PLATFORM_API std::string ProcessStartToken(std::int32_t pid);
// True when the process that had `pid` and `startToken` (on this machine) has
// ended: no process has that id any more, or the one that has it started
// later. Where that cannot be told (no /proc), a process with that id counts
// as the owner, so nothing of a live process is ever taken for a leftover.
PLATFORM_API bool ProcessHasEnded(std::int32_t pid, std::string_view startToken);

// ---------------------------------------------------------------- files

// Linux has no hidden attribute. Setting it is a no-op that only checks that
// the file (not following a symbolic link) is there: true when it is. Nothing
// is written to the file or its metadata, so the call is harmless on any file
// system.
PLATFORM_API bool SetHiddenAttribute(std::string_view nativePath) noexcept;

// What a failed file operation means, in the runtime's error numbers.
enum class FileOperation {
  kCreate,  // making a new file or directory: ENOENT means the path is missing
  kOpen,    // reading an existing file, deleting it: ENOENT means the file is missing
};

// The runtime error for a system error code (errno) of a file operation:
//   EEXIST 58 "File already exists"; ENOENT 53 "File not found" (kOpen) or
//   76 "Path not found" (kCreate); ENOTDIR 76; EACCES, EPERM, EROFS, ETXTBSY
//   70 "Permission denied"; ENOSPC, EDQUOT 61 "Disk full"; EIO 57 "Device
//   I/O error"; ENAMETOOLONG 52 "Bad file name or number"; EMFILE, ENFILE 67
//   "Too many files"; ENODEV, ENXIO 68 "Device unavailable"; anything else
//   75 "Path/File access error".
PLATFORM_API Error FileError(int errorCode, FileOperation operation, std::string source);

// ---------------------------------------------------------------- message boxes

enum class MessageButtons { kOk, kOkCancel, kYesNo, kYesNoCancel };
enum class MessageIcon { kNone, kInformation, kExclamation, kQuestion, kCritical };
enum class MessageAnswer { kOk, kCancel, kYes, kNo };

struct MessageBoxRequest {
  std::string text;  // may hold "\r" or "\n" line breaks
  std::string title;
  MessageButtons buttons = MessageButtons::kOk;
  MessageIcon icon = MessageIcon::kNone;
  // 1-based button that answers when nobody can be asked (as the classic
  // default button: first button unless the caller says otherwise).
  int defaultButton = 1;
};

// The buttons of a set, in order: kYesNo -> {kYes, kNo}.
PLATFORM_API std::span<const MessageAnswer> ButtonsOf(MessageButtons buttons) noexcept;
// The answer of the default button (the first one when out of range).
PLATFORM_API MessageAnswer DefaultAnswer(const MessageBoxRequest& request) noexcept;

// Shows a modal message and returns the button pressed.
class PLATFORM_API MessageBoxService {
 public:
  virtual ~MessageBoxService();
  virtual MessageAnswer Show(const MessageBoxRequest& request) = 0;
};

// The console stand-in: prints the message to stderr ("title: text" and the
// buttons) and, when standard input is a terminal, reads the answer from it
// (y/yes, n/no, o/ok, c/cancel; an empty line takes the default). When
// standard input is not a terminal, or it ends, it answers the default button
// without reading anything.
class PLATFORM_API ConsoleMessageBoxService : public MessageBoxService {
 public:
  // `input` is a file descriptor (standard input by default).
  explicit ConsoleMessageBoxService(int input = 0) noexcept : input_(input) {}
  MessageAnswer Show(const MessageBoxRequest& request) override;

 private:
  int input_;
};

// The service in use (the console one unless replaced).
PLATFORM_API MessageBoxService& CurrentMessageBoxService() noexcept;
// Replaces the service for the whole process; nullptr restores the console
// one. Returns the previous replacement (nullptr when it was the console).
// The caller keeps ownership and keeps the object alive while it is in use.
PLATFORM_API MessageBoxService* SetMessageBoxService(MessageBoxService* service) noexcept;

// Installs a service for the lifetime of the object, then restores the
// previous one.
class ScopedMessageBoxService {
 public:
  explicit ScopedMessageBoxService(MessageBoxService& service) noexcept
      : previous_(SetMessageBoxService(&service)) {}
  ~ScopedMessageBoxService() { SetMessageBoxService(previous_); }
  ScopedMessageBoxService(const ScopedMessageBoxService&) = delete;
  ScopedMessageBoxService& operator=(const ScopedMessageBoxService&) = delete;

 private:
  MessageBoxService* previous_;
};

}  // namespace platform
