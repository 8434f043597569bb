#include "reference_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/date_text.h"
#include "platform/text.h"

namespace reference_cases {
namespace {

std::string Folder() {
  return std::string(QUILLON_SHARED_DIR) + "/platform-cases/";
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find('\t', start);
    out.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return out;
}

}  // namespace

const std::string& Row::operator[](const std::string& column) const {
  static const std::string kEmpty;
  const auto it = fields.find(column);
  return it == fields.end() ? kEmpty : it->second;
}

std::vector<std::string> FilesStartingWith(std::string_view prefix) {
  std::vector<std::string> out;
  for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".tsv")
      out.push_back(name);
  }
  std::sort(out.begin(), out.end());
  return out;
}

Table Load(const std::string& file) {
  Table table;
  table.file = file;
  std::ifstream in(Folder() + file, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << Folder() + file;
  std::string line;
  std::vector<std::string> columns;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (number == 1) {
      columns = SplitTabs(line);
      continue;
    }
    if (line.empty()) continue;
    const std::vector<std::string> cells = SplitTabs(line);
    EXPECT_LE(cells.size(), columns.size()) << file << ":" << number;
    Row row;
    row.line = number;
    for (std::size_t i = 0; i < columns.size(); ++i)
      row.fields[columns[i]] = i < cells.size() ? Unescape(cells[i]) : std::string();
    table.rows.push_back(std::move(row));
  }
  return table;
}

std::string Unescape(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 >= field.size()) {
      out.push_back(field[i]);
      continue;
    }
    const char c = field[++i];
    switch (c) {
      case 't':
        out.push_back('\t');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 'u': {
        const std::string hex(field.substr(i + 1, 4));
        platform::text::AppendCodePoint(
            out, static_cast<char32_t>(std::strtoul(hex.c_str(), nullptr, 16)));
        i += 4;
        break;
      }
      default:
        out.push_back(c);  // "\\" and anything else stand for the character
        break;
    }
  }
  return out;
}

Typed ParseTyped(std::string_view field) {
  Typed t;
  const std::size_t colon = field.find(':');
  t.type = std::string(field.substr(0, colon));
  if (colon == std::string_view::npos) return t;
  std::string_view rest = field.substr(colon + 1);
  // Only numbers carry extra arguments; texts keep every character.
  if (t.type != "string" && t.type != "char") {
    const std::size_t semi = rest.find(';');
    if (semi != std::string_view::npos) {
      std::string_view extras = rest.substr(semi + 1);
      rest = rest.substr(0, semi);
      const std::size_t eq = extras.find('=');
      if (eq != std::string_view::npos)
        t.extras[std::string(extras.substr(0, eq))] = std::string(extras.substr(eq + 1));
    }
  }
  t.value = std::string(rest);
  return t;
}

platform::Variant ToVariant(const Typed& t) {
  using platform::Variant;
  if (t.type == "string" || t.type == "char") return Variant::FromText(t.value);
  if (t.type == "integer" || t.type == "byte")
    return Variant::FromInteger(static_cast<std::int16_t>(std::stol(t.value)));
  if (t.type == "long") return Variant::FromLong(static_cast<std::int32_t>(std::stoll(t.value)));
  if (t.type == "single") return Variant::FromSingle(std::strtof(t.value.c_str(), nullptr));
  if (t.type == "double" || t.type == "decimal")
    return Variant::FromDouble(std::strtod(t.value.c_str(), nullptr));
  if (t.type == "currency") return Variant::FromCurrency(std::strtod(t.value.c_str(), nullptr));
  if (t.type == "boolean") return Variant::FromBoolean(t.value == "true");
  if (t.type == "date") return Variant::FromDate(platform::OleDate{SerialFromIso(t.value)});
  if (t.type == "null") return Variant::MakeNull();
  return Variant::MakeEmpty();
}

double SerialFromIso(std::string_view iso, int year) {
  platform::DateParts p;
  const std::string s(iso);
  p.year = s.substr(0, 4) == "????" ? year : std::stoi(s.substr(0, 4));
  p.month = std::stoi(s.substr(5, 2));
  p.day = std::stoi(s.substr(8, 2));
  p.hour = std::stoi(s.substr(11, 2));
  p.minute = std::stoi(s.substr(14, 2));
  p.second = std::stoi(s.substr(17, 2));
  return platform::MakeDate(p).serial;
}

int NoteNumber(std::string_view note, std::string_view key, int fallback) {
  const std::string needle = std::string(key) + "=";
  const std::size_t at = note.find(needle);
  if (at == std::string_view::npos) return fallback;
  return std::atoi(std::string(note.substr(at + needle.size())).c_str());
}

}  // namespace reference_cases
