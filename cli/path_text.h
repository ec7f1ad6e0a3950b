// File names between the text of the command line and of the C library's
// file functions, and std::filesystem's paths.
//
// On POSIX both are the same bytes. On Windows the command line's arguments
// (see CommandLineArguments) and the narrow file functions (fopen,
// CreateFileA) are in the ANSI code page, UTF-8 under the programs' manifest, whereas MinGW's std::filesystem reads a
// char string byte by byte as Latin-1 and gives path::string() in UTF-8: a name with a character beyond ASCII would
// name another file on the way into a path and back. These two convert with the code page, so that a path made from an
// argument, and every path made from it, names the same file for both kinds of functions.
#pragma once

#include <filesystem>
#include <string>

namespace veldaris::cli {

std::filesystem::path PathOfText(const std::string& text);

// A character the code page lacks (possible only in a name read from a
// directory) becomes '?', which names no file.
std::string TextOfPath(const std::filesystem::path& path);

}  // namespace veldaris::cli
