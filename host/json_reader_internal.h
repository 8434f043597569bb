// Reading the stand-in host's JSON files strictly, so that every fault names
// its file, its place (a JSON pointer) and what is wrong. Used by the batch
// and batch-class loaders only; not part of the host interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace quillon::hostjson {

using Json = nlohmann::ordered_json;

// Files read whole (the batch class) larger than this are refused rather
// than read into memory. Batch files are read as a stream and have no limit.
inline constexpr std::uintmax_t kMaxFileBytes = 64u * 1024u * 1024u;

// Containers of a JSON text may nest at most this deep.
inline constexpr std::size_t kMaxJsonDepth = 64;

// Opens a file for reading after checking that it is a regular file (not a
// folder, device, pipe or socket; opening never blocks) and returns the
// descriptor (the caller closes it) with the file's size. HostFileError
// otherwise.
int OpenRegularFile(const std::string& path, std::uint64_t& size);

// The whole content of a regular file of at most kMaxFileBytes; HostFileError
// when it cannot be read.
std::string ReadTextFile(const std::string& path);

// Parses JSON text. A syntax error names its line and column; a key written
// twice in one object is an error too (the later one would silently win), and
// so is nesting deeper than kMaxJsonDepth (named by the pointer where it
// starts to be too deep).
Json Parse(std::string_view text, const std::string& file);

// `key` escaped as one JSON pointer token ("~" -> "~0", "/" -> "~1").
std::string Token(std::string_view key);

// JSON text of `value` for messages, shortened to a readable length.
std::string Show(const Json& value);

// Checks of one file's values; every failure throws HostFileError naming the
// file and the pointer given.
class Reader {
 public:
  explicit Reader(std::string file) : file_(std::move(file)) {}

  const std::string& File() const noexcept { return file_; }

  [[noreturn]] void Fail(const std::string& pointer, const std::string& problem) const;

  // `value` must be an object holding none but the `allowed` keys.
  void ExpectObject(const Json& value, const std::string& pointer,
                    std::initializer_list<std::string_view> allowed) const;
  // `value` (at `pointer`) must be an object; any keys.
  void ExpectAnyObject(const Json& value, const std::string& pointer) const;
  void ExpectArray(const Json& value, const std::string& pointer) const;

  // The member `key` of the object at `pointer`; a missing key fails.
  const Json& Member(const Json& object, const std::string& pointer, std::string_view key) const;

  // Member values of a given kind.
  std::string Text(const Json& object, const std::string& pointer, std::string_view key,
                   bool allowEmpty = true) const;
  std::int32_t Int32(const Json& object, const std::string& pointer, std::string_view key) const;

  // Checks of single values (the value itself sits at `pointer`).
  std::string TextValue(const Json& value, const std::string& pointer,
                        bool allowEmpty = true) const;
  std::int32_t Int32Value(const Json& value, const std::string& pointer) const;

 private:
  std::string file_;
};

}  // namespace quillon::hostjson
