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

  void LoadFromXMLFile(std::string_view fileName);
  void LoadFromXML(std::string_view xmlString);
  void SaveXMLFile(std::string_view fileName) const;
  std::string SaveXMLString() const;

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
