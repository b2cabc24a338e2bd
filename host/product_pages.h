#pragma once

#include <cstddef>
#include <string>

// Where the product's pages are: its home page and online manual on the web,
// and the local manual page installed beside the plug-in library.

extern const char kHomePageAddress[];
extern const char kOnlineManualAddress[];
// Relative to the folder of the library file.
extern const char kLocalManualName[];
// The longest path, terminator included, that the plug-in opens as the
// local manual.
constexpr std::size_t kManualPathRoom = 200;

// The local manual's path for a library at libraryPath: the page name put in
// place of everything after the last backslash. Empty, meaning "use the
// online manual", when the path has no backslash, fewer than two characters
// after it, or the result would not fit in kManualPathRoom.
std::string localManualPath(const std::string& libraryPath);
