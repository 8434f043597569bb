#include "setup/setup_settings.h"

namespace quillon {

std::string_view EdiOutputText(EdiOutputMode mode) noexcept {
  switch (mode) {
    case EdiOutputMode::kPerBatch:
      return kOneEdiPerBatch;
    case EdiOutputMode::kPerDocument:
      return kOneEdiPerDocument;
    case EdiOutputMode::kNone:
      break;
  }
  return {};
}

EdiOutputMode EdiOutputFromText(std::string_view text) noexcept {
  return text == kOneEdiPerDocument ? EdiOutputMode::kPerDocument : EdiOutputMode::kPerBatch;
}

std::string_view EnableLoggingText(bool on) noexcept {
  return on ? "1" : "0";
}

}  // namespace quillon
