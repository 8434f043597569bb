// Man pages of the `quillon` command and its subcommands, made from the
// command's own description (CliCommand), and man pages made from Markdown
// documents.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "packaging/docgen/cli_command.h"

namespace quillon::docgen {

struct ManPage {
  std::string name;  // "quillon-values"
  int section = 1;
  std::string text;  // roff source

  std::string FileName() const { return name + "." + std::to_string(section); }
};

// A reference to another page, "name(section)".
struct ManReference {
  std::string name;
  int section = 1;
};

// Reads "quillon-mappings(5)"; throws std::invalid_argument otherwise.
ManReference ParseManReference(std::string_view text);

struct ManPageSettings {
  std::string source;                 // ".TH" source field: "quillon 0.1.0"
  std::string manual;                 // ".TH" manual field
  std::vector<ManReference> seeAlso;  // pages every page refers to
  // Where the files under docs/ are installed, below the installation
  // prefix ("share/doc/quillon/docs"); a page that names docs/ says so.
  std::string docsDirectory;
};

// The page lines up to and including the NAME section. `tables` adds the
// line that makes man run tbl.
std::string ManPageHeader(std::string_view name, int section, std::string_view summary,
                          const ManPageSettings& settings, bool tables);

// quillon(1) and one page per subcommand (quillon-values(1), ...), nested
// subcommands joined by '-'. The text of each comes from the description:
// NAME and DESCRIPTION from the command's description, SYNOPSIS, ARGUMENTS
// and OPTIONS from its options, COMMANDS from its subcommands, and its
// footer ("Examples:" lines start a section named after them, indented
// lines are shown as they are).
std::vector<ManPage> CommandManPages(const CliCommand& root, const ManPageSettings& settings);

// A page made of Markdown documents, one after the other.
ManPage MarkdownManPage(std::string_view name, int section, std::string_view summary,
                        const std::vector<std::string>& documents, const ManPageSettings& settings);

}  // namespace quillon::docgen
