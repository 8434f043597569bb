// The mapping library's own logger (one per loaded library). Its trace lines
// (level 2) carry diagnostics such as FieldParts::DisplayAllParts. Logging is
// off until a folder is set.
#pragma once

#include "host/tessel/logger.h"
#include "marrow_export.h"

namespace marrow {

MARROW_API tessel::Logger& Log();

}  // namespace marrow
