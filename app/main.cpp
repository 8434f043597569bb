// The `quillon` command: stands in for the capture host on Linux and gives
// administrators tools to try their mappings. Exit codes: see app/command.h.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>

#include "app/cli_description.h"
#include "app/command.h"
#include "mapping/mapping_lint.h"
#include "platform/error.h"

namespace quillon::app {

namespace {
std::vector<CommandInfo>& Registry() {
  static std::vector<CommandInfo> commands;
  return commands;
}
}  // namespace

bool RegisterCommand(int order, std::string name, std::string description, CommandSetup setup) {
  Registry().push_back({order, std::move(name), std::move(description), std::move(setup)});
  return true;
}

const std::vector<CommandInfo>& RegisteredCommands() {
  return Registry();
}

int FinishOutput() {
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "error: the result could not be written to standard output\n";
    return kExitSomeFailed;
  }
  return kExitSuccess;
}

std::string UnknownCommandMessage(const std::string& name) {
  std::vector<std::string> names;
  for (const CommandInfo& info : Registry()) names.push_back(info.name);
  std::string message = "\"" + name + "\" is no quillon command";
  const std::string closest = marrow::ClosestName(name, names);
  if (!closest.empty()) message += " (did you mean \"" + closest + "\"?)";
  return message + "; \"quillon help\" lists the commands";
}

}  // namespace quillon::app

int main(int argc, char** argv) {
  using namespace quillon::app;
  CLI::App app{"quillon - turns released claim documents into X12 837 files through mapping files"};
  app.set_version_flag("--version", std::string("quillon ") + QUILLON_VERSION);
  app.require_subcommand(1);
  app.footer(
      "Exit codes: 0 success, 1 some documents failed or the output could not be written,\n"
      "2 usage or input error.");

  std::vector<CommandInfo> commands = RegisteredCommands();
  std::sort(commands.begin(), commands.end(),
            [](const CommandInfo& a, const CommandInfo& b) { return a.order < b.order; });
  std::map<CLI::App*, std::function<int()>> actions;
  for (const CommandInfo& info : commands) {
    CLI::App* sub = app.add_subcommand(info.name, info.description);
    actions[sub] = info.setup(*sub);
  }
  AddDescribeCliFlag(app);

  // A first word that is no command: name the likely one rather than
  // CLI11's "A subcommand is required".
  if (argc >= 2 && argv[1][0] != '-' &&
      actions.end() == std::find_if(actions.begin(), actions.end(), [&](const auto& entry) {
        return entry.first->get_name() == argv[1];
      })) {
    std::cerr << "error: " << UnknownCommandMessage(argv[1]) << "\n";
    return kExitUsageOrInput;
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kExitSuccess : kExitUsageOrInput;
  }

  try {
    for (auto& [sub, action] : actions) {
      if (sub->parsed()) return action();
    }
    return kExitUsageOrInput;
  } catch (const platform::Error& e) {
    std::cerr << "error " << e.Number() << ": " << e.Description() << "\n";
    return kExitUsageOrInput;
  } catch (const InputError& e) {
    std::cerr << "error: " << e.what() << "\n";
    return kExitUsageOrInput;
  } catch (const std::exception& e) {
    std::cerr << "error: " << e.what() << "\n";
    return kExitUsageOrInput;
  }
}
