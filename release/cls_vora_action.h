// clsVoraAction: turns one released document into one output record.
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
// ProcessDocument then appends the record of the translated list to the
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
//   "_Common"               the constant of GetConstantCommonFromMappings
//
// Mapping files are parsed once and kept in the batch data's MappingCache;
// every use checks the file on disk, so an edited file takes effect with the
// next document. A file that cannot be loaded fails the document with a
// description naming the file and the reason.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "host/host_release_data.h"
#include "host/tessel/name_value_list.h"
#include "quillon_export.h"
#include "release/cls_batch_data.h"

namespace marrow {
class FieldMappings;
}

namespace quillon {

using FieldList = std::shared_ptr<tessel::NameValueList>;

class QUILLON_API clsVoraAction {
 public:
  // Runs the three translation levels over `VoraFields` (replaced by the
  // translated list) and returns it; also leaves it in BatchData's
  // gVoraDocFields. With an empty "Mappings Directory" the list is returned
  // untranslated and gVoraDocFields stays empty. With `bTranslate` true the
  // service lines are generated (at most once). Failures are logged and
  // passed on with their number and description and source "GetVoraFields".
  FieldList GetVoraFields(const HostReleaseData& oReldata, FieldList& VoraFields,
                          bool bTranslate = false);

  // The "_Common" value of the first class that matches
  // ("_Type" = strBatchType, "_Fields" = "true") and yields one; "" when none
  // does. `DataMappingsFile` is a file name, or the XML itself when strType is
  // "XMLSTR". Failures: 501 "GetConstantCommonFromMappings".
  std::string GetConstantCommonFromMappings(std::string_view DataMappingsFile,
                                            std::string_view strBatchType,
                                            std::string_view strType = {});

  // Adds the host's released values (destination, value) in the host's order
  // and makes the list the batch data's gVoraSetupFields.
  FieldList AddSetupFields(const HostReleaseData& oReldata, FieldList Fields);

  // Adds the batch-level fields ("Batch Class Name", "Batch ID",
  // "Batch Description", "Batch Name", "Document Class ID",
  // "Document Class Name") and translates them without service lines.
  FieldList InitialiseFields(const HostReleaseData& oReldata, FieldList Fields);

  // Logs the host's value collection. Failures: 501 "DumpHalvoVars".
  void DumpHalvoVars(const HostValues& oValues);

  // Appends the record of BatchData's gVoraDocFields to the batch text and
  // updates the document's status record. `VoraFields` is not read.
  // Failures: 7000 "ProcessDocument".
  void ProcessDocument(const FieldList& VoraFields, const HostReleaseData& oReldata);

  // Service lines (see cls_vora_action_service_lines.cpp).
  std::string GenerateServiceLines(const tessel::NameValueList& VoraFields);
  tessel::NameValueList PopulateServiceLines(std::string_view FieldName,
                                             std::string_view ReqFieldName,
                                             const tessel::NameValueList& VoraFields);

  const std::shared_ptr<clsBatchData>& BatchData() const noexcept { return batchData_; }
  void SetBatchData(std::shared_ptr<clsBatchData> batchData) { batchData_ = std::move(batchData); }

 private:
  clsBatchData& Batch();
  const marrow::FieldMappings& Expression(std::string_view name, const std::string& expression,
                                          marrow::FieldMappings& fm);

  std::shared_ptr<clsBatchData> batchData_;
  std::shared_ptr<const marrow::FieldMappings> expressionHold_;
};

// The number of "~" in a record; the empty text counts -1.
QUILLON_API std::int32_t CountSegments(std::string_view text);

}  // namespace quillon
