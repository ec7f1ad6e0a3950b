// veldaris-sweep's command line: run, slurm, collect and export, each turned into an exit status.
#include "cli/sweep.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/driver.h"
#include "cli/output_paths.h"
#include "cli/path_text.h"
#include "cli/program_support.h"
#include "cli/run_parameters.h"
#include "cli/single_run.h"
#include "cli/sweep_directory.h"
#include "cli/sweep_plan.h"
#include "cli/sweep_pool.h"
#include "cli/sweep_slurm.h"
#include "cli/sweep_store.h"
#include "cli/sweep_summary.h"

namespace veldaris::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kProgram = "veldaris-sweep";
constexpr uint64_t kMaxJobs = 1024;
constexpr uint64_t kMaxShards = 1000000;

struct Shard {
  int64_t index = 0;
  int64_t count = 1;
  bool Owns(int64_t run) const { return run % count == index; }
};

// The failure's message printed; its exit status.
int Report(const SweepStreams& streams, const Failure& failure) {
  streams.err << kProgram << ": " << failure.Message() << "\n";
  return failure.ExitStatus();
}

int Usage(const SweepStreams& streams, const std::string& message) { return Report(streams, Failure::Usage(message)); }

// --jobs and --shard, nullopt when not given.
Status ParseRunOptions(const std::optional<std::string>& jobs_text, const std::optional<std::string>& shard_text,
                       unsigned* jobs, Shard* shard) {
  *jobs = std::max(1U, std::thread::hardware_concurrency());
  if (jobs_text) {
    const std::optional<uint64_t> value = ParseDecimal(*jobs_text, kMaxJobs);
    if (!value || *value == 0) {
      return Failure::Usage(RefusalMessage("--jobs", "a whole number from 1 to 1024", *jobs_text));
    }
    *jobs = static_cast<unsigned>(*value);
  }
  if (shard_text) {
    const size_t slash = shard_text->find('/');
    const std::optional<uint64_t> index =
        slash == std::string::npos ? std::nullopt : ParseDecimal(shard_text->substr(0, slash), kMaxShards);
    const std::optional<uint64_t> count =
        slash == std::string::npos ? std::nullopt : ParseDecimal(shard_text->substr(slash + 1), kMaxShards);
    if (!index || !count || *index >= *count) {
      return Failure::Usage(RefusalMessage("--shard", "I/N with whole numbers 0 <= I < N", *shard_text));
    }
    *shard = Shard{static_cast<int64_t>(*index), static_cast<int64_t>(*count)};
  }
  return {};
}

// The shard's runs still to make, longest first so that the threads finish
// close together (the store does not depend on the order); *owned counts the
// shard's runs.
std::vector<size_t> PendingRuns(const SweepPlan& plan, const FoundRuns& found, const Shard& shard, int64_t* owned) {
  std::vector<size_t> pending;
  *owned = 0;
  for (const PlannedRun& run : plan.runs) {
    if (shard.Owns(run.run)) {
      ++*owned;
      if (!found.finished[static_cast<size_t>(run.run)]) {
        pending.push_back(static_cast<size_t>(run.run));
      }
    }
  }
  std::stable_sort(pending.begin(), pending.end(), [&](size_t a, size_t b) {
    return RunCost(plan.points[static_cast<size_t>(plan.runs[a].point)]) >
           RunCost(plan.points[static_cast<size_t>(plan.runs[b].point)]);
  });
  return pending;
}

// jobs_text and shard_text are nullopt when the option was not given.
int RunCommand(const std::string& sweep_file, const std::string& out_text, const std::optional<std::string>& jobs_text,
               const std::optional<std::string>& shard_text, bool quiet, const SweepStreams& streams) {
  unsigned jobs = 1;
  Shard shard;
  if (const Status parsed = ParseRunOptions(jobs_text, shard_text, &jobs, &shard); !parsed.ok()) {
    return Report(streams, parsed.failure());
  }
  if (out_text.empty()) {
    return Usage(streams, "--out must name a directory");
  }
  const Outcome<SweepFile> loaded = LoadSweep(PathOfText(sweep_file), PathOfText(out_text));
  if (!loaded.ok()) {
    return Report(streams, loaded.failure());
  }
  const SweepPlan& plan = loaded.value().plan;
  const fs::path dir = PathOfText(out_text);
  if (const Status fits = DirectoryFits(dir, plan); !fits.ok()) {
    return Report(streams, fits.failure());
  }
  if (const Status planned = PlanDirectory(dir, plan, loaded.value().text, {}); !planned.ok()) {
    return Report(streams, planned.failure());
  }
  Outcome<std::unique_ptr<StoreWriter>> opened = StoreWriter::Open(dir / StoreFileName(shard.index, shard.count));
  if (!opened.ok()) {
    return Report(streams, opened.failure());
  }
  std::unique_ptr<StoreWriter> store = std::move(opened.value());

  // What this shard has finished, in any store file or runs/. The stores of
  // the other shards of the same split hold none of its runs and are not
  // read, so that the tasks of an array read O(runs) in all.
  const auto other_shard = [&](const fs::path& store) {
    const std::string name = TextOfPath(store.filename());
    const std::string split = "-of-" + std::to_string(shard.count) + ".sqlite";
    return name != StoreFileName(shard.index, shard.count) && name.size() > split.size() &&
           name.compare(name.size() - split.size(), split.size(), split) == 0;
  };
  const FoundRuns found = FindFinishedRuns(
      dir, plan, [&](int64_t run) { return shard.Owns(run); }, nullptr, other_shard);
  for (const std::string& note : found.live) {
    streams.err << kProgram << ": " << note << "\n";
  }
  for (const std::string& note : found.notes) {
    streams.err << kProgram << ": " << note << "; making it again\n";
  }
  if (!found.read.ok()) {
    return Report(streams, found.read.failure());
  }
  int64_t owned = 0;
  const std::vector<size_t> pending = PendingRuns(plan, found, shard, &owned);
  const unsigned threads = static_cast<unsigned>(std::min<size_t>(jobs, std::max<size_t>(pending.size(), 1)));
  streams.out << "Sweep of " << plan.runs.size() << " runs (" << plan.points.size() << " points x " << plan.replicates
              << " replicates)";
  if (shard.count > 1) {
    streams.out << ", shard " << shard.index << "/" << shard.count << ": " << owned << " runs";
  }
  streams.out << "; " << owned - static_cast<int64_t>(pending.size()) << " already finished, making " << pending.size()
              << " on " << threads << (threads == 1 ? " thread" : " threads") << "\n"
              << std::flush;

  const Progress::Mode mode = quiet                     ? Progress::Mode::kQuiet
                              : streams.err_is_terminal ? Progress::Mode::kTerminal
                                                        : Progress::Mode::kLog;
  Progress progress(streams.err, mode, pending.size());
  const size_t failures = MakeRuns(plan, pending, threads, *store, progress);
  store.reset();  // the claim given up
  const int status = failures == 0 ? EXIT_OK : EXIT_WRITE_FAILED;
  if (failures > 0) {
    progress.Report(std::to_string(failures) + " of " + std::to_string(pending.size()) + " runs were not stored");
  }
  if (shard.count > 1) {
    // A shard of many never reads the others' runs: collect once all are done.
    streams.out << "Shard " << shard.index << "/" << shard.count << ": "
                << owned - static_cast<int64_t>(std::min(failures, pending.size())) << " of " << owned
                << " runs finished; once every shard has finished: " << kProgram << " collect "
                << ShellWord(TextOfPath(dir)) << "\n";
    return status;
  }
  const int collected = CollectSweep(dir, plan, streams.out, streams.err);
  return status != EXIT_OK ? status : collected;
}

// The sweep of DIR (its sweep.toml).
Outcome<SweepPlan> SweepOfDirectory(const std::string& dir_text) {
  const fs::path dir = PathOfText(dir_text);
  std::error_code ec;
  if (!fs::exists(dir / SWEEP_COPY, ec)) {
    return Failure::Usage("\"" + dir_text + "\" is not a sweep directory (it has no sweep.toml)");
  }
  Outcome<SweepFile> loaded = LoadSweep(dir / SWEEP_COPY, dir);
  if (!loaded.ok()) {
    return loaded.failure();
  }
  return std::move(loaded.value().plan);
}

int CollectCommand(const std::string& dir_text, const std::optional<std::string>& axis, const SweepStreams& streams) {
  const Outcome<SweepPlan> loaded = SweepOfDirectory(dir_text);
  if (!loaded.ok()) {
    return Report(streams, loaded.failure());
  }
  const SweepPlan* plan = &loaded.value();
  std::optional<int32_t> x_key;
  if (axis) {
    std::string varying;
    for (const int32_t key : plan->VaryingKeys()) {
      varying += (varying.empty() ? "" : ", ") + std::string(SWEEP_KEYS[static_cast<size_t>(key)]);
      if (*axis == SWEEP_KEYS[static_cast<size_t>(key)]) {
        x_key = key;
      }
    }
    if (!x_key) {
      return Usage(streams, RefusalMessage("--axis",
                                           varying.empty() ? "a parameter the sweep varies (it varies none)"
                                                           : "one of the parameters the sweep varies: " + varying,
                                           *axis));
    }
  }
  return CollectSweep(PathOfText(dir_text), *plan, streams.out, streams.err, x_key);
}

int ExportCommand(const std::string& dir_text, const std::optional<std::string>& runs_text, const std::string& out_text,
                  const SweepStreams& streams) {
  const Outcome<SweepPlan> loaded = SweepOfDirectory(dir_text);
  if (!loaded.ok()) {
    return Report(streams, loaded.failure());
  }
  const SweepPlan* plan = &loaded.value();
  std::vector<int64_t> runs;
  if (runs_text) {
    const std::optional<std::vector<int64_t>> list = ParseRunList(*runs_text, static_cast<int64_t>(plan->runs.size()));
    if (!list) {
      return Usage(streams, RefusalMessage("--runs",
                                           "run numbers and ranges below " + std::to_string(plan->runs.size()) +
                                               ", such as 0,4,10-19",
                                           *runs_text));
    }
    runs = *list;
  }
  if (out_text.empty()) {
    return Usage(streams, "--out must name a directory");
  }
  return ExportRuns(PathOfText(dir_text), *plan, runs, PathOfText(out_text), streams.out, streams.err);
}

// text made absolute against the current directory. Symbolic links are kept
// (a cluster's shared file system is often reached through one) and so is
// "..", which only they can resolve; "." and doubled separators go.
fs::path AbsolutePath(const std::string& text) {
  std::error_code ec;
  const fs::path path = fs::absolute(fs::path(text), ec);
  for (const fs::path& element : path) {
    if (element == "..") {
      return path;
    }
  }
  fs::path normal = path.lexically_normal();
  if (normal.has_filename() || normal == normal.root_path()) {
    return normal;
  }
  return normal.parent_path();  // without the trailing separator
}

int SlurmCommand(const std::string& sweep_file, const std::string& out_text, const SlurmOptionTexts& texts,
                 const std::optional<std::string>& write, const SweepStreams& streams) {
  if (out_text.empty()) {
    return Usage(streams, "--out must name a directory");
  }
  if (write && write->empty()) {
    return Usage(streams, "--write must name a file");
  }
  const Outcome<SweepFile> loaded = LoadSweep(sweep_file, PathOfText(out_text));
  if (!loaded.ok()) {
    return Report(streams, loaded.failure());
  }
  const SweepPlan& plan = loaded.value().plan;
  Outcome<SlurmArray> made = SlurmArrayFromOptions(texts, static_cast<int64_t>(plan.runs.size()));
  if (!made.ok()) {
    return Report(streams, made.failure());
  }
  SlurmArray* array = &made.value();
  const fs::path dir = AbsolutePath(out_text);
  if (const Status fits = SlurmDirectoryFits(TextOfPath(dir)); !fits.ok()) {
    return Report(streams, fits.failure());
  }
  if (const Status fits = DirectoryFits(dir, plan); !fits.ok()) {
    return Report(streams, fits.failure());
  }
  const std::string program = ThisProgramPath();
  if (program.empty()) {
    streams.err << kProgram << ": cannot tell where this program is, which the script must name\n";
    return EXIT_WRITE_FAILED;
  }
  if (write) {
    std::error_code ec;
    if (fs::is_directory(*write, ec)) {
      return Usage(streams, "--write \"" + *write + "\" is a directory; give the script's file name");
    }
    // The script replaces what it is written over: never an input or a
    // file of the sweep.
    const std::vector<NamedOutput> kept = {
        {"the sweep file", sweep_file},
        {"this program", program},
        {"the sweep's copy", TextOfPath(dir / SWEEP_COPY)},
        {"the sweep's plan", TextOfPath(dir / PLAN_FILE)},
        {"the sweep's summary", TextOfPath(dir / "summary.csv")},
        {"the sweep's aggregate", TextOfPath(dir / "aggregate.csv")},
        {"the sweep's plot", TextOfPath(dir / "aggregate.svg")},
        {"the sweep's results", TextOfPath(dir / RESULTS_DATABASE)},
    };
    for (const NamedOutput& file : kept) {
      if (SameFile(*write, file.path)) {
        return Usage(streams, "--write \"" + *write + "\" is " + file.what + " \"" + file.path + "\"");
      }
    }
    if (SameFile(TextOfPath(AbsolutePath(*write).parent_path()), TextOfPath(dir / OLD_RUNS_DIRECTORY))) {
      return Usage(streams, "--write \"" + *write + "\" is in the sweep's runs/, which holds only runs");
    }
  }

  if (const Status planned = PlanDirectory(dir, plan, loaded.value().text, {SLURM_LOG_DIRECTORY}); !planned.ok()) {
    return Report(streams, planned.failure());
  }
  array->program = program;
  array->sweep_file = TextOfPath(AbsolutePath(sweep_file));
  array->out_dir = TextOfPath(dir);
  const std::string script = SlurmScript(*array);
  for (const std::string& warning : NodeLocalWarnings(*array, NodeLocalDirectories())) {
    streams.err << kProgram << ": " << warning << "\n";
  }
  if (write) {
    if (const Status written = WriteTextFile(*write, script); !written.ok()) {
      streams.err << kProgram << ": could not write \"" << *write << "\": " << written.failure().why << "\n";
      return EXIT_WRITE_FAILED;
    }
  } else {
    streams.out << script << std::flush;
  }

  // What to do next, beside the script on stdout or after writing it.
  std::ostream& hint = write ? streams.out : streams.err;
  const int64_t runs = array->runs;
  const int64_t fewest = runs / array->tasks;
  const int64_t most = (runs + array->tasks - 1) / array->tasks;
  hint << "Planned " << runs << " runs in " << TextOfPath(dir) << " for a Slurm job array of " << array->tasks
       << (array->tasks == 1 ? " task" : " tasks") << " (" << fewest;
  if (most != fewest) {
    hint << " or " << most;
  }
  hint << (most == 1 ? " run" : " runs") << " each), logs in " << TextOfPath(dir / SLURM_LOG_DIRECTORY) << "\n";
  const std::string script_word = write ? ShellWord(*write) : "SCRIPT";
  hint << (write ? "Wrote " + ShellWord(*write) + "; submit it" : "Save the script above as SCRIPT and submit it")
       << " from a node that shares " << TextOfPath(dir) << " with the compute nodes:\n"
       << "  sbatch " << script_word << "\n"
       << "Collect once every task has succeeded (<jobid>: the number sbatch printed):\n"
       << "  " << CollectJobCommand(*array) << "\n"
       << "or after the array by hand:\n"
       << "  " << ShellWord(program) << " collect " << ShellWord(TextOfPath(dir)) << "\n"
       << "Submitting the same script again after a failure, a time-out or scancel makes only the runs still "
          "missing.\n";
  return EXIT_OK;
}

}  // namespace

int RunSweepCommand(int argc, const char* const* argv, const SweepStreams& streams) {
  CLI::App app{
      "Runs a grid of parameter points x replicates of veldaris-run's simulation on all cores, resumably,\n"
      "and summarises the finished runs with means, 95% intervals and a plot.",
      kProgram};
  app.set_version_flag("--version", VERSION);
  app.require_subcommand(1);

  std::string sweep_file;
  std::string out;
  std::string jobs;
  std::string shard;
  bool quiet = false;
  CLI::App* run = app.add_subcommand("run", "Plan the sweep, make the runs not yet finished, then collect");
  run->add_option("SWEEP.toml", sweep_file, "The sweep file")->required();
  run->add_option("--out", out, "The sweep's directory (created if missing)")->required();
  const CLI::Option* jobs_option =
      run->add_option("--jobs", jobs, "Runs made at the same time (default: the number of cores)");
  const CLI::Option* shard_option = run->add_option("--shard", shard, "Make only the runs with run % N == I");
  run->add_flag("--quiet", quiet, "No progress line");

  SlurmOptionTexts slurm_texts;
  std::string slurm_sweep_file;
  std::string slurm_out;
  std::string write;
  std::string tasks;
  std::string max_parallel;
  std::string partition;
  std::string time;
  std::string cpus;
  CLI::App* slurm = app.add_subcommand(
      "slurm", "Plan the sweep and print (or write) an sbatch script that makes it as a Slurm job array");
  slurm->add_option("SWEEP.toml", slurm_sweep_file, "The sweep file")->required();
  slurm->add_option("--out", slurm_out, "The sweep's directory, on a file system the compute nodes share")->required();
  const CLI::Option* tasks_option =
      slurm->add_option("--tasks", tasks, "T: tasks of the array (default: about the square root of the runs)");
  const CLI::Option* parallel_option =
      slurm->add_option("--max-parallel", max_parallel, "M: tasks running at the same time (default: no limit)");
  const CLI::Option* partition_option = slurm->add_option("--partition", partition, "The partition to run in");
  const CLI::Option* time_option =
      slurm->add_option("--time", time, "The time limit of each task, HH:MM:SS or D-HH:MM:SS");
  const CLI::Option* cpus_option =
      slurm->add_option("--cpus-per-task", cpus, "Cores of each task, its runs at the same time (default: 1)");
  slurm->add_option("--sbatch-arg", slurm_texts.sbatch_args, "A further #SBATCH line, such as --sbatch-arg=--mem=2G")
      ->allow_extra_args(false);
  const CLI::Option* write_option = slurm->add_option("--write", write, "Write the script to this file");

  std::string export_dir;
  std::string export_runs;
  std::string export_out;
  CLI::App* export_command = app.add_subcommand(
      "export", "Write runs of a sweep as veldaris-run writes them: <out>/<run>/ with the result files and run.json");
  export_command->add_option("DIR", export_dir, "The sweep's directory")->required();
  const CLI::Option* runs_option =
      export_command->add_option("--runs", export_runs, "The runs, such as 0,4,10-19 (default: every finished run)");
  export_command->add_option("--out", export_out, "The directory to write the runs into")->required();

  std::string dir;
  CLI::App* collect = app.add_subcommand(
      "collect", "Summarise the finished runs of a sweep's directory into CSV files, a plot and results.sqlite");
  collect->add_option("DIR", dir, "The sweep's directory")->required();
  std::string axis;
  const CLI::Option* axis_option = collect->add_option(
      "--axis", axis, "The parameter on the plot's x axis (default: the varying one with the most values)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      return app.exit(e, streams.out, streams.err);
    }
    streams.err << kProgram << ": " << e.what() << "\n"
                << "Run with --help for the commands and their options.\n";
    return EXIT_USAGE;
  }
  const auto given = [](const CLI::Option* option, const std::string& text) {
    return option->count() > 0 ? std::optional<std::string>(text) : std::nullopt;
  };
  if (run->parsed()) {
    return RunCommand(sweep_file, out, given(jobs_option, jobs), given(shard_option, shard), quiet, streams);
  }
  if (slurm->parsed()) {
    slurm_texts.tasks = given(tasks_option, tasks);
    slurm_texts.max_parallel = given(parallel_option, max_parallel);
    slurm_texts.partition = given(partition_option, partition);
    slurm_texts.time = given(time_option, time);
    slurm_texts.cpus_per_task = given(cpus_option, cpus);
    return SlurmCommand(slurm_sweep_file, slurm_out, slurm_texts, given(write_option, write), streams);
  }
  if (export_command->parsed()) {
    return ExportCommand(export_dir, given(runs_option, export_runs), export_out, streams);
  }
  return CollectCommand(dir, given(axis_option, axis), streams);
}

}  // namespace veldaris::cli
