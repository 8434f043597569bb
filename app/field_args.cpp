#include "app/field_args.h"

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/command.h"

namespace quillon::app {

tessel::NameValueList ReadFields(const std::vector<std::string>& nameValueArgs,
                                 const std::string& fieldsFile) {
  tessel::NameValueList fields;
  if (!fieldsFile.empty()) {
    std::ifstream in(fieldsFile, std::ios::binary);
    if (!in) throw InputError(fieldsFile + ": cannot be read");
    std::stringstream buffer;
    buffer << in.rdbuf();
    nlohmann::ordered_json json;
    try {
      json = nlohmann::ordered_json::parse(buffer.str());
    } catch (const nlohmann::json::parse_error& e) {
      throw InputError(fieldsFile + ": not valid JSON (" + e.what() + ")");
    }
    if (!json.is_object()) throw InputError(fieldsFile + ": expected an object of name -> text");
    for (const auto& [name, value] : json.items()) {
      if (!value.is_string()) {
        throw InputError(fieldsFile + ": field \"" + name + "\" must be text");
      }
      fields.Add(name, value.get<std::string>());
    }
  }
  for (const std::string& arg : nameValueArgs) {
    const std::size_t eq = arg.find('=');
    if (eq == std::string::npos) {
      throw InputError("field argument \"" + arg + "\" is not NAME=VALUE");
    }
    fields.Add(arg.substr(0, eq), arg.substr(eq + 1));
  }
  return fields;
}

void AddFieldOptions(CLI::App& sub, std::vector<std::string>& nameValueArgs,
                     std::string& fieldsFile) {
  sub.add_option("fields", nameValueArgs, "Field values as NAME=VALUE (in list order)");
  sub.add_option("--fields", fieldsFile, "JSON file with an object of field name -> text");
}

}  // namespace quillon::app
