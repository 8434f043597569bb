// Internal helpers of Condition: the comparison of two resolved operand
// values. Kept apart from the public class so that the operator table can be
// tested on plain texts, without translating operands.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "mapping/conditions.h"

namespace marrow::detail {

// Orders two texts as UTF-16 code units would order them (the order of the
// runtime's binary comparison). UTF-8 byte order equals code point order,
// which differs from UTF-16 order only between characters above U+FFFF and
// characters U+E000..U+FFFF; those are ordered as their surrogates are.
// Returns <0, 0 or >0.
int CompareCodeUnits(std::string_view a, std::string_view b);

// The ordered comparison of binary mode: two numeric texts as numbers, else
// two dates as points in time, else the texts by code unit. <0, 0 or >0.
int CompareOrdered(std::string_view left, std::string_view right);

// What the ordered comparison reads from a value that stays the same from
// call to call (a condition's constant operand): read once, used for every
// comparison with it.
struct ReadValue {
  std::optional<double> number;  // platform::ReadNumber
  std::optional<double> date;    // platform::ReadDate, as its serial
};
ReadValue ReadForComparison(std::string_view value);

// Applies `op` to the left and right values in the given compare mode.
// Raises what the comparison raises (an invalid Like pattern, for one);
// Condition::Evaluate turns that into false. `rightRead`, when given, is
// ReadForComparison(right).
bool ApplyOperator(enumConditionals op, CompareMethod mode, std::string_view left,
                   std::string_view right, const ReadValue* rightRead = nullptr);

}  // namespace marrow::detail
