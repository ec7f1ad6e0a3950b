// The simulation's generator: seeding, regeneration, the mutation bitmap of each block.
#include "model/mt_block.h"
#include "model/random_internal.h"

namespace veldaris {

static_assert(RANDOM_BLOCK == MT_STATE_WORDS, "one block is one regeneration of the state vector");
static_assert(RANDOM_BITMAP_WORDS >= BitmapWords(RANDOM_BLOCK) + 2, "room to read three words from any position");

namespace {

constexpr int32_t kNeverSeeded = RANDOM_BLOCK + 1;
constexpr uint32_t kDefaultSeed = 5489U;

void MarkMutations(Simulation& sim) {
  BelowBitmap(sim.random_outputs, RANDOM_BLOCK, sim.mutation_output_bound, sim.mutation_bits, sim.instruction_set);
}

}  // namespace

void SeedRandom(Simulation& sim, uint32_t seed) {
  uint32_t* mt = sim.mt;
  mt[0] = seed;
  for (int32_t i = 1; i < RANDOM_BLOCK; ++i) {
    mt[i] = 1812433253U * (mt[i - 1] ^ (mt[i - 1] >> 30)) + static_cast<uint32_t>(i);
  }
  sim.mti = RANDOM_BLOCK;
  sim.random_drawn_before_block = -RANDOM_BLOCK;
}

void TakeMutationThreshold(Simulation& sim) {
  sim.mutation_output_bound = MutationOutputBound(sim.params.mutation_per_million);
  MarkMutations(sim);
}

void RegenerateRandom(Simulation& sim) {
  if (sim.mti == kNeverSeeded) {
    SeedRandom(sim, kDefaultSeed);
  }
  sim.random_drawn_before_block += sim.mti;
  MtRegenerateAndTemper(sim.mt, sim.random_outputs, sim.instruction_set);
  MarkMutations(sim);
  sim.mti = 0;
}

void ScriptRandomOutputs(Simulation& sim, const uint32_t* outputs, int32_t count) {
  if (sim.mti == kNeverSeeded) {
    SeedRandom(sim, kDefaultSeed);
  }
  // The outputs take the end of the block; the count of outputs drawn goes on
  // as if they had been drawn from a block of the generator's own.
  const int32_t at = RANDOM_BLOCK - count;
  sim.random_drawn_before_block += sim.mti - at;
  for (int32_t i = 0; i < count; ++i) {
    sim.random_outputs[at + i] = outputs[i];
  }
  sim.mti = at;
  MarkMutations(sim);
}

}  // namespace veldaris
