#pragma once
// The parts of a file path, as every reader, writer and dialog preset of the
// program takes them: the folder is everything before the last '/', the file
// name everything after it, and the extension what follows the file name's
// last dot. Letter case is kept.

#include <cstddef>
#include <string>
#include <string_view>

namespace clipora {

// Where the extension's dot stands in `path`: the last dot after the last
// '/'; npos when the file name has none.
std::size_t extensionDot(std::string_view path);

// The extension without its dot ("JPG"); empty when the file name has no dot
// or ends in one.
std::string fileExtension(std::string_view path);

struct PathParts {
    std::string folder;  // "." for a bare file name, "/" for a file in the root
    std::string name;
};
PathParts splitPath(std::string_view path);

}  // namespace clipora
