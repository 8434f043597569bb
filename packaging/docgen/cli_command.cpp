#include "packaging/docgen/cli_command.h"

#include <cctype>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace quillon::docgen {

namespace {

using Json = nlohmann::json;

bool IsWordCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
}

bool IsPlainWord(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!IsWordCharacter(c)) return false;
  }
  return true;
}

// "-x" or "--long-name".
bool IsOptionName(std::string_view name) {
  if (name.size() >= 3 && name.substr(0, 2) == "--") {
    return name[2] != '-' && IsPlainWord(name.substr(2));
  }
  return name.size() == 2 && name[0] == '-' && IsWordCharacter(name[1]) && name[1] != '-';
}

std::string TextField(const Json& object, const char* key, const std::string& where) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_string()) {
    throw std::runtime_error(where + ": \"" + key + "\" is missing or not a text");
  }
  return it->get<std::string>();
}

bool BoolField(const Json& object, const char* key, const std::string& where) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_boolean()) {
    throw std::runtime_error(where + ": \"" + key + "\" is missing or not true/false");
  }
  return it->get<bool>();
}

const Json& ArrayField(const Json& object, const char* key, const std::string& where) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_array()) {
    throw std::runtime_error(where + ": \"" + key + "\" is missing or not a list");
  }
  return *it;
}

// "TEXT:{per-batch,per-document}" -> per-batch, per-document. Only plain
// words (they go into shell code); otherwise no choices.
std::vector<std::string> Choices(std::string_view typeName) {
  const std::size_t open = typeName.find(":{");
  if (open == std::string_view::npos || typeName.back() != '}') return {};
  std::vector<std::string> choices;
  std::string_view list = typeName.substr(open + 2, typeName.size() - open - 3);
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view word = list.substr(0, comma);
    bool plain = !word.empty();
    for (char c : word) plain = plain && (IsWordCharacter(c) || c == '.');
    if (!plain) return {};
    choices.emplace_back(word);
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return choices;
}

CliOption ParseOption(const Json& json, const std::string& command) {
  if (!json.is_object()) throw std::runtime_error(command + ": an option is not an object");
  CliOption option;
  const Json& names = ArrayField(json, "names", command + ": an option");
  for (const Json& name : names) {
    if (!name.is_string() || !IsOptionName(name.get<std::string>())) {
      throw std::runtime_error(command + ": " + name.dump() + " is no option name");
    }
    option.names.push_back(name.get<std::string>());
  }
  if (json.contains("positional")) {
    option.positional = TextField(json, "positional", command);
    if (!IsPlainWord(option.positional)) {
      throw std::runtime_error(command + ": \"" + option.positional +
                               "\" is no name for a positional argument");
    }
  }
  if (option.names.empty() == option.positional.empty()) {
    throw std::runtime_error(command + ": an option needs either names or a positional name");
  }
  const std::string where =
      command + " " + (option.IsPositional() ? option.positional : option.names.back());
  option.description = TextField(json, "description", where);
  option.typeName = TextField(json, "typeName", where);
  option.choices = Choices(option.typeName);
  option.required = BoolField(json, "required", where);
  option.takesValue = BoolField(json, "takesValue", where);
  option.multiple = BoolField(json, "multiple", where);
  if (option.IsPositional() && !option.takesValue) {
    throw std::runtime_error(where + ": a positional argument takes a value");
  }
  option.kind = ClassifyValue(option);
  return option;
}

CliCommand ParseCommand(const Json& json, const std::string& parent) {
  if (!json.is_object()) {
    throw std::runtime_error(parent.empty() ? "the command description is not an object"
                                            : parent + ": a subcommand is not an object");
  }
  CliCommand command;
  command.name = TextField(json, "name", parent.empty() ? "the command" : parent);
  if (!IsPlainWord(command.name) || command.name[0] == '-') {
    throw std::runtime_error((parent.empty() ? "" : parent + ": ") + "\"" + command.name +
                             "\" is no command name");
  }
  const std::string where = parent.empty() ? command.name : parent + " " + command.name;
  command.description = TextField(json, "description", where);
  command.footer = TextField(json, "footer", where);
  for (const Json& option : ArrayField(json, "options", where)) {
    command.options.push_back(ParseOption(option, where));
  }
  for (const Json& sub : ArrayField(json, "subcommands", where)) {
    command.subcommands.push_back(ParseCommand(sub, where));
  }
  return command;
}

// Whether `text` holds `word` as a whole word (ASCII letters compared
// without case).
bool HasWord(std::string_view text, std::string_view word) {
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])) == 0) ++i;
    std::size_t end = i;
    while (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end])) != 0) ++end;
    if (end - i == word.size()) {
      bool same = true;
      for (std::size_t k = 0; k < word.size() && same; ++k) {
        same = std::tolower(static_cast<unsigned char>(text[i + k])) == word[k];
      }
      if (same) return true;
    }
    i = end;
  }
  return false;
}

}  // namespace

CliCommand ParseCliDescription(std::string_view json) {
  Json root;
  try {
    root = Json::parse(json);
  } catch (const Json::exception& e) {
    throw std::runtime_error(std::string("the command description is no JSON: ") + e.what());
  }
  return ParseCommand(root, "");
}

ValueKind ClassifyValue(const CliOption& option) {
  if (!option.takesValue) return ValueKind::kNone;
  if (!option.choices.empty()) return ValueKind::kChoice;
  if (option.typeName == "FILE" || option.typeName == "PATH") return ValueKind::kFile;
  if (option.typeName == "DIR") return ValueKind::kDirectory;
  const auto kindOf = [](std::string_view words) {
    if (HasWord(words, "file") || HasWord(words, "files")) return ValueKind::kFile;
    for (const char* word : {"dir", "dirs", "directory", "directories", "folder", "folders"}) {
      if (HasWord(words, word)) return ValueKind::kDirectory;
    }
    return ValueKind::kText;
  };
  std::string names = option.positional;
  for (const std::string& name : option.names) names += " " + name;
  const ValueKind byName = kindOf(names);
  return byName != ValueKind::kText ? byName : kindOf(option.description);
}

std::string ValuePlaceholder(const CliOption& option) {
  switch (option.kind) {
    case ValueKind::kFile:
      return "FILE";
    case ValueKind::kDirectory:
      return "DIR";
    case ValueKind::kChoice: {
      std::string words;
      for (const std::string& choice : option.choices) {
        words += (words.empty() ? "{" : "|") + choice;
      }
      return words + "}";
    }
    default:
      return option.typeName.empty() ? "TEXT" : option.typeName;
  }
}

}  // namespace quillon::docgen
