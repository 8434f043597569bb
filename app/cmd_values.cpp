// `quillon values BATCH.json [--batch-class FILE] [--json]`: shows the values
// that the host would release for every document of a batch, so that an
// administrator can check the links of a batch class before releasing.
//
// The interchange control number shown is the one the next release would
// reserve; this command only peeks at the counter and never takes a number.
#include <iostream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "app/command.h"
#include "host/file_host.h"

namespace quillon::app {
namespace {

struct ValuesOptions {
  std::string batchFile;
  std::string batchClassFile;
  bool json = false;
};

void PrintText(FileHost& host, std::ostream& out) {
  out << "batch " << host.BatchId() << " (" << host.BatchName() << "), batch class "
      << host.BatchClass().Name << ", " << host.DocumentCount() << " document"
      << (host.DocumentCount() == 1 ? "" : "s") << "\n";
  for (std::int32_t d = 1; d <= host.DocumentCount(); ++d) {
    host.SelectDocument(d);
    out << "document " << host.DocumentId() << " (" << host.DocumentClassName() << "):\n";
    const HostValues& values = host.Values();
    for (std::int32_t i = 1; i <= values.Count(); ++i) {
      out << "  " << values.Item(i).Destination << " = " << values.Item(i).Value << "\n";
    }
  }
}

void PrintJson(FileHost& host, std::ostream& out) {
  using Json = nlohmann::ordered_json;
  Json batch = Json::object();
  batch["id"] = host.BatchId();
  batch["name"] = host.BatchName();
  batch["description"] = host.BatchDescription();
  batch["classNumber"] = host.BatchClassNumber();
  batch["batchClass"] = host.BatchClass().Name;
  batch["batchClassFile"] = host.BatchClassFilePath();
  Json documents = Json::array();
  for (std::int32_t d = 1; d <= host.DocumentCount(); ++d) {
    host.SelectDocument(d);
    Json values = Json::array();
    const HostValues& hostValues = host.Values();
    for (std::int32_t i = 1; i <= hostValues.Count(); ++i) {
      const HostValue& v = hostValues.Item(i);
      values.push_back({{"destination", v.Destination},
                        {"value", v.Value},
                        {"sourceType", v.SourceType},
                        {"source", v.SourceName}});
    }
    documents.push_back({{"id", host.DocumentId()},
                         {"className", host.DocumentClassName()},
                         {"classId", host.DocumentClassId()},
                         {"values", std::move(values)}});
  }
  Json root = Json::object();
  root["batch"] = std::move(batch);
  root["documents"] = std::move(documents);
  out << root.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
}

const bool registered = RegisterCommand(
    10, "values", "Show the values the host releases for each document of a batch",
    [](CLI::App& sub) -> std::function<int()> {
      auto options = std::make_shared<ValuesOptions>();
      sub.add_option("batch", options->batchFile, "Batch file (JSON)")->required();
      sub.add_option("--batch-class", options->batchClassFile,
                     "Batch-class file to use instead of the one the batch names");
      sub.add_flag("--json", options->json, "Print JSON instead of text");
      return [options]() {
        FileHost host(options->batchFile, options->batchClassFile);
        // Shows the next number without taking it.
        host.PreviewInterchangeControlNumber();
        if (options->json) {
          PrintJson(host, std::cout);
        } else {
          PrintText(host, std::cout);
        }
        std::cout.flush();
        if (!std::cout) {
          std::cerr << "error: the values could not be written to standard output\n";
          return static_cast<int>(kExitSomeFailed);
        }
        return static_cast<int>(kExitSuccess);
      };
    });

}  // namespace
}  // namespace quillon::app
