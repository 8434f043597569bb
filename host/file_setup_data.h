// FileSetupData: the capture host's setup data for one batch class, read from
// its batch-class file (batch_class_file.h). Changes to the custom properties
// and links stay in memory until Apply writes them to the file.
//
// Directories among the custom properties are held as the release reads them:
// a relative one of the file is resolved against the file's folder. Apply
// writes a changed relative directory relative to that folder again (one that
// still means what the file says keeps the file's text).
//
// Apply reads the file as it stands on disk, replaces its custom properties
// and links with the ones held here and writes it back atomically (temporary
// file in the same folder, flushed to disk, renamed over the file). What
// setup does not manage (the name, index fields, batch fields and host
// variables) is kept as the file has it, also when someone changed it since
// the setup data were loaded. A failed Apply changes nothing on disk.
//
// Links().Add appends a link, except when a link identical in all three parts
// (destination, source type and source, compared exactly) is held already:
// that one is dropped, so that saving a setup again and again does not pile
// up copies of the links it adds every time (those of the host variables).
// Links the file already holds twice stay as they are. Custom properties keep
// one entry per name (letter case ignored); Add of a present name replaces its
// value. ReportError keeps the report and appends it to the error log
// (host_error_log.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "host/batch_class_file.h"
#include "host/custom_property_collection.h"
#include "host/host_error_log.h"
#include "host/host_setup_data.h"
#include "quillon_export.h"

namespace quillon {

class QUILLON_API FileSetupData final : public HostSetupData {
 public:
  // Raises HostFileError when the file is missing or invalid.
  explicit FileSetupData(std::string batchClassFile);

  const std::string& FilePath() const noexcept { return file_; }
  // The batch class as it stands now, with the changes not yet applied.
  BatchClassDefinition Current() const;
  // How many times Apply has written the file.
  std::int32_t ApplyCount() const noexcept { return applyCount_; }

  HostErrorLog& ErrorLog() noexcept { return errorLog_; }
  const std::vector<HostErrorRecord>& Errors() const noexcept { return errorLog_.Records(); }

  // HostSetupData
  HostSetupCustomProperties& CustomProperties() override { return properties_; }
  HostLinks& Links() override { return links_; }
  const HostNames& IndexFields() const override { return indexFields_; }
  const HostNames& BatchFields() const override { return batchFields_; }
  const HostNames& HostVariables() const override { return hostVariables_; }
  // Writes the custom properties and links into the batch-class file; a
  // failure (the file cannot be read back or written) raises Error 75
  // ("Path/File access error") with the reason in the description and
  // leaves the file as it was.
  void Apply() override;
  void ReportError(std::int32_t a, std::int32_t b, std::int32_t c, const std::string& description,
                   const std::string& source, std::int32_t number) override;

 private:
  class Names final : public HostNames {
   public:
    const std::string& Item(std::int32_t position) const override;
    std::int32_t Count() const override { return static_cast<std::int32_t>(items.size()); }
    std::vector<std::string> items;
  };
  class LinkList final : public HostLinks {
   public:
    const HostLink& Item(std::int32_t position) const override;
    std::int32_t Count() const override { return static_cast<std::int32_t>(items_.size()); }
    void Add(std::string_view destination, std::int32_t sourceType,
             std::string_view source) override;
    void Assign(std::vector<HostLink> links);
    const std::vector<HostLink>& All() const noexcept { return items_; }

   private:
    std::vector<HostLink> items_;
    std::unordered_set<std::string> keys_;  // LinkKey of every link held
  };

  std::string file_;
  std::string name_;
  CustomPropertyCollection properties_;
  LinkList links_;
  Names indexFields_;
  Names batchFields_;
  Names hostVariables_;
  HostErrorLog errorLog_;
  std::int32_t applyCount_ = 0;
};

}  // namespace quillon
