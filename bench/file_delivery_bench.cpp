// Delivering output files into a folder where one name repeats, as in
// one-file-per-document mode, where every document's file has the same
// wanted name: the n-th file must not cost n status calls (the whole series
// walked from the wanted name), so the cost per file stays flat however many
// files of the series the folder holds.
//
// The folder is on /dev/shm when there is one, so that the disk's flush
// latency (each delivered file is flushed before it gets its name) does not
// hide the cost of choosing the name; QUILLON_BENCH_DIR chooses another.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "release/file_routines.h"

namespace {

namespace fs = std::filesystem;

fs::path NewFolder() {
  const char* base = std::getenv("QUILLON_BENCH_DIR");
  fs::path root = base != nullptr                ? fs::path(base)
                  : fs::is_directory("/dev/shm") ? fs::path("/dev/shm")
                                                 : fs::temp_directory_path();
  std::string pattern = (root / "quillon-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

// Delivers files of one wanted name into a folder that already holds
// state.range(0) files of that series.
void BM_DeliverRepeatingName(benchmark::State& state) {
  const fs::path folder = NewFolder();
  const std::string work = (folder / "finished.x12").string();
  std::ofstream(work) << std::string(2000, 'x');
  fs::create_directory(folder / "out");
  const std::string wanted = (folder / "out" / "837P-B-240301-01-000000001.x12").string();
  for (int64_t i = 0; i < state.range(0); ++i) quillon::DeliverFile(work, wanted, "_");
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillon::DeliverFile(work, wanted, "_"));
  }
  state.SetItemsProcessed(state.iterations());
  fs::remove_all(folder);
}
BENCHMARK(BM_DeliverRepeatingName)->Arg(0)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
