#include "mapping/conditional_mappings.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "mapping/field_mapping.h"
#include "mapping/mapping_xml.h"
#include "platform/error.h"
#include "platform/file_replace.h"
#include "platform/native_path.h"
#include "platform/text.h"

namespace marrow {

namespace {

constexpr int kConfigurationError = 6000;
constexpr const char* kLoadFileSource = "ConditionalMappings.LoadFromXMLFile";
constexpr const char* kLoadStringSource = "ConditionalMappings.LoadFromXML";
constexpr const char* kSaveSource = "ConditionalMappings.SaveXML";
constexpr const char* kSaveFileSource = "ConditionalMappings.SaveXMLFile";
constexpr const char* kTranslateSource = "TranslateFields";

// Keys ignore letter case: 'Medicare' and 'MEDICARE' are one key.
std::string KeyOf(std::string_view name) {
  return platform::text::LCase(name);
}

[[noreturn]] void FailConfiguration(const char* detail) {
  platform::Raise(kConfigurationError, "",
                  std::string("Error parsing mapping classes configuration: ") + detail);
}

std::string Required(const xmlNode* element, std::string_view attribute, const char* detail) {
  std::optional<std::string> value = xml::Attribute(element, attribute);
  if (!value) FailConfiguration(detail);
  return std::move(*value);
}

bool IsExactly(const std::optional<std::string>& value, std::string_view lowerCaseText) {
  return value && platform::text::LCase(*value) == lowerCaseText;
}

}  // namespace

struct ConditionalMappings::Impl {
  Container items;
  // Parallel to items: the key each class was added under.
  std::vector<std::string> keys;
  std::unordered_map<std::string, std::shared_ptr<ConditionalMapping>> byKey;
  std::int32_t errorLine = 0;
  std::int32_t errorColumn = 0;

  void Append(std::shared_ptr<ConditionalMapping> mapping, const char* source) {
    std::string key = KeyOf(mapping->Name());
    if (byKey.contains(key)) platform::Raise(platform::err::kDuplicateKey, source);
    byKey.emplace(key, mapping);
    keys.push_back(std::move(key));
    items.push_back(std::move(mapping));
  }

  void Erase(std::size_t index) {
    byKey.erase(keys[index]);
    keys.erase(keys.begin() + static_cast<std::ptrdiff_t>(index));
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(index));
  }

  void Clear() noexcept {
    items.clear();
    keys.clear();
    byKey.clear();
  }

  void SetErrorPlace(long line, long column) noexcept {
    errorLine = static_cast<std::int32_t>(std::clamp<long>(line, 0, INT32_MAX));
    errorColumn = static_cast<std::int32_t>(std::clamp<long>(column, 0, INT32_MAX));
  }

  void ReadDocument(xmlDoc* doc, const char* source);
  void Load(std::string_view bytes, const std::string& url, const char* source,
            const char* parseFailurePrefix);
};

// Reads the classes of a parsed document. A class joins the collection only
// once it has been read completely, so a failure leaves exactly the classes
// before the failing one.
void ConditionalMappings::Impl::ReadDocument(xmlDoc* doc, const char* source) {
  Clear();
  const xmlNode* root = xmlDocGetRootElement(doc);
  // Anything but a FieldMappings document holds no classes.
  if (!xml::IsElement(root, "FieldMappings")) return;

  const xmlNode* current = root;
  try {
    xml::ForEachChildElement(root, "MappingClass", [&](const xmlNode* classElement) {
      current = classElement;
      auto mapping = std::make_shared<ConditionalMapping>();
      mapping->SetName(
          Required(classElement, "name", "mapping class missing required attribute 'name'."));

      xml::ForEachChildElement(classElement, "Conditions", [&](const xmlNode* list) {
        xml::ForEachChildElement(list, "Condition", [&](const xmlNode* condition) {
          current = condition;
          // Examined in this order, so the first missing one is reported.
          const std::string field =
              Required(condition, "field", "condition missing required attribute 'field'.");
          const std::string op =
              Required(condition, "operator", "condition missing required attribute 'operator'.");
          const std::string value =
              Required(condition, "value", "condition missing required attribute 'value'.");
          // Blanks are not removed here: ' or' is and.
          const bool isOr = IsExactly(xml::Attribute(condition, "connector"), "or");
          const bool isText = IsExactly(xml::Attribute(condition, "comparemethod"), "text");
          mapping->MapConditions().Add(field, Conditions::ParseOperator(op), value,
                                       isOr ? condOr : condAnd,
                                       isText ? vbTextCompare : vbBinaryCompare);
        });
      });

      xml::ForEachChildElement(classElement, "Fields", [&](const xmlNode* list) {
        xml::ForEachChildElement(list, "Field", [&](const xmlNode* field) {
          current = field;
          const std::string name =
              Required(field, "name", "field missing required attribute 'name'.");
          const std::string value =
              Required(field, "value", "field missing required attribute 'value'.");
          // Parses the value expression now; its failure ends the load.
          mapping->FieldMaps().Add(name, value);
        });
      });

      current = classElement;
      Append(std::move(mapping), source);
    });
  } catch (const platform::Error& e) {
    SetErrorPlace(xml::LineOf(current), 0);
    throw e.WithSource(source);
  }
}

void ConditionalMappings::Impl::Load(std::string_view bytes, const std::string& url,
                                     const char* source, const char* parseFailurePrefix) {
  xml::DocPtr doc;
  try {
    doc = xml::Parse(bytes, url);
  } catch (const xml::ParseError& e) {
    SetErrorPlace(e.line, e.column);
    throw platform::Error(e.code, source, parseFailurePrefix + e.reason);
  }
  ReadDocument(doc.get(), source);
}

ConditionalMappings::ConditionalMappings() : impl_(std::make_unique<Impl>()) {}
ConditionalMappings::~ConditionalMappings() = default;

std::shared_ptr<ConditionalMapping> ConditionalMappings::Item(std::int64_t position) const {
  if (position < 1 || position > static_cast<std::int64_t>(impl_->items.size())) return nullptr;
  return impl_->items[static_cast<std::size_t>(position - 1)];
}

std::shared_ptr<ConditionalMapping> ConditionalMappings::Item(std::string_view name) const {
  const auto found = impl_->byKey.find(KeyOf(name));
  return found == impl_->byKey.end() ? nullptr : found->second;
}

std::int32_t ConditionalMappings::Count() const noexcept {
  return static_cast<std::int32_t>(impl_->items.size());
}

void ConditionalMappings::Remove(std::int64_t position) {
  if (position < 1 || position > static_cast<std::int64_t>(impl_->items.size())) {
    platform::Raise(platform::err::kInvalidProcedureCall, "ConditionalMappings.Remove");
  }
  impl_->Erase(static_cast<std::size_t>(position - 1));
}

void ConditionalMappings::Remove(std::string_view name) {
  const auto found = impl_->byKey.find(KeyOf(name));
  if (found == impl_->byKey.end()) {
    platform::Raise(platform::err::kInvalidProcedureCall, "ConditionalMappings.Remove");
  }
  const auto at = std::find(impl_->items.begin(), impl_->items.end(), found->second);
  impl_->Erase(static_cast<std::size_t>(at - impl_->items.begin()));
}

void ConditionalMappings::Clear() noexcept {
  impl_->Clear();
}

ConditionalMappings::const_iterator ConditionalMappings::begin() const noexcept {
  return impl_->items.begin();
}

ConditionalMappings::const_iterator ConditionalMappings::end() const noexcept {
  return impl_->items.end();
}

void ConditionalMappings::Add(std::string_view className) {
  auto mapping = std::make_shared<ConditionalMapping>();
  mapping->SetName(className);
  impl_->Append(std::move(mapping), "ConditionalMappings.Add");
}

void ConditionalMappings::LoadFromXMLFile(std::string_view fileName) {
  impl_->Clear();
  impl_->SetErrorPlace(0, 0);
  std::string bytes;
  try {
    bytes = xml::ReadFileLimited(platform::ToNativePath(fileName), fileName);
  } catch (const xml::ParseError& e) {
    throw platform::Error(e.code, kLoadFileSource,
                          "Error loading mapping classes configuration file: " + e.reason);
  }
  impl_->Load(bytes, std::string(fileName), kLoadFileSource,
              "Error loading mapping classes configuration file: ");
}

void ConditionalMappings::LoadFromXML(std::string_view xmlString) {
  impl_->Clear();
  impl_->SetErrorPlace(0, 0);
  impl_->Load(xmlString, "string", kLoadStringSource,
              "Error parsing mapping classes configuration string: ");
}

std::string ConditionalMappings::SaveXMLString() const {
  try {
    xml::Writer writer("FieldMappings");
    for (const auto& mapping : impl_->items) {
      const std::string owner = "mapping class '" + mapping->Name() + "'";
      xmlNode* classElement = writer.AddChild(writer.Root(), "MappingClass");
      writer.SetAttribute(classElement, "name", mapping->Name(), "the name of " + owner);

      const Conditions& conditions = mapping->MapConditions();
      if (conditions.Count() > 0) {
        xmlNode* list = writer.AddChild(classElement, "Conditions");
        std::int32_t position = 0;
        for (const auto& condition : conditions) {
          const std::string what = "condition " + std::to_string(++position) + " of " + owner;
          xmlNode* element = writer.AddChild(list, "Condition");
          writer.SetAttribute(element, "field", condition->Operand1(), what);
          writer.SetAttribute(element, "operator",
                              Conditions::OperatorString(condition->Operator(), false), what);
          writer.SetAttribute(element, "value", condition->Operand2(), what);
          writer.SetAttribute(element, "connector",
                              Conditions::ConnectorString(condition->Connector()), what);
          if (condition->CompareMode() == vbTextCompare) {
            writer.SetAttribute(element, "comparemethod", "text", what);
          }
        }
      }

      xmlNode* fields = writer.AddChild(classElement, "Fields");
      for (const FieldMapping& field : mapping->FieldMaps()) {
        const std::string what = "field '" + field.Name() + "' of " + owner;
        xmlNode* element = writer.AddChild(fields, "Field");
        writer.SetAttribute(element, "name", field.Name(), what);
        writer.SetAttribute(element, "value", field.Value(), what);
      }
    }
    return writer.Serialize();
  } catch (const platform::Error& e) {
    throw e.WithSource(kSaveSource);
  }
}

void ConditionalMappings::SaveXMLFile(std::string_view fileName) const {
  const std::string text = SaveXMLString();
  // Through a temporary file and a rename: a crash or a full disk in the
  // middle of a save never leaves a cut-off file where a good one was.
  const int error = platform::ReplaceFileContents(platform::ToNativePath(fileName), text);
  if (error != 0) {
    platform::Raise(xml::IoErrorCode(error), kSaveFileSource,
                    "Cannot write file '" + std::string(fileName) + "': " + std::strerror(error));
  }
}

tessel::NameValueList ConditionalMappings::TranslateFields(const tessel::NameValueList& inputData,
                                                           bool includeUnmappedFields) const {
  try {
    for (const auto& mapping : impl_->items) {
      // A class without conditions matches everything.
      if (!mapping->MapConditions().Evaluate(inputData)) continue;
      tessel::NameValueList output =
          mapping->FieldMaps().TranslateFields(inputData, includeUnmappedFields);
      output.Add("_mapclassname", mapping->Name());
      return output;
    }
    // No class applies: the input's entries, copied as they are. (A copy
    // through the list's text form would split values holding ";" or "=".)
    return inputData;
  } catch (const platform::Error& e) {
    throw e.WithSource(kTranslateSource);
  }
}

std::int32_t ConditionalMappings::LastLoadErrorLine() const noexcept {
  return impl_->errorLine;
}

std::int32_t ConditionalMappings::LastLoadErrorColumn() const noexcept {
  return impl_->errorColumn;
}

}  // namespace marrow
