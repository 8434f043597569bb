#include "host/custom_property_collection.h"

#include "platform/error.h"
#include "platform/text.h"

namespace quillon {

CustomPropertyCollection::CustomPropertyCollection(
    const std::vector<HostCustomProperty>& properties) {
  for (const HostCustomProperty& p : properties) Add(p.Name, p.Value);
}

const HostCustomProperty& CustomPropertyCollection::Item(std::string_view name) const {
  const auto it = index_.find(platform::text::LCase(name));
  if (it == index_.end()) {
    platform::Raise(platform::err::kInvalidProcedureCall, "CustomProperties.Item",
                    "The custom property \"" + std::string(name) + "\" does not exist");
  }
  return items_[it->second];
}

const HostCustomProperty& CustomPropertyCollection::Item(std::int32_t position) const {
  if (position < 1 || position > Count()) {
    platform::Raise(platform::err::kSubscriptOutOfRange, "CustomProperties.Item");
  }
  return items_[static_cast<std::size_t>(position - 1)];
}

void CustomPropertyCollection::Add(std::string_view name, std::string_view value) {
  const auto [it, inserted] = index_.try_emplace(platform::text::LCase(name), items_.size());
  if (!inserted) {
    items_[it->second].Value.assign(value);
    return;
  }
  items_.push_back({std::string(name), std::string(value)});
}

void CustomPropertyCollection::RemoveAll() {
  items_.clear();
  index_.clear();
}

bool CustomPropertyCollection::Exists(std::string_view name) const {
  return index_.count(platform::text::LCase(name)) != 0;
}

}  // namespace quillon
