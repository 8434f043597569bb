#include <cctype>

#include "platform/error.h"
#include "platform/format_internal.h"

namespace platform::fmt {
namespace {

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool StartsWithCaseless(std::string_view s, std::size_t i, std::string_view word) {
  if (s.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (Lower(s[i + k]) != word[k]) return false;
  return true;
}

// Counts a run of the same letter (either case) at `i`, at most `limit`.
std::size_t RunOf(std::string_view s, std::size_t i, char letter, std::size_t limit) {
  std::size_t n = 0;
  while (i + n < s.size() && n < limit && Lower(s[i + n]) == letter) ++n;
  return n;
}

class MaskReader {
 public:
  explicit MaskReader(std::string_view text) : s_(text) {}

  Mask Read() {
    mask_.sections.emplace_back();
    std::size_t i = 0;
    while (i < s_.size()) i = Step(i);
    for (Section& section : mask_.sections) {
      if (!section.tokens.empty()) section.present = true;
      section.number = AnalyzeNumberTokens(section.tokens);
    }
    // The first section is there even when it is empty (";x"): it formats
    // positive values with nothing.
    mask_.sections.front().present = true;
    return std::move(mask_);
  }

 private:
  Section& Current() { return mask_.sections.back(); }

  bool CouldBe(MaskType type) const {
    return (mask_.sections.size() == 1 && mask_.type == MaskType::Unknown) || mask_.type == type;
  }

  void Literal(std::string_view text) {
    if (text.empty()) return;
    auto& tokens = Current().tokens;
    if (!tokens.empty() && tokens.back().kind == Tok::Literal) {
      tokens.back().text.append(text);
    } else {
      Token t;
      t.text = std::string(text);
      tokens.push_back(std::move(t));
    }
  }

  void Push(Tok kind, MaskType type, int count = 0) {
    mask_.type = type;
    Token t;
    t.kind = kind;
    t.count = count;
    Current().tokens.push_back(std::move(t));
    if (type == MaskType::Date && kind != Tok::DateSep && kind != Tok::TimeSep)
      lastDateToken_ = kind;
  }

  // Month or, right after an hour token, minutes.
  void PushMonthOrMinute(std::size_t run) {
    if (run <= 2 && (lastDateToken_ == Tok::Hour || lastDateToken_ == Tok::Hour2)) {
      Push(run == 2 ? Tok::Minute2 : Tok::Minute, MaskType::Date);
      return;
    }
    static constexpr Tok kMonths[] = {Tok::Month, Tok::Month2, Tok::MonthShort, Tok::MonthLong};
    Push(kMonths[run - 1], MaskType::Date);
  }

  std::size_t Step(std::size_t i) {
    const char c = s_[i];
    const char lc = Lower(c);
    if (c == ';') {
      if (mask_.sections.size() >= 4) Raise(err::kInvalidProcedureCall);
      mask_.sections.emplace_back();
      hasDecimal_ = hasExponent_ = false;
      lastDateToken_ = Tok::Literal;
      return i + 1;
    }
    if (c == '\\') {
      if (i + 1 < s_.size()) Literal(s_.substr(i + 1, CharLength(i + 1)));
      return i + 1 + (i + 1 < s_.size() ? CharLength(i + 1) : 0);
    }
    if (c == '"') {
      const std::size_t close = s_.find('"', i + 1);
      const std::size_t end = close == std::string_view::npos ? s_.size() : close;
      Literal(s_.substr(i + 1, end - i - 1));
      return close == std::string_view::npos ? s_.size() : close + 1;
    }
    // Number tokens.
    if ((c == '0' || c == '#') && CouldBe(MaskType::Number)) {
      Push(c == '0' ? Tok::DigitZero : Tok::DigitHash, MaskType::Number);
      return i + 1;
    }
    if (c == '.' && !hasDecimal_ && CouldBe(MaskType::Number)) {
      hasDecimal_ = true;
      Push(Tok::DecimalPoint, MaskType::Number);
      return i + 1;
    }
    if (mask_.type == MaskType::Number) {
      if (lc == 'e' && !hasExponent_ && i + 1 < s_.size() &&
          (s_[i + 1] == '+' || s_[i + 1] == '-' || s_[i + 1] == '0' || s_[i + 1] == '#')) {
        hasExponent_ = true;
        Token t;
        t.kind = Tok::Exponent;
        t.upper = c == 'E';
        t.plus = s_[i + 1] == '+';
        std::size_t j = i + 1 + (s_[i + 1] == '+' || s_[i + 1] == '-' ? 1 : 0);
        for (; j < s_.size() && (s_[j] == '0' || s_[j] == '#'); ++j)
          if (s_[j] == '0') ++t.count;
        Current().tokens.push_back(std::move(t));
        return j;
      }
      if (c == ',') {
        Push(Tok::Comma, MaskType::Number);
        return i + 1;
      }
      if (c == '%') {
        Push(Tok::Percent, MaskType::Number);
        return i + 1;
      }
    }
    // Date tokens.
    if (CouldBe(MaskType::Date)) {
      if (c == '/') {
        Push(Tok::DateSep, MaskType::Date);
        return i + 1;
      }
      if (c == ':') {
        Push(Tok::TimeSep, MaskType::Date);
        return i + 1;
      }
      if (StartsWithCaseless(s_, i, "ampm")) {
        Push(Tok::AmPmLocale, MaskType::Date);
        return i + 4;
      }
      if (StartsWithCaseless(s_, i, "am/pm")) {
        Push(Tok::AmPm, MaskType::Date);
        Current().tokens.back().text = std::string(s_.substr(i, 5));
        return i + 5;
      }
      if (StartsWithCaseless(s_, i, "a/p")) {
        Push(Tok::AP, MaskType::Date);
        Current().tokens.back().text = std::string(s_.substr(i, 3));
        return i + 3;
      }
      if (StartsWithCaseless(s_, i, "ttttt")) {
        Push(Tok::TimeLong, MaskType::Date);
        return i + 5;
      }
      switch (lc) {
        case 'c':
          Push(Tok::GeneralDate, MaskType::Date);
          return i + 1;
        case 'd': {
          static constexpr Tok kDays[] = {Tok::Day,     Tok::Day2,      Tok::DayShort,
                                          Tok::DayLong, Tok::DateShort, Tok::DateLong};
          const std::size_t run = RunOf(s_, i, 'd', 6);
          Push(kDays[run - 1], MaskType::Date);
          return i + run;
        }
        case 'h': {
          const std::size_t run = RunOf(s_, i, 'h', 2);
          Push(run == 2 ? Tok::Hour2 : Tok::Hour, MaskType::Date);
          return i + run;
        }
        case 'm': {
          const std::size_t run = RunOf(s_, i, 'm', 4);
          PushMonthOrMinute(run);
          return i + run;
        }
        case 'n': {
          const std::size_t run = RunOf(s_, i, 'n', 2);
          Push(run == 2 ? Tok::Minute2 : Tok::Minute, MaskType::Date);
          return i + run;
        }
        case 'q':
          Push(Tok::Quarter, MaskType::Date);
          return i + 1;
        case 's': {
          const std::size_t run = RunOf(s_, i, 's', 2);
          Push(run == 2 ? Tok::Second2 : Tok::Second, MaskType::Date);
          return i + run;
        }
        case 'w': {
          const std::size_t run = RunOf(s_, i, 'w', 2);
          Push(run == 2 ? Tok::WeekOfYear : Tok::WeekDay, MaskType::Date);
          return i + run;
        }
        case 'y': {
          // y, yy and yyyy; "yyy" is yy followed by y.
          std::size_t run = RunOf(s_, i, 'y', 4);
          if (run == 3) run = 2;
          Push(run == 4 ? Tok::Year4 : run == 2 ? Tok::Year2 : Tok::DayOfYear, MaskType::Date);
          return i + run;
        }
        default:
          break;
      }
    }
    // Text tokens.
    if (CouldBe(MaskType::Text)) {
      switch (c) {
        case '@':
          Push(Tok::CharOrSpace, MaskType::Text);
          return i + 1;
        case '&':
          Push(Tok::CharOrNothing, MaskType::Text);
          return i + 1;
        case '<':
          Push(Tok::Lower, MaskType::Text);
          return i + 1;
        case '>':
          Push(Tok::Upper, MaskType::Text);
          return i + 1;
        case '!':
          Push(Tok::LeftToRight, MaskType::Text);
          return i + 1;
        default:
          break;
      }
    }
    const std::size_t n = CharLength(i);
    Literal(s_.substr(i, n));
    return i + n;
  }

  // Length in bytes of the UTF-8 character at i (1 for a stray byte), so that
  // escapes and literals never split a character.
  std::size_t CharLength(std::size_t i) const {
    const auto b = static_cast<unsigned char>(s_[i]);
    std::size_t n = 1;
    if (b >= 0xF0)
      n = 4;
    else if (b >= 0xE0)
      n = 3;
    else if (b >= 0xC0)
      n = 2;
    if (i + n > s_.size()) return 1;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s_[i + k]) & 0xC0) != 0x80) return 1;
    return n;
  }

  std::string_view s_;
  Mask mask_;
  bool hasDecimal_ = false;
  bool hasExponent_ = false;
  Tok lastDateToken_ = Tok::Literal;
};

}  // namespace

Mask ReadMask(std::string_view mask) {
  return MaskReader(mask).Read();
}

}  // namespace platform::fmt
