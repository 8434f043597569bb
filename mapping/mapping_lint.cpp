#include "mapping/mapping_lint.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "mapping/conditions.h"
#include "mapping/field_part.h"
#include "mapping/mapping_xml.h"
#include "platform/error.h"
#include "platform/format.h"
#include "platform/native_path.h"
#include "platform/text.h"

namespace marrow {

namespace {

namespace text = platform::text;

// A hostile document could yield a finding per attribute; past this many the
// rest of a file is summed up in one finding.
constexpr std::size_t kMaxFindings = 1000;

struct Place {
  long line = 0;
  long column = 0;
};

// ---- Where things are in the source ----------------------------------------

// The document as UTF-8 text, with a map from byte offsets to lines and
// columns (characters, from 1).
class SourceText {
 public:
  explicit SourceText(std::string text) : text_(std::move(text)) {
    lineStarts_.push_back(0);
    for (std::size_t i = 0; i < text_.size(); ++i) {
      if (text_[i] == '\n') lineStarts_.push_back(i + 1);
    }
  }

  const std::string& Text() const noexcept { return text_; }

  Place At(std::size_t offset) const {
    offset = std::min(offset, text_.size());
    const auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    const std::size_t lineIndex = static_cast<std::size_t>(next - lineStarts_.begin()) - 1;
    const std::size_t lineStart = lineStarts_[lineIndex];
    // Findings come mostly in document order: count on from the last place
    // when it is on the same line, so a long line is not counted again for
    // every finding on it.
    std::size_t from = lineStart;
    long column = 1;
    if (cursorLine_ == lineIndex && cursorOffset_ <= offset && cursorOffset_ >= lineStart) {
      from = cursorOffset_;
      column = cursorColumn_;
    }
    column += static_cast<long>(text::Len(std::string_view(text_).substr(from, offset - from)));
    cursorLine_ = lineIndex;
    cursorOffset_ = offset;
    cursorColumn_ = column;
    return {static_cast<long>(lineIndex) + 1, column};
  }

 private:
  std::string text_;
  std::vector<std::size_t> lineStarts_;
  mutable std::size_t cursorLine_ = SIZE_MAX;
  mutable std::size_t cursorOffset_ = 0;
  mutable long cursorColumn_ = 1;
};

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

// The document's bytes as UTF-8 text, when the encoding lets the places be
// counted: UTF-8 (a byte order mark is dropped) and the single-byte Western
// code pages. Nothing for UTF-16 and the rest.
std::optional<std::string> SourceAsUtf8(std::string_view bytes, const xmlDoc* doc) {
  if (StartsWith(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (StartsWith(bytes, "\xFE\xFF") || StartsWith(bytes, "\xFF\xFE")) return std::nullopt;
  if (bytes.substr(0, 4).find('\0') != std::string_view::npos) return std::nullopt;
  const std::string encoding =
      doc->encoding == nullptr ? "" : text::LCase(reinterpret_cast<const char*>(doc->encoding));
  if (encoding.empty() || encoding == "utf-8" || encoding == "utf8") return std::string(bytes);
  static constexpr std::array<std::string_view, 7> kSingleByte = {
      "windows-1252", "cp1252", "iso-8859-1", "iso_8859-1", "latin1", "us-ascii", "ascii"};
  if (std::find(kSingleByte.begin(), kSingleByte.end(), encoding) != kSingleByte.end()) {
    return text::FromWindows1252(bytes);
  }
  return std::nullopt;
}

struct ScannedAttribute {
  std::string name;
  std::size_t nameOffset = 0;
  std::size_t valueBegin = 0;  // after the opening quote
  std::size_t valueEnd = 0;    // at the closing quote
};

struct ScannedTag {
  std::string name;
  std::size_t offset = 0;  // of the "<"
  std::vector<ScannedAttribute> attributes;
};

bool IsXmlBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The start tags of a well-formed document, in document order: the parser
// keeps no columns, so the places come from the text itself. Only ever run
// on text that the parser accepted.
std::vector<ScannedTag> ScanStartTags(std::string_view s) {
  std::vector<ScannedTag> tags;
  std::size_t i = 0;
  const auto skipPast = [&](std::size_t from, std::string_view end) {
    const std::size_t at = s.find(end, from);
    return at == std::string_view::npos ? s.size() : at + end.size();
  };
  while (i < s.size()) {
    const std::size_t open = s.find('<', i);
    if (open == std::string_view::npos) break;
    const std::string_view rest = s.substr(open);
    if (StartsWith(rest, "<?")) {
      i = skipPast(open + 2, "?>");
    } else if (StartsWith(rest, "<!--")) {
      i = skipPast(open + 4, "-->");
    } else if (StartsWith(rest, "<![CDATA[")) {
      i = skipPast(open + 9, "]]>");
    } else if (StartsWith(rest, "<!")) {
      // A document type declaration, perhaps with an internal subset.
      std::size_t j = open + 2;
      int depth = 0;
      char quote = 0;
      for (; j < s.size(); ++j) {
        const char c = s[j];
        if (quote != 0) {
          if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        } else if (c == '[') {
          ++depth;
        } else if (c == ']') {
          --depth;
        } else if (c == '>' && depth <= 0) {
          break;
        }
      }
      i = j + 1;
    } else if (StartsWith(rest, "</")) {
      i = skipPast(open + 2, ">");
    } else {
      ScannedTag tag;
      tag.offset = open;
      std::size_t j = open + 1;
      while (j < s.size() && !IsXmlBlank(s[j]) && s[j] != '/' && s[j] != '>') ++j;
      tag.name.assign(s.substr(open + 1, j - open - 1));
      for (;;) {
        while (j < s.size() && IsXmlBlank(s[j])) ++j;
        if (j >= s.size() || s[j] == '/' || s[j] == '>') break;
        ScannedAttribute attribute;
        attribute.nameOffset = j;
        while (j < s.size() && !IsXmlBlank(s[j]) && s[j] != '=') ++j;
        attribute.name.assign(s.substr(attribute.nameOffset, j - attribute.nameOffset));
        while (j < s.size() && (IsXmlBlank(s[j]) || s[j] == '=')) ++j;
        if (j >= s.size()) break;
        const char quote = s[j];
        attribute.valueBegin = j + 1;
        const std::size_t close = s.find(quote, j + 1);
        attribute.valueEnd = close == std::string_view::npos ? s.size() : close;
        j = attribute.valueEnd + 1;
        tag.attributes.push_back(std::move(attribute));
      }
      tags.push_back(std::move(tag));
      i = skipPast(j, ">");
    }
  }
  return tags;
}

// An attribute's value as the parser delivers it (references replaced, line
// ends and tabs as blanks), with the source offset of every byte of it.
struct DecodedValue {
  std::string text;
  std::vector<std::size_t> offsets;
};

DecodedValue DecodeAttribute(std::string_view s, std::size_t begin, std::size_t end) {
  DecodedValue out;
  const auto add = [&](std::string_view bytes, std::size_t at) {
    out.text.append(bytes);
    out.offsets.insert(out.offsets.end(), bytes.size(), at);
  };
  std::size_t j = begin;
  while (j < end) {
    const char c = s[j];
    if (c == '&') {
      const std::size_t semi = s.find(';', j);
      if (semi == std::string_view::npos || semi >= end) break;
      const std::string_view ref = s.substr(j + 1, semi - j - 1);
      std::string replacement;
      if (StartsWith(ref, "#x") || StartsWith(ref, "#X")) {
        text::AppendCodePoint(replacement, static_cast<char32_t>(std::strtoul(
                                               std::string(ref.substr(2)).c_str(), nullptr, 16)));
      } else if (StartsWith(ref, "#")) {
        text::AppendCodePoint(replacement, static_cast<char32_t>(std::strtoul(
                                               std::string(ref.substr(1)).c_str(), nullptr, 10)));
      } else if (ref == "lt") {
        replacement = "<";
      } else if (ref == "gt") {
        replacement = ">";
      } else if (ref == "amp") {
        replacement = "&";
      } else if (ref == "quot") {
        replacement = "\"";
      } else if (ref == "apos") {
        replacement = "'";
      }
      add(replacement, j);
      j = semi + 1;
    } else if (c == '\r' && j + 1 < end && s[j + 1] == '\n') {
      add(" ", j);
      j += 2;
    } else if (c == '\r' || c == '\n' || c == '\t') {
      add(" ", j);
      ++j;
    } else {
      add(s.substr(j, 1), j);
      ++j;
    }
  }
  return out;
}

// ---- Edit distance -----------------------------------------------------------

std::u32string Folded(std::string_view s) {
  std::u32string out = text::DecodeKeepBytes(s);
  for (char32_t& c : out) c = text::FoldLower(c);
  return out;
}

// Levenshtein distance where swapping two neighbours costs one edit; gives up
// (returns limit + 1) as soon as the distance must exceed `limit`.
std::size_t Distance(const std::u32string& a, const std::u32string& b, std::size_t limit) {
  const std::size_t n = a.size(), m = b.size();
  if ((n > m ? n - m : m - n) > limit) return limit + 1;
  std::vector<std::size_t> before(m + 1), previous(m + 1), current(m + 1);
  for (std::size_t j = 0; j <= m; ++j) previous[j] = j;
  for (std::size_t i = 1; i <= n; ++i) {
    current[0] = i;
    std::size_t rowMinimum = current[0];
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      std::size_t d = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d = std::min(d, before[j - 2] + 1);
      }
      current[j] = d;
      rowMinimum = std::min(rowMinimum, d);
    }
    if (rowMinimum > limit) return limit + 1;
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return previous[m];
}

// How many edits still count as a slip for a word of this length.
std::size_t SlipLimit(std::size_t length) {
  if (length <= 4) return 1;
  if (length <= 8) return 2;
  return 3;
}

// ---- The structure of the file -----------------------------------------------

struct ElementRule {
  std::string_view name;
  std::string_view parent;  // where the reader looks for it ("" = the root)
  std::vector<std::string> children;
  std::vector<std::string> attributes;
  std::vector<std::string_view> required;
};

const std::vector<ElementRule>& ElementRules() {
  static const std::vector<ElementRule> rules = {
      {"FieldMappings", "", {"MappingClass"}, {}, {}},
      {"MappingClass", "FieldMappings", {"Conditions", "Fields"}, {"name"}, {"name"}},
      {"Conditions", "MappingClass", {"Condition"}, {}, {}},
      {"Condition",
       "Conditions",
       {},
       {"field", "operator", "value", "connector", "comparemethod"},
       {"field", "operator", "value"}},
      {"Fields", "MappingClass", {"Field"}, {}, {}},
      {"Field", "Fields", {}, {"name", "value"}, {"name", "value"}},
  };
  return rules;
}

const ElementRule* RuleFor(std::string_view name) {
  for (const ElementRule& rule : ElementRules()) {
    if (rule.name == name) return &rule;
  }
  return nullptr;
}

std::vector<std::string> AllElementNames() {
  std::vector<std::string> names;
  for (const ElementRule& rule : ElementRules()) names.emplace_back(rule.name);
  return names;
}

// The engine's detail text of a missing attribute.
std::string MissingDetail(std::string_view element, std::string_view attribute) {
  const std::string_view owner = element == "MappingClass" ? "mapping class"
                                 : element == "Condition"  ? "condition"
                                                           : "field";
  return std::string(owner) + " missing required attribute '" + std::string(attribute) + "'.";
}

struct NamedCharacter {
  std::string_view name;  // lower case
  std::string_view text;
};
constexpr std::array<NamedCharacter, 8> kNamedCharacters = {{{"cr", "\r"},
                                                             {"lf", "\n"},
                                                             {"br", "\r\n"},
                                                             {"tab", "\t"},
                                                             {"comma", ","},
                                                             {"quote", "\""},
                                                             {"colon", ":"},
                                                             {"semi", ";"}}};

// One part of a value expression as the engine's parser reads it, with the
// byte offsets of its texts in the expression.
struct ExpressionItem {
  enum Kind { kLiteral, kDateTime, kField, kUnclosed } kind;
  std::string_view text;  // literal text, date format or field name
  std::size_t offset;
  std::string_view parameters;  // of a field: the list after ":"
  std::size_t parametersOffset = 0;

  ExpressionItem(Kind k, std::string_view t, std::size_t at, std::string_view list = {},
                 std::size_t listAt = 0)
      : kind(k), text(t), offset(at), parameters(list), parametersOffset(listAt) {}
};

// Calls fn(item) for each part, in the order FieldParts::ParseValueString
// makes them; kUnclosed marks a "[" without "]" (the engine drops it).
template <typename Fn>
void WalkExpression(std::string_view expression, Fn&& fn) {
  std::size_t pos = 0;
  while (pos < expression.size()) {
    const std::size_t open = expression.find('[', pos);
    const std::size_t headEnd = open == std::string_view::npos ? expression.size() : open;
    if (headEnd > pos) {
      fn(ExpressionItem(ExpressionItem::kLiteral, expression.substr(pos, headEnd - pos), pos));
    }
    if (open == std::string_view::npos) break;
    const std::size_t close = expression.find(']', open + 1);
    if (close == std::string_view::npos) {
      fn(ExpressionItem(ExpressionItem::kUnclosed, {}, open));
      if (open + 1 < expression.size()) {
        fn(ExpressionItem(ExpressionItem::kLiteral, expression.substr(open + 1), open + 1));
      }
      break;
    }
    const std::string_view inner = expression.substr(open + 1, close - open - 1);
    pos = close + 1;
    if (inner.empty()) continue;
    const std::size_t colon = inner.find(':');
    if (colon != std::string_view::npos) {
      const std::string_view key = inner.substr(0, colon);
      const std::string lowerKey = text::LCase(key);
      const std::size_t parametersOffset = open + 1 + colon + 1;
      if (lowerKey == "date" || lowerKey == "time") {
        fn(ExpressionItem(ExpressionItem::kDateTime, inner.substr(colon + 1), parametersOffset));
      } else {
        fn(ExpressionItem(ExpressionItem::kField, key, open + 1, inner.substr(colon + 1),
                          parametersOffset));
      }
      continue;
    }
    const std::string lower = text::LCase(inner);
    const auto named = std::find_if(kNamedCharacters.begin(), kNamedCharacters.end(),
                                    [&](const NamedCharacter& c) { return c.name == lower; });
    if (named != kNamedCharacters.end()) {
      fn(ExpressionItem(ExpressionItem::kLiteral, named->text, open));
    } else {
      fn(ExpressionItem(ExpressionItem::kField, inner, open + 1));
    }
  }
}

// The items of a parameter list as (offset, length), split at the commas
// that "\," does not escape; empty items are left out, as the engine skips
// them.
std::vector<std::pair<std::size_t, std::size_t>> SplitParameters(std::string_view parameters) {
  std::vector<std::pair<std::size_t, std::size_t>> items;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= parameters.size(); ++i) {
    if (i < parameters.size() && parameters[i] == '\\' && i + 1 < parameters.size() &&
        (parameters[i + 1] == ',' || parameters[i + 1] == '{' || parameters[i + 1] == '}')) {
      ++i;
      continue;
    }
    if (i == parameters.size() || parameters[i] == ',') {
      if (i > start) items.emplace_back(start, i - start);
      start = i + 1;
    }
  }
  return items;
}

// The keyword of a parameter item, in lower case, and whether it has an
// argument (an unescaped "{").
std::pair<std::string, bool> KeywordOf(std::string_view item) {
  for (std::size_t i = 0; i < item.size(); ++i) {
    if (item[i] == '\\' && i + 1 < item.size() &&
        (item[i + 1] == ',' || item[i + 1] == '{' || item[i + 1] == '}')) {
      ++i;
      continue;
    }
    if (item[i] == '{') return {text::LCase(item.substr(0, i)), true};
  }
  return {text::LCase(item), false};
}

std::string Quoted(std::string_view s) {
  return "\"" + std::string(s) + "\"";
}

// A bracket content that a like pattern's author probably meant as a
// character list ("[A-C]", "[!0-9]", "[.]"), which the value expression reads
// as a field instead.
bool LooksLikeCharacterList(std::string_view name) {
  if (name.empty()) return false;
  if (name.front() == '!') return true;
  const std::u32string chars = text::Decode(name);
  if (chars.size() == 1) return true;
  if (chars.size() == 3 && chars[1] == U'-') return true;
  return std::none_of(chars.begin(), chars.end(), [](char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || c >= 0x80;
  });
}

// ---- One document ------------------------------------------------------------

class DocumentLinter {
 public:
  DocumentLinter(LintedFile& result, std::string_view bytes) : result_(result), bytes_(bytes) {}

  void Run() {
    xml::DocPtr doc;
    try {
      doc = xml::Parse(bytes_, result_.file);
    } catch (const xml::ParseError& e) {
      std::string reason = e.reason;
      if (e.line > 0) {
        const std::size_t place = reason.rfind(" (line ");
        if (place != std::string::npos) reason.erase(place);
      }
      Add("xml-error", LintSeverity::kError, {e.line, e.column},
          "the file is not a readable XML document: " + reason + " (error " +
              std::to_string(e.code) + ")");
      return;
    }
    result_.parsed = true;
    IndexPlaces(doc.get());

    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (root == nullptr) return;
    if (!xml::IsElement(root, "FieldMappings")) {
      const std::string name = NameOf(root);
      Add("wrong-root", LintSeverity::kError, PlaceOf(root),
          "the root element is <" + name +
              ">: the engine reads mapping classes only from a <FieldMappings> root, so this "
              "file gives none",
          ClosestName(name, {"FieldMappings"}));
      return;
    }
    CheckAttributes(root, *RuleFor("FieldMappings"));
    ForEachChild(root, *RuleFor("FieldMappings"),
                 [&](const xmlNode* element) { LintClass(element); });
    if (suppressed_ > 0) {
      result_.findings.push_back({"too-many-findings", suppressedSeverity_, result_.file, 0, 0,
                                  std::to_string(suppressed_) + " more findings are not shown",
                                  ""});
    }
  }

  void Add(std::string kind, LintSeverity severity, Place place, std::string message,
           std::string suggestion = {}) {
    if (result_.findings.size() >= kMaxFindings) {
      ++suppressed_;
      if (severity == LintSeverity::kError) suppressedSeverity_ = LintSeverity::kError;
      return;
    }
    if (!suggestion.empty()) message += " (did you mean " + Quoted(suggestion) + "?)";
    result_.findings.push_back({std::move(kind), severity, result_.file, place.line, place.column,
                                std::move(message), std::move(suggestion)});
  }

 private:
  static std::string NameOf(const xmlNode* node) {
    std::string name = reinterpret_cast<const char*>(node->name);
    if (node->ns != nullptr && node->ns->prefix != nullptr) {
      name = reinterpret_cast<const char*>(node->ns->prefix) + (":" + name);
    }
    return name;
  }

  static void CollectElements(const xmlNode* node, std::vector<const xmlNode*>& out) {
    for (const xmlNode* child = node; child != nullptr; child = child->next) {
      if (child->type != XML_ELEMENT_NODE) continue;
      out.push_back(child);
      CollectElements(child->children, out);
    }
  }

  // Pairs the parser's elements with the scanned start tags, one for one in
  // document order; from the first that does not agree on, places come from
  // the parser's lines alone.
  void IndexPlaces(const xmlDoc* doc) {
    const std::optional<std::string> utf8 = SourceAsUtf8(bytes_, doc);
    if (!utf8) return;
    source_.emplace(*utf8);
    tags_ = ScanStartTags(source_->Text());
    std::vector<const xmlNode*> elements;
    CollectElements(xmlDocGetRootElement(doc), elements);
    const std::size_t count = std::min(elements.size(), tags_.size());
    for (std::size_t i = 0; i < count; ++i) {
      if (tags_[i].name != NameOf(elements[i])) break;
      tagOf_.emplace(elements[i], &tags_[i]);
    }
  }

  const ScannedTag* TagOf(const xmlNode* element) const {
    const auto found = tagOf_.find(element);
    return found == tagOf_.end() ? nullptr : found->second;
  }

  Place PlaceOf(const xmlNode* element) const {
    if (const ScannedTag* tag = TagOf(element)) return source_->At(tag->offset);
    return {xml::LineOf(element), 0};
  }

  const ScannedAttribute* ScannedAttributeOf(const xmlNode* element, std::string_view name) const {
    const ScannedTag* tag = TagOf(element);
    if (tag == nullptr) return nullptr;
    for (const ScannedAttribute& attribute : tag->attributes) {
      if (attribute.name == name) return &attribute;
    }
    return nullptr;
  }

  Place AttributePlace(const xmlNode* element, std::string_view name) const {
    if (const ScannedAttribute* attribute = ScannedAttributeOf(element, name)) {
      return source_->At(attribute->nameOffset);
    }
    return PlaceOf(element);
  }

  // Maps offsets in an attribute's value to places in the source.
  class ValuePlaces {
   public:
    ValuePlaces(const DocumentLinter& linter, const xmlNode* element, std::string_view name,
                const std::string& value)
        : linter_(linter), fallback_(linter.AttributePlace(element, name)) {
      const ScannedAttribute* attribute = linter.ScannedAttributeOf(element, name);
      if (attribute == nullptr) return;
      valueStart_ = attribute->valueBegin;
      DecodedValue decoded =
          DecodeAttribute(linter.source_->Text(), attribute->valueBegin, attribute->valueEnd);
      // Only when the value reads the same as the parser's is every offset
      // known; otherwise findings point at the attribute.
      if (decoded.text == value) offsets_ = std::move(decoded.offsets);
      known_ = true;
    }

    Place At(std::size_t offset) const {
      if (!known_) return fallback_;
      if (offsets_.empty()) return linter_.source_->At(valueStart_);
      if (offset >= offsets_.size()) return linter_.source_->At(offsets_.back());
      return linter_.source_->At(offsets_[offset]);
    }

   private:
    const DocumentLinter& linter_;
    Place fallback_;
    bool known_ = false;
    std::size_t valueStart_ = 0;
    std::vector<std::size_t> offsets_;
  };

  template <typename Fn>
  void ForEachChild(const xmlNode* parent, const ElementRule& rule, Fn&& onAllowed) {
    for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
      if (child->type != XML_ELEMENT_NODE) continue;
      const std::string name = NameOf(child);
      const bool allowed =
          child->ns == nullptr &&
          std::find(rule.children.begin(), rule.children.end(), name) != rule.children.end();
      if (allowed) {
        onAllowed(child);
        continue;
      }
      const ElementRule* known = child->ns == nullptr ? RuleFor(name) : nullptr;
      if (known != nullptr) {
        std::string where = known->parent.empty()
                                ? "is only the root of the file"
                                : "is read only inside <" + std::string(known->parent) + ">";
        std::string effect = "here the engine ignores it";
        if (name == "Condition") effect += ", so its class applies without this condition";
        Add("misplaced-element", LintSeverity::kError, PlaceOf(child),
            "<" + name + "> " + where + ": " + effect);
        continue;
      }
      std::string suggestion = ClosestName(name, rule.children);
      if (suggestion.empty()) suggestion = ClosestName(name, AllElementNames());
      std::string expected;
      for (const std::string& allowedName : rule.children) {
        expected += (expected.empty() ? "<" : ", <") + allowedName + ">";
      }
      Add("unknown-element", LintSeverity::kError, PlaceOf(child),
          "unknown element <" + name + "> in <" + std::string(rule.name) +
              ">: the engine ignores it and everything in it" +
              (expected.empty() ? std::string(" (nothing belongs here)")
                                : " (expected " + expected + ")"),
          suggestion);
    }
  }

  // Unknown attributes, then the required ones that are missing. Returns
  // false when a required one is missing (the engine fails the load there).
  bool CheckAttributes(const xmlNode* element, const ElementRule& rule) {
    for (const xmlAttr* attr = element->properties; attr != nullptr; attr = attr->next) {
      std::string name = reinterpret_cast<const char*>(attr->name);
      if (attr->ns != nullptr && attr->ns->prefix != nullptr) {
        name = reinterpret_cast<const char*>(attr->ns->prefix) + (":" + name);
      }
      if (attr->ns == nullptr && std::find(rule.attributes.begin(), rule.attributes.end(), name) !=
                                     rule.attributes.end()) {
        continue;
      }
      const std::string suggestion = ClosestName(name, rule.attributes);
      // A near miss of a known attribute loses what its author meant; any
      // other attribute is only noise.
      Add("unknown-attribute", suggestion.empty() ? LintSeverity::kWarning : LintSeverity::kError,
          AttributePlace(element, name),
          "unknown attribute " + Quoted(name) + " on <" + std::string(rule.name) +
              ">: the engine ignores it",
          suggestion);
    }
    bool complete = true;
    for (std::string_view required : rule.required) {
      if (xml::Attribute(element, required)) continue;
      complete = false;
      Add("missing-attribute", LintSeverity::kError, PlaceOf(element),
          "<" + std::string(rule.name) + "> has no " + Quoted(required) +
              " attribute: the file cannot be loaded (error 6000, \"" +
              MissingDetail(rule.name, required) + "\")");
    }
    return complete;
  }

  void LintClass(const xmlNode* element) {
    const ElementRule& rule = *RuleFor("MappingClass");
    CheckAttributes(element, rule);
    LintedClass linted;
    linted.name = xml::Attribute(element, "name").value_or("");
    const Place place = PlaceOf(element);
    linted.line = place.line;
    linted.column = place.column;
    if (xml::Attribute(element, "name")) {
      const auto [it, inserted] = classNames_.emplace(text::LCase(linted.name), place);
      if (!inserted) {
        Add("duplicate-class", LintSeverity::kError, AttributePlace(element, "name"),
            "the class name " + Quoted(linted.name) + " is already used at line " +
                std::to_string(it->second.line) +
                " (names ignore letter case): the file cannot be loaded (error 457)");
      }
    }
    std::unordered_map<std::string, long> fieldLines;
    ForEachChild(element, rule, [&](const xmlNode* list) {
      const bool conditions = xml::IsElement(list, "Conditions");
      const ElementRule& listRule = *RuleFor(conditions ? "Conditions" : "Fields");
      CheckAttributes(list, listRule);
      ForEachChild(list, listRule, [&](const xmlNode* item) {
        if (conditions) {
          LintCondition(item, linted);
        } else {
          LintField(item, linted, fieldLines);
        }
      });
    });
    result_.classes.push_back(std::move(linted));
  }

  void LintField(const xmlNode* element, LintedClass& linted,
                 std::unordered_map<std::string, long>& fieldLines) {
    if (!CheckAttributes(element, *RuleFor("Field"))) return;
    const std::string name = *xml::Attribute(element, "name");
    const std::string value = *xml::Attribute(element, "value");
    const Place place = AttributePlace(element, "name");
    if (text::Trim(name).empty()) {
      Add("blank-field-name", LintSeverity::kWarning, place,
          "a field mapping with a blank name adds nothing");
    } else {
      const auto [it, inserted] = fieldLines.emplace(text::LCase(name), place.line);
      if (!inserted) {
        Add("duplicate-field", LintSeverity::kWarning, place,
            "the field " + Quoted(name) + " is mapped again in class " + Quoted(linted.name) +
                " (first at line " + std::to_string(it->second) +
                "): the later value replaces the earlier one");
      } else {
        linted.writes.push_back(name);
      }
    }
    const ValuePlaces places(*this, element, "value", value);
    LintExpression(value, places, linted.fieldReads, false);
  }

  void LintCondition(const xmlNode* element, LintedClass& linted) {
    if (!CheckAttributes(element, *RuleFor("Condition"))) return;
    const std::string field = *xml::Attribute(element, "field");
    const std::string op = *xml::Attribute(element, "operator");
    const std::string value = *xml::Attribute(element, "value");

    const enumConditionals parsed = LintOperator(element, op);
    if (const auto connector = xml::Attribute(element, "connector")) {
      LintChoice(element, "connector", *connector, {"and", "or"}, "or", "unknown-connector",
                 "the engine reads it as \"and\"");
    }
    if (const auto mode = xml::Attribute(element, "comparemethod")) {
      LintChoice(element, "comparemethod", *mode, {"binary", "text"}, "text",
                 "unknown-compare-method", "the engine compares in binary mode");
    }

    const ValuePlaces fieldPlaces(*this, element, "field", field);
    if (field.find('[') == std::string::npos) {
      if (!field.empty()) {
        const Place place = fieldPlaces.At(0);
        linted.conditionReads.push_back({field, place.line, place.column, true});
      }
    } else {
      LintExpression(field, fieldPlaces, linted.conditionReads, false);
    }
    // The blank tests never look at the value.
    if (parsed == condIsBlank || parsed == condIsNotBlank) return;
    const ValuePlaces valuePlaces(*this, element, "value", value);
    LintExpression(value, valuePlaces, linted.conditionReads,
                   parsed == condLike || parsed == condNotLike);
  }

  enumConditionals LintOperator(const xmlNode* element, const std::string& op) {
    const enumConditionals parsed = Conditions::ParseOperator(op);
    std::string normal;
    for (const char c : text::LCase(op)) {
      if (c != ' ') normal += c;
    }
    if (parsed != condEquals || normal == "equals" || normal == "eq" || normal == "=") {
      return parsed;
    }
    // The spellings people write: the long forms, and the short forms made of
    // words.
    std::vector<std::string> forms;
    std::vector<std::string> normalForms;
    for (std::int32_t i = condEquals; i <= condNotLike; ++i) {
      for (const bool shortForm : {false, true}) {
        const std::string form = Conditions::OperatorString(i, shortForm);
        if (std::find(forms.begin(), forms.end(), form) != forms.end()) continue;
        forms.push_back(form);
        std::string n;
        for (const char c : form) {
          if (c != ' ') n += c;
        }
        normalForms.push_back(n);
      }
    }
    const std::string closest = ClosestName(normal, normalForms);
    std::string suggestion;
    for (std::size_t i = 0; i < forms.size(); ++i) {
      if (normalForms[i] == closest && !closest.empty()) suggestion = forms[i];
    }
    const ValuePlaces places(*this, element, "operator", op);
    Add("unknown-operator", LintSeverity::kError, places.At(0),
        "unknown operator " + Quoted(op) + ": the engine compares with \"equals\" instead",
        suggestion);
    return condEquals;
  }

  // An attribute whose value is one of a few words in any letter case
  // ("and"/"or", "binary"/"text"); anything else means the default. Writing
  // the other word slightly wrong loses its meaning, which is an error; any
  // other text is only a warning.
  void LintChoice(const xmlNode* element, std::string_view attribute, const std::string& value,
                  const std::vector<std::string>& words, const std::string& meaningful,
                  const char* kind, std::string_view effect) {
    const std::string lower = text::LCase(value);
    if (std::find(words.begin(), words.end(), lower) != words.end()) return;
    std::string suggestion = ClosestName(text::Trim(value), words);
    if (suggestion.empty() && text::Trim(lower) == meaningful) suggestion = meaningful;
    const ValuePlaces places(*this, element, attribute, value);
    Add(kind, suggestion == meaningful ? LintSeverity::kError : LintSeverity::kWarning,
        places.At(0),
        "unknown " + std::string(attribute) + " " + Quoted(value) + ": " + std::string(effect) +
            " (only " + Quoted(words[0]) + " or " + Quoted(words[1]) +
            ", in any letter case and without blanks, are known)",
        suggestion);
  }

  // A value expression, as FieldParts reads it; `reads` gets every field it
  // reads with its place.
  void LintExpression(const std::string& expression, const ValuePlaces& places,
                      std::vector<FieldReference>& reads, bool likePattern) {
    WalkExpression(expression, [&](const ExpressionItem& item) {
      switch (item.kind) {
        case ExpressionItem::kLiteral:
          break;
        case ExpressionItem::kUnclosed:
          Add("unclosed-bracket", LintSeverity::kWarning, places.At(item.offset),
              "a \"[\" without a closing \"]\": the engine drops the \"[\" and keeps the rest "
              "as text");
          break;
        case ExpressionItem::kDateTime:
          LintMask(item.text, places.At(item.offset), "date");
          break;
        case ExpressionItem::kField:
          AddRead(item.text, places.At(item.offset), reads, likePattern);
          for (const auto& [offset, length] : SplitParameters(item.parameters)) {
            LintModifier(item.parameters.substr(offset, length),
                         places.At(item.parametersOffset + offset));
          }
          break;
      }
    });
  }

  void AddRead(std::string_view name, Place place, std::vector<FieldReference>& reads,
               bool likePattern) {
    if (likePattern && LooksLikeCharacterList(name)) {
      Add("like-pattern-field", LintSeverity::kWarning, place,
          "in a like pattern, \"[" + std::string(name) + "]\" is read as the field " +
              Quoted(name) +
              ", not as a list of characters: the value of a condition is a value expression");
      return;
    }
    reads.push_back({std::string(name), place.line, place.column, false});
  }

  void LintMask(std::string_view mask, Place place, std::string_view modifier) {
    try {
      (void)platform::Format(std::string_view("1"), mask);
    } catch (const platform::Error& e) {
      Add("invalid-mask", LintSeverity::kError, place,
          "the " + std::string(modifier) + " mask " + Quoted(mask) +
              " cannot be used: " + e.Description() + " (error " + std::to_string(e.Number()) +
              "), so every translation of it fails");
    }
  }

  // One item of a parameter list ('trim', 'index{2:;}').
  void LintModifier(std::string_view item, Place place) {
    static const std::vector<FieldPart::Keyword> keywords = FieldPart::Keywords();
    static const std::vector<std::string> keywordNames = [] {
      std::vector<std::string> names;
      for (const FieldPart::Keyword& k : keywords) names.emplace_back(k.name);
      return names;
    }();
    // Named variables rather than a structured binding: the lambdas below
    // capture the keyword, which clang before C++20 support rejects.
    const std::pair<std::string, bool> parsed = KeywordOf(item);
    const std::string& keyword = parsed.first;
    const bool hasArgument = parsed.second;
    const auto known = std::find_if(keywords.begin(), keywords.end(),
                                    [&](const FieldPart::Keyword& k) { return k.name == keyword; });
    if (known == keywords.end()) {
      const std::string written(item.substr(0, item.find('{')));
      std::string message = "unknown modifier " + Quoted(written) + ": the engine ignores it";
      if (text::Trim(keyword) != keyword) message += " (a blank around a keyword makes it unknown)";
      const std::string_view trimmed = text::Trim(keyword);
      const bool blanksOnly =
          std::find(keywordNames.begin(), keywordNames.end(), trimmed) != keywordNames.end();
      Add("unknown-modifier", LintSeverity::kError, place, message,
          blanksOnly ? std::string(trimmed) : ClosestName(trimmed, keywordNames));
      return;
    }
    if (known->needsArgument && !hasArgument) {
      Add("modifier-without-argument", LintSeverity::kError, place,
          Quoted(keyword) + " without an argument in braces does nothing: write " + keyword +
              "{...}");
      return;
    }
    FieldPart part;
    try {
      part.SetParameters(item);
    } catch (const platform::Error& e) {
      Add("invalid-modifier-argument", LintSeverity::kError, place,
          "the modifier " + Quoted(item) + " fails: " + e.Description() + " (error " +
              std::to_string(e.Number()) + "), so the file cannot be loaded");
      return;
    }
    if (keyword == "substring" && !part.Substring) {
      Add("ignored-modifier", LintSeverity::kWarning, place,
          Quoted(item) + " needs \"start|length\": the engine ignores it");
    } else if (keyword == "replace" && !part.ReplaceString) {
      Add("ignored-modifier", LintSeverity::kWarning, place,
          Quoted(item) + " needs \"find|with\": the engine ignores it");
    } else if (part.Numeric) {
      LintMask(part.NumericFormat, place, "numeric");
    } else if (part.DateField) {
      LintMask(part.DateFormat, place, "date");
    } else if (part.StringFormat) {
      LintMask(part.StringFormatMask, place, "format");
    }
  }

  LintedFile& result_;
  std::string_view bytes_;
  std::optional<SourceText> source_;
  std::vector<ScannedTag> tags_;
  std::unordered_map<const xmlNode*, const ScannedTag*> tagOf_;
  std::unordered_map<std::string, Place> classNames_;
  std::size_t suppressed_ = 0;
  LintSeverity suppressedSeverity_ = LintSeverity::kWarning;
};

// ---- Across levels -------------------------------------------------------------

// Field names in the way a field list compares them.
class NameSet {
 public:
  explicit NameSet(const AvailableFields& available) : prefixes_(available.prefixes) {
    for (const std::string& prefix : prefixes_) foldedPrefixes_.push_back(text::LCase(prefix));
    for (const std::string& name : available.names) Add(name);
  }

  void Add(const std::string& name) {
    if (folded_.insert(text::LCase(name)).second) spellings_.push_back(name);
  }

  bool Contains(std::string_view name) const {
    const std::string folded = text::LCase(name);
    if (folded_.contains(folded)) return true;
    return std::any_of(foldedPrefixes_.begin(), foldedPrefixes_.end(),
                       [&](const std::string& prefix) { return StartsWith(folded, prefix); });
  }

  const std::vector<std::string>& Spellings() const noexcept { return spellings_; }

 private:
  std::vector<std::string> prefixes_;
  std::vector<std::string> foldedPrefixes_;
  std::unordered_set<std::string> folded_;
  std::vector<std::string> spellings_;
};

// Findings in the order of their places; those about the whole file last.
void SortFindings(std::vector<LintFinding>& findings) {
  std::stable_sort(findings.begin(), findings.end(),
                   [](const LintFinding& a, const LintFinding& b) {
                     if ((a.line == 0) != (b.line == 0)) return b.line == 0;
                     return a.line != b.line ? a.line < b.line : a.column < b.column;
                   });
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string_view SeverityText(LintSeverity severity) {
  return severity == LintSeverity::kError ? "error" : "warning";
}

std::size_t LintedFile::Count(LintSeverity severity) const {
  return static_cast<std::size_t>(
      std::count_if(findings.begin(), findings.end(),
                    [&](const LintFinding& f) { return f.severity == severity; }));
}

LintedFile LintMappingDocument(std::string_view bytes, std::string_view fileName) {
  LintedFile result;
  result.file.assign(fileName);
  DocumentLinter(result, bytes).Run();
  SortFindings(result.findings);
  return result;
}

LintedFile LintMappingFile(std::string_view fileName) {
  std::string bytes;
  try {
    bytes = xml::ReadFileLimited(platform::ToNativePath(fileName), fileName);
  } catch (const xml::ParseError& e) {
    LintedFile result;
    result.file.assign(fileName);
    result.findings.push_back({"unreadable-file", LintSeverity::kError, result.file, 0, 0,
                               e.reason + " (error " + std::to_string(e.code) + ")", ""});
    return result;
  }
  return LintMappingDocument(bytes, fileName);
}

void CheckFieldAvailability(std::span<LintedFile> levels, const AvailableFields& available,
                            std::size_t firstReported) {
  // Who writes each name first, to tell "written only later" from "never".
  std::unordered_map<std::string, std::string> writers;
  for (const LintedFile& level : levels) {
    for (const LintedClass& linted : level.classes) {
      for (const std::string& name : linted.writes) {
        writers.emplace(text::LCase(name),
                        "class " + Quoted(linted.name) + " of " + FileNameOf(level.file));
      }
    }
  }

  NameSet names(available);
  // After a level that could not be read, nothing is known of what the
  // document holds: the later levels are not judged.
  bool known = true;
  for (std::size_t index = 0; index < levels.size(); ++index) {
    LintedFile& level = levels[index];
    const bool report = known && index >= firstReported;
    known = known && level.parsed;
    std::vector<LintFinding> found;
    for (const LintedClass& linted : level.classes) {
      const auto check = [&](const FieldReference& read) {
        if (!report || names.Contains(read.name)) return;
        std::string message =
            read.conditionField
                ? "the condition's field " + Quoted(read.name) +
                      " is no field the document has here, so the condition compares the text " +
                      Quoted(read.name) + " itself"
                : "the field " + Quoted(read.name) +
                      " is no field the document has here, so it reads as empty";
        const auto writer = writers.find(text::LCase(read.name));
        if (writer != writers.end()) message += "; it is written only later, by " + writer->second;
        std::string suggestion = ClosestName(read.name, names.Spellings());
        if (!suggestion.empty()) message += " (did you mean " + Quoted(suggestion) + "?)";
        found.push_back({"unknown-field", LintSeverity::kError, level.file, read.line, read.column,
                         std::move(message), std::move(suggestion)});
      };
      // Conditions see the values before the class applies; its mappings all
      // read those same values.
      for (const FieldReference& read : linted.conditionReads) check(read);
      for (const FieldReference& read : linted.fieldReads) check(read);
      for (const std::string& name : linted.writes) names.Add(name);
    }
    if (found.empty()) continue;
    for (LintFinding& finding : found) {
      if (level.findings.size() >= kMaxFindings) break;
      level.findings.push_back(std::move(finding));
    }
    SortFindings(level.findings);
  }
}

std::vector<std::string> DescribeExpression(std::string_view expression) {
  // The step of the modifier chain each keyword switches on; the last four
  // are the final conversion, of which only the first present applies.
  static constexpr std::array<std::pair<std::string_view, int>, 17> kSteps = {
      {{"index", 1},
       {"trim", 2},
       {"strip", 3},
       {"substring", 4},
       {"truncate", 5},
       {"lefttrim", 7},
       {"replace", 8},
       {"format", 9},
       {"separate", 10},
       {"alpha2numeric", 11},
       {"fixed", 12},
       {"date", 13},
       {"time", 13},
       {"datetime", 13},
       {"numeric", 14},
       {"lookup", 15},
       {"wrap", 16}}};
  constexpr int kFirstConversion = 13;
  static const std::vector<FieldPart::Keyword> keywords = FieldPart::Keywords();

  std::vector<std::string> lines;
  WalkExpression(expression, [&](const ExpressionItem& item) {
    switch (item.kind) {
      case ExpressionItem::kUnclosed:
        return;
      case ExpressionItem::kLiteral:
        lines.push_back("Literal:       '" + std::string(item.text) + "'");
        return;
      case ExpressionItem::kDateTime:
        lines.push_back("Date/time:     " + std::string(item.text));
        return;
      case ExpressionItem::kField:
        break;
    }
    std::vector<std::pair<int, std::string>> applied;  // (step, as written)
    std::vector<std::string> ignored;
    for (const auto& [offset, length] : SplitParameters(item.parameters)) {
      const std::string written(item.parameters.substr(offset, length));
      const std::pair<std::string, bool> parsed = KeywordOf(written);
      const std::string& keyword = parsed.first;
      const bool hasArgument = parsed.second;
      const auto step = std::find_if(kSteps.begin(), kSteps.end(),
                                     [&](const auto& s) { return s.first == keyword; });
      const auto rule =
          std::find_if(keywords.begin(), keywords.end(),
                       [&](const FieldPart::Keyword& k) { return k.name == keyword; });
      FieldPart part;
      bool effective =
          step != kSteps.end() && rule != keywords.end() && (hasArgument || !rule->needsArgument);
      if (effective && (keyword == "substring" || keyword == "replace")) {
        try {
          part.SetParameters(written);
        } catch (const platform::Error&) {
        }
        effective = part.Substring || part.ReplaceString;
      }
      if (!effective) {
        ignored.push_back(written);
        continue;
      }
      // A keyword given again replaces the earlier one.
      std::erase_if(applied, [&](const auto& a) { return KeywordOf(a.second).first == keyword; });
      applied.emplace_back(step->second, written);
    }
    std::stable_sort(applied.begin(), applied.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string line = "Field:      " + std::string(item.text);
    std::string summary;
    bool converted = false;
    for (const auto& [step, written] : applied) {
      if (step >= kFirstConversion) {
        if (converted) {
          ignored.push_back(written + " (one conversion only)");
          continue;
        }
        converted = true;
      }
      summary += (summary.empty() ? "" : ",") + written;
    }
    if (!summary.empty()) line += "  " + summary;
    if (!ignored.empty()) {
      line += "  (ignored: ";
      for (std::size_t i = 0; i < ignored.size(); ++i) line += (i ? ", " : "") + ignored[i];
      line += ")";
    }
    lines.push_back(std::move(line));
  });
  return lines;
}

std::string ClosestName(std::string_view word, const std::vector<std::string>& candidates) {
  const std::u32string target = Folded(word);
  if (target.empty()) return {};
  const std::size_t limit = std::min(SlipLimit(target.size()), target.size() - 1);
  std::size_t best = limit + 1;
  const std::string* bestName = nullptr;
  for (const std::string& candidate : candidates) {
    const std::u32string folded = Folded(candidate);
    const std::size_t d = Distance(target, folded, std::min(limit, best));
    // An exact match is no slip, except in letter case where that matters
    // (element and attribute names).
    if (d == 0 && candidate == word) continue;
    if (d < best) {
      best = d;
      bestName = &candidate;
      if (d == 0) break;
    }
  }
  return bestName == nullptr ? std::string() : *bestName;
}

}  // namespace marrow
