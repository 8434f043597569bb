// The examples of docs/mapping-guide.md, run through the built `quillon`
// command exactly as printed.
//
// In the guide a fenced block opened by "```eval" holds examples: a line
// starting with "$ " is a command (words separated by blanks, single quotes
// around words with blanks or special characters, nothing else of a shell),
// the lines after it up to the next command or the end of the block are what
// the command prints (standard output, then standard error), and a last line
// "[exit N]" gives an exit status other than 0. Commands run from the root of
// the repository, and no shell is involved.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/run_command.h"

namespace {

using testing_support::RunCommand;

const char* const kGuide = QUILLON_SOURCE_DIR "/docs/mapping-guide.md";

// Splits a command line into words: blanks separate words, single quotes
// keep everything up to the next single quote (blanks included) in the word.
// Outside quotes only letters, digits and "=-_.,:/+%@^" are accepted, the
// characters that no shell reads specially; anything else (double quotes,
// backslashes, globs, "$", "~", braces...) is refused (nullopt), so the guide
// never shows a command that a shell would read differently from this test.
std::optional<std::vector<std::string>> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else if (c == '\'') {
      const std::size_t close = line.find('\'', i + 1);
      if (close == std::string::npos) return std::nullopt;
      word += line.substr(i + 1, close - i - 1);
      inWord = true;
      i = close;
    } else if (std::isalnum(static_cast<unsigned char>(c)) ||
               std::string_view("=-_.,:/+%@^").find(c) != std::string_view::npos) {
      word += c;
      inWord = true;
    } else {
      return std::nullopt;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

struct Example {
  int line = 0;  // of the command in the guide
  std::string command;
  std::string expected;  // output lines, each ending with "\n"
  int exitCode = 0;
};

struct Guide {
  std::vector<Example> examples;
  std::vector<std::string> problems;  // malformed blocks, with their lines
};

Guide ReadGuide(const std::string& path) {
  Guide guide;
  std::ifstream in(path);
  if (!in) {
    guide.problems.push_back("cannot read " + path);
    return guide;
  }
  std::string line;
  int number = 0;
  bool inBlock = false;
  int blockStart = 0;
  bool blockHasCommand = false;
  Example* current = nullptr;
  while (std::getline(in, line)) {
    ++number;
    if (!inBlock) {
      if (line == "```eval") {
        inBlock = true;
        blockStart = number;
        blockHasCommand = false;
        current = nullptr;
      }
      continue;
    }
    if (line.rfind("```", 0) == 0) {
      if (!blockHasCommand) {
        guide.problems.push_back("line " + std::to_string(blockStart) +
                                 ": eval block without commands");
      }
      inBlock = false;
      continue;
    }
    if (line.rfind("$ ", 0) == 0) {
      guide.examples.push_back({number, line.substr(2), "", 0});
      current = &guide.examples.back();
      blockHasCommand = true;
    } else if (current == nullptr) {
      guide.problems.push_back("line " + std::to_string(number) + ": output before any command");
    } else if (line.rfind("[exit ", 0) == 0 && line.back() == ']') {
      current->exitCode = std::stoi(line.substr(6));
    } else {
      current->expected += line + "\n";
    }
  }
  if (inBlock) {
    guide.problems.push_back("line " + std::to_string(blockStart) + ": eval block never closed");
  }
  return guide;
}

TEST(MappingGuideTest, CommandLinesSplitIntoWordsLikeAShell) {
  struct Row {
    int line;
    std::string input;
    std::optional<std::vector<std::string>> words;
  } rows[] = {
      {__LINE__, "quillon eval '[A]' A=1",
       std::vector<std::string>{"quillon", "eval", "[A]", "A=1"}},
      {__LINE__, "a  b", std::vector<std::string>{"a", "b"}},
      {__LINE__, "'Name=  Doe  '", std::vector<std::string>{"Name=  Doe  "}},
      {__LINE__, "x'y z'w", std::vector<std::string>{"xy zw"}},
      {__LINE__, "A= ''", std::vector<std::string>{"A=", ""}},
      {__LINE__, "'a|b' '$1,250.00' '\\,'", std::vector<std::string>{"a|b", "$1,250.00", "\\,"}},
      {__LINE__, "Sex=", std::vector<std::string>{"Sex="}},
      {__LINE__, "--json Dob=04/12/1980 List=a,b,c",
       std::vector<std::string>{"--json", "Dob=04/12/1980", "List=a,b,c"}},
      // What a shell would read differently is refused.
      {__LINE__, "'open", std::nullopt},
      {__LINE__, "say \"hi\"", std::nullopt},
      {__LINE__, "a\\ b", std::nullopt},
      {__LINE__, "a|b", std::nullopt},
      {__LINE__, "a;b", std::nullopt},
      {__LINE__, "a>b", std::nullopt},
      {__LINE__, "Amt=$5", std::nullopt},
      {__LINE__, "[A]", std::nullopt},
      {__LINE__, "a*", std::nullopt},
      {__LINE__, "$(x)", std::nullopt},
      {__LINE__, "x=~", std::nullopt},
      {__LINE__, "{a,b}", std::nullopt},
      {__LINE__, "#comment", std::nullopt},
      {__LINE__, "a\tb", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(SplitWords(row.input), row.words) << row.input;
  }
}

TEST(MappingGuideTest, BlocksAreWellFormed) {
  const Guide guide = ReadGuide(kGuide);
  for (const std::string& problem : guide.problems) ADD_FAILURE() << kGuide << ": " << problem;
  // The guide shows one example per modifier and more; far fewer examples
  // means the blocks are no longer found.
  EXPECT_GE(guide.examples.size(), 40u);
}

TEST(MappingGuideTest, EveryModifierHasAnExample) {
  const Guide guide = ReadGuide(kGuide);
  std::string commands;
  for (const Example& example : guide.examples) commands += example.command + "\n";
  const char* const modifiers[] = {"index{",    "trim",          "strip{",   "substring{",
                                   "truncate{", "lefttrim{",     "replace{", "format{",
                                   "separate{", "alpha2numeric", "fixed{",   "date{",
                                   "numeric{",  "lookup{",       "wrap{"};
  for (const char* modifier : modifiers) {
    EXPECT_NE(commands.find(std::string(":") + modifier), std::string::npos) << modifier;
  }
  EXPECT_NE(commands.find("quillon conditions"), std::string::npos);
}

TEST(MappingGuideTest, ExamplesPrintWhatTheGuideSays) {
  const Guide guide = ReadGuide(kGuide);
  ASSERT_FALSE(guide.examples.empty());
  for (const Example& example : guide.examples) {
    SCOPED_TRACE("docs/mapping-guide.md line " + std::to_string(example.line) + ": $ " +
                 example.command);
    const auto words = SplitWords(example.command);
    ASSERT_TRUE(words.has_value()) << "not a plain single-quoted command line";
    ASSERT_FALSE(words->empty());
    ASSERT_EQ((*words)[0], "quillon");
    // env -C runs the command in the repository root without a shell.
    std::vector<std::string> argv = {"/usr/bin/env", "-C", QUILLON_SOURCE_DIR, QUILLON_BIN};
    argv.insert(argv.end(), words->begin() + 1, words->end());
    const auto result = RunCommand(argv);
    EXPECT_EQ(result.out + result.err, example.expected);
    EXPECT_EQ(result.exitCode, example.exitCode) << result.err;
  }
}

}  // namespace
