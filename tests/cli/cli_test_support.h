// Shared by the tests of the command-line programs: files as text, and the
// programs run in-process with their output caught.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/driver.h"
#include "cli/sweep.h"

namespace veldaris::cli::cli_test {

inline constexpr size_t npos = std::string::npos;

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Result {
  int status;
  std::string out;
  std::string err;
};

// The program's argv (its name first), kept alive with the strings.
struct Argv {
  explicit Argv(const char* program, const std::vector<std::string>& args) : strings(args) {
    strings.insert(strings.begin(), program);
    for (const std::string& s : strings) pointers.push_back(s.c_str());
  }
  int count() const { return static_cast<int>(pointers.size()); }
  std::vector<std::string> strings;
  std::vector<const char*> pointers;
};

// veldaris-run, on sim when given, so that a test can look at the simulation afterwards.
inline Result Drive(const std::vector<std::string>& args, Simulation* sim = nullptr) {
  const Argv argv("veldaris-run", args);
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunDriver(argv.count(), argv.pointers.data(), DriverStreams{out, err, false, sim});
  return {status, out.str(), err.str()};
}

// veldaris-sweep.
inline Result Sweep(const std::vector<std::string>& args) {
  const Argv argv("veldaris-sweep", args);
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunSweepCommand(argv.count(), argv.pointers.data(), SweepStreams{out, err, false});
  return {status, out.str(), err.str()};
}

}  // namespace veldaris::cli::cli_test
