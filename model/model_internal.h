// Internal to the model library: the pieces that the network, game and
// results code share, and the steps of a run. Callers outside the library use
// model/simulation.h; the tests may use these to check the steps one by one.
#pragma once

#include <cstdint>

#include "model/simulation.h"

namespace veldaris {

// 1 when key equals one of entries 1..count of list (entry 0 ignored), else 0.
int32_t ListContains(const int32_t* list, int32_t key, int32_t count);

// The sentinel that ends neighbour lists of a network type, and under the
// current one.
int32_t SentinelOf(int32_t network_type);
int32_t NeighbourSentinel(const Simulation& sim);

// What ResetRun clears, without seeding: strategies, outcome counters,
// crossover points and the eight series.
void ClearRunState(Simulation& sim);

// One generation: play, statistics of generation g (which at g = G writes the
// result files), evolution.
void RunGeneration(Simulation& sim, int32_t g, ResultFiles& files);

}  // namespace veldaris
