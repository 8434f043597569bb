// Shared fixtures of the release tests: mapping folders written from inline
// XML, a scoped log, and small file helpers.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "release/file_system_seam.h"
#include "release/global_logger.h"
#include "support/temp_dir.h"

namespace release_testing {

// Replaces every "{KEY}" of `text` by the value (for paths in XML fixtures).
inline std::string Substitute(std::string text,
                              const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [key, value] : values) {
    const std::string token = "{" + key + "}";
    for (std::size_t at = text.find(token); at != std::string::npos;
         at = text.find(token, at + value.size())) {
      text.replace(at, token.size(), value);
    }
  }
  return text;
}

// A mapping-class file with no classes: the level is passed over.
inline constexpr std::string_view kNoClasses = "<FieldMappings/>";

// Writes the three mapping files into <dir>/<name> and returns that folder.
inline std::string WriteMappings(const testing_support::TempDir& dir, std::string_view level1,
                                 std::string_view level2, std::string_view level3,
                                 std::string_view name = "mappings") {
  const std::string folder = std::string(name);
  dir.Write(folder + "/DataMappings.xml", level1);
  dir.Write(folder + "/FieldMappings.xml", level2);
  dir.Write(folder + "/FeedOutputMappings.xml", level3);
  return dir.Child(folder);
}

// Logging into a temporary folder for the life of the object.
class ScopedLog {
 public:
  ScopedLog() {
    tessel::Logger& logger = quillon::NewGlobalLogger();
    logger.LogFolder(dir_.str());
    logger.LogFileName("test");
  }
  ~ScopedLog() { quillon::NewGlobalLogger(); }
  ScopedLog(const ScopedLog&) = delete;
  ScopedLog& operator=(const ScopedLog&) = delete;

  // The log so far (the logger writes in blocks: flushed first).
  std::string Text() const {
    quillon::GlobalLogger().Flush();
    return testing_support::ReadFile(dir_.Child("test.log"));
  }
  // The text of each LogText line (after "Lk " or "Lk* ") and each error line.
  std::vector<std::string> Lines() const { return SplitLogLines(Text()); }

  static std::vector<std::string> SplitLogLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
      std::size_t end = text.find('\n', from);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(from, end - from);
      from = end + 1;
      // "<date> <time> pid=N Lk text" or "... pid=N ERROR ...".
      const std::size_t pid = line.find(" pid=");
      if (pid == std::string::npos) continue;
      const std::size_t tag = line.find(' ', pid + 1);
      if (tag == std::string::npos) continue;
      std::string rest = line.substr(tag + 1);
      if (rest.rfind("ERROR ", 0) != 0) {
        const std::size_t space = rest.find(' ');
        rest = space == std::string::npos ? std::string() : rest.substr(space + 1);
      }
      lines.push_back(rest);
    }
    return lines;
  }

 private:
  testing_support::TempDir dir_;
};

inline bool Contains(const std::vector<std::string>& lines, std::string_view line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The names of the regular files of a folder, sorted.
// The files of a folder once the batch is over (the lock seeds, which the
// release script drops at the end of a batch, are dropped first).
inline std::vector<std::string> FilesIn(const std::string& folder) {
  quillon::CurrentFileSystem().DropLockSeeds();
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace release_testing
