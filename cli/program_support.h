// Small pieces the command-line programs share.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace veldaris::cli {

// Whether stderr is a terminal (a console window on Windows): the progress
// line is for a person watching one, not for a file or a pipe.
bool StderrIsTerminal();

// The whole file's bytes, or nullopt (with *error, when given, set to the
// reason) when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path, std::string* error = nullptr);

}  // namespace veldaris::cli
