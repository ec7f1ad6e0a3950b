#include "game/strategy_play.h"

#include "model/random.h"
#include "model/simulation_state.h"

namespace veldaris {

namespace {

// Points for the playing side, indexed [own move][neighbour's move].
constexpr int32_t kPayoff[2][2] = {
    {1, 5},  // defect against defect, defect against cooperate
    {0, 3},  // cooperate against defect, cooperate against cooperate
};

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
  const int32_t sentinel = NeighbourSentinel();
  for (int32_t g = 1; g <= n; ++g) {
    GroupRecord& r = g_state.groups[g];
    if (r.degree == 0) {
      continue;
    }
    for (int32_t slot = 1; slot <= MAX_GROUPS && r.neighbours[slot] != sentinel; ++slot) {
      PlayNeighbour(g, r.neighbours[slot]);
    }
    for (int32_t s = 1; s <= s_count; ++s) {
      r.strategies[s][0] = RoundHalfUp(static_cast<double>(r.strategies[s][0]) / r.degree);
    }
    g_state.counters.CC[g] = g_state.counters.CC[g] / r.degree / s_count;
    g_state.counters.DD[g] = g_state.counters.DD[g] / r.degree / s_count;
  }
}

}  // namespace veldaris
