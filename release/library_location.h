// Where the connector's own library lives, for the places that fall back to
// "the library's folder" (working directory, log file name, start-up line).
//
// The library is found with dladdr() on one of its own functions, so it is
// libquillon.so when the connector is loaded as a shared library and the
// program itself when the release code is linked statically (tests, the
// benchmark).
#pragma once

#include <string>

#include "quillon_export.h"

namespace quillon {

// The folder of the library, without a trailing separator ("" when unknown).
QUILLON_API std::string LibraryDirectory();
// The library's file name up to its first "." ("libquillon" for
// libquillon.so.0).
QUILLON_API std::string LibraryBaseName();
// Major, minor and revision joined by "." ("0.1.0").
QUILLON_API std::string LibraryVersionText();

}  // namespace quillon
