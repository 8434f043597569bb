#include <array>
#include <string>

#include "mapping/conditions.h"
#include "platform/error.h"
#include "platform/text.h"

namespace marrow {

namespace {

struct Spelling {
  std::string_view text;
  enumConditionals op;
};

// Every accepted spelling, already lower-case and without blanks.
constexpr std::array<Spelling, 40> kSpellings{{
    {"equals", condEquals},
    {"eq", condEquals},
    {"=", condEquals},
    {"notequals", condNotEquals},
    {"notequal", condNotEquals},
    {"ne", condNotEquals},
    {"<>", condNotEquals},
    {"!=", condNotEquals},
    {"isblank", condIsBlank},
    {"ib", condIsBlank},
    {"isnotblank", condIsNotBlank},
    {"inb", condIsNotBlank},
    {"startswith", condStartsWith},
    {"sw", condStartsWith},
    {"endswith", condEndsWith},
    {"ew", condEndsWith},
    {"greaterthan", condGreaterThan},
    {"gt", condGreaterThan},
    {">", condGreaterThan},
    {"greaterthanorequal", condGreaterThanOrEqual},
    {"gte", condGreaterThanOrEqual},
    {">=", condGreaterThanOrEqual},
    {"=>", condGreaterThanOrEqual},
    {"lessthan", condLessThan},
    {"lt", condLessThan},
    {"<", condLessThan},
    {"lessthanorequal", condLessThanOrEqual},
    {"lte", condLessThanOrEqual},
    {"<=", condLessThanOrEqual},
    {"=<", condLessThanOrEqual},
    {"contains", condContains},
    {"co", condContains},
    {"inlist", condInList},
    {"il", condInList},
    {"notinlist", condNotInList},
    {"nil", condNotInList},
    {"like", condLike},
    {"li", condLike},
    {"notlike", condNotLike},
    {"nl", condNotLike},
}};

struct Forms {
  std::string_view shortForm;
  std::string_view longForm;
};

// Indexed by the operator's value.
constexpr std::array<Forms, 15> kForms{{
    {"=", "equals"},
    {"<>", "not equal"},
    {"is blank", "is blank"},
    {"is not blank", "is not blank"},
    {"starts with", "starts with"},
    {"ends with", "ends with"},
    {">", "greater than"},
    {">=", "greater than or equal"},
    {"<", "less than"},
    {"<=", "less than or equal"},
    {"contains", "contains"},
    {"in list", "in list"},
    {"not in list", "not in list"},
    {"like", "like"},
    {"not like", "not like"},
}};

// Lower-cased, with every U+0020 removed (tabs and other white space stay).
std::string Squeeze(std::string_view text) {
  std::string lowered = platform::text::LCase(text);
  std::erase(lowered, ' ');
  return lowered;
}

}  // namespace

void Conditions::Add(std::string_view operand1, std::int32_t op, std::string_view operand2,
                     std::int32_t connector, std::int32_t compareMode) {
  auto condition = std::make_shared<Condition>();
  condition->SetOperand1(operand1);
  condition->SetOperator(op);
  condition->SetOperand2(operand2);
  condition->SetConnector(connector);
  condition->SetCompareMode(compareMode);
  items_.push_back(std::move(condition));
}

void Conditions::AddFromString(std::string_view newValues, std::string_view conditionDelimiter,
                               std::string_view partDelimiter) {
  namespace text = platform::text;
  Clear();
  if (text::Trim(newValues).empty()) return;
  for (const std::string& piece : text::Split(newValues, conditionDelimiter)) {
    const std::vector<std::string> parts = text::Split(piece, partDelimiter);
    // Pieces of the wrong shape are dropped without a word.
    if (parts.size() != 3 && parts.size() != 4) continue;
    if (text::Trim(parts[1]).empty() || text::Trim(parts[2]).empty()) continue;

    auto condition = std::make_shared<Condition>();
    // The connector of the first accepted piece joins nothing.
    condition->SetConnector(items_.empty() ? condAnd : ParseConnector(parts[0]));
    condition->SetOperand1(text::Trim(parts[1]));
    condition->SetOperator(ParseOperator(parts[2]));
    const enumConditionals op = condition->Operator();
    if (op != condIsBlank && op != condIsNotBlank) {
      // Only the blank tests may leave the second operand out.
      if (parts.size() < 4)
        platform::Raise(platform::err::kSubscriptOutOfRange, "Conditions.AddFromString");
      condition->SetOperand2(text::Trim(parts[3]));
    }
    items_.push_back(std::move(condition));
  }
}

std::string Conditions::ToString(bool shortForm, std::string_view conditionDelimiter,
                                 std::string_view partDelimiter) const {
  std::string out;
  bool first = true;
  for (const auto& condition : items_) {
    if (!first) out += conditionDelimiter;
    first = false;
    out += ConnectorString(condition->Connector());
    out += partDelimiter;
    out += condition->Operand1();
    out += partDelimiter;
    out += OperatorString(condition->Operator(), shortForm);
    out += partDelimiter;
    out += condition->Operand2();
  }
  return out;
}

std::shared_ptr<Condition> Conditions::Item(std::int64_t index) const {
  if (index < 1 || index > static_cast<std::int64_t>(items_.size())) return nullptr;
  return items_[static_cast<std::size_t>(index - 1)];
}

void Conditions::Remove(std::int64_t index) {
  if (index < 1 || index > static_cast<std::int64_t>(items_.size())) {
    platform::Raise(platform::err::kInvalidProcedureCall, "Conditions.Remove");
  }
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index - 1));
}

bool Conditions::Evaluate(const tessel::NameValueList& values) const noexcept {
  try {
    if (items_.empty()) return true;
    // Every condition is evaluated, whatever the running result, and the
    // results combine left to right: a OR b AND c is (a OR b) AND c.
    bool running = items_.front()->EvaluateOrThrow(values);
    for (std::size_t i = 1; i < items_.size(); ++i) {
      const bool result = items_[i]->EvaluateOrThrow(values);
      running = items_[i]->Connector() == condOr ? (running || result) : (running && result);
    }
    return running;
  } catch (...) {
    // A condition that cannot be evaluated fails the whole list.
    return false;
  }
}

std::string Conditions::NormalizeOperator(std::string_view operatorText, bool shortForm) {
  const enumConditionals op = ParseOperator(operatorText);
  // The long form here differs from OperatorString's in one word.
  if (!shortForm && op == condNotEquals) return "not equals";
  return OperatorString(op, shortForm);
}

enumConditionals Conditions::ParseOperator(std::string_view operatorText) {
  const std::string key = Squeeze(operatorText);
  for (const Spelling& s : kSpellings) {
    if (s.text == key) return s.op;
  }
  return condEquals;
}

std::string Conditions::OperatorString(std::int32_t op, bool shortForm) {
  if (op < condEquals || op > condNotLike) return "=";
  const Forms& forms = kForms[static_cast<std::size_t>(op)];
  return std::string(shortForm ? forms.shortForm : forms.longForm);
}

std::string Conditions::NormalizeConnector(std::string_view connectorText) {
  return ConnectorString(ParseConnector(connectorText));
}

enumConditionalConnectors Conditions::ParseConnector(std::string_view connectorText) {
  return Squeeze(connectorText) == "or" ? condOr : condAnd;
}

std::string Conditions::ConnectorString(std::int32_t connector) {
  return connector == condOr ? "or" : "and";
}

}  // namespace marrow
