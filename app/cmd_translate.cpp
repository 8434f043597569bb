// `quillon translate --mappings DIR [NAME=VALUE ...] [--fields FILE.json]
//                    [--json]`
// `quillon translate --batch BATCH.json [--document ID] [--mappings DIR] ...`
// previews one document: its field values go through the three mapping
// levels of DIR (DataMappings.xml, FieldMappings.xml, FeedOutputMappings.xml)
// with service lines, exactly as a release translates a document: at each
// level every class whose conditions hold applies, in file order, each on
// the result of the one before (`quillon map` applies only the first
// matching class of one file). The command prints the final field list, the
// classes that applied at each level, and the record the document would add
// to the output file ("_outputString" followed by "_recordFooter", with
// "_NumOfSegments" replaced). Nothing is written anywhere.
//
// With --batch the document comes from a batch file: its released values as
// the stand-in host gives them (values --json shows the same), and the
// mappings directory of its batch class unless --mappings names another.
// NAME=VALUE arguments and --fields add to or replace those values.
//
// Output: one name=value per line in list order, an empty line, one line per
// level ("level 1 DataMappings.xml: Claim, Dates" or "...: no class
// applied"), an empty line, then "record:" and the record text, or "no
// record" with the reason. --json prints {"fields": {...}, "levels": [{"file":
// ..., "classes": [...]}, ...], "record": "..." or null}.
//
// A mapping file that cannot be loaded or a translation that fails prints
// "error NUMBER: DESCRIPTION" and exits with 2.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/command.h"
#include "app/field_args.h"
#include "host/file_host.h"
#include "host/host_release_data.h"
#include "mapping/conditional_mappings.h"
#include "platform/error.h"
#include "platform/text.h"
#include "release/batch_output.h"
#include "release/batch_state.h"
#include "release/document_pipeline.h"

namespace quillon::app {
namespace {

struct TranslateOptions {
  std::string mappings;
  std::string batchFile;
  std::int32_t documentId = 0;
  bool documentGiven = false;
  std::vector<std::string> fieldArgs;
  std::string fieldsFile;
  bool json = false;
};

constexpr const char* kExamples = R"(Examples:
  quillon translate --mappings examples/professional-claims/mappings --fields claim.json
  quillon translate --mappings mappings FormType=1500 "Procedure Code 1=99213" --json
  quillon translate --batch examples/professional-claims/batch.json --document 1003
The fields play the part of the document's released values (the names the
batch class's links give them). Every matching class of a level applies, as
in a release; `quillon map` applies only the first matching class of a file.)";

constexpr const char* kLevelFiles[] = {"DataMappings.xml", "FieldMappings.xml",
                                       "FeedOutputMappings.xml"};

// The custom properties a preview needs: the mappings directory, and
// whatever the batch's host has besides.
class PreviewProperties final : public HostCustomProperties {
 public:
  PreviewProperties(std::string mappingsDirectory, const HostCustomProperties* base)
      : mappings_{"Mappings Directory", std::move(mappingsDirectory)}, base_(base) {}
  const HostCustomProperty& Item(std::string_view name) const override {
    if (platform::text::EqualsCaseless(name, mappings_.Name) && !mappings_.Value.empty()) {
      return mappings_;
    }
    if (base_ == nullptr) {
      platform::Raise(platform::err::kInvalidProcedureCall, "CustomProperties",
                      "No custom property \"" + std::string(name) + "\" in a preview");
    }
    return base_->Item(name);
  }

 private:
  HostCustomProperty mappings_;
  const HostCustomProperties* base_;
};

// The host as far as one translated document needs it: the batch's host
// when there is one, with the mappings directory of --mappings.
class PreviewHost final : public HostReleaseData {
 public:
  PreviewHost(std::string mappingsDirectory, FileHost* base)
      : base_(base),
        properties_(std::move(mappingsDirectory), base ? &base->CustomProperties() : nullptr) {}

  void ReportError(std::int32_t, std::int32_t, std::int32_t, const std::string&, const std::string&,
                   std::int32_t) override {}
  void ShowMessage(const std::string&, std::int32_t, std::int32_t) override {}
  std::string DocumentClassName() const override {
    return base_ ? base_->DocumentClassName() : std::string();
  }
  std::string BatchName() const override { return base_ ? base_->BatchName() : "preview"; }
  std::string BatchDescription() const override {
    return base_ ? base_->BatchDescription() : std::string();
  }
  std::string BatchId() const override { return base_ ? base_->BatchId() : "preview"; }
  std::int32_t DocumentId() const override { return base_ ? base_->DocumentId() : 1; }
  std::int32_t DocumentClassId() const override { return base_ ? base_->DocumentClassId() : 0; }
  std::int32_t BatchClassNumber() const override { return base_ ? base_->BatchClassNumber() : 0; }
  const HostCustomProperties& CustomProperties() const override { return properties_; }
  const HostValues& Values() const override { return base_ ? base_->Values() : noValues_; }

 private:
  class NoValues final : public HostValues {
   public:
    std::int32_t Count() const override { return 0; }
    const HostValue& Item(std::int32_t) const override {
      platform::Raise(platform::err::kSubscriptOutOfRange, "Values");
    }
  };

  FileHost* base_;
  PreviewProperties properties_;
  NoValues noValues_;
};

// Moves the batch's host to the document with that id.
void SelectDocument(FileHost& host, const TranslateOptions& options) {
  if (host.DocumentCount() == 0)
    throw InputError(options.batchFile + ": the batch has no documents");
  if (!options.documentGiven) {
    if (host.DocumentCount() == 1) return;
    std::string ids;
    for (const BatchDocument& document : host.Batch().Documents) {
      ids += (ids.empty() ? "" : ", ") + std::to_string(document.Id);
    }
    throw InputError(options.batchFile + " holds " + std::to_string(host.DocumentCount()) +
                     " documents: name one with --document (" + ids + ")");
  }
  for (std::int32_t position = 1; position <= host.DocumentCount(); ++position) {
    host.SelectDocument(position);
    if (host.DocumentId() == options.documentId) return;
  }
  throw InputError(options.batchFile + ": no document with id " +
                   std::to_string(options.documentId));
}

int Run(const TranslateOptions& options) {
  std::unique_ptr<FileHost> batchHost;
  if (!options.batchFile.empty()) {
    batchHost = std::make_unique<FileHost>(options.batchFile);
    SelectDocument(*batchHost, options);
    // The values a release would see, without taking a number.
    batchHost->PreviewInterchangeControlNumber();
  } else if (options.documentGiven) {
    throw InputError("--document needs --batch");
  }
  if (options.mappings.empty() && !batchHost) {
    throw InputError("--mappings must name the mappings directory (or give --batch)");
  }

  PreviewHost host(options.mappings, batchHost.get());
  auto batch = std::make_shared<BatchState>();
  DocumentPipeline pipeline;
  pipeline.SetBatch(batch);
  ResetBatchStatus(host, *batch);
  AddDocumentStatus(host, *batch);
  FieldList fields = std::make_shared<tessel::NameValueList>();
  if (batchHost) fields = pipeline.AddReleasedValues(host, fields);
  for (const tessel::NameValue& item : ReadFields(options.fieldArgs, options.fieldsFile)) {
    fields->Add(item.Name(), item.Value());
  }
  // The same calls as a release of the document: the three levels with
  // service lines, then the record stage into the (in-memory) batch text.
  fields = pipeline.TranslateDocument(host, fields, true);
  pipeline.AppendDocumentRecord(fields, host);
  const bool written =
      batch->documentStatus->Item(DocumentStatusKey(host.DocumentId()))->writtenToOutputFile;
  const std::string record = batch->batchText.ToString();
  const DocumentPipeline::AppliedClasses& applied = pipeline.LastAppliedClasses();

  if (options.json) {
    using Json = nlohmann::ordered_json;
    Json object = Json::object();
    Json list = Json::object();
    for (const auto& item : *fields) list[item.Name()] = item.Value();
    object["fields"] = list;
    Json levels = Json::array();
    for (std::size_t level = 0; level < applied.size(); ++level) {
      Json classes = Json::array();
      for (const auto& mapping : applied[level]) classes.push_back(mapping->Name());
      levels.push_back({{"file", kLevelFiles[level]}, {"classes", std::move(classes)}});
    }
    object["levels"] = std::move(levels);
    object["record"] = written ? Json(record) : Json(nullptr);
    std::cout << object.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
  } else {
    for (const auto& item : *fields) std::cout << item.Name() << "=" << item.Value() << "\n";
    std::cout << "\n";
    for (std::size_t level = 0; level < applied.size(); ++level) {
      std::cout << "level " << level + 1 << " " << kLevelFiles[level] << ": ";
      if (applied[level].empty()) std::cout << "no class applied";
      for (std::size_t i = 0; i < applied[level].size(); ++i) {
        std::cout << (i ? ", " : "") << applied[level][i]->Name();
      }
      std::cout << "\n";
    }
    std::cout << "\n";
    if (written) {
      std::cout << "record:\n" << record << "\n";
    } else {
      std::cout << "no record (\"_createFeed\" is not \"YES\": \"" << fields->ValueOr("_createFeed")
                << "\")\n";
    }
  }
  return FinishOutput();
}

const bool registered = RegisterCommand(
    60, "translate",
    "Preview one document through the three mapping levels (every matching class, as a "
    "release) and its record",
    [](CLI::App& sub) -> std::function<int()> {
      auto options = std::make_shared<TranslateOptions>();
      sub.add_option("--mappings", options->mappings,
                     "Mappings directory (DataMappings.xml, FieldMappings.xml, "
                     "FeedOutputMappings.xml); with --batch, instead of the batch class's");
      sub.add_option("--batch", options->batchFile,
                     "Batch file: take the document's released values from it");
      sub.add_option_function<std::int32_t>(
          "--document",
          [options](const std::int32_t& id) {
            options->documentId = id;
            options->documentGiven = true;
          },
          "Id of the document of --batch (needed when the batch holds several)");
      AddFieldOptions(sub, options->fieldArgs, options->fieldsFile);
      sub.add_flag("--json", options->json,
                   "Print the fields, the classes of each level and the record as one JSON object");
      sub.footer(kExamples);
      return [options]() { return Run(*options); };
    });

}  // namespace
}  // namespace quillon::app
