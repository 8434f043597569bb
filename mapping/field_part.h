// FieldPart: one part of a parsed value expression (internal to the mapping
// library; only FieldParts creates them).
//
// A part is one of three kinds, told apart by PartType:
//   0  literal text           uses LiteralText only
//   1  current date and time  uses DateFormat only (the format of the instant)
//   2  input field reference  uses FieldName and any of the modifier members
//
// The members are plain data, read by the modifier chain at translation time
// (mapping/field_modifiers.h) and written by the parser. SetParameters parses
// a field reference's parameter list ('trim,index{2:;},lookup{M:Male|F:Female}')
// into the modifier members. It does not reset the part first: members that
// the list does not name keep their values.
//
// Parameter list grammar (see docs/expressions.md for every keyword):
//   list     := item ("," item)*           empty items are skipped
//   item     := keyword [ "{" argument [ "}" ] ]
//   "\,"  "\{"  "\}"  put a comma or a brace into an argument.
// Keywords ignore letter case but are not trimmed: ' trim' is no keyword.
// Unknown keywords are ignored. Most keywords only act with an argument
// ("wrap" alone leaves wrapping off).
//
// Failures of SetParameters (all from the strict conversions):
//   lefttrim{x}      error 13 (type mismatch: not a number)
//   lefttrim{40000}  error 6  (overflow: outside the 16-bit range)
//   separate{x}      error 13; separate{3000000000} error 6
//   a number outside the 32-bit range where a "number of" is read
//   (index, wrap, fixed, substring, truncate)        error 6
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/tessel/name_value_list.h"

namespace marrow {

enum FieldPartType : std::int32_t {
  kLiteralPart = 0,
  kDateTimePart = 1,
  kFieldPart = 2,
};

class FieldPart {
 public:
  std::int32_t PartType = kLiteralPart;
  std::string LiteralText;
  std::string FieldName;
  bool Lookup = false;
  tessel::NameValueList LookupTable;
  bool Wrap = false;
  std::int32_t WrapLength = 40;
  bool Trim = false;
  bool Numeric = false;
  std::string NumericFormat;
  bool DateField = false;
  std::string DateFormat;
  bool Strip = false;
  std::string StripChars;
  bool TruncateAt = false;
  std::int32_t TruncatePos = 0;
  bool TruncateAfter = false;
  std::string TruncateChars;
  bool LeftTrim = false;
  std::int16_t TrimCharNumber = 0;
  bool Substring = false;
  std::int32_t SubstringStart = 0;
  std::int32_t SubstringLength = 0;
  bool IndexString = false;
  std::int32_t IndexValue = 0;
  std::string IndexDelimiter;
  bool StringFormat = false;
  bool SeparatePart = false;
  std::int32_t NumberOfCharPerPart = 1;
  bool AlphaToNumeric = false;
  std::string StringFormatMask;
  bool Fixed = false;
  std::int32_t FixedLength = 0;
  bool ReplaceString = false;
  std::string ReplaceText;
  std::string ReplaceWithText;

  // A keyword of the parameter list and whether it acts only with an
  // argument ("wrap" alone does nothing).
  struct Keyword {
    std::string_view name;  // lower case
    bool needsArgument;
  };
  // Every keyword the parameter list knows, in the order they are tested.
  static std::vector<Keyword> Keywords();

  // The Parameters setter: parses a parameter list into the members above.
  // Raises platform::Error 13 or 6 from the strict conversions (see above);
  // members set by items before the failing one keep their new values.
  void SetParameters(std::string_view parameters);

 private:
  // "\," "\{" "\}" become the placeholder characters U+00C2, U+00C5, U+00C6
  // so that splitting at "," and "{" leaves escaped ones alone...
  static std::string EscapeParameters(std::string_view parameters);
  // ...and an argument gets its commas and braces back.
  static std::string UnescapeArgument(std::string_view argument);

  void ApplyKeyword(std::string_view keyword, const std::string& argument, bool hasArgument);
};

}  // namespace marrow
