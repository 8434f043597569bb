// Whole-release benchmark: N claim documents released in per-batch mode
// through ReleaseScript, as the host drives it, into one output file.
//
//   release_throughput [--logging] [N ...]      (default N: 1000 10000 100000)
//
// The mapping set is the bundled professional-claims example (three levels,
// 837P segments, service lines), copied into a temporary folder with its
// output directory pointed there. The documents cycle through the example's
// ten claim forms (one to six service lines each) with their own document id
// and patient account number. A stand-in host serves one document at a time,
// so the batch itself takes no memory.
//
// Each N runs in a child process so that the peak memory (ru_maxrss) is that
// of one release. Printed per N: documents per second, microseconds per
// document, peak memory, output file size, and how many times a mapping file
// was read. Targets: time per document within 15% from the smallest to the
// largest N, peak memory below 3 x output size + 64 MB, at least 5000
// documents per second on one core.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/file_host.h"
#include "release/batch_state.h"
#include "release/mapping_file_cache.h"
#include "release/release_script.h"

namespace {

namespace fs = std::filesystem;

struct Result {
  long long documents = 0;
  double seconds = 0;     // wall clock
  double cpuSeconds = 0;  // user + system time of the release
  long peakKilobytes = 0;
  long long fileBytes = 0;
  long long mappingReads = 0;
  int failures = 0;
};

class BenchProperties final : public quillon::HostCustomProperties {
 public:
  const quillon::HostCustomProperty& Item(std::string_view name) const override {
    for (const auto& property : items) {
      if (property.Name == name) return property;
    }
    throw platform::Error(5, "CustomProperties", "No custom property " + std::string(name));
  }
  std::vector<quillon::HostCustomProperty> items;
};

class BenchValues final : public quillon::HostValues {
 public:
  std::int32_t Count() const override { return static_cast<std::int32_t>(items.size()); }
  const quillon::HostValue& Item(std::int32_t position) const override {
    return items[static_cast<std::size_t>(position - 1)];
  }
  std::vector<quillon::HostValue> items;
};

// The host: documents 1..N made from the example's forms on demand.
class BenchHost final : public quillon::HostReleaseData {
 public:
  BenchHost(std::vector<std::vector<quillon::HostValue>> forms, BenchProperties properties)
      : forms_(std::move(forms)), properties_(std::move(properties)) {}

  void Select(std::int32_t id) {
    id_ = id;
    values_.items = forms_[static_cast<std::size_t>(id) % forms_.size()];
    for (quillon::HostValue& value : values_.items) {
      if (value.Destination == "DocumentID") value.Value = std::to_string(id);
      if (value.Destination == "PatientAccount") value.Value = "PA-" + std::to_string(id);
    }
  }

  void ReportError(std::int32_t, std::int32_t, std::int32_t, const std::string& description,
                   const std::string& source, std::int32_t number) override {
    if (++failures <= 3) {
      std::fprintf(stderr, "document %d: error %d %s: %s\n", id_, number, source.c_str(),
                   description.c_str());
    }
  }
  void ShowMessage(const std::string&, std::int32_t, std::int32_t) override {}
  std::string DocumentClassName() const override { return "CMS1500"; }
  std::string BatchName() const override { return "Benchmark batch"; }
  std::string BatchDescription() const override { return "generated"; }
  std::string BatchId() const override { return "B-BENCH"; }
  std::int32_t DocumentId() const override { return id_; }
  std::int32_t DocumentClassId() const override { return 3; }
  std::int32_t BatchClassNumber() const override { return 7; }
  const quillon::HostCustomProperties& CustomProperties() const override { return properties_; }
  const quillon::HostValues& Values() const override { return values_; }

  int failures = 0;

 private:
  std::vector<std::vector<quillon::HostValue>> forms_;
  BenchProperties properties_;
  BenchValues values_;
  std::int32_t id_ = 0;
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// The example's mapping files in `folder`, the output directory pointed at
// `out`. Their times are set an hour back: mapping files in use are old, and
// files modified in the last seconds are never kept between documents.
void CopyMappings(const fs::path& example, const fs::path& folder, const std::string& out) {
  fs::create_directories(folder);
  for (const char* name : {"DataMappings.xml", "FieldMappings.xml", "FeedOutputMappings.xml"}) {
    std::string text = ReadText(example / "mappings" / name);
    const std::string from = "value=\"build/example-output/out\"";
    if (const std::size_t at = text.find(from); at != std::string::npos) {
      text.replace(at, from.size(), "value=\"" + out + "\"");
    }
    WriteText(folder / name, text);
    fs::last_write_time(folder / name, fs::file_time_type::clock::now() - std::chrono::hours(1));
  }
}

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Result RunRelease(long long documents, bool logging) {
  const fs::path example = fs::path(QUILLON_SOURCE_DIR) / "examples" / "professional-claims";
  char pattern[] = "/tmp/quillon-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) std::exit(3);
  const fs::path root = pattern;
  const std::string out = (root / "out").string();
  CopyMappings(example, root / "mappings", out);

  // The released values of the example's ten forms.
  std::vector<std::vector<quillon::HostValue>> forms;
  {
    quillon::FileHost exampleHost((example / "batch.json").string());
    exampleHost.SetEchoMessages(false);
    exampleHost.PreviewInterchangeControlNumber();
    for (std::int32_t i = 1; i <= exampleHost.DocumentCount(); ++i) {
      exampleHost.SelectDocument(i);
      std::vector<quillon::HostValue> values;
      for (std::int32_t k = 1; k <= exampleHost.Values().Count(); ++k) {
        values.push_back(exampleHost.Values().Item(k));
      }
      forms.push_back(std::move(values));
    }
  }
  BenchProperties properties;
  properties.items = {{"Mappings Directory", (root / "mappings").string()},
                      {"Logging Directory", (root / "logs").string()},
                      {"Working Directory", (root / "work").string()},
                      {"EDI Output", "One EDI Per Batch"},
                      {"Enable Logging", logging ? "1" : "0"}};
  BenchHost host(std::move(forms), std::move(properties));

  quillon::ReleaseScript script;
  script.SetDocumentData(&host);
  const double cpuStart = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  int status = script.OpenScript();
  for (long long id = 1; id <= documents; ++id) {
    host.Select(static_cast<std::int32_t>(id));
    status |= script.ReleaseDoc();
  }
  status |= script.CloseScript();
  const auto stop = std::chrono::steady_clock::now();
  const double cpuStop = CpuSeconds();

  Result result;
  result.documents = documents;
  result.seconds = std::chrono::duration<double>(stop - start).count();
  result.cpuSeconds = cpuStop - cpuStart;
  result.failures = host.failures + (status != 0 ? 1 : 0);
  result.mappingReads = script.Batch()->MappingCache().Reads();
  for (const std::string& file : script.Batch()->outputFilesWritten) {
    std::string native = file;
    for (char& c : native) {
      if (c == '\\') c = '/';
    }
    struct stat info {};
    if (::stat(native.c_str(), &info) == 0) result.fileBytes += info.st_size;
  }
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  result.peakKilobytes = usage.ru_maxrss;
  std::error_code ec;
  fs::remove_all(root, ec);
  return result;
}

// Runs one N in a child process and reads its result through a pipe.
bool RunInChild(long long documents, bool logging, Result& result) {
  int fds[2];
  if (::pipe(fds) != 0) return false;
  const pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    ::close(fds[0]);
    const Result r = RunRelease(documents, logging);
    const ssize_t written = ::write(fds[1], &r, sizeof r);
    ::_exit(written == static_cast<ssize_t>(sizeof r) ? 0 : 4);
  }
  ::close(fds[1]);
  const ssize_t got = ::read(fds[0], &result, sizeof result);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return got == static_cast<ssize_t>(sizeof result) && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool logging = false;
  std::vector<long long> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--logging") == 0) {
      logging = true;
    } else {
      sizes.push_back(std::atoll(argv[i]));
    }
  }
  if (sizes.empty()) sizes = {1000, 10000, 100000};

  std::printf("release_throughput: per-batch release of the professional-claims example%s\n",
              logging ? ", logging ON" : ", logging off");
  // docs/s and us/doc are per CPU second of the releasing process (the machine
  // may be shared); "wall docs/s" is by the clock.
  std::printf("%10s %10s %10s %12s %10s %10s %10s %8s %9s\n", "documents", "docs/s", "us/doc",
              "wall docs/s", "peak MB", "file MB", "limit MB", "reads", "failures");
  std::vector<Result> results;
  bool ok = true;
  for (long long n : sizes) {
    Result r;
    if (!RunInChild(n, logging, r)) {
      std::printf("%10lld  child failed\n", n);
      ok = false;
      continue;
    }
    const double perSecond = r.documents / r.cpuSeconds;
    const double peakMb = r.peakKilobytes / 1024.0;
    const double fileMb = r.fileBytes / (1024.0 * 1024.0);
    const double limitMb = 3 * fileMb + 64;
    std::printf("%10lld %10.0f %10.1f %12.0f %10.1f %10.1f %10.1f %8lld %9d\n", r.documents,
                perSecond, 1e6 * r.cpuSeconds / r.documents, r.documents / r.seconds, peakMb,
                fileMb, limitMb, r.mappingReads, r.failures);
    ok = ok && r.failures == 0 && peakMb < limitMb;
    results.push_back(r);
  }
  if (results.size() >= 2) {
    const double first = results.front().cpuSeconds / results.front().documents;
    const double last = results.back().cpuSeconds / results.back().documents;
    std::printf("time per document, largest vs smallest batch: %+.1f%%\n",
                100.0 * (last - first) / first);
  }
  return ok ? 0 : 1;
}
