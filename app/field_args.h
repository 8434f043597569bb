// Field values given on the command line: NAME=VALUE arguments (split at the
// first "=", the value may be empty) and/or --fields FILE.json (an object of
// name -> text, read in file order, before the NAME=VALUE arguments).
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "host/tessel/name_value_list.h"

namespace quillon::app {

// Raises InputError naming the argument or file and the problem.
tessel::NameValueList ReadFields(const std::vector<std::string>& nameValueArgs,
                                 const std::string& fieldsFile);

// Adds the standard field options (positional NAME=VALUE..., --fields) to a
// subcommand.
void AddFieldOptions(CLI::App& sub, std::vector<std::string>& nameValueArgs,
                     std::string& fieldsFile);

}  // namespace quillon::app
