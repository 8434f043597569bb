// Condition and Conditions: predicates over a document's field values.
//
// Text form: pieces joined by ";", each "connector|operand1|operator|operand2"
// ('and|FormType|eq|UB04;or|Payer|is blank|'). Evaluation runs every
// condition and combines the results left to right without precedence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/tessel/name_value_list.h"
#include "marrow_export.h"

namespace marrow {

enum enumConditionals : std::int32_t {
  condEquals = 0,
  condNotEquals = 1,
  condIsBlank = 2,
  condIsNotBlank = 3,
  condStartsWith = 4,
  condEndsWith = 5,
  condGreaterThan = 6,
  condGreaterThanOrEqual = 7,
  condLessThan = 8,
  condLessThanOrEqual = 9,
  condContains = 10,
  condInList = 11,
  condNotInList = 12,
  condLike = 13,
  condNotLike = 14,
};

enum enumConditionalConnectors : std::int32_t { condAnd = 0, condOr = 1 };

// The compare method: binary (case-sensitive, with number and date
// detection) or text (case-insensitive, pure text).
enum CompareMethod : std::int32_t { vbBinaryCompare = 0, vbTextCompare = 1 };

// "Represents a conditional statement."
class MARROW_API Condition {
 public:
  const std::string& Operand1() const noexcept { return operand1_; }
  void SetOperand1(std::string_view v);
  enumConditionals Operator() const noexcept { return operator_; }
  // Values outside 0..14 store condEquals.
  void SetOperator(std::int32_t v) noexcept;
  const std::string& Operand2() const noexcept { return operand2_; }
  void SetOperand2(std::string_view v);
  enumConditionalConnectors Connector() const noexcept { return connector_; }
  // Values outside 0..1 store condAnd.
  void SetConnector(std::int32_t v) noexcept;
  CompareMethod CompareMode() const noexcept { return compareMode_; }
  // Values outside 0..1 store binary.
  void SetCompareMode(std::int32_t v) noexcept;

  // "Evaluates the condition based on the values of the input fields."
  // Never fails: any error gives false.
  bool Evaluate(const tessel::NameValueList& inputFields) const noexcept;

 private:
  friend class Conditions;
  // Evaluate without the safety net: raises what resolving the operands or
  // comparing raises. Conditions::Evaluate needs to tell a failure from a
  // false result.
  bool EvaluateOrThrow(const tessel::NameValueList& inputFields) const;

  // An operand parsed as a value expression when it is set, so that
  // evaluating never parses (none: the empty text). A text that does not
  // parse keeps its failure, raised only when the operand's value is needed.
  struct ParsedOperand;
  static std::shared_ptr<const ParsedOperand> Parse(std::string_view text);

  std::string operand1_;
  std::size_t operand1Hash_ = tessel::NameValueList::HashOf({});
  std::shared_ptr<const ParsedOperand> parsed1_;
  enumConditionals operator_ = condEquals;
  std::string operand2_;
  std::shared_ptr<const ParsedOperand> parsed2_;
  enumConditionalConnectors connector_ = condAnd;
  CompareMethod compareMode_ = vbBinaryCompare;
};

// "Holds a collection of Condition objects."
class MARROW_API Conditions {
 public:
  using Container = std::vector<std::shared_ptr<Condition>>;
  using const_iterator = Container::const_iterator;

  void Add(std::string_view operand1, std::int32_t op, std::string_view operand2,
           std::int32_t connector = condAnd, std::int32_t compareMode = vbBinaryCompare);
  void AddFromString(std::string_view newValues, std::string_view conditionDelimiter = ";",
                     std::string_view partDelimiter = "|");
  std::string ToString(bool shortForm = false, std::string_view conditionDelimiter = ";",
                       std::string_view partDelimiter = "|") const;
  // The condition at a 1-based position (shared with the list), or nullptr.
  std::shared_ptr<Condition> Item(std::int64_t index) const;
  std::int32_t Count() const noexcept { return static_cast<std::int32_t>(items_.size()); }
  // Raises error 5 for a position out of range.
  void Remove(std::int64_t index);
  void Clear() noexcept { items_.clear(); }
  const_iterator begin() const noexcept { return items_.begin(); }
  const_iterator end() const noexcept { return items_.end(); }

  // Never fails: any error gives false. An empty list gives true.
  bool Evaluate(const tessel::NameValueList& values) const noexcept;

  static std::string NormalizeOperator(std::string_view operatorText, bool shortForm = false);
  static enumConditionals ParseOperator(std::string_view operatorText);
  static std::string OperatorString(std::int32_t op, bool shortForm = false);
  static std::string NormalizeConnector(std::string_view connectorText);
  static enumConditionalConnectors ParseConnector(std::string_view connectorText);
  static std::string ConnectorString(std::int32_t connector);

 private:
  Container items_;
};

}  // namespace marrow
