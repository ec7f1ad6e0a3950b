// One run from its parameters and seeds to its files, the way veldaris-run
// makes it and every sweep worker makes each of its runs: the window's Set
// Parameters + OK and Build Network with the network seed, Execute Simulation
// run to its end with the run seed (which writes the two result files), then
// the run's record, run.json, beside them.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "cli/failure.h"
#include "cli/parameter_table.h"
#include "io/result_files.h"
#include "model/simulation.h"
#include "run/run.h"

namespace veldaris::cli {

inline constexpr const char* VERSION = "1.25a";
inline constexpr const char* RUN_RECORD_FILE = "run.json";

struct RunSeeds {
  uint32_t network;
  uint32_t run;
};

// The run's outcome in the two all-group series: C_Avg and D_Avg at the last
// generation G, and their means over the last tenth of the generations
// (G - G/10 + 1 .. G).
struct RunOutcomes {
  double c_avg_final = 0.0;
  double d_avg_final = 0.0;
  double c_avg_tail = 0.0;
  double d_avg_tail = 0.0;
};

// One result file as the run left it: its SHA-256 (64 hex digits) when it was
// written, otherwise why not.
struct ResultFileRecord {
  std::string name;
  std::string sha256;
  std::string error;
};

// Where a sweep's run sits in its plan; absent for veldaris-run's runs.
struct SweepPosition {
  int64_t run;
  int64_t point;
  int64_t replicate;
};

// Everything run.json holds.
struct RunRecord {
  std::string program;  // the program that made the run
  std::string version;  // its version, as read back (run.json always gets VERSION)
  std::optional<SweepPosition> position;
  RunParameters parameters;
  RunSeeds seeds{};
  NetworkMetrics metrics{};
  RunOutcomes outcomes;
  ResultFileRecord files[RESULT_FILE_COUNT];
  std::string started;  // UTC, e.g. 2026-12-06T10:11:12.345Z
  std::string finished;
  double wall_seconds = 0.0;
  std::chrono::steady_clock::time_point start_time;  // not written
};

// The program-start state, then Set Parameters with p and OK, then Build
// Network: the same model calls in the same order as the window makes them,
// every seeding with seeds.network. Starts record (program, parameters,
// seeds, start time) and stores the network measures in it.
void PrepareRun(Simulation& sim, const RunParameters& p, RunSeeds seeds, const std::string& program, RunRecord& record);

// Execute Simulation to its end with seeds.run, writing the two result files
// into files' directory; completes record (outcomes, the files' digests or
// errors, end time, wall time). after_batch, when not null, is called after
// every batch.
void CompleteRun(Simulation& sim, ResultFiles& files, RunRecord& record, BatchCallback after_batch = nullptr,
                 void* context = nullptr);

// Completes record from the run that sim has completed and the writing of its
// result files: outcomes, the files' digests or errors, end and wall time.
void RecordResultFiles(const Simulation& sim, const ResultFiles& files, RunRecord& record);

// The outcomes of the run that sim has completed.
RunOutcomes OutcomesOf(const Simulation& sim);

// run.json's text: an indented JSON object ending in a newline, with every
// number written the same way in every locale.
std::string RunRecordJson(const RunRecord& record);

// Writes record to path through a temporary file (see WriteFileAtomically).
Status WriteRunRecord(const std::string& path, const RunRecord& record);

// Reads run.json's text back; a usage-kind failure ("not a complete run
// record", and why) when it is not a complete record.
Outcome<RunRecord> ParseRunRecord(const std::string& text);

// A UTC time as ISO 8601 with milliseconds ("2026-12-06T10:11:12.345Z").
std::string UtcTimestamp(std::chrono::system_clock::time_point time);

// The path of name inside directory, joined as the result files are.
std::string PathInDirectory(const std::string& directory, const char* name);

}  // namespace veldaris::cli
