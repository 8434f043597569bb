#include "release/owned_files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/native_path.h"
#include "platform/os_services.h"
#include "release/file_system_seam.h"
#include "release/release_log.h"

namespace quillon {
namespace {

using internal::LogLine;

constexpr std::string_view kPrefix = ".quillon-";
constexpr std::size_t kLabelBytes = 60;

std::atomic<std::uint64_t> nextNumber{1};

// This process's start token, read once; 16 zeros where /proc cannot tell.
const std::string& OwnToken() {
  static const std::string token = [] {
    std::string t = platform::ProcessStartToken(platform::CurrentProcessId());
    return t.empty() ? std::string(16, '0') : t;
  }();
  return token;
}

// A label that keeps the name readable and parseable: no separators or
// control characters, at most kLabelBytes, never cut inside a character.
std::string CleanLabel(std::string_view label) {
  std::string out;
  for (const char c : label) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || c == '/' || c == '\\') continue;
    out.push_back(c);
  }
  if (out.size() > kLabelBytes) {
    std::size_t end = kLabelBytes;
    while (end > 0 && (static_cast<unsigned char>(out[end]) & 0xC0) == 0x80) --end;
    out.resize(end);
  }
  return out;
}

bool IsHex(std::string_view text, std::size_t digits) {
  if (text.size() != digits) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

bool IsDecimal(std::string_view text) {
  if (text.empty() || text.size() > 18) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The native folder with one trailing "/".
std::string FolderPrefix(std::string_view folder) {
  std::string native = platform::ToNativePath(folder);
  if (native.empty() && !folder.empty()) return {};
  if (native.empty()) return "./";
  if (native.back() != '/') native.push_back('/');
  return native;
}

}  // namespace

std::string OwnedFileName(std::string_view kind, std::string_view label) {
  std::string name(kPrefix);
  name += platform::MachineTag();
  name += '-';
  name += std::to_string(platform::CurrentProcessId());
  name += '-';
  name += OwnToken();
  name += '-';
  name += std::to_string(nextNumber.fetch_add(1));
  const std::string clean = CleanLabel(label);
  if (!clean.empty()) {
    name += '-';
    name += clean;
  }
  name += '.';
  name += kind;
  return name;
}

std::optional<OwnedFile> ParseOwnedFileName(std::string_view name) {
  if (name.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < kPrefix.size()) return std::nullopt;
  OwnedFile file;
  file.kind.assign(name.substr(dot + 1));
  std::string_view rest = name.substr(kPrefix.size(), dot - kPrefix.size());
  // machine-pid-token-n[-label]
  std::string_view parts[4];
  for (int i = 0; i < 4; ++i) {
    const std::size_t dash = rest.find('-');
    if (i < 3 && dash == std::string_view::npos) return std::nullopt;
    parts[i] = rest.substr(0, dash);
    rest = dash == std::string_view::npos ? std::string_view() : rest.substr(dash + 1);
    if (i == 3 && dash != std::string_view::npos) file.label.assign(rest);
  }
  if (!IsHex(parts[0], 8) || !IsDecimal(parts[1]) || !IsHex(parts[2], 16) || !IsDecimal(parts[3])) {
    return std::nullopt;
  }
  file.machine.assign(parts[0]);
  const long long pid = std::stoll(std::string(parts[1]));
  if (pid <= 0 || pid > 0x7FFFFFFF) return std::nullopt;
  file.pid = static_cast<std::int32_t>(pid);
  file.startToken.assign(parts[2]);
  return file;
}

bool IsOwnFile(const OwnedFile& file) {
  return file.machine == platform::MachineTag() && file.pid == platform::CurrentProcessId() &&
         file.startToken == OwnToken();
}

std::string NameHash(std::string_view fileName) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : fileName) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(hash));
  return text;
}

std::vector<std::string> RemoveLeftovers(std::string_view folder, bool lockHeld) {
  std::vector<std::string> removed;
  const std::string prefix = FolderPrefix(folder);
  if (prefix.empty()) return removed;
  FileSystem& fs = CurrentFileSystem();
  std::vector<std::string> names;
  if (fs.List(prefix, names) != 0) return removed;

  // Owners are looked up once each: a killed release leaves several files.
  std::map<std::pair<std::int32_t, std::string>, bool> ended;
  const auto hasEnded = [&](const OwnedFile& file) {
    const auto key = std::make_pair(file.pid, file.startToken);
    const auto it = ended.find(key);
    if (it != ended.end()) return it->second;
    const bool gone = platform::ProcessHasEnded(file.pid, file.startToken);
    ended.emplace(key, gone);
    return gone;
  };
  const auto remove = [&](const std::string& name, std::int32_t pid, const char* what) {
    const std::string path = prefix + name;
    if (fs.Remove(path) != 0) return;
    removed.push_back(path);
    LogLine(0, 1, "[Recovery] Removed ", what, path, ", left by process ", pid,
            ", which ended before it finished");
  };

  // Reserved names by their hash, for the "pending" markers; only built
  // when there is such a marker.
  std::unordered_map<std::string, std::string> byHash;
  for (const std::string& name : names) {
    const std::optional<OwnedFile> file = ParseOwnedFileName(name);
    if (!file || file->machine != platform::MachineTag() || IsOwnFile(*file)) continue;
    if (file->kind != kWorkingKind && file->kind != kTemporaryKind && file->kind != kPendingKind &&
        file->kind != kProbeKind && file->kind != kLockSeedKind) {
      continue;
    }
    if (file->kind == kPendingKind && !lockHeld) continue;
    if (!hasEnded(*file)) continue;
    if (file->kind == kPendingKind) {
      if (byHash.empty()) {
        for (const std::string& other : names) byHash.emplace(NameHash(other), other);
      }
      // The empty file it reserved, if the owner got that far.
      const auto target = byHash.find(file->label);
      if (target != byHash.end()) {
        FileStatus status;
        const std::string path = prefix + target->second;
        if (fs.Status(path, false, status) == 0 && status.isRegular && status.size == 0) {
          remove(target->second, file->pid, "the empty file reserved as ");
        }
      }
      remove(name, file->pid, "the unfinished copy ");
    } else if (file->kind == kTemporaryKind) {
      remove(name, file->pid, "the unfinished copy ");
    } else if (file->kind == kProbeKind) {
      remove(name, file->pid, "the write check ");
    } else if (file->kind == kLockSeedKind) {
      remove(name, file->pid, "the lock seed ");
    } else {
      remove(name, file->pid, "the working file ");
    }
  }
  return removed;
}

namespace {
std::mutex cleanedMutex;
std::unordered_map<std::string, std::chrono::steady_clock::time_point>& Cleaned() {
  static std::unordered_map<std::string, std::chrono::steady_clock::time_point> cleaned;
  return cleaned;
}
}  // namespace

void RemoveLeftoversOnce(std::string_view folder, bool lockHeld, std::chrono::seconds interval) {
  const std::string key = FolderPrefix(folder) + (lockHeld ? "\n1" : "\n0");
  const auto now = std::chrono::steady_clock::now();
  {
    std::lock_guard<std::mutex> guard(cleanedMutex);
    auto& cleaned = Cleaned();
    const auto it = cleaned.find(key);
    if (it != cleaned.end() && now - it->second < interval) return;
    if (cleaned.size() > 4096) cleaned.clear();
    cleaned[key] = now;
  }
  RemoveLeftovers(folder, lockHeld);
}

void ForgetCleanedFolders() {
  std::lock_guard<std::mutex> guard(cleanedMutex);
  Cleaned().clear();
}

}  // namespace quillon
