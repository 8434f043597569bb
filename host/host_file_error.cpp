#include "host/host_file_error.h"

#include <utility>

namespace quillon {

namespace {
std::string Compose(const std::string& file, const std::string& place, const std::string& problem) {
  std::string text = file;
  if (!place.empty()) text.append(": ").append(place);
  text.append(": ").append(problem);
  return text;
}
}  // namespace

HostFileError::HostFileError(std::string file, std::string place, std::string problem)
    : std::runtime_error(Compose(file, place, problem)),
      file_(std::move(file)),
      place_(std::move(place)),
      problem_(std::move(problem)) {}

}  // namespace quillon
