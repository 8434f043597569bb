// Pieces of roff (man macro) source shared by the man page generators.
#pragma once

#include <string>
#include <string_view>

namespace quillon::docgen {

// Text for running prose: a backslash is written as \e. Hyphens stay
// hyphens, so that words break where the text says.
std::string RoffText(std::string_view text);

// Text that a reader types (option names, commands, code): as RoffText, and
// every '-' becomes \- so that it prints and copies as an ASCII minus.
std::string RoffLiteral(std::string_view text);

// One roff input line: a line that would start with '.' or '\'' (a request)
// gets the zero-width \& in front. A line break inside becomes a blank.
std::string RoffLine(std::string_view line);

// An argument of a macro such as .SH: quoted, with '"' written as \(dq.
std::string RoffMacroArgument(std::string_view renderedText);

// The .TH line: the title is upper-cased.
std::string RoffTitle(std::string_view name, int section, std::string_view source,
                      std::string_view manual);

// ASCII upper case; other bytes unchanged.
std::string AsciiUpper(std::string_view text);

}  // namespace quillon::docgen
