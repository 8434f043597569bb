// Markdown to man page body, for the subset the project's documentation
// uses: ATX headings, paragraphs, bullet and numbered lists (nested),
// fenced and indented code blocks, pipe tables, code spans, *emphasis*,
// **strong** text, links and backslash escapes. Anything else stays text.
//
// Level-1 headings become sections (.SH, upper-cased), deeper ones
// subsections (.SS). Tables go through tbl; the page that holds them must
// start with the '\" t line (ManPageHeader does that).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon::docgen {

// Width, in characters, that tables must fit; nroff man pages are 78
// characters wide with a 7-character indent.
inline constexpr int kTableWidth = 71;

// The roff body of one Markdown document.
std::string MarkdownToMan(std::string_view markdown);

// One run of inline Markdown as roff text; `font` is the font to return to
// after a code span or emphasis ("R", "B" or "I").
std::string RenderInline(std::string_view text, std::string_view font = "R");

// The text of inline Markdown without its markup, for measuring.
std::string PlainInline(std::string_view text);

// Characters of UTF-8 text (code points).
int DisplayWidth(std::string_view text);

struct ColumnWidths {
  int natural = 0;      // widest cell
  int longestWord = 0;  // widest word of any cell: narrower, a line cannot break
};

// Widths for the columns of a table so that the whole table (3 characters
// between columns) fits `width`: columns narrower than their share keep
// their width, the others share the rest in proportion to their natural
// width, none narrower than its longest word. Empty when the cells fit as
// they are.
std::vector<int> FitColumns(const std::vector<ColumnWidths>& columns, int width);

}  // namespace quillon::docgen
