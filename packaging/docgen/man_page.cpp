#include "packaging/docgen/man_page.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "packaging/docgen/markdown_man.h"
#include "packaging/docgen/roff.h"

namespace quillon::docgen {

namespace {

std::string Bold(std::string_view literal) {
  return "\\fB" + RoffLiteral(literal) + "\\fR";
}

std::string Italic(std::string_view literal) {
  return "\\fI" + RoffLiteral(literal) + "\\fR";
}

std::string Reference(const ManReference& reference) {
  return Bold(reference.name) + "(" + std::to_string(reference.section) + ")";
}

// Description text as a sentence: a final full stop when it has none.
std::string Sentence(std::string_view text) {
  std::string sentence(text);
  while (!sentence.empty() && (sentence.back() == ' ' || sentence.back() == '\n')) {
    sentence.pop_back();
  }
  if (!sentence.empty() && sentence.back() != '.' && sentence.back() != '!' &&
      sentence.back() != '?') {
    sentence += '.';
  }
  return sentence;
}

// The first letter upper case, as a description starts.
std::string Capitalized(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

// The footer of a command, cut into sections: lines such as "Examples:"
// start one; indented lines are kept as they are; other lines are running
// text.
struct FooterBlock {
  bool literal = false;
  std::vector<std::string> lines;
};

struct FooterSection {
  std::string heading;  // empty: belongs to DESCRIPTION
  std::vector<FooterBlock> blocks;
};

bool IsFooterHeading(std::string_view line) {
  if (line.size() < 2 || line.size() > 40 || line.back() != ':') return false;
  if (std::isupper(static_cast<unsigned char>(line.front())) == 0) return false;
  for (char c : line.substr(0, line.size() - 1)) {
    if (std::isalpha(static_cast<unsigned char>(c)) == 0 && c != ' ') return false;
  }
  return true;
}

std::vector<FooterSection> SplitFooter(std::string_view footer) {
  std::vector<FooterSection> sections(1);
  bool blankBefore = false;
  std::size_t start = 0;
  while (start < footer.size()) {
    std::size_t end = footer.find('\n', start);
    if (end == std::string_view::npos) end = footer.size();
    std::string line(footer.substr(start, end - start));
    start = end + 1;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    if (line.empty()) {
      blankBefore = true;
      continue;
    }
    if (IsFooterHeading(line)) {
      sections.push_back({line.substr(0, line.size() - 1), {}});
      blankBefore = false;
      continue;
    }
    std::vector<FooterBlock>& blocks = sections.back().blocks;
    const bool literal = line.front() == ' ' || line.front() == '\t';
    if (blocks.empty() || blankBefore || blocks.back().literal != literal) {
      blocks.push_back({literal, {}});
    }
    blocks.back().lines.push_back(line);
    blankBefore = false;
  }
  return sections;
}

void EmitFooterBlocks(const std::vector<FooterBlock>& blocks, std::string& out) {
  for (const FooterBlock& block : blocks) {
    out += ".PP\n";
    if (block.literal) {
      // The common indentation goes; the rest keeps its columns.
      std::size_t common = std::string::npos;
      for (const std::string& line : block.lines) {
        common = std::min(common, line.find_first_not_of(" \t"));
      }
      out += ".RS 4\n.nf\n";
      for (const std::string& line : block.lines) {
        out += RoffLine(RoffLiteral(line.substr(common))) + "\n";
      }
      out += ".fi\n.RE\n";
    } else {
      for (const std::string& line : block.lines) out += RoffLine(RoffText(line)) + "\n";
    }
  }
}

std::string OptionLabel(const CliOption& option) {
  if (option.IsPositional()) return Italic(option.positional);
  std::string label;
  for (const std::string& name : option.names) {
    if (!label.empty()) label += ", ";
    label += Bold(name);
  }
  if (option.takesValue) label += " " + Italic(ValuePlaceholder(option));
  return label;
}

// One element of the synopsis: [--name VALUE], positional, ...
std::string SynopsisItem(const CliOption& option) {
  std::string item;
  if (option.IsPositional()) {
    item = Italic(option.positional);
  } else {
    item = Bold(option.names.back());
    if (option.takesValue) item += "\\ " + Italic(ValuePlaceholder(option));
  }
  if (option.multiple) item += "\\&...";
  return option.required ? item : "[" + item + "]";
}

// For a page that names files under docs/: where they are installed.
std::string DocsNote(std::string_view page, const ManPageSettings& settings) {
  if (settings.docsDirectory.empty() || page.find("docs/") == std::string_view::npos) return {};
  return ".PP\nThe Debian package installs the files under docs/ named above in\n" +
         RoffText("/usr/" + settings.docsDirectory) + "; cmake \\-\\-install puts them in\n" +
         RoffText(settings.docsDirectory) + " below its prefix.\n";
}

// "name(1), name(5)" for the SEE ALSO section, one reference a line, each
// once.
std::string References(const std::vector<ManReference>& references) {
  std::string out;
  std::vector<std::string> seen;
  for (const ManReference& reference : references) {
    const std::string text = Reference(reference);
    if (std::find(seen.begin(), seen.end(), text) != seen.end()) continue;
    seen.push_back(text);
    out += (out.empty() ? "" : ",\n") + text;
  }
  return out;
}

std::string CommandPath(const std::vector<std::string>& path) {
  std::string joined;
  for (const std::string& part : path) joined += (joined.empty() ? "" : " ") + part;
  return joined;
}

std::string PageName(const std::vector<std::string>& path) {
  std::string joined;
  for (const std::string& part : path) joined += (joined.empty() ? "" : "-") + part;
  return joined;
}

// The description without a leading "name - " that repeats the command.
std::string Summary(const CliCommand& command) {
  const std::string prefix = command.name + " - ";
  if (command.description.rfind(prefix, 0) == 0) return command.description.substr(prefix.size());
  return command.description;
}

void AddPages(const CliCommand& command, std::vector<std::string> path,
              const ManPageSettings& settings, std::vector<ManPage>& pages) {
  path.push_back(command.name);
  ManPage page{PageName(path), 1, {}};
  std::string& out = page.text;
  const std::string summary = Summary(command);
  out += ManPageHeader(page.name, 1, summary, settings, false);

  out += ".SH SYNOPSIS\n";
  std::string synopsis = Bold(CommandPath(path));
  for (const CliOption& option : command.options) {
    if (!option.IsPositional()) synopsis += " " + SynopsisItem(option);
  }
  for (const CliOption& option : command.options) {
    if (option.IsPositional()) synopsis += " " + SynopsisItem(option);
  }
  if (!command.subcommands.empty())
    synopsis += " " + Italic("command") + " [" + Italic("args") + "\\&...]";
  // Left-aligned: justified, the long option names leave wide gaps.
  out += ".na\n" + RoffLine(synopsis) + "\n.ad\n";

  const std::vector<FooterSection> footer = SplitFooter(command.footer);
  out += ".SH DESCRIPTION\n" + RoffLine(RoffText(Capitalized(Sentence(summary)))) + "\n";
  EmitFooterBlocks(footer.front().blocks, out);

  if (!command.subcommands.empty()) {
    out += ".SH COMMANDS\n";
    for (const CliCommand& sub : command.subcommands) {
      std::vector<std::string> subPath = path;
      subPath.push_back(sub.name);
      out += ".TP\n" + Bold(sub.name) + "\n" + RoffLine(RoffText(Sentence(Summary(sub)))) +
             " See " + Reference({PageName(subPath), 1}) + ".\n";
    }
  }
  bool positionals = false;
  for (const CliOption& option : command.options) positionals |= option.IsPositional();
  if (positionals) {
    out += ".SH ARGUMENTS\n";
    for (const CliOption& option : command.options) {
      if (!option.IsPositional()) continue;
      out += ".TP\n" + OptionLabel(option) + (option.multiple ? "\\&..." : "") + "\n" +
             RoffLine(RoffText(Sentence(option.description))) +
             (option.required ? " Required." : "") + "\n";
    }
  }
  if (positionals ? command.options.size() > 1 : !command.options.empty()) {
    out += ".SH OPTIONS\n";
    for (const CliOption& option : command.options) {
      if (option.IsPositional()) continue;
      out += ".TP\n" + OptionLabel(option) + "\n" +
             RoffLine(RoffText(Sentence(option.description))) +
             (option.required ? " Required." : "") + "\n";
    }
  }
  for (std::size_t s = 1; s < footer.size(); ++s) {
    out += ".SH " + RoffMacroArgument(RoffText(AsciiUpper(footer[s].heading))) + "\n";
    EmitFooterBlocks(footer[s].blocks, out);
  }

  std::vector<ManReference> references;
  if (path.size() > 1) references.push_back({PageName({path.begin(), path.end() - 1}), 1});
  for (const CliCommand& sub : command.subcommands) {
    std::vector<std::string> subPath = path;
    subPath.push_back(sub.name);
    references.push_back({PageName(subPath), 1});
  }
  for (const ManReference& reference : settings.seeAlso) {
    if (reference.name != page.name || reference.section != page.section) {
      references.push_back(reference);
    }
  }
  if (!references.empty()) out += ".SH \"SEE ALSO\"\n" + References(references) + "\n";
  out += DocsNote(out, settings);
  pages.push_back(std::move(page));

  for (const CliCommand& sub : command.subcommands) AddPages(sub, path, settings, pages);
}

}  // namespace

ManReference ParseManReference(std::string_view text) {
  const std::size_t open = text.find('(');
  if (open == 0 || open == std::string_view::npos || text.size() < open + 3 || text.back() != ')') {
    throw std::invalid_argument("\"" + std::string(text) + "\" is no man page reference name(N)");
  }
  const std::string_view number = text.substr(open + 1, text.size() - open - 2);
  if (number.size() != 1 || number[0] < '1' || number[0] > '9') {
    throw std::invalid_argument("\"" + std::string(text) + "\" names no man page section 1-9");
  }
  return {std::string(text.substr(0, open)), number[0] - '0'};
}

std::string ManPageHeader(std::string_view name, int section, std::string_view summary,
                          const ManPageSettings& settings, bool tables) {
  std::string out;
  if (tables) out += "'\\\" t\n";
  out += RoffTitle(name, section, settings.source, settings.manual);
  // No hyphenation: pages are full of option names, paths and code, which
  // must read as they are typed.
  out += ".nh\n";
  out += ".SH NAME\n" + RoffLine(RoffLiteral(name) + " \\- " + RoffText(summary)) + "\n";
  return out;
}

std::vector<ManPage> CommandManPages(const CliCommand& root, const ManPageSettings& settings) {
  std::vector<ManPage> pages;
  AddPages(root, {}, settings, pages);
  return pages;
}

ManPage MarkdownManPage(std::string_view name, int section, std::string_view summary,
                        const std::vector<std::string>& documents,
                        const ManPageSettings& settings) {
  std::string body;
  for (const std::string& document : documents) body += MarkdownToMan(document);
  ManPage page{std::string(name), section, {}};
  page.text =
      ManPageHeader(name, section, summary, settings, body.find("\n.TS\n") != std::string::npos);
  page.text += body;
  std::vector<ManReference> references;
  for (const ManReference& reference : settings.seeAlso) {
    if (reference.name != page.name || reference.section != page.section) {
      references.push_back(reference);
    }
  }
  if (!references.empty()) page.text += ".SH \"SEE ALSO\"\n" + References(references) + "\n";
  page.text += DocsNote(body, settings);
  return page;
}

}  // namespace quillon::docgen
