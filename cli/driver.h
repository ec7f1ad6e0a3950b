// The headless driver behind veldaris-run: parses the command line, makes the
// same model calls in the same order as the window does for Set Parameters +
// OK, Build Network and Execute Simulation run to its end, and writes the
// result files with the run's record (run.json) beside them, and optionally
// the window's picture and the network as a file.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "cli/failure.h"
#include "cli/network_export.h"
#include "cli/run_parameters.h"
#include "cli/single_run.h"
#include "model/simulation.h"

namespace veldaris::cli {

struct DriverStreams {
  std::ostream& out;
  std::ostream& err;
  bool err_is_terminal;  // progress is shown only on a terminal
  // The simulation to run on, which the caller owns; null: the driver
  // allocates its own for the run.
  Simulation* simulation = nullptr;
};

// What a valid command line asks for: the run's parameters and seeds (a seed
// not given is drawn fresh from the system's entropy source when the run
// starts) and where its outputs go.
struct DriverPlan {
  RunParameters parameters;
  std::optional<uint32_t> network_seed;
  std::optional<uint32_t> run_seed;
  std::string output_dir;
  std::string record_path;   // run.json in output_dir
  std::string picture;       // empty: none
  std::string network_file;  // empty: none
  NetworkFormat network_format = NetworkFormat::GraphMl;
  bool quiet = false;
};

// Reads and checks the command line, touching no file. Returns the plan;
// nullopt after --help or --version (their text is on streams.out); a Usage
// failure when the command line is not valid. A note on a value (the
// rewiring's truncation) goes to streams.err.
Outcome<std::optional<DriverPlan>> ParseDriverCommandLine(int argc, const char* const* argv,
                                                          const DriverStreams& streams);

// Runs the plan: creates the output directory, sets the parameters, builds,
// runs, writes the outputs and reports them. Returns the exit status.
int ExecuteDriverPlan(const DriverPlan& plan, const DriverStreams& streams);

// ParseDriverCommandLine, then ExecuteDriverPlan.
int RunDriver(int argc, const char* const* argv, const DriverStreams& streams);

}  // namespace veldaris::cli
