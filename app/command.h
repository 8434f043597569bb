// Subcommands of the `quillon` command register themselves here, one file
// each (app/cmd_*.cpp), so that adding a command touches no shared file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace quillon::app {

// Exit codes of the command, in one place.
enum ExitCode : int {
  kExitSuccess = 0,      // everything done
  kExitSomeFailed = 1,   // some documents failed, or the output could not be written
  kExitUsageOrInput = 2  // bad usage, unusable input, or a failed evaluation
};

// Bad input that the command reports as "error: <message>" and exit 2.
struct InputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Defines the options of a subcommand on `sub` and returns the action that
// runs it after parsing; the action returns the exit code.
using CommandSetup = std::function<std::function<int()>(CLI::App& sub)>;

struct CommandInfo {
  int order;  // position in --help
  std::string name;
  std::string description;
  CommandSetup setup;
};

// Flushes standard output at the end of a command: kExitSuccess, or a message
// on stderr and kExitSomeFailed when the output could not be written (a full
// disk, a closed pipe).
int FinishOutput();

// "\"relase\" is no quillon command (did you mean \"release\"?); \"quillon
// help\" lists the commands", for a name that no command has.
std::string UnknownCommandMessage(const std::string& name);

// Called from a static initialiser in each command file.
bool RegisterCommand(int order, std::string name, std::string description, CommandSetup setup);
const std::vector<CommandInfo>& RegisteredCommands();

}  // namespace quillon::app
