// The custom properties of a batch class as the stand-in host holds them:
// ordered, 1-based, names compared without regard to letter case (ASCII and
// Latin-1). Serves both the release side (item by name) and the setup side
// (position, count, add, remove all).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/host_setup_data.h"
#include "quillon_export.h"

namespace quillon {

class QUILLON_API CustomPropertyCollection final : public HostSetupCustomProperties {
 public:
  CustomPropertyCollection() = default;
  explicit CustomPropertyCollection(const std::vector<HostCustomProperty>& properties);

  // A missing name raises Error 5 whose description names the property.
  const HostCustomProperty& Item(std::string_view name) const override;
  // A position outside 1..Count raises Error 9.
  const HostCustomProperty& Item(std::int32_t position) const override;
  std::int32_t Count() const override { return static_cast<std::int32_t>(items_.size()); }
  // A name already present gets the new value in place.
  void Add(std::string_view name, std::string_view value) override;
  void RemoveAll() override;

  bool Exists(std::string_view name) const;
  const std::vector<HostCustomProperty>& All() const noexcept { return items_; }

 private:
  std::vector<HostCustomProperty> items_;
  std::unordered_map<std::string, std::size_t> index_;  // folded name -> position - 1
};

}  // namespace quillon
