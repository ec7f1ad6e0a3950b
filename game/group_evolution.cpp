#include <algorithm>
#include <functional>

#include "game/game_internal.h"
#include "model/model_internal.h"
#include "model/random_internal.h"

namespace veldaris {

namespace {

// Exceeds every possible score, so it stays first in the descending buffer.
constexpr int32_t kRankingHead = 10000;
constexpr int32_t kMutationDraw = 1000000;
const int32_t kMutationThreshold = static_cast<int32_t>(MUTATION_RATE * kMutationDraw);

void CopyStrategy(const Strategy& from, Strategy& to) { std::copy(from, from + MAX_MOVES + 1, to); }

}  // namespace

void RankStrategies(Simulation& sim, int32_t group) {
  const int32_t s_count = sim.params.strategy_count;
  GroupRecord& r = sim.groups[group];
  int32_t buffer[MAX_STRATEGIES + 1] = {};
  buffer[0] = kRankingHead;
  for (int32_t s = 1; s <= s_count; ++s) {
    buffer[s] = r.strategies[s][0];
  }
  std::sort(buffer, buffer + MAX_STRATEGIES + 1, std::greater<>());
  for (int32_t s = 1; s <= s_count; ++s) {
    for (int32_t j = 1; j <= s_count; ++j) {
      if (buffer[j] == r.strategies[s][0]) {
        r.rank[s] = j;
        break;
      }
    }
  }
}

void ChooseRepresentative(Simulation& sim, int32_t group) {
  const int32_t s_count = sim.params.strategy_count;
  GroupRecord& r = sim.groups[group];
  std::fill(r.representative, r.representative + MAX_MOVES + 1, 0);

  int32_t top[MAX_STRATEGIES + 1] = {};
  int32_t k1 = 0;
  for (int32_t s = 1; s <= s_count; ++s) {
    if (r.rank[s] == 1) {
      top[++k1] = s;
    }
  }
  CopyStrategy(r.strategies[top[1 + UniformBelow(sim, k1)]], r.representative);
  if (k1 >= s_count) {
    return;
  }
  int32_t second[MAX_STRATEGIES + 1] = {};
  int32_t k2 = 0;
  for (int32_t s = 1; s <= s_count; ++s) {
    if (r.rank[s] == k1 + 1) {
      second[++k2] = s;
    }
  }
  CopyStrategy(r.strategies[second[1 + UniformBelow(sim, k2)]], r.representative);
}

void BuildTemplate(Simulation& sim, int32_t group) {
  GroupRecord& r = sim.groups[group];
  const int32_t length = sim.params.strategy_length;
  for (int32_t j = 1; j <= length; ++j) {
    r.strategies[0][j] = r.representative[j];
  }
}

void CrossoverWithTemplate(Simulation& sim, int32_t group, int32_t strategy) {
  const int32_t length = sim.params.strategy_length;
  int32_t* points = sim.crossover_points;
  for (int32_t i = 1; i <= 2; ++i) {
    for (;;) {
      const int32_t c = 2 + UniformBelow(sim, length - 2);
      if (ListContains(points, c, i - 1) == 0) {
        points[i] = c;
        break;
      }
    }
  }
  std::sort(points, points + 6);
  const int32_t bit = UniformBelow(sim, 2);

  GroupRecord& r = sim.groups[group];
  const int32_t* templ = r.strategies[0];
  int32_t* moves = r.strategies[strategy];
  // Segments alternate between copied and kept: bit 0 copies 1..c_lo and
  // c_hi..L, bit 1 copies c_lo..c_hi (and move L when c_hi < L - 1).
  int32_t p = bit == 0 ? 1 : 2;
  int32_t j = 0;
  do {
    j = points[p - 1];
    const int32_t last = points[p];
    while (j <= last) {
      moves[j] = templ[j];
      if (1 + UniformBelow(sim, kMutationDraw) <= kMutationThreshold) {
        moves[j] ^= 1;
      }
      ++j;
    }
    p += 2;
  } while (j < length);
}

void EvolveGeneration(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  const int32_t s_count = sim.params.strategy_count;
  const int32_t length = sim.params.strategy_length;
  for (int32_t g = 1; g <= n; ++g) {
    RankStrategies(sim, g);
    ChooseRepresentative(sim, g);
  }
  for (int32_t g = 1; g <= n; ++g) {
    BuildTemplate(sim, g);
    for (int32_t s = 1; s <= s_count; ++s) {
      CrossoverWithTemplate(sim, g, s);
    }
  }
  for (int32_t g = 1; g <= n; ++g) {
    sim.counters.CC[g] = 0.0;
    sim.counters.DD[g] = 0.0;
    GroupRecord& r = sim.groups[g];
    for (int32_t j = 1; j <= length; ++j) {
      r.strategies[0][j] = 0;
    }
    for (int32_t s = 1; s <= MAX_STRATEGIES; ++s) {
      r.strategies[s][0] = 0;
    }
  }
}

}  // namespace veldaris
