// Runs a program (the `quillon` command in the app tests) and captures its
// standard output, standard error and exit code.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct CommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// argv[0] is the program path; no shell is involved. `input` is fed to the
// program's standard input. `env` entries ("NAME=VALUE") are added to the
// environment of the child.
CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input = {},
                         const std::vector<std::string>& env = {});

}  // namespace testing_support
