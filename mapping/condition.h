// Internal helpers of Condition: the comparison of two resolved operand
// values. Kept apart from the public class so that the operator table can be
// tested on plain texts, without translating operands.
#pragma once

#include <cstdint>
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

// Applies `op` to the left and right values in the given compare mode.
// Raises what the comparison raises (an invalid Like pattern, for one);
// Condition::Evaluate turns that into false.
bool ApplyOperator(enumConditionals op, CompareMethod mode, std::string_view left,
                   std::string_view right);

}  // namespace marrow::detail
