#include "app/release_dry_run.h"

#include <iostream>
#include <memory>

#include "app/command.h"
#include "app/release_causes.h"
#include "platform/error.h"
#include "platform/native_path.h"
#include "platform/text.h"
#include "release/batch_output.h"
#include "release/batch_state.h"
#include "release/custom_properties.h"
#include "release/document_pipeline.h"

namespace quillon::app {
namespace {

using Json = nlohmann::ordered_json;

struct DocumentOutcome {
  std::int32_t id = 0;
  bool record = false;
  std::int32_t segments = 0;
  std::size_t bytes = 0;  // as written: one byte per character (Windows-1252)
  std::string noRecordReason;
  bool fails = false;
  std::int32_t number = 0;
  std::string message;
};

// What the first document that reaches the record stage fixes for the file.
struct HeaderSet {
  bool filled = false;
  std::string header;
  std::string footer;
  std::string fileName;
  std::string directory;
};

std::size_t BytesOf(std::string_view text) {
  return platform::text::ToWindows1252(text).size();
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace

int DryRun(FileHost& host, const std::vector<std::string>& causes, bool json, Json& summary) {
  host.PreviewInterchangeControlNumber();
  const HostCustomProperties& properties = host.CustomProperties();
  const bool perDocument =
      CustomPropertyExists(properties, "EDI Output") &&
      GetCustomPropertyValue(properties, "EDI Output") == "One EDI Per Document";

  auto batch = std::make_shared<BatchState>();
  DocumentPipeline pipeline;
  pipeline.SetBatch(batch);
  ResetBatchStatus(host, *batch);

  std::vector<DocumentOutcome> outcomes;
  HeaderSet headerSet;
  std::int32_t records = 0;
  std::int32_t documentsWithRecords = 0;
  for (std::int32_t position = 1; position <= host.DocumentCount(); ++position) {
    host.SelectDocument(position);
    DocumentOutcome outcome;
    outcome.id = host.DocumentId();
    try {
      AddDocumentStatus(host, *batch);
      FieldList fields =
          pipeline.AddReleasedValues(host, std::make_shared<tessel::NameValueList>());
      fields = pipeline.TranslateDocument(host, fields, true);
      const std::size_t textBefore = batch->batchText.Size();
      pipeline.AppendDocumentRecord(fields, host);
      const std::string record = batch->batchText.Substring(textBefore);
      const DocumentStatus* status = batch->documentStatus->Item(DocumentStatusKey(outcome.id));
      outcome.record = status != nullptr && status->writtenToOutputFile;
      if (outcome.record) {
        outcome.segments = CountSegments(record);
        outcome.bytes = BytesOf(record);
      } else {
        outcome.noRecordReason =
            "\"_createFeed\" is not \"YES\": " + Quoted(fields->ValueOr("_createFeed"));
      }
      if (!fields->Exists("_outputDirectory")) {
        // The release's own failure, number and text.
        throw platform::Error(6500, "ReleaseDoc", "The ouput directory is undefined");
      }
      ++documentsWithRecords;
      if (outcome.record) ++records;
      if (!headerSet.filled || perDocument) {
        headerSet.filled = true;
        headerSet.header = fields->ValueOr("_header");
        headerSet.footer = fields->ValueOr("_footer");
        headerSet.fileName = MakeValidFileName(fields->ValueOr("_outputFileName"));
        headerSet.directory = fields->ValueOr("_outputDirectory");
      }
    } catch (const platform::Error& e) {
      outcome.fails = true;
      outcome.number = e.Number();
      outcome.message = e.Description();
    }
    outcomes.push_back(std::move(outcome));
  }

  // The file a release would write (per batch), or the folder and name of
  // the one file per document.
  std::size_t fileBytes = 0;
  if (headerSet.filled) {
    for (const DocumentOutcome& outcome : outcomes) {
      if (!outcome.fails) fileBytes += outcome.bytes;
    }
    fileBytes += BytesOf(headerSet.header) +
                 BytesOf(platform::text::Replace(headerSet.footer, "_docCount",
                                                 std::to_string(documentsWithRecords)));
  }
  const std::string target =
      headerSet.filled ? platform::ToNativePath(headerSet.directory + "\\" + headerSet.fileName)
                       : std::string();
  std::vector<std::string> allCauses = causes;
  if (headerSet.filled) {
    if (const std::string problem = FolderProblem(headerSet.directory); !problem.empty()) {
      allCauses.push_back("the output folder " +
                          Quoted(platform::ToNativePath(headerSet.directory)) +
                          " cannot take the file: " + problem);
    }
  }
  bool fails = !allCauses.empty();
  for (const DocumentOutcome& outcome : outcomes) fails = fails || outcome.fails;

  if (json) {
    summary["batch"] = {{"id", host.Batch().Id},
                        {"name", host.Batch().Name},
                        {"documents", host.DocumentCount()},
                        {"interchangeControlNumber", host.InterchangeControlNumber()}};
    summary["causes"] = allCauses;
    Json documents = Json::array();
    for (const DocumentOutcome& outcome : outcomes) {
      Json document = {{"id", outcome.id}, {"record", outcome.record}};
      if (outcome.record) {
        document["segments"] = outcome.segments;
        document["bytes"] = outcome.bytes;
      }
      document["error"] = outcome.fails
                              ? Json{{"number", outcome.number}, {"description", outcome.message}}
                              : Json(nullptr);
      documents.push_back(std::move(document));
    }
    summary["documents"] = std::move(documents);
    summary["wouldWrite"] = headerSet.filled ? Json{{"file", target},
                                                    {"perDocument", perDocument},
                                                    {"records", records},
                                                    {"bytes", fileBytes}}
                                             : Json(nullptr);
    return fails ? kExitSomeFailed : kExitSuccess;
  }

  for (std::size_t i = causes.size(); i < allCauses.size(); ++i) {
    std::cout << "error: " << allCauses[i] << "\n";
  }
  std::cout << "dry run: nothing is written and no interchange control number is taken\n";
  std::cout << "batch " << host.Batch().Id << " (" << host.Batch().Name
            << "): " << host.DocumentCount() << " document"
            << (host.DocumentCount() == 1 ? "" : "s") << ", interchange control number "
            << host.InterchangeControlNumber() << " (the next one)\n";
  for (const DocumentOutcome& outcome : outcomes) {
    std::cout << "  document " << outcome.id << ": ";
    if (outcome.fails) {
      std::cout << "would fail: " << outcome.message << " (error " << outcome.number << ")\n";
    } else if (outcome.record) {
      std::cout << "record of " << outcome.segments << " segment"
                << (outcome.segments == 1 ? "" : "s") << ", " << outcome.bytes << " bytes\n";
    } else {
      std::cout << "no record (" << outcome.noRecordReason << ")\n";
    }
  }
  if (!headerSet.filled) {
    std::cout << "would write no file\n";
  } else if (perDocument) {
    std::cout << "would write one file per document into "
              << platform::ToNativePath(headerSet.directory) << " (the last: " << target << ")\n";
  } else {
    std::cout << "would write 1 file: " << target << " (or the next free name; " << fileBytes
              << " bytes: header, " << records << " record" << (records == 1 ? "" : "s")
              << ", footer)\n";
  }
  return fails ? kExitSomeFailed : kExitSuccess;
}

}  // namespace quillon::app
