// Files that a release process keeps for itself while it works: the working
// file of an output file, the temporary copy in the output folder that is
// published under the final name once it is complete, and the marker of a
// name being reserved on a file system without hard links. Their names say
// whose they are:
//
//   .quillon-<machine>-<pid>-<start token>-<n>[-<label>].<kind>
//
// machine = platform::MachineTag(), pid and start token of the process
// (platform::ProcessStartToken), n a counter of the process, label a hint for
// people (the wanted file name, shortened) or, for kind "pending", the
// NameHash of the name being reserved; kind is "work", "tmp", "pending",
// "probe" (the empty file of a write check) or "seed" (the empty file whose
// second name is the folder lock while the process holds it).
// The leading dot hides them from pick-up jobs that skip hidden files, and
// no kind is an extension that a receiver would take for a claim file.
//
// A process that is killed leaves such files behind. The next release into
// the folder recognises them by name and removes them once their owner has
// ended (RemoveLeftovers). Files of another machine are never touched: a
// process id means nothing across machines.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillon_export.h"

namespace quillon {

inline constexpr std::string_view kWorkingKind = "work";
inline constexpr std::string_view kTemporaryKind = "tmp";
inline constexpr std::string_view kPendingKind = "pending";
inline constexpr std::string_view kProbeKind = "probe";
inline constexpr std::string_view kLockSeedKind = "seed";

// A new name (file name only, no folder) of this process.
QUILLON_API std::string OwnedFileName(std::string_view kind, std::string_view label = {});

struct OwnedFile {
  std::string machine;
  std::int32_t pid = 0;
  std::string startToken;
  std::string label;
  std::string kind;
};

// The parts of an owned file name; nothing for any other name.
QUILLON_API std::optional<OwnedFile> ParseOwnedFileName(std::string_view name);

// True when the owner of the file is this very process.
QUILLON_API bool IsOwnFile(const OwnedFile& file);

// 16 upper-case hex digits of a file name (the label of a "pending" marker).
QUILLON_API std::string NameHash(std::string_view fileName);

// Removes the leftovers of ended processes of this machine from `folder`
// (Windows-form or native path): working, temporary and probe files, and, when
// `lockHeld` (the caller holds the folder lock, so no live process is
// between reserving and filling a name), each "pending" marker together
// with the empty file it reserved. Every removal is logged (level 0). Returns
// the paths removed.
QUILLON_API std::vector<std::string> RemoveLeftovers(std::string_view folder, bool lockHeld);

// RemoveLeftovers at most once per folder within `interval` in this process
// (a release into a folder lists it once, not for every file it writes).
QUILLON_API void RemoveLeftoversOnce(std::string_view folder, bool lockHeld,
                                     std::chrono::seconds interval = std::chrono::minutes(10));
// Forgets which folders were cleaned (tests).
QUILLON_API void ForgetCleanedFolders();

}  // namespace quillon
