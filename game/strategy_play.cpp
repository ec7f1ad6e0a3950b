#include <bit>

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

// The moves of every strategy of groups 1..N are packed into bits, with the
// number of cooperations, at the start of every generation's play. A game then
// costs a few word operations instead of L comparisons: with A and B the
// cooperations of the two strategies and C those in the same move, the playing
// side scores L - A + 4B - C (the payoff 1 - a + 4b - ab summed over the
// moves), mutual cooperation is C and mutual defection L - A - B + C. The sums
// are integers, so the scores and counters are exactly those of a move-by-move
// game.
constexpr int32_t kWords = PACKED_WORDS;

void PackStrategies(Simulation& sim, int32_t n, int32_t s_count, int32_t length) {
  for (int32_t g = 1; g <= n; ++g) {
    for (int32_t s = 1; s <= s_count; ++s) {
      const int32_t* moves = sim.groups[g].strategies[s];
      uint64_t* bits = sim.packed.bits[g][s];
      int32_t ones = 0;
      for (int32_t w = 0; w < kWords; ++w) {
        bits[w] = 0;
      }
      for (int32_t j = 1; j <= length; ++j) {
        const auto bit = static_cast<uint64_t>(moves[j] & 1);
        bits[(j - 1) / 64] |= bit << ((j - 1) % 64);
        ones += moves[j] & 1;
      }
      sim.packed.cooperations[g][s] = ones;
    }
  }
}

void PlayPackedNeighbour(Simulation& sim, int32_t group, int32_t neighbour, int32_t s_count, int32_t length) {
  Strategy* own = sim.groups[group].strategies;
  const uint64_t(*my_bits)[kWords] = sim.packed.bits[group];
  const uint64_t(*their_bits)[kWords] = sim.packed.bits[neighbour];
  const int32_t* my_cooperations = sim.packed.cooperations[group];
  const int32_t* their_cooperations = sim.packed.cooperations[neighbour];
  int32_t cc = 0;
  int32_t dd = 0;
  for (int32_t s = 1; s <= s_count; ++s) {
    int32_t both = 0;
    for (int32_t w = 0; w < kWords; ++w) {
      both += std::popcount(my_bits[s][w] & their_bits[s][w]);
    }
    const int32_t a = my_cooperations[s];
    const int32_t b = their_cooperations[s];
    own[s][0] += length - a + 4 * b - both;
    cc += both;
    dd += length - a - b + both;
  }
  sim.counters.CC[group] += cc;
  sim.counters.DD[group] += dd;
}

}  // namespace

void InitStrategies(Simulation& sim, StrategyFill fill) {
  if (fill == StrategyFill::Clear) {
    for (int32_t g = 0; g <= MAX_GROUPS; ++g) {
      for (Strategy& slot : sim.groups[g].strategies) {
        for (int32_t& word : slot) {
          word = 0;
        }
      }
    }
  } else if (fill == StrategyFill::Random) {
    const int32_t length = sim.params.strategy_length;
    for (int32_t g = 1; g <= MAX_GROUPS; ++g) {
      for (int32_t s = 1; s <= MAX_STRATEGIES; ++s) {
        int32_t* moves = sim.groups[g].strategies[s];
        for (int32_t j = 1; j <= length; ++j) {
          moves[j] = UniformBelow(sim, 2);
        }
      }
    }
  }
}

void PlayNeighbour(Simulation& sim, int32_t group, int32_t neighbour) {
  const int32_t s_count = sim.params.strategy_count;
  const int32_t length = sim.params.strategy_length;
  GroupRecord& own = sim.groups[group];
  const GroupRecord& other = sim.groups[neighbour];
  // Counting in integers and adding once is exact: the counters only ever
  // gain whole numbers far below 2^53 before they are averaged.
  int32_t cc = 0;
  int32_t dd = 0;
  for (int32_t s = 1; s <= s_count; ++s) {
    int32_t* mine = own.strategies[s];
    const int32_t* theirs = other.strategies[s];
    int32_t score = 0;
    for (int32_t j = 1; j <= length; ++j) {
      const int32_t a = mine[j];
      const int32_t b = theirs[j];
      score += kPayoff[a][b];
      cc += a & b;
      dd += (a | b) ^ 1;
    }
    mine[0] += score;
  }
  sim.counters.CC[group] += cc;
  sim.counters.DD[group] += dd;
}

void PlayGeneration(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  const int32_t s_count = sim.params.strategy_count;
  const int32_t length = sim.params.strategy_length;
  const int32_t sentinel = NeighbourSentinel(sim);
  PackStrategies(sim, n, s_count, length);
  for (int32_t g = 1; g <= n; ++g) {
    GroupRecord& r = sim.groups[g];
    if (r.degree == 0) {
      continue;
    }
    for (int32_t slot = 1; slot <= MAX_GROUPS && r.neighbours[slot] != sentinel; ++slot) {
      PlayPackedNeighbour(sim, g, r.neighbours[slot], s_count, length);
    }
    for (int32_t s = 1; s <= s_count; ++s) {
      r.strategies[s][0] = RoundHalfUp(static_cast<double>(r.strategies[s][0]) / r.degree);
    }
    sim.counters.CC[g] = sim.counters.CC[g] / r.degree / s_count;
    sim.counters.DD[g] = sim.counters.DD[g] / r.degree / s_count;
  }
}

}  // namespace veldaris
