#include "release/global_logger.h"

#include <memory>

namespace quillon {
namespace {
std::unique_ptr<tessel::Logger>& Slot() {
  static std::unique_ptr<tessel::Logger> logger = std::make_unique<tessel::Logger>();
  return logger;
}
}  // namespace

tessel::Logger& GlobalLogger() {
  return *Slot();
}

tessel::Logger& NewGlobalLogger() {
  Slot()->Restart();
  return *Slot();
}

}  // namespace quillon
