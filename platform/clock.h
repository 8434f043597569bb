// The current date and time, read through one replaceable clock object.
#pragma once

#include <memory>

#include "platform/variant.h"
#include "platform_export.h"

namespace platform {

class PLATFORM_API Clock {
 public:
  virtual ~Clock() = default;
  // The current local date and time, to the second.
  virtual OleDate Now() const = 0;
};

// The clock in use (the system clock unless replaced).
PLATFORM_API const Clock& CurrentClock();
// Replaces the clock; nullptr restores the system clock. Tests use this.
PLATFORM_API void SetClock(std::shared_ptr<const Clock> clock);

}  // namespace platform
