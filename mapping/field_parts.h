// FieldParts: the parsed form of one value expression, an ordered, 1-based
// collection of FieldPart (internal to the mapping library; each FieldMapping
// owns one and refills it whenever its value is set).
//
// Expression notation (full grammar in docs/expressions.md):
//   literal text with bracketed items; inside brackets
//     cr lf br tab comma quote colon semi   a named character (any letter case)
//     date:FORMAT  time:FORMAT              the current date/time in FORMAT
//     NAME                                  the input field NAME, unchanged
//     NAME:PARAMETERS                       the input field through modifiers
//
// Examples:
//   '[PatientLast], [PatientFirst]'  field, literal ', ', field
//   '[BirthDate:date{mm/dd/ccyy}]'   one field part with the date modifier
//   'Claim [date:yyyymmdd][br]'      literal 'Claim ', date/time part, CR LF
//
// Inputs that are not what they look like (none of them is an error):
//   ''  '[]'         no parts
//   'abc['           the literal 'abc' (a trailing "[" produces nothing)
//   'abc[def'        literals 'abc' and 'def' (the unmatched "[" is dropped)
//   'a]b'            one literal 'a]b' (a lone "]" is text)
//   '[a[b]'          a field named 'a[b' (brackets do not nest)
//   '[date]'         a field named 'date' (date/time needs a colon)
//   '[Name:]'        a field 'Name' without modifiers; '[:x]' a field named ''
// There is no escape for a literal "[".
//
// The only failures come from a field's parameter list (FieldPart.h): the
// parse stops with that error, the parts read before it stay in the
// collection and the failing part is not added.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/field_part.h"

namespace marrow {

class FieldParts {
 public:
  using const_iterator = std::vector<FieldPart>::const_iterator;

  // Empties the collection, then fills it from the expression.
  void ParseValueString(std::string_view expression);

  // The part at a 1-based position, or nullptr when there is none. The
  // non-const form drops the kept hash codes (the part may be changed).
  FieldPart* Item(std::int64_t position);
  const FieldPart* Item(std::int64_t position) const;
  std::int32_t Count() const noexcept { return static_cast<std::int32_t>(parts_.size()); }
  // Removes the part at a 1-based position; a position that is not there
  // raises error 5 (invalid procedure call or argument), as the runtime's
  // collections do.
  void Remove(std::int64_t position);
  // Removes all parts, from the last to the first.
  void Clear() noexcept;

  const_iterator begin() const noexcept { return parts_.begin(); }
  const_iterator end() const noexcept { return parts_.end(); }

  // tessel::NameValueList::HashOf of each part's FieldName as parsed, in
  // part order, for lookups that need not hash the name again; empty when
  // a part may have been changed since (through the non-const Item).
  const std::vector<std::size_t>& FieldNameHashes() const noexcept { return fieldNameHashes_; }

  // Diagnostic: one line per part, written to the library's trace (level 2)
  // and returned. Nothing else reads these lines.
  //   Literal:       'text'
  //   Date/time:     FORMAT
  //   Field:      NAME  trim,wrap{40},date{F},lookup{a=b;},numeric{F},strip{S}
  std::vector<std::string> DisplayAllParts() const;

 private:
  std::vector<FieldPart> parts_;
  std::vector<std::size_t> fieldNameHashes_;
};

}  // namespace marrow
