#include "release/file_routines.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/error.h"
#include "platform/native_path.h"
#include "platform/number_text.h"
#include "platform/os_services.h"
#include "platform/text.h"
#include "release/file_system_seam.h"
#include "release/global_logger.h"
#include "release/owned_files.h"

namespace quillon {
namespace {

using platform::FileOperation;
using platform::IsPathSeparator;

constexpr unsigned kFileMode = 0600;
constexpr unsigned kDirectoryMode = 0700;
constexpr const char* kLockName = "folder.lock";
constexpr const char* kProblemTitle = "Drive/Directory Problem";

// The waiting policy a process starts with. Builds with test hooks take it
// from QUILLON_TEST_LOCK_WAIT=<attempts>:<milliseconds>, so that the
// crash-safety tests, which leave locks behind on purpose, need not wait 20
// seconds for each.
LockWaitPolicy InitialPolicy() {
  LockWaitPolicy policy;
#ifdef QUILLON_TEST_HOOKS
  if (const char* wait = std::getenv("QUILLON_TEST_LOCK_WAIT")) {
    int attempts = 0;
    int sleep = 0;
    if (std::sscanf(wait, "%d:%d", &attempts, &sleep) == 2 && attempts > 0 && sleep >= 0) {
      policy.attempts = attempts;
      policy.sleepMilliseconds = sleep;
    }
  }
#endif
  return policy;
}

std::atomic<int>& WaitAttempts() {
  static std::atomic<int> attempts{InitialPolicy().attempts};
  return attempts;
}

std::atomic<int>& WaitSleep() {
  static std::atomic<int> sleep{InitialPolicy().sleepMilliseconds};
  return sleep;
}

std::size_t LastSeparator(std::string_view path) {
  return path.find_last_of("\\/");
}

// The lock file of a folder. The folder often ends with its separator
// (SplitPath keeps it), which is not doubled. An empty folder means the
// current directory, so that the lock sits beside the files it guards.
std::string LockPath(std::string_view folder) {
  if (folder.empty()) return kLockName;
  std::string path(folder);
  if (!IsPathSeparator(path.back())) path.push_back('\\');
  return path + kLockName;
}

[[noreturn]] void RaiseFileError(int code, FileOperation operation, std::string source) {
  throw platform::FileError(code, operation, std::move(source));
}

// A plain file (anything but a directory) of that name is there. Symbolic
// links count as taken names whatever they point to: such a name can never be
// reserved, and the link is not followed to look.
bool FileExists(std::string_view path, const char* source) {
  quillon::FileStatus status;
  const int rc = CurrentFileSystem().Status(platform::ToNativePath(path), false, status);
  if (rc == ENOENT || rc == ENOTDIR) return false;
  if (rc != 0) RaiseFileError(rc, FileOperation::kOpen, source);
  return !status.isDirectory;
}

// The name split into base and extension at its last ".". A name without a
// dot is all base and leaves `extension` as it is.
void SplitExtension(std::string_view name, std::string& base, std::string& extension) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) {
    base.assign(name);
    return;
  }
  base.assign(name.substr(0, dot));
  extension.assign(name.substr(dot));
}

// Folder and file name of a path that MakeFileNameUnique was given. A bare
// file name (no separator at all) lies in the current directory; SplitPath
// would give "" for both, which would turn out.txt into "_1".
void SplitWanted(std::string_view path, std::string& folder, std::string& name) {
  if (!SplitPath(path, folder, name)) {
    folder.clear();
    name.assign(path);
  }
}

// The numeric value of a counter text as the runtime's comparison with a
// number reads it; text that is not a number is a type mismatch.
double CounterValue(std::string_view counter) {
  const std::optional<double> value = platform::ReadNumber(counter);
  if (!value) platform::Raise(platform::err::kTypeMismatch, "MakeFileNameUnique");
  return *value;
}

// The candidate that follows a taken name (one step of the counter rule).
std::string NextCandidate(std::string_view candidate, std::string_view delimiter,
                          std::string& extension) {
  std::string folder;
  std::string name;
  SplitWanted(candidate, folder, name);
  std::string base;
  SplitExtension(name, base, extension);

  std::string counter;
  const std::size_t at = delimiter.empty() ? std::string::npos : base.rfind(delimiter);
  if (at != std::string::npos) {
    counter = base.substr(at + delimiter.size());
    if (CounterValue(counter) < 100) {
      base.erase(at + delimiter.size());
    } else {
      counter.clear();
    }
  }
  if (IsAllDigits(counter)) {
    // The value is below 100 here, so no overflow whatever the leading zeros.
    counter = std::to_string(std::stoi(counter) + 1);
  } else {
    counter = std::string(delimiter) + "1";
  }
  return folder + base + counter + extension;
}

std::string GuidName(std::string_view path) {
  std::string folder;
  std::string name;
  SplitWanted(path, folder, name);
  std::string base;
  std::string extension;
  SplitExtension(name, base, extension);
  return folder + base + "_" + NewGuidString() + extension;
}

}  // namespace

bool SplitPath(std::string_view path, std::string& folder, std::string& fileName) {
  const std::size_t last = LastSeparator(path);
  if (last == std::string_view::npos) {
    folder.clear();
    fileName.clear();
    return false;
  }
  folder.assign(path.substr(0, last + 1));
  fileName.assign(path.substr(last + 1));
  return true;
}

std::string ParentDirectory(std::string_view path) {
  std::string_view p = platform::text::Trim(path);
  if (!p.empty() && IsPathSeparator(p.back())) p.remove_suffix(1);
  const std::size_t last = LastSeparator(p);
  if (last == std::string_view::npos) return {};
  if (platform::IsUncPath(p)) {
    // \\server\share is the root of a UNC path; \\server alone (and the bare
    // "\\") has nothing above it either.
    const std::size_t first = p.find_first_of("\\/", 2);
    if (first == std::string_view::npos || first == last) return {};
  }
  return std::string(p.substr(0, last));
}

bool DirectoryExists(std::string_view path) {
  quillon::FileStatus status;
  return CurrentFileSystem().Status(platform::ToNativePath(path), true, status) == 0 &&
         status.isDirectory;
}

namespace {
// A path that names no root: no leading separator and no drive letter.
bool IsRelativeName(std::string_view path) {
  const std::string_view p = platform::text::Trim(path);
  if (p.empty() || IsPathSeparator(p.front())) return false;
  return !(p.size() >= 2 && p[1] == ':');
}
}  // namespace

bool CreateDirectoryTree(std::string_view path) {
  FileSystem& fs = CurrentFileSystem();
  // A directory without a parent (a drive root, a share) is never created,
  // only found. A single relative name has the current directory as its
  // parent, which exists.
  if (ParentDirectory(path).empty()) {
    if (IsRelativeName(path) && !DirectoryExists(path)) {
      fs.MakeDirectory(platform::ToNativePath(path), kDirectoryMode);
    }
    return DirectoryExists(path);
  }

  // Walk up to the first ancestor that exists, remembering the missing ones,
  // then create them from the top down. A loop rather than recursion: the
  // path may come from a mapping file and be arbitrarily deep.
  std::vector<std::string> missing;  // nearest ancestor first
  std::string current(path);
  for (;;) {
    const std::string parent = ParentDirectory(current);
    if (parent.empty()) {
      // `current` is the top of the path and was found missing. A relative
      // name is created in the current directory; a drive root or share can
      // only have appeared since.
      if (IsRelativeName(current)) break;
      if (!DirectoryExists(current)) return DirectoryExists(path);
      missing.pop_back();
      break;
    }
    quillon::FileStatus status;
    const int rc = fs.Status(platform::ToNativePath(parent), true, status);
    if (rc == 0 && status.isDirectory) break;
    // Unreadable, not a directory, a bad name...: nothing to create.
    if (rc != ENOENT && rc != ENOTDIR) return DirectoryExists(path);
    missing.push_back(parent);
    current = parent;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    // Another process may create the same directory at the same moment.
    if (fs.MakeDirectory(platform::ToNativePath(*it), kDirectoryMode) != 0 &&
        !DirectoryExists(*it)) {
      return DirectoryExists(path);
    }
  }
  fs.MakeDirectory(platform::ToNativePath(path), kDirectoryMode);
  return DirectoryExists(path);
}

void CheckDirectoryAccess(std::string_view directory) {
  FileSystem& fs = CurrentFileSystem();
  std::string probe(directory);
  if (!probe.empty() && !IsPathSeparator(probe.back())) probe.push_back('\\');
  // A name of this process: should it be killed between creating the probe
  // and deleting it, the next release recognises the file as a leftover.
  probe += OwnedFileName(kProbeKind);
  const std::string native = platform::ToNativePath(probe);
  // Created exclusively: the probe must never overwrite, and then delete, a
  // file that happens to carry its name. An empty directory is no directory
  // at all (and must not turn into the root of the file system).
  if (directory.empty() || fs.CreateExclusive(native, kFileMode) != 0 || fs.Remove(native) != 0) {
    throw platform::Error(6000, "Check Directory Access",
                          "Release user does not have appropriate access to the output "
                          "directory - " +
                              std::string(directory));
  }
}

bool HasDirectoryAccess(std::string_view directory) {
  try {
    CheckDirectoryAccess(directory);
    return true;
  } catch (...) {
    return false;
  }
}

bool IsAllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string NewGuidString() {
  platform::Guid g;
  if (!platform::NewGuid(g)) return {};
  char text[33];
  std::snprintf(text, sizeof text, "%08X%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned>(g.data1), static_cast<unsigned>(g.data2),
                static_cast<unsigned>(g.data3), g.data4[0], g.data4[1], g.data4[2], g.data4[3],
                g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return std::string(text, 32);
}

namespace {
[[noreturn]] void RaiseLockFailure(int rc, std::string_view folder) {
  const platform::Error failure = platform::FileError(rc, FileOperation::kCreate, {});
  throw platform::Error(failure.Number(),
                        "ObtainLock: Can't obtain lock for folder " + std::string(folder),
                        failure.Description());
}
}  // namespace

void ObtainLock(std::string_view folder) {
  FileSystem& fs = CurrentFileSystem();
  const std::string lock = platform::ToNativePath(LockPath(folder));
  const LockWaitPolicy policy = GetLockWaitPolicy();
  // The wait lasts attempts x sleep in all. A holder keeps the lock for a
  // moment only (one name search), so the attempts come quickly at first,
  // 1, 2, 4, ... milliseconds apart, and then every `sleep`: two releases
  // taking turns in one folder do not lose 200 ms at every turn.
  const std::int64_t total = static_cast<std::int64_t>(policy.attempts) * policy.sleepMilliseconds;
  std::int64_t slept = 0;
  std::int64_t pause = 1;
  for (;;) {
    const int rc = fs.CreateLockFile(lock);
    if (rc == 0) {
      platform::SetHiddenAttribute(lock);
      return;
    }
    // Only a lock file that is there (someone holds the lock) is worth
    // waiting for. A missing folder, a path through a file, a name too long,
    // a read-only or full file system never clear by waiting.
    if (rc != EEXIST) RaiseLockFailure(rc, folder);
    if (slept >= total) break;
    const std::int64_t now =
        std::min({pause, static_cast<std::int64_t>(policy.sleepMilliseconds), total - slept});
    platform::SleepMilliseconds(static_cast<std::int32_t>(now));
    slept += now;
    if (pause < policy.sleepMilliseconds) pause *= 2;
  }
  // The holder has had all that time: assume it died and take the lock over.
  try {
    ReleaseLock(folder);
  } catch (...) {
  }
  const int rc = fs.CreateLockFile(lock);
  if (rc == 0) return;
  RaiseLockFailure(rc, folder);
}

void ReleaseLock(std::string_view folder) {
  const int rc = CurrentFileSystem().Remove(platform::ToNativePath(LockPath(folder)));
  if (rc != 0) RaiseFileError(rc, FileOperation::kOpen, "ReleaseLock");
}

namespace {

constexpr const char* kDeliverSource = "DeliverFile";

// Logs the failure of a name search as the design's unique-name routine
// does, releases a lock still held (logging a failure of that too) and
// returns the GUID-based fallback name.
std::string FallBackToGuidName(std::string_view path, const std::string& folder, int step,
                               const platform::Error& failure, bool locked) {
  tessel::Logger& log = GlobalLogger();
  log.LogError("MakeFileNameUnique", std::to_string(failure.HelpContext()),
               "Error creating unique file name: " + std::string(path) + ", Error Number: " +
                   std::to_string(failure.Number()) + ", Desc: " + failure.Description() +
                   ", Error Line: " + std::to_string(step) + " sPath1:" + folder);
  if (locked) {
    try {
      ReleaseLock(folder);
    } catch (const platform::Error& e) {
      log.LogError("ReleaseLock", std::to_string(e.HelpContext()), e.Description());
    }
  }
  return GuidName(path);
}

platform::Error AsFileRoutineError(const std::exception& e, const char* source) {
  if (const auto* error = dynamic_cast<const platform::Error*>(&e)) return *error;
  return platform::Error(51, source, e.what());  // 51: internal error
}

// Releases the lock after the name was taken on disk (reserved or
// published): that stays the answer even when releasing fails, for a lock
// file that someone else already deleted (a process that took a stale lock
// over) changes nothing about it. The failure is logged.
void ReleaseLockKeepingResult(const std::string& folder) {
  try {
    ReleaseLock(folder);
  } catch (const platform::Error& e) {
    GlobalLogger().LogError("ReleaseLock", std::to_string(e.HelpContext()), e.Description());
  }
}

// The search of MakeFileNameUnique, with or without the placeholder that
// reserves the name.
std::string UniqueName(std::string_view path, std::string_view delimiter, bool reserve) {
  std::string folder;
  bool locked = false;
  int step = 1;
  std::optional<platform::Error> failure;
  try {
    std::string name;
    SplitWanted(path, folder, name);
    ObtainLock(folder);
    locked = true;

    step = 2;
    std::string candidate(path);
    std::string extension;
    while (FileExists(candidate, "MakeFileNameUnique")) {
      candidate = NextCandidate(candidate, delimiter, extension);
    }

    step = 3;
    if (reserve) {
      if (const int rc =
              CurrentFileSystem().CreateExclusive(platform::ToNativePath(candidate), kFileMode);
          rc != 0) {
        RaiseFileError(rc, FileOperation::kCreate, "MakeFileNameUnique");
      }
    }

    step = 4;
    locked = false;
    ReleaseLockKeepingResult(folder);
    return candidate;
  } catch (const std::exception& e) {
    failure = AsFileRoutineError(e, "MakeFileNameUnique");
  } catch (...) {
    failure = platform::Error(51, "MakeFileNameUnique", "Internal error");
  }
  try {
    return FallBackToGuidName(path, folder, step, *failure, locked);
  } catch (...) {
    return {};  // out of memory while composing the fallback
  }
}

// Where a file system answers a hard link with one of these, it has none
// (some SMB mounts, FAT) or the two names lie on different mounts.
bool HardLinkRefused(int rc) {
  return rc == EPERM || rc == EOPNOTSUPP || rc == ENOSYS || rc == EXDEV;
}

// The last name that this process published for each wanted name. In a
// folder where one name repeats (one file per document) the next free name
// lies just after it: walking the whole series from the wanted name for
// every file would cost n status calls for the n-th file.
struct SeriesEnd {
  std::string candidate;
  std::string extension;
};
std::mutex seriesMutex;
std::unordered_map<std::string, SeriesEnd>& SeriesEnds() {
  static std::unordered_map<std::string, SeriesEnd> ends;
  return ends;
}

// Publishes `source` (native path of a complete file in the folder of
// `wanted`) under the first free name of the series of `wanted`, while the
// folder lock is held. Raises on failure, leaving `source` where it was.
std::string PublishUnderLock(const std::string& source, const std::string& folder,
                             std::string_view wanted, std::string_view delimiter) {
  FileSystem& fs = CurrentFileSystem();
  const std::string key = std::string(wanted) + '\n' + std::string(delimiter);
  SeriesEnd known;
  {
    std::lock_guard<std::mutex> guard(seriesMutex);
    const auto it = SeriesEnds().find(key);
    if (it != SeriesEnds().end()) known = it->second;
  }

  std::string candidate(wanted);
  std::string extension;
  if (FileExists(candidate, kDeliverSource)) {
    // The wanted name is taken; when the last name this process took is
    // still there, the series is taken up to it.
    if (!known.candidate.empty() && known.candidate != candidate &&
        FileExists(known.candidate, kDeliverSource)) {
      candidate = known.candidate;
      extension = known.extension;
    }
    do {
      candidate = NextCandidate(candidate, delimiter, extension);
    } while (FileExists(candidate, kDeliverSource));
  }

  // Where hard links are refused, the file waits under a "pending" marker
  // that names (by hash) the placeholder it is about to fill, so that a
  // later release can remove a placeholder left empty by a killed process.
  // On a failure the file goes back to its own name.
  struct Marker {
    FileSystem& fs;
    const std::string& source;
    std::string path;
    ~Marker() {
      if (!path.empty() && fs.Rename(path, source) != 0) fs.Remove(path);
    }
  } marker{fs, source, {}};
  constexpr int kMostRaces = 1000;
  for (int race = 0;; ++race) {
    const std::string target = platform::ToNativePath(candidate);
    if (target.empty()) RaiseFileError(ENOENT, FileOperation::kCreate, kDeliverSource);
    int rc = marker.path.empty() ? fs.Link(source, target) : EPERM;
    // EEXIST over NFS may mean that the name is the source's own file. (The
    // source may have other names, such as the working file it was made
    // from, so its number of names tells nothing.)
    if (rc == EEXIST && fs.SameFile(source, target)) rc = 0;
    if (rc == 0) break;
    if (rc != EEXIST && !HardLinkRefused(rc)) {
      RaiseFileError(rc, FileOperation::kCreate, kDeliverSource);
    }
    if (rc != EEXIST) {
      std::string name;
      std::string ignored;
      SplitWanted(candidate, ignored, name);
      const std::string next = folder + OwnedFileName(kPendingKind, NameHash(name));
      const std::string nativeNext = platform::ToNativePath(next);
      rc = fs.Rename(marker.path.empty() ? source : marker.path, nativeNext);
      if (rc != 0) RaiseFileError(rc, FileOperation::kCreate, kDeliverSource);
      marker.path = nativeNext;
      rc = fs.CreateExclusive(target, kFileMode);
      if (rc == 0) {
        // The name is reserved; the placeholder is empty only until this
        // rename puts the whole file in its place.
        rc = fs.Rename(marker.path, target);
        if (rc != 0) {
          fs.Remove(target);
          RaiseFileError(rc, FileOperation::kCreate, kDeliverSource);
        }
        marker.path.clear();
        break;
      }
      if (rc != EEXIST) RaiseFileError(rc, FileOperation::kCreate, kDeliverSource);
    }
    // Someone without the lock (a stale lock taken over at the same moment)
    // took the name first: the next one.
    if (race == kMostRaces) RaiseFileError(EEXIST, FileOperation::kCreate, kDeliverSource);
    do {
      candidate = NextCandidate(candidate, delimiter, extension);
    } while (FileExists(candidate, kDeliverSource));
  }

  std::lock_guard<std::mutex> guard(seriesMutex);
  auto& ends = SeriesEnds();
  if (ends.size() > 4096) ends.clear();
  ends[key] = SeriesEnd{candidate, extension};
  return candidate;
}

// Publishes `source` (native, complete, in the folder of `wanted`) under a
// free name chosen under the folder lock; on a failure of the lock or the
// search, under the GUID-based fallback name, as MakeFileNameUnique would
// name it. The chosen name goes to *chosen as soon as it is known.
std::string PublishInFolder(const std::string& source, std::string_view wanted,
                            std::string_view delimiter, std::string* chosen) {
  FileSystem& fs = CurrentFileSystem();
  std::string folder;
  bool locked = false;
  int step = 1;
  std::optional<platform::Error> failure;
  try {
    std::string name;
    SplitWanted(wanted, folder, name);
    ObtainLock(folder);
    locked = true;
    // Leftovers of killed releases: with the lock held, no live process is
    // between reserving and filling a name.
    RemoveLeftoversOnce(folder, true);

    step = 2;
    const std::string published = PublishUnderLock(source, folder, wanted, delimiter);
    if (chosen != nullptr) *chosen = published;

    step = 4;
    locked = false;
    ReleaseLockKeepingResult(folder);
    return published;
  } catch (const std::exception& e) {
    failure = AsFileRoutineError(e, kDeliverSource);
  } catch (...) {
    failure = platform::Error(51, kDeliverSource, "Internal error");
  }

  const std::string guid = FallBackToGuidName(wanted, folder, step, *failure, locked);
  if (chosen != nullptr) *chosen = guid;
  const std::string target = platform::ToNativePath(guid);
  if (target.empty()) RaiseFileError(ENOENT, FileOperation::kCreate, kDeliverSource);
  int rc = fs.Link(source, target);
  // Without hard links: a GUID name is never anybody else's.
  if (HardLinkRefused(rc)) rc = fs.Rename(source, target);
  if (rc != 0) RaiseFileError(rc, FileOperation::kCreate, kDeliverSource);
  return guid;
}

}  // namespace

std::string MakeFileNameUnique(std::string_view path, std::string_view delimiter) {
  return UniqueName(path, delimiter, true);
}

std::string ChooseFileName(std::string_view path, std::string_view delimiter) {
  return UniqueName(path, delimiter, false);
}

bool VerifyDirectoryName(std::string_view path, bool offerToCreate) {
  if (path.empty() || platform::text::Mid(path, 2, 2) == ": ") return false;
  FileSystem& fs = CurrentFileSystem();
  std::string directory(path);

  bool missing = false;
  if (platform::IsUncPath(directory)) {
    if (!IsPathSeparator(directory.back())) directory.push_back('\\');
    const int rc = fs.CanEnterDirectory(platform::ToNativePath(directory));
    if (rc == 0) return true;
    // A directory that is not there on a share that is: the listing finds
    // nothing. Anything else (bad server or share, no access) fails.
    if (rc != ENOENT) return false;
    std::string share = directory;
    for (std::string up = ParentDirectory(share); !up.empty(); up = ParentDirectory(share)) {
      share = std::move(up);
    }
    if (!DirectoryExists(share)) return false;
    missing = true;
  } else {
    if (path.size() >= 2 && path[1] == ':') {
      // Drive path: the letter must have a mapping whose root is there, as
      // reading the drive's current directory would require.
      const std::optional<std::string> root = platform::DriveRoot(path[0]);
      quillon::FileStatus status;
      if (!root || fs.Status(*root, true, status) != 0 || !status.isDirectory) {
        platform::CurrentMessageBoxService().Show({"The drive letter is missing or bad.",
                                                   kProblemTitle, platform::MessageButtons::kOk,
                                                   platform::MessageIcon::kExclamation});
        return false;
      }
    }
    // Probing whether the directory could be entered, without entering it:
    // the process's current directory stays as it is.
    const int rc = fs.CanEnterDirectory(platform::ToNativePath(directory));
    if (rc == 0) return true;
    if (rc != ENOENT) return false;
    missing = true;
  }

  if (!missing || !offerToCreate) return false;
  const platform::MessageAnswer answer = platform::CurrentMessageBoxService().Show(
      {directory + "\r" + "The directory does not exist. Create it?", kProblemTitle,
       platform::MessageButtons::kYesNo, platform::MessageIcon::kQuestion});
  if (answer != platform::MessageAnswer::kYes) return false;
  return CreateDirectoryTree(directory);
}

void SetLockWaitPolicy(int attempts, int sleepMilliseconds) {
  WaitAttempts().store(attempts < 1 ? 1 : attempts);
  WaitSleep().store(sleepMilliseconds < 0 ? 0 : sleepMilliseconds);
}

LockWaitPolicy GetLockWaitPolicy() {
  LockWaitPolicy policy;
  policy.attempts = WaitAttempts().load();
  policy.sleepMilliseconds = WaitSleep().load();
  return policy;
}

void ResetLockWaitPolicy() {
  const LockWaitPolicy defaults;
  SetLockWaitPolicy(defaults.attempts, defaults.sleepMilliseconds);
}

std::string DeliverFile(std::string_view from, std::string_view wanted, std::string_view delimiter,
                        std::string* chosen) {
  FileSystem& fs = CurrentFileSystem();
  std::string folder;
  std::string name;
  SplitWanted(wanted, folder, name);
  const std::string nativeFrom = platform::ToNativePath(from);
  const std::string temporary = platform::ToNativePath(folder + OwnedFileName(kTemporaryKind));

  // The whole file, on disk, under a hidden name of this process first.
  if (const int rc = fs.CopyToNew(nativeFrom, temporary); rc != 0) {
    // The name it would have had, chosen as ever, for the report.
    if (chosen != nullptr) *chosen = ChooseFileName(wanted, delimiter);
    FileStatus status;
    const bool sourceMissing = fs.Status(nativeFrom, true, status) != 0;
    RaiseFileError(rc, sourceMissing ? FileOperation::kOpen : FileOperation::kCreate,
                   kDeliverSource);
  }
  try {
    const std::string published = PublishInFolder(temporary, wanted, delimiter, chosen);
    // The second name of the published file (where a link made it), or
    // nothing at all (where the file itself was renamed).
    fs.Remove(temporary);
    return published;
  } catch (...) {
    fs.Remove(temporary);
    throw;
  }
}

std::string KeepUnderFreeName(std::string_view file, std::string_view wanted,
                              std::string_view delimiter) {
  FileSystem& fs = CurrentFileSystem();
  const std::string native = platform::ToNativePath(file);
  const std::string kept = PublishInFolder(native, wanted, delimiter, nullptr);
  fs.Remove(native);
  return kept;
}

}  // namespace quillon
