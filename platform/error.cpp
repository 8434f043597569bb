#include "platform/error.h"

#include <utility>

namespace platform {

std::string StandardDescription(int number) {
  switch (number) {
    case err::kInvalidProcedureCall:
      return "Invalid procedure call or argument";
    case err::kOverflow:
      return "Overflow";
    case err::kSubscriptOutOfRange:
      return "Subscript out of range";
    case err::kTypeMismatch:
      return "Type mismatch";
    case err::kDuplicateKey:
      return "This key is already associated with an element of this collection";
    default:
      return "Application-defined or object-defined error";
  }
}

namespace {
std::string DescriptionOr(int number, std::string description) {
  return description.empty() ? StandardDescription(number) : std::move(description);
}
}  // namespace

Error::Error(int number, std::string source, std::string description, std::string helpFile,
             int helpContext)
    : std::runtime_error(DescriptionOr(number, description)),
      number_(number),
      source_(std::move(source)),
      description_(DescriptionOr(number, std::move(description))),
      helpFile_(std::move(helpFile)),
      helpContext_(helpContext) {}

Error Error::Wrapped(int number, std::string source) const {
  return Error(number, std::move(source), description_, helpFile_, helpContext_);
}

Error Error::WithSource(std::string source) const {
  return Error(number_, std::move(source), description_, helpFile_, helpContext_);
}

void Raise(int number, std::string source, std::string description) {
  throw Error(number, std::move(source), std::move(description));
}

}  // namespace platform
