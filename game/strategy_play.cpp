// One generation of play: every group's strategies against its neighbours', on the moves as bits.
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "game/game_internal.h"
#include "model/model_internal.h"
#include "model/random_internal.h"

namespace veldaris {

namespace {

// Points for the playing side, indexed [own move][neighbour's move].
constexpr int32_t kPayoff[2][2] = {
    {1, 5},  // defect against defect, defect against cooperate
    {0, 3},  // cooperate against defect, cooperate against cooperate
};

// Scores averaged over one group's neighbours as RoundedAverage defines them:
// total / count rounded half up is (2 total + count) / (2 count) rounded down,
// which multiplying by ceil(2^32 / (2 count)) and keeping the high half gives
// exactly while y = 2 total + count satisfies y (2 count - 1) < 2^32 (the
// error of the reciprocal, under 1 / 2^32 per unit of y, then stays below
// the gap to the next multiple of 2 count). A negative total turns y into a
// number far above that limit, so one comparison guards both.
class ScoreAverager {
 public:
  explicit ScoreAverager(int32_t count)
      : count_(count),
        reciprocal_(count >= 1 && count <= MAX_GROUPS ? kTables.reciprocal[count] : 0),
        limit_(count >= 1 && count <= MAX_GROUPS ? kTables.limit[count] : 0) {}

  int32_t operator()(int32_t total) const {
    const uint64_t y = 2 * static_cast<uint64_t>(static_cast<int64_t>(total)) + static_cast<uint64_t>(count_);
    if (y <= limit_) {
      return static_cast<int32_t>((y * reciprocal_) >> 32);
    }
    return RoundHalfUp(static_cast<double>(total) / count_);
  }

 private:
  struct Tables {
    uint64_t reciprocal[MAX_GROUPS + 1];  // ceil(2^32 / (2 d))
    uint64_t limit[MAX_GROUPS + 1];       // the largest y with y (2 d - 1) < 2^32
  };
  static constexpr Tables kTables = [] {
    Tables t{};
    for (uint64_t d = 1; d <= MAX_GROUPS; ++d) {
      t.reciprocal[d] = ((uint64_t{1} << 32) + 2 * d - 1) / (2 * d);
      t.limit[d] = ((uint64_t{1} << 32) - 1) / (2 * d - 1);
    }
    return t;
  }();

  int32_t count_;
  uint64_t reciprocal_;
  uint64_t limit_;
};

// Bits of moves 1..length in word w of a strategy.
uint64_t MoveMask(int32_t length, int32_t w) {
  const int32_t moves = length - 64 * w;
  if (moves <= 0) {
    return 0;
  }
  return moves >= 64 ? ~uint64_t{0} : (uint64_t{1} << moves) - 1;
}

// The popcount of a word. Inlined into every variant of play: where it is
// compiled for POPCNT it is that instruction, elsewhere the compiler's
// generic sequence (or a library call).
[[gnu::always_inline]] inline int32_t Ones(uint64_t word) { return __builtin_popcountll(word); }

// Play on the moves as bits, kWords words of them per strategy (1 for
// L <= 64). A game then costs a few word operations instead of L comparisons:
// with A and B the cooperations of the two strategies and C those in the same
// move, the playing side scores T (B - C) + R C + P (L - A - B + C) + S (A - C),
// under the default payoffs L - A + 4B - C (the payoff 1 - a + 4b - ab summed
// over the moves); mutual cooperation is C and mutual defection
// L - A - B + C. Summed over the neighbours these are integers, so the scores
// and counters are exactly those of move-by-move games. Moves past L are
// masked out of the group's own side, so they take no part.

// A of every strategy of groups 1..N, into their cooperations; mask[w] gets
// the bits of moves 1..L in word w.
template <int32_t kWords>
[[gnu::always_inline]] inline void CountCooperations(Simulation& sim, uint64_t* mask) {
  const int32_t n = sim.params.group_count;
  const int32_t s_count = sim.params.strategy_count;
  for (int32_t w = 0; w < kWords; ++w) {
    mask[w] = MoveMask(sim.params.strategy_length, w);
  }
  for (int32_t g = 1; g <= n; ++g) {
    StrategySlots& slots = sim.groups[g].strategies;
    for (int32_t s = 1; s <= s_count; ++s) {
      int32_t ones = 0;
      for (int32_t w = 0; w < kWords; ++w) {
        ones += Ones(slots.moves[w][s] & mask[w]);
      }
      slots.cooperations[s] = ones;
    }
  }
}

// Sums of any payoffs averaged over count neighbours (1..MAX_GROUPS) as
// RoundedSumAverage defines them: floor((2 total + count) / (2 count)). The
// numerator is first raised by kOffset times the divisor, which makes it
// positive for every |total| < kOffset and adds kOffset to the quotient; the
// quotient of y is then the high half of y times r = ceil(2^64 / (2 count)),
// exactly while y (r 2 count - 2^64) < 2^64, which holds for y < 2^54 (the
// error term is below 2 count <= 1000 < 2^10). A multiplication instead of a
// 64-bit division per strategy.
class SumAverager {
 public:
  static constexpr int64_t kOffset = int64_t{1} << 42;

  explicit SumAverager(int32_t count)
      : count_(count), reciprocal_(count >= 1 && count <= MAX_GROUPS ? kReciprocals.of[count] : 0) {}

  int32_t operator()(int64_t total) const {
    const int64_t divisor = 2 * static_cast<int64_t>(count_);
    const auto y = static_cast<uint64_t>(2 * total + count_ + kOffset * divisor);
    const auto quotient = static_cast<int64_t>((static_cast<Bits128>(y) * reciprocal_) >> 64);
    return static_cast<int32_t>(quotient - kOffset);
  }

 private:
  struct Reciprocals {
    uint64_t of[MAX_GROUPS + 1];  // ceil(2^64 / (2 d))
  };
  static constexpr Reciprocals kReciprocals = [] {
    Reciprocals t{};
    for (uint64_t d = 1; d <= MAX_GROUPS; ++d) {
      t.of[d] = static_cast<uint64_t>(((static_cast<Bits128>(1) << 64) + 2 * d - 1) / (2 * d));
    }
    return t;
  }();
  // |total| < 2^42 and 2 count < 2^10 keep y below 2^43 + 2^52 < 2^54.
  static_assert(kOffset * 2 * MAX_GROUPS < (int64_t{1} << 53));

  int32_t count_;
  uint64_t reciprocal_;
};

// The score of a group's strategy over its played neighbours under any
// payoffs, from A (its cooperations per game), B and C summed: the games
// score T (B - C) + R C + P (L - A - B + C) + S (A - C), summed exactly in
// 64 bits (at most 10^6 x 100 moves x 499 neighbours in size).
int64_t GeneralScore(const Payoffs& pay, int32_t played, int32_t length, int32_t own_cooperations, int32_t theirs,
                     int32_t common) {
  const int64_t a = static_cast<int64_t>(played) * own_cooperations;
  const int64_t b = theirs;
  const int64_t c = common;
  const int64_t moves = static_cast<int64_t>(played) * length;
  return pay.temptation * (b - c) + pay.reward * c + pay.punishment * (moves - a - b + c) + pay.sucker * (a - c);
}

// The group's scores and counters from C and B summed over its played
// neighbours (common and theirs, indexed by strategy). kGeneral: under the
// simulation's payoffs; else under the default ones, in 32-bit arithmetic.
template <bool kGeneral>
[[gnu::always_inline]] inline void Settle(Simulation& sim, int32_t g, int32_t played, const int32_t* common,
                                          const int32_t* theirs) {
  const int32_t s_count = sim.params.strategy_count;
  const int32_t length = sim.params.strategy_length;
  GroupRecord& r = sim.groups[g];
  StrategySlots& own = r.strategies;
  const ScoreAverager average(r.degree);
  const SumAverager average_sum(r.degree);
  int32_t cc = 0;
  int32_t dd = 0;
  for (int32_t s = 1; s <= s_count; ++s) {
    const int32_t alone = played * (length - own.cooperations[s]);  // L - A summed
    if constexpr (kGeneral) {
      const int64_t total = GeneralScore(sim.params.payoffs, played, length, own.cooperations[s], theirs[s], common[s]);
      own.score[s] = average_sum(own.score[s] + total);
    } else {
      own.score[s] = average(own.score[s] + alone + 4 * theirs[s] - common[s]);
    }
    cc += common[s];
    dd += alone - theirs[s] + common[s];
  }
  // Whole numbers far below 2^53: one addition gives the sum that adding game
  // by game would.
  sim.counters.CC[g] = (sim.counters.CC[g] + cc) / r.degree / s_count;
  sim.counters.DD[g] = (sim.counters.DD[g] + dd) / r.degree / s_count;
}

template <int32_t kWords, bool kGeneral>
[[gnu::always_inline]] inline void PlayGroups(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  const int32_t s_count = sim.params.strategy_count;
  const int32_t sentinel = NeighbourSentinel(sim);
  uint64_t mask[kWords];
  CountCooperations<kWords>(sim, mask);
  for (int32_t g = 1; g <= n; ++g) {
    GroupRecord& r = sim.groups[g];
    if (r.degree == 0) {
      continue;
    }
    uint64_t mine[kWords][MAX_STRATEGIES + 1];
    for (int32_t w = 0; w < kWords; ++w) {
      for (int32_t s = 1; s <= s_count; ++s) {
        mine[w][s] = r.strategies.moves[w][s] & mask[w];
      }
    }
    // Neighbour by neighbour, strategy by strategy: the inner loops always
    // run S times, so only the neighbour loop's end is hard to predict.
    int32_t common[MAX_STRATEGIES + 1] = {};
    int32_t theirs[MAX_STRATEGIES + 1] = {};
    int32_t played = 0;
    for (int32_t slot = 1; slot <= MAX_GROUPS && r.neighbours[slot] != sentinel; ++slot) {
      const StrategySlots& other = sim.groups[r.neighbours[slot]].strategies;
      for (int32_t w = 0; w < kWords; ++w) {
        for (int32_t s = 1; s <= s_count; ++s) {
          common[s] += Ones(mine[w][s] & other.moves[w][s]);
        }
      }
      for (int32_t s = 1; s <= s_count; ++s) {
        theirs[s] += other.cooperations[s];
      }
      ++played;
    }
    Settle<kGeneral>(sim, g, played, common, theirs);
  }
}

template <bool kGeneral>
[[gnu::always_inline]] inline void PlayAnyLength(Simulation& sim) {
  if (sim.params.strategy_length <= 64) {
    PlayGroups<1, kGeneral>(sim);
  } else {
    PlayGroups<MOVE_WORDS, kGeneral>(sim);
  }
}

// general: the simulation's payoffs are not the default ones.
void PlayPortable(Simulation& sim, bool general) {
  if (general) {
    PlayAnyLength<true>(sim);
  } else {
    PlayAnyLength<false>(sim);
  }
}

#if defined(__x86_64__) || defined(__i386__)
#define VELDARIS_HAVE_X86_VARIANTS 1

// The same code compiled for POPCNT, taken only where the processor has it.
__attribute__((target("popcnt"))) void PlayWithPopcnt(Simulation& sim, bool general) {
  if (general) {
    PlayAnyLength<true>(sim);
  } else {
    PlayAnyLength<false>(sim);
  }
}

// Functions marked VELDARIS_AVX2 are compiled for AVX2 (and POPCNT) whatever
// the build's target, and only called once the processor is known to have
// them.
#define VELDARIS_AVX2 __attribute__((target("avx2,popcnt")))

// The popcount of each 64-bit lane: every nibble looked up in a table of 16
// counts, the byte sums added up per lane.
VELDARIS_AVX2 inline __m256i LanePopcounts(__m256i x) {
  const __m256i nibble = _mm256_set1_epi8(0x0f);
  const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4,  //
                                         0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
  const __m256i low = _mm256_shuffle_epi8(table, _mm256_and_si256(x, nibble));
  const __m256i high = _mm256_shuffle_epi8(table, _mm256_and_si256(_mm256_srli_epi16(x, 4), nibble));
  return _mm256_sad_epu8(_mm256_add_epi8(low, high), _mm256_setzero_si256());
}

VELDARIS_AVX2 inline __m256i Load4(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }

// The same games, eight strategies at a time: C of strategies 1 + 8p..4 + 8p
// and 5 + 8p..8 + 8p in the 64-bit lanes of two vectors, B of all eight in
// the 32-bit lanes of a third, so that the sums stay in registers while the
// neighbours go by. Lanes past S are loaded (slots 1..32 always exist) but
// masked out of the group's own side, and their sums never read.
template <int32_t kWords, bool kGeneral>
VELDARIS_AVX2 void PlayGroupsAvx2(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  const int32_t s_count = sim.params.strategy_count;
  const int32_t sentinel = NeighbourSentinel(sim);
  const int32_t octets = (s_count + 7) / 8;
  uint64_t mask[kWords];
  CountCooperations<kWords>(sim, mask);
  const __m256i past_last = _mm256_set1_epi64x(s_count + 1);
  for (int32_t g = 1; g <= n; ++g) {
    GroupRecord& r = sim.groups[g];
    if (r.degree == 0) {
      continue;
    }
    const StrategySlots& own = r.strategies;
    int32_t common[MAX_STRATEGIES + 8] = {};
    int32_t theirs[MAX_STRATEGIES + 8] = {};
    int32_t played = 0;
    for (int32_t p = 0; p < octets; ++p) {
      const int32_t first = 1 + 8 * p;
      // In play: the lanes of strategies first..first + 3 (low) and
      // first + 4..first + 7 (high) up to S.
      const __m256i low_in_play =
          _mm256_cmpgt_epi64(past_last, _mm256_setr_epi64x(first, first + 1, first + 2, first + 3));
      const __m256i high_in_play =
          _mm256_cmpgt_epi64(past_last, _mm256_setr_epi64x(first + 4, first + 5, first + 6, first + 7));
      __m256i mine_low[kWords];
      __m256i mine_high[kWords];
      for (int32_t w = 0; w < kWords; ++w) {
        const __m256i played_moves = _mm256_set1_epi64x(static_cast<int64_t>(mask[w]));
        mine_low[w] = _mm256_and_si256(_mm256_and_si256(Load4(&own.moves[w][first]), played_moves), low_in_play);
        mine_high[w] = _mm256_and_si256(_mm256_and_si256(Load4(&own.moves[w][first + 4]), played_moves), high_in_play);
      }
      __m256i common_low = _mm256_setzero_si256();
      __m256i common_high = _mm256_setzero_si256();
      __m256i theirs_all = _mm256_setzero_si256();
      played = 0;
      for (int32_t slot = 1; slot <= MAX_GROUPS && r.neighbours[slot] != sentinel; ++slot) {
        const StrategySlots& other = sim.groups[r.neighbours[slot]].strategies;
        for (int32_t w = 0; w < kWords; ++w) {
          common_low =
              _mm256_add_epi64(common_low, LanePopcounts(_mm256_and_si256(mine_low[w], Load4(&other.moves[w][first]))));
          common_high = _mm256_add_epi64(
              common_high, LanePopcounts(_mm256_and_si256(mine_high[w], Load4(&other.moves[w][first + 4]))));
        }
        theirs_all = _mm256_add_epi32(theirs_all, Load4(&other.cooperations[first]));
        ++played;
      }
      // The 64-bit sums (below 2^31) to 32-bit lanes: the low halves of the
      // eight lanes, in order.
      const __m256i halves = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
      const __m256i low = _mm256_permutevar8x32_epi32(common_low, halves);
      const __m256i high = _mm256_permutevar8x32_epi32(common_high, halves);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(common + first), _mm256_blend_epi32(low, high, 0xf0));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(theirs + first), theirs_all);
    }
    Settle<kGeneral>(sim, g, played, common, theirs);
  }
}

#undef VELDARIS_AVX2

#endif

}  // namespace

int32_t RoundedAverage(int32_t total, int32_t count) { return ScoreAverager(count)(total); }

int32_t RoundedSumAverage(int64_t total, int32_t count) { return SumAverager(count)(total); }

void InitStrategies(Simulation& sim, StrategyFill fill) {
  if (fill == StrategyFill::Clear) {
    for (GroupRecord& r : sim.groups) {
      std::memset(&r.strategies, 0, sizeof r.strategies);
    }
  } else if (fill == StrategyFill::Random) {
    // Move j of every slot takes the j-th of its L outputs; moves past L keep
    // their bits.
    const int32_t length = sim.params.strategy_length;
    RandomStream random(sim);
    for (int32_t g = 1; g <= MAX_GROUPS; ++g) {
      StrategySlots& slots = sim.groups[g].strategies;
      for (int32_t s = 1; s <= MAX_STRATEGIES; ++s) {
        for (int32_t w = 0; w < MOVE_WORDS && 64 * w < length; ++w) {
          const uint64_t mask = MoveMask(length, w);
          const int32_t count = length - 64 * w < 64 ? length - 64 * w : 64;
          slots.moves[w][s] = (slots.moves[w][s] & ~mask) | random.TakeTopBits(count);
        }
      }
    }
  }
}

void PlayNeighbour(Simulation& sim, int32_t group, int32_t neighbour) {
  const int32_t s_count = sim.params.strategy_count;
  const int32_t length = sim.params.strategy_length;
  StrategySlots& own = sim.groups[group].strategies;
  const StrategySlots& other = sim.groups[neighbour].strategies;
  int32_t cc = 0;
  int32_t dd = 0;
  for (int32_t s = 1; s <= s_count; ++s) {
    int32_t score = 0;
    for (int32_t j = 1; j <= length; ++j) {
      const int32_t a = MoveAt(own, s, j);
      const int32_t b = MoveAt(other, s, j);
      score += kPayoff[a][b];
      cc += a & b;
      dd += (a | b) ^ 1;
    }
    own.score[s] += score;
  }
  sim.counters.CC[group] += cc;
  sim.counters.DD[group] += dd;
}

void PlayGeneration(Simulation& sim) {
  const Payoffs& pay = sim.params.payoffs;
  const bool general = pay.temptation != DEFAULT_PAYOFFS.temptation || pay.reward != DEFAULT_PAYOFFS.reward ||
                       pay.punishment != DEFAULT_PAYOFFS.punishment || pay.sucker != DEFAULT_PAYOFFS.sucker;
#ifdef VELDARIS_HAVE_X86_VARIANTS
  const InstructionSet set = UsableInstructionSet(sim.instruction_set);
  if (set >= InstructionSet::Avx2) {
    const bool short_moves = sim.params.strategy_length <= 64;
    if (general && short_moves) {
      PlayGroupsAvx2<1, true>(sim);
    } else if (general) {
      PlayGroupsAvx2<MOVE_WORDS, true>(sim);
    } else if (short_moves) {
      PlayGroupsAvx2<1, false>(sim);
    } else {
      PlayGroupsAvx2<MOVE_WORDS, false>(sim);
    }
    return;
  }
  if (set >= InstructionSet::Popcnt) {
    PlayWithPopcnt(sim, general);
    return;
  }
#endif
  PlayPortable(sim, general);
}

}  // namespace veldaris
