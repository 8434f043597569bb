// A test double of the host's release data: custom properties, a list of
// documents with their released values, and a record of every message and
// error report the connector makes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "host/host_release_data.h"
#include "platform/error.h"
#include "platform/text.h"

namespace release_testing {

class FakeProperties final : public quillon::HostCustomProperties {
 public:
  const quillon::HostCustomProperty& Item(std::string_view name) const override {
    for (const auto& property : items) {
      if (platform::text::EqualsCaseless(property.Name, name)) return property;
    }
    throw platform::Error(platform::err::kInvalidProcedureCall, "CustomProperties",
                          "No custom property \"" + std::string(name) + "\"");
  }
  void Set(std::string_view name, std::string_view value) {
    for (auto& property : items) {
      if (platform::text::EqualsCaseless(property.Name, name)) {
        property.Value = value;
        return;
      }
    }
    items.push_back({std::string(name), std::string(value)});
  }
  void Erase(std::string_view name) {
    std::erase_if(items, [&](const quillon::HostCustomProperty& p) {
      return platform::text::EqualsCaseless(p.Name, name);
    });
  }
  std::vector<quillon::HostCustomProperty> items;
};

class FakeValues final : public quillon::HostValues {
 public:
  std::int32_t Count() const override { return static_cast<std::int32_t>(items.size()); }
  const quillon::HostValue& Item(std::int32_t position) const override {
    if (position < 1 || position > Count()) platform::Raise(platform::err::kSubscriptOutOfRange);
    return items[static_cast<std::size_t>(position - 1)];
  }
  std::vector<quillon::HostValue> items;
};

struct FakeDocument {
  std::int32_t id = 0;
  std::vector<std::pair<std::string, std::string>> values;  // destination, value
};

struct FakeReport {
  std::string description;
  std::string source;
  std::int32_t number = 0;
  std::int32_t documentId = 0;
};

class FakeReleaseData final : public quillon::HostReleaseData {
 public:
  FakeReleaseData() {
    properties.Set("EDI Output", "One EDI Per Batch");
    properties.Set("Enable Logging", "false");
    properties.Set("Logging Directory", "");
    properties.Set("Working Directory", "");
    properties.Set("Mappings Directory", "");
  }

  void ReportError(std::int32_t a, std::int32_t b, std::int32_t c, const std::string& description,
                   const std::string& source, std::int32_t number) override {
    EXPECT_EQ(a, -1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(c, 0);
    errors.push_back({description, source, number, DocumentId()});
  }
  void ShowMessage(const std::string& description, std::int32_t number,
                   std::int32_t kind) override {
    EXPECT_EQ(kind, 1);
    messages.push_back({description, "", number, DocumentId()});
  }
  std::string DocumentClassName() const override { return documentClassName; }
  std::string BatchName() const override { return batchName; }
  std::string BatchDescription() const override { return batchDescription; }
  std::string BatchId() const override { return batchId; }
  std::int32_t DocumentId() const override {
    return current < documents.size() ? documents[current].id : 0;
  }
  std::int32_t DocumentClassId() const override { return 3; }
  std::int32_t BatchClassNumber() const override { return 7; }
  const quillon::HostCustomProperties& CustomProperties() const override { return properties; }
  const quillon::HostValues& Values() const override {
    values.items.clear();
    if (current < documents.size()) {
      for (const auto& [name, value] : documents[current].values) {
        values.items.push_back({name, value, quillon::kSourceIndexField, name});
      }
    }
    return values;
  }

  // Adds a document with its released values.
  void AddDocument(std::int32_t id, std::vector<std::pair<std::string, std::string>> fieldValues) {
    documents.push_back({id, std::move(fieldValues)});
  }
  void Select(std::size_t index) { current = index; }

  FakeProperties properties;
  std::vector<FakeDocument> documents;
  std::size_t current = 0;
  std::string documentClassName = "CMS1500";
  std::string batchName = "Batch A";
  std::string batchDescription = "Morning scan";
  std::string batchId = "B-1";
  std::vector<FakeReport> errors;
  std::vector<FakeReport> messages;

 private:
  mutable FakeValues values;
};

}  // namespace release_testing
