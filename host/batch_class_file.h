// The batch-class file of the stand-in host: what the capture host knows
// about a batch class (its connector settings, fields, host variables and
// links), kept as JSON.
//
//   {
//     "name": "Professional Claims",
//     "customProperties": { "Mappings Directory": "/srv/mappings", ... },
//     "indexFields": ["Patient Name", "Total Charge"],
//     "batchFields": ["Payer ID"],
//     "hostVariables": ["Batch ID", "Release Date", ...],
//     "links": [ { "destination": "Patient Name", "sourceType": 0,
//                  "source": "Patient Name" }, ... ]
//   }
//
// The directories among the custom properties ("Mappings Directory",
// "Logging Directory", "Working Directory") may be relative: to the folder of
// the batch-class file, as "batchClass" in a batch file is relative to the
// batch file's folder. The file keeps them as written; the release side reads
// them resolved (ResolvedCustomProperties), and the setup side writes the
// ones it changes back relative to that folder.
//
// Every key is required and no other key is allowed. Custom properties keep
// the order written. Names of custom properties, fields and host variables
// ignore letter case (ASCII and Latin-1), so two that differ only in case are
// an error. A link's sourceType is 0 (index field), 2 (host variable) or 3
// (batch field); its destination and source must not be empty.
//
// Invalid input raises HostFileError naming the file, the JSON pointer of the
// fault and the problem.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/host_setup_data.h"
#include "quillon_export.h"

namespace quillon {

struct BatchClassDefinition {
  std::string Name;
  std::vector<HostCustomProperty> CustomProperties;
  std::vector<std::string> IndexFields;
  std::vector<std::string> BatchFields;
  std::vector<std::string> HostVariables;
  std::vector<HostLink> Links;
};

// `file` is only used in error messages.
QUILLON_API BatchClassDefinition ParseBatchClass(std::string_view json, const std::string& file);
QUILLON_API BatchClassDefinition LoadBatchClassFile(const std::string& path);

// Whether a custom property names a directory (letter case ignored).
QUILLON_API bool IsDirectoryProperty(std::string_view name);
// A directory of a batch-class file as the file system reaches it: a relative
// one (no root, no drive, no share) joined to the folder of `batchClassFile`
// and made native; an absolute one unchanged; an empty one stays empty.
QUILLON_API std::string ResolveBatchClassDirectory(const std::string& batchClassFile,
                                                   const std::string& directory);
// The other way, for a directory that the setup side names as seen from the
// current folder: a relative one is written relative to the folder of
// `batchClassFile`; an absolute or empty one stays as it is.
QUILLON_API std::string BatchClassRelativeDirectory(const std::string& batchClassFile,
                                                    const std::string& directory);
// The custom properties with every directory resolved as above.
QUILLON_API std::vector<HostCustomProperty> ResolvedCustomProperties(
    const BatchClassDefinition& batchClass, const std::string& batchClassFile);

// The JSON text of a batch class, in the layout above (2-space indent).
QUILLON_API std::string BatchClassToJson(const BatchClassDefinition& batchClass);
// Replaces the file through a temporary file in the same folder, flushed to
// disk and renamed over it (platform::ReplaceFileContents), so a reader never
// sees half a file and a failed write leaves the old file as it was. Raises
// HostFileError on failure.
QUILLON_API void SaveBatchClassFile(const std::string& path,
                                    const BatchClassDefinition& batchClass);

}  // namespace quillon
