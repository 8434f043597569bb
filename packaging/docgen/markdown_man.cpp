#include "packaging/docgen/markdown_man.h"

#include <algorithm>
#include <cctype>
#include <numeric>

#include "packaging/docgen/roff.h"

namespace quillon::docgen {

namespace {

// ---- inline text ------------------------------------------------------------

bool IsAsciiPunctuation(char c) {
  return c >= 0 && std::ispunct(static_cast<unsigned char>(c)) != 0;
}

// Renders inline Markdown either as roff (with font changes) or as plain
// text without markup (for measuring).
class InlineRenderer {
 public:
  explicit InlineRenderer(bool plain) : plain_(plain) {}

  std::string Render(std::string_view text, std::string_view font) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
      const char c = text[i];
      if (c == '\\' && i + 1 < text.size() && IsAsciiPunctuation(text[i + 1])) {
        out += Text(text.substr(i + 1, 1));
        i += 2;
      } else if (c == '`') {
        i = CodeSpan(text, i, font, out);
      } else if (c == '*') {
        i = Emphasis(text, i, font, out);
      } else if (c == '[') {
        i = Link(text, i, font, out);
      } else {
        const std::size_t end = text.find_first_of("\\`*[", i + 1);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        out += Text(text.substr(i, stop - i));
        i = stop;
      }
    }
    return out;
  }

 private:
  std::string Text(std::string_view text) const {
    return plain_ ? std::string(text) : RoffText(text);
  }

  std::string Font(std::string_view font) const {
    return plain_ ? std::string() : "\\f" + std::string(font);
  }

  // `code`: a run of n backticks up to the next run of exactly n.
  std::size_t CodeSpan(std::string_view text, std::size_t start, std::string_view font,
                       std::string& out) {
    std::size_t n = 0;
    while (start + n < text.size() && text[start + n] == '`') ++n;
    std::size_t search = start + n;
    while (search < text.size()) {
      const std::size_t open = text.find('`', search);
      if (open == std::string_view::npos) break;
      std::size_t run = 0;
      while (open + run < text.size() && text[open + run] == '`') ++run;
      if (run == n) {
        std::string code(text.substr(start + n, open - start - n));
        std::replace(code.begin(), code.end(), '\n', ' ');
        if (code.size() >= 2 && code.front() == ' ' && code.back() == ' ' &&
            code.find_first_not_of(' ') != std::string::npos) {
          code = code.substr(1, code.size() - 2);
        }
        out += Font("B") + (plain_ ? code : RoffLiteral(code)) + Font(font);
        return open + run;
      }
      search = open + run;
    }
    // No closing run: the backticks are text.
    out += Text(text.substr(start, n));
    return start + n;
  }

  // **strong** and *emphasis*: the opening marker is followed and the
  // closing one preceded by a non-blank.
  std::size_t Emphasis(std::string_view text, std::size_t start, std::string_view font,
                       std::string& out) {
    const bool strong = text.substr(start, 2) == "**";
    const std::string_view marker = strong ? "**" : "*";
    const std::size_t contentStart = start + marker.size();
    if (contentStart < text.size() && text[contentStart] != ' ' && text[contentStart] != '*') {
      std::size_t close = text.find(marker, contentStart + 1);
      while (close != std::string_view::npos && text[close - 1] == ' ') {
        close = text.find(marker, close + 1);
      }
      if (close != std::string_view::npos) {
        const std::string inner = strong ? "B" : "I";
        out += Font(inner) + Render(text.substr(contentStart, close - contentStart), inner) +
               Font(font);
        return close + marker.size();
      }
    }
    out += Text(marker);
    return contentStart;
  }

  // [text](target): the text, then the target in parentheses unless it is
  // the same.
  std::size_t Link(std::string_view text, std::size_t start, std::string_view font,
                   std::string& out) {
    const std::size_t close = text.find(']', start + 1);
    if (close != std::string_view::npos && close + 1 < text.size() && text[close + 1] == '(') {
      const std::size_t end = text.find(')', close + 2);
      if (end != std::string_view::npos) {
        const std::string_view label = text.substr(start + 1, close - start - 1);
        const std::string_view target = text.substr(close + 2, end - close - 2);
        out += Render(label, font);
        if (!target.empty() && target != label) out += " (" + Text(target) + ")";
        return end + 1;
      }
    }
    out += Text("[");
    return start + 1;
  }

  bool plain_;
};

// ---- blocks -------------------------------------------------------------------

struct Block;

struct ListItem {
  std::string marker;  // "-" for bullets, "3." for numbers
  std::vector<Block> blocks;
};

struct Block {
  enum class Kind { kHeading, kParagraph, kCode, kTable, kList };
  explicit Block(Kind k) : kind(k) {}

  Kind kind;
  int level = 0;                               // headings
  std::string text;                            // headings, paragraphs
  std::vector<std::string> lines;              // code
  std::vector<std::vector<std::string>> rows;  // tables, the first is the header
  std::vector<ListItem> items;                 // lists
};

int Indent(std::string_view line) {
  int indent = 0;
  for (char c : line) {
    if (c == ' ') {
      ++indent;
    } else if (c == '\t') {
      indent += 4 - indent % 4;
    } else {
      break;
    }
  }
  return indent;
}

// The line without its first `count` columns of indentation.
std::string Dedent(std::string_view line, int count) {
  int column = 0;
  std::size_t i = 0;
  while (i < line.size() && column < count && (line[i] == ' ' || line[i] == '\t')) {
    column += line[i] == '\t' ? 4 - column % 4 : 1;
    ++i;
  }
  return std::string(line.substr(i));
}

std::string Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

bool IsFence(std::string_view trimmed) {
  return trimmed.rfind("```", 0) == 0 || trimmed.rfind("~~~", 0) == 0;
}

bool IsHeading(std::string_view trimmed) {
  std::size_t n = 0;
  while (n < trimmed.size() && trimmed[n] == '#') ++n;
  return n >= 1 && n <= 6 && (n == trimmed.size() || trimmed[n] == ' ');
}

bool IsTableSeparator(std::string_view line) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed.find('-') == std::string::npos) return false;
  return trimmed.find_first_not_of("|-: ") == std::string::npos;
}

bool IsTableStart(const std::vector<std::string>& lines, std::size_t i) {
  return Trim(lines[i]).rfind('|', 0) == 0 && i + 1 < lines.size() &&
         IsTableSeparator(lines[i + 1]);
}

struct ListMarker {
  bool found = false;
  bool ordered = false;
  char delimiter = 0;  // '-', '*', '+', or '.' / ')' after a number
  std::string marker;
  int indent = 0;         // column of the marker
  int contentColumn = 0;  // column where the item's text starts
  std::string content;
};

ListMarker ParseListMarker(std::string_view line) {
  ListMarker m;
  m.indent = Indent(line);
  const std::string rest = Dedent(line, m.indent);
  std::size_t width = 0;
  if (!rest.empty() && (rest[0] == '-' || rest[0] == '*' || rest[0] == '+')) {
    m.delimiter = rest[0];
    m.marker = "-";
    width = 1;
  } else {
    while (width < rest.size() && width < 9 &&
           std::isdigit(static_cast<unsigned char>(rest[width]))) {
      ++width;
    }
    if (width == 0 || width >= rest.size() || (rest[width] != '.' && rest[width] != ')')) return m;
    m.ordered = true;
    m.delimiter = rest[width];
    m.marker = rest.substr(0, width + 1);
    ++width;
  }
  if (width < rest.size() && rest[width] != ' ' && rest[width] != '\t') return m;
  std::size_t spaces = 0;
  while (width + spaces < rest.size() && rest[width + spaces] == ' ') ++spaces;
  if (spaces == 0 && width < rest.size()) return m;
  if (spaces > 4) spaces = 1;  // the rest is indented code; keep it simple
  if (spaces == 0) spaces = 1;
  m.found = true;
  m.contentColumn = m.indent + static_cast<int>(width + spaces);
  m.content = width + spaces <= rest.size() ? rest.substr(std::min(rest.size(), width + spaces))
                                            : std::string();
  return m;
}

// A line that ends a paragraph: it starts another kind of block. Numbered
// items interrupt a paragraph only when they start with 1.
bool InterruptsParagraph(const std::vector<std::string>& lines, std::size_t i) {
  const std::string& line = lines[i];
  if (IsBlank(line)) return true;
  if (Indent(line) >= 4) return false;
  const std::string trimmed = Trim(line);
  if (IsFence(trimmed) || IsHeading(trimmed) || IsTableStart(lines, i)) return true;
  const ListMarker m = ParseListMarker(line);
  return m.found && !IsBlank(m.content) && (!m.ordered || m.marker == "1." || m.marker == "1)");
}

std::vector<Block> ParseBlocks(const std::vector<std::string>& lines);

std::vector<std::string> SplitTableRow(std::string_view line) {
  std::string trimmed = Trim(line);
  if (!trimmed.empty() && trimmed.front() == '|') trimmed.erase(0, 1);
  if (!trimmed.empty() && trimmed.back() == '|' &&
      (trimmed.size() < 2 || trimmed[trimmed.size() - 2] != '\\')) {
    trimmed.pop_back();
  }
  std::vector<std::string> cells;
  std::string cell;
  for (std::size_t i = 0; i < trimmed.size(); ++i) {
    if (trimmed[i] == '\\' && i + 1 < trimmed.size() && trimmed[i + 1] == '|') {
      cell += '|';  // an escaped pipe, in code spans too
      ++i;
    } else if (trimmed[i] == '|') {
      cells.push_back(Trim(cell));
      cell.clear();
    } else {
      cell += trimmed[i];
    }
  }
  cells.push_back(Trim(cell));
  return cells;
}

Block ParseList(const std::vector<std::string>& lines, std::size_t& i) {
  Block list{Block::Kind::kList};
  const ListMarker first = ParseListMarker(lines[i]);
  while (i < lines.size()) {
    const ListMarker m = ParseListMarker(lines[i]);
    if (!m.found || m.ordered != first.ordered || m.delimiter != first.delimiter ||
        m.indent < first.indent || m.indent > first.indent + 3) {
      break;
    }
    std::vector<std::string> itemLines{m.content};
    ++i;
    while (i < lines.size()) {
      const std::string& line = lines[i];
      if (IsBlank(line)) {
        std::size_t next = i + 1;
        while (next < lines.size() && IsBlank(lines[next])) ++next;
        if (next < lines.size() && Indent(lines[next]) >= m.contentColumn) {
          itemLines.insert(itemLines.end(), next - i, std::string());
          i = next;
          continue;
        }
        break;
      }
      if (Indent(line) >= m.contentColumn) {
        itemLines.push_back(Dedent(line, m.contentColumn));
        ++i;
        continue;
      }
      if (ParseListMarker(line).found) break;
      // A lazy continuation of the item's last paragraph.
      if (!IsBlank(itemLines.back()) && !InterruptsParagraph(lines, i)) {
        itemLines.push_back(Trim(line));
        ++i;
        continue;
      }
      break;
    }
    list.items.push_back({m.marker, ParseBlocks(itemLines)});
    // Blank lines between items of one list.
    std::size_t next = i;
    while (next < lines.size() && IsBlank(lines[next])) ++next;
    if (next < lines.size() && next != i) {
      const ListMarker after = ParseListMarker(lines[next]);
      if (after.found && after.ordered == first.ordered && after.delimiter == first.delimiter &&
          after.indent >= first.indent && after.indent <= first.indent + 3) {
        i = next;
      }
    }
  }
  return list;
}

std::vector<Block> ParseBlocks(const std::vector<std::string>& lines) {
  std::vector<Block> blocks;
  std::size_t i = 0;
  while (i < lines.size()) {
    const std::string& line = lines[i];
    if (IsBlank(line)) {
      ++i;
      continue;
    }
    const int indent = Indent(line);
    if (indent >= 4) {
      Block code{Block::Kind::kCode};
      while (i < lines.size() && (IsBlank(lines[i]) || Indent(lines[i]) >= 4)) {
        code.lines.push_back(IsBlank(lines[i]) ? std::string() : Dedent(lines[i], 4));
        ++i;
      }
      while (!code.lines.empty() && code.lines.back().empty()) code.lines.pop_back();
      blocks.push_back(std::move(code));
      continue;
    }
    const std::string trimmed = Trim(line);
    if (IsFence(trimmed)) {
      const char fenceChar = trimmed[0];
      std::size_t fenceLength = 0;
      while (fenceLength < trimmed.size() && trimmed[fenceLength] == fenceChar) ++fenceLength;
      Block code{Block::Kind::kCode};
      ++i;
      while (i < lines.size()) {
        const std::string closing = Trim(lines[i]);
        std::size_t run = 0;
        while (run < closing.size() && closing[run] == fenceChar) ++run;
        if (run >= fenceLength && run == closing.size()) {
          ++i;
          break;
        }
        code.lines.push_back(Dedent(lines[i], indent));
        ++i;
      }
      blocks.push_back(std::move(code));
      continue;
    }
    if (IsHeading(trimmed)) {
      Block heading{Block::Kind::kHeading};
      while (heading.level < static_cast<int>(trimmed.size()) && trimmed[heading.level] == '#') {
        ++heading.level;
      }
      std::string text = Trim(trimmed.substr(heading.level));
      // An optional closing run of '#'.
      const std::size_t closing = text.find_last_not_of('#');
      if (closing != std::string::npos && closing + 1 < text.size() && text[closing] == ' ') {
        text = Trim(text.substr(0, closing));
      }
      heading.text = text;
      blocks.push_back(std::move(heading));
      ++i;
      continue;
    }
    if (IsTableStart(lines, i)) {
      Block table{Block::Kind::kTable};
      table.rows.push_back(SplitTableRow(line));
      i += 2;
      while (i < lines.size() && Trim(lines[i]).rfind('|', 0) == 0) {
        table.rows.push_back(SplitTableRow(lines[i]));
        ++i;
      }
      blocks.push_back(std::move(table));
      continue;
    }
    if (ParseListMarker(line).found) {
      blocks.push_back(ParseList(lines, i));
      continue;
    }
    Block paragraph{Block::Kind::kParagraph};
    paragraph.text = Trim(line);
    ++i;
    while (i < lines.size() && !InterruptsParagraph(lines, i)) {
      paragraph.text += "\n" + Trim(lines[i]);
      ++i;
    }
    blocks.push_back(std::move(paragraph));
  }
  return blocks;
}

// ---- roff ---------------------------------------------------------------------

void EmitLines(std::string_view rendered, std::string& out) {
  std::size_t start = 0;
  while (start <= rendered.size()) {
    const std::size_t end = std::min(rendered.find('\n', start), rendered.size());
    out += RoffLine(rendered.substr(start, end - start)) + "\n";
    start = end + 1;
  }
}

int LongestWord(std::string_view plain) {
  int longest = 0;
  std::size_t start = 0;
  while (start < plain.size()) {
    const std::size_t end = std::min(plain.find(' ', start), plain.size());
    longest = std::max(longest, DisplayWidth(plain.substr(start, end - start)));
    start = end + 1;
  }
  return longest;
}

void EmitTable(const Block& table, std::string& out) {
  std::size_t columns = 0;
  for (const auto& row : table.rows) columns = std::max(columns, row.size());
  std::vector<ColumnWidths> widths(columns);
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    for (std::size_t c = 0; c < table.rows[r].size(); ++c) {
      const std::string plain = PlainInline(table.rows[r][c]);
      widths[c].natural = std::max(widths[c].natural, DisplayWidth(plain));
      widths[c].longestWord = std::max(widths[c].longestWord, LongestWord(plain));
    }
  }
  const std::vector<int> fitted = FitColumns(widths, kTableWidth);
  const bool wrap = !fitted.empty();

  // Room for the tallest wrapped cell: on a terminal man renders one long
  // page that grows on .ne, and tbl checks every text block against the room
  // left on the page (generously estimated: cells rarely fill their lines).
  int tallest = 1;
  if (wrap) {
    for (const auto& row : table.rows) {
      for (std::size_t c = 0; c < row.size(); ++c) {
        const int width = std::max(fitted[c], 1);
        tallest =
            std::max(tallest, (DisplayWidth(PlainInline(row[c])) * 2 + width - 1) / width + 1);
      }
    }
  }
  // No adjusting inside the table: narrow cells cannot be justified.
  out += ".PP\n.ne " + std::to_string(tallest + 2) + "v\n.na\n.TS\ntab(\t);\n";
  for (std::size_t line = 0; line < 2; ++line) {
    for (std::size_t c = 0; c < columns; ++c) {
      if (c > 0) out += ' ';
      out += 'l';
      if (wrap) out += "w(" + std::to_string(fitted[c]) + "n)";
    }
    out += line == 0 ? "\n" : ".\n";
  }
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    for (std::size_t c = 0; c < columns; ++c) {
      if (c > 0) out += '\t';
      const std::string cell = c < table.rows[r].size() ? table.rows[r][c] : std::string();
      std::string rendered =
          r == 0 ? "\\fB" + RenderInline(cell, "B") + "\\fR" : RenderInline(cell);
      if (wrap) {
        out += "T{\n";
        EmitLines(rendered, out);
        out += "T}";
      } else {
        // \& keeps a cell such as "_" or "=" from drawing a rule.
        out += "\\&" + rendered;
      }
    }
    out += "\n";
    if (r == 0) out += "_\n";
  }
  out += ".TE\n.ad\n";
}

void EmitBlocks(const std::vector<Block>& blocks, std::string& out, bool firstInItem);

void EmitList(const Block& list, std::string& out) {
  for (const ListItem& item : list.items) {
    if (item.marker == "-") {
      out += ".IP \\(bu 2\n";
    } else {
      out += ".IP " + RoffMacroArgument(RoffText(item.marker)) + " " +
             std::to_string(std::max<std::size_t>(4, item.marker.size() + 1)) + "\n";
    }
    const int indent = item.marker == "-" ? 2 : std::max<int>(4, item.marker.size() + 1);
    std::size_t rest = 0;
    if (!item.blocks.empty() && item.blocks[0].kind == Block::Kind::kParagraph) {
      EmitLines(RenderInline(item.blocks[0].text), out);
      rest = 1;
    }
    if (rest < item.blocks.size()) {
      out += ".RS " + std::to_string(indent) + "\n";
      EmitBlocks({item.blocks.begin() + static_cast<std::ptrdiff_t>(rest), item.blocks.end()}, out,
                 rest == 0);
      out += ".RE\n";
    }
  }
}

void EmitBlocks(const std::vector<Block>& blocks, std::string& out, bool firstInItem) {
  bool first = firstInItem;
  for (const Block& block : blocks) {
    switch (block.kind) {
      case Block::Kind::kHeading:
        if (block.level == 1) {
          out += ".SH " + RoffMacroArgument(RenderInline(AsciiUpper(block.text))) + "\n";
        } else {
          out += ".SS " + RoffMacroArgument(RenderInline(block.text)) + "\n";
        }
        break;
      case Block::Kind::kParagraph:
        if (!first) out += ".PP\n";
        EmitLines(RenderInline(block.text), out);
        break;
      case Block::Kind::kCode:
        if (!first) out += ".PP\n";
        out += ".RS 4\n.nf\n";
        for (const std::string& line : block.lines) out += RoffLine(RoffLiteral(line)) + "\n";
        out += ".fi\n.RE\n";
        break;
      case Block::Kind::kTable:
        EmitTable(block, out);
        break;
      case Block::Kind::kList:
        EmitList(block, out);
        break;
    }
    first = false;
  }
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::string MarkdownToMan(std::string_view markdown) {
  std::string out;
  EmitBlocks(ParseBlocks(SplitLines(markdown)), out, false);
  return out;
}

std::string RenderInline(std::string_view text, std::string_view font) {
  return InlineRenderer(false).Render(text, font);
}

std::string PlainInline(std::string_view text) {
  return InlineRenderer(true).Render(text, "R");
}

int DisplayWidth(std::string_view text) {
  int width = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
  }
  return width;
}

std::vector<int> FitColumns(const std::vector<ColumnWidths>& columns, int width) {
  const int count = static_cast<int>(columns.size());
  if (count == 0) return {};
  const int available = width - 3 * (count - 1);
  int total = 0;
  for (const ColumnWidths& c : columns) total += c.natural;
  if (total <= available) return {};

  // Columns within an even share of what is left keep their width; repeat
  // until no more columns settle.
  std::vector<int> fitted(columns.size(), 0);
  std::vector<bool> settled(columns.size(), false);
  int left = available;
  int open = count;
  bool changed = true;
  while (changed && open > 0) {
    changed = false;
    const int share = left / open;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (!settled[c] && columns[c].natural <= share) {
        fitted[c] = columns[c].natural;
        settled[c] = true;
        left -= columns[c].natural;
        --open;
        changed = true;
      }
    }
  }
  int openNatural = 0;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (!settled[c]) openNatural += columns[c].natural;
  }
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (settled[c]) continue;
    const int proportional =
        openNatural > 0
            ? static_cast<int>(static_cast<long long>(left) * columns[c].natural / openNatural)
            : 0;
    fitted[c] = std::max({proportional, columns[c].longestWord, 1});
  }
  // Longest words may have pushed the table over: take the excess from the
  // columns with the most room above their longest word.
  int used = 3 * (count - 1);
  for (int w : fitted) used += w;
  while (used > width) {
    std::size_t widest = columns.size();
    int room = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const int slack = fitted[c] - std::max(columns[c].longestWord, 1);
      if (slack > room) {
        room = slack;
        widest = c;
      }
    }
    if (widest == columns.size()) break;  // words longer than the page: nothing to give
    --fitted[widest];
    --used;
  }
  return fitted;
}

}  // namespace quillon::docgen
