// Helpers shared by the field mapping tests: a compact description of parsed
// parts, so that tables can state the expected parse side by side with the
// expression, and a fixed clock.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mapping/field_part.h"
#include "mapping/field_parts.h"
#include "platform/clock.h"
#include "platform/date_text.h"
#include "platform/error.h"

namespace marrow::testing {

// "L'text'" for a literal, "D'format'" for a date/time part, and for a field
// "F'name'" followed by every modifier that is switched on, with its values:
//   F'Code' index(2,',') trim wrap(20) replace('a','b|c')
// A modifier member that differs from its default while its switch is off is
// listed too (as "-member(value)"), so stray values do not go unnoticed.
inline std::string Describe(const FieldPart& p) {
  auto q = [](const std::string& s) { return "'" + s + "'"; };
  switch (p.PartType) {
    case kLiteralPart:
      return "L" + q(p.LiteralText);
    case kDateTimePart:
      return "D" + q(p.DateFormat);
    case kFieldPart:
      break;
    default:
      return "?" + std::to_string(p.PartType);
  }
  std::string d = "F" + q(p.FieldName);
  auto add = [&](bool on, const std::string& name, const std::string& args, bool dirty) {
    if (on) {
      d += " " + name + (args.empty() ? "" : "(" + args + ")");
    } else if (dirty) {
      d += " -" + name + "(" + args + ")";
    }
  };
  add(p.IndexString, "index", std::to_string(p.IndexValue) + "," + q(p.IndexDelimiter),
      p.IndexValue != 0 || !p.IndexDelimiter.empty());
  add(p.Trim, "trim", "", false);
  add(p.Wrap, "wrap", std::to_string(p.WrapLength), p.WrapLength != 40);
  add(p.Numeric, "numeric", q(p.NumericFormat), !p.NumericFormat.empty());
  add(p.DateField, "date", q(p.DateFormat), !p.DateFormat.empty());
  add(p.Lookup, "lookup", q(p.LookupTable.ToString(";", "=")), p.LookupTable.Count() > 0);
  add(p.Strip, "strip", q(p.StripChars), !p.StripChars.empty());
  add(p.Substring, "substring",
      std::to_string(p.SubstringStart) + "," + std::to_string(p.SubstringLength),
      p.SubstringStart != 0 || p.SubstringLength != 0);
  add(p.TruncateAt, "truncateAt", std::to_string(p.TruncatePos), p.TruncatePos != 0);
  add(p.TruncateAfter, "truncateAfter", q(p.TruncateChars), !p.TruncateChars.empty());
  add(p.LeftTrim, "lefttrim", std::to_string(p.TrimCharNumber), p.TrimCharNumber != 0);
  add(p.StringFormat, "format", q(p.StringFormatMask), !p.StringFormatMask.empty());
  add(p.SeparatePart, "separate", std::to_string(p.NumberOfCharPerPart),
      p.NumberOfCharPerPart != 1);
  add(p.AlphaToNumeric, "alpha2numeric", "", false);
  add(p.Fixed, "fixed", std::to_string(p.FixedLength), p.FixedLength != 0);
  add(p.ReplaceString, "replace", q(p.ReplaceText) + "," + q(p.ReplaceWithText),
      !p.ReplaceText.empty() || !p.ReplaceWithText.empty());
  return d;
}

// All parts, joined by " | ".
inline std::string Describe(const FieldParts& parts) {
  std::string d;
  for (const FieldPart& p : parts) {
    if (!d.empty()) d += " | ";
    d += Describe(p);
  }
  return d;
}

inline std::string DescribeParse(const std::string& expression) {
  FieldParts parts;
  parts.ParseValueString(expression);
  return Describe(parts);
}

// The number of a platform::Error raised by `f`, or 0 when none is raised.
template <typename F>
int ErrorNumberOf(F&& f) {
  try {
    f();
  } catch (const platform::Error& e) {
    return e.Number();
  }
  return 0;
}

class FixedClock : public platform::Clock {
 public:
  explicit FixedClock(platform::OleDate now) : now_(now) {}
  platform::OleDate Now() const override { return now_; }

 private:
  platform::OleDate now_;
};

// Installs a fixed clock for the life of the object.
class ScopedFixedClock {
 public:
  explicit ScopedFixedClock(const platform::DateParts& now) {
    platform::SetClock(std::make_shared<FixedClock>(platform::MakeDate(now)));
  }
  ~ScopedFixedClock() { platform::SetClock(nullptr); }
  ScopedFixedClock(const ScopedFixedClock&) = delete;
  ScopedFixedClock& operator=(const ScopedFixedClock&) = delete;
};

}  // namespace marrow::testing
