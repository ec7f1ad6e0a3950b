#include "model/random.h"

#include <ctime>

#include "model/simulation_state.h"

namespace veldaris {

namespace {

constexpr int32_t kStateWords = 624;
constexpr int32_t kShift = 397;
constexpr uint32_t kMatrixA = 0x9908b0dfU;
constexpr uint32_t kUpperMask = 0x80000000U;
constexpr uint32_t kLowerMask = 0x7fffffffU;

void Regenerate() {
  uint32_t* mt = g_state.mt;
  int32_t k = 0;
  for (; k < kStateWords - kShift; ++k) {
    const uint32_t y = (mt[k] & kUpperMask) | (mt[k + 1] & kLowerMask);
    mt[k] = mt[k + kShift] ^ (y >> 1) ^ ((y & 1U) != 0 ? kMatrixA : 0U);
  }
  for (; k < kStateWords - 1; ++k) {
    const uint32_t y = (mt[k] & kUpperMask) | (mt[k + 1] & kLowerMask);
    mt[k] = mt[k + (kShift - kStateWords)] ^ (y >> 1) ^ ((y & 1U) != 0 ? kMatrixA : 0U);
  }
  const uint32_t y = (mt[kStateWords - 1] & kUpperMask) | (mt[0] & kLowerMask);
  mt[kStateWords - 1] = mt[kShift - 1] ^ (y >> 1) ^ ((y & 1U) != 0 ? kMatrixA : 0U);
  g_state.mti = 0;
}

}  // namespace

void SeedRandom(uint32_t seed) {
  uint32_t* mt = g_state.mt;
  mt[0] = seed;
  for (int32_t i = 1; i < kStateWords; ++i) {
    mt[i] = 1812433253U * (mt[i - 1] ^ (mt[i - 1] >> 30)) + static_cast<uint32_t>(i);
  }
  g_state.mti = kStateWords;
  g_state.last_seed = seed;
}

uint32_t ClockSeconds() { return static_cast<uint32_t>(static_cast<uint64_t>(std::time(nullptr)) & 0xffffffffU); }

void SeedRandomFromClock() { SeedRandom(g_state.fixed_seed_active != 0 ? g_state.fixed_seed : ClockSeconds()); }

uint32_t NextRandom() {
  if (g_state.mti >= kStateWords) {
    if (g_state.mti == kStateWords + 1) {
      SeedRandom(5489U);
    }
    Regenerate();
  }
  uint32_t y = g_state.mt[g_state.mti++];
  y ^= (y >> 11);
  y ^= (y << 7) & 0x9d2c5680U;
  y ^= (y << 15) & 0xefc60000U;
  y ^= (y >> 18);
  return y;
}

int32_t UniformBelow(int32_t n) {
  const uint64_t product = static_cast<uint64_t>(NextRandom()) * static_cast<uint64_t>(n);
  return static_cast<int32_t>(product >> 32);
}

void UseFixedSeed(uint32_t seed) {
  g_state.fixed_seed_active = 1;
  g_state.fixed_seed = seed;
}

void UseClockSeed() { g_state.fixed_seed_active = 0; }

}  // namespace veldaris
