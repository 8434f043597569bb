#include "platform/native_path.h"

#include <cstdlib>
#include <mutex>
#include <vector>

namespace platform {
namespace {

std::mutex& SettingsMutex() {
  static std::mutex m;
  return m;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

char UpperLetter(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  return (c >= 'A' && c <= 'Z') ? c : '\0';
}

PathSettings& Settings() {
  static PathSettings settings = PathSettingsFromEnvironment();
  return settings;
}

std::string Slashes(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

// The components of `rest` with "." dropped and ".." applied, never
// climbing above the first `fixed` components.
std::vector<std::string_view> Resolve(std::string_view rest, std::size_t fixed) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = start;
    while (end < rest.size() && !IsPathSeparator(rest[end])) ++end;
    const std::string_view part = rest.substr(start, end - start);
    if (part == "..") {
      if (parts.size() > fixed) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  return parts;
}

std::string Join(std::string root, const std::vector<std::string_view>& parts, bool trailing) {
  while (!root.empty() && root.back() == '/') root.pop_back();
  if (parts.empty()) return root.empty() ? "/" : root;
  std::string out = std::move(root);
  for (const std::string_view p : parts) {
    out.push_back('/');
    out.append(p);
  }
  if (trailing) out.push_back('/');
  return out;
}

}  // namespace

PathSettings PathSettingsFromEnvironment() {
  PathSettings s;
  if (const char* root = std::getenv("QUILLON_UNC_ROOT"); root != nullptr && *root != '\0') {
    s.uncRoot = root;
  }
  if (const char* drives = std::getenv("QUILLON_DRIVES"); drives != nullptr) {
    std::string_view rest(drives);
    while (!rest.empty()) {
      const std::size_t semi = rest.find(';');
      const std::string_view entry = TrimBlanks(rest.substr(0, semi));
      const std::size_t eq = entry.find('=');
      if (eq != std::string_view::npos) {
        const std::string_view letter = TrimBlanks(entry.substr(0, eq));
        const std::string_view root = TrimBlanks(entry.substr(eq + 1));
        if (letter.size() == 1 && UpperLetter(letter[0]) != '\0' && !root.empty()) {
          s.drives[UpperLetter(letter[0])] = std::string(root);
        }
      }
      if (semi == std::string_view::npos) break;
      rest.remove_prefix(semi + 1);
    }
  }
  return s;
}

void SetPathSettings(PathSettings settings) {
  std::lock_guard lock(SettingsMutex());
  Settings() = std::move(settings);
}

PathSettings GetPathSettings() {
  std::lock_guard lock(SettingsMutex());
  return Settings();
}

bool IsUncPath(std::string_view path) noexcept {
  return path.size() >= 2 && path[0] == '\\' && IsPathSeparator(path[1]);
}

char DriveLetterOf(std::string_view path) noexcept {
  if (path.size() < 2 || path[1] != ':') return '\0';
  return UpperLetter(path[0]);
}

std::optional<std::string> DriveRoot(char letter) {
  const char upper = UpperLetter(letter);
  std::lock_guard lock(SettingsMutex());
  const auto it = Settings().drives.find(upper);
  if (upper == '\0' || it == Settings().drives.end()) return std::nullopt;
  return it->second;
}

std::string ToNativePath(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return {};
  const bool trailing = !path.empty() && IsPathSeparator(path.back());
  if (IsUncPath(path)) {
    const std::string_view rest = path.substr(2);
    // The server and the share are the root of a UNC path: neither may be a
    // "." or ".." that would lead out of the UNC root.
    std::size_t start = 0;
    for (int i = 0; i < 2 && start <= rest.size(); ++i) {
      std::size_t end = start;
      while (end < rest.size() && !IsPathSeparator(rest[end])) ++end;
      const std::string_view part = rest.substr(start, end - start);
      if (part == "." || part == "..") return {};
      start = end + 1;
    }
    std::string root;
    {
      std::lock_guard lock(SettingsMutex());
      root = Settings().uncRoot;
    }
    const auto parts = Resolve(rest, 2);
    return Join(std::move(root), parts, trailing);
  }
  if (const char letter = DriveLetterOf(path); letter != '\0') {
    std::optional<std::string> root = DriveRoot(letter);
    if (!root) return {};
    return Join(std::move(*root), Resolve(path.substr(2), 0), trailing);
  }
  return Slashes(path);
}

}  // namespace platform
