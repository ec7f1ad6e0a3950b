// Internal to the model library: the pieces that the network, game and
// results code share. Callers outside the library use model/simulation.h
// and run/run.h; the tests may use these to check the steps one by one.
#pragma once

#include <cstdint>

#include "model/simulation.h"

namespace veldaris {

// 1 when key equals one of entries 1..count of list (entry 0 ignored), else 0.
int32_t ListContains(const int32_t* list, int32_t key, int32_t count);

// The sentinel that ends neighbour lists under the current network type.
int32_t NeighbourSentinel(const Simulation& sim);

}  // namespace veldaris
