// Fuzz target: a sweep file, read and planned as veldaris-sweep does.
//
// Checked: a file is either refused with a message or planned into runs that
// the model can run, numbered in order, each with its point and replicate and
// the seeds derived from them. Files with long arrays are left out (reading
// those is fine, but planning up to a million runs would slow fuzzing down).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/sweep_plan.h"

namespace {

void Require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

// Grids are products of arrays: with at most this many commas a file plans
// some ten thousand parameter points at the most, which keeps every input
// fast (the file is not parsed for this: the parser is what is fuzzed).
constexpr size_t kMaxCommas = 24;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldaris;
  using namespace veldaris::cli;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (static_cast<size_t>(std::count(text.begin(), text.end(), ',')) > kMaxCommas) return 0;
  std::string error;
  const std::optional<SweepPlan> plan = ParseSweepFile(text, "fuzz.toml", &error);
  if (!plan) {
    Require(!error.empty());
    return 0;
  }
  Require(plan->replicates >= 1 && !plan->points.empty());
  Require(static_cast<int64_t>(plan->runs.size()) == static_cast<int64_t>(plan->points.size()) * plan->replicates);
  for (size_t i = 0; i < plan->runs.size(); ++i) {
    const PlannedRun& run = plan->runs[i];
    Require(run.run == static_cast<int64_t>(i));
    Require(run.point == static_cast<int64_t>(i) / plan->replicates &&
            run.replicate == static_cast<int64_t>(i) % plan->replicates);
    const RunParameters& p = plan->points[static_cast<size_t>(run.point)];
    Require(p.groups >= 3 && p.groups <= MAX_GROUPS && p.connectivity >= 2 && p.connectivity < p.groups &&
            p.connectivity % 2 == 0 && p.strategies >= 1 && p.strategies <= MAX_STRATEGIES && p.length >= 4 &&
            p.length <= MAX_MOVES && p.generations % BATCH_GENERATIONS == 0 && p.rewiring_percent >= 0 &&
            p.rewiring_percent <= 100);
    const RunSeeds seeds = SweepRunSeeds(plan->seed, p, run.replicate);
    Require(seeds.network == run.seeds.network && seeds.run == run.seeds.run);
  }
  return 0;
}
