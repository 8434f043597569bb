// What the system calls on the capture host's administration tool at setup
// time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/host_release_data.h"
#include "quillon_export.h"

namespace quillon {

// Custom properties as the setup side sees them.
class QUILLON_API HostSetupCustomProperties : public HostCustomProperties {
 public:
  using HostCustomProperties::Item;
  // 1-based; raises an Error (number 9) for a position that is not there.
  virtual const HostCustomProperty& Item(std::int32_t position) const = 0;
  virtual std::int32_t Count() const = 0;
  virtual void Add(std::string_view name, std::string_view value) = 0;
  virtual void RemoveAll() = 0;
};

struct HostLink {
  std::string Source;
  std::int32_t SourceType = kSourceIndexField;
  std::string Destination;
};

class QUILLON_API HostLinks {
 public:
  virtual ~HostLinks() = default;
  virtual const HostLink& Item(std::int32_t position) const = 0;  // 1-based
  virtual std::int32_t Count() const = 0;
  // Add(destination name, source type, source name).
  virtual void Add(std::string_view destination, std::int32_t sourceType,
                   std::string_view source) = 0;
};

// Index fields, batch fields and host variables: named items by position.
class QUILLON_API HostNames {
 public:
  virtual ~HostNames() = default;
  virtual const std::string& Item(std::int32_t position) const = 0;  // 1-based, the name
  virtual std::int32_t Count() const = 0;
};

class QUILLON_API HostSetupData {
 public:
  virtual ~HostSetupData() = default;
  virtual HostSetupCustomProperties& CustomProperties() = 0;
  virtual HostLinks& Links() = 0;
  virtual const HostNames& IndexFields() const = 0;
  virtual const HostNames& BatchFields() const = 0;
  virtual const HostNames& HostVariables() const = 0;
  // Commits the setup data to the host.
  virtual void Apply() = 0;
  virtual void ReportError(std::int32_t a, std::int32_t b, std::int32_t c,
                           const std::string& description, const std::string& source,
                           std::int32_t number) = 0;
};

}  // namespace quillon
