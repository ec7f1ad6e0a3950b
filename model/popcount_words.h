// Number of set bits in an array of 64-bit words, with the processor's POPCNT
// instruction where it has one. The build targets every x86-64 processor, so
// the compiler may not use POPCNT on its own and turns std::popcount into a
// library call; the hardware variant is compiled for POPCNT alone and chosen
// at run time.
#pragma once

#include <cstdint>

namespace veldaris {

enum class PopcountPath : int32_t { Portable, Hardware };

// Hardware when the processor has POPCNT, else Portable.
PopcountPath BestPopcountPath();

// The set bits of words[0..count - 1]; count >= 0 and below 2^25 so that the
// total fits. Asking for Hardware on a processor without POPCNT runs the
// portable code (the count is the same).
int32_t PopcountWords(const uint64_t* words, int32_t count, PopcountPath path);

}  // namespace veldaris
