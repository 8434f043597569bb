#include "platform/native_path.h"

#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

std::mutex& SettingsMutex() {
  static std::mutex m;
  return m;
}

PathSettings FromEnvironment() {
  PathSettings s;
  if (const char* root = std::getenv("QUILLON_UNC_ROOT"); root != nullptr && *root != '\0') {
    s.uncRoot = root;
  }
  if (const char* drives = std::getenv("QUILLON_DRIVES"); drives != nullptr) {
    std::string_view rest(drives);
    while (!rest.empty()) {
      const std::size_t semi = rest.find(';');
      const std::string_view entry = rest.substr(0, semi);
      if (entry.size() >= 3 && entry[1] == '=') {
        char letter = entry[0];
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
        if (letter >= 'A' && letter <= 'Z') s.drives[letter] = std::string(entry.substr(2));
      }
      if (semi == std::string_view::npos) break;
      rest.remove_prefix(semi + 1);
    }
  }
  return s;
}

PathSettings& Settings() {
  static PathSettings settings = FromEnvironment();
  return settings;
}

std::string Slashes(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

std::string Join(std::string root, std::string_view rest) {
  while (!root.empty() && root.back() == '/') root.pop_back();
  std::string tail = Slashes(rest);
  std::size_t skip = 0;
  while (skip < tail.size() && tail[skip] == '/') ++skip;
  tail.erase(0, skip);
  if (tail.empty()) return root.empty() ? "/" : root;
  return root + "/" + tail;
}

}  // namespace

void SetPathSettings(PathSettings settings) {
  std::lock_guard lock(SettingsMutex());
  Settings() = std::move(settings);
}

PathSettings GetPathSettings() {
  std::lock_guard lock(SettingsMutex());
  return Settings();
}

std::string ToNativePath(std::string_view path) {
  const bool sep0 = !path.empty() && (path[0] == '\\' || path[0] == '/');
  const bool sep1 = path.size() > 1 && (path[1] == '\\' || path[1] == '/');
  if (sep0 && sep1 && path[0] == '\\') {  // \\server\share\...
    std::lock_guard lock(SettingsMutex());
    return Join(Settings().uncRoot, path.substr(2));
  }
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    char letter = path[0];
    if (letter >= 'a') letter = static_cast<char>(letter - 32);
    std::lock_guard lock(SettingsMutex());
    const auto it = Settings().drives.find(letter);
    if (it == Settings().drives.end()) return {};
    return Join(it->second, path.substr(2));
  }
  return Slashes(path);
}

}  // namespace platform
