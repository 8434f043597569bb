#include "packaging/docgen/roff.h"

namespace quillon::docgen {

std::string RoffText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else {
      out += c;
    }
  }
  return out;
}

std::string RoffLiteral(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  return out;
}

std::string RoffLine(std::string_view line) {
  std::string out;
  if (!line.empty() && (line.front() == '.' || line.front() == '\'')) out += "\\&";
  for (char c : line) out += (c == '\n' || c == '\r') ? ' ' : c;
  return out;
}

std::string RoffMacroArgument(std::string_view renderedText) {
  std::string out = "\"";
  for (char c : renderedText) {
    if (c == '"') {
      out += "\\(dq";
    } else if (c == '\n' || c == '\r') {
      out += ' ';
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

std::string RoffTitle(std::string_view name, int section, std::string_view source,
                      std::string_view manual) {
  return ".TH " + RoffMacroArgument(RoffLiteral(AsciiUpper(name))) + " " + std::to_string(section) +
         " \"\" " + RoffMacroArgument(RoffText(source)) + " " +
         RoffMacroArgument(RoffText(manual)) + "\n";
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace quillon::docgen
