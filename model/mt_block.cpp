// MT19937 in whole blocks of 624 outputs, and the bitmaps of outputs below a bound.
#include "model/mt_block.h"

#include <climits>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VELDARIS_HAVE_X86 1
#else
#define VELDARIS_HAVE_X86 0
#endif

namespace veldaris {

namespace {

constexpr int32_t kN = MT_STATE_WORDS;
constexpr int32_t kShift = 397;
constexpr uint32_t kMatrixA = 0x9908b0dfU;
constexpr uint32_t kUpperMask = 0x80000000U;
constexpr uint32_t kLowerMask = 0x7fffffffU;
constexpr uint32_t kTemperB = 0x9d2c5680U;
constexpr uint32_t kTemperC = 0xefc60000U;

// New value of a word from its old value, the old value of its successor and
// its partner, the word kShift places ahead (cyclically). Only the
// successor's lowest bit decides whether the matrix is added, since the lower
// mask keeps it.
inline uint32_t Twist(uint32_t word, uint32_t next, uint32_t partner) {
  const uint32_t y = (word & kUpperMask) | (next & kLowerMask);
  return partner ^ (y >> 1) ^ ((next & 1U) != 0 ? kMatrixA : 0U);
}

inline uint32_t Temper(uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & kTemperB;
  y ^= (y << 15) & kTemperC;
  y ^= y >> 18;
  return y;
}

// The twist runs in place in three stretches: the partners of words 0..226
// lie kShift ahead, still old; those of words 227..622 lie 227 behind, already
// regenerated in this pass; word 623 takes the new word 0 as its successor.
void RegenerateScalar(uint32_t* mt, uint32_t* out) {
  int32_t k = 0;
  for (; k < kN - kShift; ++k) {
    mt[k] = Twist(mt[k], mt[k + 1], mt[k + kShift]);
  }
  for (; k < kN - 1; ++k) {
    mt[k] = Twist(mt[k], mt[k + 1], mt[k + kShift - kN]);
  }
  mt[kN - 1] = Twist(mt[kN - 1], mt[0], mt[kShift - 1]);
  for (k = 0; k < kN; ++k) {
    out[k] = Temper(mt[k]);
  }
}

void AtMostBitmapScalar(const uint32_t* values, int32_t count, uint32_t limit, uint64_t* bits) {
  for (int32_t w = 0; w < BitmapWords(count); ++w) {
    const int32_t end = count - 64 * w < 64 ? count - 64 * w : 64;
    uint64_t word = 0;
    for (int32_t i = 0; i < end; ++i) {
      word |= static_cast<uint64_t>(values[64 * w + i] <= limit) << i;
    }
    bits[w] = word;
  }
}

#if defined(__SSE2__)

// The bitmap four values at a time with SSE2, which every x86-64 processor
// has: a signed comparison after flipping the sign bits is the unsigned one,
// and the four comparison results' sign bits are the four bits.
void AtMostBitmapSse2(const uint32_t* values, int32_t count, uint32_t limit, uint64_t* bits) {
  const __m128i sign = _mm_set1_epi32(INT32_MIN);
  const __m128i limits = _mm_xor_si128(_mm_set1_epi32(static_cast<int32_t>(limit)), sign);
  int32_t w = 0;
  for (; 64 * (w + 1) <= count; ++w) {
    const uint32_t* v = values + 64 * w;
    uint64_t word = 0;
    for (int32_t j = 0; j < 16; ++j) {
      const __m128i value = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v + 4 * j)), sign);
      const auto above = static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(value, limits))));
      word |= static_cast<uint64_t>(~above & 0xfU) << (4 * j);
    }
    bits[w] = word;
  }
  if (64 * w < count) {
    AtMostBitmapScalar(values + 64 * w, count - 64 * w, limit, bits + w);
  }
}

#endif

#if VELDARIS_HAVE_X86

// Functions marked VELDARIS_AVX2 are compiled for AVX2 whatever the build's
// target and only called once BestInstructionSet has found it. The small helpers
// carry the mark too, so that they inline into their callers.
#define VELDARIS_AVX2 __attribute__((target("avx2")))

// Eight words twisted at once: the lanes are independent as long as every
// successor is still old and every partner already has the value the scalar
// order would give it, which the stretch limits in RegenerateAvx2 guarantee.
VELDARIS_AVX2 inline __m256i Twist8(__m256i word, __m256i next, __m256i partner) {
  const __m256i upper = _mm256_set1_epi32(static_cast<int32_t>(kUpperMask));
  const __m256i lower = _mm256_set1_epi32(static_cast<int32_t>(kLowerMask));
  const __m256i matrix = _mm256_set1_epi32(static_cast<int32_t>(kMatrixA));
  const __m256i y = _mm256_or_si256(_mm256_and_si256(word, upper), _mm256_and_si256(next, lower));
  // All ones in the lanes whose successor is odd: its bit 0 moved to the sign
  // and spread by the arithmetic shift.
  const __m256i odd = _mm256_srai_epi32(_mm256_slli_epi32(next, 31), 31);
  return _mm256_xor_si256(_mm256_xor_si256(partner, _mm256_srli_epi32(y, 1)), _mm256_and_si256(odd, matrix));
}

VELDARIS_AVX2 inline __m256i Temper8(__m256i y) {
  y = _mm256_xor_si256(y, _mm256_srli_epi32(y, 11));
  y = _mm256_xor_si256(y, _mm256_and_si256(_mm256_slli_epi32(y, 7), _mm256_set1_epi32(static_cast<int32_t>(kTemperB))));
  y = _mm256_xor_si256(y,
                       _mm256_and_si256(_mm256_slli_epi32(y, 15), _mm256_set1_epi32(static_cast<int32_t>(kTemperC))));
  return _mm256_xor_si256(y, _mm256_srli_epi32(y, 18));
}

VELDARIS_AVX2 inline __m256i Load8(const uint32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

VELDARIS_AVX2 inline void Store8(uint32_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// The same three stretches as RegenerateScalar, eight words at a time where a
// whole group of eight lies inside one stretch and one word at a time at the
// seams: words 224..226 (their group would reach past 226 into words whose
// partners are new) and 619..622 (their group would read a successor past the
// end). Every vector group loads its words and successors before storing, so
// the successors it reads are old; the partners in the second stretch lie at
// least 220 words behind the group, all stored earlier in this pass.
VELDARIS_AVX2 void RegenerateAvx2(uint32_t* mt, uint32_t* out) {
  int32_t k = 0;
  for (; k + 8 <= kN - kShift; k += 8) {
    const __m256i v = Twist8(Load8(mt + k), Load8(mt + k + 1), Load8(mt + k + kShift));
    Store8(mt + k, v);
    Store8(out + k, Temper8(v));
  }
  for (; k < kN - kShift; ++k) {
    mt[k] = Twist(mt[k], mt[k + 1], mt[k + kShift]);
    out[k] = Temper(mt[k]);
  }
  for (; k + 8 <= kN - 1; k += 8) {
    const __m256i v = Twist8(Load8(mt + k), Load8(mt + k + 1), Load8(mt + k + kShift - kN));
    Store8(mt + k, v);
    Store8(out + k, Temper8(v));
  }
  for (; k < kN - 1; ++k) {
    mt[k] = Twist(mt[k], mt[k + 1], mt[k + kShift - kN]);
    out[k] = Temper(mt[k]);
  }
  mt[kN - 1] = Twist(mt[kN - 1], mt[0], mt[kShift - 1]);
  out[kN - 1] = Temper(mt[kN - 1]);
}

// Bit j of the result set when lane j of v is at most the limit (an unsigned
// comparison: the lane equals its minimum with the limit).
VELDARIS_AVX2 inline uint64_t AtMost8(__m256i v, __m256i limit) {
  const __m256i at_most = _mm256_cmpeq_epi32(_mm256_min_epu32(v, limit), v);
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(at_most))));
}

VELDARIS_AVX2 void AtMostBitmapAvx2(const uint32_t* values, int32_t count, uint32_t limit, uint64_t* bits) {
  const __m256i limits = _mm256_set1_epi32(static_cast<int32_t>(limit));
  int32_t w = 0;
  for (; 64 * (w + 1) <= count; ++w) {
    const uint32_t* v = values + 64 * w;
    uint64_t word = 0;
    for (int32_t j = 0; j < 8; ++j) {
      word |= AtMost8(Load8(v + 8 * j), limits) << (8 * j);
    }
    bits[w] = word;
  }
  if (64 * w < count) {
    AtMostBitmapScalar(values + 64 * w, count - 64 * w, limit, bits + w);
  }
}

#undef VELDARIS_AVX2

#endif

}  // namespace

void MtRegenerateAndTemper(uint32_t mt[MT_STATE_WORDS], uint32_t out[MT_STATE_WORDS], InstructionSet set) {
#if VELDARIS_HAVE_X86
  if (UsableInstructionSet(set) >= InstructionSet::Avx2) {
    RegenerateAvx2(mt, out);
    return;
  }
#else
  (void)set;
#endif
  RegenerateScalar(mt, out);
}

void AtMostBitmap(const uint32_t* values, int32_t count, uint32_t limit, uint64_t* bits, InstructionSet set) {
#if VELDARIS_HAVE_X86
  if (UsableInstructionSet(set) >= InstructionSet::Avx2) {
    AtMostBitmapAvx2(values, count, limit, bits);
    return;
  }
#else
  (void)set;
#endif
#if defined(__SSE2__)
  AtMostBitmapSse2(values, count, limit, bits);
#else
  AtMostBitmapScalar(values, count, limit, bits);
#endif
}

void BelowBitmap(const uint32_t* values, int32_t count, uint64_t bound, uint64_t* bits, InstructionSet set) {
  if (bound == 0) {
    for (int32_t w = 0; w < BitmapWords(count); ++w) {
      bits[w] = 0;
    }
    return;
  }
  constexpr uint64_t kAll = uint64_t{1} << 32;
  AtMostBitmap(values, count, static_cast<uint32_t>((bound < kAll ? bound : kAll) - 1), bits, set);
}

}  // namespace veldaris
