// The `quillon` command as `quillon --describe-cli` prints it: subcommands
// and their options, read back for the man pages and the shell completion.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon::docgen {

// What the value of an option or a positional argument is, for completion
// and for the placeholder in the synopsis.
enum class ValueKind {
  kNone,       // a flag
  kText,       // free text: an expression, NAME=VALUE
  kFile,       // a file (or a directory where files are also accepted)
  kDirectory,  // a directory only
  kChoice,     // one of a fixed set of words (CliOption::choices)
};

struct CliOption {
  std::vector<std::string> names;  // "-h", "--help"; empty for a positional argument
  std::string positional;          // the positional argument's name
  std::string description;
  std::string typeName;              // as the help shows it: TEXT, INT, TEXT:{on,off} ...
  std::vector<std::string> choices;  // the words of a TEXT:{on,off} type name
  bool required = false;
  bool takesValue = false;
  bool multiple = false;
  ValueKind kind = ValueKind::kNone;

  bool IsPositional() const { return !positional.empty(); }
};

struct CliCommand {
  std::string name;
  std::string description;
  std::string footer;
  std::vector<CliOption> options;  // options and positional arguments, in definition order
  std::vector<CliCommand> subcommands;
};

// Reads the JSON of --describe-cli. Names must be plain words (letters,
// digits, '_' and '-', not starting with '-' for commands) because they end
// up in file names and in shell code; throws std::runtime_error naming the
// command or option and the problem.
CliCommand ParseCliDescription(std::string_view json);

// What an option takes, from how the command describes it: flags take
// nothing; a set of choices is a choice; a type name of FILE, DIR or PATH
// says it; otherwise the words of the names ("--mappings-dir") and then of
// the description: "dir"/"directory"/"folder" (and plurals) is a
// directory, "file"/"files" a file (files and directories both when a
// description names both), anything else text.
ValueKind ClassifyValue(const CliOption& option);

// The placeholder for a value in a synopsis: FILE, DIR, the choices as
// {a|b}, or the type name (TEXT when there is none).
std::string ValuePlaceholder(const CliOption& option);

}  // namespace quillon::docgen
