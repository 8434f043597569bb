#include "host/json_reader_internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <unordered_set>
#include <vector>

#include "host/host_file_error.h"

namespace quillon::hostjson {

namespace {

const char* KindName(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::object:
      return "an object";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::string:
      return "text";
    case Json::value_t::boolean:
      return "true/false";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
      return "a whole number";
    case Json::value_t::number_float:
      return "a number with a fraction";
    default:
      return "something else";
  }
}

// Tracks where the parser is while it reads, so that a duplicate key can be
// reported with its JSON pointer.
class KeyTracker {
 public:
  bool Event(nlohmann::detail::parse_event_t event, const Json& parsed) {
    using E = nlohmann::detail::parse_event_t;
    switch (event) {
      case E::object_start:
      case E::array_start:
        NextInArray();
        if (frames_.size() >= kMaxJsonDepth) {
          tooDeepPointer_ = Pointer();
          // Stops the parser before it goes deeper.
          throw TooDeep{};
        }
        frames_.push_back(Frame{event == E::array_start, -1, {}, {}});
        break;
      case E::object_end:
      case E::array_end:
        if (!frames_.empty()) frames_.pop_back();
        break;
      case E::key: {
        Frame& top = frames_.back();
        top.key = parsed.get<std::string>();
        if (!top.keys.insert(top.key).second) {
          duplicatePointer_ = Pointer();
          duplicateKey_ = top.key;
          // Stops the parser; Parse turns this into the message.
          throw DuplicateKey{};
        }
        break;
      }
      case E::value:
        NextInArray();
        break;
    }
    return true;
  }

  struct DuplicateKey {};
  struct TooDeep {};
  const std::string& DuplicatePointer() const { return duplicatePointer_; }
  const std::string& TooDeepPointer() const { return tooDeepPointer_; }
  const std::string& DuplicateKeyName() const { return duplicateKey_; }

 private:
  struct Frame {
    bool isArray;
    long index;
    std::string key;
    std::unordered_set<std::string> keys;
  };

  void NextInArray() {
    if (!frames_.empty() && frames_.back().isArray) ++frames_.back().index;
  }

  std::string Pointer() const {
    std::string p;
    for (const Frame& f : frames_) {
      p.push_back('/');
      p.append(f.isArray ? std::to_string(f.index) : Token(f.key));
    }
    return p;
  }

  std::vector<Frame> frames_;
  std::string duplicatePointer_;
  std::string duplicateKey_;
  std::string tooDeepPointer_;
};

std::string WithoutExceptionPrefix(const std::string& what) {
  // nlohmann messages start with "[json.exception.parse_error.101] ".
  if (!what.empty() && what.front() == '[') {
    const std::size_t close = what.find("] ");
    if (close != std::string::npos) return what.substr(close + 2);
  }
  return what;
}

}  // namespace

int OpenRegularFile(const std::string& path, std::uint64_t& size) {
  const auto refuse = [&](const struct stat& info) {
    if (S_ISDIR(info.st_mode)) throw HostFileError(path, "", "is a folder, not a file");
    if (!S_ISREG(info.st_mode)) {
      throw HostFileError(path, "", "is not a regular file (a device, a pipe or a socket)");
    }
  };
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      throw HostFileError(path, "", "the file does not exist or cannot be reached");
    }
    throw HostFileError(path, "", std::string("cannot be read (") + std::strerror(errno) + ")");
  }
  // Refused before it is opened: opening a device can have effects of its own.
  refuse(info);
  // Non-blocking, so that a pipe put in the file's place meanwhile cannot
  // hold the open; checked again on what was opened.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    throw HostFileError(path, "", std::string("cannot be read (") + std::strerror(errno) + ")");
  }
  if (::fstat(fd, &info) != 0) {
    const int code = errno;
    ::close(fd);
    throw HostFileError(path, "", std::string("cannot be read (") + std::strerror(code) + ")");
  }
  try {
    refuse(info);
  } catch (...) {
    ::close(fd);
    throw;
  }
  size = static_cast<std::uint64_t>(info.st_size);
  return fd;
}

std::string ReadTextFile(const std::string& path) {
  std::uint64_t size = 0;
  const int fd = OpenRegularFile(path, size);
  std::string text;
  try {
    if (size > kMaxFileBytes) throw HostFileError(path, "", "the file is larger than 64 MiB");
    // Read up to one byte beyond the limit: the file may have grown.
    text.resize(static_cast<std::size_t>(size) + 1);
    std::size_t done = 0;
    for (;;) {
      if (done == text.size()) {
        if (text.size() > kMaxFileBytes) {
          throw HostFileError(path, "", "the file is larger than 64 MiB");
        }
        text.resize(std::min<std::size_t>(text.size() * 2, kMaxFileBytes + 1));
      }
      const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
      if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        throw HostFileError(path, "",
                            std::string("reading the file failed (") + std::strerror(errno) + ")");
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    text.resize(done);
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  return text;
}

Json Parse(std::string_view text, const std::string& file) {
  KeyTracker tracker;
  try {
    return Json::parse(
        text.begin(), text.end(),
        [&tracker](int, nlohmann::detail::parse_event_t event, Json& parsed) {
          return tracker.Event(event, parsed);
        },
        true);
  } catch (const KeyTracker::TooDeep&) {
    throw HostFileError(file, tracker.TooDeepPointer(),
                        "nested deeper than " + std::to_string(kMaxJsonDepth) + " levels");
  } catch (const KeyTracker::DuplicateKey&) {
    throw HostFileError(file, tracker.DuplicatePointer(),
                        "the key \"" + tracker.DuplicateKeyName() + "\" is written twice");
  } catch (const nlohmann::json::exception& e) {
    // Mostly parse_error; a number too large for a double (1e999) comes as
    // out_of_range.
    throw HostFileError(file, "", "not valid JSON: " + WithoutExceptionPrefix(e.what()));
  }
}

std::string Token(std::string_view key) {
  std::string out;
  out.reserve(key.size());
  for (char c : key) {
    if (c == '~') {
      out += "~0";
    } else if (c == '/') {
      out += "~1";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string Show(const Json& value) {
  std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
  if (text.size() > 60) text = text.substr(0, 57) + "...";
  return text;
}

void Reader::Fail(const std::string& pointer, const std::string& problem) const {
  throw HostFileError(file_, pointer.empty() ? "/" : pointer, problem);
}

void Reader::ExpectAnyObject(const Json& value, const std::string& pointer) const {
  if (!value.is_object()) {
    Fail(pointer, std::string("must be an object, not ") + KindName(value));
  }
}

void Reader::ExpectObject(const Json& value, const std::string& pointer,
                          std::initializer_list<std::string_view> allowed) const {
  ExpectAnyObject(value, pointer);
  for (const auto& [key, member] : value.items()) {
    bool known = false;
    for (std::string_view a : allowed) known = known || a == key;
    if (!known) {
      std::string list;
      for (std::string_view a : allowed) {
        if (!list.empty()) list += ", ";
        list.append("\"").append(a).append("\"");
      }
      Fail(pointer + "/" + Token(key), "unknown key \"" + key + "\" (expected " + list + ")");
    }
  }
}

void Reader::ExpectArray(const Json& value, const std::string& pointer) const {
  if (!value.is_array()) Fail(pointer, std::string("must be an array, not ") + KindName(value));
}

const Json& Reader::Member(const Json& object, const std::string& pointer,
                           std::string_view key) const {
  const auto it = object.find(std::string(key));
  if (it == object.end()) Fail(pointer, "the key \"" + std::string(key) + "\" is missing");
  return *it;
}

std::string Reader::TextValue(const Json& value, const std::string& pointer,
                              bool allowEmpty) const {
  if (!value.is_string()) Fail(pointer, std::string("must be text, not ") + KindName(value));
  std::string text = value.get<std::string>();
  if (!allowEmpty && text.empty()) Fail(pointer, "must not be empty");
  return text;
}

std::int32_t Reader::Int32Value(const Json& value, const std::string& pointer) const {
  if (!value.is_number_integer()) {
    Fail(pointer, std::string("must be a whole number, not ") + KindName(value));
  }
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  const bool inRange = value.is_number_unsigned()
                           ? value.get<std::uint64_t>() <= static_cast<std::uint64_t>(kMax)
                           : value.get<std::int64_t>() >= kMin && value.get<std::int64_t>() <= kMax;
  if (!inRange) {
    Fail(pointer, "the number " + Show(value) + " is outside -2147483648..2147483647");
  }
  return static_cast<std::int32_t>(value.get<std::int64_t>());
}

std::string Reader::Text(const Json& object, const std::string& pointer, std::string_view key,
                         bool allowEmpty) const {
  return TextValue(Member(object, pointer, key), pointer + "/" + Token(key), allowEmpty);
}

std::int32_t Reader::Int32(const Json& object, const std::string& pointer,
                           std::string_view key) const {
  return Int32Value(Member(object, pointer, key), pointer + "/" + Token(key));
}

}  // namespace quillon::hostjson
