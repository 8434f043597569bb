#include "release/field_work_list.h"

namespace quillon {

// A plain copy of the list keeps its order and spelling, and copies its name
// index instead of folding every name again.
FieldWorkList::FieldWorkList(const tessel::NameValueList& input)
    : list_(input), spelling_(static_cast<std::size_t>(input.Count())) {
  order_.reserve(spelling_.size());
  for (std::size_t position = 0; position < spelling_.size(); ++position) {
    order_.push_back(position);
  }
}

// Adds or updates the entry and returns its position. With `respell` the
// entry is shown under `name` from now on (a mapped field takes the mapping's
// spelling).
std::size_t FieldWorkList::Put(std::string_view name, std::string_view value, bool respell) {
  const tessel::NameValue& entry = list_.Add(name, value);
  const std::size_t position = static_cast<std::size_t>(&entry - &*list_.begin());
  if (position >= spelling_.size()) {
    spelling_.resize(position + 1);
    order_.push_back(position);
  } else if (respell) {
    if (entry.Name() == name) {
      spelling_[position].clear();
    } else {
      spelling_[position].assign(name);
    }
  }
  return position;
}

void FieldWorkList::Apply(const tessel::NameValueList& mapped) {
  if (mapped.empty()) return;
  std::vector<std::size_t> front;
  front.reserve(static_cast<std::size_t>(mapped.Count()));
  for (const tessel::NameValue& entry : mapped)
    front.push_back(Put(entry.Name(), entry.Value(), true));
  // A name that Put just appended is already at the end of order_; it moves
  // to the front with the others.
  mark_.assign(spelling_.size(), 0);
  for (std::size_t position : front) mark_[position] = 1;
  std::vector<std::size_t> order = std::move(front);
  order.reserve(order_.size());
  for (std::size_t position : order_) {
    if (mark_[position] == 0) order.push_back(position);
  }
  order_ = std::move(order);
}

void FieldWorkList::Add(std::string_view name, std::string_view value) {
  Put(name, value, false);
}

tessel::NameValueList FieldWorkList::Materialize() const {
  tessel::NameValueList out;
  for (std::size_t position : order_) {
    const tessel::NameValue* entry = list_.Item(static_cast<std::int64_t>(position + 1));
    const std::string& spelling = spelling_[position];
    out.Add(spelling.empty() ? std::string_view(entry->Name()) : std::string_view(spelling),
            entry->Value());
  }
  return out;
}

}  // namespace quillon
