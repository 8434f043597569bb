// The interchange control number of a batch class: a counter kept in a small
// file beside the batch-class file ("<batch class without extension>.icn",
// holding the last number handed out as decimal text).
//
// Every released batch reserves the next number once. Reserve takes an
// exclusive lock on the counter file (flock) around read, increment, write and
// fsync, so that several processes releasing batches of the same class at the
// same time each get a number of their own and no number is lost or given
// twice. Peek shows the number the next Reserve would give without taking it;
// another process may take it first.
//
// Numbers have at most nine digits, as ISA13 allows: after 999999999 the
// counter starts again at 1 (under the same lock), and a stored number beyond
// that range (written by hand, or by an older version) is followed by 1.
//
// A counter file that cannot be opened, locked, read or written, or that holds
// anything but a decimal number, raises HostFileError naming the file.
#pragma once

#include <cstdint>
#include <string>

#include "quillon_export.h"

namespace quillon {

class QUILLON_API InterchangeCounter {
 public:
  explicit InterchangeCounter(std::string path) : path_(std::move(path)) {}

  // The counter file that belongs to a batch-class file.
  static std::string PathFor(const std::string& batchClassFile);

  const std::string& Path() const noexcept { return path_; }

  static constexpr std::int64_t kLargest = 999999999;
  // The number that follows `last`: last + 1, or 1 after kLargest.
  static std::int64_t Next(std::int64_t last) noexcept;

  // The next number (1 when the file does not exist yet), not reserved.
  std::int64_t Peek() const;
  // Takes the next number; it is stored before it is returned.
  std::int64_t Reserve();

 private:
  std::string path_;
};

}  // namespace quillon
