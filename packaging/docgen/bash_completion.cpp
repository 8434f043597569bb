#include "packaging/docgen/bash_completion.h"

#include <vector>

namespace quillon::docgen {

namespace {

struct CommandEntry {
  std::string path;  // subcommand names joined by blanks; "" for the command itself
  const CliCommand* command;
};

void Collect(const CliCommand& command, const std::string& path,
             std::vector<CommandEntry>& entries) {
  entries.push_back({path, &command});
  for (const CliCommand& sub : command.subcommands) {
    Collect(sub, path.empty() ? sub.name : path + " " + sub.name, entries);
  }
}

// How the script names what a value is: file, dir, text, or
// choice:a,b,c.
std::string KindWord(const CliOption& option) {
  switch (option.kind) {
    case ValueKind::kFile:
      return "file";
    case ValueKind::kDirectory:
      return "dir";
    case ValueKind::kChoice: {
      std::string word = "choice:";
      for (std::size_t i = 0; i < option.choices.size(); ++i) {
        word += (i == 0 ? "" : ",") + option.choices[i];
      }
      return word;
    }
    default:
      return "text";
  }
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : " ") + name;
  return joined;
}

}  // namespace

std::string BashCompletion(const CliCommand& root) {
  // Names were checked to be plain words (ParseCliDescription), so they
  // need no quoting inside double quotes.
  std::string fn = "_" + root.name;
  for (char& c : fn) {
    if (c == '-') c = '_';
  }
  std::vector<CommandEntry> entries;
  Collect(root, "", entries);

  std::string out;
  out += "# bash completion for " + root.name + "  -*- shell-script -*-\n";
  out += "# Made from `" + root.name +
         " --describe-cli` when the command is built: change the\n"
         "# command's options, not this file.\n\n";

  out += "# The subcommands of the command path $1 (\"\" is " + root.name + " itself).\n";
  out += fn + "_subcommands() {\n  case \"$1\" in\n";
  for (const CommandEntry& entry : entries) {
    if (entry.command->subcommands.empty()) continue;
    std::vector<std::string> names;
    for (const CliCommand& sub : entry.command->subcommands) names.push_back(sub.name);
    out += "    \"" + entry.path + "\") echo \"" + JoinNames(names) + "\" ;;\n";
  }
  out += "  esac\n}\n\n";

  out += "# The option names of the command path $1.\n";
  out += fn + "_options() {\n  case \"$1\" in\n";
  for (const CommandEntry& entry : entries) {
    std::vector<std::string> names;
    for (const CliOption& option : entry.command->options) {
      names.insert(names.end(), option.names.begin(), option.names.end());
    }
    if (!names.empty()) out += "    \"" + entry.path + "\") echo \"" + JoinNames(names) + "\" ;;\n";
  }
  out += "  esac\n}\n\n";

  out +=
      "# What option $2 of the command path $1 takes: file, dir or text;\n"
      "# nothing for a flag.\n";
  out += fn + "_option_value() {\n  case \"$1 $2\" in\n";
  for (const CommandEntry& entry : entries) {
    for (const CliOption& option : entry.command->options) {
      if (option.IsPositional() || !option.takesValue) continue;
      for (const std::string& name : option.names) {
        out += "    \"" + entry.path + " " + name + "\") echo " + KindWord(option) + " ;;\n";
      }
    }
  }
  out += "  esac\n}\n\n";

  out +=
      "# What the positional arguments of the command path $1 take, in order;\n"
      "# a final \"...\" repeats the last one.\n";
  out += fn + "_positionals() {\n  case \"$1\" in\n";
  for (const CommandEntry& entry : entries) {
    std::string kinds;
    bool repeats = false;
    for (const CliOption& option : entry.command->options) {
      if (!option.IsPositional() || repeats) continue;
      kinds += (kinds.empty() ? "" : " ") + KindWord(option);
      repeats = option.multiple;
    }
    if (repeats) kinds += " ...";
    if (!kinds.empty()) out += "    \"" + entry.path + "\") echo \"" + kinds + "\" ;;\n";
  }
  out += "  esac\n}\n\n";

  // The part that does not depend on the command; @FN@ is the prefix of
  // the functions above.
  std::string driver = R"sh(# Completes the current word $2 as a value of kind $1.
@FN@_value() {
  case "$1" in
    file)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$2")
      ;;
    dir)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$2")
      ;;
    choice:*)
      local choices="${1#choice:}"
      mapfile -t COMPREPLY < <(compgen -W "${choices//,/ }" -- "$2")
      ;;
  esac
}

@FN@() {
  local cur="${COMP_WORDS[COMP_CWORD]}" path="" word pending="" ended=0 count=0 i
  COMPREPLY=()
  for ((i = 1; i < COMP_CWORD; i++)); do
    word="${COMP_WORDS[i]}"
    if [[ -n $pending ]]; then
      # --option=VALUE comes as the words "--option", "=" and "VALUE".
      [[ $word == "=" ]] && continue
      pending=""
      continue
    fi
    if ((!ended)) && [[ $word == "--" ]]; then
      ended=1
      continue
    fi
    if ((!ended)) && [[ $word == -?* ]]; then
      pending="$(@FN@_option_value "$path" "$word")"
      continue
    fi
    if ((count == 0)) && [[ " $(@FN@_subcommands "$path") " == *" $word "* ]]; then
      path="${path:+$path }$word"
      continue
    fi
    count=$((count + 1))
  done

  if [[ -n $pending ]]; then
    [[ $cur == "=" ]] && cur=""
    @FN@_value "$pending" "$cur"
    return 0
  fi
  if ((!ended)) && [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(@FN@_options "$path")" -- "$cur")
    return 0
  fi
  local subcommands
  subcommands="$(@FN@_subcommands "$path")"
  if ((count == 0)) && [[ -n $subcommands ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$subcommands" -- "$cur")
    return 0
  fi
  local -a kinds
  read -r -a kinds <<<"$(@FN@_positionals "$path")"
  local n=${#kinds[@]}
  ((n == 0)) && return 0
  if [[ ${kinds[n - 1]} == "..." ]]; then
    n=$((n - 1))
    ((count >= n)) && count=$((n - 1))
  elif ((count >= n)); then
    return 0
  fi
  @FN@_value "${kinds[count]}" "$cur"
  return 0
}

complete -F @FN@ @NAME@
)sh";
  for (std::size_t at = driver.find("@FN@"); at != std::string::npos;
       at = driver.find("@FN@", at + fn.size())) {
    driver.replace(at, 4, fn);
  }
  driver.replace(driver.find("@NAME@"), 6, root.name);
  out += driver;
  return out;
}

}  // namespace quillon::docgen
