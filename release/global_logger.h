// The release side's one logger object (per loaded library). PrepareRun and
// the setup script replace it; before that it is a logger with logging off.
#pragma once

#include "host/tessel/logger.h"
#include "quillon_export.h"

namespace quillon {

QUILLON_API tessel::Logger& GlobalLogger();
// Starts the logger anew: logging off until configured. A log file still open
// is written on when the same folder and file name are configured again.
QUILLON_API tessel::Logger& NewGlobalLogger();

// The log is written in blocks. A host-facing operation holds one of these so
// that whatever it logged is on disk when it returns, and a process that dies
// later loses nothing of it.
class FlushLogOnReturn {
 public:
  FlushLogOnReturn() = default;
  FlushLogOnReturn(const FlushLogOnReturn&) = delete;
  FlushLogOnReturn& operator=(const FlushLogOnReturn&) = delete;
  ~FlushLogOnReturn() { GlobalLogger().Flush(); }
};

}  // namespace quillon
