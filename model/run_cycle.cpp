// The commands of a build and a run: reset, build, start, batches of generations.
#include <initializer_list>

#include "game/game_internal.h"
#include "model/model_internal.h"
#include "model/random_internal.h"
#include "model/simulation.h"
#include "network/network_internal.h"
#include "results/results_internal.h"

namespace veldaris {

void ResetRun(Simulation& sim, uint32_t seed) {
  SeedRandom(sim, seed);
  ClearRunState(sim);
}

void ClearRunState(Simulation& sim) {
  InitStrategies(sim, StrategyFill::Clear);
  for (int32_t g = 0; g <= MAX_GROUPS; ++g) {
    sim.counters.CC[g] = 0.0;
    sim.counters.DD[g] = 0.0;
  }
  const int32_t length = sim.params.strategy_length;
  int32_t* points = sim.crossover_points;
  points[0] = 1;
  for (int32_t i = 1; i < 6; ++i) {
    points[i] = length;
  }
  GenerationSeries& s = sim.series;
  for (double* series : {s.D_Typ, s.C_Typ, s.D_Min, s.C_Min, s.D_Max, s.C_Max, s.D_Avg, s.C_Avg}) {
    for (int32_t g = 0; g <= MAX_GENERATIONS; ++g) {
      series[g] = 0.0;
    }
  }
}

void BuildAndMeasureNetwork(Simulation& sim, uint32_t seed) {
  ResetRun(sim, seed);
  BuildNetwork(sim, seed);
  sim.network_built = 1;
  ComputeNetworkMetrics(sim);
}

void BuildAndMeasureNetworkFromLinks(Simulation& sim, const int32_t (*links)[2], int32_t link_count) {
  ClearRunState(sim);
  BuildFromLinks(sim, links, link_count);
  sim.network_built = 1;
  ComputeNetworkMetrics(sim);
}

void StartRun(Simulation& sim, uint32_t seed) {
  sim.generation = 1;
  sim.run_finished = 0;
  TakeMutationThreshold(sim);
  ResetRun(sim, seed);
  InitStrategies(sim, StrategyFill::Random);
}

void RunGeneration(Simulation& sim, int32_t g, ResultFiles& files) {
  PlayGeneration(sim);
  RecordGeneration(sim, g, files);
  EvolveGeneration(sim);
}

void RunBatch(Simulation& sim, ResultFiles& files) {
  // Before StartRun (generation still 0) there is no run to advance.
  const int32_t c = sim.generation;
  if (c < 1 || c + (BATCH_GENERATIONS - 1) > sim.params.generation_count) {
    return;
  }
  for (int32_t g = c; g < c + BATCH_GENERATIONS; ++g) {
    RunGeneration(sim, g, files);
  }
  sim.generation = c + BATCH_GENERATIONS;
}

bool RunComplete(const Simulation& sim) { return sim.generation > sim.params.generation_count; }

void FinishRun(Simulation& sim) { sim.run_finished = 1; }

void RunToCompletion(Simulation& sim, uint32_t seed, ResultFiles& files, BatchCallback after_batch, void* context) {
  files.written = 0;
  StartRun(sim, seed);
  while (!RunComplete(sim)) {
    const int32_t before = sim.generation;
    RunBatch(sim, files);
    if (after_batch != nullptr) {
      after_batch(sim, context);
    }
    if (sim.generation == before) {
      break;  // G is not a multiple of 10: the last partial batch never runs
    }
  }
  FinishRun(sim);
}

}  // namespace veldaris
