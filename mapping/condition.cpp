#include "mapping/condition.h"

#include <algorithm>
#include <exception>
#include <string>

#include "mapping/expression_evaluator.h"
#include "platform/date_text.h"
#include "platform/like.h"
#include "platform/number_text.h"
#include "platform/text.h"

namespace marrow {

namespace detail {

namespace {

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Lead bytes of the UTF-8 forms of U+E000..U+FFFF, and of U+10000 and up.
bool IsLeadOfUpperBmp(unsigned char c) {
  return c == 0xEE || c == 0xEF;
}
bool IsLeadOfSupplementary(unsigned char c) {
  return c >= 0xF0 && c <= 0xF4;
}

}  // namespace

int CompareCodeUnits(std::string_view a, std::string_view b) {
  const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  if (ia == a.end() || ib == b.end()) return Order(a.size(), b.size());
  const auto x = static_cast<unsigned char>(*ia);
  const auto y = static_cast<unsigned char>(*ib);
  // Equal prefixes put both bytes at the same place within a character, so
  // two differing lead bytes are the only place where the orders part: a
  // supplementary character is a surrogate pair in UTF-16 (D800..DBFF) and
  // sorts before U+E000..U+FFFF there, after them in UTF-8.
  if (IsLeadOfSupplementary(x) && IsLeadOfUpperBmp(y)) return -1;
  if (IsLeadOfUpperBmp(x) && IsLeadOfSupplementary(y)) return 1;
  return Order(x, y);
}

int CompareOrdered(std::string_view left, std::string_view right) {
  if (const auto l = platform::ReadNumber(left)) {
    if (const auto r = platform::ReadNumber(right)) return Order(*l, *r);
  }
  if (const auto l = platform::ReadDate(left)) {
    if (const auto r = platform::ReadDate(right)) return Order(l->serial, r->serial);
  }
  return CompareCodeUnits(left, right);
}

ReadValue ReadForComparison(std::string_view value) {
  ReadValue read;
  read.number = platform::ReadNumber(value);
  if (const auto date = platform::ReadDate(value)) read.date = date->serial;
  return read;
}

namespace {

// CompareOrdered when the right value has been read already: the left value
// is only read as what the right one is too.
int CompareOrderedWith(std::string_view left, std::string_view right, const ReadValue& r) {
  if (r.number) {
    if (const auto l = platform::ReadNumber(left)) return Order(*l, *r.number);
  }
  if (r.date) {
    if (const auto l = platform::ReadDate(left)) return Order(l->serial, *r.date);
  }
  return CompareCodeUnits(left, right);
}

}  // namespace

namespace {

bool Found(std::string_view hay, std::string_view needle, bool caseless) {
  return caseless ? platform::text::FindCaseless(hay, needle) != std::string::npos
                  : hay.find(needle) != std::string_view::npos;
}

bool InList(std::string_view item, std::string_view list, bool caseless) {
  const std::string wrappedItem = "," + std::string(item) + ",";
  const std::string wrappedList = "," + std::string(list) + ",";
  return Found(wrappedList, wrappedItem, caseless);
}

bool SameText(std::string_view a, std::string_view b, bool caseless) {
  return caseless ? platform::text::LCase(a) == platform::text::LCase(b) : a == b;
}

}  // namespace

bool ApplyOperator(enumConditionals op, CompareMethod mode, std::string_view left,
                   std::string_view right, const ReadValue* rightRead) {
  namespace text = platform::text;
  const bool caseless = mode == vbTextCompare;
  switch (op) {
    case condEquals:
    case condNotEquals:
    case condGreaterThan:
    case condGreaterThanOrEqual:
    case condLessThan:
    case condLessThanOrEqual: {
      // Text mode never looks for numbers or dates.
      const int order = caseless    ? CompareCodeUnits(text::LCase(left), text::LCase(right))
                        : rightRead ? CompareOrderedWith(left, right, *rightRead)
                                    : CompareOrdered(left, right);
      switch (op) {
        case condEquals:
          return order == 0;
        case condNotEquals:
          return order != 0;
        case condGreaterThan:
          return order > 0;
        case condGreaterThanOrEqual:
          return order >= 0;
        case condLessThan:
          return order < 0;
        default:
          return order <= 0;
      }
    }
    case condIsBlank:
      return text::Trim(left).empty();
    case condIsNotBlank:
      return !text::Trim(left).empty();
    case condStartsWith:
      return SameText(text::Left(left, text::Len(right)), right, caseless);
    case condEndsWith:
      return SameText(text::Right(left, text::Len(right)), right, caseless);
    case condContains:
      return !left.empty() && Found(left, right, caseless);
    case condInList:
      return !left.empty() && InList(left, right, caseless);
    case condNotInList:
      return left.empty() || !InList(left, right, caseless);
    // Patterns match case-sensitively in both modes.
    case condLike:
      return platform::Like(left, right);
    case condNotLike:
      return !platform::Like(left, right);
  }
  return false;
}

}  // namespace detail

void Condition::SetOperator(std::int32_t v) noexcept {
  operator_ = (v >= condEquals && v <= condNotLike) ? static_cast<enumConditionals>(v) : condEquals;
}

void Condition::SetConnector(std::int32_t v) noexcept {
  connector_ = v == condOr ? condOr : condAnd;
}

void Condition::SetCompareMode(std::int32_t v) noexcept {
  compareMode_ = v == vbTextCompare ? vbTextCompare : vbBinaryCompare;
}

struct Condition::ParsedOperand {
  FieldParts parts;
  std::exception_ptr failure;  // set when the text does not parse
  // An expression of literal parts only has the same value every time.
  bool constant = false;
  std::string value;       // when constant
  detail::ReadValue read;  // when constant: value read for comparisons
};

std::shared_ptr<const Condition::ParsedOperand> Condition::Parse(std::string_view text) {
  auto parsed = std::make_shared<ParsedOperand>();
  try {
    parsed->parts.ParseValueString(text);
    parsed->constant = true;
    for (const FieldPart& part : parsed->parts) {
      if (part.PartType != kLiteralPart) {
        parsed->constant = false;
        break;
      }
      parsed->value += part.LiteralText;
    }
    if (parsed->constant) parsed->read = detail::ReadForComparison(parsed->value);
  } catch (...) {
    parsed->failure = std::current_exception();
    parsed->constant = false;
  }
  return parsed;
}

void Condition::SetOperand1(std::string_view v) {
  auto parsed = Parse(v);
  operand1_.assign(v);
  operand1Hash_ = tessel::NameValueList::HashOf(v);
  parsed1_ = std::move(parsed);
}

void Condition::SetOperand2(std::string_view v) {
  auto parsed = Parse(v);
  operand2_.assign(v);
  parsed2_ = std::move(parsed);
}

bool Condition::Evaluate(const tessel::NameValueList& inputFields) const noexcept {
  try {
    return EvaluateOrThrow(inputFields);
  } catch (...) {
    return false;
  }
}

bool Condition::EvaluateOrThrow(const tessel::NameValueList& inputFields) const {
  // Operand1 names an input field when there is one of that name, and is a
  // value expression otherwise; Operand2 is always an expression. Both
  // expressions are evaluated as one translation (the same instant for any
  // date/time parts).
  ExpressionEvaluator evaluator;
  std::string leftValue;
  std::string_view left;
  if (const tessel::NameValue* field = inputFields.Item(operand1_, operand1Hash_)) {
    left = field->Value();
  } else {
    if (parsed1_) {
      if (parsed1_->failure) std::rethrow_exception(parsed1_->failure);
      evaluator.Append(leftValue, parsed1_->parts, inputFields);
    }
    left = leftValue;
  }
  if (!parsed2_) return detail::ApplyOperator(operator_, compareMode_, left, {});
  if (parsed2_->failure) std::rethrow_exception(parsed2_->failure);
  if (parsed2_->constant) {
    return detail::ApplyOperator(operator_, compareMode_, left, parsed2_->value, &parsed2_->read);
  }
  std::string right;
  evaluator.Append(right, parsed2_->parts, inputFields);
  return detail::ApplyOperator(operator_, compareMode_, left, right);
}

}  // namespace marrow
