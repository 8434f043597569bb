// Temporary folders and files for tests: unique names, removed with
// everything in them when the object goes out of scope.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace testing_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const noexcept { return path_; }
  // The folder as text, or a child of it.
  std::string str() const { return path_.string(); }
  std::string Child(std::string_view name) const { return (path_ / name).string(); }
  // Writes (replacing) a file below the folder and returns its path.
  std::string Write(std::string_view name, std::string_view content) const;

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::string& path);

}  // namespace testing_support
