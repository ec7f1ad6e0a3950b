// veldaris-sweep's commands: plan, run on threads, resume, collect and the Slurm array.
// veldaris-sweep's commands: plan, run on threads, resume, collect and the Slurm array.
#include "cli/sweep.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
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
#include "cli/sweep_networks.h"
#include "cli/sweep_plan.h"
#include "cli/sweep_plot.h"
#include "cli/sweep_slurm.h"
#include "cli/sweep_summary.h"
#include "results/atomic_file.h"
#include "ui/number_text.h"

namespace veldaris::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kProgram = "veldaris-sweep";
constexpr const char* kSweepCopy = "sweep.toml";
constexpr const char* kPlanFile = "plan.csv";
constexpr const char* kRunsDirectory = "runs";
constexpr const char* kPartialMark = ".partial-";
constexpr uint64_t kMaxJobs = 1024;
constexpr uint64_t kMaxShards = 1000000;

struct Shard {
  int64_t index = 0;
  int64_t count = 1;
  bool Owns(int64_t run) const { return run % count == index; }
};

int32_t WriteText(std::FILE* file, const void* context) {
  const auto* text = static_cast<const std::string*>(context);
  return std::fwrite(text->data(), 1, text->size(), file) == text->size() ? 1 : 0;
}

// Writes text to path through a temporary file; empty or why not.
std::string WriteTextFile(const fs::path& path, const std::string& text) {
  const int32_t code = WriteFileAtomically(TextOfPath(path).c_str(), WriteText, &text);
  return code == 0 ? std::string() : std::string(std::strerror(code));
}

// The run number a runs/ entry belongs to: "<run>" or "<run>.partial-<x>".
std::optional<int64_t> RunNumberOf(const std::string& name, bool* partial) {
  const size_t digits = name.find_first_not_of("0123456789");
  const std::string number = name.substr(0, digits);
  const std::optional<uint64_t> run = ParseDecimal(number, static_cast<uint64_t>(MAX_SWEEP_RUNS));
  if (!run || (number.size() > 1 && number[0] == '0')) {
    return std::nullopt;
  }
  *partial = digits != std::string::npos;
  if (*partial && name.compare(digits, std::strlen(kPartialMark), kPartialMark) != 0) {
    return std::nullopt;
  }
  return static_cast<int64_t>(*run);
}

std::string RandomHex() {
  static std::mutex mutex;
  static std::random_device device;
  std::lock_guard<std::mutex> lock(mutex);
  char text[17];
  std::snprintf(text, sizeof text, "%08x%08x", static_cast<unsigned>(device()), static_cast<unsigned>(device()));
  return text;
}

// The progress line on a terminal: runs done of those to make, the rate and
// the time left. Also serialises every message of the worker threads.
class Progress {
 public:
  Progress(std::ostream& err, bool enabled, size_t total)
      : err_(err), enabled_(enabled), total_(total), start_(std::chrono::steady_clock::now()) {}

  void RunDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    const auto now = std::chrono::steady_clock::now();
    if (done_ == total_ || now - last_shown_ >= std::chrono::milliseconds(200)) {
      last_shown_ = now;
      ShowLocked();
    }
  }

  void Report(const std::string& message) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shown_) {
      err_ << "\r" << std::string(line_length_, ' ') << "\r";
    }
    err_ << kProgram << ": " << message << "\n";
    if (shown_) {
      ShowLocked();
    }
  }

  void Finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shown_) {
      err_ << "\n" << std::flush;
      shown_ = false;
    }
  }

 private:
  void ShowLocked() {
    if (!enabled_) {
      return;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0.0 ? static_cast<double>(done_) / seconds : 0.0;
    std::string line =
        std::to_string(done_) + "/" + std::to_string(total_) + " runs, " + ui::FormatFixed(rate, 2) + " runs/s";
    if (rate > 0.0 && done_ < total_) {
      const auto left = static_cast<long long>(static_cast<double>(total_ - done_) / rate + 0.5);
      char eta[32];
      std::snprintf(eta, sizeof eta, ", ETA %lld:%02lld:%02lld", left / 3600, left / 60 % 60, left % 60);
      line += eta;
    }
    const size_t length = line.size();
    line.resize(std::max(length, line_length_), ' ');
    line_length_ = length;
    err_ << "\r" << line << std::flush;
    shown_ = true;
  }

  std::mutex mutex_;
  std::ostream& err_;
  bool enabled_;
  size_t total_;
  size_t done_ = 0;
  size_t line_length_ = 0;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_shown_{};
};

// About how long a run takes, in arbitrary units: every generation plays
// N x K games of S strategies of L moves and evolves N x S strategies; the
// network's path lengths take N^3 steps once.
double RunCost(const RunParameters& p) {
  const double n = p.groups;
  const double degree = p.network_from ? 2.0 * static_cast<double>(p.network_from->links.size()) / n : p.connectivity;
  return static_cast<double>(p.generations) * n * p.strategies * p.length * (degree + 1.0) + n * n * n;
}

// Makes one run in a directory of its own under runs/: written under a
// temporary name, run.json last, then renamed into place. Returns empty, or
// what went wrong, in which case nothing of the run remains.
std::string ExecuteSweepRun(Simulation& sim, const SweepPlan& plan, const PlannedRun& run, const fs::path& runs) {
  const fs::path final_dir = runs / std::to_string(run.run);
  fs::path temp;
  std::error_code ec;
  for (int attempt = 0;; ++attempt) {
    temp = runs / (std::to_string(run.run) + kPartialMark + RandomHex());
    if (fs::create_directory(temp, ec) && !ec) {
      break;
    }
    if (ec || attempt == 16) {
      return "cannot create the directory \"" + TextOfPath(temp) + "\": " + (ec ? ec.message() : "it exists");
    }
  }
  std::string error;
  ResultFiles files{};
  if (!SetResultDirectory(files, TextOfPath(temp).c_str())) {
    error = "the path \"" + TextOfPath(temp) + "\" is too long";
  } else {
    RunRecord record;
    record.position = SweepPosition{run.run, run.point, run.replicate};
    PrepareRun(sim, plan.points[static_cast<size_t>(run.point)], run.seeds, kProgram, record);
    CompleteRun(sim, files, record);
    for (int32_t i = 0; i < RESULT_FILE_COUNT && error.empty(); ++i) {
      if (files.error[i] != 0) {
        error = "could not write \"" + std::string(files.path[i]) + "\": " + std::strerror(files.error[i]);
      }
    }
    const fs::path record_path = temp / RUN_RECORD_FILE;
    if (error.empty()) {
      if (const Status written = WriteRunRecord(TextOfPath(record_path), record); !written.ok()) {
        error = "could not write \"" + TextOfPath(record_path) + "\": " + written.failure().why;
      }
    }
    if (error.empty()) {
      fs::rename(temp, final_dir, ec);
      if (ec) {
        // Another process may have finished the same run meanwhile.
        std::string why;
        if (!LoadFinishedRun(TextOfPath(final_dir), plan, run, &why)) {
          error = "could not rename \"" + TextOfPath(temp) + "\" to \"" + TextOfPath(final_dir) + "\": " + ec.message();
        }
      } else {
        return std::string();
      }
    }
  }
  fs::remove_all(temp, ec);
  return error;
}

// Reads DIR/runs: the finished runs of the plan, or empty entries.
FinishedRuns FindFinishedRuns(const fs::path& dir, const SweepPlan& plan, Progress* progress) {
  FinishedRuns finished(plan.runs.size());
  const fs::path runs = dir / kRunsDirectory;
  for (const PlannedRun& run : plan.runs) {
    const fs::path run_dir = runs / std::to_string(run.run);
    std::error_code ec;
    if (!fs::exists(run_dir, ec)) {
      continue;
    }
    std::string why;
    finished[static_cast<size_t>(run.run)] = LoadFinishedRun(TextOfPath(run_dir), plan, run, &why);
    if (!finished[static_cast<size_t>(run.run)] && progress != nullptr) {
      progress->Report("\"" + TextOfPath(run_dir) + "\" is not counted: " + why);
    }
  }
  return finished;
}

// Writes summary.csv, aggregate.csv and aggregate.svg into DIR from the runs
// finished there. Returns the exit status.
int Collect(const fs::path& dir, const SweepPlan& plan, const SweepStreams& streams, Progress& progress) {
  const FinishedRuns finished = FindFinishedRuns(dir, plan, &progress);
  const std::vector<PointAggregate> points = AggregatePoints(plan, finished);
  const auto count = std::count_if(finished.begin(), finished.end(), [](const auto& r) { return r.has_value(); });
  int status = EXIT_OK;
  const std::pair<const char*, std::string> outputs[] = {
      {"summary.csv", SummaryCsv(plan, finished)},
      {"aggregate.csv", AggregateCsv(plan, points)},
      {"aggregate.svg", AggregateSvg(plan, points)},
  };
  for (const auto& [name, text] : outputs) {
    const fs::path path = dir / name;
    if (const std::string error = WriteTextFile(path, text); !error.empty()) {
      progress.Report("could not write \"" + TextOfPath(path) + "\": " + error);
      status = EXIT_WRITE_FAILED;
    }
  }
  streams.out << "Collected " << count << " of " << plan.runs.size() << " runs into " << TextOfPath(dir / "summary.csv")
              << ", " << TextOfPath(dir / "aggregate.csv") << " and " << TextOfPath(dir / "aggregate.svg") << "\n";
  return status;
}

// Reads and checks a sweep file; nullopt with the message printed.
std::optional<SweepPlan> LoadSweep(const fs::path& path, std::string* text, const SweepStreams& streams,
                                   const fs::path& dir) {
  const Outcome<std::string> contents = ReadWholeFile(path);
  if (!contents.ok()) {
    streams.err << kProgram << ": cannot read the sweep file \"" << TextOfPath(path) << "\": " << contents.failure().why
                << "\n";
    return std::nullopt;
  }
  *text = contents.value();
  std::string error;
  std::optional<SweepPlan> plan = ParseSweepFile(*text, TextOfPath(path), &error, SweepNetworkLoader(path, dir));
  if (!plan) {
    streams.err << kProgram << ": " << TextOfPath(path) << ": " << error << "\n";
  }
  return plan;
}

// Whether DIR can hold this sweep: absent, empty, or made from a sweep file
// that plans the same runs. Prints why not.
bool DirectoryFits(const fs::path& dir, const SweepPlan& plan, const SweepStreams& streams) {
  std::error_code ec;
  if (!fs::exists(dir, ec)) {
    return true;
  }
  if (!fs::is_directory(dir, ec)) {
    streams.err << kProgram << ": --out \"" << TextOfPath(dir) << "\" exists and is not a directory\n";
    return false;
  }
  const fs::path copy = dir / kSweepCopy;
  if (fs::exists(copy, ec)) {
    std::string text;
    const std::optional<SweepPlan> saved = LoadSweep(copy, &text, streams, dir);
    if (!saved) {
      return false;
    }
    if (PlanCsv(*saved) != PlanCsv(plan)) {
      streams.err << kProgram << ": \"" << TextOfPath(dir)
                  << "\" holds another sweep (its sweep.toml plans other runs or seeds); "
                     "give another --out directory, or run that sweep file\n";
      return false;
    }
    return true;
  }
  // Without sweep.toml only what setting up a sweep leaves may be there.
  const fs::directory_iterator entries(dir, ec);
  if (ec) {
    streams.err << kProgram << ": cannot read \"" << TextOfPath(dir) << "\": " << ec.message() << "\n";
    return false;
  }
  for (const fs::directory_entry& entry : entries) {
    const std::string name = TextOfPath(entry.path().filename());
    if (name.rfind("sweep.toml.", 0) != 0 || name.size() < 4 || name.substr(name.size() - 4) != ".tmp") {
      streams.err << kProgram << ": \"" << TextOfPath(dir)
                  << "\" is not empty and holds no sweep (no sweep.toml); give a new or empty --out directory\n";
      return false;
    }
  }
  return true;
}

// Sets DIR up for the sweep (DirectoryFits having said it can hold it): the
// directory, the copy of the sweep file, the plan, runs/ and any further
// subdirectories. Returns the exit status, with the message printed.
int PlanDirectory(const fs::path& dir, const SweepPlan& plan, const std::string& sweep_text,
                  const std::vector<std::string>& subdirectories, const SweepStreams& streams) {
  const auto failed = [&](const std::string& message) {
    streams.err << kProgram << ": " << message << "\n";
    return EXIT_WRITE_FAILED;
  };
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    return failed("cannot create \"" + TextOfPath(dir) + "\": " + ec.message());
  }
  const fs::path copy = dir / kSweepCopy;
  if (!fs::exists(copy, ec)) {
    if (const std::string error = WriteTextFile(copy, sweep_text); !error.empty()) {
      return failed("cannot write \"" + TextOfPath(copy) + "\": " + error);
    }
  }
  if (const std::string error = KeepNetworkCopies(plan, dir); !error.empty()) {
    return failed(error);
  }
  const std::string plan_csv = PlanCsv(plan);
  const fs::path plan_path = dir / kPlanFile;
  if (const Outcome<std::string> old = ReadWholeFile(plan_path); !old.ok() || old.value() != plan_csv) {
    if (const std::string error = WriteTextFile(plan_path, plan_csv); !error.empty()) {
      return failed("cannot write \"" + TextOfPath(plan_path) + "\": " + error);
    }
  }
  std::vector<std::string> made = {kRunsDirectory};
  made.insert(made.end(), subdirectories.begin(), subdirectories.end());
  for (const std::string& name : made) {
    fs::create_directories(dir / name, ec);
    if (ec) {
      return failed("cannot create \"" + TextOfPath(dir / name) + "\": " + ec.message());
    }
  }
  return EXIT_OK;
}

// jobs_text and shard_text are nullopt when the option was not given.
int RunCommand(const std::string& sweep_file, const std::string& out_text, const std::optional<std::string>& jobs_text,
               const std::optional<std::string>& shard_text, bool quiet, const SweepStreams& streams) {
  const auto usage = [&](const std::string& message) {
    streams.err << kProgram << ": " << message << "\n";
    return EXIT_USAGE;
  };
  unsigned jobs = std::max(1U, std::thread::hardware_concurrency());
  if (jobs_text) {
    const std::optional<uint64_t> value = ParseDecimal(*jobs_text, kMaxJobs);
    if (!value || *value == 0) {
      return usage(RefusalMessage("--jobs", "a whole number from 1 to 1024", *jobs_text));
    }
    jobs = static_cast<unsigned>(*value);
  }
  Shard shard;
  if (shard_text) {
    const size_t slash = shard_text->find('/');
    const std::optional<uint64_t> index =
        slash == std::string::npos ? std::nullopt : ParseDecimal(shard_text->substr(0, slash), kMaxShards);
    const std::optional<uint64_t> count =
        slash == std::string::npos ? std::nullopt : ParseDecimal(shard_text->substr(slash + 1), kMaxShards);
    if (!index || !count || *index >= *count) {
      return usage(RefusalMessage("--shard", "I/N with whole numbers 0 <= I < N", *shard_text));
    }
    shard = Shard{static_cast<int64_t>(*index), static_cast<int64_t>(*count)};
  }
  if (out_text.empty()) {
    return usage("--out must name a directory");
  }

  std::string sweep_text;
  const std::optional<SweepPlan> loaded = LoadSweep(PathOfText(sweep_file), &sweep_text, streams, PathOfText(out_text));
  if (!loaded) {
    return EXIT_USAGE;
  }
  const SweepPlan& plan = *loaded;
  const fs::path dir = PathOfText(out_text);
  if (!DirectoryFits(dir, plan, streams)) {
    return EXIT_USAGE;
  }
  if (const int status = PlanDirectory(dir, plan, sweep_text, {}, streams); status != EXIT_OK) {
    return status;
  }
  const auto failed = [&](const std::string& message) {
    streams.err << kProgram << ": " << message << "\n";
    return EXIT_WRITE_FAILED;
  };
  std::error_code ec;
  const fs::path runs = dir / kRunsDirectory;

  // This shard's runs still to make. What a killed sweep left half-written
  // goes; runs of other shards are left to them (they may be running).
  Progress reporter(streams.err, false, 0);
  std::vector<fs::path> entries;
  for (const fs::directory_entry& entry : fs::directory_iterator(runs, ec)) {
    entries.push_back(entry.path());
  }
  if (ec) {
    return failed("cannot read \"" + TextOfPath(runs) + "\": " + ec.message());
  }
  std::vector<bool> owned_done(plan.runs.size(), false);
  for (const fs::path& entry : entries) {
    bool partial = false;
    const std::optional<int64_t> run = RunNumberOf(TextOfPath(entry.filename()), &partial);
    if (!run || *run >= static_cast<int64_t>(plan.runs.size()) || !shard.Owns(*run)) {
      continue;
    }
    std::string why = "it was left half-written";
    if (!partial) {
      if (LoadFinishedRun(TextOfPath(entry), plan, plan.runs[static_cast<size_t>(*run)], &why)) {
        owned_done[static_cast<size_t>(*run)] = true;
        continue;
      }
      reporter.Report("\"" + TextOfPath(entry) + "\" is not a finished run (" + why + "); making it again");
    }
    // If it cannot be removed, making the run again reports why.
    std::error_code remove_error;
    fs::remove_all(entry, remove_error);
  }
  std::vector<size_t> pending;
  int64_t owned = 0;
  for (const PlannedRun& run : plan.runs) {
    if (shard.Owns(run.run)) {
      ++owned;
      if (!owned_done[static_cast<size_t>(run.run)]) {
        pending.push_back(static_cast<size_t>(run.run));
      }
    }
  }
  // Longest runs first, so that the threads finish close together; the files
  // do not depend on the order.
  std::stable_sort(pending.begin(), pending.end(), [&](size_t a, size_t b) {
    return RunCost(plan.points[static_cast<size_t>(plan.runs[a].point)]) >
           RunCost(plan.points[static_cast<size_t>(plan.runs[b].point)]);
  });
  const unsigned threads = static_cast<unsigned>(std::min<size_t>(jobs, std::max<size_t>(pending.size(), 1)));
  streams.out << "Sweep of " << plan.runs.size() << " runs (" << plan.points.size() << " points x " << plan.replicates
              << " replicates)";
  if (shard.count > 1) {
    streams.out << ", shard " << shard.index << "/" << shard.count << ": " << owned << " runs";
  }
  streams.out << "; " << owned - static_cast<int64_t>(pending.size()) << " already finished, making " << pending.size()
              << " on " << threads << (threads == 1 ? " thread" : " threads") << "\n"
              << std::flush;

  Progress progress(streams.err, streams.err_is_terminal && !quiet, pending.size());
  std::atomic<size_t> next{0};
  std::atomic<size_t> failures{0};
  std::atomic<size_t> made{0};
  const auto worker = [&] {
    const SimulationPtr sim = NewSimulation();  // one per thread, for all of its runs
    if (!sim) {
      progress.Report("not enough memory for a simulation");
      return;
    }
    for (size_t i = next.fetch_add(1); i < pending.size(); i = next.fetch_add(1)) {
      const PlannedRun& run = plan.runs[pending[i]];
      const std::string error = ExecuteSweepRun(*sim, plan, run, runs);
      if (!error.empty()) {
        ++failures;
        progress.Report("run " + std::to_string(run.run) + ": " + error);
      }
      ++made;
      progress.RunDone();
    }
  };
  if (!pending.empty()) {
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) {
      pool.emplace_back(worker);
    }
    worker();
    for (std::thread& thread : pool) {
      thread.join();
    }
  }
  progress.Finish();

  int status = EXIT_OK;
  if (made < pending.size()) {
    progress.Report(std::to_string(pending.size() - made) + " runs could not be started");
    status = EXIT_WRITE_FAILED;
  }
  if (failures > 0) {
    progress.Report(std::to_string(failures) + " of " + std::to_string(pending.size()) + " runs failed");
    status = EXIT_WRITE_FAILED;
  }
  const int collected = Collect(dir, plan, streams, progress);
  return status != EXIT_OK ? status : collected;
}

int CollectCommand(const std::string& dir_text, const SweepStreams& streams) {
  const fs::path dir = PathOfText(dir_text);
  std::error_code ec;
  if (!fs::exists(dir / kSweepCopy, ec)) {
    streams.err << kProgram << ": \"" << dir_text << "\" is not a sweep directory (it has no sweep.toml)\n";
    return EXIT_USAGE;
  }
  std::string text;
  const std::optional<SweepPlan> plan = LoadSweep(dir / kSweepCopy, &text, streams, dir);
  if (!plan) {
    return EXIT_USAGE;
  }
  Progress progress(streams.err, false, 0);
  return Collect(dir, *plan, streams, progress);
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
  const auto usage = [&](const std::string& message) {
    streams.err << kProgram << ": " << message << "\n";
    return EXIT_USAGE;
  };
  if (out_text.empty()) {
    return usage("--out must name a directory");
  }
  if (write && write->empty()) {
    return usage("--write must name a file");
  }
  std::string sweep_text;
  const std::optional<SweepPlan> loaded = LoadSweep(sweep_file, &sweep_text, streams, PathOfText(out_text));
  if (!loaded) {
    return EXIT_USAGE;
  }
  const SweepPlan& plan = *loaded;
  std::string error;
  std::optional<SlurmArray> array = SlurmArrayFromOptions(texts, static_cast<int64_t>(plan.runs.size()), &error);
  if (!array) {
    return usage(error);
  }
  const fs::path dir = AbsolutePath(out_text);
  if (const std::string problem = SlurmDirectoryProblem(TextOfPath(dir)); !problem.empty()) {
    return usage(problem);
  }
  if (!DirectoryFits(dir, plan, streams)) {
    return EXIT_USAGE;
  }
  const std::string program = ThisProgramPath();
  if (program.empty()) {
    streams.err << kProgram << ": cannot tell where this program is, which the script must name\n";
    return EXIT_WRITE_FAILED;
  }
  if (write) {
    std::error_code ec;
    if (fs::is_directory(*write, ec)) {
      return usage("--write \"" + *write + "\" is a directory; give the script's file name");
    }
    // The script replaces what it is written over: never an input or a
    // file of the sweep.
    const std::vector<NamedOutput> kept = {
        {"the sweep file", sweep_file},
        {"this program", program},
        {"the sweep's copy", TextOfPath(dir / kSweepCopy)},
        {"the sweep's plan", TextOfPath(dir / kPlanFile)},
        {"the sweep's summary", TextOfPath(dir / "summary.csv")},
        {"the sweep's aggregate", TextOfPath(dir / "aggregate.csv")},
        {"the sweep's plot", TextOfPath(dir / "aggregate.svg")},
    };
    for (const NamedOutput& file : kept) {
      if (SameFile(*write, file.path)) {
        return usage("--write \"" + *write + "\" is " + file.what + " \"" + file.path + "\"");
      }
    }
    if (SameFile(TextOfPath(AbsolutePath(*write).parent_path()), TextOfPath(dir / kRunsDirectory))) {
      return usage("--write \"" + *write + "\" is in the sweep's runs/, which holds only runs");
    }
  }

  if (const int status = PlanDirectory(dir, plan, sweep_text, {SLURM_LOG_DIRECTORY}, streams); status != EXIT_OK) {
    return status;
  }
  array->program = program;
  array->sweep_file = TextOfPath(AbsolutePath(sweep_file));
  array->out_dir = TextOfPath(dir);
  const std::string script = SlurmScript(*array);
  for (const std::string& warning : NodeLocalWarnings(*array, NodeLocalDirectories())) {
    streams.err << kProgram << ": " << warning << "\n";
  }
  if (write) {
    if (const std::string failure = WriteTextFile(*write, script); !failure.empty()) {
      streams.err << kProgram << ": could not write \"" << *write << "\": " << failure << "\n";
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

  std::string dir;
  CLI::App* collect = app.add_subcommand("collect", "Summarise the finished runs of a sweep's directory");
  collect->add_option("DIR", dir, "The sweep's directory")->required();

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
  return CollectCommand(dir, streams);
}

}  // namespace veldaris::cli
