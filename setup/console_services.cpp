// The console stand-ins for the dialog's folder picker and document opener.
#include <errno.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/native_path.h"
#include "setup/document_opener.h"
#include "setup/folder_picker.h"

namespace quillon {

FolderPicker::~FolderPicker() = default;
DocumentOpener::~DocumentOpener() = default;

std::string ConsoleFolderPicker::BrowseForFolder(std::string_view title) {
  std::fprintf(stderr, "%.*s (a folder, or an empty line to cancel)\n",
               static_cast<int>(title.size()), title.data());
  if (::isatty(input_) != 1) return {};
  std::fprintf(stderr, "> ");
  std::string line;
  char c = 0;
  for (;;) {
    const ssize_t got = ::read(input_, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || c == '\n') break;
    if (c != '\r') line.push_back(c);
  }
  return line;
}

void ConsoleDocumentOpener::Open(std::string_view path) {
  const std::string native = platform::ToNativePath(path);
  std::fprintf(out_, "open: %s\n", native.c_str());
  std::fflush(out_);
}

}  // namespace quillon
