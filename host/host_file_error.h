// The error that loading a batch file, a batch-class file or an interchange
// counter file raises when the file cannot be used.
//
// It names the file, the place in it (a JSON pointer such as
// "/documents/3/id", a line and column for a syntax error, or nothing when the
// whole file is at fault) and the problem. what() joins the three:
//   "batch.json: /documents/3/id: duplicate document id 17 (also /documents/1/id)"
#pragma once

#include <stdexcept>
#include <string>

#include "quillon_export.h"

namespace quillon {

class QUILLON_API HostFileError : public std::runtime_error {
 public:
  HostFileError(std::string file, std::string place, std::string problem);

  const std::string& File() const noexcept { return file_; }
  const std::string& Place() const noexcept { return place_; }
  const std::string& Problem() const noexcept { return problem_; }

 private:
  std::string file_;
  std::string place_;
  std::string problem_;
};

}  // namespace quillon
