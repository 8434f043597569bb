// `quillon help [COMMAND]` prints the list of commands, or the options and
// examples of one command (the same text as `quillon COMMAND --help`).
#include <iostream>
#include <memory>
#include <string>

#include "app/command.h"

namespace quillon::app {
namespace {

const bool registered = RegisterCommand(
    90, "help", "Show the commands, or the options and examples of one command",
    [](CLI::App& sub) -> std::function<int()> {
      auto command = std::make_shared<std::string>();
      sub.add_option("command", *command, "The command to describe");
      CLI::App* self = &sub;
      return [command, self]() {
        CLI::App* root = self->get_parent();
        if (command->empty()) {
          // The root's own help() would describe the command that ran (help).
          std::cout << root->get_formatter()->make_help(root, root->get_name(),
                                                        CLI::AppFormatMode::Normal);
          return FinishOutput();
        }
        for (CLI::App* candidate : root->get_subcommands([](CLI::App*) { return true; })) {
          if (candidate->get_name() == *command) {
            std::cout << candidate->help(root->get_name());
            return FinishOutput();
          }
        }
        throw InputError(UnknownCommandMessage(*command));
      };
    });

}  // namespace
}  // namespace quillon::app
