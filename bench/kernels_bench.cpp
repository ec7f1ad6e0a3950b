// The kernels against the code they are to replace: the generator one output
// at a time, a block at a time (portable and AVX2), and path lengths by
// breadth-first search against the level-by-level search, on scale-free
// networks of 200 and 500 groups with K = 8 as the builder makes them.
//
// The generator benchmarks report ns_per_output; the path-length ones the
// time of all N searches.
#include <benchmark/benchmark.h>

#include <random>

#include "model/mt_block.h"
#include "model/random_internal.h"
#include "model/simulation.h"
#include "network/network_internal.h"
#include "network/path_lengths.h"

namespace veldaris {
namespace {

// Seconds per output, shown by the library in ns (suffix "n").
benchmark::Counter PerOutput(int64_t outputs) {
  return benchmark::Counter(static_cast<double>(outputs), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_NextRandom(benchmark::State& state) {
  SimulationPtr sim = NewSimulation();
  SeedRandom(*sim, 5489U);
  uint32_t sum = 0;
  for ([[maybe_unused]] auto _ : state) {
    for (int32_t i = 0; i < MT_STATE_WORDS; ++i) sum += NextRandom(*sim);
  }
  benchmark::DoNotOptimize(sum);
  state.counters["ns_per_output"] = PerOutput(state.iterations() * MT_STATE_WORDS);
}
BENCHMARK(BM_NextRandom);

void BM_MtBlock(benchmark::State& state) {
  const auto path = static_cast<SimdPath>(state.range(0));
  if (path == SimdPath::Avx2 && BestSimdPath() != SimdPath::Avx2) {
    state.SkipWithError("this processor has no AVX2");
    return;
  }
  uint32_t mt[MT_STATE_WORDS];
  uint32_t out[MT_STATE_WORDS];
  std::mt19937 seeder(5489U);
  for (uint32_t& w : mt) w = seeder();
  for ([[maybe_unused]] auto _ : state) {
    MtRegenerateAndTemper(mt, out, path);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  state.counters["ns_per_output"] = PerOutput(state.iterations() * MT_STATE_WORDS);
}
BENCHMARK(BM_MtBlock)
    ->ArgName("avx2")
    ->Arg(static_cast<int64_t>(SimdPath::Scalar))
    ->Arg(static_cast<int64_t>(SimdPath::Avx2));

SimulationPtr ScaleFreeNetwork(int32_t n) {
  constexpr uint32_t kSeed = 20240601U;
  SimulationPtr sim = NewSimulation();
  ApplyDefaultParameters(*sim);
  SetParameters(*sim, ParameterChoice{SCALE_FREE, n, 8, 3000, 8, 30, 0.0}, kSeed);
  BuildAndMeasureNetwork(*sim, kSeed);
  return sim;
}

void BM_PathLengthsLevelSearch(benchmark::State& state) {
  SimulationPtr sim = ScaleFreeNetwork(static_cast<int32_t>(state.range(0)));
  for ([[maybe_unused]] auto _ : state) {
    ComputePathLengths(*sim);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PathLengthsLevelSearch)->Arg(200)->Arg(500)->Unit(benchmark::kMillisecond);

void BM_PathLengthsBreadthFirst(benchmark::State& state) {
  SimulationPtr sim = ScaleFreeNetwork(static_cast<int32_t>(state.range(0)));
  constexpr std::ptrdiff_t kStride = sizeof(GroupRecord) / sizeof(int32_t);
  const NeighbourListView view{&sim->groups[0].degree, kStride, sim->groups[0].neighbours, kStride,
                               sim->params.group_count};
  int32_t queue[PATH_QUEUE_CAPACITY];
  for ([[maybe_unused]] auto _ : state) {
    AllPathLengths(view, sim->groups[0].dist, kStride, queue);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PathLengthsBreadthFirst)->Arg(200)->Arg(500)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veldaris

BENCHMARK_MAIN();
