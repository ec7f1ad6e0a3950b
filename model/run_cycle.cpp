#include "model/run_cycle.h"

#include <initializer_list>

#include "game/group_evolution.h"
#include "game/strategy_play.h"
#include "model/random.h"
#include "model/simulation_state.h"
#include "results/generation_statistics.h"

namespace veldaris {

void ResetRun() {
  SeedRandomFromClock();
  InitStrategies(0);
  for (int32_t g = 0; g <= MAX_GROUPS; ++g) {
    g_state.counters.CC[g] = 0.0;
    g_state.counters.DD[g] = 0.0;
  }
  const int32_t length = g_state.params.strategy_length;
  int32_t* points = g_state.crossover_points;
  points[0] = 1;
  for (int32_t i = 1; i < 6; ++i) {
    points[i] = length;
  }
  GenerationSeries& s = g_state.series;
  for (double* series : {s.D_Typ, s.C_Typ, s.D_Min, s.C_Min, s.D_Max, s.C_Max, s.D_Avg, s.C_Avg}) {
    for (int32_t g = 0; g <= MAX_GENERATIONS; ++g) {
      series[g] = 0.0;
    }
  }
}

void StartRun() {
  g_state.generation = 1;
  g_state.run_finished = 0;
  g_state.result_files.written = 0;
  ResetRun();
  InitStrategies(1);
}

void RunGeneration(int32_t g) {
  PlayGeneration();
  RecordGeneration(g);
  EvolveGeneration();
}

void RunBatch() {
  const int32_t c = g_state.generation;
  if (c < 1 || c + (BATCH_GENERATIONS - 1) > g_state.params.generation_count) {
    return;
  }
  for (int32_t g = c; g < c + BATCH_GENERATIONS; ++g) {
    RunGeneration(g);
  }
  g_state.generation = c + BATCH_GENERATIONS;
}

void RunToCompletion(BatchCallback after_batch, void* context) {
  StartRun();
  while (g_state.generation <= g_state.params.generation_count) {
    const int32_t before = g_state.generation;
    RunBatch();
    if (after_batch != nullptr) {
      after_batch(context);
    }
    if (g_state.generation == before) {
      break;  // G is not a multiple of 10: the last partial batch never runs
    }
  }
  g_state.run_finished = 1;
}

}  // namespace veldaris
