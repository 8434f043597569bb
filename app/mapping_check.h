// Checking mapping sets for the `check` and `release --check` commands: the
// linter of the mapping library (mapping/mapping_lint.h) over the files, the
// engine's own load of each file, and, given a batch class, the fields that
// the document has at each level.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/batch_class_file.h"
#include "mapping/mapping_lint.h"

namespace quillon::app {

// The three files of a mappings directory, in the order a release loads them.
std::vector<std::string> LevelFilesOf(const std::string& directory);

// What the engine makes of one file: the classes it loads, or its error.
struct FileLoad {
  bool loaded = false;
  std::int32_t classes = 0;
  std::int32_t conditions = 0;
  std::int32_t fields = 0;
  std::int32_t errorNumber = 0;
  std::int32_t errorLine = 0;
  std::string errorDescription;
};

struct CheckedFile {
  marrow::LintedFile lint;
  FileLoad load;
};

struct MappingCheck {
  std::vector<CheckedFile> files;  // in the order given, levels in release order

  std::size_t Errors() const;    // findings of severity error, and failed loads
  std::size_t Warnings() const;  // findings of severity warning
  // Whether the set holds nothing that stops a release: no errors, and with
  // `strict` no warnings either.
  bool Passes(bool strict) const;
};

// The names a document has before the first level, for a batch class: the
// destinations of its links, the batch-level fields that a release adds when
// it opens the batch, and the reserved names through which mappings steer
// the release (and the prefixes of the numbered ones).
marrow::AvailableFields AvailableFieldsOf(const BatchClassDefinition& batchClass);

// Checks each path: a mappings directory stands for its three level files; a
// file named like a level file is checked after the earlier level files of
// its folder (which only count for what they write). With `available`, field
// reads are followed through the levels.
MappingCheck CheckMappingSets(const std::vector<std::string>& paths,
                              const marrow::AvailableFields* available);

// Text output:
//   FILE: OK (N classes, N conditions, N fields)                  stdout
//   FILE: error NUMBER at line N: DESCRIPTION                     stderr
//   FILE:LINE:COLUMN: SEVERITY: MESSAGE [KIND]                    stdout
// and, when there are findings, "N errors, N warnings".
void PrintCheck(const MappingCheck& check, std::ostream& out, std::ostream& err);
// Only the findings, one line each, and the count line (for release --check).
void PrintFindings(const MappingCheck& check, std::ostream& out);
nlohmann::ordered_json CheckJson(const MappingCheck& check);

}  // namespace quillon::app
