#include "host/json_pull_reader_internal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host/host_file_error.h"
#include "platform/os_services.h"

namespace quillon::hostjson {

namespace {

// Small enough that its pages cost little to make present, large enough that
// reads are few.
constexpr std::size_t kBufferBytes = 64 << 10;

bool IsWhiteSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string Describe(int c) {
  if (c >= 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", c);
  return std::string("the byte ") + hex;
}

}  // namespace

JsonPullReader::JsonPullReader(int fd, std::string file) : file_(std::move(file)), fd_(fd) {
  buffer_.reset(new char[kBufferBytes]);
  data_ = buffer_.get();
  // A file that fills the buffer writes all of it at the first read.
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size >= static_cast<off_t>(kBufferBytes)) {
    platform::PrefaultForWriting(buffer_.get(), kBufferBytes);
  }
}

JsonPullReader::JsonPullReader(std::string_view text, std::string file)
    : file_(std::move(file)), memory_(text) {
  data_ = text.data();
  size_ = text.size();
  atEnd_ = true;
}

bool JsonPullReader::Fill() {
  if (atEnd_) return false;
  base_ += size_;
  pos_ = 0;
  size_ = 0;
  for (;;) {
    const ssize_t n = ::pread(fd_, buffer_.get(), kBufferBytes, static_cast<off_t>(base_));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw HostFileError(file_, "",
                          std::string("reading the file failed (") + std::strerror(errno) + ")");
    }
    if (n == 0) {
      atEnd_ = true;
      return false;
    }
    size_ = static_cast<std::size_t>(n);
    return true;
  }
}

void JsonPullReader::Fail(const std::string& what) const {
  // Line and column of the current position, counted again from the start:
  // only a fault pays for them.
  const std::uint64_t offset = Offset();
  std::uint64_t line = 1;
  std::uint64_t column = 1;
  const auto count = [&](std::string_view bytes) {
    for (char c : bytes) {
      if (c == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
  };
  if (fd_ < 0) {
    count(memory_.substr(0, static_cast<std::size_t>(offset)));
  } else {
    std::string chunk(64 * 1024, '\0');
    for (std::uint64_t at = 0; at < offset;) {
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), offset - at));
      const ssize_t n = ::pread(fd_, chunk.data(), want, static_cast<off_t>(at));
      if (n <= 0) break;
      count(std::string_view(chunk.data(), static_cast<std::size_t>(n)));
      at += static_cast<std::uint64_t>(n);
    }
  }
  throw HostFileError(file_, "",
                      "not valid JSON: parse error at line " + std::to_string(line) + ", column " +
                          std::to_string(column) + ": " + what);
}

void JsonPullReader::Unexpected(const char* expected) const {
  const int c = pos_ < size_ ? static_cast<unsigned char>(data_[pos_]) : -1;
  if (c < 0) Fail(std::string("the text ends too early; expected ") + expected);
  Fail("unexpected " + Describe(c) + "; expected " + expected);
}

void JsonPullReader::SkipWhiteSpace() {
  for (;;) {
    while (pos_ < size_ && IsWhiteSpace(data_[pos_])) ++pos_;
    if (pos_ < size_ || !Fill()) return;
  }
}

void JsonPullReader::AfterValue() {
  expect_ = stack_.empty() ? Expect::kDone : Expect::kCommaOrEnd;
}

JsonEvent JsonPullReader::Open(char kind) {
  if (stack_.size() >= kMaxDepth) {
    Fail("nesting deeper than " + std::to_string(kMaxDepth) + " levels");
  }
  ++pos_;
  stack_.push_back(kind);
  expect_ = kind == '{' ? Expect::kKeyOrObjectEnd : Expect::kValueOrArrayEnd;
  return kind == '{' ? JsonEvent::kObjectStart : JsonEvent::kArrayStart;
}

JsonEvent JsonPullReader::Close() {
  ++pos_;
  const char kind = stack_.back();
  stack_.pop_back();
  AfterValue();
  return kind == '{' ? JsonEvent::kObjectEnd : JsonEvent::kArrayEnd;
}

JsonEvent JsonPullReader::Value() {
  const int c = Peek();
  switch (c) {
    case '{':
      return Open('{');
    case '[':
      return Open('[');
    case '"':
      ReadString();
      AfterValue();
      return JsonEvent::kString;
    case 't':
      ReadLiteral("true");
      AfterValue();
      return JsonEvent::kTrue;
    case 'f':
      ReadLiteral("false");
      AfterValue();
      return JsonEvent::kFalse;
    case 'n':
      ReadLiteral("null");
      AfterValue();
      return JsonEvent::kNull;
    default:
      if (c == '-' || (c >= '0' && c <= '9')) {
        ReadNumber();
        AfterValue();
        return JsonEvent::kNumber;
      }
      Unexpected("a value");
  }
}

JsonEvent JsonPullReader::Next() {
  for (;;) {
    SkipWhiteSpace();
    const int c = Peek();
    switch (expect_) {
      case Expect::kValue:
        return Value();
      case Expect::kValueOrArrayEnd:
        if (c == ']') return Close();
        return Value();
      case Expect::kKeyOrObjectEnd:
        if (c == '}') return Close();
        [[fallthrough]];
      case Expect::kKey:
        if (c != '"') Unexpected("a key in double quotes");
        ReadString();
        SkipWhiteSpace();
        if (Peek() != ':') Unexpected("':' after the key");
        ++pos_;
        expect_ = Expect::kValue;
        return JsonEvent::kKey;
      case Expect::kCommaOrEnd:
        if (c == ',') {
          ++pos_;
          expect_ = stack_.back() == '{' ? Expect::kKey : Expect::kValue;
          continue;
        }
        if (stack_.back() == '{') {
          if (c == '}') return Close();
          Unexpected("',' or '}'");
        }
        if (c == ']') return Close();
        Unexpected("',' or ']'");
      case Expect::kDone:
        if (c < 0) return JsonEvent::kEnd;
        Unexpected("nothing after the end of the JSON value");
    }
  }
}

void JsonPullReader::SkipValue(JsonEvent first) {
  if (first != JsonEvent::kObjectStart && first != JsonEvent::kArrayStart) return;
  const std::size_t depth = stack_.size();
  while (stack_.size() >= depth) Next();
}

unsigned JsonPullReader::ReadHex4() {
  unsigned value = 0;
  for (int i = 0; i < 4; ++i) {
    const int c = Peek();
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      Unexpected("four hexadecimal digits after \\u");
    }
    ++pos_;
    value = value * 16 + digit;
  }
  return value;
}

void JsonPullReader::ReadEscape() {
  const int c = Peek();
  ++pos_;
  switch (c) {
    case '"':
      text_.push_back('"');
      return;
    case '\\':
      text_.push_back('\\');
      return;
    case '/':
      text_.push_back('/');
      return;
    case 'b':
      text_.push_back('\b');
      return;
    case 'f':
      text_.push_back('\f');
      return;
    case 'n':
      text_.push_back('\n');
      return;
    case 'r':
      text_.push_back('\r');
      return;
    case 't':
      text_.push_back('\t');
      return;
    case 'u':
      break;
    default:
      --pos_;
      Unexpected("an escape (\\\" \\\\ \\/ \\b \\f \\n \\r \\t \\u)");
  }
  unsigned code = ReadHex4();
  if (code >= 0xDC00 && code <= 0xDFFF) Fail("a low surrogate \\u escape without a high one");
  if (code >= 0xD800 && code <= 0xDBFF) {
    if (Peek() != '\\') Unexpected("a low surrogate \\u escape after a high one");
    ++pos_;
    if (Peek() != 'u') Unexpected("a low surrogate \\u escape after a high one");
    ++pos_;
    const unsigned low = ReadHex4();
    if (low < 0xDC00 || low > 0xDFFF) Fail("a high surrogate \\u escape without a low one");
    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
  }
  if (code < 0x80) {
    text_.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    text_.push_back(static_cast<char>(0xC0 | (code >> 6)));
    text_.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    text_.push_back(static_cast<char>(0xE0 | (code >> 12)));
    text_.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    text_.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    text_.push_back(static_cast<char>(0xF0 | (code >> 18)));
    text_.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    text_.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    text_.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// One UTF-8 character from its lead byte on (the lead is still unread).
void JsonPullReader::ReadUtf8(unsigned char lead) {
  std::size_t length;
  unsigned code;
  unsigned minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
    minimum = 0x10000;
  } else {
    Fail("a string that is not valid UTF-8");
  }
  text_.push_back(static_cast<char>(lead));
  ++pos_;
  for (std::size_t k = 1; k < length; ++k) {
    const int c = Peek();
    if (c < 0 || (c & 0xC0) != 0x80) Fail("a string that is not valid UTF-8");
    code = (code << 6) | (static_cast<unsigned>(c) & 0x3Fu);
    text_.push_back(static_cast<char>(c));
    ++pos_;
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    Fail("a string that is not valid UTF-8");
  }
}

namespace {

// Whether none of the eight bytes at `p` ends a plain run of a string: a
// quote, a backslash, a control character or a byte of 0x80 or above.
bool PlainChunk(const char* p) {
  std::uint64_t chunk = 0;
  std::memcpy(&chunk, p, 8);
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  // A byte below n (n <= 0x80) exists when (x - n * ones) & ~x & high is not
  // zero; a byte equal to c when x ^ (c * ones) has a byte below 1.
  const auto anyBelow = [](std::uint64_t x, std::uint64_t n) {
    return ((x - n * kOnes) & ~x & kHigh) != 0;
  };
  return (chunk & kHigh) == 0 && !anyBelow(chunk, 0x20) && !anyBelow(chunk ^ ('"' * kOnes), 1) &&
         !anyBelow(chunk ^ ('\\' * kOnes), 1);
}

}  // namespace

void JsonPullReader::ReadString() {
  ++pos_;  // the opening quote
  text_.clear();
  for (;;) {
    // A run of plain bytes is copied at once; it is looked for eight bytes
    // at a time first.
    std::size_t run = pos_;
    while (run + 8 <= size_ && PlainChunk(data_ + run)) run += 8;
    while (run < size_) {
      const auto b = static_cast<unsigned char>(data_[run]);
      if (b == '"' || b == '\\' || b < 0x20 || b >= 0x80) break;
      ++run;
    }
    text_.append(data_ + pos_, run - pos_);
    pos_ = run;
    const int c = Peek();
    if (c < 0) Fail("a string that does not end");
    if (c == '"') {
      ++pos_;
      return;
    }
    if (c == '\\') {
      ++pos_;
      ReadEscape();
    } else if (c < 0x20) {
      Fail("a control character in a string (write it as an escape)");
    } else if (c >= 0x80) {
      ReadUtf8(static_cast<unsigned char>(c));
    }
  }
}

void JsonPullReader::ReadNumber() {
  text_.clear();
  integer_ = true;
  const auto take = [&] {
    text_.push_back(static_cast<char>(Peek()));
    ++pos_;
  };
  const auto digits = [&] {
    const int c = Peek();
    if (c < '0' || c > '9') Unexpected("a digit");
    while (Peek() >= '0' && Peek() <= '9') take();
  };
  if (Peek() == '-') take();
  if (Peek() == '0') {
    take();
  } else {
    digits();
  }
  if (Peek() == '.') {
    integer_ = false;
    take();
    digits();
  }
  if (Peek() == 'e' || Peek() == 'E') {
    integer_ = false;
    take();
    if (Peek() == '+' || Peek() == '-') take();
    digits();
  }
}

void JsonPullReader::ReadLiteral(std::string_view word) {
  for (char expected : word) {
    if (Peek() != expected) Unexpected(("'" + std::string(word) + "'").c_str());
    ++pos_;
  }
}

}  // namespace quillon::hostjson
