// FieldMappings: "Holds a collection of field mappings."
//
// An ordered set of (output name -> value expression) mappings. Keys ignore
// letter case. TranslateFields turns an input list into a new list with one
// entry per mapping, in set order, optionally followed by the input entries
// no mapping produced. Expressions are parsed once, when a mapping's value is
// set; translation never parses. The expression notation and every modifier
// are described in docs/expressions.md.
//
// Example:
//   FieldMappings set;
//   set.AddFromString("Name=[Last], [First];Amount=[Amt:numeric{0.00}]");
//   tessel::NameValueList in;
//   in.AddFromString("Last=Doe;First=Jane;Amt=12.5");
//   set.TranslateFields(in).ToString();   // "Name=Doe, Jane;Amount=12.50"
//
// Translation rules:
//   - A field part whose input field is missing contributes nothing (its
//     modifiers do not run); the mapping's entry is still produced.
//   - Every date/time part of one call shows the same instant.
//   - "_newLineChar" (exact case): a value of Y or LF (any case) becomes a
//     line feed, CR becomes CR LF, anything else the empty text.
//   - "_outputString" (exact case): the input entries Replace_1, Replace_2, ...
//     (up to the first missing number) each hold "search|replacement";
//     every occurrence of the search text is replaced, and the replacement
//     repeats while the text still holds the search text. Cases that would
//     never end are cut short:
//       * an empty search text: the pair is skipped;
//       * a replacement at least as long as the search text (which includes
//         one that contains it): one pass only, since repeating could never
//         end or could grow the text without bound ('ab|bba');
//       * a shorter replacement repeats until no occurrence is left (every
//         pass shortens the text, so this always ends).
//   - Unmapped input entries (IncludeUnmappedFields) are copied as they are,
//     entry by entry; values holding ";" or "=" stay intact.
//
// Failures (platform::Error, no partial result):
//   Add/AddFromString: the parse failures of a value (13, 6); mappings added
//     before stay.
//   TranslateFields: the modifier failures (9, 5, 6; field_modifiers.h); a
//     Replace_ entry without "|" or empty (9); Replace_ entries numbered up
//     to 32767 (the counter overflows: 6).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/tessel/name_value_list.h"
#include "marrow_export.h"

namespace marrow {

class ExpressionEvaluator;
class FieldMapping;

class MARROW_API FieldMappings {
 public:
  using Container = std::vector<std::unique_ptr<FieldMapping>>;

  FieldMappings();
  ~FieldMappings();
  FieldMappings(const FieldMappings&) = delete;
  FieldMappings& operator=(const FieldMappings&) = delete;
  FieldMappings(FieldMappings&&) noexcept;
  FieldMappings& operator=(FieldMappings&&) noexcept;

  // "Adds a field mapping definition (name/value pair) to the collection."
  // A blank name adds nothing; an existing name (any case) gets the new value.
  void Add(std::string_view name, std::string_view value);
  // "Adds items to the collection from a string list of items." Clears first;
  // the first occurrence of a name wins. Names are neither trimmed nor checked
  // for blanks; an item without the value delimiter, or with an empty name, is
  // skipped. Every value is parsed, even one whose name is already taken.
  void AddFromString(std::string_view nameValueString, std::string_view pairDelimiter = ";",
                     std::string_view valueDelimiter = "=");
  // "Returns a string representation of the mappings contained in the collection."
  // 'Name1=Value1;Name2=Value2'; any failure gives the empty text.
  std::string ToString(std::string_view pairDelimiter = ";",
                       std::string_view valueDelimiter = "=") const;
  // "Removes all members from the collection."
  void Clear();

  bool Exists(std::string_view name) const;
  // The mapping stored under that key, or nullptr.
  const FieldMapping* Item(std::string_view name) const;
  std::int32_t Count() const;

  // "Performs the translations of the included fields based on the values
  // provided as input."
  tessel::NameValueList TranslateFields(const tessel::NameValueList& inputData,
                                        bool includeUnmappedFields = false) const;
  // The values TranslateFields(inputData, false) would give, without the
  // list: values[i] becomes the value of the i-th mapping (in set order,
  // names as the iterator gives them). `values` grows to Count() entries
  // when it is shorter; its strings are overwritten, so their memory is
  // reused from call to call. The same failures as TranslateFields; the
  // values of a failed call are unspecified.
  void TranslateValues(const tessel::NameValueList& inputData,
                       std::vector<std::string>& values) const;

  // Diagnostic: the FieldParts::DisplayAllParts lines of the mapping stored
  // under that key (none when there is no such mapping). They also go to the
  // library's trace.
  std::vector<std::string> DisplayAllParts(std::string_view name) const;

  // Iterates the mappings (const FieldMapping&, mapping/field_mapping.h) in
  // order.
  class const_iterator;
  const_iterator begin() const;
  const_iterator end() const;

 private:
  // The value of one mapping into `out` (emptied first).
  static void Translate(const FieldMapping& mapping, const tessel::NameValueList& inputData,
                        ExpressionEvaluator& evaluator, std::string& out);

  Container items_;
  // Case-folded name -> 0-based position in items_.
  std::unordered_map<std::string, std::size_t> index_;
};

class FieldMappings::const_iterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = FieldMapping;
  using difference_type = std::ptrdiff_t;
  using pointer = const FieldMapping*;
  using reference = const FieldMapping&;

  const_iterator() = default;
  explicit const_iterator(Container::const_iterator it) : it_(it) {}
  reference operator*() const { return **it_; }
  pointer operator->() const { return it_->get(); }
  const_iterator& operator++() {
    ++it_;
    return *this;
  }
  const_iterator operator++(int) {
    const_iterator before = *this;
    ++it_;
    return before;
  }
  friend bool operator==(const const_iterator& a, const const_iterator& b) {
    return a.it_ == b.it_;
  }

 private:
  Container::const_iterator it_;
};

inline FieldMappings::const_iterator FieldMappings::begin() const {
  return const_iterator(items_.begin());
}
inline FieldMappings::const_iterator FieldMappings::end() const {
  return const_iterator(items_.end());
}

}  // namespace marrow
