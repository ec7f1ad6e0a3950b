#include "model/popcount_words.h"

#include <bit>

namespace veldaris {

namespace {

int32_t PopcountPortable(const uint64_t* words, int32_t count) {
  int32_t total = 0;
  for (int32_t i = 0; i < count; ++i) {
    total += std::popcount(words[i]);
  }
  return total;
}

#if defined(__x86_64__) || defined(__i386__)

// The same loop compiled for POPCNT: the builtin becomes the instruction.
__attribute__((target("popcnt"))) int32_t PopcountHardware(const uint64_t* words, int32_t count) {
  int32_t total = 0;
  for (int32_t i = 0; i < count; ++i) {
    total += __builtin_popcountll(words[i]);
  }
  return total;
}

PopcountPath DetectPopcountPath() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("popcnt") ? PopcountPath::Hardware : PopcountPath::Portable;
}

#else

PopcountPath DetectPopcountPath() { return PopcountPath::Portable; }

#endif

}  // namespace

PopcountPath BestPopcountPath() {
  static const PopcountPath best = DetectPopcountPath();
  return best;
}

int32_t PopcountWords(const uint64_t* words, int32_t count, PopcountPath path) {
#if defined(__x86_64__) || defined(__i386__)
  if (path == PopcountPath::Hardware && BestPopcountPath() == PopcountPath::Hardware) {
    return PopcountHardware(words, count);
  }
#else
  (void)path;
#endif
  return PopcountPortable(words, count);
}

}  // namespace veldaris
