// Shared ground of the setup tests: a temporary folder holding a mappings
// directory with three valid mapping files and a batch-class file, the
// stand-in host's setup data over it, three headless editors and the dialog.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/file_setup_data.h"
#include "host/host_setup_data.h"
#include "host/tessel/logger.h"
#include "platform/os_services.h"
#include "release/global_logger.h"
#include "setup/setup_controller.h"
#include "setup/xml_text_editor.h"
#include "support/scripted_message_boxes.h"
#include "support/scripted_setup_services.h"
#include "support/temp_dir.h"

namespace quillon::setup_testing {

// Valid mapping files, one class each, named after their level.
inline std::string MappingDocument(const std::string& className) {
  return "<FieldMappings><MappingClass name=\"" + className +
         "\"><Fields><Field name=\"Out\" value=\"[In]\"/></Fields></MappingClass></FieldMappings>";
}

struct BatchClassText {
  std::vector<std::pair<std::string, std::string>> properties;
  std::vector<std::string> indexFields = {"Patient Name", "Total"};
  std::vector<std::string> batchFields = {"Payer"};
  std::vector<std::string> hostVariables = {"Batch ID", "Release Date"};
  // destination, type, source
  std::vector<std::tuple<std::string, int, std::string>> links = {
      {"PatientName", 0, "Patient Name"}};

  std::string Json() const;
};

// Every file below a folder with its content, to prove a refused save wrote
// nothing.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder);

// Writes the setup log of the test into a temporary folder while it lives.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  std::string Text() const;

 private:
  testing_support::TempDir dir_;
};

// The lines a save writes as messages and questions, in order, with the
// scripted answers.
class RecordingBoxes : public platform::MessageBoxService {
 public:
  explicit RecordingBoxes(std::vector<platform::MessageAnswer> answers = {},
                          std::vector<std::string>* events = nullptr)
      : scripted_(std::move(answers)), events_(events) {}
  platform::MessageAnswer Show(const platform::MessageBoxRequest& request) override;

  const std::vector<platform::MessageBoxRequest>& Shown() const { return scripted_.shown; }
  std::vector<std::string> Texts() const;

 private:
  testing_support::ScriptedMessageBoxes scripted_;
  std::vector<std::string>* events_;
};

class SetupDialogTest : public ::testing::Test {
 protected:
  SetupDialogTest();

  std::string MappingsDir() const { return dir_.Child("maps"); }
  std::string MappingFile(const char* name) const {
    return dir_.Child(std::string("maps/") + name);
  }
  // Writes the batch-class file (replacing it).
  void WriteBatchClass(const BatchClassText& text) { dir_.Write("class.json", text.Json()); }
  // Default properties: the mappings directory of the fixture, logging off,
  // no working directory, per batch.
  BatchClassText DefaultClass() const;

  // Loads the setup data and shows the dialog, as RunUI does.
  void Open();
  SetupController& Dialog() { return *dialog_; }
  FileSetupData& Host() { return *setup_; }
  std::string ClassFile() const { return dir_.Child("class.json"); }

  testing_support::TempDir dir_;
  XmlTextEditor data_;
  XmlTextEditor field_;
  XmlTextEditor output_;
  testing_support::ScriptedFolderPicker folders_;
  testing_support::RecordingDocumentOpener documents_;
  std::unique_ptr<FileSetupData> setup_;
  std::unique_ptr<SetupController> dialog_;
};

}  // namespace quillon::setup_testing
