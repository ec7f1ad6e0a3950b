// veldaris-run's command line read into a plan, and the plan run to its files.
#include "cli/driver.h"

#include <CLI/CLI.hpp>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/fresh_seeds.h"
#include "cli/network_export.h"
#include "cli/output_paths.h"
#include "cli/parameter_table.h"
#include "cli/path_text.h"
#include "cli/single_run.h"
#include "io/number_text.h"
#include "model/simulation.h"
#include "ui/svg_canvas.h"

namespace veldaris::cli {

namespace {

constexpr const char* kProgram = "veldaris-run";
constexpr uint64_t kMaxSeed = 4294967295U;
constexpr const char* kSeedAllowed = "a whole number from 0 to 4294967295";

struct Options {
  std::array<std::string, PARAMETER_COUNT> parameters;
  std::string seed;
  std::string network_seed;
  std::string run_seed;
  std::string output_dir = ".";
  std::string picture;
  std::string network_file;
  bool quiet = false;
};

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

// The measures with the texts of the window's display ("%f"), written the same
// in every locale.
void PrintMeasures(std::ostream& out, const Simulation& sim) {
  const NetworkMetrics& m = sim.metrics;
  out << "Average Degree: " << FormatFixed(m.average_degree, 6) << "\n"
      << "Stdev of Degree: " << FormatFixed(m.degree_stdev, 6) << "\n"
      << "Characteristic Path Length: " << FormatFixed(m.characteristic_path_length, 6) << "\n"
      << "Clustering Coefficient: " << FormatFixed(m.clustering_coefficient, 6) << "\n"
      << "Components: " << m.components << "\n"
      << "Path Length within Components: " << FormatFixed(m.reachable_path_length, 6) << "\n";
}

// A seed given as text (nullopt when the option was not given).
Outcome<std::optional<uint32_t>> ReadSeed(const CLI::Option* option, const std::string& text) {
  if (option->count() == 0) {
    return std::optional<uint32_t>();
  }
  const std::optional<uint64_t> value = ParseDecimal(text, kMaxSeed);
  if (!value) {
    return Failure::Usage(RefusalMessage(option->get_name(), kSeedAllowed, text));
  }
  return std::optional<uint32_t>(static_cast<uint32_t>(*value));
}

}  // namespace

Outcome<std::optional<DriverPlan>> ParseDriverCommandLine(int argc, const char* const* argv,
                                                          const DriverStreams& streams) {
  Options o;
  CLI::App app{
      "Runs one simulation of the evolution of cooperation on a network without a window and writes\n"
      "the two result files and the run's record (run.json). Seeds given on the command line make the\n"
      "run repeatable.",
      kProgram};
  app.set_version_flag("--version", VERSION);
  app.option_defaults()->always_capture_default();
  std::array<CLI::Option*, PARAMETER_COUNT> parameter_options{};
  for (const ParameterRow& row : PARAMETER_TABLE) {
    std::string help = std::string(row.help) + ": " + row.allowed;
    if (*row.default_text != '\0') {
      help += " (default " + std::string(row.default_text) + ")";
    }
    parameter_options[static_cast<size_t>(row.id)] =
        app.add_option(row.option, o.parameters[static_cast<size_t>(row.id)], help);
  }
  auto* seed = app.add_option("--seed", o.seed, "One seed for every seeding (0..4294967295)");
  auto* network_seed = app.add_option("--network-seed", o.network_seed, "Seed of setting parameters and building");
  auto* run_seed = app.add_option("--run-seed", o.run_seed, "Seed of the simulation run");
  seed->excludes(network_seed)->excludes(run_seed);
  app.add_option("--output-dir", o.output_dir, "Directory of the result files and run.json (created if missing)");
  app.add_option("--picture", o.picture, "After the run, write what the window would show to this SVG file");
  app.add_option("--network-file", o.network_file, "Write the built network to this .graphml or .csv file");
  app.add_flag("--quiet", o.quiet, "No progress line");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      app.exit(e, streams.out, streams.err);
      return std::optional<DriverPlan>();
    }
    return Failure::Usage(std::string(e.what()) + "\nRun with --help for the options.");
  }

  ParameterTexts texts;
  for (const ParameterRow& row : PARAMETER_TABLE) {
    if (parameter_options[static_cast<size_t>(row.id)]->count() > 0) {
      texts[row.id] = o.parameters[static_cast<size_t>(row.id)];
    }
  }
  const Outcome<RunParameters> parameters = ValidateRunParameters(texts, ParameterNaming::Option);
  if (!parameters.ok()) {
    return parameters.failure();
  }
  if (texts[ParameterId::Rewiring]) {
    if (const std::string note = RewiringTruncationNote(parameters.value(), *texts[ParameterId::Rewiring]);
        !note.empty()) {
      streams.err << kProgram << ": " << note << "\n";
    }
  }
  std::array<std::optional<uint32_t>, 3> seeds;  // --seed, --network-seed, --run-seed
  const std::array<std::pair<const CLI::Option*, const std::string*>, 3> seed_options = {
      {{seed, &o.seed}, {network_seed, &o.network_seed}, {run_seed, &o.run_seed}}};
  for (size_t i = 0; i < seeds.size(); ++i) {
    const Outcome<std::optional<uint32_t>> read = ReadSeed(seed_options[i].first, *seed_options[i].second);
    if (!read.ok()) {
      return read.failure();
    }
    seeds[i] = read.value();
  }
  if (o.output_dir.empty() || o.output_dir.size() >= static_cast<size_t>(RESULT_PATH_CAPACITY) - 64) {
    return Failure::Usage("--output-dir must be a non-empty path shorter than " +
                          std::to_string(RESULT_PATH_CAPACITY - 64) + " characters");
  }
  const std::optional<NetworkFormat> network_format =
      o.network_file.empty() ? NetworkFormat::GraphMl : NetworkFormatOf(o.network_file);
  if (!network_format) {
    return Failure::Usage(RefusalMessage("--network-file", "a file name ending in .graphml or .csv", o.network_file));
  }
  // No output may overwrite another, nor replace what is not a regular file.
  const std::string record_path = PathInDirectory(o.output_dir, RUN_RECORD_FILE);
  std::vector<NamedOutput> outputs = {
      {"the result file", PathInDirectory(o.output_dir, INITIAL_RESULT_FILE)},
      {"the result file", PathInDirectory(o.output_dir, ALL_RESULT_FILE)},
      {"the run record", record_path},
  };
  if (!o.picture.empty()) {
    outputs.push_back({"--picture", o.picture});
  }
  if (!o.network_file.empty()) {
    outputs.push_back({"--network-file", o.network_file});
  }
  if (const Status checked = CheckOutputs(outputs); !checked.ok()) {
    return Failure::Usage(checked.failure().Message());
  }
  DriverPlan plan;
  plan.parameters = parameters.value();
  plan.network_seed = seeds[0] ? seeds[0] : seeds[1];
  plan.run_seed = seeds[0] ? seeds[0] : seeds[2];
  plan.output_dir = o.output_dir;
  plan.record_path = record_path;
  plan.picture = o.picture;
  plan.network_file = o.network_file;
  plan.network_format = *network_format;
  plan.quiet = o.quiet;
  return std::optional<DriverPlan>(std::move(plan));
}

namespace {

// The seeds of the run: those given, and fresh ones from the system's entropy
// source for those not given (not the clock's second, which runs started in
// the same second would share). Every seeding while the parameters are set
// and the network is built uses the network seed, every seeding of the run
// the run seed.
Outcome<RunSeeds> SeedsOf(const DriverPlan& plan) {
  uint32_t fresh[2] = {0, 0};
  if (!plan.network_seed || !plan.run_seed) {
    if (Status drawn = FreshSeeds(fresh, 2); !drawn.ok()) {
      return drawn.failure();
    }
  }
  return RunSeeds{plan.network_seed ? *plan.network_seed : fresh[0], plan.run_seed ? *plan.run_seed : fresh[1]};
}

Status MakeOutputDirectory(const std::string& text) {
  std::error_code ec;
  const std::filesystem::path output_dir = PathOfText(text);
  std::filesystem::create_directories(output_dir, ec);
  if (ec || !std::filesystem::is_directory(output_dir, ec)) {
    return Failure::Write("cannot create the output directory \"" + text + "\"", ec ? ec.message() : "not a directory");
  }
  return {};
}

// Every output the run was asked for, each reported as written ("Label:
// path" on out) or with its failure (on err); whether all were written.
bool WriteOutputs(const DriverPlan& o, const Simulation& sim, const ResultFiles& files, const RunRecord& record,
                  const DriverStreams& streams) {
  bool all = true;
  const auto report = [&](const Status& written, const char* label, const std::string& path) {
    if (written.ok()) {
      streams.out << label << ": " << path << "\n";
    } else {
      streams.err << kProgram << ": " << written.failure().Message() << "\n";
      all = false;
    }
  };
  for (int32_t i = 0; i < RESULT_FILE_COUNT; ++i) {
    Status written;
    if (files.error[i] != 0) {
      written = Failure::Write("could not write the result file \"" + std::string(files.path[i]) + "\"",
                               ResultFileError(files, i));
    }
    report(written, "Result file", files.path[i]);
  }
  // The record says which result files this run wrote, and their digests.
  report(WriteRunRecord(o.record_path, record), "Run record", o.record_path);
  if (!o.picture.empty()) {
    std::string error;
    Status written;
    if (!ui::WritePictureSvg(sim, o.picture, &error)) {
      written = Failure::Write("could not write the picture " + error);
    }
    report(written, "Picture", o.picture);
  }
  if (!o.network_file.empty()) {
    report(WriteNetworkFile(sim, o.network_file, o.network_format), "Network file", o.network_file);
  }
  return all;
}

}  // namespace

int ExecuteDriverPlan(const DriverPlan& plan, const DriverStreams& streams) {
  const DriverPlan& o = plan;
  const auto failed = [&](const Failure& failure) {
    streams.err << kProgram << ": " << failure.Message() << "\n";
    return failure.ExitStatus();
  };
  const Outcome<RunSeeds> seeds = SeedsOf(o);
  if (!seeds.ok()) {
    return failed(seeds.failure());
  }
  if (const Status made = MakeOutputDirectory(o.output_dir); !made.ok()) {
    return failed(made.failure());
  }
  SimulationPtr own;
  Simulation* sim = streams.simulation;
  if (sim == nullptr) {
    own = NewSimulation();
    sim = own.get();
    if (sim == nullptr) {
      return failed(Failure::Write("not enough memory for a simulation"));
    }
  }
  ResultFiles files{};
  SetResultDirectory(files, o.output_dir.c_str());  // its length was checked above

  RunRecord record;
  PrepareRun(*sim, o.parameters, seeds.value(), kProgram, record);
  streams.out << "Network seed: " << seeds.value().network << "\n"
              << "Run seed: " << seeds.value().run << "\n";
  PrintMeasures(streams.out, *sim);
  streams.out << std::flush;

  ProgressContext progress{&streams.err, -1};
  const bool show_progress = streams.err_is_terminal && !o.quiet;
  CompleteRun(*sim, files, record, show_progress ? ShowProgress : nullptr, &progress);
  if (show_progress) {
    streams.err << "\n";
  }
  return WriteOutputs(o, *sim, files, record, streams) ? EXIT_OK : EXIT_WRITE_FAILED;
}

int RunDriver(int argc, const char* const* argv, const DriverStreams& streams) {
  const Outcome<std::optional<DriverPlan>> plan = ParseDriverCommandLine(argc, argv, streams);
  if (!plan.ok()) {
    streams.err << kProgram << ": " << plan.failure().Message() << "\n";
    return plan.failure().ExitStatus();
  }
  return plan.value() ? ExecuteDriverPlan(*plan.value(), streams) : EXIT_OK;  // EXIT_OK: --help or --version
}

}  // namespace veldaris::cli
