// JsonPullReader: a JSON text read one event at a time, so that a batch file
// of any size is read in a constant amount of memory (internal to the host
// files; the batch reader is its only user).
//
//   JsonPullReader reader(fd, "batch.json");      // or (text, "batch.json")
//   for (JsonEvent e = reader.Next(); e != JsonEvent::kEnd; e = reader.Next())
//     ... reader.Text() for keys, texts and numbers ...
//
// The text must be one JSON value (RFC 8259) and nothing else but white
// space. Strings must be valid UTF-8; escapes are decoded (\u with surrogate
// pairs). Containers may nest at most kMaxDepth levels: the reader keeps no
// call stack of its own, and a limit keeps hostile input from growing its
// small one without bound.
//
// A fault raises HostFileError for the file with no place and the problem
//   "not valid JSON: parse error at line L, column C: <what>"
// (line and column of the offending byte, counted from 1, columns in bytes).
// A file that cannot be read raises HostFileError "reading the file failed".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::hostjson {

enum class JsonEvent {
  kObjectStart,
  kObjectEnd,
  kArrayStart,
  kArrayEnd,
  kKey,     // Text() is the key
  kString,  // Text() is the text
  kNumber,  // Text() is the number as written; NumberIsInteger() tells its kind
  kTrue,
  kFalse,
  kNull,
  kEnd,  // after the one value, at the end of the text
};

class JsonPullReader {
 public:
  static constexpr std::size_t kMaxDepth = 64;

  // Reads the file open as `fd` (not owned, read with pread from offset 0,
  // so that several readers may share it). `file` names it in messages.
  JsonPullReader(int fd, std::string file);
  // Reads a text in memory (which must outlive the reader).
  JsonPullReader(std::string_view text, std::string file);

  JsonPullReader(const JsonPullReader&) = delete;
  JsonPullReader& operator=(const JsonPullReader&) = delete;

  JsonEvent Next();
  // After kObjectStart or kArrayStart: reads up to and including the
  // matching end. Anything else: nothing more to read.
  void SkipValue(JsonEvent first);

  const std::string& Text() const noexcept { return text_; }
  // For kNumber: true when it has neither fraction nor exponent.
  bool NumberIsInteger() const noexcept { return integer_; }
  // Bytes read so far (the position after the last event).
  std::uint64_t Offset() const noexcept { return base_ + static_cast<std::uint64_t>(pos_); }
  // The number of open objects and arrays.
  std::size_t Depth() const noexcept { return stack_.size(); }

 private:
  enum class Expect { kValue, kValueOrArrayEnd, kKeyOrObjectEnd, kKey, kCommaOrEnd, kDone };

  // The byte at the current position, or -1 at the end of the text.
  int Peek() {
    if (pos_ < size_) return static_cast<unsigned char>(data_[pos_]);
    return Fill() ? static_cast<unsigned char>(data_[pos_]) : -1;
  }
  bool Fill();
  void SkipWhiteSpace();
  JsonEvent Value();
  JsonEvent Open(char kind);
  JsonEvent Close();
  void AfterValue();
  void ReadString();
  void ReadEscape();
  void ReadUtf8(unsigned char lead);
  unsigned ReadHex4();
  void ReadNumber();
  void ReadLiteral(std::string_view word);
  [[noreturn]] void Fail(const std::string& what) const;
  [[noreturn]] void Unexpected(const char* expected) const;

  std::string file_;
  int fd_ = -1;
  // File input. Left uninitialised: only what pread() fills is read, and a
  // small file then touches one page of the megabyte instead of all of them.
  std::unique_ptr<char[]> buffer_;
  const char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t pos_ = 0;
  std::uint64_t base_ = 0;  // offset of data_[0] in the text
  bool atEnd_ = false;
  std::string_view memory_;  // memory input: the whole text

  std::vector<char> stack_;  // '{' or '[' per open container
  Expect expect_ = Expect::kValue;
  std::string text_;
  bool integer_ = false;
};

}  // namespace quillon::hostjson
