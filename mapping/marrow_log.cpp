#include "mapping/marrow_log.h"

namespace marrow {

tessel::Logger& Log() {
  static tessel::Logger logger;
  return logger;
}

}  // namespace marrow
