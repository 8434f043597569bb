// The one error type of the system.
//
// Every failure carries a number, a source and a description, as the classic
// runtime's error object does; a help file and a help context may come along.
// Inner operations pass an Error on unchanged or wrap it in their own number
// and source (see Rethrow helpers below); host-facing operations catch it and
// report it.
#pragma once

#include <stdexcept>
#include <string>

#include "platform_export.h"

namespace platform {

// Numbers the runtime itself raises.
namespace err {
inline constexpr int kInvalidProcedureCall = 5;  // "Invalid procedure call or argument"
inline constexpr int kOverflow = 6;              // "Overflow"
inline constexpr int kSubscriptOutOfRange = 9;   // "Subscript out of range"
inline constexpr int kTypeMismatch = 13;         // "Type mismatch"
inline constexpr int kDuplicateKey =
    457;  // "This key is already associated with an element of this collection"
}  // namespace err

// The runtime's usual description of a standard number; for any other number
// the generic text "Application-defined or object-defined error".
PLATFORM_API std::string StandardDescription(int number);

class PLATFORM_API Error : public std::runtime_error {
 public:
  // An empty description takes the standard text of the number.
  Error(int number, std::string source, std::string description = {}, std::string helpFile = {},
        int helpContext = 0);

  int Number() const noexcept { return number_; }
  const std::string& Source() const noexcept { return source_; }
  const std::string& Description() const noexcept { return description_; }
  const std::string& HelpFile() const noexcept { return helpFile_; }
  int HelpContext() const noexcept { return helpContext_; }

  // The same failure under another number and source, keeping the
  // description, help file and help context (the "wrap" of inner operations).
  Error Wrapped(int number, std::string source) const;
  // The same failure with another source only.
  Error WithSource(std::string source) const;

 private:
  int number_;
  std::string source_;
  std::string description_;
  std::string helpFile_;
  int helpContext_;
};

// Raises the runtime error `number` with its standard description.
[[noreturn]] PLATFORM_API void Raise(int number, std::string source = {},
                                     std::string description = {});

}  // namespace platform
