// quillon-docgen: makes the man pages and the bash completion of the
// `quillon` command at build time (see packaging/generate_docs.cmake).
//
//   quillon-docgen man-pages --cli CLI.json --out DIR [settings]
//       DIR/man1/quillon.1, DIR/man1/quillon-SUBCOMMAND.1, ...
//   quillon-docgen markdown-page --name NAME --section N --summary TEXT
//                  --out FILE [settings] DOC.md...
//   quillon-docgen completion --cli CLI.json --out FILE
// settings: --source TEXT --manual TEXT --see-also NAME(N)... --docs-dir DIR
//
// CLI.json is what `quillon --describe-cli` prints. Every file is written
// under a temporary name and renamed when complete.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "packaging/docgen/bash_completion.h"
#include "packaging/docgen/cli_command.h"
#include "packaging/docgen/man_page.h"

namespace {

using namespace quillon::docgen;
namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw std::runtime_error("cannot read " + path);
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  const fs::path partial = path.string() + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw std::runtime_error("cannot write " + partial.string());
  }
  fs::rename(partial, path);
}

struct Settings {
  std::string source = "quillon";
  std::string manual = "Quillon Manual";
  std::vector<std::string> seeAlso;
  std::string docsDirectory;

  ManPageSettings ToManPageSettings() const {
    ManPageSettings settings{source, manual, {}, docsDirectory};
    for (const std::string& reference : seeAlso) {
      settings.seeAlso.push_back(ParseManReference(reference));
    }
    return settings;
  }
};

void AddSettings(CLI::App& sub, Settings& settings) {
  sub.add_option("--source", settings.source, "Source field of the pages (\"quillon 0.1.0\")");
  sub.add_option("--manual", settings.manual, "Manual field of the pages");
  sub.add_option("--see-also", settings.seeAlso, "Pages every page refers to, as NAME(N)");
  sub.add_option("--docs-dir", settings.docsDirectory,
                 "Where docs/ is installed, below the installation prefix");
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"quillon-docgen - man pages and bash completion of the quillon command"};
  app.require_subcommand(1);
  Settings settings;

  std::string cliFile;
  std::string outPath;
  CLI::App* manPages = app.add_subcommand("man-pages", "Man pages of the command");
  manPages->add_option("--cli", cliFile, "Output of quillon --describe-cli")->required();
  manPages->add_option("--out", outPath, "Directory of the man1/ folder")->required();
  AddSettings(*manPages, settings);

  std::string name;
  int section = 5;
  std::string summary;
  std::vector<std::string> documents;
  CLI::App* markdown = app.add_subcommand("markdown-page", "A man page from Markdown documents");
  markdown->add_option("--name", name, "Page name")->required();
  markdown->add_option("--section", section, "Section number")->required()->check(CLI::Range(1, 9));
  markdown->add_option("--summary", summary, "Text of the NAME section")->required();
  markdown->add_option("--out", outPath, "Page file")->required();
  markdown->add_option("documents", documents, "Markdown files, in order")->required();
  AddSettings(*markdown, settings);

  CLI::App* completion = app.add_subcommand("completion", "The bash completion script");
  completion->add_option("--cli", cliFile, "Output of quillon --describe-cli")->required();
  completion->add_option("--out", outPath, "Script file")->required();

  CLI11_PARSE(app, argc, argv);

  try {
    if (manPages->parsed()) {
      const CliCommand root = ParseCliDescription(ReadFile(cliFile));
      for (const ManPage& page : CommandManPages(root, settings.ToManPageSettings())) {
        WriteFile(fs::path(outPath) / ("man" + std::to_string(page.section)) / page.FileName(),
                  page.text);
      }
    } else if (markdown->parsed()) {
      std::vector<std::string> texts;
      for (const std::string& document : documents) texts.push_back(ReadFile(document));
      const ManPage page =
          MarkdownManPage(name, section, summary, texts, settings.ToManPageSettings());
      WriteFile(outPath, page.text);
    } else if (completion->parsed()) {
      WriteFile(outPath, BashCompletion(ParseCliDescription(ReadFile(cliFile))));
    }
  } catch (const std::exception& e) {
    std::cerr << "quillon-docgen: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
