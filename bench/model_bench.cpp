// Timings of the model.
//
// The reference case is the heaviest the dialog offers: a scale-free network
// of 200 groups with 8 strategies of 30 moves, K = 8 (m0 = 9, m = 4),
// G = 3000. For it:
//   BM_WholeRun      a whole run of G generations in batches of ten, result
//                    files included; draws_per_second counts the generator's
//                    outputs of the run (initial strategies included);
//   BM_WholeRunPayoffs  the same under payoffs other than the default ones;
//   BM_Batch         one batch of ten generations (what one tick of the
//                    window's 20 ms timer runs), median_us the median batch;
//   BM_Phases        one generation, split into play, statistics and
//                    evolution (the median of each, in microseconds);
//   BM_BuildNetwork  the Build Network command at N 200 and 500, split into
//                    the build and the measures (medians, in milliseconds).
// Each runs on every instruction set the model has code for: set:2 AVX2,
// set:1 POPCNT, set:0 the baseline of every x86-64 (a set the processor
// lacks runs as the best one it has).
//
// BM_Generator is the random generator alone, ns_per_output for one output
// at a time (NextRandom) and for whole blocks. BM_Case runs whole runs over
// the range of parameters (N 50..500, K 2..32, S 1..32, L 4..100, the word
// boundaries 63, 64, 65 included), so that no case is left slower.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "game/game_internal.h"
#include "model/model_internal.h"
#include "model/mt_block.h"
#include "model/random_internal.h"
#include "model/simulation.h"
#include "network/network_internal.h"
#include "results/results_internal.h"

namespace veldaris {
namespace {

constexpr uint32_t kSeed = 20240601U;

const ParameterChoice kLargestDialogCase{SCALE_FREE, 200, 8, 3000, 8, 30, 0.0};

// The instruction set of a benchmark's first argument: 0 Baseline, 1 Popcnt,
// 2 Avx2 (lowered to what the processor has).
InstructionSet Set(const benchmark::State& state) { return static_cast<InstructionSet>(state.range(0)); }

// A new simulation with the parameters confirmed as the dialog would, and
// its network built.
SimulationPtr Prepared(const ParameterChoice& choice, InstructionSet set) {
  SimulationPtr sim = NewSimulation();
  sim->instruction_set = set;
  ApplyDefaultParameters(*sim);
  SetParameters(*sim, choice, kSeed);
  BuildAndMeasureNetwork(*sim, kSeed);
  return sim;
}

// The clock of the timed parts. The machines are shared, so the figures that
// matter are medians: a batch or a phase that another process interrupted
// does not move them.
using Instant = std::chrono::steady_clock::time_point;
Instant Now() { return std::chrono::steady_clock::now(); }
double Seconds(Instant from, Instant to) { return std::chrono::duration<double>(to - from).count(); }

// Keeps up to a fixed number of timings (allocated before the timing starts)
// and gives their median.
class Timings {
 public:
  Timings() { values_.reserve(1 << 16); }
  void Add(double seconds) {
    if (values_.size() < values_.capacity()) {
      values_.push_back(seconds);
    }
  }
  double Median() {
    if (values_.empty()) {
      return 0.0;
    }
    auto middle = values_.begin() + static_cast<std::ptrdiff_t>(values_.size() / 2);
    std::nth_element(values_.begin(), middle, values_.end());
    return *middle;
  }

 private:
  std::vector<double> values_;
};

// A temporary directory for result files, removed at the end.
class ResultDirectory {
 public:
  ResultDirectory() {
    std::string dir = (std::filesystem::temp_directory_path() / "veldaris_bench_XXXXXX").string();
    if (mkdtemp(dir.data()) != nullptr) {
      path_ = dir;
      SetResultDirectory(files, dir.c_str());
    }
  }
  ~ResultDirectory() {
    if (!path_.empty()) {
      std::filesystem::remove_all(path_);
    }
  }
  ResultDirectory(const ResultDirectory&) = delete;
  ResultDirectory& operator=(const ResultDirectory&) = delete;
  bool ok() const { return !path_.empty(); }
  ResultFiles files{};

 private:
  std::filesystem::path path_;
};

// Whole runs of the given choice; draws_per_second counts the outputs of
// each run, from StartRun's seeding to the end.
void WholeRuns(benchmark::State& state, const ParameterChoice& choice) {
  SimulationPtr sim = Prepared(choice, Set(state));
  ResultDirectory dir;
  if (!dir.ok()) {
    state.SkipWithError("cannot create a temporary directory");
    return;
  }
  int64_t draws = 0;
  for ([[maybe_unused]] auto _ : state) {
    RunToCompletion(*sim, kSeed, dir.files);
    draws = RandomOutputsDrawn(*sim);
    benchmark::DoNotOptimize(sim->series);
  }
  if (dir.files.error[0] != 0 || dir.files.error[1] != 0) {
    state.SkipWithError("result files could not be written");
  }
  state.counters["draws_per_run"] = static_cast<double>(draws);
  state.counters["draws_per_second"] =
      benchmark::Counter(static_cast<double>(draws), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_WholeRun(benchmark::State& state) { WholeRuns(state, kLargestDialogCase); }
BENCHMARK(BM_WholeRun)->ArgName("set")->Arg(2)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The same run under other payoffs (T 1.9, R 1, P 0, S 0 with one decimal:
// 19, 10, 0, 0), which take play's general scoring.
void BM_WholeRunPayoffs(benchmark::State& state) {
  ParameterChoice choice = kLargestDialogCase;
  choice.payoffs = {19, 10, 0, 0};
  WholeRuns(state, choice);
}
BENCHMARK(BM_WholeRunPayoffs)->ArgName("set")->Arg(2)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// One batch per iteration, timed alone; the run starts again (untimed)
// before it would reach G, so no result file is written while timing.
void BM_Batch(benchmark::State& state) {
  SimulationPtr sim = Prepared(kLargestDialogCase, Set(state));
  ResultFiles files{};
  StartRun(*sim, kSeed);
  Timings batches;
  for ([[maybe_unused]] auto _ : state) {
    if (sim->generation + BATCH_GENERATIONS > sim->params.generation_count) {
      StartRun(*sim, kSeed);
    }
    const Instant start = Now();
    RunBatch(*sim, files);
    const double seconds = Seconds(start, Now());
    state.SetIterationTime(seconds);
    batches.Add(seconds);
  }
  state.counters["median_us"] = batches.Median() * 1e6;
}
BENCHMARK(BM_Batch)->ArgName("set")->Arg(2)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The three steps of a generation, each timed on its own.
void BM_Phases(benchmark::State& state) {
  SimulationPtr sim = Prepared(kLargestDialogCase, Set(state));
  ResultFiles files{};
  StartRun(*sim, kSeed);
  Timings play;
  Timings statistics;
  Timings evolution;
  int32_t g = 1;
  for ([[maybe_unused]] auto _ : state) {
    if (g == sim->params.generation_count) {
      StartRun(*sim, kSeed);
      g = 1;
    }
    const Instant t0 = Now();
    PlayGeneration(*sim);
    const Instant t1 = Now();
    RecordGeneration(*sim, g++, files);
    const Instant t2 = Now();
    EvolveGeneration(*sim);
    const Instant t3 = Now();
    play.Add(Seconds(t0, t1));
    statistics.Add(Seconds(t1, t2));
    evolution.Add(Seconds(t2, t3));
    state.SetIterationTime(Seconds(t0, t3));
  }
  state.counters["play_us"] = play.Median() * 1e6;
  state.counters["statistics_us"] = statistics.Median() * 1e6;
  state.counters["evolution_us"] = evolution.Median() * 1e6;
}
BENCHMARK(BM_Phases)->ArgName("set")->Arg(2)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The Build Network command (ResetRun, build, measures) as the window runs it,
// at N 200 and 500.
void BM_BuildNetwork(benchmark::State& state) {
  ParameterChoice choice = kLargestDialogCase;
  choice.group_count = static_cast<int32_t>(state.range(1));
  SimulationPtr sim = Prepared(choice, Set(state));
  Timings build;
  Timings measures;
  for ([[maybe_unused]] auto _ : state) {
    const Instant t0 = Now();
    ResetRun(*sim, kSeed);
    BuildNetwork(*sim, kSeed);
    sim->network_built = 1;
    const Instant t1 = Now();
    ComputeNetworkMetrics(*sim);
    const Instant t2 = Now();
    build.Add(Seconds(t0, t1));
    measures.Add(Seconds(t1, t2));
    state.SetIterationTime(Seconds(t0, t2));
    benchmark::DoNotOptimize(sim->metrics);
  }
  state.counters["build_ms"] = build.Median() * 1e3;
  state.counters["measures_ms"] = measures.Median() * 1e3;
}
BENCHMARK(BM_BuildNetwork)
    ->ArgNames({"set", "N"})
    ->Args({2, 200})
    ->Args({2, 500})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Seconds per output, shown by the library in ns.
benchmark::Counter PerOutput(int64_t outputs) {
  return benchmark::Counter(static_cast<double>(outputs), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// way 0: NextRandom one output at a time; way 1: whole blocks with their
// mutation bitmaps, as the generator makes them.
void BM_Generator(benchmark::State& state) {
  SimulationPtr sim = NewSimulation();
  sim->instruction_set = Set(state);
  SeedRandom(*sim, kSeed);
  uint32_t sum = 0;
  for ([[maybe_unused]] auto _ : state) {
    if (state.range(1) == 0) {
      for (int32_t i = 0; i < RANDOM_BLOCK; ++i) sum += NextRandom(*sim);
    } else {
      RegenerateRandom(*sim);
      sum += sim->random_outputs[RANDOM_BLOCK - 1];
    }
  }
  benchmark::DoNotOptimize(sum);
  state.counters["ns_per_output"] = PerOutput(state.iterations() * RANDOM_BLOCK);
}
BENCHMARK(BM_Generator)->ArgNames({"set", "block"})->Args({2, 0})->Args({2, 1})->Args({0, 0})->Args({0, 1});

// Whole runs over the range of parameters: type (1 small world, 0 scale
// free), N, S, K, L, G.
void BM_Case(benchmark::State& state) {
  const ParameterChoice choice{static_cast<int32_t>(state.range(1)),
                               static_cast<int32_t>(state.range(2)),
                               static_cast<int32_t>(state.range(3)),
                               static_cast<int32_t>(state.range(6)),
                               static_cast<int32_t>(state.range(4)),
                               static_cast<int32_t>(state.range(5)),
                               0.1};
  WholeRuns(state, choice);
}
BENCHMARK(BM_Case)
    ->ArgNames({"set", "sw", "N", "S", "K", "L", "G"})
    ->Args({2, 1, 50, 8, 8, 10, 1000})
    ->Args({2, 1, 50, 1, 2, 4, 1000})
    ->Args({2, 1, 200, 4, 4, 30, 1000})
    ->Args({2, 0, 500, 8, 8, 30, 1000})
    ->Args({2, 1, 500, 32, 32, 30, 200})
    ->Args({2, 0, 500, 32, 16, 64, 200})
    ->Args({2, 1, 97, 1, 6, 65, 1000})
    ->Args({2, 1, 120, 3, 2, 63, 1000})
    ->Args({2, 1, 200, 8, 8, 100, 1000})
    ->Args({2, 1, 200, 32, 8, 10, 1000})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veldaris

BENCHMARK_MAIN();
