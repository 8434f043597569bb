// `quillon --describe-cli` (hidden): prints the command's subcommands and
// options as JSON, so that the build can generate the man pages and the
// shell completion from the command itself instead of from a copy that
// drifts. Hidden options and subcommands (empty group) are left out.
#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

namespace quillon::app {

// The description of `app` and its visible subcommands:
//   {"name", "description", "footer", "options": [...], "subcommands": [...]}
// with every option as
//   {"names": ["-h", "--help"], "positional": "batch" (positionals only),
//    "description", "typeName", "required", "takesValue", "multiple"}.
nlohmann::ordered_json DescribeCli(const CLI::App& app);

// Adds the hidden --describe-cli flag to `app`: it prints DescribeCli(app)
// on standard output and ends the command.
void AddDescribeCliFlag(CLI::App& app);

}  // namespace quillon::app
