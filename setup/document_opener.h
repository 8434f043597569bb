// DocumentOpener: "open this document with whatever the desktop opens it
// with" (the dialog's help pages) behind an interface. The window hands the
// path to the desktop; ConsoleDocumentOpener names it on standard output.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "quillon_export.h"

namespace quillon {

class QUILLON_API DocumentOpener {
 public:
  virtual ~DocumentOpener();
  // Opens the document or folder at `path` (the system's Windows-form path;
  // platform::ToNativePath gives the file) with the "open" verb, without
  // parameters, shown maximised. May raise platform::Error.
  virtual void Open(std::string_view path) = 0;
};

// Writes "open: NATIVE-PATH" on a line of its own.
class QUILLON_API ConsoleDocumentOpener final : public DocumentOpener {
 public:
  explicit ConsoleDocumentOpener(std::FILE* out = stdout) noexcept : out_(out) {}
  void Open(std::string_view path) override;

 private:
  std::FILE* out_;
};

}  // namespace quillon
