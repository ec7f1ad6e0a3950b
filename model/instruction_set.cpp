// Which instruction set the inner loops use, chosen at run time from the processor.
#include "model/instruction_set.h"

namespace veldaris {

namespace {

#if defined(__x86_64__) || defined(__i386__)

// The library's check for AVX2 includes the operating system's saving of the
// 256-bit registers, not only the processor's feature bit. Every processor
// with AVX2 also has POPCNT; the code of that level uses both, so both are
// checked.
InstructionSet Detect() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("popcnt") == 0) {
    return InstructionSet::Baseline;
  }
  return __builtin_cpu_supports("avx2") != 0 ? InstructionSet::Avx2 : InstructionSet::Popcnt;
}

#else

InstructionSet Detect() { return InstructionSet::Baseline; }

#endif

}  // namespace

// Detected once per process; the processor does not change under it.
InstructionSet BestInstructionSet() {
  static const InstructionSet best = Detect();
  return best;
}

}  // namespace veldaris
