// XmlTextEditor: a mappings editor without a window. It holds the mapping
// document as XML text; Edit stands for the administrator's editing and sets
// the changed flag (also when the new text happens to equal the old one: the
// administrator edited, and the save asks before overwriting). Everything the dialog hands over
// (mode, setup data, field lists, visibility) is kept so that callers and
// tests can see it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quillon_export.h"
#include "setup/mappings_editor.h"

namespace quillon {

class QUILLON_API XmlTextEditor final : public MappingsEditor {
 public:
  // The administrator replaces the text.
  void Edit(std::string_view xml);

  bool Changed() const override { return changed_; }
  void SetMappingMode(bool on) override { mappingMode_ = on; }
  void LoadFromXml(std::string_view xml) override;
  std::string XmlText() const override { return text_; }
  void SetSetupData(HostSetupData*& setupData) override { setupData_ = setupData; }
  void SetFirstFieldList(const std::vector<std::string>& fields) override { first_ = fields; }
  void SetSecondFieldList(const std::vector<std::string>& fields) override { second_ = fields; }
  void SetVisible(bool visible) override { visible_ = visible; }

  bool MappingMode() const noexcept { return mappingMode_; }
  HostSetupData* SetupData() const noexcept { return setupData_; }
  const std::vector<std::string>& FirstFieldList() const noexcept { return first_; }
  const std::vector<std::string>& SecondFieldList() const noexcept { return second_; }
  bool Visible() const noexcept { return visible_; }
  // How many times LoadFromXml was called.
  int Loads() const noexcept { return loads_; }

 private:
  std::string text_;
  bool changed_ = false;
  bool mappingMode_ = false;
  bool visible_ = false;
  int loads_ = 0;
  HostSetupData* setupData_ = nullptr;
  std::vector<std::string> first_;
  std::vector<std::string> second_;
};

}  // namespace quillon
