// Checks on the files a command line will write.
#pragma once

#include <string>
#include <vector>

namespace veldaris::cli {

struct NamedOutput {
  std::string what;  // e.g. "--picture", "the result file"
  std::string path;
};

// Whether two paths name the same file: the same path once made absolute,
// with "." and ".." and every symbolic link of its existing part resolved,
// or, for files that exist, the same file under two names (a hard link).
bool SameFile(const std::string& a, const std::string& b);

// The first two outputs that name the same file, as a message ("--picture
// "x.svg" is also the result file "out/Veldaris_Result_All.csv""); empty when
// every output has a file of its own.
std::string OutputClash(const std::vector<NamedOutput>& outputs);

}  // namespace veldaris::cli
