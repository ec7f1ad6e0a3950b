// Timings of the model at its heaviest setting: a scale-free network of 200
// groups with 8 strategies of 30 moves, K = 8 (m0 = 9, m = 4), G = 3000.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "model/random.h"
#include "model/run_cycle.h"
#include "model/simulation_state.h"
#include "network/network_builder.h"
#include "network/network_metrics.h"

namespace veldaris {
namespace {

void SetLargestScaleFreeParameters() {
  ClearSimulationState();
  ApplyDefaultParameters();
  g_state.params = SimParams{SCALE_FREE, 0, 200, 8, 3000, 8, 30, 9, 4};
  g_state.parameters_set = 1;
  UseFixedSeed(20240601U);
}

// The Build Network command: reset, build, measure.
void BuildAndMeasure() {
  ResetRun();
  BuildNetwork();
  g_state.network_built = 1;
  ComputeNetworkMetrics();
}

void BM_BuildNetworkAndMetrics(benchmark::State& state) {
  SetLargestScaleFreeParameters();
  for (auto _ : state) {
    BuildAndMeasure();
    benchmark::DoNotOptimize(g_state.metrics);
  }
}
BENCHMARK(BM_BuildNetworkAndMetrics)->Unit(benchmark::kMillisecond);

// One generation (play, statistics, evolution). The run restarts before it
// would reach generation G, so no result file is written while timing.
void BM_OneGeneration(benchmark::State& state) {
  SetLargestScaleFreeParameters();
  BuildAndMeasure();
  StartRun();
  int32_t g = 1;
  for (auto _ : state) {
    if (g == g_state.params.generation_count) {
      state.PauseTiming();
      StartRun();
      g = 1;
      state.ResumeTiming();
    }
    RunGeneration(g++);
  }
  benchmark::DoNotOptimize(g_state.series);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OneGeneration)->Unit(benchmark::kMicrosecond);

// A whole run of G generations in batches of ten, result files included.
void BM_WholeRun(benchmark::State& state) {
  SetLargestScaleFreeParameters();
  std::string dir = (std::filesystem::temp_directory_path() / "veldaris_bench_XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) {
    state.SkipWithError("cannot create a temporary directory");
    return;
  }
  std::snprintf(g_state.result_directory, sizeof g_state.result_directory, "%s", dir.c_str());
  BuildAndMeasure();
  for (auto _ : state) {
    RunToCompletion();
    benchmark::DoNotOptimize(g_state.series);
  }
  if (g_state.result_files.error[0] != 0 || g_state.result_files.error[1] != 0) {
    state.SkipWithError("result files could not be written");
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WholeRun)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veldaris

BENCHMARK_MAIN();
