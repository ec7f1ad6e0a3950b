// MT19937 a whole state vector at a time: the twist of all 624 words and their
// 624 tempered outputs in one call, plus a bitmap of which outputs fall at or
// below a limit (how the evolution step's mutation draw is decided without a
// multiplication per move).
//
// These are pure functions over caller-owned arrays, so they work on any
// owner of the generator state. The AVX2 code computes exactly the same words
// as the portable code; it is chosen at run time, never at build time, so the
// same program runs on every x86-64 processor.
#pragma once

#include <cstdint>

namespace veldaris {

inline constexpr int32_t MT_STATE_WORDS = 624;

// Which instruction set the block functions use.
enum class SimdPath : int32_t { Scalar, Avx2 };

// Avx2 when the processor and the operating system support AVX2, else Scalar.
SimdPath BestSimdPath();

// Regenerates the state vector in place with the standard MT19937 twist and
// writes the 624 tempered outputs it now holds, in order, to out: the same
// words NextRandom would return for the next 624 calls once its index has run
// past the end. Asking for Avx2 on a processor without it runs the portable
// code (the results are identical).
void MtRegenerateAndTemper(uint32_t mt[MT_STATE_WORDS], uint32_t out[MT_STATE_WORDS], SimdPath path);

// The largest output u for which floor(u * n / 2^32), the value UniformBelow(n)
// draws from u, is below v; for 1 <= v <= n <= 2^31 - 1. Because that draw
// never decreases as u grows, "draw < v" is exactly "u <= this limit".
constexpr uint32_t LargestOutputDrawingBelow(int32_t n, int32_t v) {
  return static_cast<uint32_t>(((static_cast<uint64_t>(v) << 32) - 1U) / static_cast<uint64_t>(n));
}

// A copied move mutates when 1 + UniformBelow(1000000) <= 1000, i.e. when the
// output is at most this value.
inline constexpr uint32_t MUTATION_OUTPUT_LIMIT = LargestOutputDrawingBelow(1000000, 1000);

// Words needed for a bitmap of count values.
constexpr int32_t BitmapWords(int32_t count) { return (count + 63) / 64; }

// Sets bit i % 64 of bits[i / 64] exactly when values[i] <= limit, for i in
// 0..count - 1. Writes BitmapWords(count) words; the bits past count in the
// last one are 0. count >= 0.
void AtMostBitmap(const uint32_t* values, int32_t count, uint32_t limit, uint64_t* bits, SimdPath path);

}  // namespace veldaris
