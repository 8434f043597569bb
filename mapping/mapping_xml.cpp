#include "mapping/mapping_xml.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include "platform/error.h"
#include "platform/text.h"

namespace marrow::xml {

namespace {

const xmlChar* X(const char* s) {
  return reinterpret_cast<const xmlChar*>(s);
}
const char* C(const xmlChar* s) {
  return reinterpret_cast<const char*>(s);
}

void EnsureLibraryInitialised() {
  static const bool initialised = [] {
    xmlInitParser();
    return true;
  }();
  (void)initialised;
}

std::string WithPlace(std::string message, long line, long column) {
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  // Some messages run over two lines; a description stays on one.
  std::replace(message.begin(), message.end(), '\n', ' ');
  if (line > 0) {
    message += " (line " + std::to_string(line);
    if (column > 0) message += ", column " + std::to_string(column);
    message += ")";
  }
  return message;
}

// Everything one parse learns, reached from the SAX callbacks through the
// parser context's _private pointer.
struct ParseState {
  bool haveFatal = false;
  ParseError firstFatal;
  bool haveError = false;
  ParseError firstError;
  bool refused = false;
  ParseError refusal;
  internalSubsetSAXFunc internalSubset = nullptr;
};

ParseState& StateOf(void* parserContext) {
  return *static_cast<ParseState*>(static_cast<xmlParserCtxt*>(parserContext)->_private);
}

// Structured errors of this one parser context; nothing goes to stderr and
// no handler of other code is involved.
void OnError(void* parserContext, xmlError* error) {
  if (error == nullptr || error->level < XML_ERR_ERROR) return;
  ParseState& state = StateOf(parserContext);
  ParseError captured{error->code, {}, error->line, error->int2};
  captured.reason = WithPlace(error->message != nullptr ? error->message : "XML parse error",
                              captured.line, captured.column);
  if (error->level == XML_ERR_FATAL && !state.haveFatal) {
    state.haveFatal = true;
    state.firstFatal = captured;
  }
  if (!state.haveError) {
    state.haveError = true;
    state.firstError = std::move(captured);
  }
}

void Refuse(void* parserContext, const char* what) {
  auto* ctxt = static_cast<xmlParserCtxt*>(parserContext);
  ParseState& state = StateOf(parserContext);
  if (!state.refused) {
    state.refused = true;
    const long line = xmlSAX2GetLineNumber(ctxt);
    const long column = xmlSAX2GetColumnNumber(ctxt);
    state.refusal = ParseError{XML_ERR_USER_STOP, WithPlace(what, line, column), line, column};
  }
  xmlStopParser(ctxt);
}

// An entity declaration is where expansion bombs and external entities
// start; a mapping-class file never needs one, so the parse stops right there.
void OnEntityDecl(void* parserContext, const xmlChar*, int, const xmlChar*, const xmlChar*,
                  xmlChar*) {
  Refuse(parserContext, "entity declarations are not accepted in a mapping-class document");
}

void OnUnparsedEntityDecl(void* parserContext, const xmlChar*, const xmlChar*, const xmlChar*,
                          const xmlChar*) {
  Refuse(parserContext, "entity declarations are not accepted in a mapping-class document");
}

void OnInternalSubset(void* parserContext, const xmlChar* name, const xmlChar* externalId,
                      const xmlChar* systemId) {
  if (externalId != nullptr || systemId != nullptr) {
    Refuse(parserContext, "external document type definitions are not accepted");
    return;
  }
  ParseState& state = StateOf(parserContext);
  if (state.internalSubset != nullptr) {
    state.internalSubset(parserContext, name, externalId, systemId);
  }
}

// Nothing is ever fetched, whatever asks for it.
xmlParserInput* OnResolveEntity(void*, const xmlChar*, const xmlChar*) {
  return nullptr;
}

struct ContextDeleter {
  void operator()(xmlParserCtxt* ctxt) const noexcept { xmlFreeParserCtxt(ctxt); }
};

}  // namespace

void DocDeleter::operator()(xmlDoc* doc) const noexcept {
  xmlFreeDoc(doc);
}

DocPtr Parse(std::string_view bytes, const std::string& url) {
  EnsureLibraryInitialised();
  if (bytes.size() > kMaxDocumentBytes || bytes.size() > static_cast<std::size_t>(INT_MAX)) {
    throw ParseError{XML_IO_EFBIG, "the document is too large (" + std::to_string(bytes.size()) +
                                       " bytes; at most " + std::to_string(kMaxDocumentBytes) +
                                       " are accepted)"};
  }
  std::unique_ptr<xmlParserCtxt, ContextDeleter> ctxt(xmlNewParserCtxt());
  if (!ctxt || ctxt->sax == nullptr) throw ParseError{XML_ERR_NO_MEMORY, "out of memory"};

  ParseState state;
  ctxt->_private = &state;
  // The SAX block belongs to this context alone.
  ctxt->sax->serror = OnError;
  ctxt->sax->entityDecl = OnEntityDecl;
  ctxt->sax->unparsedEntityDecl = OnUnparsedEntityDecl;
  state.internalSubset = ctxt->sax->internalSubset;
  ctxt->sax->internalSubset = OnInternalSubset;
  ctxt->sax->resolveEntity = OnResolveEntity;

  // Deliberately absent: XML_PARSE_NOENT (entity substitution),
  // XML_PARSE_DTDLOAD / DTDATTR / DTDVALID, XML_PARSE_HUGE, XML_PARSE_XINCLUDE.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                      XML_PARSE_NOCDATA | XML_PARSE_BIG_LINES;
  static const char kEmpty[] = "";
  const char* data = bytes.empty() ? kEmpty : bytes.data();
  DocPtr doc(xmlCtxtReadMemory(ctxt.get(), data, static_cast<int>(bytes.size()), url.c_str(),
                               nullptr, options));
  if (state.refused) throw state.refusal;
  if (doc && ctxt->wellFormed) return doc;
  if (state.haveFatal) throw state.firstFatal;
  if (state.haveError) throw state.firstError;
  if (const xmlError* last = xmlCtxtGetLastError(ctxt.get()); last != nullptr && last->code != 0) {
    throw ParseError{last->code,
                     WithPlace(last->message != nullptr ? last->message : "XML parse error",
                               last->line, last->int2),
                     last->line, last->int2};
  }
  throw ParseError{XML_ERR_INTERNAL_ERROR, "the document could not be parsed"};
}

int IoErrorCode(int errnoValue) {
  switch (errnoValue) {
    case EACCES:
      return XML_IO_EACCES;
    case EPERM:
      return XML_IO_EPERM;
    case ENOENT:
      return XML_IO_ENOENT;
    case ENOTDIR:
      return XML_IO_ENOTDIR;
    case EISDIR:
      return XML_IO_EISDIR;
    case ENAMETOOLONG:
      return XML_IO_ENAMETOOLONG;
    case EFBIG:
      return XML_IO_EFBIG;
    case EIO:
      return XML_IO_EIO;
    case EMFILE:
      return XML_IO_EMFILE;
    case ENFILE:
      return XML_IO_ENFILE;
    case ENOMEM:
      return XML_IO_ENOMEM;
    case ENOSPC:
      return XML_IO_ENOSPC;
    case EROFS:
      return XML_IO_EROFS;
    case EINVAL:
      return XML_IO_EINVAL;
    default:
      return XML_IO_UNKNOWN;
  }
}

std::string ReadFileLimited(const std::string& path, std::string_view displayName,
                            std::size_t limit) {
  const auto fail = [&](int errnoValue, const std::string& why) -> ParseError {
    return ParseError{IoErrorCode(errnoValue),
                      "cannot read file '" + std::string(displayName) + "': " + why};
  };
  if (path.empty()) throw fail(ENOENT, std::strerror(ENOENT));
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    throw fail(e, std::strerror(e));
  }
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};

  const std::string tooLarge = "the file is larger than " + std::to_string(limit) + " bytes";
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int e = errno;
    throw fail(e, std::strerror(e));
  }
  if (S_ISDIR(info.st_mode)) throw fail(EISDIR, std::strerror(EISDIR));
  if (S_ISREG(info.st_mode) && static_cast<std::uintmax_t>(info.st_size) > limit) {
    throw fail(EFBIG, tooLarge);
  }

  // Read at most limit + 1 bytes whatever the file claims to be, so that a
  // growing file or a device cannot make this unbounded.
  std::string content;
  content.reserve(S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) : 4096);
  char buffer[65536];
  for (;;) {
    const std::size_t room = limit + 1 - content.size();
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, room));
    if (n < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      throw fail(e, std::strerror(e));
    }
    if (n == 0) break;
    content.append(buffer, static_cast<std::size_t>(n));
    if (content.size() > limit) throw fail(EFBIG, tooLarge);
  }
  return content;
}

bool IsElement(const xmlNode* node, std::string_view name) {
  return node != nullptr && node->type == XML_ELEMENT_NODE && node->ns == nullptr &&
         node->name != nullptr && name == C(node->name);
}

std::optional<std::string> Attribute(const xmlNode* element, std::string_view name) {
  for (const xmlAttr* attr = element->properties; attr != nullptr; attr = attr->next) {
    if (attr->ns != nullptr || attr->name == nullptr || name != C(attr->name)) continue;
    std::string value;
    for (const xmlNode* part = attr->children; part != nullptr; part = part->next) {
      // Character and predefined references arrive already replaced in text
      // nodes; entity reference nodes cannot occur in a document that was
      // let through, and would not be expanded if they did.
      if ((part->type == XML_TEXT_NODE || part->type == XML_CDATA_SECTION_NODE) &&
          part->content != nullptr) {
        value += C(part->content);
      }
    }
    return value;
  }
  return std::nullopt;
}

long LineOf(const xmlNode* node) {
  return node != nullptr ? xmlGetLineNo(node) : 0;
}

Writer::Writer(std::string_view rootName) {
  EnsureLibraryInitialised();
  doc_.reset(xmlNewDoc(X("1.0")));
  if (!doc_) throw std::bad_alloc();
  root_ = xmlNewDocNode(doc_.get(), nullptr, X(std::string(rootName).c_str()), nullptr);
  if (root_ == nullptr) throw std::bad_alloc();
  xmlDocSetRootElement(doc_.get(), root_);
}

xmlNode* Writer::AddChild(xmlNode* parent, std::string_view name) {
  xmlNode* child = xmlNewChild(parent, nullptr, X(std::string(name).c_str()), nullptr);
  if (child == nullptr) throw std::bad_alloc();
  return child;
}

void Writer::SetAttribute(xmlNode* element, std::string_view name, std::string_view value,
                          std::string_view what) {
  if (const auto bad = FindUnwritableCharacter(value)) {
    platform::Raise(platform::err::kInvalidProcedureCall, "",
                    "Cannot save " + std::string(what) + ": it holds " + *bad +
                        ", which an XML document cannot carry");
  }
  // xmlNewProp stores the text as it is; the serialiser does the escaping.
  if (xmlNewProp(element, X(std::string(name).c_str()), X(std::string(value).c_str())) == nullptr) {
    throw std::bad_alloc();
  }
}

std::string Writer::Serialize() const {
  std::unique_ptr<xmlBuffer, void (*)(xmlBuffer*)> buffer(xmlBufferCreate(), xmlBufferFree);
  if (!buffer) throw std::bad_alloc();
  xmlSaveCtxt* save = xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_NO_DECL);
  if (save == nullptr) throw std::bad_alloc();
  const long written = xmlSaveDoc(save, doc_.get());
  const int closed = xmlSaveClose(save);
  if (written < 0 || closed < 0) {
    platform::Raise(XML_IO_WRITE, "", "the mapping-class document could not be serialised");
  }
  std::string text(C(xmlBufferContent(buffer.get())),
                   static_cast<std::size_t>(xmlBufferLength(buffer.get())));
  // The serialiser ends the document with a line break; the text form has none.
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::optional<std::string> FindUnwritableCharacter(std::string_view text) {
  // Fast path: plain printable ASCII and the three allowed controls.
  bool simple = true;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x80 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r')) {
      simple = false;
      break;
    }
  }
  if (simple) return std::nullopt;

  for (const char32_t cp : platform::text::DecodeKeepBytes(text)) {
    const bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
    if (allowed) continue;
    char described[64];
    if (cp >= 0xDC80 && cp <= 0xDCFF) {
      // DecodeKeepBytes hands a byte that is not UTF-8 over as 0xDC00 + byte.
      std::snprintf(described, sizeof described, "the byte 0x%02X, which is not UTF-8 text",
                    static_cast<unsigned>(cp - 0xDC00));
    } else {
      std::snprintf(described, sizeof described, "the character U+%04X", static_cast<unsigned>(cp));
    }
    return std::string(described);
  }
  return std::nullopt;
}

}  // namespace marrow::xml
