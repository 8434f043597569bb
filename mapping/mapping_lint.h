// The mapping linter: finds the mistakes in mapping-class files that the
// engine passes over in silence, with the file, line and column of each.
//
// The engine is lenient by design and stays so: an unknown element or
// attribute is ignored, a <Condition> outside <Conditions> is dropped (so its
// class matches every document), a root other than <FieldMappings> holds no
// classes, an unknown operator compares with "equals", an unknown modifier is
// ignored, and a field that the document does not have reads as empty (as a
// condition's field it reads as its own text). The linter tells the author
// about each of these before a release does something they did not mean.
//
// Two steps:
//   1. LintMappingFile / LintMappingDocument check one document on its own:
//      its XML, its elements and attributes, operators, connectors, compare
//      methods and every value expression (modifiers, their arguments, masks,
//      brackets). They also note which fields each class reads and writes.
//   2. CheckFieldAvailability follows a mapping set through its levels, in
//      release order, and reports every field read that nothing provides at
//      that point: not among the names the document starts with, not written
//      by an earlier level or an earlier class of the same level (a class's
//      own mappings all read the values from before the class).
//
// The document is read with the same limits as a load (mapping_xml.h: no
// network, no entities, at most kMaxDocumentBytes). Columns count characters
// from 1; for a document in an encoding other than UTF-8 or Windows-1252 the
// lines come from the parser and the columns stay 0 (unknown).
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "marrow_export.h"

namespace marrow {

enum class LintSeverity { kWarning, kError };

// "warning" or "error".
MARROW_API std::string_view SeverityText(LintSeverity severity);

// One mistake. `kind` is a stable identifier for tools:
//   unreadable-file, xml-error, wrong-root, unknown-element, misplaced-element,
//   unknown-attribute, missing-attribute, duplicate-class, duplicate-field,
//   blank-field-name, unknown-operator, unknown-connector,
//   unknown-compare-method, unknown-modifier, modifier-without-argument,
//   ignored-modifier, invalid-modifier-argument, invalid-mask,
//   unclosed-bracket, like-pattern-field, unknown-field, too-many-findings.
struct LintFinding {
  std::string kind;
  LintSeverity severity = LintSeverity::kError;
  std::string file;
  long line = 0;    // 1-based; 0 when unknown
  long column = 0;  // 1-based, in characters; 0 when unknown
  std::string message;
  std::string suggestion;  // the likely intended name of a near miss, or ""
};

// A field that an expression or a condition reads, and where.
struct FieldReference {
  std::string name;
  long line = 0;
  long column = 0;
  // A condition's "field" written as a bare name: a missing field compares
  // the name's own text instead of a value.
  bool conditionField = false;
};

// What one mapping class reads and writes, for the level analysis.
struct LintedClass {
  std::string name;
  long line = 0;
  long column = 0;
  std::vector<FieldReference> conditionReads;  // evaluated before the class applies
  std::vector<FieldReference> fieldReads;      // read by its field mappings
  std::vector<std::string> writes;             // names of its field mappings
};

struct MARROW_API LintedFile {
  std::string file;
  bool parsed = false;  // the document could be read and is well-formed XML
  std::vector<LintedClass> classes;
  std::vector<LintFinding> findings;  // in document order

  std::size_t Count(LintSeverity severity) const;
};

// Reads and checks one mapping-class file (the name is taken as the engine
// takes it: Windows forms are made native).
MARROW_API LintedFile LintMappingFile(std::string_view fileName);
// Checks a document held in memory; `fileName` names it in the findings.
MARROW_API LintedFile LintMappingDocument(std::string_view bytes, std::string_view fileName);

// The names a document holds before the first level: exact names (letter
// case ignored, as in a field list) and name prefixes ("Replace_").
struct AvailableFields {
  std::vector<std::string> names;
  std::vector<std::string> prefixes;
};

// Follows the files of a mapping set in release order (DataMappings,
// FieldMappings, FeedOutputMappings) and adds an "unknown-field" finding to
// the file of every read that nothing provides at its point. The files
// before `firstReported` only contribute what they write (an author who
// checks one level file still has the levels before it taken into account).
// The files after one that could not be read are not judged.
MARROW_API void CheckFieldAvailability(std::span<LintedFile> levels,
                                       const AvailableFields& available,
                                       std::size_t firstReported = 0);

// How the engine reads a value expression, one line per part: literals,
// date/time parts and fields, each field with its modifiers as written, in
// the order in which they run, and the items that do nothing (unknown
// keywords, keywords without their argument, conversions after the first):
//   Literal:       'Claim '
//   Date/time:     yyyymmdd
//   Field:      List  index{2:\,},trim
//   Field:      Sex  trim,lookup{M:Male|F:Female}  (ignored: trimm, wrap)
MARROW_API std::vector<std::string> DescribeExpression(std::string_view expression);

// The candidate closest to `word` by edit distance (letter case ignored,
// adjacent letters swapped count once), when it is close enough to be a
// slip of the keyboard; "" otherwise. The first of equally close candidates
// wins.
MARROW_API std::string ClosestName(std::string_view word,
                                   const std::vector<std::string>& candidates);

}  // namespace marrow
