// Internal to the model library: the simulation's one pseudo-random
// generator, MT19937, and the single integer draw from which every random
// value derives. Every draw of a build or a run comes from here, in a fixed
// order, so a build or a run is reproducible from its seed alone.
#pragma once

#include <cstdint>

#include "model/simulation.h"

namespace veldaris {

// Standard MT19937 initialisation from one word.
void SeedRandom(Simulation& sim, uint32_t seed);

// Regenerates the whole state vector once all 624 words have been used
// (seeding with 5489 first if never seeded).
void RegenerateRandom(Simulation& sim);

// The next MT19937 output. Inline: it is on the hot path of every generation.
inline uint32_t NextRandom(Simulation& sim) {
  if (sim.mti >= 624) {
    RegenerateRandom(sim);
  }
  uint32_t y = sim.mt[sim.mti++];
  y ^= (y >> 11);
  y ^= (y << 7) & 0x9d2c5680U;
  y ^= (y << 15) & 0xefc60000U;
  y ^= (y >> 18);
  return y;
}

// floor(u * n / 2^32) for the next output u: an integer in 0..n - 1.
// Takes exactly one output; n must be in 1..10^6.
inline int32_t UniformBelow(Simulation& sim, int32_t n) {
  const uint64_t product = static_cast<uint64_t>(NextRandom(sim)) * static_cast<uint64_t>(n);
  return static_cast<int32_t>(product >> 32);
}

}  // namespace veldaris
