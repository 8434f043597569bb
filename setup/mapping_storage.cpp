#include "setup/mapping_storage.h"

#include <sys/stat.h>

#include "mapping/conditional_mappings.h"
#include "platform/error.h"
#include "platform/file_replace.h"
#include "platform/native_path.h"

namespace quillon {

std::string_view MappingFileName(MappingLevel level) noexcept {
  switch (level) {
    case MappingLevel::kField:
      return "FieldMappings.xml";
    case MappingLevel::kOutput:
      return "FeedOutputMappings.xml";
    case MappingLevel::kData:
      break;
  }
  return "DataMappings.xml";
}

std::string MappingFilePath(std::string_view directory, MappingLevel level) {
  std::string path(directory);
  path.push_back('\\');
  path.append(MappingFileName(level));
  return path;
}

bool MappingFileExists(std::string_view path) {
  const std::string native = platform::ToNativePath(path);
  struct stat st {};
  return !native.empty() && ::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool MappingFilesExist(std::string_view directory) {
  for (MappingLevel level : kMappingLevels) {
    if (!MappingFileExists(MappingFilePath(directory, level))) return false;
  }
  return true;
}

bool IsFileWritable(std::string_view path) {
  return !platform::IsReadOnlyFile(platform::ToNativePath(path));
}

MappingFileState InspectMappingFile(std::string_view path) {
  MappingFileState state;
  if (!MappingFileExists(path)) return state;
  marrow::ConditionalMappings mappings;
  try {
    mappings.LoadFromXMLFile(path);
    state.kind = MappingFileState::Kind::kLoaded;
    state.classes = mappings.Count();
  } catch (const platform::Error& e) {
    state.kind = MappingFileState::Kind::kInvalid;
    state.errorNumber = e.Number();
    state.description = e.Description();
    state.line = mappings.LastLoadErrorLine();
  }
  return state;
}

}  // namespace quillon
