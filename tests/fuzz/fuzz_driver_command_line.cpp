// Fuzz target: veldaris-run's command line, read and checked as the program
// does, up to the point where it would start the run (which is left out).
// The input is the arguments, separated by NUL bytes.
//
// Checked: a command line is either refused with exit 2 and a message, or
// answered (--help, --version) with exit 0, or accepted with parameters the
// model can run and outputs that are named.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/driver.h"

namespace {

void Require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldaris;
  using namespace veldaris::cli;
  std::vector<std::string> args = {"veldaris-run"};
  std::string current;
  for (size_t i = 0; i < size && args.size() < 24; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (!current.empty() || size == 0) args.push_back(current);
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());

  std::ostringstream out;
  std::ostringstream err;
  const DriverStreams streams{out, err, false};
  const Outcome<std::optional<DriverPlan>> parsed =
      ParseDriverCommandLine(static_cast<int>(argv.size()), argv.data(), streams);
  if (!parsed.ok()) {
    Require(parsed.failure().ExitStatus() == EXIT_USAGE && !parsed.failure().Message().empty());
    return 0;
  }
  if (!parsed.value()) {
    Require(!out.str().empty());  // --help or --version
    return 0;
  }
  const DriverPlan* plan = &*parsed.value();
  const RunParameters& p = plan->parameters;
  const bool built = p.network != NetworkType::FromFile;
  Require(p.groups >= 3 && p.groups <= MAX_GROUPS);
  Require(p.strategies >= 1 && p.strategies <= MAX_STRATEGIES);
  Require(p.generations >= BATCH_GENERATIONS && p.generations <= MAX_GENERATIONS &&
          p.generations % BATCH_GENERATIONS == 0);
  Require(!built || (p.connectivity >= 2 && p.connectivity < p.groups && p.connectivity % 2 == 0));
  Require(built == !p.network_from);
  Require(p.length >= 4 && p.length <= MAX_MOVES);
  Require(p.rewiring_percent >= 0 && p.rewiring_percent <= 100);
  Require(p.rewiring_percent == RewiringPercentFromProbability(p.rewiring));
  Require(!plan->output_dir.empty() && !plan->record_path.empty());
  return 0;
}
