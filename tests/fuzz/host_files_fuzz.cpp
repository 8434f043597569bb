// Batch and batch-class files are untrusted input: any bytes must either load
// or be refused with a HostFileError, and a batch class that loads must come
// back unchanged from its own JSON text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/batch_class_file.h"
#include "host/batch_file.h"
#include "host/host_file_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    quillon::ParseBatch(text, "batch.json");
  } catch (const quillon::HostFileError&) {
  }
  try {
    const quillon::BatchClassDefinition loaded = quillon::ParseBatchClass(text, "class.json");
    const std::string saved = quillon::BatchClassToJson(loaded);
    const quillon::BatchClassDefinition again = quillon::ParseBatchClass(saved, "saved.json");
    if (quillon::BatchClassToJson(again) != saved) std::abort();
  } catch (const quillon::HostFileError&) {
  }
  return 0;
}
