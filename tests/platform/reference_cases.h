// Reader of the reference case files of the runtime stand-in: tab-separated
// tables with escaped fields and typed values ("double:1.5", "date:...").
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant.h"

namespace reference_cases {

struct Row {
  int line = 0;  // line number in the file
  std::map<std::string, std::string> fields;

  const std::string& operator[](const std::string& column) const;
};

struct Table {
  std::string file;
  std::vector<Row> rows;
};

// All files of the reference folder whose names start with `prefix` (for
// example "format-"), sorted; disputed cases are not included.
std::vector<std::string> FilesStartingWith(std::string_view prefix);
// Reads one file of the reference folder; fails the test on a missing file.
Table Load(const std::string& file);

// Undoes the field escapes: \\ \t \n \r and \uXXXX.
std::string Unescape(std::string_view field);

// A typed value "type:value", with extra arguments after ';' ("digits=3").
struct Typed {
  std::string type;
  std::string value;
  std::map<std::string, std::string> extras;
};
Typed ParseTyped(std::string_view field);

// The value a typed field stands for. Types the layer has no kind for map to
// the nearest one: byte to Integer, decimal to Double, char to String.
platform::Variant ToVariant(const Typed& typed);

// An OLE date from "YYYY-MM-DDThh:mm:ss"; `year` replaces a "????" year.
double SerialFromIso(std::string_view iso, int year = 0);

// The value of "key=value" in a note ("firstdayofweek=3"), or `fallback`.
int NoteNumber(std::string_view note, std::string_view key, int fallback);

}  // namespace reference_cases
