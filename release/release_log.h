// Composed log lines of the release side. A line is only put together when
// the global logger writes it at all: several lines carry whole field lists
// or the whole batch text, which would otherwise be copied for nothing on
// every document.
#pragma once

#include <charconv>
#include <concepts>
#include <string>
#include <string_view>
#include <type_traits>

#include "release/batch_text.h"
#include "release/global_logger.h"

namespace quillon::internal {

inline bool LogOn() noexcept {
  return GlobalLogger().Enabled();
}

template <typename T>
void AppendLogPart(std::string& line, const T& part) {
  if constexpr (std::is_same_v<T, BatchText>) {
    // The batch's records can run to gigabytes: written on as they are
    // added rather than gathered whole.
    for (const std::string_view block : part.Blocks()) {
      line.append(block);
      GlobalLogger().FlushLongLine();
    }
  } else if constexpr (std::is_same_v<T, bool>) {
    line.append(part ? "True" : "False");
  } else if constexpr (std::is_integral_v<T>) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, part).ptr;
    line.append(digits, static_cast<std::size_t>(end - digits));
  } else {
    line.append(std::string_view(part));
  }
}

// Writes the concatenation of `parts` (texts, integers, booleans as
// True/False) at (level, kind), composed straight into the log's buffer.
template <typename... Parts>
void LogLine(int level, int kind, const Parts&... parts) {
  tessel::Logger& logger = GlobalLogger();
  if (!logger.Writes(level)) return;
  std::string& line = logger.BeginLine(level, kind);
  (AppendLogPart(line, parts), ...);
  logger.EndLine();
}

}  // namespace quillon::internal
