// The headless driver behind veldaris-run: parses the command line, makes the
// same model calls in the same order as the window does for Set Parameters +
// OK, Build Network and Execute Simulation run to its end, and writes the
// result files with the run's record (run.json) beside them, and optionally
// the window's picture and the network as a file.
#pragma once

#include <ostream>

#include "cli/single_run.h"
#include "model/simulation.h"

namespace veldaris::cli {

// Exit statuses: 0 success, 1 an output could not be written, 2 bad command
// line (nothing was run and no file touched).
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
