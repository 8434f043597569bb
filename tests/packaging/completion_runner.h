// Runs a bash completion function the way bash does on <TAB>: loads the
// script, sets COMP_WORDS and COMP_CWORD (the last word is the one being
// completed) and calls the function, in a given working directory.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// The candidates, sorted. Fails the current test when bash fails.
std::vector<std::string> Complete(const std::string& script, const std::string& function,
                                  const std::vector<std::string>& words,
                                  const std::string& workingDirectory);

}  // namespace testing_support
