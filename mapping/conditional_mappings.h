// ConditionalMapping and ConditionalMappings: mapping classes (a name, a
// condition list and a field mapping set) and their ordered, name-keyed
// collection with the mapping-class XML file:
//
//   <FieldMappings>
//     <MappingClass name="Medicare">
//       <Conditions><Condition field="PayerType" operator="equals" value="MC"
//                              connector="and"/></Conditions>
//       <Fields><Field name="Out" value="[In:trim]"/></Fields>
//     </MappingClass>
//   </FieldMappings>
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/tessel/name_value_list.h"
#include "mapping/conditions.h"
#include "mapping/field_mappings.h"
#include "marrow_export.h"

namespace marrow {

class MARROW_API ConditionalMapping {
 public:
  const std::string& Name() const noexcept { return name_; }
  void SetName(std::string_view name) { name_.assign(name); }
  Conditions& MapConditions() noexcept { return conditions_; }
  const Conditions& MapConditions() const noexcept { return conditions_; }
  std::string MapConditionsString() const;
  void SetMapConditionsString(std::string_view text);
  FieldMappings& FieldMaps() noexcept { return fieldMaps_; }
  const FieldMappings& FieldMaps() const noexcept { return fieldMaps_; }
  std::string FieldMapsString() const;
  void SetFieldMapsString(std::string_view text);

 private:
  std::string name_;
  Conditions conditions_;
  FieldMappings fieldMaps_;
};

class MARROW_API ConditionalMappings {
 public:
  using Container = std::vector<std::shared_ptr<ConditionalMapping>>;
  using const_iterator = Container::const_iterator;

  ConditionalMappings();
  ~ConditionalMappings();
  ConditionalMappings(const ConditionalMappings&) = delete;
  ConditionalMappings& operator=(const ConditionalMappings&) = delete;

  // By 1-based position or by class name (text is always a name); nullptr
  // when there is none.
  std::shared_ptr<ConditionalMapping> Item(std::int64_t position) const;
  std::shared_ptr<ConditionalMapping> Item(std::string_view name) const;
  std::int32_t Count() const noexcept;
  // Raises error 5 for a name or position that is not there.
  void Remove(std::int64_t position);
  void Remove(std::string_view name);
  void Clear() noexcept;
  const_iterator begin() const noexcept;
  const_iterator end() const noexcept;

  // Raises the duplicate-key error (457) for a name already present (any case).
  void Add(std::string_view className);

  // Empty the collection, then read the classes of a document. Failures
  // (source "ConditionalMappings.LoadFromXMLFile" / ".LoadFromXML"):
  //   - file unreadable: an XML_IO_* number (1524 no such file, 1512 larger
  //     than kMaxDocumentBytes), "Error loading mapping classes configuration
  //     file: cannot read file '<name>': <why>";
  //   - not well-formed, or refused (entity declarations, external DTD: 111;
  //     nesting deeper than 256: 1): the parser's code, "Error loading mapping
  //     classes configuration file: " (file) or "Error parsing mapping
  //     classes configuration string: " (text) + reason "(line N, column M)";
  //   - a missing required attribute: 6000, "Error parsing mapping classes
  //     configuration: <detail>"; an invalid field expression: its own error;
  //     a repeated class name: 457.
  // The classes read before the failing one stay in the collection.
  void LoadFromXMLFile(std::string_view fileName);
  void LoadFromXML(std::string_view xmlString);
  // UTF-8, no XML declaration, no white space between elements; CR, LF and
  // TAB in values are written as character references. A text that no XML
  // document can hold (a control character, bytes that are not UTF-8) fails
  // with error 5 (source "ConditionalMappings.SaveXML") and writes nothing.
  // SaveXMLFile replaces the file atomically (platform/file_replace.h): the
  // text goes into a temporary file beside it, which is then renamed over
  // it, so a failed or interrupted save leaves the old file whole. A file
  // without any write permission (read-only) is not replaced. A failure
  // gives an XML_IO_* number (source "ConditionalMappings.SaveXMLFile")
  // naming the file.
  void SaveXMLFile(std::string_view fileName) const;
  std::string SaveXMLString() const;

  // The translation of the first class whose conditions hold, plus
  // "_mapclassname"; the input's entries, copied as they are, when none
  // holds. Failures pass on with the source "TranslateFields".
  tessel::NameValueList TranslateFields(const tessel::NameValueList& inputData,
                                        bool includeUnmappedFields = false) const;

  // Where the last failed load stopped in its document: the line (and the
  // column, when the parser knows it) of the parse error, or of the element
  // that could not be read. 0 when unknown, and after a load that succeeded.
  std::int32_t LastLoadErrorLine() const noexcept;
  std::int32_t LastLoadErrorColumn() const noexcept;

  // Files and texts larger than this (10 MB) are refused before parsing: the
  // XML parser's own look-ahead limit, far above any real mapping-class file.
  static constexpr std::size_t kMaxDocumentBytes = 10000000;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace marrow
