// Test doubles of the setup dialog's folder picker and document opener: the
// picker answers from a script (then cancels), the opener records every
// path. Either can be told to fail.
//
//   testing_support::ScriptedFolderPicker folders({"/srv/maps"});
//   testing_support::RecordingDocumentOpener documents;
//   quillon::SetupController dialog(data, field, output, folders, documents);
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "setup/document_opener.h"
#include "setup/folder_picker.h"

namespace testing_support {

class ScriptedFolderPicker : public quillon::FolderPicker {
 public:
  explicit ScriptedFolderPicker(std::vector<std::string> choices = {})
      : choices_(std::move(choices)) {}

  std::string BrowseForFolder(std::string_view title) override {
    titles.emplace_back(title);
    if (fail) platform::Raise(75, "BrowseForFolder", "The folder picker cannot be shown");
    if (next_ < choices_.size()) return choices_[next_++];
    return {};
  }

  std::vector<std::string> titles;
  bool fail = false;

 private:
  std::vector<std::string> choices_;
  std::size_t next_ = 0;
};

class RecordingDocumentOpener : public quillon::DocumentOpener {
 public:
  void Open(std::string_view path) override {
    opened.emplace_back(path);
    if (fail) platform::Raise(53, "ShellOpen", "No program opens " + std::string(path));
  }

  std::vector<std::string> opened;
  bool fail = false;
};

}  // namespace testing_support
