// The batch file of the stand-in host: one batch waiting for release, with
// its documents in release order, kept as JSON.
//
//   {
//     "batchClass": "batch-class.json",
//     "name": "Claims 2024-03-01", "id": "B-1001", "description": "Morning scan",
//     "classNumber": 7,
//     "batchFields": { "Payer ID": "87726" },
//     "documents": [
//       { "id": 17, "className": "CMS1500", "classId": 3,
//         "indexFields": { "Patient Name": "DOE, JANE", "Total Charge": "125.00" } }
//     ]
//   }
//
// Every key is required and no other key is allowed. "batchClass" is the path
// of the batch-class file, relative to the folder of the batch file unless it
// is absolute (backslashes are accepted). Field values are text; field names
// ignore letter case, so two that differ only in case are an error, and so is
// a document id written twice.
//
// Invalid input raises HostFileError naming the file, the JSON pointer of the
// fault (or the line and column of a syntax error) and the problem. Faults
// are found in the order of the text (batch_reader.h, which reads the file
// one document at a time; the functions here keep every document).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/tessel/name_value_list.h"
#include "quillon_export.h"

namespace quillon {

struct BatchDocument {
  std::int32_t Id = 0;
  std::string ClassName;
  std::int32_t ClassId = 0;
  tessel::NameValueList IndexFields;  // in file order
};

struct BatchDefinition {
  std::string BatchClass;  // as written in the file
  std::string Name;
  std::string Id;
  std::string Description;
  std::int32_t ClassNumber = 0;
  tessel::NameValueList BatchFields;     // in file order
  std::vector<BatchDocument> Documents;  // in release order
};

// `file` is only used in error messages. A batch file must be a regular
// file; it has no size limit.
QUILLON_API BatchDefinition ParseBatch(std::string_view json, const std::string& file);
QUILLON_API BatchDefinition LoadBatchFile(const std::string& path);

// The path of the batch-class file that `batch` (read from `batchFile`) names.
QUILLON_API std::string ResolveBatchClassPath(const std::string& batchFile,
                                              const BatchDefinition& batch);

}  // namespace quillon
