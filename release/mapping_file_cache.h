// MappingFileCache: parsed mapping-class files kept between documents.
//
// Administrators edit mapping files while batches are being released and
// expect the next document to use the edited file. The cache therefore checks
// the file with stat() before every use and reads it again when its identity
// (device, inode), size or modification time (with nanoseconds) changed. A
// file that cannot be loaded is never cached: the next use tries again.
//
// The stat is taken before the file is read, so a change made while it is
// being read shows up as a different identity at the next use and the file is
// read once more. File times are coarse (a kernel tick), so a file modified
// within the last two seconds is not kept at all: two same-size edits within
// one tick would otherwise look alike.
//
// Within a document (BeginDocument ... EndDocument) a cached file on a local
// file system is not stat()ed at every use: the kernel reports changes to
// the file and to every folder on its path (inotify), and BeginDocument
// looks once for such reports; any report sends the files back to the stat()
// check. Files on network file systems (whose changes made elsewhere are not
// reported), paths through symbolic links, and uses outside a document are
// checked with stat() as above.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "mapping/conditional_mappings.h"
#include "quillon_export.h"

namespace quillon {

// What identifies one version of a file on disk.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t mtimeSeconds = 0;
  std::int64_t mtimeNanoseconds = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of a native path; false when stat() fails.
QUILLON_API bool StampOf(const std::string& nativePath, FileStamp& stamp);

class QUILLON_API MappingFileCache {
 public:
  MappingFileCache();
  ~MappingFileCache();
  MappingFileCache(const MappingFileCache&) = delete;
  MappingFileCache& operator=(const MappingFileCache&) = delete;

  // The mapping classes of `path` (a Windows-form path as the mappings
  // directory gives it), loaded with ConditionalMappings::LoadFromXMLFile.
  // Load failures pass to the caller unchanged.
  std::shared_ptr<const marrow::ConditionalMappings> Load(std::string_view path);

  // Brackets the loads of one document: BeginDocument collects the change
  // reports that arrived since the last document.
  void BeginDocument();
  void EndDocument() noexcept { inDocument_ = false; }

  void Clear() noexcept { entries_.clear(); }
  // How many times a file was actually read (for tests and benchmarks).
  std::int64_t Reads() const noexcept { return reads_; }
  // How many times a file was stat()ed (for tests).
  std::int64_t Stamps() const noexcept { return stamps_; }

 private:
  class ChangeReports;
  struct Entry {
    FileStamp stamp;
    std::shared_ptr<const marrow::ConditionalMappings> mappings;
    bool reported = false;  // changes to it are reported: no stat() needed
  };
  std::unordered_map<std::string, Entry> entries_;
  std::unique_ptr<ChangeReports> reports_;
  std::unordered_set<std::string> unwatched_;  // files whose changes go unreported
  bool inDocument_ = false;
  std::int64_t reads_ = 0;
  std::int64_t stamps_ = 0;
};

}  // namespace quillon
