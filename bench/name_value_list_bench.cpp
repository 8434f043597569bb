// Lookups by name in a NameValueList must cost the same whatever the size of
// the list: a document's field list is searched for every field reference of
// every mapping, and lists of many thousand entries (lookup tables, service
// lines) must not make that slower.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "host/tessel/name_value_list.h"

namespace {

tessel::NameValueList MakeList(int size) {
  tessel::NameValueList list;
  for (int i = 0; i < size; ++i) list.Add("Field Name " + std::to_string(i), std::to_string(i));
  return list;
}

// Names to look up: present ones in a different letter case, spread over the
// whole list (so the last entries are searched as often as the first), and one
// in eight absent.
std::vector<std::string> Probes(int size) {
  std::vector<std::string> probes;
  for (int i = 0; i < 64; ++i) {
    if (i % 8 == 7) {
      probes.push_back("NOT THERE " + std::to_string(i));
    } else {
      probes.push_back("FIELD NAME " + std::to_string(static_cast<long>(i) * 7919 % size));
    }
  }
  return probes;
}

void BM_Exists(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const tessel::NameValueList list = MakeList(size);
  const std::vector<std::string> probes = Probes(size);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.Exists(probes[i++ % probes.size()]));
  }
}
BENCHMARK(BM_Exists)->Arg(10)->Arg(10000);

void BM_ItemByName(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const tessel::NameValueList list = MakeList(size);
  const std::vector<std::string> probes = Probes(size);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.Item(probes[i++ % probes.size()]));
  }
}
BENCHMARK(BM_ItemByName)->Arg(10)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
