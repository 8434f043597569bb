#include "release/cls_vora_action.h"

#include <algorithm>
#include <optional>

#include "mapping/conditional_mappings.h"
#include "platform/error.h"
#include "platform/text.h"
#include "release/custom_properties.h"
#include "release/field_work_list.h"
#include "release/mapping_file_cache.h"
#include "release/release_errors.h"
#include "release/release_log.h"
#include "release/vora_edi_output.h"

namespace quillon {

using internal::LogLine;

namespace {

struct LevelTexts {
  const char* start;
  const char* empty;
  const char* match;
};

constexpr LevelTexts kLevels[3] = {
    {"ProcessDocument: Doing Level 1 translation ", "GetVoraFields:  No level 1 translations.",
     "GetVoraFields, Level 1 xlate, effective data mapping is "},
    {"ProcessDocument: Doing Level 2 translation ", "GetVoraFields:  No level 2 translations.",
     "GetVoraFields, Level 2 xlate, effective data mapping is "},
    {"ProcessDocument: Doing Level 3 translation ", "GetVoraFields:  No level 3 translations.",
     "GetVoraFields, Level 3 xlate, effective data mapping is "},
};

const tessel::NameValueList& EmptyList() {
  static const tessel::NameValueList empty;
  return empty;
}

}  // namespace

std::int32_t CountSegments(std::string_view text) {
  if (text.empty()) return -1;
  return static_cast<std::int32_t>(std::count(text.begin(), text.end(), '~'));
}

clsBatchData& clsVoraAction::Batch() {
  if (!batchData_) {
    throw platform::Error(internal::kObjectNotSet, "clsVoraAction",
                          "The pipeline has no batch data");
  }
  return *batchData_;
}

FieldList clsVoraAction::GetVoraFields(const HostReleaseData& oReldata, FieldList& VoraFields,
                                       bool bTranslate) {
  std::string currentFile;
  std::string context;
  // Every applied class replaces the list by its translation with the
  // unmapped fields kept. The work list gives the same list without copying
  // it once per class; it is created by the first class that applies (until
  // then VoraFields is the caller's list, untouched) and turned back into a
  // list at the end, or on a failure.
  std::optional<FieldWorkList> work;
  const auto settle = [&] {
    if (work) {
      VoraFields = std::make_shared<tessel::NameValueList>(work->Materialize());
      work.reset();
    }
  };
  try {
    clsBatchData& batch = Batch();
    batch.gVoraDocFields = std::make_shared<tessel::NameValueList>();

    const std::string directory =
        GetCustomPropertyValue(oReldata.CustomProperties(), "Mappings Directory");
    if (directory.empty()) {
      LogLine(2, 1, "ProcessDocument: No mappings Directory specified. Bypassing Translations");
      return VoraFields;
    }
    batch.mstrDataMappingsFile = directory + "\\DataMappings" + ".xml";
    batch.mstrFieldMappingsFile = directory + "\\FieldMappings" + ".xml";
    batch.mstrOutputDataMappingsFile = directory + "\\FeedOutputMappings" + ".xml";
    LogLine(2, 1, "ProcessDocument: mstrDataMappingsFile", batch.mstrDataMappingsFile);

    const std::string* const files[3] = {&batch.mstrDataMappingsFile, &batch.mstrFieldMappingsFile,
                                         &batch.mstrOutputDataMappingsFile};
    for (int level = 1; level <= 3; ++level) {
      const LevelTexts& texts = kLevels[level - 1];
      currentFile = *files[level - 1];
      std::shared_ptr<const marrow::ConditionalMappings> classes;
      try {
        classes = batch.MappingCache().Load(currentFile);
      } catch (const platform::Error& e) {
        // A mapping file that cannot be read fails the document here, naming
        // the file, rather than handing on no list at all.
        throw platform::Error(
            e.Number(), e.Source(),
            "Cannot load the mapping file \"" + currentFile + "\": " + e.Description(),
            e.HelpFile(), e.HelpContext());
      }
      LogLine(2, 1, texts.start, classes->Count());
      if (classes->Count() == 0) {
        LogLine(2, 1, texts.empty);
        continue;
      }
      context = "checking for matching data translations";
      for (const auto& mappingClass : *classes) {
        const tessel::NameValueList& values =
            work ? work->List() : (VoraFields ? *VoraFields : EmptyList());
        if (!mappingClass->MapConditions().Evaluate(values)) continue;
        LogLine(2, 1, texts.match, mappingClass->Name());
        if (!VoraFields) {
          throw platform::Error(internal::kObjectNotSet, "GetVoraFields",
                                "There is no field list to translate");
        }
        if (!work) work.emplace(*VoraFields);
        work->Apply(mappingClass->FieldMaps().TranslateFields(work->List(), false));
        if (level == 2 && bTranslate && work->List().Exists("_generateServiceLine")) {
          LogLine(2, 1, "GetVoraFields, Generating Service lines -------------");
          const std::string lines = GenerateServiceLines(work->List());
          work->Add("_ServiceLineOutput", lines);
          bTranslate = false;
        }
      }
    }
    settle();

    if (!VoraFields) {
      LogLine(2, 1, "ProcessDocument: Final output collection is Nothing.");
    } else if (internal::LogOn()) {
      LogLine(2, 1, "ProcessDocument: Final output collection is ", VoraFields->ToString(";", "="));
    }
    batch.gVoraDocFields = VoraFields;
    return VoraFields;
  } catch (const std::exception& caught) {
    const platform::Error e = internal::AsError(caught, "GetVoraFields");
    try {
      settle();
    } catch (...) {
      // Out of memory while rebuilding: the failure below is what counts.
    }
    LogLine(2, 1, "GetVoraFields: ", currentFile, " Error Context :  ", context,
            " : Err number :", e.Number(), " : ", e.Description());
    throw platform::Error(e.Number(), "GetVoraFields", e.Description(), e.HelpFile(),
                          e.HelpContext());
  }
}

std::string clsVoraAction::GetConstantCommonFromMappings(std::string_view DataMappingsFile,
                                                         std::string_view strBatchType,
                                                         std::string_view strType) {
  try {
    marrow::ConditionalMappings classes;
    if (strType == "XMLSTR") {
      classes.LoadFromXML(DataMappingsFile);
    } else {
      classes.LoadFromXMLFile(DataMappingsFile);
    }
    tessel::NameValueList input;
    input.Add("_Type", strBatchType);
    input.Add("_Fields", "true");
    for (const auto& mappingClass : classes) {
      if (!mappingClass->MapConditions().Evaluate(input)) continue;
      const tessel::NameValueList output = mappingClass->FieldMaps().TranslateFields(input, false);
      if (const tessel::NameValue* common = output.Item(std::string_view("_Common"))) {
        return common->Value();
      }
    }
    return {};
  } catch (const std::exception& caught) {
    const platform::Error e = internal::AsError(caught, "GetConstantCommonFromMappings");
    throw platform::Error(501, "GetConstantCommonFromMappings", e.Description());
  }
}

FieldList clsVoraAction::AddSetupFields(const HostReleaseData& oReldata, FieldList Fields) {
  if (!Fields) Fields = std::make_shared<tessel::NameValueList>();
  const HostValues& values = oReldata.Values();
  const std::int32_t count = values.Count();
  for (std::int32_t i = 1; i <= count; ++i) {
    const HostValue& value = values.Item(i);
    Fields->Add(value.Destination, value.Value);
  }
  Batch().gVoraSetupFields = Fields;
  return Fields;
}

FieldList clsVoraAction::InitialiseFields(const HostReleaseData& oReldata, FieldList Fields) {
  if (!Fields) Fields = std::make_shared<tessel::NameValueList>();
  Fields->Add("Batch Class Name", std::to_string(oReldata.BatchClassNumber()));
  Fields->Add("Batch ID", oReldata.BatchId());
  Fields->Add("Batch Description", oReldata.BatchDescription());
  Fields->Add("Batch Name", oReldata.BatchName());
  Fields->Add("Document Class ID", std::to_string(oReldata.DocumentClassId()));
  Fields->Add("Document Class Name", oReldata.DocumentClassName());
  return GetVoraFields(oReldata, Fields, false);
}

void clsVoraAction::DumpHalvoVars(const HostValues& oValues) {
  try {
    LogLine(2, 1, ">>>>> Halvo Index Field Values <<<<<<");
    const std::int32_t count = oValues.Count();
    for (std::int32_t i = 1; i <= count; ++i) {
      const HostValue& value = oValues.Item(i);
      LogLine(2, 1, "Dest: ", value.Destination, ", Value: ", value.Value,
              ", Source: ", value.SourceName, ", SourceType: ", value.SourceType, ", DataType: ");
    }
  } catch (const std::exception& caught) {
    const platform::Error e = internal::AsError(caught, "DumpHalvoVars");
    throw platform::Error(501, "DumpHalvoVars", e.Description());
  }
}

void clsVoraAction::ProcessDocument(const FieldList& /*VoraFields*/,
                                    const HostReleaseData& oReldata) {
  std::string context;
  try {
    clsBatchData& batch = Batch();
    if (!batch.clnBatchDocStatus) internal::RaiseNotPrepared("ProcessDocument");
    const std::int32_t id = oReldata.DocumentId();
    VoraBatchStats* status = batch.clnBatchDocStatus->Item(BatchDocStatusKey(id));
    if (status == nullptr) {
      platform::Raise(platform::err::kInvalidProcedureCall, "ProcessDocument",
                      "Document " + std::to_string(id) + " has no status record in this batch");
    }
    if (!batch.gVoraDocFields) {
      throw platform::Error(internal::kObjectNotSet, "ProcessDocument",
                            "The document has no translated field list");
    }
    tessel::NameValueList& fields = *batch.gVoraDocFields;

    const tessel::NameValue* feed = fields.Item(std::string_view("_createFeed"));
    if (feed != nullptr && platform::text::UCase(feed->Value()) == "YES") {
      ++batch.gbDocCount;
      const tessel::NameValue* record = fields.Item(std::string_view("_outputString"));
      if (record == nullptr) {
        throw platform::Error(112, "ProcessDocument",
                              "The document asks for a record (\"_createFeed\" is \"" +
                                  feed->Value() + "\") but has no \"_outputString\"");
      }
      const std::int32_t segments = CountSegments(record->Value());
      if (const tessel::NameValue* footer = fields.Item(std::string_view("_recordFooter"))) {
        std::string replaced = platform::text::Replace(footer->Value(), "_NumOfSegments",
                                                       std::to_string(segments + 1));
        fields.Add("_recordFooter", replaced);
      }
      context = "Calling ProcessDocOutputFile to write record in the output file";
      LogLine(2, 1, "ProcessDocument: writing data to file : ", fields.Count());
      ProcessDocOutputFile(fields, &oReldata, batch);
      status->WrittenToOutputFile = true;
      status->Released = true;
    } else {
      status->WrittenToOutputFile = false;
      status->Released = true;
    }
    if (const tessel::NameValue* value = fields.Item(std::string_view("STATUS"))) {
      status->StatusFieldValue = value->Value();
    }
  } catch (const std::exception& caught) {
    const platform::Error e = internal::AsError(caught, "ProcessDocument");
    LogLine(2, 1, "GetExport: Error Context :  ", context, " : Err number :", e.Number(), " : ",
            e.Description());
    throw platform::Error(7000, "ProcessDocument", e.Description());
  }
}

}  // namespace quillon
