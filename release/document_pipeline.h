// DocumentPipeline: turns one released document into one output record.
//
// A document's road through release/: its released values are collected
// (released_values.cpp), translated here through three levels of mapping
// classes with the claim's service lines (service_lines.cpp), and appended as
// a record to the batch (document_record.cpp); BatchState keeps the batch,
// batch_output.h writes its output file, and ReleaseScript drives it all.
//
// The document's released values run through three levels of mapping-class
// files found in the "Mappings Directory" custom property:
//
//   level 1  <dir>\DataMappings.xml
//   level 2  <dir>\FieldMappings.xml      (service lines are generated after a
//                                           matching class asks for them)
//   level 3  <dir>\FeedOutputMappings.xml
//
// At each level every class whose conditions hold translates the list in
// file order, each on the output of the one before, keeping unmapped fields.
// AppendDocumentRecord then appends the record of the translated list to the
// batch text when "_createFeed" is "YES" (any letter case).
//
// Reserved field names the mappings produce to steer the release:
//   "_generateServiceLine"  present: generate service lines after level 2
//   "_ServiceLineOutput"    template of one service line, replaced by the
//                           generated text
//   "_createFeed"           "YES" (any case): the document produces a record
//   "_outputString"         the record; its segments end with "~"
//   "_recordFooter"         appended after the record; "_NumOfSegments" in it
//                           becomes the record's segment count + 1
//   "STATUS"                copied into the document's status record
//   "_header", "_footer"    header and footer of the output file ("_docCount"
//                           in the footer becomes the document count)
//   "_outputFileName", "_outputDirectory"   where the output file goes
//   "_Common"               the constant of ConstantCommonFromMappings
//
// Mapping files are parsed once and kept in the batch state's MappingCache;
// every use checks the file on disk, so an edited file takes effect with the
// next document. A file that cannot be loaded fails the document with a
// description naming the file and the reason.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_release_data.h"
#include "host/tessel/name_value_list.h"
#include "quillon_export.h"
#include "release/batch_state.h"
#include "release/field_work_list.h"

namespace marrow {
class ConditionalMapping;
class FieldMappings;
}  // namespace marrow

namespace quillon {

using FieldList = std::shared_ptr<tessel::NameValueList>;

class QUILLON_API DocumentPipeline {
 public:
  // Runs the three translation levels over `fields` (replaced by the
  // translated list) and returns it; also leaves it in the batch state's
  // documentFields. With an empty "Mappings Directory" the list is returned
  // untranslated and documentFields stays empty. With `generateServiceLines`
  // true the service lines are generated (at most once). Failures are logged and
  // passed on with their number and description and source "GetVoraFields".
  FieldList TranslateDocument(const HostReleaseData& host, FieldList& fields,
                              bool generateServiceLines = false);

  // The "_Common" value of the first class that matches
  // ("_Type" = batchType, "_Fields" = "true") and yields one; "" when none
  // does. `mappingFileOrXml` is a file name, or the XML itself when
  // `sourceType` is "XMLSTR". Failures: 501 "GetConstantCommonFromMappings".
  std::string ConstantCommonFromMappings(std::string_view mappingFileOrXml,
                                         std::string_view batchType,
                                         std::string_view sourceType = {});

  // Adds the host's released values (destination, value) in the host's order
  // and makes the list the batch state's releasedValues (released_values.cpp,
  // as the two below).
  FieldList AddReleasedValues(const HostReleaseData& host, FieldList fields);

  // Adds the batch-level fields ("Batch Class Name", "Batch ID",
  // "Batch Description", "Batch Name", "Document Class ID",
  // "Document Class Name") and translates them without service lines.
  FieldList AddBatchFields(const HostReleaseData& host, FieldList fields);

  // Logs the host's value collection. Failures: 501 "DumpHalvoVars".
  void LogHostValues(const HostValues& values);

  // Appends the record of the batch state's documentFields to the batch text
  // and updates the document's status record (document_record.cpp). `fields`
  // is not read. Failures: 7000 "ProcessDocument".
  void AppendDocumentRecord(const FieldList& fields, const HostReleaseData& host);

  // Service lines (see service_lines.cpp): all lines of the document, and
  // the cells of one column for its qualifying rows.
  std::string GenerateServiceLines(const tessel::NameValueList& fields);
  tessel::NameValueList ServiceLineColumn(std::string_view templateField,
                                          std::string_view requirementsField,
                                          const tessel::NameValueList& fields);

  // The classes that applied at each level (index 0 = level 1) in the last
  // TranslateDocument, in the order they applied. For previews; the release
  // does not read them.
  using AppliedClasses =
      std::array<std::vector<std::shared_ptr<const marrow::ConditionalMapping>>, 3>;
  const AppliedClasses& LastAppliedClasses() const noexcept { return applied_; }

  // An empty field list for a document. Lists the pipeline handed out
  // before and that nobody holds any more are cleared and given again, so
  // the texts of one document are filled into the memory of an earlier one.
  FieldList NewList();

  // The batch state the pipeline works on (shared with the release script).
  const std::shared_ptr<BatchState>& Batch() const noexcept { return batch_; }
  void SetBatch(std::shared_ptr<BatchState> batch) { batch_ = std::move(batch); }

 private:
  // ServiceLineColumn into `column`, whose memory is kept.
  void FillServiceLineColumn(std::string_view templateField, std::string_view requirementsField,
                             const tessel::NameValueList& fields, tessel::NameValueList& column);
  // The batch state; raises when there is none.
  BatchState& RequireBatch();
  const marrow::FieldMappings& Expression(std::string_view name, const std::string& expression,
                                          marrow::FieldMappings& mappings);
  const std::string& RowExpression(std::string_view rowTemplate, bool columnTemplate,
                                   std::size_t number, std::size_t index);
  const marrow::FieldMappings* RowSet(std::string_view name, std::string_view rowTemplate,
                                      bool columnTemplate, std::size_t row,
                                      marrow::FieldMappings& mappings);

  // The parsed sets of the rows of one service-line template.
  struct RowTemplate {
    std::string name;
    std::string rowTemplate;
    bool columnTemplate = false;
    std::vector<std::shared_ptr<const marrow::FieldMappings>> rows;
  };

  std::shared_ptr<BatchState> batch_;
  std::shared_ptr<const marrow::FieldMappings> expressionHold_;
  AppliedClasses applied_;
  // The work list of the translation, its memory kept from document to
  // document.
  FieldWorkList work_;
  // Scratch space of the service lines, kept from document to document.
  std::string rowExpression_;
  std::vector<std::string> rowValues_;
  std::vector<RowTemplate> rowTemplates_;
  // The service lines' table and column, and the names they build.
  tessel::NameValueList serviceTable_;
  tessel::NameValueList serviceColumn_;
  std::string serviceNames_[3];
  // The hash codes of the released values' destinations, by position.
  std::vector<std::string> releasedNames_;
  std::vector<std::size_t> releasedHashes_;
  // The lists NewList handed out (a list with no other holder is free).
  std::vector<FieldList> keptLists_;
};

// The number of "~" in a record; the empty text counts -1.
QUILLON_API std::int32_t CountSegments(std::string_view text);

}  // namespace quillon
