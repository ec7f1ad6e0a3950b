// The instruction sets that the model's inner loops are compiled for, chosen
// at run time.
//
// The build targets every x86-64 processor (no -march), so the faster
// variants are compiled for their instruction set alone and taken only where
// the processor has it. Every variant computes exactly the same values; the
// choice lives in each Simulation, so that a test can run one simulation on
// the portable code and the next on the fastest.
#pragma once

#include <cstdint>

namespace veldaris {

// Each level includes the ones before it.
enum class InstructionSet : int32_t {
  Baseline,  // what every x86-64 processor (and any other target) has
  Popcnt,    // the POPCNT instruction: play's popcounts
  Avx2,      // AVX2: the generator's blocks and bitmaps, play eight strategies at once
};

// The highest level this processor and its operating system support.
InstructionSet BestInstructionSet();

// The level a simulation asked for, lowered to what the processor supports.
inline InstructionSet UsableInstructionSet(InstructionSet wanted) {
  const InstructionSet best = BestInstructionSet();
  return wanted < best ? wanted : best;
}

}  // namespace veldaris
