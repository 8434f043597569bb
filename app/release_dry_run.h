// `quillon release --dry-run`: every document of the batch translated and
// appended to an in-memory batch, exactly as a release does, and a report of
// what would be written: per document its record (segments and bytes), that
// it would produce none, or why it would fail; then the output file (folder,
// name and size). Nothing is written, no folder is created and no
// interchange control number is taken (the host shows the next one).
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/file_host.h"

namespace quillon::app {

// Prints the report (or adds it to `summary` when `json`); `causes` are the
// setting causes already found. Returns 0 when every document would be
// released and written, 1 otherwise.
int DryRun(FileHost& host, const std::vector<std::string>& causes, bool json,
           nlohmann::ordered_json& summary);

}  // namespace quillon::app
