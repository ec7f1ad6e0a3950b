// Small pieces the command-line programs share.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/failure.h"

namespace veldaris::cli {

// Whether stderr is a terminal (a console window on Windows): the progress
// line is for a person watching one, not for a file or a pipe.
bool StderrIsTerminal();

// The whole file's bytes, or why it cannot be read (a write-kind failure:
// the system refused).
Outcome<std::string> ReadWholeFile(const std::filesystem::path& path);

// Writes text to path through a temporary file renamed into place.
Status WriteTextFile(const std::filesystem::path& path, const std::string& text);

// The command line's arguments after the program's name, as the file
// functions take them. On Windows they are read as UTF-16 (GetCommandLineW)
// and converted exactly to the ANSI code page, which the programs' manifest
// makes UTF-8 (Windows 10 1903 and later): the C runtime's own argv would
// hold a look-alike for a character the code page lacks ("Lódz" for "Łódź"),
// naming another file. An argument that still cannot be converted is a usage
// failure that names it. Elsewhere they are argv's bytes.
Outcome<std::vector<std::string>> CommandLineArguments(int argc, const char* const* argv);

// main() of a command-line program: its arguments as above, given to run as
// an argv (the program's name first); a failure is reported on stderr as
// "<program>: <message>" with its exit status.
int RunWithArguments(const char* program, int argc, const char* const* argv,
                     int (*run)(int argc, const char* const* argv));

}  // namespace veldaris::cli
