#include "platform/text.h"

#include <array>

namespace platform::text {
namespace {

// Length in bytes of the valid UTF-8 sequence starting at s[i], or 0 when the
// byte there does not start a valid sequence.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) return 1;
  std::size_t n;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    n = 2;
    min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3;
    min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4;
    min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  char32_t cp = b0 & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

char32_t DecodeAt(std::string_view s, std::size_t i, std::size_t n) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (n == 1) return b0;
  char32_t cp = b0 & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k)
    cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  return cp;
}

// Steps over one character (an invalid byte counts as one).
inline std::size_t Step(std::string_view s, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) return 1;
  const std::size_t n = SequenceLength(s, i);
  return n == 0 ? 1 : n;
}

// Windows-1252 bytes 0x80..0x9F; 0 marks the five unassigned bytes.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

std::size_t Len(std::string_view s) {
  // Most texts are ASCII: one character per byte.
  std::size_t ascii = 0;
  while (ascii < s.size() && static_cast<unsigned char>(s[ascii]) < 0x80) ++ascii;
  if (ascii == s.size()) return ascii;
  std::size_t count = 0;
  for (std::size_t i = 0; i < s.size(); i += Step(s, i)) ++count;
  return count;
}

std::size_t ByteOffset(std::string_view s, std::size_t index) {
  std::size_t i = 0;
  for (std::size_t k = 0; k < index && i < s.size(); ++k) i += Step(s, i);
  return i < s.size() ? i : s.size();
}

std::string Mid(std::string_view s, std::ptrdiff_t start, std::ptrdiff_t length) {
  if (start < 1) start = 1;
  const std::size_t from = ByteOffset(s, static_cast<std::size_t>(start - 1));
  if (from >= s.size() || length == 0) return {};
  if (length < 0) return std::string(s.substr(from));
  std::size_t to = from;
  for (std::ptrdiff_t k = 0; k < length && to < s.size(); ++k) to += Step(s, to);
  return std::string(s.substr(from, to - from));
}

std::string Left(std::string_view s, std::size_t count) {
  return std::string(s.substr(0, ByteOffset(s, count)));
}

std::string Right(std::string_view s, std::size_t count) {
  const std::size_t len = Len(s);
  if (count >= len) return std::string(s);
  return std::string(s.substr(ByteOffset(s, len - count)));
}

std::u32string Decode(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = SequenceLength(s, i);
    if (n == 0) {
      out.push_back(0xFFFD);
      ++i;
    } else {
      out.push_back(DecodeAt(s, i, n));
      i += n;
    }
  }
  return out;
}

std::u32string DecodeKeepBytes(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  // The ASCII start of the text (often all of it) is widened as it is.
  std::size_t ascii = 0;
  while (ascii < s.size() && static_cast<unsigned char>(s[ascii]) < 0x80) ++ascii;
  out.resize(ascii);
  for (std::size_t k = 0; k < ascii; ++k) out[k] = static_cast<unsigned char>(s[k]);
  for (std::size_t i = ascii; i < s.size();) {
    const std::size_t n = SequenceLength(s, i);
    if (n == 0) {
      out.push_back(0xDC00 + static_cast<unsigned char>(s[i]));
      ++i;
    } else {
      out.push_back(DecodeAt(s, i, n));
      i += n;
    }
  }
  return out;
}

void AppendCodePoint(std::string& out, char32_t cp) {
  if (cp >= 0xDC80 && cp <= 0xDCFF) {  // a raw byte kept by DecodeKeepBytes
    out.push_back(static_cast<char>(cp - 0xDC00));
  } else if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp <= 0x10FFFF) {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    AppendCodePoint(out, 0xFFFD);
  }
}

std::string Encode(std::u32string_view cps) {
  std::string out;
  out.reserve(cps.size());
  for (char32_t cp : cps) AppendCodePoint(out, cp);
  return out;
}

char32_t FoldLower(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  return c;
}

char32_t FoldUpper(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  return c;
}

namespace {
template <typename F>
std::string MapCase(std::string_view s, F fold) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
      out.push_back(static_cast<char>(fold(b0)));
      ++i;
      continue;
    }
    const std::size_t n = SequenceLength(s, i);
    if (n == 2) {
      AppendCodePoint(out, fold(DecodeAt(s, i, n)));
      i += 2;
    } else {
      const std::size_t step = n == 0 ? 1 : n;
      out.append(s.substr(i, step));
      i += step;
    }
  }
  return out;
}
}  // namespace

std::string LCase(std::string_view s) {
  return MapCase(s, FoldLower);
}
std::string UCase(std::string_view s) {
  return MapCase(s, FoldUpper);
}

bool EqualsCaseless(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    // Folding never changes the byte length of a character, so different
    // lengths can never compare equal.
    return false;
  }
  // LCase(a) == LCase(b) without making either: LCase changes only ASCII
  // capitals and the Latin-1 capitals U+00C0..U+00DE (but U+00D7), whose
  // UTF-8 form is C3 80..C3 9E (C3 is never a continuation byte, and a byte
  // 80..9E after it always completes a valid sequence).
  const auto fold = [](unsigned char byte, bool afterC3) {
    if (byte >= 'A' && byte <= 'Z') return static_cast<unsigned char>(byte + 32);
    if (afterC3 && byte >= 0x80 && byte <= 0x9E && byte != 0x97) {
      return static_cast<unsigned char>(byte + 32);
    }
    return byte;
  };
  bool aAfterC3 = false;
  bool bAfterC3 = false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (fold(ca, aAfterC3) != fold(cb, bAfterC3)) return false;
    aAfterC3 = ca == 0xC3;
    bAfterC3 = cb == 0xC3;
  }
  return true;
}

std::size_t FindCaseless(std::string_view hay, std::string_view needle, std::size_t from) {
  if (from > hay.size()) return std::string::npos;
  const std::string h = LCase(hay);
  const std::string n = LCase(needle);
  return h.find(n, from);
}

std::string_view LTrim(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return s.substr(i);
}

std::string_view RTrim(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

std::string_view Trim(std::string_view s) {
  return RTrim(LTrim(s));
}

std::string Replace(std::string_view s, std::string_view find, std::string_view with) {
  if (find.empty()) return std::string(s);
  std::string out;
  out.reserve(s.size());
  std::size_t pos = 0;
  while (true) {
    const std::size_t hit = s.find(find, pos);
    if (hit == std::string_view::npos) break;
    out.append(s.substr(pos, hit - pos));
    out.append(with);
    pos = hit + find.size();
  }
  out.append(s.substr(pos));
  return out;
}

std::vector<std::string> Split(std::string_view s, std::string_view delimiter) {
  std::vector<std::string> pieces;
  if (s.empty()) return pieces;
  if (delimiter.empty()) {
    pieces.emplace_back(s);
    return pieces;
  }
  std::size_t pos = 0;
  while (true) {
    const std::size_t hit = s.find(delimiter, pos);
    if (hit == std::string_view::npos) break;
    pieces.emplace_back(s.substr(pos, hit - pos));
    pos = hit + delimiter.size();
  }
  pieces.emplace_back(s.substr(pos));
  return pieces;
}

std::string ToWindows1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    if (b0 < 0x80) {
      // A run of ASCII is copied as it is.
      std::size_t end = i + 1;
      while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) < 0x80) ++end;
      out.append(utf8.substr(i, end - i));
      i = end;
      continue;
    }
    const std::size_t n = SequenceLength(utf8, i);
    if (n == 0) {
      out.push_back('?');
      ++i;
      continue;
    }
    const char32_t cp = DecodeAt(utf8, i, n);
    i += n;
    if (cp >= 0xA0 && cp <= 0xFF) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    char byte = '?';
    for (std::size_t k = 0; k < kCp1252High.size(); ++k) {
      if (kCp1252High[k] != 0 && kCp1252High[k] == cp) {
        byte = static_cast<char>(0x80 + k);
        break;
      }
    }
    out.push_back(byte);
  }
  return out;
}

std::string FromWindows1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) {
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else if (b < 0xA0) {
      const char16_t cp = kCp1252High[b - 0x80];
      AppendCodePoint(out, cp == 0 ? 0xFFFD : cp);
    } else {
      AppendCodePoint(out, b);
    }
  }
  return out;
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = SequenceLength(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace platform::text
