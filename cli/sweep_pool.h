// Making a sweep's runs: one run from its plan entry to the row its store
// keeps, the threads that make a list of runs into a store, and the progress
// they report.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/sweep_plan.h"
#include "cli/sweep_store.h"
#include "model/simulation.h"

namespace veldaris::cli {

// The progress of the runs being made, on stderr: on a terminal a line
// rewritten in place a few times a second; elsewhere (a batch job's log) a
// plain line every `every`; nothing when quiet. Also serialises every
// message of the worker threads.
class Progress {
 public:
  enum class Mode { kQuiet, kTerminal, kLog };
  Progress(std::ostream& err, Mode mode, size_t total,
           std::chrono::steady_clock::duration every = std::chrono::minutes(1));

  void RunDone();
  // Shows the plain line when it is due (called about once a second).
  void Tick();
  void Report(const std::string& message);
  void Finish();

 private:
  std::string LineLocked() const;
  void ShowLocked();

  std::mutex mutex_;
  std::ostream& err_;
  Mode mode_;
  size_t total_;
  std::chrono::steady_clock::duration every_;
  size_t done_ = 0;
  size_t line_length_ = 0;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_shown_{};
};

// Makes run of the plan on sim, its files kept in memory: the row of the
// store, with run.json's text (its program veldaris-sweep) and the digests.
StoredRun MakeStoredRun(Simulation& sim, const SweepPlan& plan, const PlannedRun& run);

// Makes the runs of the plan numbered pending on `threads` threads, each with
// a simulation of its own, adding each to store; renews the store's claim
// meanwhile. The number of runs that were not stored, each reported.
size_t MakeRuns(const SweepPlan& plan, const std::vector<size_t>& pending, unsigned threads, StoreWriter& store,
                Progress& progress);

// About how long a run of p takes, in arbitrary units.
double RunCost(const RunParameters& p);

}  // namespace veldaris::cli
