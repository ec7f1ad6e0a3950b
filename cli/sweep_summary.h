// What a sweep's finished runs add up to: the check that a run directory holds
// a finished run of the plan, summary.csv (one row per finished run),
// aggregate.csv (means, standard deviations and Student's t intervals per
// parameter point) and the values aggregate.svg draws.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/single_run.h"
#include "cli/sweep_plan.h"

namespace veldaris::cli {

inline constexpr const char* SWEEP_PROGRAM = "veldaris-sweep";

// Whether record is of run of the plan: made by this program and version,
// with the run's place in the plan, its parameters and seeds. Otherwise a
// failure saying what differs (a phrase after "the record").
Status RecordDescribesRun(const RunRecord& record, const SweepPlan& plan, const PlannedRun& run);

// The run directory of a run (DIR/runs/<run>) holds a finished run of the plan
// when its run.json parses, names the run's place in the plan, its parameters
// and seeds, and both result files are there with the SHA-256 it records.
// Otherwise a failure saying why the run is not counted.
Outcome<RunRecord> LoadFinishedRun(const std::string& run_directory, const SweepPlan& plan, const PlannedRun& run);

// One entry per run of the plan, in run order; empty for runs not finished.
using FinishedRuns = std::vector<std::optional<RunRecord>>;

// summary.csv: the plan's columns, the network measures (the four, the
// number of components and the mean path length over connected pairs) and
// the four outcomes of every finished run, in run order, then the outcomes as
// rates of the strategy length L (c_rate_final, d_rate_final, c_rate_tail,
// d_rate_tail).
std::string SummaryHeader(const SweepPlan& plan);
std::string SummaryCsv(const SweepPlan& plan, const FinishedRuns& finished);

// The outcomes aggregate.csv summarises per point: the two measures of the
// network that vary with its build, and the four outcomes of the run. (The
// average degree is K by construction.)
inline constexpr int32_t AGGREGATE_OUTCOME_COUNT = 6;
inline constexpr std::array<const char*, AGGREGATE_OUTCOME_COUNT> AGGREGATE_OUTCOMES = {
    "characteristic_path_length", "clustering_coefficient", "c_avg_final", "d_avg_final", "c_avg_tail", "d_avg_tail"};
inline constexpr int32_t C_AVG_TAIL = 4;
inline constexpr int32_t D_AVG_TAIL = 5;

// Mean, sample standard deviation (divisor n - 1) and the 95% interval
// mean -+ t(0.975, n - 1) * sd / sqrt(n) of a sample; sd and the interval are
// known only for n >= 2, the mean for n >= 1.
struct SampleStats {
  int64_t n = 0;
  double mean = 0.0;
  double sd = 0.0;
  double ci95_low = 0.0;
  double ci95_high = 0.0;
};
SampleStats Summarise(const std::vector<double>& values);

struct PointAggregate {
  int64_t n = 0;  // finished replicates
  std::array<SampleStats, AGGREGATE_OUTCOME_COUNT> outcomes;
};
std::vector<PointAggregate> AggregatePoints(const SweepPlan& plan, const FinishedRuns& finished);

// aggregate.csv: "point", the point's parameters, "n", then for each outcome
// <outcome>_mean, _sd, _ci95_low and _ci95_high; empty where unknown.
std::string AggregateCsv(const SweepPlan& plan, const std::vector<PointAggregate>& points);

}  // namespace veldaris::cli
