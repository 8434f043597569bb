#include "setup/mapping_class_rows.h"

#include <memory>
#include <new>
#include <string>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include "mapping/conditional_mappings.h"
#include "mapping/field_mapping.h"
#include "platform/error.h"

namespace quillon {
namespace {

const xmlChar* X(const char* text) {
  return reinterpret_cast<const xmlChar*>(text);
}

// libxml2 takes attribute values as C strings: a NUL inside a cell would cut
// the value short without a word, so it is written as U+FFFD instead.
std::string WithoutNul(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\0') {
      out += "\xEF\xBF\xBD";
    } else {
      out += c;
    }
  }
  return out;
}

struct DocFree {
  void operator()(xmlDoc* doc) const noexcept { xmlFreeDoc(doc); }
};

class DocumentBuilder {
 public:
  DocumentBuilder() : doc_(xmlNewDoc(X("1.0"))) {
    if (!doc_) throw std::bad_alloc();
    root_ = xmlNewDocNode(doc_.get(), nullptr, X("FieldMappings"), nullptr);
    if (root_ == nullptr) throw std::bad_alloc();
    xmlDocSetRootElement(doc_.get(), root_);
  }

  xmlNode* Root() const noexcept { return root_; }

  xmlNode* Add(xmlNode* parent, const char* name) {
    xmlNode* child = xmlNewChild(parent, nullptr, X(name), nullptr);
    if (child == nullptr) throw std::bad_alloc();
    return child;
  }

  // xmlNewProp keeps the text as it is; the serialiser escapes it.
  void Set(xmlNode* element, const char* name, std::string_view value) {
    const std::string text = WithoutNul(value);
    if (xmlNewProp(element, X(name), X(text.c_str())) == nullptr) throw std::bad_alloc();
  }

  std::string Serialize() const {
    std::unique_ptr<xmlBuffer, void (*)(xmlBuffer*)> buffer(xmlBufferCreate(), xmlBufferFree);
    if (!buffer) throw std::bad_alloc();
    xmlSaveCtxt* save = xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_NO_DECL | XML_SAVE_FORMAT);
    if (save == nullptr) throw std::bad_alloc();
    const long written = xmlSaveDoc(save, doc_.get());
    const int closed = xmlSaveClose(save);
    if (written < 0 || closed < 0) {
      platform::Raise(platform::err::kInvalidProcedureCall, "MappingClassRows.Write",
                      "the mapping-class document could not be serialised");
    }
    return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                       static_cast<std::size_t>(xmlBufferLength(buffer.get())));
  }

 private:
  std::unique_ptr<xmlDoc, DocFree> doc_;
  xmlNode* root_ = nullptr;
};

}  // namespace

std::string XmlProblem::Text() const {
  std::string text;
  if (line > 0) {
    text = "line " + std::to_string(line);
    if (column > 0) text += ", column " + std::to_string(column);
    text += ": ";
  }
  return text + "error " + std::to_string(number) + ": " + description;
}

std::vector<MappingClassRow> RowsOf(const marrow::ConditionalMappings& mappings) {
  std::vector<MappingClassRow> rows;
  rows.reserve(static_cast<std::size_t>(mappings.Count()));
  for (const auto& mapping : mappings) {
    MappingClassRow row;
    row.name = mapping->Name();
    for (const auto& condition : mapping->MapConditions()) {
      row.conditions.push_back({condition->Connector(), condition->Operand1(),
                                condition->Operator(), condition->Operand2(),
                                condition->CompareMode()});
    }
    for (const marrow::FieldMapping& field : mapping->FieldMaps()) {
      row.fields.push_back({field.Name(), field.Value()});
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

MappingClassReadResult ReadMappingClassRows(std::string_view xml) {
  MappingClassReadResult result;
  marrow::ConditionalMappings mappings;
  try {
    mappings.LoadFromXML(xml);
  } catch (const platform::Error& e) {
    result.problem = XmlProblem{e.Number(), e.Description(), mappings.LastLoadErrorLine(),
                                mappings.LastLoadErrorColumn()};
    return result;
  }
  result.classes = RowsOf(mappings);
  return result;
}

std::string WriteMappingClassRows(const std::vector<MappingClassRow>& classes) {
  DocumentBuilder doc;
  for (const MappingClassRow& mappingClass : classes) {
    xmlNode* classElement = doc.Add(doc.Root(), "MappingClass");
    doc.Set(classElement, "name", mappingClass.name);
    if (!mappingClass.conditions.empty()) {
      xmlNode* list = doc.Add(classElement, "Conditions");
      for (const ConditionRow& row : mappingClass.conditions) {
        xmlNode* element = doc.Add(list, "Condition");
        doc.Set(element, "field", row.field);
        doc.Set(element, "operator", marrow::Conditions::OperatorString(row.op, false));
        doc.Set(element, "value", row.value);
        doc.Set(element, "connector", marrow::Conditions::ConnectorString(row.connector));
        if (row.compareMode == marrow::vbTextCompare) doc.Set(element, "comparemethod", "text");
      }
    }
    xmlNode* fields = doc.Add(classElement, "Fields");
    for (const FieldRow& row : mappingClass.fields) {
      xmlNode* element = doc.Add(fields, "Field");
      doc.Set(element, "name", row.name);
      doc.Set(element, "value", row.value);
    }
  }
  return doc.Serialize();
}

}  // namespace quillon
