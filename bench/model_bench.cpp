// Timings of the model at its heaviest setting: a scale-free network of 200
// groups with 8 strategies of 30 moves, K = 8 (m0 = 9, m = 4), G = 3000.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "model/model_internal.h"
#include "model/simulation.h"

namespace veldaris {
namespace {

constexpr uint32_t kSeed = 20240601U;

// A new simulation with the parameters confirmed as the dialog would.
SimulationPtr LargestScaleFree() {
  SimulationPtr sim = NewSimulation();
  ApplyDefaultParameters(*sim);
  SetParameters(*sim, ParameterChoice{SCALE_FREE, 200, 8, 3000, 8, 30, 0.0}, kSeed);
  return sim;
}

void BM_BuildNetworkAndMetrics(benchmark::State& state) {
  SimulationPtr sim = LargestScaleFree();
  for (auto _ : state) {
    BuildAndMeasureNetwork(*sim, kSeed);
    benchmark::DoNotOptimize(sim->metrics);
  }
}
BENCHMARK(BM_BuildNetworkAndMetrics)->Unit(benchmark::kMillisecond);

// One generation (play, statistics, evolution). The run restarts before it
// would reach generation G, so no result file is written while timing.
void BM_OneGeneration(benchmark::State& state) {
  SimulationPtr sim = LargestScaleFree();
  ResultFiles files{};
  BuildAndMeasureNetwork(*sim, kSeed);
  StartRun(*sim, kSeed);
  int32_t g = 1;
  for (auto _ : state) {
    if (g == sim->params.generation_count) {
      state.PauseTiming();
      StartRun(*sim, kSeed);
      g = 1;
      state.ResumeTiming();
    }
    RunGeneration(*sim, g++, files);
  }
  benchmark::DoNotOptimize(sim->series);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OneGeneration)->Unit(benchmark::kMicrosecond);

// A whole run of G generations in batches of ten, result files included.
void BM_WholeRun(benchmark::State& state) {
  SimulationPtr sim = LargestScaleFree();
  std::string dir = (std::filesystem::temp_directory_path() / "veldaris_bench_XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) {
    state.SkipWithError("cannot create a temporary directory");
    return;
  }
  ResultFiles files{};
  SetResultDirectory(files, dir.c_str());
  BuildAndMeasureNetwork(*sim, kSeed);
  for (auto _ : state) {
    RunToCompletion(*sim, kSeed, files);
    benchmark::DoNotOptimize(sim->series);
  }
  if (files.error[0] != 0 || files.error[1] != 0) {
    state.SkipWithError("result files could not be written");
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WholeRun)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veldaris

BENCHMARK_MAIN();
