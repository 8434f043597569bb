// Condition lists in their text form: parse, print, parse again, evaluate.
// Input: the condition text, optionally followed by a NUL byte and field
// values in the list's text form ("A=1;B=2").
//
// Checks that nothing crashes, that Evaluate never throws, and that printing
// a parsed list and parsing the print gives the same list (in the long and
// in the short form of the operators).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/tessel/name_value_list.h"
#include "mapping/conditions.h"
#include "platform/error.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void Parse(marrow::Conditions& list, std::string_view text) {
  try {
    list.AddFromString(text);
  } catch (const platform::Error& e) {
    // The one failure of the text form: a three-part piece that is not a
    // blank test. The list keeps what came before it.
    Check(e.Number() == 9);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string_view text = input.substr(0, split);
  const std::string_view fieldText =
      split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

  marrow::Conditions list;
  Parse(list, text);
  const std::string longForm = list.ToString(false);
  const std::string shortForm = list.ToString(true);

  for (const std::string& printed : {longForm, shortForm}) {
    marrow::Conditions again;
    again.AddFromString(printed);  // a printed list always parses
    Check(again.ToString(false) == longForm);
  }

  tessel::NameValueList fields;
  fields.AddFromString(fieldText, ";", "=");
  (void)list.Evaluate(fields);
  for (const auto& condition : list) {
    condition->SetCompareMode(marrow::vbTextCompare);
    (void)condition->Evaluate(fields);
  }
  (void)list.Evaluate(fields);

  // The operator and connector texts accept anything.
  (void)marrow::Conditions::NormalizeOperator(text, true);
  (void)marrow::Conditions::NormalizeConnector(text);
  return 0;
}
