#include "platform/like.h"

#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr int kInvalidPattern = 93;

[[noreturn]] void RaiseInvalidPattern() {
  Raise(kInvalidPattern, {}, "Invalid pattern string");
}

// One step of a compiled pattern. Every kind but Star matches exactly one
// character; empty lists ("[]") are dropped while compiling.
struct Step {
  enum class Kind { Literal, AnyChar, Digit, List, Star };
  Kind kind = Kind::Literal;
  char32_t ch = 0;
  std::size_t first = 0, count = 0;  // the list's items in Pattern::items
  // A negated list ("[!a-z]") matches the characters none of its items holds.
  bool negated = false;
};

// An item of a character list: one character or a range. Only a '!' right
// after the '[' negates the list; anywhere else it is an ordinary character
// ("[.!?]" is one of three characters).
struct ListItem {
  char32_t low = 0, high = 0;
};

struct Pattern {
  std::vector<Step> steps;
  std::vector<ListItem> items;
};

char32_t Fold(char32_t c, bool textCompare) {
  return textCompare ? text::FoldLower(c) : c;
}

Pattern Compile(const std::u32string& p, bool textCompare) {
  Pattern out;
  std::size_t i = 0;
  while (i < p.size()) {
    const char32_t c = p[i];
    Step step;
    if (c == '?') {
      step.kind = Step::Kind::AnyChar;
      ++i;
    } else if (c == '*') {
      ++i;
      // Runs of stars are one star.
      if (!out.steps.empty() && out.steps.back().kind == Step::Kind::Star) continue;
      step.kind = Step::Kind::Star;
    } else if (c == '#') {
      step.kind = Step::Kind::Digit;
      ++i;
    } else if (c == '[') {
      std::size_t j = i + 1;
      const std::size_t first = out.items.size();
      const bool negated = j < p.size() && p[j] == '!';
      if (negated) ++j;
      bool closed = false;
      while (j < p.size()) {
        const char32_t x = p[j];
        if (x == ']') {
          closed = true;
          ++j;
          break;
        }
        ListItem item;
        item.low = item.high = Fold(x, textCompare);
        // A hyphen between two characters makes a range; at the start or
        // the end of the list it stands for itself.
        if (j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']') {
          const char32_t hi = p[j + 2];
          if (hi < x) RaiseInvalidPattern();
          item.low = x;
          item.high = hi;
          j += 3;
        } else {
          ++j;
        }
        out.items.push_back(item);
      }
      if (!closed) RaiseInvalidPattern();
      i = j;
      const std::size_t count = out.items.size() - first;
      if (count == 0 && !negated) continue;  // "[]" matches nothing at all
      step.kind = Step::Kind::List;
      step.first = first;
      step.count = count;
      step.negated = negated;
    } else {
      step.kind = Step::Kind::Literal;
      step.ch = Fold(c, textCompare);
      ++i;
    }
    out.steps.push_back(step);
  }
  return out;
}

bool InItem(const ListItem& item, char32_t c, bool textCompare) {
  if (item.low == item.high) return Fold(c, textCompare) == item.low;
  if (!textCompare) return c >= item.low && c <= item.high;
  // Text comparison: the character or its other case inside the range.
  const char32_t lower = text::FoldLower(c), upper = text::FoldUpper(c);
  return (lower >= item.low && lower <= item.high) || (upper >= item.low && upper <= item.high);
}

bool MatchOne(const Pattern& pattern, const Step& step, char32_t c, bool textCompare) {
  switch (step.kind) {
    case Step::Kind::Literal:
      return Fold(c, textCompare) == step.ch;
    case Step::Kind::AnyChar:
      return true;
    case Step::Kind::Digit:
      return c >= '0' && c <= '9';
    case Step::Kind::List:
      for (std::size_t k = 0; k < step.count; ++k) {
        const ListItem& item = pattern.items[step.first + k];
        if (InItem(item, c, textCompare)) return !step.negated;
      }
      return step.negated;
    case Step::Kind::Star:
      return false;
  }
  return false;
}

bool Match(const std::u32string& s, const std::u32string& p, bool textCompare) {
  const Pattern pattern = Compile(p, textCompare);
  const std::vector<Step>& steps = pattern.steps;
  // Greedy matching with a single backtrack point (the last star): every
  // step but the star consumes exactly one character, so retrying from the
  // last star is enough and the work stays O(text x pattern).
  std::size_t si = 0, pi = 0;
  std::size_t starPi = std::string::npos, starSi = 0;
  while (si < s.size()) {
    if (pi < steps.size() && steps[pi].kind == Step::Kind::Star) {
      starPi = pi++;
      starSi = si;
    } else if (pi < steps.size() && MatchOne(pattern, steps[pi], s[si], textCompare)) {
      ++pi;
      ++si;
    } else if (starPi != std::string::npos) {
      pi = starPi + 1;
      si = ++starSi;
    } else {
      return false;
    }
  }
  while (pi < steps.size() && steps[pi].kind == Step::Kind::Star) ++pi;
  return pi == steps.size();
}

}  // namespace

bool Like(std::string_view text, std::string_view pattern) {
  return Like(text, pattern, false);
}

bool Like(std::string_view text, std::string_view pattern, bool textCompare) {
  return Match(text::DecodeKeepBytes(text), text::DecodeKeepBytes(pattern), textCompare);
}

}  // namespace platform
