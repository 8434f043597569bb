#include "platform/clock.h"

#include <ctime>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/date_text.h"

namespace platform {
namespace {

// The local wall-clock time of the machine, to the second.
class SystemClock final : public Clock {
 public:
  OleDate Now() const override {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    DateParts parts;
    parts.year = local.tm_year + 1900;
    parts.month = local.tm_mon + 1;
    parts.day = local.tm_mday;
    parts.hour = local.tm_hour;
    parts.minute = local.tm_min;
    parts.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // leap second
    return MakeDate(parts);
  }
};

std::mutex& ClockMutex() {
  static std::mutex m;
  return m;
}

std::shared_ptr<const Clock>& Installed() {
  static std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>();
  return clock;
}

// Clocks replaced while a caller may still hold a reference from
// CurrentClock() stay alive until the end of the process; replacing the clock
// is a test-time operation, so the list stays short.
std::vector<std::shared_ptr<const Clock>>& Retired() {
  static std::vector<std::shared_ptr<const Clock>> retired;
  return retired;
}

}  // namespace

const Clock& CurrentClock() {
  std::lock_guard<std::mutex> lock(ClockMutex());
  return *Installed();
}

void SetClock(std::shared_ptr<const Clock> clock) {
  std::lock_guard<std::mutex> lock(ClockMutex());
  Retired().push_back(Installed());
  Installed() = clock ? std::move(clock) : std::make_shared<SystemClock>();
}

}  // namespace platform
