// The release side's one logger object (per loaded library). PrepareRun and
// the setup script replace it; before that it is a logger with logging off.
#pragma once

#include "host/tessel/logger.h"
#include "quillon_export.h"

namespace quillon {

QUILLON_API tessel::Logger& GlobalLogger();
// Drops the current logger and starts a new one (logging off until configured).
QUILLON_API tessel::Logger& NewGlobalLogger();

}  // namespace quillon
