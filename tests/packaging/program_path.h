// Programs the packaging tests run (gzip, man, dpkg-deb, lintian, ...) by
// name: RunCommand needs a path.
#pragma once

#include <string>

namespace testing_support {

// The first executable `name` on PATH; `name` itself when there is none (so
// that running it fails with exit code 127).
std::string ProgramPath(const std::string& name);

}  // namespace testing_support
