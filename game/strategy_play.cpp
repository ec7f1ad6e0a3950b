#include "game/strategy_play.h"

#include <bit>

#include "model/random.h"
#include "model/simulation_state.h"

namespace veldaris {

namespace {

// Points for the playing side, indexed [own move][neighbour's move].
constexpr int32_t kPayoff[2][2] = {
    {1, 5},  // defect against defect, defect against cooperate
    {0, 3},  // cooperate against defect, cooperate against cooperate
};

// The moves of every strategy of groups 1..N packed into bits, with the number
// of cooperations, rebuilt at the start of every generation's play. A game
// then costs a few word operations instead of L comparisons: with A and B the
// cooperations of the two strategies and C those in the same move, the playing
// side scores L - A + 4B - C (the payoff 1 - a + 4b - ab summed over the
// moves), mutual cooperation is C and mutual defection L - A - B + C. The sums
// are integers, so the scores and counters are exactly those of a move-by-move
// game.
constexpr int32_t kWords = (MAX_MOVES + 63) / 64;
struct PackedStrategies {
  uint64_t bits[MAX_GROUPS + 1][MAX_STRATEGIES + 1][kWords];
  int32_t cooperations[MAX_GROUPS + 1][MAX_STRATEGIES + 1];
};
PackedStrategies packed;

void PackStrategies(int32_t n, int32_t s_count, int32_t length) {
  for (int32_t g = 1; g <= n; ++g) {
    for (int32_t s = 1; s <= s_count; ++s) {
      const int32_t* moves = g_state.groups[g].strategies[s];
      uint64_t* bits = packed.bits[g][s];
      int32_t ones = 0;
      for (int32_t w = 0; w < kWords; ++w) {
        bits[w] = 0;
      }
      for (int32_t j = 1; j <= length; ++j) {
        const auto bit = static_cast<uint64_t>(moves[j] & 1);
        bits[(j - 1) / 64] |= bit << ((j - 1) % 64);
        ones += moves[j] & 1;
      }
      packed.cooperations[g][s] = ones;
    }
  }
}

void PlayPackedNeighbour(int32_t group, int32_t neighbour, int32_t s_count, int32_t length) {
  GroupRecord& own = g_state.groups[group];
  int32_t cc = 0;
  int32_t dd = 0;
  for (int32_t s = 1; s <= s_count; ++s) {
    const uint64_t* mine = packed.bits[group][s];
    const uint64_t* theirs = packed.bits[neighbour][s];
    int32_t both = 0;
    for (int32_t w = 0; w < kWords; ++w) {
      both += std::popcount(mine[w] & theirs[w]);
    }
    const int32_t a = packed.cooperations[group][s];
    const int32_t b = packed.cooperations[neighbour][s];
    own.strategies[s][0] += length - a + 4 * b - both;
    cc += both;
    dd += length - a - b + both;
  }
  g_state.counters.CC[group] += cc;
  g_state.counters.DD[group] += dd;
}

}  // namespace

void InitStrategies(int32_t mode) {
  if (mode == 0) {
    for (int32_t g = 0; g <= MAX_GROUPS; ++g) {
      for (Strategy& slot : g_state.groups[g].strategies) {
        for (int32_t& word : slot) {
          word = 0;
        }
      }
    }
  } else if (mode == 1) {
    const int32_t length = g_state.params.strategy_length;
    for (int32_t g = 1; g <= MAX_GROUPS; ++g) {
      for (int32_t s = 1; s <= MAX_STRATEGIES; ++s) {
        int32_t* moves = g_state.groups[g].strategies[s];
        for (int32_t j = 1; j <= length; ++j) {
          moves[j] = UniformBelow(2);
        }
      }
    }
  }
}

void PlayNeighbour(int32_t group, int32_t neighbour) {
  const int32_t s_count = g_state.params.strategy_count;
  const int32_t length = g_state.params.strategy_length;
  GroupRecord& own = g_state.groups[group];
  const GroupRecord& other = g_state.groups[neighbour];
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
  g_state.counters.CC[group] += cc;
  g_state.counters.DD[group] += dd;
}

void PlayGeneration() {
  const int32_t n = g_state.params.group_count;
  const int32_t s_count = g_state.params.strategy_count;
  const int32_t length = g_state.params.strategy_length;
  const int32_t sentinel = NeighbourSentinel();
  PackStrategies(n, s_count, length);
  for (int32_t g = 1; g <= n; ++g) {
    GroupRecord& r = g_state.groups[g];
    if (r.degree == 0) {
      continue;
    }
    for (int32_t slot = 1; slot <= MAX_GROUPS && r.neighbours[slot] != sentinel; ++slot) {
      PlayPackedNeighbour(g, r.neighbours[slot], s_count, length);
    }
    for (int32_t s = 1; s <= s_count; ++s) {
      r.strategies[s][0] = RoundHalfUp(static_cast<double>(r.strategies[s][0]) / r.degree);
    }
    g_state.counters.CC[g] = g_state.counters.CC[g] / r.degree / s_count;
    g_state.counters.DD[g] = g_state.counters.DD[g] / r.degree / s_count;
  }
}

}  // namespace veldaris
