// Mapping-class documents: load, save, load the saved text again.
//
// Checks that nothing crashes, that every load failure is an Error, and that
// whatever loads saves and reloads to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/tessel/name_value_list.h"
#include "mapping/conditional_mappings.h"
#include "platform/error.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  marrow::ConditionalMappings maps;
  try {
    maps.LoadFromXML(input);
  } catch (const platform::Error&) {
    // Classes read before the failure stay; they must still save.
    try {
      (void)maps.SaveXMLString();
    } catch (const platform::Error&) {
      std::abort();
    }
    return 0;
  }
  std::string saved;
  try {
    saved = maps.SaveXMLString();
  } catch (const platform::Error&) {
    std::abort();  // what was read from XML can be written as XML
  }
  marrow::ConditionalMappings again;
  try {
    again.LoadFromXML(saved);
  } catch (const platform::Error&) {
    std::abort();  // the loader reads back whatever the saver writes
  }
  Check(again.Count() == maps.Count());
  Check(again.SaveXMLString() == saved);

  tessel::NameValueList fields;
  fields.Add("FormType", "UB04");
  fields.Add("Payer", "ACME");
  try {
    (void)maps.TranslateFields(fields, true);
  } catch (const platform::Error&) {
    // Modifiers may fail on these values; that is reported, not a crash.
  }
  return 0;
}
