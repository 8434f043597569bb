#include "release/field_work_list.h"

#include <utility>

#include "mapping/field_mapping.h"

namespace quillon {

// A plain copy of the list keeps its order and spelling, and copies its name
// index instead of folding every name again.
FieldWorkList::FieldWorkList(const tessel::NameValueList& input) {
  Reset(input);
}

void FieldWorkList::Reset(const tessel::NameValueList& input) {
  list_ = input;
  spelling_.clear();
  spelling_.resize(static_cast<std::size_t>(input.Count()));
  joined_.clear();
  joined_.reserve(spelling_.size());
  for (std::size_t position = 0; position < spelling_.size(); ++position) {
    joined_.push_back(position);
  }
  applied_.clear();
  classEnds_.clear();
}

void FieldWorkList::Placed(std::size_t position, std::string_view name, bool respell) {
  if (position >= spelling_.size()) {
    spelling_.resize(position + 1);
    joined_.push_back(position);
  } else if (respell) {
    if (list_.Item(static_cast<std::int64_t>(position + 1))->Name() == name) {
      spelling_[position].clear();
    } else {
      spelling_[position].assign(name);
    }
  }
}

// Adds or updates the entry and returns its position. With `respell` the
// entry is shown under `name` from now on (a mapped field takes the mapping's
// spelling).
std::size_t FieldWorkList::Put(std::string_view name, std::string_view value, bool respell) {
  const tessel::NameValue& entry = list_.Add(name, value);
  const std::size_t position = static_cast<std::size_t>(&entry - &*list_.begin());
  Placed(position, name, respell);
  return position;
}

std::size_t FieldWorkList::PutByExchange(std::string_view name, std::size_t hash,
                                         std::string& value) {
  const tessel::NameValue& entry = list_.AddByExchange(name, hash, value);
  const std::size_t position = static_cast<std::size_t>(&entry - &*list_.begin());
  Placed(position, name, true);
  return position;
}

void FieldWorkList::Apply(const tessel::NameValueList& mapped) {
  if (mapped.empty()) return;
  for (const tessel::NameValue& entry : mapped) {
    applied_.push_back(Put(entry.Name(), entry.Value(), true));
  }
  classEnds_.push_back(applied_.size());
}

void FieldWorkList::Apply(const marrow::FieldMappings& mappings) {
  if (mappings.Count() == 0) return;
  // Every value is translated from the list as it is before the class, then
  // they all go in.
  mappings.TranslateValues(list_, values_);
  std::size_t i = 0;
  for (const marrow::FieldMapping& mapping : mappings) {
    applied_.push_back(PutByExchange(mapping.Name(), mapping.NameHash(), values_[i++]));
  }
  classEnds_.push_back(applied_.size());
}

std::vector<std::size_t> FieldWorkList::Order() const {
  // Applying a class moves its fields to the front; so the last class's
  // fields lead, then each earlier class's fields not yet placed, then the
  // rest as they joined.
  std::vector<unsigned char> placed(spelling_.size(), 0);
  std::vector<std::size_t> order;
  order.reserve(spelling_.size());
  const auto place = [&](std::size_t position) {
    if (placed[position] != 0) return;
    placed[position] = 1;
    order.push_back(position);
  };
  for (std::size_t c = classEnds_.size(); c > 0; --c) {
    const std::size_t from = c == 1 ? 0 : classEnds_[c - 2];
    for (std::size_t k = from; k < classEnds_[c - 1]; ++k) place(applied_[k]);
  }
  for (std::size_t position : joined_) place(position);
  return order;
}

void FieldWorkList::Add(std::string_view name, std::string_view value) {
  Put(name, value, false);
}

tessel::NameValueList FieldWorkList::Materialize() const {
  tessel::NameValueList out;
  const std::vector<std::size_t> order = Order();
  out.Reserve(order.size());
  for (std::size_t position : order) {
    const tessel::NameValue* entry = list_.Item(static_cast<std::int64_t>(position + 1));
    const std::string& spelling = spelling_[position];
    out.Add(spelling.empty() ? std::string_view(entry->Name()) : std::string_view(spelling),
            entry->Value());
  }
  return out;
}

}  // namespace quillon

namespace quillon {

tessel::NameValueList FieldWorkList::Take() {
  tessel::NameValueList out;
  TakeInto(out);
  return out;
}

void FieldWorkList::TakeInto(tessel::NameValueList& out) {
  std::swap(out, list_);
  list_.Clear();
  for (std::size_t position = 0; position < spelling_.size(); ++position) {
    if (!spelling_[position].empty()) out.Respell(position, spelling_[position]);
  }
  out.Permute(Order());
  joined_.clear();
  spelling_.clear();
  applied_.clear();
  classEnds_.clear();
}

}  // namespace quillon
