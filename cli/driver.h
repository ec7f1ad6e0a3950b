// The headless driver behind veldaris-run: parses the command line, makes the
// same model calls in the same order as the window does for Set Parameters +
// OK, Build Network and Execute Simulation run to its end, and writes the
// result files (and optionally the window's picture).
#pragma once

#include <ostream>

#include "model/simulation.h"

namespace veldaris::cli {

inline constexpr const char* VERSION = "1.25a";

// Exit statuses: 0 success, 1 a result file (or the picture) could not be
// written, 2 bad command line (nothing was run and no file touched).
inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_WRITE_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;

struct DriverStreams {
  std::ostream& out;
  std::ostream& err;
  bool err_is_terminal;  // progress is shown only on a terminal
  // The simulation to run on, which the caller owns; null: the driver
  // allocates its own for the run.
  Simulation* simulation = nullptr;
};

int RunDriver(int argc, const char* const* argv, const DriverStreams& streams);

}  // namespace veldaris::cli
