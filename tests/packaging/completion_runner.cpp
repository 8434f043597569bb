#include "packaging/completion_runner.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/run_command.h"

namespace testing_support {

std::vector<std::string> Complete(const std::string& script, const std::string& function,
                                  const std::vector<std::string>& words,
                                  const std::string& workingDirectory) {
  // Words go in as arguments, so that no quoting is involved.
  std::vector<std::string> argv = {
      "/bin/bash",
      "--norc",
      "--noprofile",
      "-c",
      "source \"$1\" || exit 3; fn=$2; cd \"$3\" || exit 4; shift 3; COMP_WORDS=(\"$@\"); "
      "COMP_CWORD=$(($# - 1)); \"$fn\" || exit 5; "
      "for w in \"${COMPREPLY[@]}\"; do printf '%s\\n' \"$w\"; done",
      "bash",
      script,
      function,
      workingDirectory};
  argv.insert(argv.end(), words.begin(), words.end());
  const CommandResult result = RunCommand(argv);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  std::vector<std::string> candidates;
  std::size_t start = 0;
  while (start < result.out.size()) {
    const std::size_t end = result.out.find('\n', start);
    candidates.push_back(result.out.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::sort(candidates.begin(), candidates.end());
  return candidates;
}

}  // namespace testing_support
