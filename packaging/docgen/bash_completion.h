// The bash completion script of the `quillon` command, made from the
// command's own description (CliCommand): subcommands, their options, and
// for option values and positional arguments files, directories, the
// choices, or nothing (free text), as ClassifyValue says. It needs bash 4 only, not the
// bash-completion package.
#pragma once

#include <string>

#include "packaging/docgen/cli_command.h"

namespace quillon::docgen {

std::string BashCompletion(const CliCommand& root);

}  // namespace quillon::docgen
