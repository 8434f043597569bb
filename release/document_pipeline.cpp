#include "release/document_pipeline.h"

#include "mapping/conditional_mappings.h"
#include "platform/error.h"
#include "release/custom_properties.h"
#include "release/field_work_list.h"
#include "release/mapping_file_cache.h"
#include "release/release_errors.h"
#include "release/release_log.h"

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

FieldList DocumentPipeline::NewList() {
  // A handful covers a document: its released values, the placeholder and
  // the translated list, and the lists of the document before.
  constexpr std::size_t kKept = 6;
  for (FieldList& kept : keptLists_) {
    if (kept.use_count() == 1) {
      kept->Clear();
      return kept;
    }
  }
  FieldList list = std::make_shared<tessel::NameValueList>();
  if (keptLists_.size() < kKept) keptLists_.push_back(list);
  return list;
}

BatchState& DocumentPipeline::RequireBatch() {
  if (!batch_) {
    throw platform::Error(internal::kObjectNotSet, "clsVoraAction",
                          "The pipeline has no batch data");
  }
  return *batch_;
}

FieldList DocumentPipeline::TranslateDocument(const HostReleaseData& host, FieldList& fields,
                                              bool generateServiceLines) {
  std::string currentFile;
  std::string context;
  // Every applied class replaces the list by its translation with the
  // unmapped fields kept. The work list gives the same list without copying
  // it once per class; it is created by the first class that applies (until
  // then fields is the caller's list, untouched) and turned back into a
  // list at the end, or on a failure.
  FieldWorkList* work = nullptr;
  const auto settle = [&] {
    if (work != nullptr) {
      FieldList translated = NewList();
      work->TakeInto(*translated);
      fields = std::move(translated);
      work = nullptr;
    }
  };
  for (auto& level : applied_) level.clear();
  try {
    BatchState& batch = RequireBatch();
    batch.documentFields = NewList();

    const std::string directory =
        GetCustomPropertyValue(host.CustomProperties(), "Mappings Directory");
    if (directory.empty()) {
      LogLine(2, 1, "ProcessDocument: No mappings Directory specified. Bypassing Translations");
      return fields;
    }
    // The mapping files are looked at anew for this document.
    MappingFileCache& mappingFiles = batch.MappingCache();
    mappingFiles.BeginDocument();
    struct EndOfDocument {
      MappingFileCache& files;
      ~EndOfDocument() { files.EndDocument(); }
    } endOfDocument{mappingFiles};
    batch.dataMappingsFile = directory + "\\DataMappings" + ".xml";
    batch.fieldMappingsFile = directory + "\\FieldMappings" + ".xml";
    batch.outputMappingsFile = directory + "\\FeedOutputMappings" + ".xml";
    LogLine(2, 1, "ProcessDocument: mstrDataMappingsFile", batch.dataMappingsFile);

    const std::string* const files[3] = {&batch.dataMappingsFile, &batch.fieldMappingsFile,
                                         &batch.outputMappingsFile};
    for (int level = 1; level <= 3; ++level) {
      const LevelTexts& texts = kLevels[level - 1];
      currentFile = *files[level - 1];
      std::shared_ptr<const marrow::ConditionalMappings> classes;
      try {
        classes = mappingFiles.Load(currentFile);
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
            work ? work->List() : (fields ? *fields : EmptyList());
        if (!mappingClass->MapConditions().Evaluate(values)) continue;
        LogLine(2, 1, texts.match, mappingClass->Name());
        applied_[static_cast<std::size_t>(level - 1)].push_back(mappingClass);
        if (!fields) {
          throw platform::Error(internal::kObjectNotSet, "GetVoraFields",
                                "There is no field list to translate");
        }
        if (work == nullptr) {
          work_.Reset(*fields);
          work = &work_;
        }
        work->Apply(mappingClass->FieldMaps());
        if (level == 2 && generateServiceLines && work->List().Exists("_generateServiceLine")) {
          LogLine(2, 1, "GetVoraFields, Generating Service lines -------------");
          const std::string lines = GenerateServiceLines(work->List());
          work->Add("_ServiceLineOutput", lines);
          generateServiceLines = false;
        }
      }
    }
    settle();

    if (!fields) {
      LogLine(2, 1, "ProcessDocument: Final output collection is Nothing.");
    } else if (internal::LogOn()) {
      LogLine(2, 1, "ProcessDocument: Final output collection is ", fields->ToString(";", "="));
    }
    batch.documentFields = fields;
    return fields;
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

std::string DocumentPipeline::ConstantCommonFromMappings(std::string_view mappingFileOrXml,
                                                         std::string_view batchType,
                                                         std::string_view sourceType) {
  try {
    marrow::ConditionalMappings classes;
    if (sourceType == "XMLSTR") {
      classes.LoadFromXML(mappingFileOrXml);
    } else {
      classes.LoadFromXMLFile(mappingFileOrXml);
    }
    tessel::NameValueList input;
    input.Add("_Type", batchType);
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

}  // namespace quillon
