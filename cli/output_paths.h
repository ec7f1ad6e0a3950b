// Checks on the files a command line will write.
#pragma once

#include <string>
#include <vector>

#include "cli/failure.h"

namespace veldaris::cli {

struct NamedOutput {
  std::string what;  // e.g. "--picture", "the result file"
  std::string path;
};

// Whether two paths name the same file: the same path once made absolute,
// with "." and ".." and every symbolic link of its existing part resolved,
// or, for files that exist, the same file under two names (a hard link).
bool SameFile(const std::string& a, const std::string& b);

// Whether the outputs can be written, checked before anything is: each names
// a file of its own (a usage failure names the first two that name the same
// file: "--picture "x.svg" is also the result file "out/..."), and each is
// either missing or a regular file (not a symbolic link, directory, device,
// FIFO or socket, which writing it would replace by a regular file).
Status CheckOutputs(const std::vector<NamedOutput>& outputs);

}  // namespace veldaris::cli
