#include "cli/driver.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "model/simulation.h"
#include "ui/svg_canvas.h"

namespace veldaris::cli {

namespace {

constexpr const char* kProgram = "veldaris-run";

struct Options {
  std::string network = "small-world";
  long long groups = 50;
  long long strategies = 8;
  long long generations = 1000;
  long long connectivity = 8;
  long long length = 10;
  std::string rewiring = "0";
  std::optional<uint32_t> seed;
  std::optional<uint32_t> network_seed;
  std::optional<uint32_t> run_seed;
  std::string output_dir = ".";
  std::string picture;
  bool quiet = false;
};

// Parameters checked against what the model can run: every network must be
// simple and its build must end, no group may be left without links (the
// statistics divide by class sizes), the crossover needs two distinct cut
// points, and every array stays within its capacity.
struct Validated {
  SimParams params{};
  double probability = 0.0;
  std::string error;  // empty when valid
};

// A probability written as a plain decimal number, converted as the parameter
// dialog converts it (x * 100.0 truncated); the whole text must be the number.
std::optional<double> ParseProbability(const std::string& text) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') {
    ++first;
  }
  double value = 0.0;
  const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec != std::errc() || end != last || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

bool InRange(long long v, long long lo, long long hi) { return v >= lo && v <= hi; }

Validated Validate(const Options& o) {
  Validated v;
  SimParams& p = v.params;
  p.network_type = o.network == "scale-free" ? SCALE_FREE : SMALL_WORLD;

  if (!InRange(o.groups, 3, MAX_GROUPS)) {
    v.error = "--groups must be a whole number from 3 to 500 (got " + std::to_string(o.groups) + ")";
    return v;
  }
  if (!InRange(o.strategies, 1, MAX_STRATEGIES)) {
    v.error = "--strategies must be a whole number from 1 to 32 (got " + std::to_string(o.strategies) + ")";
    return v;
  }
  if (!InRange(o.generations, 10, MAX_GENERATIONS) || o.generations % BATCH_GENERATIONS != 0) {
    v.error = "--generations must be a multiple of 10 from 10 to 10000 (got " + std::to_string(o.generations) + ")";
    return v;
  }
  if (!InRange(o.connectivity, 2, o.groups - 1) || o.connectivity % 2 != 0) {
    v.error = "--connectivity must be an even number from 2 to --groups - 1 (" + std::to_string(o.groups - 1) +
              " here) (got " + std::to_string(o.connectivity) + ")";
    return v;
  }
  if (!InRange(o.length, 4, MAX_MOVES)) {
    v.error = "--length must be a whole number from 4 to 100 (got " + std::to_string(o.length) + ")";
    return v;
  }
  const std::optional<double> probability = ParseProbability(o.rewiring);
  const int32_t percent = probability ? RewiringPercentFromProbability(*probability) : -1;
  if (!probability || percent < 0 || percent > 100) {
    v.error = "--rewiring must be a probability from 0 to 1.0 (got " + o.rewiring + ")";
    return v;
  }
  p.group_count = static_cast<int32_t>(o.groups);
  p.strategy_count = static_cast<int32_t>(o.strategies);
  p.generation_count = static_cast<int32_t>(o.generations);
  p.connectivity = static_cast<int32_t>(o.connectivity);
  p.strategy_length = static_cast<int32_t>(o.length);
  p.rewiring_percent = percent;
  v.probability = *probability;
  return v;
}

struct ProgressContext {
  std::ostream* err;
  int last_percent;
};

void ShowProgress(const Simulation& sim, void* context) {
  auto* progress = static_cast<ProgressContext*>(context);
  const int percent = static_cast<int>(static_cast<long long>(sim.generation) * 100 / sim.params.generation_count);
  if (percent == progress->last_percent) {
    return;
  }
  progress->last_percent = percent;
  char line[64];
  std::snprintf(line, sizeof line, "\rProceeding... %d%% done.", percent);
  *progress->err << line << std::flush;
}

// The window's start-up, Set Parameters with the chosen values and OK, then
// Build Network: the same model calls in the same order as the window makes
// them, every seeding with the network seed.
void SetParametersAndBuild(Simulation& sim, const SimParams& chosen, double rewiring_probability, uint32_t seed,
                           bool fresh) {
  if (!fresh) {
    ClearSimulation(sim);  // the program-start state, as a new window has
  }
  ApplyDefaultParameters(sim);
  const ParameterChoice choice{chosen.network_type,     chosen.group_count,  chosen.strategy_count,
                               chosen.generation_count, chosen.connectivity, chosen.strategy_length,
                               rewiring_probability};
  SetParameters(sim, choice, seed);
  BuildAndMeasureNetwork(sim, seed);
}

void PrintMeasures(std::ostream& out, const Simulation& sim) {
  const NetworkMetrics& m = sim.metrics;
  char line[128];
  std::snprintf(line, sizeof line, "Average Degree: %f\n", m.average_degree);
  out << line;
  std::snprintf(line, sizeof line, "Stdev of Degree: %f\n", m.degree_stdev);
  out << line;
  std::snprintf(line, sizeof line, "Characteristic Path Length: %f\n", m.characteristic_path_length);
  out << line;
  std::snprintf(line, sizeof line, "Clustering Coefficient: %f\n", m.clustering_coefficient);
  out << line;
}

}  // namespace

int RunDriver(int argc, const char* const* argv, const DriverStreams& streams) {
  Options o;
  CLI::App app{
      "Runs one simulation of the evolution of cooperation on a network without a window and writes\n"
      "the two result files. Seeds given on the command line make the run repeatable.",
      kProgram};
  app.set_version_flag("--version", VERSION);
  app.option_defaults()->always_capture_default();
  app.add_option("--network", o.network, "Network type")->check(CLI::IsMember({"small-world", "scale-free"}));
  app.add_option("--groups", o.groups, "Number of groups N (3..500)");
  app.add_option("--strategies", o.strategies, "Strategies per group S (1..32)");
  app.add_option("--generations", o.generations, "Generations G (a multiple of 10, 10..10000)");
  app.add_option("--connectivity", o.connectivity, "Average connectivity K (even, 2..N-1)");
  app.add_option("--length", o.length, "Moves per strategy L (4..100)");
  app.add_option("--rewiring", o.rewiring, "Rewiring probability, 0 to 1.0 (small world)");
  auto* seed = app.add_option("--seed", o.seed, "One seed for every seeding");
  auto* network_seed = app.add_option("--network-seed", o.network_seed, "Seed of setting parameters and building");
  auto* run_seed = app.add_option("--run-seed", o.run_seed, "Seed of the simulation run");
  seed->excludes(network_seed)->excludes(run_seed);
  app.add_option("--output-dir", o.output_dir, "Directory of the result files (created if missing)");
  app.add_option("--picture", o.picture, "After the run, write what the window would show to this SVG file");
  app.add_flag("--quiet", o.quiet, "No progress line");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      return app.exit(e, streams.out, streams.err);
    }
    streams.err << kProgram << ": " << e.what() << "\n"
                << "Run with --help for the options.\n";
    return EXIT_USAGE;
  }

  const Validated v = Validate(o);
  if (!v.error.empty()) {
    streams.err << kProgram << ": " << v.error << "\n";
    return EXIT_USAGE;
  }
  if (o.output_dir.empty() || o.output_dir.size() >= static_cast<size_t>(RESULT_PATH_CAPACITY) - 64) {
    streams.err << kProgram << ": --output-dir must be a non-empty path shorter than " << RESULT_PATH_CAPACITY - 64
                << " characters\n";
    return EXIT_USAGE;
  }
  std::error_code ec;
  std::filesystem::create_directories(o.output_dir, ec);
  if (ec || !std::filesystem::is_directory(o.output_dir, ec)) {
    streams.err << kProgram << ": cannot create the output directory \"" << o.output_dir
                << "\": " << (ec ? ec.message() : "not a directory") << "\n";
    return EXIT_WRITE_FAILED;
  }

  SimulationPtr own;
  Simulation* sim = streams.simulation;
  const bool fresh = sim == nullptr;
  if (fresh) {
    own = NewSimulation();
    sim = own.get();
    if (sim == nullptr) {
      streams.err << kProgram << ": not enough memory for a simulation\n";
      return EXIT_WRITE_FAILED;
    }
  }
  ResultFiles files{};
  SetResultDirectory(files, o.output_dir.c_str());  // its length was checked above

  // Every seeding while the parameters are set and the network is built uses
  // the network seed, every seeding of the run the run seed; a seed not given
  // is the clock's second at that moment, as in the window.
  const uint32_t network_seed_used = o.seed ? *o.seed : o.network_seed ? *o.network_seed : ClockSeconds();
  SetParametersAndBuild(*sim, v.params, v.probability, network_seed_used, fresh);

  const uint32_t run_seed_used = o.seed ? *o.seed : o.run_seed ? *o.run_seed : ClockSeconds();
  streams.out << "Network seed: " << network_seed_used << "\n"
              << "Run seed: " << run_seed_used << "\n";
  PrintMeasures(streams.out, *sim);
  streams.out << std::flush;

  ProgressContext progress{&streams.err, -1};
  const bool show_progress = streams.err_is_terminal && !o.quiet;
  RunToCompletion(*sim, run_seed_used, files, show_progress ? ShowProgress : nullptr, &progress);
  if (show_progress) {
    streams.err << "\n";
  }

  int status = EXIT_OK;
  for (int32_t i = 0; i < RESULT_FILE_COUNT; ++i) {
    if (files.error[i] != 0) {
      streams.err << kProgram << ": could not write the result file \"" << files.path[i]
                  << "\": " << std::strerror(files.error[i]) << "\n";
      status = EXIT_WRITE_FAILED;
    } else {
      streams.out << "Result file: " << files.path[i] << "\n";
    }
  }
  if (!o.picture.empty()) {
    std::string error;
    if (ui::WritePictureSvg(*sim, o.picture, &error)) {
      streams.out << "Picture: " << o.picture << "\n";
    } else {
      streams.err << kProgram << ": could not write the picture " << error << "\n";
      status = EXIT_WRITE_FAILED;
    }
  }
  return status;
}

}  // namespace veldaris::cli
