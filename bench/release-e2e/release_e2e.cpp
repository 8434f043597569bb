// End-to-end benchmark of `quillon release`: batch files generated from the
// bundled example, released by the real command as a whole process.
//
//   release_e2e [--quick] [--quillon PATH] [--work DIR] [--sizes N,N,...]
//               [--per-document N] [--rounds N] [--keep]
//
// Batch files: the documents of examples/professional-claims/batch.json
// cycled, each with its own document id (1..N) and patient account number
// ("PA-" + id), written with the example's layout (2-space indent). Every run
// gets a fresh folder with its own batch class (a copy of the example's, its
// folders pointed into the run folder, a fresh interchange counter) and a
// copy of the example's mapping files whose output directory is the run's
// out/ folder. The command runs with standard output and error sent to files;
// its CPU time and peak memory come from wait4().
//
// Runs, in --rounds rounds (default 3; --quick 1), each of them all of:
//   start-up       a one-document release, eleven times (the median CPU
//                  time is the round's start-up of the command, taken off
//                  for the time per document of batches over 1,000)
//   per batch      each size of --sizes (default 1000,10000,100000,1000000),
//                  logging off and logging on (the example's setting); up to
//                  1,000 documents at least eleven times, each right after a
//                  one-document release with the same setting whose CPU
//                  time is the start-up taken off (it is a third of such a
//                  run, so the machine's drift between the two would weigh
//                  most there), spread over the round (see kPairedSize); up
//                  to 10,000 five times, up to 100,000 three times; the run
//                  of the median CPU time (start-up taken off) counting for
//                  the round
//   per document   --per-document documents (default 10000) released by one
//                  process, then the same number split between two
//                  processes started together into one output folder. The
//                  two use batch classes of their own, so both count their
//                  interchange numbers from 1 and ask for the same file names.
// The speed of a shared machine drifts by a third within minutes, which
// would fall on one batch size and not the others within a round. So every
// round releases every size, the rounds take turns in direction (smallest
// batch first, then largest first), and a run of each kind counts with its
// median over the rounds: by CPU time, and by the clock for per document.
// Batch files are made before the first round and flushed to disk, and each
// release starts after a sync(), so no release pays for writing out what the
// one before it left behind.
//
// Printed per run (every round, then the medians): documents, wall and CPU
// seconds, documents per CPU second and per wall second, microseconds of CPU
// per document, peak memory, output and log size, and the memory limit
// 1.5 x output + 64 MB. Then the targets, from the medians:
// per batch with logging off >= 20,000 documents/s at 10,000 and 100,000
// documents and the time per document (start-up taken off; the figures with
// it are printed too) within 15% from the smallest to the largest batch; with
// logging on >= 10,000 documents/s; peak memory within the limit at the
// largest batch; per document under 10 s with every file
// name distinct and every file complete. Rates are per CPU second of the
// command (one core; the machine may be shared), the per-document limit is by
// the clock.
//
// --quick (for the CTest smoke test) runs 100 and 1000 documents per batch and
// 200 per document. The exit code is 1 when a release failed or its output is
// incomplete, never because a target was missed: timings are for reading.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

struct Options {
  bool quick = false;
  bool keep = false;
  std::string quillon;
  fs::path work;
  fs::path example;
  std::vector<long long> sizes;
  long long perDocument = 10000;
  int rounds = 3;
};

struct Run {
  std::string label;
  long long documents = 0;
  double wallSeconds = 0;
  double cpuSeconds = 0;
  double peakMb = 0;  // the largest of the processes of the run
  double outputMb = 0;
  double logMb = 0;
  long long outputFiles = 0;
  long long completeFiles = 0;
  // Per batch: the CPU time of the command's start-up, taken off for the
  // time per document.
  double startupSeconds = 0;
  bool ok = false;
  std::string problem;
};

[[noreturn]] void Die(const std::string& message) {
  std::fprintf(stderr, "release_e2e: %s\n", message.c_str());
  std::exit(2);
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Die("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) Die("cannot write " + path.string());
}

double Megabytes(double bytes) {
  return bytes / (1024.0 * 1024.0);
}

// Bytes of the regular files directly in `folder`.
long long FolderBytes(const fs::path& folder, long long* count = nullptr) {
  long long bytes = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (!entry.is_regular_file()) continue;
    bytes += static_cast<long long>(entry.file_size());
    if (count != nullptr) ++*count;
  }
  return bytes;
}

// The example's batch: everything but the documents, and the documents.
struct Example {
  Json header;
  std::vector<Json> documents;
  Json batchClass;
};

Example LoadExample(const fs::path& folder) {
  Example example;
  Json batch = Json::parse(ReadText(folder / "batch.json"));
  for (auto& document : batch["documents"]) example.documents.push_back(document);
  batch.erase("documents");
  example.header = std::move(batch);
  example.batchClass = Json::parse(ReadText(folder / "batch-class.json"));
  if (example.documents.empty()) Die("the example batch has no documents");
  return example;
}

// Writes a batch of `count` documents cycled from the example's, ids from
// `firstId` on.
void WriteBatch(const Example& example, long long count, long long firstId, const fs::path& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) Die("cannot write " + path.string());
  std::string head = example.header.dump(2);
  head.erase(head.find_last_of('}'));  // reopen the object
  while (!head.empty() && (head.back() == '\n' || head.back() == ' ')) head.pop_back();
  out << head << ",\n  \"documents\": [";
  std::string text;
  for (long long i = 0; i < count; ++i) {
    Json document = example.documents[static_cast<std::size_t>(i) % example.documents.size()];
    const long long id = firstId + i;
    document["id"] = id;
    auto& fields = document["indexFields"];
    if (fields.contains("Patient Account Number")) {
      fields["Patient Account Number"] = "PA-" + std::to_string(id);
    }
    text = document.dump(2);
    // Indent the document as an array element of the batch.
    std::string indented = "\n    ";
    for (char c : text) {
      indented.push_back(c);
      if (c == '\n') indented.append("    ");
    }
    out << (i == 0 ? "" : ",") << indented;
  }
  out << (count == 0 ? "]\n}\n" : "\n  ]\n}\n");
  out.close();
  if (!out) Die("writing " + path.string() + " failed");
  // On disk before any release: a 1.3 GB batch file written back while the
  // first releases run would slow them down.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) Die("cannot flush " + path.string());
  ::close(fd);
}

// A run folder: class.json, mappings/ (output directory: `out`), work/,
// logs/.
fs::path PrepareRunFolder(const Options& options, const Example& example, const fs::path& folder,
                          const std::string& mode, bool logging, const fs::path& out,
                          const fs::path& mappings) {
  fs::create_directories(folder);
  Json batchClass = example.batchClass;
  auto& properties = batchClass["customProperties"];
  properties["Mappings Directory"] = mappings.string();
  properties["Logging Directory"] = (folder / "logs").string();
  properties["Working Directory"] = (folder / "work").string();
  properties["EDI Output"] = mode;
  properties["Enable Logging"] = logging ? "True" : "0";
  WriteText(folder / "class.json", batchClass.dump(2) + "\n");
  if (!fs::exists(mappings)) {
    fs::create_directories(mappings);
    for (const char* name : {"DataMappings.xml", "FieldMappings.xml", "FeedOutputMappings.xml"}) {
      std::string text = ReadText(options.example / "mappings" / name);
      const std::string from = "value=\"./build/example-output/out\"";
      if (const std::size_t at = text.find(from); at != std::string::npos) {
        text.replace(at, from.size(), "value=\"" + out.string() + "\"");
      }
      WriteText(mappings / name, text);
      // Mapping files in use are old; a file changed in the last seconds is
      // read again for every document.
      fs::last_write_time(mappings / name,
                          fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
  }
  return folder / "class.json";
}

struct Process {
  pid_t pid = -1;
  fs::path folder;
};

Process Start(const Options& options, const fs::path& folder, const fs::path& batch,
              const fs::path& batchClass) {
  Process process{-1, folder};
  process.pid = ::fork();
  if (process.pid < 0) Die("fork failed");
  if (process.pid == 0) {
    const int out = ::open((folder / "stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open((folder / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::chdir(folder.c_str()) != 0) ::_exit(126);
    ::dup2(out, 1);
    ::dup2(err, 2);
    const std::string batchText = batch.string();
    const std::string classText = batchClass.string();
    ::execl(options.quillon.c_str(), options.quillon.c_str(), "release", batchText.c_str(),
            "--batch-class", classText.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return process;
}

struct Finished {
  int exitCode = -1;
  double cpuSeconds = 0;
  double peakMb = 0;
};

Finished Wait(const Process& process) {
  int status = 0;
  rusage usage{};
  if (::wait4(process.pid, &status, 0, &usage) < 0) Die("wait4 failed");
  Finished done;
  done.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  done.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  done.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
  return done;
}

std::string Tail(const fs::path& file) {
  std::error_code ec;
  if (!fs::exists(file, ec)) return {};
  std::string text = ReadText(file);
  if (text.size() > 600) text = "..." + text.substr(text.size() - 600);
  return text;
}

// Counts the files of `out` and those that end with the interchange trailer
// (IEA segment and line end): a file cut short or overwritten by another
// does not.
void CheckOutput(const fs::path& out, Run& run) {
  run.outputMb = Megabytes(static_cast<double>(FolderBytes(out, &run.outputFiles)));
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(out, ec)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const auto size = static_cast<std::streamoff>(entry.file_size());
    const std::streamoff tail = std::min<std::streamoff>(size, 64);
    std::string end(static_cast<std::size_t>(tail), '\0');
    in.seekg(size - tail);
    in.read(end.data(), tail);
    const std::size_t iea = end.rfind("IEA*");
    if (iea != std::string::npos && end.ends_with("~\n")) ++run.completeFiles;
  }
}

void Remove(const fs::path& path, const Options& options) {
  if (options.keep) return;
  std::error_code ec;
  fs::remove_all(path, ec);
}

Run PerBatch(const Options& options, const Example& example, const fs::path& batch,
             long long documents, bool logging) {
  Run run;
  run.label = std::string("per batch, logging ") + (logging ? "on" : "off");
  run.documents = documents;
  const fs::path folder =
      options.work / ("batch-" + std::to_string(documents) + (logging ? "-log" : ""));
  Remove(folder, Options{});
  const fs::path out = folder / "out";
  const fs::path batchClass = PrepareRunFolder(options, example, folder, "One EDI Per Batch",
                                               logging, out, folder / "mappings");
  ::sync();  // what the runs before left to write out is not this run's cost
  const auto start = std::chrono::steady_clock::now();
  const Finished done = Wait(Start(options, folder, batch, batchClass));
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpuSeconds = done.cpuSeconds;
  run.peakMb = done.peakMb;
  CheckOutput(out, run);
  run.logMb = Megabytes(static_cast<double>(FolderBytes(folder / "logs")));
  run.ok = done.exitCode == 0 && run.outputFiles == 1 && run.completeFiles == 1;
  if (!run.ok) {
    run.problem = "exit code " + std::to_string(done.exitCode) + ", " +
                  std::to_string(run.completeFiles) + " complete file(s) of " +
                  std::to_string(run.outputFiles) + "\n" + Tail(folder / "stderr.txt") +
                  Tail(folder / "stdout.txt");
  }
  Remove(folder, options);
  return run;
}

// The folder of a per-document run. These folders stay until all rounds are
// done: deleting thousands of files slows down the file creations that follow
// on the same file system for a while (ext4 without a journal, as here, steps
// over each recently freed inode when it picks one for a new file), and the
// next run would pay for that.
fs::path PerDocumentFolder(const Options& options, int processes, int round) {
  return options.work /
         ("document-" + std::to_string(processes) + "-round-" + std::to_string(round + 1));
}

// `processes` releases of `documents` / `processes` documents each, started
// together, into one output folder.
Run PerDocument(const Options& options, const Example& example, long long documents, int processes,
                int round) {
  Run run;
  run.label = "per document, " + std::to_string(processes) + " process" +
              (processes == 1 ? "" : "es") + " at once";
  run.documents = documents;
  const fs::path root = PerDocumentFolder(options, processes, round);
  Remove(root, Options{});
  const fs::path out = root / "out";
  const fs::path mappings = root / "mappings";
  std::vector<Process> started;
  std::vector<fs::path> batches;
  for (int p = 0; p < processes; ++p) {
    const fs::path folder = root / ("process-" + std::to_string(p + 1));
    const fs::path batchClass =
        PrepareRunFolder(options, example, folder, "One EDI Per Document", true, out, mappings);
    batches.push_back(folder / "batch.json");
    WriteBatch(example, documents / processes, 1, batches.back());
  }
  ::sync();
  const auto start = std::chrono::steady_clock::now();
  for (int p = 0; p < processes; ++p) {
    const fs::path folder = root / ("process-" + std::to_string(p + 1));
    started.push_back(
        Start(options, folder, batches[static_cast<std::size_t>(p)], folder / "class.json"));
  }
  std::vector<int> codes;
  for (const Process& process : started) {
    const Finished done = Wait(process);
    codes.push_back(done.exitCode);
    run.cpuSeconds += done.cpuSeconds;
    run.peakMb = std::max(run.peakMb, done.peakMb);
  }
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  CheckOutput(out, run);
  for (int p = 0; p < processes; ++p) {
    run.logMb += Megabytes(
        static_cast<double>(FolderBytes(root / ("process-" + std::to_string(p + 1)) / "logs")));
  }
  const long long expected = (documents / processes) * processes;
  run.documents = expected;
  const bool exitOk = std::all_of(codes.begin(), codes.end(), [](int c) { return c == 0; });
  run.ok = exitOk && run.outputFiles == expected && run.completeFiles == expected;
  if (!run.ok) {
    std::string codesText;
    for (int c : codes) codesText += " " + std::to_string(c);
    run.problem = "exit codes" + codesText + ", " + std::to_string(run.completeFiles) +
                  " complete file(s) of " + std::to_string(run.outputFiles) + ", expected " +
                  std::to_string(expected) + "\n" + Tail(root / "process-1" / "stderr.txt");
  }
  return run;
}

void PrintHeader() {
  // "us/doc -s": CPU per document without the start-up (per batch).
  std::printf("%-36s %9s %8s %8s %9s %9s %8s %9s %8s %9s %8s %9s %s\n", "run", "documents",
              "wall s", "cpu s", "docs/s", "wall d/s", "us/doc", "us/doc -s", "peak MB",
              "output MB", "log MB", "limit MB", "result");
}

void Print(const Run& run) {
  if (!run.ok) {
    // The rates of a release that did not go through mean nothing.
    std::printf("%-36s %9lld %8.2f %8.2f %9s %9s %8s %9s %8.1f %9.1f %8.1f %9.1f FAILED\n    %s\n",
                run.label.c_str(), run.documents, run.wallSeconds, run.cpuSeconds, "-", "-", "-",
                "-", run.peakMb, run.outputMb, run.logMb, 1.5 * run.outputMb + 64,
                run.problem.c_str());
    std::fflush(stdout);
    return;
  }
  const double perCpu = run.cpuSeconds > 0 ? run.documents / run.cpuSeconds : 0;
  const double perWall = run.wallSeconds > 0 ? run.documents / run.wallSeconds : 0;
  const double microseconds = run.documents > 0 ? 1e6 * run.cpuSeconds / run.documents : 0;
  char marginal[16] = "-";
  if (run.startupSeconds > 0 && run.documents > 0) {
    std::snprintf(marginal, sizeof marginal, "%.1f",
                  1e6 * std::max(0.0, run.cpuSeconds - run.startupSeconds) / run.documents);
  }
  std::printf("%-36s %9lld %8.2f %8.2f %9.0f %9.0f %8.1f %9s %8.1f %9.1f %8.1f %9.1f ok\n",
              run.label.c_str(), run.documents, run.wallSeconds, run.cpuSeconds, perCpu, perWall,
              microseconds, marginal, run.peakMb, run.outputMb, run.logMb, 1.5 * run.outputMb + 64);
  std::fflush(stdout);
}

std::vector<long long> ParseSizes(const std::string& text) {
  std::vector<long long> sizes;
  std::stringstream in(text);
  std::string piece;
  while (std::getline(in, piece, ',')) {
    const long long n = std::atoll(piece.c_str());
    if (n < 0) Die("a batch size must not be negative: " + piece);
    sizes.push_back(n);
  }
  return sizes;
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  options.example = fs::path(QUILLON_SOURCE_DIR) / "examples" / "professional-claims";
  options.quillon = QUILLON_BIN;
  std::string sizes;
  bool perDocumentGiven = false;
  bool roundsGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) Die(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--quick") {
      options.quick = true;
    } else if (arg == "--keep") {
      options.keep = true;
    } else if (arg == "--quillon") {
      options.quillon = value();
    } else if (arg == "--work") {
      options.work = value();
    } else if (arg == "--sizes") {
      sizes = value();
    } else if (arg == "--per-document") {
      options.perDocument = std::atoll(value().c_str());
      perDocumentGiven = true;
    } else if (arg == "--rounds") {
      options.rounds = std::atoi(value().c_str());
      roundsGiven = true;
      if (options.rounds < 1) Die("--rounds must be at least 1");
    } else if (arg == "--example") {
      options.example = value();
    } else {
      Die("unknown argument " + arg +
          " (usage: release_e2e [--quick] [--quillon PATH] [--work DIR] [--sizes N,N,...] "
          "[--per-document N] [--rounds N] [--keep])");
    }
  }
  if (!sizes.empty()) {
    options.sizes = ParseSizes(sizes);
  } else if (options.quick) {
    options.sizes = {100, 1000};
  } else {
    options.sizes = {1000, 10000, 100000, 1000000};
  }
  if (options.quick && !perDocumentGiven) options.perDocument = 200;
  if (options.quick && !roundsGiven) options.rounds = 1;
  if (options.work.empty()) options.work = fs::current_path() / "release-e2e-work";
  options.work = fs::absolute(options.work);
  options.quillon = fs::absolute(options.quillon).string();
  if (::access(options.quillon.c_str(), X_OK) != 0) Die("no quillon command at " + options.quillon);
  return options;
}

const Run* Find(const std::vector<Run>& runs, const std::string& label, long long documents) {
  for (const Run& run : runs) {
    if (run.label == label && run.documents == documents) return &run;
  }
  return nullptr;
}

void Target(const char* what, bool met) {
  std::printf("  %-74s %s\n", what, met ? "met" : "MISSED");
}

// Time per document (CPU) of `label` from the smallest to the largest batch:
// as measured, and with the start-up of the command (the run's
// `startupSeconds`) taken off, which is what a document costs.
void PrintScaling(const std::vector<Run>& runs, const std::string& label, bool check) {
  std::vector<const Run*> rows;
  for (const Run& run : runs) {
    if (run.label == label && run.ok && run.documents > 0) rows.push_back(&run);
  }
  if (rows.size() < 2) return;
  double worst = 0;
  for (const bool marginal : {false, true}) {
    const auto perDocument = [&](const Run& run) {
      const double cpu =
          marginal ? std::max(0.0, run.cpuSeconds - run.startupSeconds) : run.cpuSeconds;
      return cpu / static_cast<double>(run.documents);
    };
    const double first = perDocument(*rows.front());
    std::printf("  %s, time per document%s against %lld documents:", label.c_str(),
                marginal ? " without the start-up" : "", rows.front()->documents);
    for (const Run* run : rows) {
      const double change = (perDocument(*run) - first) / first;
      if (marginal) worst = std::max(worst, std::abs(change));
      std::printf(" %lld %+.1f%%", run->documents, 100 * change);
    }
    std::printf("\n");
  }
  if (check) {
    Target("time per document (without the start-up) within 15%, smallest to largest batch",
           worst <= 0.15);
  }
}

// The CPU times of releasing one document eleven times: the command's
// start-up (loading, reading the batch class and the mapping files, writing
// and delivering the file).
constexpr int kStartupRuns = 11;

void StartupRuns(const Options& options, const Example& example, const fs::path& batch,
                 std::vector<double>& cpu) {
  for (int i = 0; i < kStartupRuns; ++i) {
    const Run run = PerBatch(options, example, batch, 1, false);
    if (run.ok) cpu.push_back(run.cpuSeconds);
  }
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The run of the median time among `tries` (by the clock, or by CPU time
// without the start-up); a failed run, when there is one, so that no failure
// is hidden.
Run MedianRun(std::vector<Run> tries, bool byWall) {
  std::sort(tries.begin(), tries.end(), [byWall](const Run& a, const Run& b) {
    if (a.ok != b.ok) return !a.ok;
    if (byWall) return a.wallSeconds < b.wallSeconds;
    return a.cpuSeconds - a.startupSeconds < b.cpuSeconds - b.startupSeconds;
  });
  return tries[tries.front().ok ? tries.size() / 2 : 0];
}

// Batches up to this size, of which the start-up is a large part (a third
// at 1,000 documents), are released each time right after a one-document
// release with the same setting, whose CPU time is the start-up taken off:
// the machine's speed is the same for both. Such pairs are spread over the
// whole round, one before each release of a larger batch and then as many
// more as make kPairedRuns, so that they meet the same drifts of the
// machine's speed as the larger batches; the pair of the median CPU time
// (start-up taken off) counts for the round.
constexpr long long kPairedSize = 1000;
constexpr int kPairedRuns = 11;

Run PairedRun(const Options& options, const Example& example, const fs::path& batch,
              const fs::path& startupBatch, long long n, bool logging, double roundStartup) {
  const Run one = PerBatch(options, example, startupBatch, 1, logging);
  Run run = PerBatch(options, example, batch, n, logging);
  run.startupSeconds = one.ok ? one.cpuSeconds : roundStartup;
  return run;
}

// Per batch: a larger batch released 5 times (up to 10,000 documents), 3
// times (up to 100,000) or once, the run of the median CPU time counting for
// the round; the start-up taken off is `roundStartup`, the median of the
// round's. `beforeEach` is called before each release.
template <typename BeforeEach>
Run PerBatchRound(const Options& options, const Example& example, const fs::path& batch,
                  long long n, bool logging, double roundStartup, BeforeEach beforeEach) {
  const int repeats = n <= 10000 ? 5 : n <= 100000 ? 3 : 1;
  std::vector<Run> tries;
  for (int i = 0; i < repeats; ++i) {
    beforeEach();
    tries.push_back(PerBatch(options, example, batch, n, logging));
    tries.back().startupSeconds = roundStartup;
  }
  return MedianRun(std::move(tries), false);
}

fs::path BatchPath(const Options& options, long long n) {
  return options.work / ("batch-" + std::to_string(n) + ".json");
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  const Example example = LoadExample(options.example);
  fs::create_directories(options.work);
  std::printf("release_e2e: %s\n  quillon %s, example %s, work folder %s\n",
              options.quick ? "quick run" : "full run", options.quillon.c_str(),
              options.example.c_str(), options.work.c_str());

  const fs::path startupBatch = options.work / "batch-startup.json";
  WriteBatch(example, 1, 1, startupBatch);
  for (long long n : options.sizes) WriteBatch(example, n, 1, BatchPath(options, n));

  // Per round, in the order run: the runs of every kind.
  std::vector<std::vector<Run>> rounds;
  std::vector<double> startupCpu;
  for (int round = 0; round < options.rounds; ++round) {
    std::vector<long long> sizes = options.sizes;
    const bool largestFirst = round % 2 == 1;
    if (largestFirst) std::reverse(sizes.begin(), sizes.end());
    std::printf("round %d of %d (%s batch first)\n", round + 1, options.rounds,
                largestFirst ? "largest" : "smallest");
    std::vector<double> roundStartup;
    StartupRuns(options, example, startupBatch, roundStartup);
    std::printf("  start-up (CPU time of a one-document release, median of %d): %.1f ms\n",
                kStartupRuns, 1000 * Median(roundStartup));
    startupCpu.insert(startupCpu.end(), roundStartup.begin(), roundStartup.end());
    PrintHeader();
    std::vector<Run>& runs = rounds.emplace_back();
    const double startupMedian = Median(roundStartup);
    std::map<std::pair<long long, bool>, std::vector<Run>> paired;
    const auto releasePaired = [&] {
      for (long long n : options.sizes) {
        if (n > kPairedSize) continue;
        for (bool logging : {false, true}) {
          paired[{n, logging}].push_back(PairedRun(options, example, BatchPath(options, n),
                                                   startupBatch, n, logging, startupMedian));
        }
      }
    };
    for (long long n : sizes) {
      if (n <= kPairedSize) continue;
      for (bool logging : {false, true}) {
        runs.push_back(PerBatchRound(options, example, BatchPath(options, n), n, logging,
                                     startupMedian, releasePaired));
        Print(runs.back());
      }
    }
    while (paired.empty() ? std::any_of(options.sizes.begin(), options.sizes.end(),
                                        [](long long n) { return n <= kPairedSize; })
                          : paired.begin()->second.size() < kPairedRuns) {
      releasePaired();
    }
    for (auto& [key, tries] : paired) {
      runs.push_back(MedianRun(std::move(tries), false));
      Print(runs.back());
    }
    if (options.perDocument > 0) {
      for (int processes : {1, 2}) {
        runs.push_back(PerDocument(options, example, options.perDocument, processes, round));
        Print(runs.back());
      }
    }
  }
  Remove(startupBatch, options);
  for (long long n : options.sizes) Remove(BatchPath(options, n), options);
  for (int round = 0; round < options.rounds; ++round) {
    for (int processes : {1, 2}) Remove(PerDocumentFolder(options, processes, round), options);
  }

  // Each kind of run with its median over the rounds, smallest batch first.
  std::vector<std::pair<std::string, long long>> kinds;
  std::vector<long long> ascending = options.sizes;
  std::sort(ascending.begin(), ascending.end());
  for (long long n : ascending) {
    for (const char* label : {"per batch, logging off", "per batch, logging on"}) {
      kinds.emplace_back(label, n);
    }
  }
  for (const Run& run : rounds.front()) {
    if (run.label.starts_with("per document")) kinds.emplace_back(run.label, run.documents);
  }
  std::vector<Run> runs;
  for (const auto& [label, documents] : kinds) {
    std::vector<Run> same;
    for (const std::vector<Run>& round : rounds) {
      if (const Run* run = Find(round, label, documents)) same.push_back(*run);
    }
    if (!same.empty())
      runs.push_back(MedianRun(std::move(same), label.starts_with("per document")));
  }
  const double startupSeconds = Median(startupCpu);
  if (options.rounds > 1) {
    std::printf("median of the %d rounds (per document by the clock, the rest by CPU time)\n",
                options.rounds);
    std::printf("  start-up (median of all %zu one-document releases): %.1f ms\n",
                startupCpu.size(), 1000 * startupSeconds);
    PrintHeader();
    for (const Run& run : runs) Print(run);
  }

  std::printf("targets (rates per CPU second of the command):\n");
  PrintScaling(runs, "per batch, logging off", true);
  PrintScaling(runs, "per batch, logging on", false);
  for (long long n : {10000LL, 100000LL}) {
    if (const Run* run = Find(runs, "per batch, logging off", n)) {
      const std::string what =
          "per batch, logging off, " + std::to_string(n) + " documents: >= 20,000 documents/s";
      Target(what.c_str(), run->ok && run->documents / run->cpuSeconds >= 20000);
    }
  }
  for (const Run& run : runs) {
    if (run.label != "per batch, logging on" || run.documents < 10000) continue;
    const std::string what = "per batch, logging on, " + std::to_string(run.documents) +
                             " documents: >= 10,000 documents/s";
    Target(what.c_str(), run.ok && run.documents / run.cpuSeconds >= 10000);
  }
  if (!options.sizes.empty()) {
    const long long largest = *std::max_element(options.sizes.begin(), options.sizes.end());
    if (const Run* run = Find(runs, "per batch, logging off", largest)) {
      const std::string what = "per batch, " + std::to_string(largest) +
                               " documents: peak memory <= 1.5 x output + 64 MB";
      Target(what.c_str(), run->ok && run->peakMb <= 1.5 * run->outputMb + 64);
    }
  }
  for (const Run& run : runs) {
    if (!run.label.starts_with("per document")) continue;
    const std::string what = run.label + ": under 10 s, every name distinct, every file complete";
    Target(what.c_str(), run.ok && run.wallSeconds < 10);
  }

  const bool allOk = std::all_of(runs.begin(), runs.end(), [](const Run& r) { return r.ok; });
  if (!options.keep) {
    std::error_code ec;
    fs::remove(options.work, ec);  // only when empty
  }
  return allOk ? 0 : 1;
}
