// What the system calls on the capture host at release time.
//
// The host hands the release script one HostReleaseData per release run and
// moves it from document to document; during ReleaseDoc it describes the
// current document. Everything is used on the host's calling thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "quillon_export.h"

namespace quillon {

// Source types of released values and links.
enum HostSourceType : std::int32_t {
  kSourceIndexField = 0,
  kSourceHostVariable = 2,
  kSourceBatchField = 3,
};

// One custom property of the batch class: a setting of the connector.
struct HostCustomProperty {
  std::string Name;
  std::string Value;
};

// Custom properties as the release side sees them: item by name only.
class QUILLON_API HostCustomProperties {
 public:
  virtual ~HostCustomProperties() = default;
  // The property of that name; a missing name raises an Error (number 5).
  virtual const HostCustomProperty& Item(std::string_view name) const = 0;
};

// One released value of a document.
struct HostValue {
  std::string Destination;
  std::string Value;
  std::int32_t SourceType = kSourceIndexField;
  std::string SourceName;
};

// The document's released values, in the host's order.
class QUILLON_API HostValues {
 public:
  virtual ~HostValues() = default;
  virtual std::int32_t Count() const = 0;
  // 1-based; raises an Error (number 9) for a position that is not there.
  virtual const HostValue& Item(std::int32_t position) const = 0;
};

class QUILLON_API HostReleaseData {
 public:
  virtual ~HostReleaseData() = default;

  // Records a failure in the host's error log; called as (-1, 0, 0, d, s, n).
  virtual void ReportError(std::int32_t a, std::int32_t b, std::int32_t c,
                           const std::string& description, const std::string& source,
                           std::int32_t number) = 0;
  // Tells the host that the current document failed; called with kind 1.
  virtual void ShowMessage(const std::string& description, std::int32_t number,
                           std::int32_t kind) = 0;

  virtual std::string DocumentClassName() const = 0;
  virtual std::string BatchName() const = 0;
  virtual std::string BatchDescription() const = 0;
  virtual std::string BatchId() const = 0;
  virtual std::int32_t DocumentId() const = 0;
  virtual std::int32_t DocumentClassId() const = 0;
  virtual std::int32_t BatchClassNumber() const = 0;
  virtual const HostCustomProperties& CustomProperties() const = 0;
  virtual const HostValues& Values() const = 0;
};

}  // namespace quillon
