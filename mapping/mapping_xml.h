// Internal XML plumbing of the mapping-class file, over libxml2.
//
// Reading is locked down, because mapping files and the XML text kept with
// the host's settings are untrusted input:
//   - no network access, no DTD loading, no entity substitution;
//   - a document that declares entities (general or parameter) or names an
//     external DTD is refused before anything is expanded or fetched;
//   - libxml2's default limits stay on (element depth 256, text and names of
//     bounded length): the "huge" option is never set;
//   - documents (files and texts alike) larger than kMaxDocumentBytes are
//     refused before parsing.
// Errors are captured per parse (no global handler), as the parser's code,
// its message and the line and column where it stopped.
//
// Writing builds the document with libxml2, which escapes '<', '&', quotes
// and also CR, LF and TAB in attribute values (as &#13; &#10; &#9;), so that
// line breaks survive the attribute-value normalisation of the reader. Texts
// that no XML 1.0 document can hold (control characters, invalid UTF-8) are
// refused instead of being written into a file that could not be read back.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <libxml/parserInternals.h>
#include <libxml/tree.h>

#include "mapping/conditional_mappings.h"

namespace marrow::xml {

// libxml2 refuses to look further ahead than XML_MAX_LOOKUP_LIMIT (10 MB)
// without its "huge" option, so larger documents would fail in the middle of
// a parse anyway; refusing them up front gives a clear message and keeps the
// parsed tree of a hostile document to a few hundred megabytes.
inline constexpr std::size_t kMaxDocumentBytes = ConditionalMappings::kMaxDocumentBytes;
static_assert(kMaxDocumentBytes <= XML_MAX_LOOKUP_LIMIT);

// A failure to read or parse a document: the parser's error code (libxml2's
// xmlParserErrors, XML_IO_* for files) and a reason text that ends with the
// place, e.g. "Opening and ending tag mismatch: Fields line 3 and
// MappingClass (line 4, column 18)".
struct ParseError {
  int code = 0;
  std::string reason;
  long line = 0;
  long column = 0;
};

struct DocDeleter {
  void operator()(xmlDoc* doc) const noexcept;
};
using DocPtr = std::unique_ptr<xmlDoc, DocDeleter>;

// Parses a document held in memory. `url` names it in libxml2's own
// bookkeeping (the file name when the bytes come from a file). The encoding
// is taken from a byte order mark or the XML declaration (UTF-8, UTF-16,
// Windows-1252 and the others libxml2 knows). Throws ParseError.
DocPtr Parse(std::string_view bytes, const std::string& url);

// Reads a whole file into memory, refusing one larger than `limit` bytes.
// `path` is the native path; `displayName` names the file in the reason text.
// Throws ParseError with an XML_IO_* code from the system error.
std::string ReadFileLimited(const std::string& path, std::string_view displayName,
                            std::size_t limit = kMaxDocumentBytes);

// The XML_IO_* code libxml2 uses for a system error number.
int IoErrorCode(int errnoValue);

// True for an element named `name` in no namespace (what an XPath step
// without a prefix selects).
bool IsElement(const xmlNode* node, std::string_view name);

// The text of the attribute `name` (in no namespace) of an element, or
// nothing when the element has no such attribute; an empty attribute gives
// "". Entity references are never expanded.
std::optional<std::string> Attribute(const xmlNode* element, std::string_view name);

// Calls fn(child) for each child element named `name` in document order.
template <typename Fn>
void ForEachChildElement(const xmlNode* parent, std::string_view name, Fn&& fn) {
  for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (IsElement(child, name)) fn(child);
  }
}

// The line of a node in its source (0 when unknown).
long LineOf(const xmlNode* node);

// Builds a document element by element and serialises it as UTF-8 with no
// XML declaration and no white space between elements.
class Writer {
 public:
  explicit Writer(std::string_view rootName);
  xmlNode* Root() const noexcept { return root_; }
  xmlNode* AddChild(xmlNode* parent, std::string_view name);
  // Raises error 5 (invalid procedure call or argument) when `value` holds a
  // character an XML 1.0 document cannot carry; `what` names the attribute's
  // owner for the description ("mapping class 'X', field 'Y'").
  void SetAttribute(xmlNode* element, std::string_view name, std::string_view value,
                    std::string_view what);
  std::string Serialize() const;

 private:
  DocPtr doc_;
  xmlNode* root_ = nullptr;
};

// The first character of `text` that an XML 1.0 document cannot carry,
// described for an error message ("U+0001", "the byte 0xFF that is not
// UTF-8"), or nothing when every character is allowed.
std::optional<std::string> FindUnwritableCharacter(std::string_view text);

}  // namespace marrow::xml
