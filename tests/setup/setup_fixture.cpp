#include "setup/setup_fixture.h"

#include <nlohmann/json.hpp>

namespace quillon::setup_testing {

namespace fs = std::filesystem;

std::string BatchClassText::Json() const {
  nlohmann::ordered_json root;
  root["name"] = "Claims";
  nlohmann::ordered_json props = nlohmann::ordered_json::object();
  for (const auto& [name, value] : properties) props[name] = value;
  root["customProperties"] = props;
  root["indexFields"] = indexFields;
  root["batchFields"] = batchFields;
  root["hostVariables"] = hostVariables;
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const auto& [destination, type, source] : links) {
    list.push_back({{"destination", destination}, {"sourceType", type}, {"source", source}});
  }
  root["links"] = list;
  return root.dump(2) + "\n";
}

std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), folder).string()] =
          testing_support::ReadFile(entry.path().string());
    }
  }
  return files;
}

LogCapture::LogCapture() {
  tessel::Logger& logger = NewGlobalLogger();
  logger.LogFolder(dir_.str());
  logger.LogFileName("setup");
  logger.LogSetting(50);
}

LogCapture::~LogCapture() {
  NewGlobalLogger();
}

std::string LogCapture::Text() const {
  GlobalLogger().Flush();
  std::error_code ec;
  if (!fs::exists(dir_.Child("setup.log"), ec)) return {};
  return testing_support::ReadFile(dir_.Child("setup.log"));
}

platform::MessageAnswer RecordingBoxes::Show(const platform::MessageBoxRequest& request) {
  const platform::MessageAnswer answer = scripted_.Show(request);
  if (events_ != nullptr) {
    const bool question = request.buttons != platform::MessageButtons::kOk;
    std::string line =
        (question ? "ask " : "show ") + request.text.substr(0, request.text.find('\r'));
    if (question) line += answer == platform::MessageAnswer::kYes ? " -> yes" : " -> no";
    events_->push_back(line);
  }
  return answer;
}

std::vector<std::string> RecordingBoxes::Texts() const {
  std::vector<std::string> texts;
  for (const auto& request : scripted_.shown) texts.push_back(request.text);
  return texts;
}

SetupDialogTest::SetupDialogTest() {
  dir_.Write("maps/DataMappings.xml", MappingDocument("Data"));
  dir_.Write("maps/FieldMappings.xml", MappingDocument("Field"));
  dir_.Write("maps/FeedOutputMappings.xml", MappingDocument("Output"));
  WriteBatchClass(DefaultClass());
}

BatchClassText SetupDialogTest::DefaultClass() const {
  BatchClassText text;
  text.properties = {{"Mappings Directory", MappingsDir()},
                     {"Logging Directory", ""},
                     {"Working Directory", ""},
                     {"EDI Output", "One EDI Per Batch"},
                     {"Enable Logging", "0"}};
  return text;
}

void SetupDialogTest::Open() {
  dialog_.reset();
  setup_ = std::make_unique<FileSetupData>(ClassFile());
  dialog_ = std::make_unique<SetupController>(data_, field_, output_, folders_, documents_);
  dialog_->ShowForm(*setup_);
}

}  // namespace quillon::setup_testing
