// MT19937 a whole state vector at a time: the twist of all 624 words and their
// 624 tempered outputs in one call, plus a bitmap of which outputs fall at or
// below a limit (how the evolution step's mutation draws are decided without a
// multiplication per move).
//
// These are pure functions over caller-owned arrays, so they work on any
// owner of the generator state. The AVX2 code computes exactly the same words
// as the portable code; it is chosen at run time, never at build time, so the
// same program runs on every x86-64 processor.
#pragma once

#include <cstdint>

#include "model/instruction_set.h"

namespace veldaris {

inline constexpr int32_t MT_STATE_WORDS = 624;

// Regenerates the state vector in place with the standard MT19937 twist and
// writes the 624 tempered outputs it now holds, in order, to out: the
// generator's next 624 outputs. With set Avx2 (on a processor that has it) in
// eight lanes, else in portable code; the results are identical.
void MtRegenerateAndTemper(uint32_t mt[MT_STATE_WORDS], uint32_t out[MT_STATE_WORDS], InstructionSet set);

// Words needed for a bitmap of count values.
constexpr int32_t BitmapWords(int32_t count) { return (count + 63) / 64; }

// Sets bit i % 64 of bits[i / 64] exactly when values[i] <= limit, for i in
// 0..count - 1. Writes BitmapWords(count) words; the bits past count in the
// last one are 0. count >= 0. With set Avx2 eight values at a time, else four
// with SSE2 where the target has it (every x86-64), else one by one.
void AtMostBitmap(const uint32_t* values, int32_t count, uint32_t limit, uint64_t* bits, InstructionSet set);

// The same with bit i set exactly when values[i] < bound, for bound in
// 0..2^32: no bit for 0, every bit below count for 2^32 (or more).
void BelowBitmap(const uint32_t* values, int32_t count, uint64_t bound, uint64_t* bits, InstructionSet set);

}  // namespace veldaris
