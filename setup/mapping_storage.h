// The three mapping-class files of a mappings directory, as the setup side
// stores them. A file's path is the directory text as typed followed by
// "\" and the file name, so "C:\maps" and "C:\maps\" name the same files
// ("C:\maps\\DataMappings.xml" is the same file to every file routine).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "quillon_export.h"

namespace quillon {

// The levels in the order the dialog loads and saves them: data translation,
// field mappings, output data.
enum class MappingLevel { kData = 0, kField = 1, kOutput = 2 };
inline constexpr std::array<MappingLevel, 3> kMappingLevels = {
    MappingLevel::kData, MappingLevel::kField, MappingLevel::kOutput};

// "DataMappings.xml", "FieldMappings.xml", "FeedOutputMappings.xml".
QUILLON_API std::string_view MappingFileName(MappingLevel level) noexcept;
// directory + "\" + MappingFileName(level).
QUILLON_API std::string MappingFilePath(std::string_view directory, MappingLevel level);

// What a file that does not exist loads as.
inline constexpr std::string_view kEmptyMappingDocument = "<FieldMappings/>";

// True when a file exists at the path (a directory does not count).
QUILLON_API bool MappingFileExists(std::string_view path);
// True when all three files of the directory exist.
QUILLON_API bool MappingFilesExist(std::string_view directory);
// True unless the file is read-only (no write permission, or the process
// may not write it; platform::IsReadOnlyFile). A missing file counts as
// writable: the save creates it.
QUILLON_API bool IsFileWritable(std::string_view path);

// What a mapping file holds, for reports such as `quillon setup`.
struct MappingFileState {
  enum class Kind { kLoaded, kMissing, kInvalid };
  Kind kind = Kind::kMissing;
  std::int32_t classes = 0;  // kLoaded: the number of mapping classes
  // kInvalid: the load failure's number, description and line (0 unknown).
  std::int32_t errorNumber = 0;
  std::string description;
  std::int32_t line = 0;
};
QUILLON_API MappingFileState InspectMappingFile(std::string_view path);

}  // namespace quillon
