#include "app/cli_description.h"

#include <filesystem>
#include <functional>
#include <iostream>

#include "app/command.h"

namespace quillon::app {

namespace {

using Json = nlohmann::ordered_json;

Json DescribeOption(const CLI::Option& option) {
  Json names = Json::array();
  for (const std::string& name : option.get_snames()) names.push_back("-" + name);
  for (const std::string& name : option.get_lnames()) names.push_back("--" + name);
  Json result = Json::object();
  result["names"] = std::move(names);
  if (option.get_positional()) result["positional"] = option.get_name(true);
  result["description"] = option.get_description();
  result["typeName"] = option.get_type_name();
  result["required"] = option.get_required();
  result["takesValue"] = option.get_items_expected_max() > 0;
  result["multiple"] = option.get_items_expected_max() > 1;
  return result;
}

}  // namespace

Json DescribeCli(const CLI::App& app) {
  Json options = Json::array();
  for (const CLI::Option* option : app.get_options()) {
    if (option->get_group().empty()) continue;
    options.push_back(DescribeOption(*option));
  }
  Json subcommands = Json::array();
  const std::function<bool(const CLI::App*)> visible = [](const CLI::App* sub) {
    return !sub->get_group().empty();
  };
  for (const CLI::App* sub : app.get_subcommands(visible)) {
    subcommands.push_back(DescribeCli(*sub));
  }
  Json result = Json::object();
  // The top level is named after the program file it was started as.
  result["name"] = app.get_parent() != nullptr
                       ? app.get_name()
                       : std::filesystem::path(app.get_name()).filename().string();
  result["description"] = app.get_description();
  result["footer"] = app.get_footer();
  result["options"] = std::move(options);
  result["subcommands"] = std::move(subcommands);
  return result;
}

void AddDescribeCliFlag(CLI::App& app) {
  app.add_flag_callback(
         "--describe-cli",
         [&app]() {
           std::cout << DescribeCli(app).dump(2) << "\n";
           if (FinishOutput() != kExitSuccess) throw CLI::RuntimeError(kExitSomeFailed);
           throw CLI::Success();
         },
         "Print the subcommands and options as JSON (for the man pages and the completion)")
      ->group("");
}

}  // namespace quillon::app
