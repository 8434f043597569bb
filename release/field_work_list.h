// FieldWorkList: a document's field list while the mapping classes of the
// three levels are applied to it, one after the other.
//
// Applying a class means: the class's mapped fields (in mapping order, spelt
// as the mappings spell them) followed by every field of the list that the
// class does not map (in list order). Building that new list for every class
// costs a copy of the whole list per class. The work list gets the same
// result by updating one list in place (so lookups by name see exactly the
// values the new list would hold) and keeping the order and spelling of the
// new list on the side. The order is worked out once, at the end: the fields
// of the last class applied come first, then those of the class before
// (that the later ones did not map), and so on, then every other field in
// the order it joined the list. Materialize() and Take() build the list in
// that order.
//
//   FieldWorkList work(input);                  // copies the input once
//   work.Apply(cls.FieldMaps());                // or, the same:
//   work.Apply(cls.FieldMaps().TranslateFields(work.List(), false));
//   ...                                         // more classes, Add
//   tessel::NameValueList out = work.Materialize();
//   // == chaining TranslateFields(list, true) over the same classes
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "host/tessel/name_value_list.h"
#include "mapping/field_mappings.h"
#include "quillon_export.h"

namespace quillon {

class QUILLON_API FieldWorkList {
 public:
  FieldWorkList() = default;
  explicit FieldWorkList(const tessel::NameValueList& input);

  // Starts over with `input` (as a new work list would), keeping the memory
  // of the scratch space.
  void Reset(const tessel::NameValueList& input);

  // The values as the applied classes left them, for conditions, translations
  // and lookups by name. Its own order and spelling are not the list's.
  const tessel::NameValueList& List() const noexcept { return list_; }

  // Applies one class whose mapped output (TranslateFields without unmapped
  // fields) is `mapped`.
  void Apply(const tessel::NameValueList& mapped);
  // Applies one class given by its field mappings: as Apply of their
  // TranslateFields(List(), false), without building that list (the values
  // go straight into the work list). Raises the translation's failures
  // before anything changes.
  void Apply(const marrow::FieldMappings& mappings);
  // Adds a field as NameValueList::Add does: a new name goes to the end, an
  // existing one gets the new value in its place.
  void Add(std::string_view name, std::string_view value);

  // The list in its order and spelling.
  tessel::NameValueList Materialize() const;
  // The same, made from the work list itself (no text is copied); the work
  // list is empty afterwards.
  tessel::NameValueList Take();
  // As Take, into `out`, whose entries' memory the work list keeps for the
  // next document.
  void TakeInto(tessel::NameValueList& out);

 private:
  std::size_t Put(std::string_view name, std::string_view value, bool respell);
  // Put for a value whose text is exchanged (see NameValueList::AddByExchange).
  std::size_t PutByExchange(std::string_view name, std::size_t hash, std::string& value);
  // After Put or PutByExchange of the entry at `position`: a new entry joins
  // joined_, a mapped one takes the spelling `name`.
  void Placed(std::size_t position, std::string_view name, bool respell);
  // The positions of the entries in the list's order.
  std::vector<std::size_t> Order() const;

  tessel::NameValueList list_;
  std::vector<std::size_t> joined_;     // positions (0-based) into list_, in the order they joined
  std::vector<std::string> spelling_;   // per position: name to show, "" = as in list_
  std::vector<std::size_t> applied_;    // positions mapped by the classes applied, class by class
  std::vector<std::size_t> classEnds_;  // the end in applied_ of each class's positions
  std::vector<std::string> values_;     // scratch for Apply: translated values
};

}  // namespace quillon
