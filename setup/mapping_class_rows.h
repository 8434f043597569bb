// MappingClassRow: one mapping class as the mappings editor shows it, as
// plain rows (a name, a table of conditions, a table of field mappings), and
// the conversions between such rows and mapping-class XML.
//
// Reading goes through the mapping library itself, so the rows hold exactly
// what a release reads from the text. Writing builds the XML from the rows
// directly, without the library's collections: a row that the library would
// refuse (an expression that does not parse, a repeated class name) is still
// written as typed, and reading the text back reports the problem.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/conditions.h"
#include "quillon_export.h"

namespace marrow {
class ConditionalMappings;
}

namespace quillon {

struct ConditionRow {
  std::int32_t connector = marrow::condAnd;  // enumConditionalConnectors
  std::string field;                         // operand 1: a field name or an expression
  std::int32_t op = marrow::condEquals;      // enumConditionals
  std::string value;                         // operand 2: an expression
  std::int32_t compareMode = marrow::vbBinaryCompare;

  bool operator==(const ConditionRow&) const = default;
};

struct FieldRow {
  std::string name;
  std::string value;  // the value expression

  bool operator==(const FieldRow&) const = default;
};

struct MappingClassRow {
  std::string name;
  std::vector<ConditionRow> conditions;
  std::vector<FieldRow> fields;

  bool operator==(const MappingClassRow&) const = default;
};

// Why the mapping library cannot read a text: its error number and
// description, and the place in the text (0 when not known).
struct XmlProblem {
  int number = 0;
  std::string description;
  std::int32_t line = 0;
  std::int32_t column = 0;

  // "line 3, column 18: error 76: <description>" (the place only as far as
  // it is known).
  QUILLON_API std::string Text() const;
};

struct MappingClassReadResult {
  std::vector<MappingClassRow> classes;  // empty when `problem` is set
  std::optional<XmlProblem> problem;
};

// The rows of the classes a collection holds, in order.
QUILLON_API std::vector<MappingClassRow> RowsOf(const marrow::ConditionalMappings& mappings);

// Reads a mapping-class text through the mapping library.
QUILLON_API MappingClassReadResult ReadMappingClassRows(std::string_view xml);

// The mapping-class document of the rows, indented one element a line:
// conditions only when a class has some, a Fields element always, the
// operator in its long form, the connector on every condition and
// "comparemethod" only for text comparison, as the library writes them.
QUILLON_API std::string WriteMappingClassRows(const std::vector<MappingClassRow>& classes);

}  // namespace quillon
