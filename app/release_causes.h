// What makes a release fail, said once and first: the `release` command
// looks at the batch class's settings before it releases, and at the output
// folder and the host's error reports after, and names each cause in one line
// (the setting and its value with the values it takes, the mapping file and
// the parser's reason, the folder and why it cannot take the file). The
// release itself and what it reports to the host are unchanged.
#pragma once

#include <string>
#include <vector>

#include "host/host_error_log.h"
#include "host/host_release_data.h"

namespace quillon::app {

// One line for each setting that will make the release fail, in the order a
// release meets them: "EDI Output", "Enable Logging" and "Logging Directory",
// "Mappings Directory" and its three files, "Working Directory".
std::vector<std::string> SettingCauses(const HostCustomProperties& properties);

// Why a folder cannot take a new file: it is a file, it cannot be written, or
// it is missing and cannot be created (and why). "" when nothing is wrong.
std::string FolderProblem(const std::string& directory);

// A failure to deliver the output file (error 7004) as the host was told it:
// the working file, the destination and the cause.
struct DeliveryFailure {
  std::string workingFile;  // as the release wrote it (Windows form)
  std::string destination;  // "" when no destination name was reserved yet
  std::string cause;
};

// The delivery failures among the host's error reports [from, to).
std::vector<DeliveryFailure> DeliveryFailures(const std::vector<HostErrorRecord>& errors,
                                              std::size_t from, std::size_t to);

// Why a delivery failed, in one line; `outputDirectory` is the folder the
// mappings named ("" when unknown).
std::string DeliveryCause(const DeliveryFailure& failure, const std::string& outputDirectory);
// Where the file of a failed delivery stays ("the finished file was kept in
// the working folder: PATH"), or "" when there is no such file.
std::string KeptFileNote(const DeliveryFailure& failure);

}  // namespace quillon::app
