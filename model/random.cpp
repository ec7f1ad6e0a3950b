#include "model/random_internal.h"

namespace veldaris {

namespace {

constexpr int32_t kStateWords = 624;
constexpr int32_t kShift = 397;
constexpr uint32_t kMatrixA = 0x9908b0dfU;
constexpr uint32_t kUpperMask = 0x80000000U;
constexpr uint32_t kLowerMask = 0x7fffffffU;

void Regenerate(Simulation& sim) {
  uint32_t* mt = sim.mt;
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
  sim.mti = 0;
}

}  // namespace

void SeedRandom(Simulation& sim, uint32_t seed) {
  uint32_t* mt = sim.mt;
  mt[0] = seed;
  for (int32_t i = 1; i < kStateWords; ++i) {
    mt[i] = 1812433253U * (mt[i - 1] ^ (mt[i - 1] >> 30)) + static_cast<uint32_t>(i);
  }
  sim.mti = kStateWords;
}

void RegenerateRandom(Simulation& sim) {
  if (sim.mti == kStateWords + 1) {
    SeedRandom(sim, 5489U);
  }
  Regenerate(sim);
}

}  // namespace veldaris
