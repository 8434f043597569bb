// The mapping linter on arbitrary documents: it reads them with its own
// scanner for places, so every input must give findings, never a crash, and
// every finding a kind, a severity and a place that is in the document. The
// same bytes also go through the level analysis and, as a value expression,
// through DescribeExpression.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/mapping_lint.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<marrow::LintedFile> levels;
  levels.push_back(marrow::LintMappingDocument(input, "fuzz.xml"));
  const long lines = static_cast<long>(std::count(input.begin(), input.end(), '\n')) + 1;
  for (const marrow::LintFinding& finding : levels[0].findings) {
    Check(!finding.kind.empty() && !finding.message.empty());
    Check(finding.file == "fuzz.xml");
    Check(finding.line >= 0 && finding.line <= lines + 1 && finding.column >= 0);
  }
  // The document once as level 1 and once as level 2.
  levels.push_back(marrow::LintMappingDocument(input, "fuzz2.xml"));
  marrow::CheckFieldAvailability(levels, {{"FormType", "Payer"}, {"Replace_"}});

  for (const std::string& line : marrow::DescribeExpression(input)) Check(!line.empty());
  return 0;
}
