// The evolution step inside every group: ranking, representative, template, crossover with mutation.
#include <cstddef>
#include <cstring>

#include "game/game_internal.h"
#include "model/model_internal.h"
#include "model/random_internal.h"

namespace veldaris {

namespace {

// The moves of one strategy as one integer: 64 bits while L <= 64, else 128
// (moves past the width are not touched).
template <typename Bits>
Bits LoadMoves(const uint64_t* words, std::ptrdiff_t stride) {
  if constexpr (sizeof(Bits) == sizeof(uint64_t)) {
    return words[0];
  } else {
    static_assert(MOVE_WORDS == 2, "two words hold MAX_MOVES moves");
    return (static_cast<Bits>(words[stride]) << 64) | words[0];
  }
}

template <typename Bits>
void StoreMoves(uint64_t* words, std::ptrdiff_t stride, Bits bits) {
  words[0] = static_cast<uint64_t>(bits);
  if constexpr (sizeof(Bits) > sizeof(uint64_t)) {
    words[stride] = static_cast<uint64_t>(bits >> 64);
  }
}

// Strategy slot s of a group, and a representative.
constexpr std::ptrdiff_t kSlotStride = MAX_STRATEGIES + 1;
template <typename Bits>
Bits LoadSlot(const StrategySlots& slots, int32_t s) {
  return LoadMoves<Bits>(&slots.moves[0][s], kSlotStride);
}
template <typename Bits>
void StoreSlot(StrategySlots& slots, int32_t s, Bits bits) {
  StoreMoves<Bits>(&slots.moves[0][s], kSlotStride, bits);
}
template <typename Bits>
Bits LoadCopy(const StrategyCopy& copy) {
  return LoadMoves<Bits>(copy.moves, 1);
}

void CopyStrategy(const StrategySlots& slots, int32_t s, StrategyCopy& to) {
  to.score = slots.score[s];
  for (int32_t w = 0; w < MOVE_WORDS; ++w) {
    to.moves[w] = slots.moves[w][s];
  }
}

// Four int32 lanes, compiled to SSE2 on x86-64 and to plain code elsewhere.
using Lanes = int32_t __attribute__((vector_size(16)));
constexpr int32_t kLanes = 4;

// Competition ranking: 1 plus the number of strictly higher scores, which is
// what the descending sort of the scores (after a head of 10000, with zeros
// filling the 33 entries) and the search for each score's first position give
// for every score of play under the default payoffs (0..5 L, below 10000).
// The counting holds for any scores, negative ones and ones of 10000 and more
// included, which other payoffs give. Four strategies at a time are compared
// with every score (signed comparisons); a true lane comparison is -1.
void Rank(GroupRecord& r, int32_t s_count) {
  const int32_t* score = r.strategies.score;
  // Copies of fixed length, which compile to a few vector moves (a loop of
  // S's length would become a call of memcpy); lanes past S are computed from
  // stale scores and never stored.
  int32_t own_scores[MAX_STRATEGIES + kLanes] = {};
  std::memcpy(own_scores, score + 1, MAX_STRATEGIES * sizeof(int32_t));
  const Lanes lane = {0, 1, 2, 3};
  for (int32_t base = 0; base < s_count; base += kLanes) {
    Lanes own;
    std::memcpy(&own, own_scores + base, sizeof own);
    Lanes higher = {0, 0, 0, 0};
    for (int32_t t = 1; t <= s_count; ++t) {
      const Lanes other = {score[t], score[t], score[t], score[t]};
      higher -= other > own;
    }
    // Entries past S keep their values: -1 in the lanes of strategies 1..S.
    const Lanes in_play = lane + base < s_count;
    Lanes old;
    std::memcpy(&old, r.rank + 1 + base, sizeof old);
    const Lanes ranks = ((higher + 1) & in_play) | (old & ~in_play);
    std::memcpy(r.rank + 1 + base, &ranks, sizeof ranks);
  }
}

// The strategies of one rank, in increasing number, into list[1..]; returns
// their count. Every strategy is written and the count advanced only for a
// match, so the loop has no branch to mispredict.
int32_t StrategiesOfRank(const GroupRecord& r, int32_t s_count, int32_t rank, int32_t* list) {
  int32_t count = 0;
  for (int32_t s = 1; s <= s_count; ++s) {
    list[count + 1] = s;
    count += r.rank[s] == rank ? 1 : 0;
  }
  return count;
}

void Represent(GroupRecord& r, int32_t s_count, RandomStream& random) {
  r.representative = StrategyCopy{};
  int32_t list[MAX_STRATEGIES + 2];
  const int32_t k1 = StrategiesOfRank(r, s_count, 1, list);
  CopyStrategy(r.strategies, list[1 + random.UniformBelow(k1)], r.representative);
  if (k1 >= s_count) {
    return;
  }
  const int32_t k2 = StrategiesOfRank(r, s_count, k1 + 1, list);
  CopyStrategy(r.strategies, list[1 + random.UniformBelow(k2)], r.representative);
}

struct Cuts {
  int32_t lo;
  int32_t hi;
};

// Two-point crossover of moves with templ (moves 1..L of the template); returns
// the cut points. The walk over the sorted points 1, c_lo, c_hi, L, L, L
// copies two runs of moves, and which ones follows from the coin alone:
//   coin 0: moves 1..c_lo, then c_hi..L;
//   coin 1: moves c_lo..c_hi, then move L when c_hi < L - 1 (else nothing).
// Each copied move takes one output for its mutation test, in that order, so
// the mutations of the two runs are consecutive bits of the generator's
// mutation bitmap.
template <typename Bits>
[[gnu::always_inline]] inline Cuts Crossover(Bits templ, StrategySlots& slots, int32_t s, int32_t length,
                                             RandomStream& random) {
  const int32_t span = length - 2;
  const int32_t first = 2 + random.UniformBelow(span);
  int32_t second = 2 + random.UniformBelow(span);
  while (second == first) {
    second = 2 + random.UniformBelow(span);
  }
  const int32_t lo = first < second ? first : second;
  const int32_t hi = first < second ? second : first;

  // The coin, UniformBelow(2), as a mask: all ones for 1. The coin is as
  // likely 0 as 1, so everything that depends on it is selected with the mask
  // rather than branched on.
  const int32_t coin = -static_cast<int32_t>(random.Next() >> 31);
  const auto select = [coin](int32_t if_one, int32_t if_zero) { return if_zero ^ ((if_one ^ if_zero) & coin); };
  // The two runs as bit positions (move - 1) and lengths, in walk order.
  const int32_t start1 = select(lo - 1, 0);
  const int32_t count1 = select(hi - lo + 1, lo);
  const int32_t start2 = select(length - 1, hi - 1);
  const int32_t count2 = select(hi < length - 1 ? 1 : 0, length - hi + 1);
  const Bits drawn = random.TakeMutationBits<Bits>(count1 + count2);
  // Both counts are below the width of Bits (at most L - 2).
  const Bits run1 = (Bits{1} << count1) - 1;
  const Bits run2 = (Bits{1} << count2) - 1;
  const Bits copied = (run1 << start1) | (run2 << start2);
  const Bits flips = ((drawn & run1) << start1) | ((drawn >> count1) << start2);
  StoreSlot(slots, s, (LoadSlot<Bits>(slots, s) & ~copied) | ((templ ^ flips) & copied));
  return Cuts{lo, hi};
}

void SetCrossoverPoints(Simulation& sim, Cuts cuts) {
  const int32_t length = sim.params.strategy_length;
  int32_t* points = sim.crossover_points;
  points[0] = 1;
  points[1] = cuts.lo;
  points[2] = cuts.hi;
  points[3] = length;
  points[4] = length;
  points[5] = length;
}

// Phases 2 and 3 of EvolveGeneration. Phase 3 of a group draws nothing and
// touches nothing that phase 2 of a later group reads, so both run group by
// group; the template stays in a register while the group's strategies are
// crossed with it.
template <typename Bits>
[[gnu::noinline]] void CrossAndClearGroups(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  const int32_t s_count = sim.params.strategy_count;
  const int32_t length = sim.params.strategy_length;
  const Bits played = LowBits<Bits>(length);
  Cuts last{sim.crossover_points[1], sim.crossover_points[2]};
  {
    RandomStream random(sim);
    for (int32_t g = 1; g <= n; ++g) {
      GroupRecord& r = sim.groups[g];
      StrategySlots& slots = r.strategies;
      const Bits templ = LoadCopy<Bits>(r.representative) & played;
      for (int32_t s = 1; s <= s_count; ++s) {
        last = Crossover(templ, slots, s, length, random);
      }
      // Template moves 1..L were the representative's from BuildTemplate
      // until this clearing; they end as 0 either way.
      StoreSlot(slots, 0, LoadSlot<Bits>(slots, 0) & ~played);
      sim.counters.CC[g] = 0.0;
      sim.counters.DD[g] = 0.0;
      for (int32_t s = 1; s <= MAX_STRATEGIES; ++s) {
        slots.score[s] = 0;
      }
    }
  }
  if (n >= 1 && s_count >= 1) {
    SetCrossoverPoints(sim, last);
  }
}

}  // namespace

void RankStrategies(Simulation& sim, int32_t group) { Rank(sim.groups[group], sim.params.strategy_count); }

void ChooseRepresentative(Simulation& sim, int32_t group) {
  RandomStream random(sim);
  Represent(sim.groups[group], sim.params.strategy_count, random);
}

void BuildTemplate(Simulation& sim, int32_t group) {
  GroupRecord& r = sim.groups[group];
  StrategySlots& slots = r.strategies;
  const Bits128 played = LowBits<Bits128>(sim.params.strategy_length);
  StoreSlot(slots, 0, (LoadSlot<Bits128>(slots, 0) & ~played) | (LoadCopy<Bits128>(r.representative) & played));
}

void CrossoverWithTemplate(Simulation& sim, int32_t group, int32_t strategy) {
  const int32_t length = sim.params.strategy_length;
  StrategySlots& slots = sim.groups[group].strategies;
  Cuts cuts{};
  {
    // The same widths as EvolveGeneration takes for this L.
    RandomStream random(sim);
    if (length <= 64) {
      cuts = Crossover(LoadSlot<uint64_t>(slots, 0) & LowBits<uint64_t>(length), slots, strategy, length, random);
    } else {
      cuts = Crossover(LoadSlot<Bits128>(slots, 0) & LowBits<Bits128>(length), slots, strategy, length, random);
    }
  }
  SetCrossoverPoints(sim, cuts);
}

void EvolveGeneration(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  const int32_t s_count = sim.params.strategy_count;
  {
    RandomStream random(sim);
    for (int32_t g = 1; g <= n; ++g) {
      Rank(sim.groups[g], s_count);
      Represent(sim.groups[g], s_count, random);
    }
  }
  if (sim.params.strategy_length <= 64) {
    CrossAndClearGroups<uint64_t>(sim);
  } else {
    CrossAndClearGroups<Bits128>(sim);
  }
}

}  // namespace veldaris
