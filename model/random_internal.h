// Internal to the model library: the simulation's one pseudo-random
// generator, MT19937, and the single integer draw from which every random
// value derives. Every draw of a build or a run comes from here, in a fixed
// order, so a build or a run is reproducible from its seed alone.
//
// The generator regenerates its state and tempers all 624 outputs of the new
// state at once (model/mt_block.h), on the simulation's instruction set, and
// marks which outputs would make a copied move mutate. The outputs handed out
// are exactly those of the textbook generator, one at a time or, for runs of
// draws whose values are only compared with a limit or cut to their top bit,
// as bits read from the block.
#pragma once

#include <cstdint>

#include "model/simulation.h"

namespace veldaris {

// The largest output u for which floor(u * n / 2^32), the value UniformBelow(n)
// draws from u, is below v; for 1 <= v <= n <= 2^31 - 1. Because that draw
// never decreases as u grows, "draw < v" is exactly "u <= this limit".
constexpr uint32_t LargestOutputDrawingBelow(int32_t n, int32_t v) {
  return static_cast<uint32_t>(((static_cast<uint64_t>(v) << 32) - 1U) / static_cast<uint64_t>(n));
}

// A copied move mutates when 1 + UniformBelow(10^6) <= T, the threshold
// params.mutation_per_million: when floor(u 10^6 / 2^32) < T, that is when
// the output u is below ceil(T 2^32 / 10^6). T is held to 0..10^6, so the
// bound runs from 0 (never) to 2^32 (always).
inline constexpr int32_t MUTATION_DRAW_RANGE = 1000000;
constexpr uint64_t MutationOutputBound(int32_t per_million) {
  const uint64_t t = per_million <= 0                     ? 0U
                     : per_million >= MUTATION_DRAW_RANGE ? static_cast<uint64_t>(MUTATION_DRAW_RANGE)
                                                          : static_cast<uint64_t>(per_million);
  return ((t << 32) + MUTATION_DRAW_RANGE - 1) / MUTATION_DRAW_RANGE;
}
// Under the default threshold (trunc(MUTATION_RATE 10^6) = 1000) the outputs
// that mutate are those at most this value (4294967).
inline constexpr uint32_t MUTATION_OUTPUT_LIMIT =
    LargestOutputDrawingBelow(MUTATION_DRAW_RANGE, static_cast<int32_t>(MUTATION_RATE* MUTATION_DRAW_RANGE));
static_assert(MutationOutputBound(DEFAULT_MUTATION_PER_MILLION) == MUTATION_OUTPUT_LIMIT + uint64_t{1});
static_assert(MutationOutputBound(DEFAULT_MUTATION_PER_MILLION) == DEFAULT_MUTATION_OUTPUT_BOUND);

// Runs of up to 128 bits, such as the moves of a strategy longer than 64.
__extension__ using Bits128 = unsigned __int128;

// Bits 0..count - 1 set, for count from 0 to the width of Bits.
template <typename Bits>
Bits LowBits(int32_t count) {
  return count == 0 ? Bits{0} : ~Bits{0} >> (static_cast<int32_t>(8 * sizeof(Bits)) - count);
}

// Standard MT19937 initialisation from one word.
void SeedRandom(Simulation& sim, uint32_t seed);

// mutation_output_bound := the bound of params.mutation_per_million, and the
// outputs of the current block not yet drawn marked under it.
void TakeMutationThreshold(Simulation& sim);

// Regenerates the whole state vector and its outputs once all 624 have been
// used (seeding with 5489 first if never seeded).
void RegenerateRandom(Simulation& sim);

// The next MT19937 output. Inline: it is on the hot path of every generation.
inline uint32_t NextRandom(Simulation& sim) {
  if (sim.mti >= RANDOM_BLOCK) {
    RegenerateRandom(sim);
  }
  return sim.random_outputs[sim.mti++];
}

// floor(u * n / 2^32) for the next output u: an integer in 0..n - 1.
// Takes exactly one output; n must be in 1..10^6.
inline int32_t UniformBelow(Simulation& sim, int32_t n) {
  const uint64_t product = static_cast<uint64_t>(NextRandom(sim)) * static_cast<uint64_t>(n);
  return static_cast<int32_t>(product >> 32);
}

// The generator's position held in a local variable for a hot loop, so that
// the draws of a loop do not each go through memory, and written back when
// the stream ends. While a stream is open, draw only through it.
class RandomStream {
 public:
  explicit RandomStream(Simulation& sim) : sim_(sim), at_(static_cast<uint32_t>(sim.mti)) {}
  ~RandomStream() { sim_.mti = static_cast<int32_t>(at_); }
  RandomStream(const RandomStream&) = delete;
  RandomStream& operator=(const RandomStream&) = delete;

  // NextRandom and UniformBelow.
  uint32_t Next() {
    if (at_ >= kBlock) {
      Refill();
    }
    return sim_.random_outputs[at_++];
  }
  int32_t UniformBelow(int32_t n) {
    return static_cast<int32_t>((static_cast<uint64_t>(Next()) * static_cast<uint64_t>(n)) >> 32);
  }

  // The mutation test of each of the next count outputs (1..128, Bits wide
  // enough): bit i is set when the i-th output is below the simulation's
  // mutation_output_bound. Takes count outputs, read from the blocks' bitmaps.
  template <typename Bits>
  Bits TakeMutationBits(int32_t count) {
    static_assert(sizeof(Bits) == 8 || sizeof(Bits) == 16, "one or two 64-bit words");
    if (at_ + static_cast<uint32_t>(count) <= kBlock) {
      return ReadMutationBits<Bits>(count);
    }
    if (at_ >= kBlock) {
      Refill();
      return ReadMutationBits<Bits>(count);
    }
    // The run reaches into the next block.
    const auto here = static_cast<int32_t>(kBlock - at_);
    const Bits first = ReadMutationBits<Bits>(here);
    Refill();
    return first | (ReadMutationBits<Bits>(count - here) << here);
  }

  // UniformBelow(2), the top bit, of each of the next count outputs (0..64):
  // bit i for the i-th. Takes count outputs.
  uint64_t TakeTopBits(int32_t count) {
    uint64_t bits = 0;
    if (at_ + static_cast<uint32_t>(count) <= kBlock) {
      const uint32_t* outputs = sim_.random_outputs + at_;
      for (int32_t i = 0; i < count; ++i) {
        bits |= static_cast<uint64_t>(outputs[i] >> 31) << i;
      }
      at_ += static_cast<uint32_t>(count);
      return bits;
    }
    for (int32_t i = 0; i < count; ++i) {
      bits |= static_cast<uint64_t>(Next() >> 31) << i;
    }
    return bits;
  }

 private:
  static constexpr auto kBlock = static_cast<uint32_t>(RANDOM_BLOCK);

  void Refill() {
    sim_.mti = static_cast<int32_t>(at_);
    RegenerateRandom(sim_);
    at_ = static_cast<uint32_t>(sim_.mti);
  }

  // count (1..128) bits of the bitmap from the position on; at_ + count <= 624.
  template <typename Bits>
  Bits ReadMutationBits(int32_t count) {
    const uint64_t* words = sim_.mutation_bits + at_ / 64;
    const uint32_t shift = at_ % 64;
    at_ += static_cast<uint32_t>(count);
    // The word that holds the position shifted down, the next words shifted
    // up into the vacated top (a shift by 64 - shift done in two steps, so
    // that shift 0 shifts them out instead of being undefined).
    Bits bits = 0;
    if constexpr (sizeof(Bits) == 8) {
      bits = (words[0] >> shift) | ((words[1] << 1) << (63 - shift));
    } else {
      const Bits pair = (static_cast<Bits>(words[1]) << 64) | words[0];
      bits = (pair >> shift) | (((static_cast<Bits>(words[2]) << 64) << 1) << (63 - shift));
    }
    return bits & (~Bits{0} >> (8 * sizeof(Bits) - static_cast<uint32_t>(count)));
  }

  Simulation& sim_;
  uint32_t at_;  // 0..624, or 625 before the first seeding
};

// RandomStream's TakeTopBits and TakeMutationBits for a single run.
inline uint64_t TakeTopBits(Simulation& sim, int32_t count) { return RandomStream(sim).TakeTopBits(count); }
template <typename Bits>
Bits TakeMutationBits(Simulation& sim, int32_t count) {
  return RandomStream(sim).TakeMutationBits<Bits>(count);
}

// Outputs drawn since the generator was last seeded.
inline int64_t RandomOutputsDrawn(const Simulation& sim) { return sim.random_drawn_before_block + sim.mti; }

// For tests: the next count outputs (1..624) are exactly outputs[0..count-1];
// after them the generator goes on with its own sequence, from the next
// regeneration of its state. Seeds with 5489 first if never seeded.
void ScriptRandomOutputs(Simulation& sim, const uint32_t* outputs, int32_t count);

}  // namespace veldaris
