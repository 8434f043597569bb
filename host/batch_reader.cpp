#include "host/batch_reader.h"

#include <unistd.h>

#include <charconv>
#include <limits>
#include <vector>

#include "host/host_file_error.h"
#include "host/json_pull_reader_internal.h"
#include "host/json_reader_internal.h"

namespace quillon {

using hostjson::JsonEvent;
using hostjson::JsonPullReader;

namespace {

constexpr std::string_view kRootKeys[] = {"batchClass",  "name",        "id",       "description",
                                          "classNumber", "batchFields", "documents"};
constexpr unsigned kDocumentsBit = 1u << 6;
constexpr unsigned kHeaderBits = kDocumentsBit - 1;
constexpr std::string_view kDocumentKeys[] = {"id", "className", "classId", "indexFields"};

template <std::size_t N>
int KeyIndex(const std::string_view (&keys)[N], std::string_view key) {
  for (std::size_t i = 0; i < N; ++i) {
    if (keys[i] == key) return static_cast<int>(i);
  }
  return -1;
}

template <std::size_t N>
std::string KeyList(const std::string_view (&keys)[N]) {
  std::string list;
  for (std::string_view key : keys) {
    if (!list.empty()) list += ", ";
    list.append("\"").append(key).append("\"");
  }
  return list;
}

std::string Shortened(std::string text) {
  if (text.size() > 60) text = text.substr(0, 57) + "...";
  return text;
}

// Document ids seen so far with the position of their document: open
// addressing over (id, position + 1) pairs, 8 bytes a slot, at most half full.
class DocumentIds {
 public:
  // Adds `id` at `position`; when it is there already, returns false and
  // sets `earlier` to the position it was first seen at.
  bool Insert(std::int32_t id, std::int64_t position, std::int64_t& earlier) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    const std::uint32_t key = static_cast<std::uint32_t>(id);
    for (std::size_t slot = Slot(key);; slot = (slot + 1) & (slots_.size() - 1)) {
      const std::uint64_t entry = slots_[slot];
      if (entry == 0) {
        slots_[slot] =
            (static_cast<std::uint64_t>(key) << 32) | static_cast<std::uint32_t>(position + 1);
        ++count_;
        return true;
      }
      if (static_cast<std::uint32_t>(entry >> 32) == key) {
        earlier = static_cast<std::int64_t>(static_cast<std::uint32_t>(entry)) - 1;
        return false;
      }
    }
  }

 private:
  std::size_t Slot(std::uint32_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & (slots_.size() - 1);
  }
  void Grow() {
    std::vector<std::uint64_t> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
    for (std::uint64_t entry : old) {
      if (entry == 0) continue;
      std::size_t slot = Slot(static_cast<std::uint32_t>(entry >> 32));
      while (slots_[slot] != 0) slot = (slot + 1) & (slots_.size() - 1);
      slots_[slot] = entry;
    }
  }

  std::vector<std::uint64_t> slots_;
  std::size_t count_ = 0;
};

}  // namespace

struct BatchReader::Impl {
  std::string file;
  int fd = -1;
  std::string_view text;  // a text in memory (fd < 0)
  std::uint64_t size = 0;
  std::unique_ptr<JsonPullReader> reader;
  BatchDefinition batch;
  unsigned seen = 0;  // bit i: kRootKeys[i] was read by `reader`
  bool finished = false;
  std::int64_t index = 0;  // of the next document
  DocumentIds ids;
  std::string name;  // a field name being read

  ~Impl() {
    if (fd >= 0) ::close(fd);
  }

  std::unique_ptr<JsonPullReader> NewReader() const {
    return fd >= 0 ? std::make_unique<JsonPullReader>(fd, file)
                   : std::make_unique<JsonPullReader>(text, file);
  }

  [[noreturn]] void Fail(const std::string& pointer, const std::string& problem) const {
    throw HostFileError(file, pointer.empty() ? "/" : pointer, problem);
  }

  std::string DocumentPointer() const { return "/documents/" + std::to_string(index); }

  static std::string KindName(JsonEvent event, const JsonPullReader& r) {
    switch (event) {
      case JsonEvent::kObjectStart:
        return "an object";
      case JsonEvent::kArrayStart:
        return "an array";
      case JsonEvent::kString:
        return "text";
      case JsonEvent::kTrue:
      case JsonEvent::kFalse:
        return "true/false";
      case JsonEvent::kNull:
        return "null";
      case JsonEvent::kNumber:
        return r.NumberIsInteger() ? "a whole number" : "a number with a fraction";
      default:
        return "something else";
    }
  }

  // The values below read the next event of `r`; `pointer()` gives the
  // place of the value, made only for a message.
  template <typename Pointer>
  void Text(JsonPullReader& r, const Pointer& pointer, bool allowEmpty, std::string& out) const {
    const JsonEvent event = r.Next();
    if (event != JsonEvent::kString) Fail(pointer(), "must be text, not " + KindName(event, r));
    if (!allowEmpty && r.Text().empty()) Fail(pointer(), "must not be empty");
    out.assign(r.Text());
  }

  template <typename Pointer>
  std::int32_t Int32(JsonPullReader& r, const Pointer& pointer) const {
    const JsonEvent event = r.Next();
    if (event != JsonEvent::kNumber || !r.NumberIsInteger()) {
      Fail(pointer(), "must be a whole number, not " + KindName(event, r));
    }
    const std::string& digits = r.Text();
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() ||
        value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
      Fail(pointer(), "the number " + Shortened(digits) + " is outside -2147483648..2147483647");
    }
    return static_cast<std::int32_t>(value);
  }

  // An object of name -> text: fields of the batch or of a document.
  template <typename Pointer>
  void Fields(JsonPullReader& r, const Pointer& pointer, tessel::NameValueList& fields) {
    const JsonEvent event = r.Next();
    if (event != JsonEvent::kObjectStart) {
      Fail(pointer(), "must be an object, not " + KindName(event, r));
    }
    while (r.Next() != JsonEvent::kObjectEnd) {
      name.assign(r.Text());
      const auto at = [&] { return pointer() + "/" + hostjson::Token(name); };
      if (name.empty()) Fail(at(), "a field needs a name");
      const JsonEvent value = r.Next();
      if (value != JsonEvent::kString) Fail(at(), "must be text, not " + KindName(value, r));
      const auto [entry, added] = fields.Insert(name, r.Text());
      if (!added) {
        if (entry->Name() == name) Fail(at(), "the key \"" + name + "\" is written twice");
        Fail(at(), "the field \"" + name + "\" is given twice (names ignore letter case)");
      }
    }
  }

  // Reads members of the batch object into `into` (bits of the keys read in
  // `keys`) until the array of documents opens (true; with
  // `skipDocuments` it is read over instead) or the object ends (false).
  bool RootMembers(JsonPullReader& r, BatchDefinition& into, unsigned& keys, bool skipDocuments) {
    for (;;) {
      if (r.Next() == JsonEvent::kObjectEnd) return false;
      const std::string key = r.Text();
      const std::string at = "/" + hostjson::Token(key);
      const int k = KeyIndex(kRootKeys, key);
      if (k < 0) Fail(at, "unknown key \"" + key + "\" (expected " + KeyList(kRootKeys) + ")");
      if ((keys & (1u << k)) != 0) Fail(at, "the key \"" + key + "\" is written twice");
      keys |= 1u << k;
      const auto pointer = [&] { return at; };
      switch (k) {
        case 0:
          Text(r, pointer, false, into.BatchClass);
          break;
        case 1:
          Text(r, pointer, true, into.Name);
          break;
        case 2:
          Text(r, pointer, true, into.Id);
          break;
        case 3:
          Text(r, pointer, true, into.Description);
          break;
        case 4:
          into.ClassNumber = Int32(r, pointer);
          break;
        case 5:
          into.BatchFields.Clear();
          Fields(r, pointer, into.BatchFields);
          break;
        default: {
          const JsonEvent event = r.Next();
          if (event != JsonEvent::kArrayStart) {
            Fail(at, "must be an array, not " + KindName(event, r));
          }
          if (!skipDocuments) return true;
          r.SkipValue(event);
          break;
        }
      }
    }
  }

  // The first key of the batch object that `keys` lacks is an error.
  void CheckComplete(unsigned keys) const {
    for (int k = 0; k < 7; ++k) {
      if ((keys & (1u << k)) == 0) {
        Fail("", "the key \"" + std::string(kRootKeys[k]) + "\" is missing");
      }
    }
  }

  void Begin() {
    reader = NewReader();
    const JsonEvent first = reader->Next();
    if (first != JsonEvent::kObjectStart) {
      Fail("", "must be an object, not " + KindName(first, *reader));
    }
    if (!RootMembers(*reader, batch, seen, false)) {
      CheckComplete(seen);  // "documents" at least is missing
    }
    if ((seen & kHeaderBits) == kHeaderBits) return;
    // Some of the batch's own keys come after the documents: read the whole
    // file once ahead for them.
    std::unique_ptr<JsonPullReader> ahead = NewReader();
    ahead->Next();
    unsigned keys = 0;
    BatchDefinition whole;
    RootMembers(*ahead, whole, keys, true);
    CheckComplete(keys);
    ahead->Next();  // the end of the text
    batch = std::move(whole);
  }

  bool NextDocument(BatchDocument& document) {
    if (finished) return false;
    const JsonEvent event = reader->Next();
    if (event == JsonEvent::kArrayEnd) {
      BatchDefinition rest;
      RootMembers(*reader, rest, seen, false);  // a second "documents" fails
      CheckComplete(seen);
      reader->Next();  // the end of the text
      finished = true;
      return false;
    }
    if (event != JsonEvent::kObjectStart) {
      Fail(DocumentPointer(), "must be an object, not " + KindName(event, *reader));
    }
    unsigned keys = 0;
    document.IndexFields.Clear();
    JsonPullReader& r = *reader;
    while (r.Next() != JsonEvent::kObjectEnd) {
      const int k = KeyIndex(kDocumentKeys, r.Text());
      if (k < 0) {
        Fail(DocumentPointer() + "/" + hostjson::Token(r.Text()),
             "unknown key \"" + r.Text() + "\" (expected " + KeyList(kDocumentKeys) + ")");
      }
      const auto at = [&] { return DocumentPointer() + "/" + std::string(kDocumentKeys[k]); };
      if ((keys & (1u << k)) != 0) {
        Fail(at(), "the key \"" + std::string(kDocumentKeys[k]) + "\" is written twice");
      }
      keys |= 1u << k;
      switch (k) {
        case 0: {
          document.Id = Int32(r, at);
          std::int64_t earlier = 0;
          if (!ids.Insert(document.Id, index, earlier)) {
            Fail(at(), "duplicate document id " + std::to_string(document.Id) +
                           " (also /documents/" + std::to_string(earlier) + "/id)");
          }
          break;
        }
        case 1:
          Text(r, at, true, document.ClassName);
          break;
        case 2:
          document.ClassId = Int32(r, at);
          break;
        default:
          Fields(r, at, document.IndexFields);
          break;
      }
    }
    for (int k = 0; k < 4; ++k) {
      if ((keys & (1u << k)) == 0) {
        Fail(DocumentPointer(), "the key \"" + std::string(kDocumentKeys[k]) + "\" is missing");
      }
    }
    ++index;
    return true;
  }
};

BatchReader::BatchReader(const std::string& path) : impl_(std::make_unique<Impl>()) {
  impl_->file = path;
  impl_->fd = hostjson::OpenRegularFile(path, impl_->size);
  impl_->Begin();
}

BatchReader::BatchReader(std::string_view text, std::string file)
    : impl_(std::make_unique<Impl>()) {
  impl_->file = std::move(file);
  impl_->text = text;
  impl_->size = text.size();
  impl_->Begin();
}

BatchReader::~BatchReader() = default;

const BatchDefinition& BatchReader::Batch() const noexcept {
  return impl_->batch;
}

bool BatchReader::Next(BatchDocument& document) {
  return impl_->NextDocument(document);
}

std::int64_t BatchReader::DocumentsRead() const noexcept {
  return impl_->index;
}

std::uint64_t BatchReader::BytesRead() const noexcept {
  return impl_->reader ? impl_->reader->Offset() : 0;
}

std::uint64_t BatchReader::Size() const noexcept {
  return impl_->size;
}

}  // namespace quillon
