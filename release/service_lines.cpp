// Service lines: a claim's table of service lines arrives as one delimited
// list per column (one index field per column, one cell per row). These two
// members of DocumentPipeline turn the columns into one text with one output
// line per qualifying row.
//
// Configuration, all from the document's fields:
//   "_ServiceTableDelimiter"     delimiter between the cells of a column
//   "_ServiceLineValue" + k      template of column k: a value expression with
//                                "(" ")" for "[" "]", "&n" for the 0-based row
//                                index and "&n+1" for the 1-based row number
//   "_ServiceLineReqFields" + k  requirement entries of column k, joined by
//                                "~"; the first names the driving field whose
//                                cells define the rows
//   "_ServiceLineOutput"         template of one output line ("&n" is the
//                                1-based row number)
//
// Requirement entries (cells are compared with blanks trimmed, exact case):
//   name         the row's cell of name is not blank
//   !name        the row's cell of name is blank
//   #name|other  the row's cell of name differs from the value of field
//                other (its cell of the row when other has several cells)
//   !#name|other as "!name" (the comparison value is still read)
#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <vector>

#include "mapping/field_mappings.h"
#include "platform/error.h"
#include "platform/number_text.h"
#include "platform/text.h"
#include "release/document_pipeline.h"
#include "release/expression_cache.h"
#include "release/release_log.h"

namespace quillon {

using internal::LogLine;
using platform::text::Trim;

namespace {

constexpr std::string_view kTotalLine = "Halvo_PopulateServiceLines_TotalLine";
constexpr int kMaxColumn = 32767;  // the column counter is a 16-bit integer

const std::string& RequiredValue(const tessel::NameValueList& fields, std::string_view name,
                                 const char* source) {
  const tessel::NameValue* item = fields.Item(name);
  if (item == nullptr) {
    platform::Raise(platform::err::kInvalidProcedureCall, source,
                    "The field \"" + std::string(name) + "\" is missing");
  }
  return item->Value();
}

// text::Split without copies: views into `s`, which must outlive them.
std::vector<std::string_view> SplitViews(std::string_view s, std::string_view delimiter) {
  std::vector<std::string_view> pieces;
  if (s.empty()) return pieces;
  if (delimiter.empty()) {
    pieces.push_back(s);
    return pieces;
  }
  // Counted first, so that the vector is made once at its size.
  std::size_t count = 1;
  for (std::size_t at = s.find(delimiter); at != std::string_view::npos;
       at = s.find(delimiter, at + delimiter.size())) {
    ++count;
  }
  pieces.reserve(count);
  std::size_t pos = 0;
  while (true) {
    const std::size_t hit = s.find(delimiter, pos);
    if (hit == std::string_view::npos) break;
    pieces.push_back(s.substr(pos, hit - pos));
    pos = hit + delimiter.size();
  }
  pieces.push_back(s.substr(pos));
  return pieces;
}

// One requirement entry, parsed once; the cells of its fields are split the
// first time a row looks at them, so a table of n rows costs O(n) splits in
// all rather than one split per row.
class Requirement {
 public:
  // `entry` and the values of `fields` must outlive the requirement.
  Requirement(std::string_view entry, const tessel::NameValueList& fields,
              const std::string& delimiter)
      : entry_(entry), fields_(fields), delimiter_(delimiter) {
    std::string_view rest = entry_;
    if (rest.starts_with('!')) {
      negated_ = true;
      rest.remove_prefix(1);
    }
    if (rest.starts_with('#')) {
      compared_ = true;
      rest.remove_prefix(1);
      const std::size_t bar = rest.find('|');
      if (bar == std::string_view::npos) {
        malformed_ = true;
        field_ = rest;
      } else {
        field_ = rest.substr(0, bar);
        const std::string_view other = rest.substr(bar + 1);
        // Only the second "|"-piece names the comparison field.
        compareField_ = other.substr(0, other.find('|'));
      }
    } else {
      field_ = rest;
    }
  }

  // Whether row `row` (0-based) passes this entry. Raises for a malformed
  // entry and for a column with fewer cells than the row needs.
  bool Passes(std::size_t row) {
    if (malformed_) {
      platform::Raise(platform::err::kSubscriptOutOfRange, "PopulateServiceLines",
                      "The service line requirement \"" + std::string(entry_) +
                          "\" has no comparison field (\"#name|other\")");
    }
    std::string_view comparison;
    if (compared_) comparison = Trim(ComparisonValue(row));
    const std::string_view cell = Trim(Cell(row));
    if (negated_) return cell.empty();
    if (compared_) return cell != comparison;
    return !cell.empty();
  }

 private:
  std::string_view Cell(std::size_t row) {
    if (!cells_) {
      cells_.emplace();
      const tessel::NameValue* item = fields_.Item(field_);
      if (item != nullptr && !item->Value().empty())
        *cells_ = SplitViews(item->Value(), delimiter_);
      present_ = item != nullptr && !item->Value().empty();
    }
    if (!present_) return {};
    if (row >= cells_->size()) RaiseShort(field_, cells_->size(), row);
    return (*cells_)[row];
  }

  std::string_view ComparisonValue(std::size_t row) {
    if (!compareCells_) {
      compareCells_.emplace();
      if (const tessel::NameValue* item = fields_.Item(compareField_)) {
        compareWhole_ = item->Value();
        *compareCells_ = SplitViews(compareWhole_, delimiter_);
      }
    }
    if (compareCells_->size() <= 1) return compareWhole_;
    if (row >= compareCells_->size()) RaiseShort(compareField_, compareCells_->size(), row);
    return (*compareCells_)[row];
  }

  [[noreturn]] static void RaiseShort(std::string_view field, std::size_t cells, std::size_t row) {
    platform::Raise(platform::err::kSubscriptOutOfRange, "PopulateServiceLines",
                    "The service line field \"" + std::string(field) + "\" has " +
                        std::to_string(cells) + " cell(s), fewer than the driving field (row " +
                        std::to_string(row + 1) + ")");
  }

  std::string_view entry_;
  const tessel::NameValueList& fields_;
  const std::string& delimiter_;
  bool negated_ = false;
  bool compared_ = false;
  bool malformed_ = false;
  std::string_view field_;
  std::string_view compareField_;
  std::optional<std::vector<std::string_view>> cells_;
  bool present_ = false;
  std::optional<std::vector<std::string_view>> compareCells_;
  std::string_view compareWhole_;
};

// Whether a text holds ";" or "=", the delimiters of a list's text form.
bool HasPairDelimiter(std::string_view text) {
  return std::memchr(text.data(), ';', text.size()) != nullptr ||
         std::memchr(text.data(), '=', text.size()) != nullptr;
}

void AppendNumber(std::string& text, std::size_t number) {
  char digits[24];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, number);
  (void)ec;  // 24 characters hold any std::size_t
  text.append(digits, end);
}

// The driving field of a requirement list: the first entry without a leading
// "!", or, when it starts with "#" instead, the name between "#" and "|".
std::string DrivingField(std::string_view firstEntry) {
  std::string_view name = firstEntry;
  if (name.starts_with('!')) {
    name.remove_prefix(1);
  } else if (name.starts_with('#')) {
    name.remove_prefix(1);
    const std::size_t bar = name.find('|');
    if (bar == std::string_view::npos) {
      platform::Raise(platform::err::kInvalidProcedureCall, "PopulateServiceLines",
                      "The service line requirement \"" + std::string(firstEntry) +
                          "\" has no comparison field (\"#name|other\")");
    }
    name = name.substr(0, bar);
  }
  return std::string(name);
}

}  // namespace

// The mapping set of one generated expression: `mappings` given the mapping, or,
// when the pipeline has batch state, the parsed set kept there from an
// earlier document.
const marrow::FieldMappings& DocumentPipeline::Expression(std::string_view name,
                                                          const std::string& expression,
                                                          marrow::FieldMappings& mappings) {
  if (!batch_) {
    mappings.Add(name, expression);
    return mappings;
  }
  expressionHold_ = batch_->Expressions().Mapping(name, expression);
  return *expressionHold_;
}

// The expression of one row made from a template in one pass, as the
// replacements one after the other would make it: "(" and ")" become "[" and
// "]", and "&n" becomes `number`; with `columnTemplate` "&n+1" becomes
// `number` and "&n" `index` (the longer one first, so "&n+1" is not read as
// "&n"). The text is kept in the pipeline until the next call.
const std::string& DocumentPipeline::RowExpression(std::string_view rowTemplate,
                                                   bool columnTemplate, std::size_t number,
                                                   std::size_t index) {
  std::string& text = rowExpression_;
  text.clear();
  text.reserve(rowTemplate.size() + 8);
  for (std::size_t at = 0; at < rowTemplate.size();) {
    std::size_t special = at;
    while (special < rowTemplate.size() && rowTemplate[special] != '(' &&
           rowTemplate[special] != ')' && rowTemplate[special] != '&') {
      ++special;
    }
    text.append(rowTemplate.substr(at, special - at));
    if (special == rowTemplate.size()) break;
    at = special;
    const char c = rowTemplate[at];
    if (c == '(') {
      text.push_back('[');
      ++at;
    } else if (c == ')') {
      text.push_back(']');
      ++at;
    } else if (rowTemplate.compare(at, 2, "&n") == 0) {
      if (columnTemplate && rowTemplate.compare(at, 4, "&n+1") == 0) {
        text.append(std::to_string(number));
        at += 4;
      } else {
        text.append(std::to_string(columnTemplate ? index : number));
        at += 2;
      }
    } else {
      text.push_back(c);
      ++at;
    }
  }
  return text;
}

// The set of the expression of row `row` (0-based) of a template (as
// RowExpression makes it), or nullptr when that expression is empty. With
// batch state the sets of a template's rows are kept: the same templates
// come back with every document, so their rows are neither built nor looked
// up again.
const marrow::FieldMappings* DocumentPipeline::RowSet(std::string_view name,
                                                      std::string_view rowTemplate,
                                                      bool columnTemplate, std::size_t row,
                                                      marrow::FieldMappings& mappings) {
  constexpr std::size_t kKeptTemplates = 16;
  constexpr std::size_t kKeptRows = 256;
  if (rowTemplate.empty()) return nullptr;
  const std::size_t number = row + 1;  // "&n+1" of a column, "&n" of a line
  if (!batch_) {
    return &Expression(name, RowExpression(rowTemplate, columnTemplate, number, row), mappings);
  }
  RowTemplate* kept = nullptr;
  for (RowTemplate& candidate : rowTemplates_) {
    if (candidate.columnTemplate == columnTemplate && candidate.name == name &&
        candidate.rowTemplate == rowTemplate) {
      kept = &candidate;
      break;
    }
  }
  if (kept == nullptr) {
    if (rowTemplates_.size() >= kKeptTemplates) rowTemplates_.clear();
    rowTemplates_.push_back(
        RowTemplate{std::string(name), std::string(rowTemplate), columnTemplate, {}});
    kept = &rowTemplates_.back();
  }
  if (row < kept->rows.size() && kept->rows[row]) return kept->rows[row].get();
  std::shared_ptr<const marrow::FieldMappings> set =
      batch_->Expressions().Mapping(name, RowExpression(rowTemplate, columnTemplate, number, row));
  if (row < kKeptRows) {
    if (kept->rows.size() <= row) kept->rows.resize(row + 1);
    kept->rows[row] = set;
  }
  expressionHold_ = std::move(set);
  return expressionHold_.get();
}

tessel::NameValueList DocumentPipeline::ServiceLineColumn(std::string_view templateField,
                                                          std::string_view requirementsField,
                                                          const tessel::NameValueList& fields) {
  tessel::NameValueList column;
  FillServiceLineColumn(templateField, requirementsField, fields, column);
  return column;
}

void DocumentPipeline::FillServiceLineColumn(std::string_view templateField,
                                             std::string_view requirementsField,
                                             const tessel::NameValueList& fields,
                                             tessel::NameValueList& column) {
  column.Clear();
  marrow::FieldMappings mappings;
  const std::string& requirements =
      RequiredValue(fields, requirementsField, "PopulateServiceLines");
  LogLine(2, 1, "POpulateServiceLInes, --ReqFieldName---------", requirementsField,
          " : value : ", requirements);

  const std::vector<std::string_view> entries = SplitViews(requirements, "~");
  if (entries.empty()) {
    platform::Raise(
        platform::err::kSubscriptOutOfRange, "PopulateServiceLines",
        "The service line requirements \"" + std::string(requirementsField) + "\" are empty");
  }
  const std::string driving = DrivingField(entries.front());

  // Without the driving field the delimiter is never read, so it stays empty
  // and no other column is split either.
  std::string delimiter;
  std::size_t rows = 1;
  if (const tessel::NameValue* drivingItem = fields.Item(driving)) {
    delimiter = RequiredValue(fields, "_ServiceTableDelimiter", "PopulateServiceLines");
    rows = std::max<std::size_t>(1, SplitViews(drivingItem->Value(), delimiter).size());
  }
  column.Add(kTotalLine, std::to_string(rows));

  std::vector<Requirement> requirementsParsed;
  requirementsParsed.reserve(entries.size());
  for (std::string_view entry : entries) requirementsParsed.emplace_back(entry, fields, delimiter);

  for (std::size_t i = 0; i < rows; ++i) {
    bool qualifies = true;
    for (Requirement& requirement : requirementsParsed) {
      if (!requirement.Passes(i)) {
        qualifies = false;
        break;
      }
    }
    LogLine(2, 1, "POpulateServiceLInes, --ReqFieldName---------", qualifies);
    if (!qualifies) continue;

    const marrow::FieldMappings* set =
        RowSet(templateField, RequiredValue(fields, templateField, "PopulateServiceLines"), true, i,
               mappings);
    // An empty template makes an empty expression.
    if (set == nullptr) set = &Expression(templateField, {}, mappings);
    // The set holds the one mapping templateField (never a blank name).
    set->TranslateValues(fields, rowValues_);
    std::string& name = serviceNames_[0];
    name.assign(templateField);
    name.push_back('_');
    AppendNumber(name, i + 1);
    column.Add(name, rowValues_[0]);
  }

  if (internal::LogOn()) {
    LogLine(2, 1, "POpulateServiceLInes, --serviceLines output---------",
            column.ToString(";", "="));
  }
}

std::string DocumentPipeline::GenerateServiceLines(const tessel::NameValueList& fields) {
  marrow::FieldMappings mappings;
  tessel::NameValueList& table = serviceTable_;
  table.Clear();
  std::string result;
  if (!fields.Exists("_generateServiceLine")) return result;

  std::int32_t maxRows = 0;
  for (int k = 1;; ++k) {
    if (k > kMaxColumn) {
      platform::Raise(platform::err::kOverflow, "GenerateServiceLines",
                      "More than 32767 service line columns");
    }
    std::string& valueName = serviceNames_[1];
    valueName.assign("_ServiceLineValue");
    AppendNumber(valueName, static_cast<std::size_t>(k));
    std::string& requirementName = serviceNames_[2];
    requirementName.assign("_ServiceLineReqFields");
    AppendNumber(requirementName, static_cast<std::size_t>(k));
    if (!fields.Exists(valueName) || !fields.Exists(requirementName)) break;

    tessel::NameValueList& column = serviceColumn_;
    FillServiceLineColumn(valueName, requirementName, fields, column);
    const std::int32_t rows =
        platform::CLng(RequiredValue(column, kTotalLine, "GenerateServiceLines"));
    maxRows = std::max(maxRows, rows);
    // The columns are merged through the lists' text form, so values holding
    // ";" or "=" fare as that form makes them. Re-reading table's own text form
    // into table changes nothing (everything in table came through that form
    // already), so adding only the text of column has the same result without
    // copying table once per column.
    const bool plain = std::none_of(column.begin(), column.end(), [](const tessel::NameValue& e) {
      return HasPairDelimiter(e.Name()) || HasPairDelimiter(e.Value());
    });
    if (plain) {
      // Without ";" or "=" the text form gives back each entry as it is.
      for (const tessel::NameValue& entry : column) table.Add(entry.Name(), entry.Value());
    } else {
      table.AddFromString(column.ToString(";", "="), ";", "=", true);
    }
  }

  const tessel::NameValue* lineTemplate = fields.Item(std::string_view("_ServiceLineOutput"));
  if (lineTemplate == nullptr) return result;
  for (std::int32_t r = 1; r <= maxRows; ++r) {
    const marrow::FieldMappings* set = RowSet("_ServiceLineString", lineTemplate->Value(), false,
                                              static_cast<std::size_t>(r - 1), mappings);
    if (set == nullptr) continue;  // an empty row expression
    set->TranslateValues(table, rowValues_);
    result.append(rowValues_[0]);
  }
  return result;
}

}  // namespace quillon
