// Fuzz target: arbitrary value expressions and field values through parsing
// and translation. Failures raised as platform::Error are expected (bad
// parameter lists, negative sizes, ...); crashes, hangs, sanitizer reports and
// unbounded memory are not.
//
// Input layout:
//   byte 0          flags: bit 0-1 mapping name (_eval, _newLineChar,
//                   _outputString, Other), bit 2 include unmapped fields,
//                   bit 3 also load the first line as a mapping text form
//   line 1          the expression
//   further lines   input fields "NAME=VALUE" (a line without "=" is the
//                   value of the field "F")
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "host/tessel/name_value_list.h"
#include "mapping/field_mappings.h"
#include "platform/clock.h"
#include "platform/date_text.h"
#include "platform/error.h"

namespace {

class FixedClock : public platform::Clock {
 public:
  platform::OleDate Now() const override { return platform::MakeDate({2014, 3, 28, 14, 5, 9}); }
};

const char* const kNames[] = {"_eval", "_newLineChar", "_outputString", "Other"};

void TranslateExpression(std::string_view expression, const tessel::NameValueList& input,
                         std::uint8_t flags) {
  try {
    marrow::FieldMappings set;
    set.Add(kNames[flags & 3], expression);
    set.Add("Second", expression);
    const tessel::NameValueList out = set.TranslateFields(input, (flags & 4) != 0);
    // Every mapping yields exactly one entry.
    if (out.Count() < set.Count()) __builtin_trap();
    (void)set.DisplayAllParts(kNames[flags & 3]);
  } catch (const platform::Error&) {
  }
}

void LoadTextForm(std::string_view text, const tessel::NameValueList& input) {
  try {
    marrow::FieldMappings set;
    set.AddFromString(text);
    // The text form of a set read from text reads back to the same set.
    const std::string form = set.ToString();
    marrow::FieldMappings again;
    again.AddFromString(form);
    if (again.ToString() != form || again.Count() != set.Count()) __builtin_trap();
    (void)set.TranslateFields(input, true);
  } catch (const platform::Error&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool clockSet = [] {
    platform::SetClock(std::make_shared<FixedClock>());
    return true;
  }();
  (void)clockSet;
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::size_t firstBreak = text.find('\n');
  const std::string_view expression = text.substr(0, firstBreak);
  tessel::NameValueList input;
  if (firstBreak != std::string_view::npos) {
    std::string_view rest = text.substr(firstBreak + 1);
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      const std::string_view line = rest.substr(0, end);
      const std::size_t eq = line.find('=');
      if (eq == std::string_view::npos) {
        input.Add("F", line);
      } else {
        input.Add(line.substr(0, eq), line.substr(eq + 1));
      }
      if (end == std::string_view::npos) break;
      rest = rest.substr(end + 1);
    }
  }

  TranslateExpression(expression, input, flags);
  if ((flags & 8) != 0) LoadTextForm(expression, input);
  return 0;
}
