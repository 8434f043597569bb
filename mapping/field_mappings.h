// FieldMappings: "Holds a collection of field mappings."
//
// An ordered set of (output name -> value expression) mappings. Keys ignore
// letter case. TranslateFields turns an input list into a new list with one
// entry per mapping, in set order, optionally followed by the input entries
// no mapping produced. Expressions are parsed once, when a mapping's value is
// set; translation never parses.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/tessel/name_value_list.h"
#include "marrow_export.h"

namespace marrow {

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
  // the first occurrence of a name wins.
  void AddFromString(std::string_view nameValueString, std::string_view pairDelimiter = ";",
                     std::string_view valueDelimiter = "=");
  // "Returns a string representation of the mappings contained in the collection."
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

  class const_iterator;
  const_iterator begin() const;
  const_iterator end() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace marrow
