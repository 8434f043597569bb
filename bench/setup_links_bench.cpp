// Adding the missing host links at the end of a setup save must grow with the
// number of fields and links, not with their product: a batch class may have
// thousands of index fields and links, and each field looks for the first
// link of its name. (Wall time per field still rises with the size on a
// busy machine: the hash tables outgrow the caches. Counted instructions
// grow linearly: valgrind --tool=callgrind
// --toggle-collect='quillon::SetupController::AddUnlinkedFields()'.)
#include <benchmark/benchmark.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "host/custom_property_collection.h"
#include "host/host_setup_data.h"
#include "setup/document_opener.h"
#include "setup/folder_picker.h"
#include "setup/setup_controller.h"
#include "setup/xml_text_editor.h"

namespace {

// A host that keeps links as the stand-in does (identical ones dropped).
class MemorySetupData final : public quillon::HostSetupData {
 public:
  class Names final : public quillon::HostNames {
   public:
    const std::string& Item(std::int32_t position) const override {
      return items[static_cast<std::size_t>(position - 1)];
    }
    std::int32_t Count() const override { return static_cast<std::int32_t>(items.size()); }
    std::vector<std::string> items;
  };
  class LinkList final : public quillon::HostLinks {
   public:
    const quillon::HostLink& Item(std::int32_t position) const override {
      return items[static_cast<std::size_t>(position - 1)];
    }
    std::int32_t Count() const override { return static_cast<std::int32_t>(items.size()); }
    void Add(std::string_view destination, std::int32_t type, std::string_view source) override {
      std::string key =
          std::to_string(type) + '\0' + std::string(source) + '\0' + std::string(destination);
      if (!keys.insert(std::move(key)).second) return;
      items.push_back({std::string(source), type, std::string(destination)});
    }
    std::vector<quillon::HostLink> items;
    std::unordered_set<std::string> keys;
  };

  quillon::HostSetupCustomProperties& CustomProperties() override { return properties; }
  quillon::HostLinks& Links() override { return links; }
  const quillon::HostNames& IndexFields() const override { return indexFields; }
  const quillon::HostNames& BatchFields() const override { return batchFields; }
  const quillon::HostNames& HostVariables() const override { return hostVariables; }
  void Apply() override {}
  void ReportError(std::int32_t, std::int32_t, std::int32_t, const std::string&, const std::string&,
                   std::int32_t) override {}

  quillon::CustomPropertyCollection properties;
  LinkList links;
  Names indexFields;
  Names batchFields;
  Names hostVariables;
};

struct NoFolders final : quillon::FolderPicker {
  std::string BrowseForFolder(std::string_view) override { return {}; }
};
struct NoDocuments final : quillon::DocumentOpener {
  void Open(std::string_view) override {}
};

// `size` index fields, half of them linked under another name, and as many
// batch fields, all linked.
void BM_AddUnlinkedFields(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  MemorySetupData host;
  for (int i = 0; i < size; ++i) {
    const std::string field = "Index Field " + std::to_string(i);
    host.indexFields.items.push_back(field);
    if (i % 2 == 0) host.links.Add("Renamed " + std::to_string(i), 0, field);
    const std::string batchField = "Batch Field " + std::to_string(i);
    host.batchFields.items.push_back(batchField);
    host.links.Add(batchField, 3, batchField);
  }
  host.hostVariables.items = {"Batch ID", "Release Date"};
  const MemorySetupData::LinkList initial = host.links;

  quillon::XmlTextEditor data, field, output;
  NoFolders folders;
  NoDocuments documents;
  quillon::SetupController dialog(data, field, output, folders, documents);
  dialog.ShowForm(host);  // no properties: the load stops at once
  for (auto _ : state) {
    state.PauseTiming();
    host.links = initial;
    state.ResumeTiming();
    dialog.AddUnlinkedFields();
  }
  state.counters["fields"] = size;
}
BENCHMARK(BM_AddUnlinkedFields)->Arg(100)->Arg(1000)->Arg(10000)->Arg(40000);

}  // namespace

BENCHMARK_MAIN();
