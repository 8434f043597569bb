// `quillon translate --mappings DIR [NAME=VALUE ...] [--fields FILE.json]
//                    [--json]`
// previews one document: its field values go through the three mapping
// levels of DIR (DataMappings.xml, FieldMappings.xml, FeedOutputMappings.xml)
// with service lines, exactly as a release translates a document, and the
// command prints the final field list and the record the document would add
// to the output file ("_outputString" followed by "_recordFooter", with
// "_NumOfSegments" replaced). Nothing is written anywhere.
//
// Output: one name=value per line in list order, an empty line, then
// "record:" and the record text, or "no record" with the reason. --json
// prints {"fields": {...}, "record": "..." or null}.
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
#include "host/host_release_data.h"
#include "platform/error.h"
#include "release/batch_output.h"
#include "release/batch_state.h"
#include "release/document_pipeline.h"

namespace quillon::app {
namespace {

struct TranslateOptions {
  std::string mappings;
  std::vector<std::string> fieldArgs;
  std::string fieldsFile;
  bool json = false;
};

constexpr const char* kExamples = R"(Examples:
  quillon translate --mappings examples/professional-claims/mappings --fields claim.json
  quillon translate --mappings mappings FormType=1500 "Procedure Code 1=99213" --json
The fields play the part of the document's released values (the names the
batch class's links give them).)";

// The host as far as one translated document needs it: the mappings
// directory and a document id for its status record.
class PreviewHost final : public HostReleaseData {
 public:
  explicit PreviewHost(std::string mappingsDirectory) : properties_(std::move(mappingsDirectory)) {}

  void ReportError(std::int32_t, std::int32_t, std::int32_t, const std::string&, const std::string&,
                   std::int32_t) override {}
  void ShowMessage(const std::string&, std::int32_t, std::int32_t) override {}
  std::string DocumentClassName() const override { return {}; }
  std::string BatchName() const override { return "preview"; }
  std::string BatchDescription() const override { return {}; }
  std::string BatchId() const override { return "preview"; }
  std::int32_t DocumentId() const override { return 1; }
  std::int32_t DocumentClassId() const override { return 0; }
  std::int32_t BatchClassNumber() const override { return 0; }
  const HostCustomProperties& CustomProperties() const override { return properties_; }
  const HostValues& Values() const override { return values_; }

 private:
  class Properties final : public HostCustomProperties {
   public:
    explicit Properties(std::string mappingsDirectory)
        : mappings_{"Mappings Directory", std::move(mappingsDirectory)} {}
    const HostCustomProperty& Item(std::string_view name) const override {
      if (name != mappings_.Name) {
        platform::Raise(platform::err::kInvalidProcedureCall, "CustomProperties",
                        "No custom property \"" + std::string(name) + "\" in a preview");
      }
      return mappings_;
    }

   private:
    HostCustomProperty mappings_;
  };
  class NoValues final : public HostValues {
   public:
    std::int32_t Count() const override { return 0; }
    const HostValue& Item(std::int32_t) const override {
      platform::Raise(platform::err::kSubscriptOutOfRange, "Values");
    }
  };

  Properties properties_;
  NoValues values_;
};

int Run(const TranslateOptions& options) {
  if (options.mappings.empty()) throw InputError("--mappings must name the mappings directory");
  FieldList fields =
      std::make_shared<tessel::NameValueList>(ReadFields(options.fieldArgs, options.fieldsFile));

  PreviewHost host(options.mappings);
  auto batch = std::make_shared<BatchState>();
  DocumentPipeline pipeline;
  pipeline.SetBatch(batch);
  ResetBatchStatus(host, *batch);
  AddDocumentStatus(host, *batch);
  // The same calls as a release of the document: the three levels with
  // service lines, then the record stage into the (in-memory) batch text.
  fields = pipeline.TranslateDocument(host, fields, true);
  pipeline.AppendDocumentRecord(fields, host);
  const bool written = batch->documentStatus->Item(DocumentStatusKey(1))->writtenToOutputFile;
  const std::string& record = batch->batchText;

  if (options.json) {
    using Json = nlohmann::ordered_json;
    Json object = Json::object();
    Json list = Json::object();
    for (const auto& item : *fields) list[item.Name()] = item.Value();
    object["fields"] = list;
    object["record"] = written ? Json(record) : Json(nullptr);
    std::cout << object.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
  } else {
    for (const auto& item : *fields) std::cout << item.Name() << "=" << item.Value() << "\n";
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
    60, "translate", "Preview one document through the three mapping levels and its record",
    [](CLI::App& sub) -> std::function<int()> {
      auto options = std::make_shared<TranslateOptions>();
      sub.add_option("--mappings", options->mappings,
                     "Mappings directory (DataMappings.xml, FieldMappings.xml, "
                     "FeedOutputMappings.xml)")
          ->required();
      AddFieldOptions(sub, options->fieldArgs, options->fieldsFile);
      sub.add_flag("--json", options->json, "Print the fields and the record as one JSON object");
      sub.footer(kExamples);
      return [options]() { return Run(*options); };
    });

}  // namespace
}  // namespace quillon::app
