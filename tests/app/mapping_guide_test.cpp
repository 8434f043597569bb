// The examples of docs/*.md (the mapping guide above all), run through the
// built `quillon` command exactly as printed.
//
// In the docs a fenced block opened by "```eval" holds examples: a line
// starting with "$ " is a command (words separated by blanks, single quotes
// around words with blanks or special characters, nothing else of a shell),
// the lines after it up to the next command or the end of the block are what
// the command prints (standard output, then standard error), a line "..."
// stands for any number of lines (a date, a number that changes), and a last
// line "[exit N]" gives an exit status other than 0. Commands run from the
// root of the repository, and no shell is involved.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

// Whether the output matches the expected lines from `e` and `a` on; "..."
// matches any run of lines.
bool Matches(const std::vector<std::string>& expected, std::size_t e,
             const std::vector<std::string>& actual, std::size_t a) {
  if (e == expected.size()) return a == actual.size();
  if (expected[e] == "...") {
    for (std::size_t skip = a; skip <= actual.size(); ++skip) {
      if (Matches(expected, e + 1, actual, skip)) return true;
    }
    return false;
  }
  return a < actual.size() && actual[a] == expected[e] && Matches(expected, e + 1, actual, a + 1);
}

TEST(MappingGuideTest, ElidedLinesMatchAnyRun) {
  struct Row {
    int line;
    std::string expected;
    std::string actual;
    bool matches;
  } rows[] = {
      {__LINE__, "a\n...\nd\n", "a\nb\nc\nd\n", true}, {__LINE__, "a\n...\nd\n", "a\nd\n", true},
      {__LINE__, "a\n...\n", "a\nx\n", true},          {__LINE__, "a\n...\nd\n", "a\nb\n", false},
      {__LINE__, "a\nb\n", "a\nb\nc\n", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(Matches(Lines(row.expected), 0, Lines(row.actual), 0), row.matches);
  }
}

// Every eval block of every page of docs/.
TEST(DocsExamples, EveryPagesExamplesPrintWhatThePageSays) {
  std::vector<std::string> pages;
  for (const auto& entry : std::filesystem::directory_iterator(QUILLON_SOURCE_DIR "/docs")) {
    if (entry.path().extension() == ".md") pages.push_back(entry.path().string());
  }
  std::sort(pages.begin(), pages.end());
  std::size_t examples = 0;
  for (const std::string& page : pages) {
    if (page == kGuide) continue;  // below
    const Guide guide = ReadGuide(page);
    for (const std::string& problem : guide.problems) ADD_FAILURE() << page << ": " << problem;
    for (const Example& example : guide.examples) {
      SCOPED_TRACE(page + " line " + std::to_string(example.line) + ": $ " + example.command);
      ++examples;
      const auto words = SplitWords(example.command);
      ASSERT_TRUE(words.has_value()) << "not a plain single-quoted command line";
      ASSERT_FALSE(words->empty());
      ASSERT_EQ((*words)[0], "quillon");
      std::vector<std::string> argv = {"/usr/bin/env", "-C", QUILLON_SOURCE_DIR, QUILLON_BIN};
      argv.insert(argv.end(), words->begin() + 1, words->end());
      const auto result = RunCommand(argv);
      EXPECT_TRUE(Matches(Lines(example.expected), 0, Lines(result.out + result.err), 0))
          << "expected:\n"
          << example.expected << "printed:\n"
          << result.out << result.err;
      EXPECT_EQ(result.exitCode, example.exitCode) << result.err;
    }
  }
  EXPECT_GE(examples, 5u);
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
