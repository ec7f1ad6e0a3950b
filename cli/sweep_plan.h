// A sweep: its file (TOML), the grid of parameter points it spans, the
// replicates of every point, and the seeds of every run.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/parameter_table.h"
#include "cli/single_run.h"

namespace veldaris::cli {

// The run parameters a sweep file may give are the table's, in its order:
// the grid's points are numbered as nested loops over these keys, the last
// varying fastest.
inline constexpr int32_t SWEEP_KEY_COUNT = PARAMETER_COUNT;
extern const std::array<const char*, SWEEP_KEY_COUNT> SWEEP_KEYS;

inline constexpr int64_t MAX_REPLICATES = 100000;
inline constexpr int64_t MAX_SWEEP_RUNS = 1000000;

struct PlannedRun {
  int64_t run;
  int64_t point;
  int64_t replicate;
  RunSeeds seeds;
};

struct SweepPlan {
  // The values of every key as veldaris-run would take them, in the order
  // given; a key the file leaves out has veldaris-run's default (empty for a
  // parameter that is not given by default) and is not given.
  std::array<std::vector<std::string>, SWEEP_KEY_COUNT> values;
  std::array<bool, SWEEP_KEY_COUNT> given{};
  int64_t replicates = 0;
  uint64_t seed = 0;
  // In grid order. A scale-free network has no rewiring: its points are
  // planned for the first rewiring value only.
  std::vector<RunParameters> points;
  std::vector<PlannedRun> runs;  // point by point, replicates in order

  // The index into values[key] of every point's value of that key.
  std::vector<std::array<int32_t, SWEEP_KEY_COUNT>> point_indices;

  // The keys with more than one value, in grid order.
  std::vector<int32_t> VaryingKeys() const;
  // The parameter columns of the plan, summary and aggregate: the original
  // seven with the stored rewiring percentage after rewiring, then every
  // later parameter the file gives.
  std::vector<ParameterId> Columns() const;
};

// Reads a sweep file. A Usage failure with one message naming the key, the
// value and what is allowed (and, for a point the model cannot run, the
// point) when the file is not a valid sweep; a syntax error is given with its
// line and column. file_name is the name the parser keeps for the document.
// A network_from value is read with loader (null: LoadNetworkFile, which
// reads the path as given), once per value.
// max_runs is the most runs a sweep may have (a fuzzer lowers it).
Outcome<SweepPlan> ParseSweepFile(std::string_view text, const std::string& file_name,
                                  const NetworkLoader& loader = nullptr, int64_t max_runs = MAX_SWEEP_RUNS);

// The seeds of a run, from the sweep's base seed and the run's identity (its
// point's parameter values, SeedIdentityWords, and its replicate number),
// never its position:
//
//   mix(z)  = z ^ (z >> 31) of z := (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9,
//             z := (z ^ (z >> 27)) * 0x94D049BB133111EB          (mod 2^64)
//   sm(x)   = mix(x + 0x9E3779B97F4A7C15): SplitMix64's output from state x
//   h       = sm(base seed); then h = sm(h ^ w) for each identity word w, and
//             last for the replicate
//   network seed = sm(h) >> 32,  run seed = sm(h + 0x9E3779B97F4A7C15) >> 32
//
// (the two seeds are the high halves of the first two outputs of SplitMix64
// started from state h).
RunSeeds SweepRunSeeds(uint64_t base_seed, const RunParameters& point, int64_t replicate);

// The text of a point's value of key as veldaris-run takes it.
inline std::string ParameterText(const RunParameters& point, int32_t key) {
  return ParameterText(point, static_cast<ParameterId>(key));
}

// The header of the plan's parameter columns ("network,...,rewiring,
// rewiring_percent,...") and one run's values of them, comma-separated.
std::string ParameterColumnsHeader(const SweepPlan& plan);
std::string ParameterColumns(const SweepPlan& plan, const RunParameters& point);

// plan.csv: "run,point,replicate", the parameter columns, "network_seed,
// run_seed", one row per run.
std::string PlanHeader(const SweepPlan& plan);
std::string PlanCsv(const SweepPlan& plan);
// The plan columns of one run, without a line end.
std::string PlanRow(const SweepPlan& plan, const PlannedRun& run);

}  // namespace veldaris::cli
