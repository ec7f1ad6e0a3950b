// Fuzz target: a sweep file, read and planned as veldaris-sweep does.
//
// Checked: a file is either refused with a message or planned into runs that
// the model can run, numbered in order, each with its point and replicate and
// the seeds derived from them. Arrays of any length are read and checked; only
// the number of runs planned is capped, so that planning stays fast. A
// network_from value names a fixed small network instead of a file.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "cli/sweep_plan.h"

namespace {

void Require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

constexpr int64_t kMaxRuns = 20000;

veldaris::cli::Outcome<std::shared_ptr<const veldaris::cli::LoadedNetwork>> Triangle(const std::string& path) {
  if (path != "triangle.csv") {
    return veldaris::cli::Failure::Usage("no such file");
  }
  auto network = std::make_shared<veldaris::cli::LoadedNetwork>();
  network->path = path;
  network->sha256 = std::string(64, 'a');
  network->groups = 3;
  network->links = {{1, 2}, {2, 3}, {1, 3}};
  return std::shared_ptr<const veldaris::cli::LoadedNetwork>(std::move(network));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldaris;
  using namespace veldaris::cli;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Outcome<SweepPlan> parsed = ParseSweepFile(text, "fuzz.toml", Triangle, kMaxRuns);
  if (!parsed.ok()) {
    Require(!parsed.failure().Message().empty() && parsed.failure().ExitStatus() == EXIT_USAGE);
    return 0;
  }
  const SweepPlan* plan = &parsed.value();
  Require(plan->replicates >= 1 && !plan->points.empty());
  Require(static_cast<int64_t>(plan->runs.size()) == static_cast<int64_t>(plan->points.size()) * plan->replicates);
  for (size_t i = 0; i < plan->runs.size(); ++i) {
    const PlannedRun& run = plan->runs[i];
    Require(run.run == static_cast<int64_t>(i));
    Require(run.point == static_cast<int64_t>(i) / plan->replicates &&
            run.replicate == static_cast<int64_t>(i) % plan->replicates);
    const RunParameters& p = plan->points[static_cast<size_t>(run.point)];
    const bool built = p.network != NetworkType::FromFile;
    Require(p.groups >= 3 && p.groups <= MAX_GROUPS &&
            (!built || (p.connectivity >= 2 && p.connectivity < p.groups && p.connectivity % 2 == 0)) &&
            p.strategies >= 1 && p.strategies <= MAX_STRATEGIES && p.length >= 4 && p.length <= MAX_MOVES &&
            p.generations % BATCH_GENERATIONS == 0 && p.rewiring_percent >= 0 && p.rewiring_percent <= 100);
    const RunSeeds seeds = SweepRunSeeds(plan->seed, p, run.replicate);
    Require(seeds.network == run.seeds.network && seeds.run == run.seeds.run);
  }
  return 0;
}
