// The one pseudo-random generator of the simulator: MT19937, with its state in
// g_state, and the single integer draw from which every random value derives.
#pragma once

#include <cstdint>

namespace veldaris {

// Standard MT19937 initialisation from one word.
void SeedRandom(uint32_t seed);

// Seeds from the calendar time in whole seconds (low 32 bits), or from the
// fixed seed while one is set with UseFixedSeed.
void SeedRandomFromClock();

// The next MT19937 output; seeds with 5489 first if never seeded.
uint32_t NextRandom();

// floor(u * n / 2^32) for the next output u: an integer in 0..n - 1.
// Takes exactly one output; n must be in 1..10^6.
int32_t UniformBelow(int32_t n);

// Makes every following SeedRandomFromClock use seed instead of the clock.
void UseFixedSeed(uint32_t seed);
// Returns SeedRandomFromClock to the clock.
void UseClockSeed();

// The current calendar time in whole seconds since 1970, low 32 bits.
uint32_t ClockSeconds();

}  // namespace veldaris
