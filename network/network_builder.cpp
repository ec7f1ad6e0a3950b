#include "network/network_builder.h"

#include <algorithm>
#include <cmath>

#include "model/random.h"
#include "model/simulation_state.h"

namespace veldaris {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr int32_t kCentre = 187;
constexpr double kRadius = 172.0;

int32_t* Neighbours(int32_t group) { return g_state.groups[group].neighbours; }

}  // namespace

void BuildNetwork() {
  SeedRandomFromClock();
  LayoutGroups(0);
  InitNeighbourLists(g_state.params.network_type == SMALL_WORLD ? 1 : 0);
  LayoutGroups(1);
  if (g_state.params.network_type == SMALL_WORLD) {
    BuildSmallWorld();
  } else {
    BuildScaleFree();
  }
}

void LayoutGroups(int32_t mode) {
  if (mode != 1) {
    for (int32_t g = 1; g <= MAX_GROUPS; ++g) {
      g_state.groups[g].x = 0;
      g_state.groups[g].y = 0;
    }
    return;
  }
  const int32_t n = g_state.params.group_count;
  for (int32_t g = 1; g <= n; ++g) {
    const double theta = (2.0 * (g - 1) * kPi) / n - kHalfPi;
    g_state.groups[g].x = kCentre + RoundHalfUp(kRadius * std::cos(theta));
    g_state.groups[g].y = kCentre + RoundHalfUp(kRadius * std::sin(theta));
  }
}

void InitNeighbourLists(int32_t small_world) {
  const int32_t empty = small_world == 1 ? EMPTY_SLOT : 0;
  for (int32_t g = 0; g <= MAX_GROUPS; ++g) {
    GroupRecord& record = g_state.groups[g];
    record.degree = 0;
    record.neighbours[0] = 0;
    for (int32_t slot = 1; slot <= MAX_GROUPS; ++slot) {
      record.neighbours[slot] = empty;
    }
  }
}

void BuildSmallWorld() {
  BuildRingLattice();
  RewireLattice();
  CountDegrees(g_state.params.group_count);
}

void BuildRingLattice() {
  const int32_t n = g_state.params.group_count;
  const int32_t half = g_state.params.connectivity / 2;
  for (int32_t i = 1; i <= n; ++i) {
    for (int32_t j = 1; j <= half; ++j) {
      const int32_t t = i + j > n ? i + j - n : i + j;
      PlaceLatticeLink(j, i, t);
    }
  }
}

void PlaceLatticeLink(int32_t slot, int32_t group, int32_t partner) {
  const int32_t half = g_state.params.connectivity / 2;
  Neighbours(group)[slot] = partner;
  Neighbours(partner)[slot + half] = group;
}

void RewireLattice() {
  const int32_t n = g_state.params.group_count;
  const int32_t half = g_state.params.connectivity / 2;
  for (int32_t i = 1; i <= half; ++i) {
    for (int32_t j = 1; j <= n; ++j) {
      const int32_t r = 1 + UniformBelow(100);
      if (r > g_state.params.rewiring_percent) {
        continue;
      }
      const int32_t b = Neighbours(j)[i];
      for (;;) {
        const int32_t e = 1 + UniformBelow(n);
        if (e == b) {
          break;
        }
        if (e == j || ListContains(Neighbours(j), e, n) != 0) {
          continue;
        }
        ReplaceLink(i, j, e, b);
        break;
      }
    }
  }
  for (int32_t j = 1; j <= n; ++j) {
    std::sort(Neighbours(j), Neighbours(j) + n + 1);
  }
}

void ReplaceLink(int32_t slot, int32_t group, int32_t new_partner, int32_t old_partner) {
  const int32_t n = g_state.params.group_count;
  const int32_t half = g_state.params.connectivity / 2;
  Neighbours(group)[slot] = new_partner;
  Neighbours(old_partner)[slot + half] = EMPTY_SLOT;
  int32_t* list = Neighbours(new_partner);
  for (int32_t k = 1; k <= n; ++k) {
    if (list[k] == EMPTY_SLOT) {
      list[k] = group;
      return;
    }
  }
}

void BuildScaleFree() {
  BuildCompleteCore();
  const int32_t m = g_state.params.links_per_group;
  for (int32_t a = g_state.params.core_size + 1; a <= g_state.params.group_count; ++a) {
    AttachGroup(a, m);
  }
  CountDegrees(g_state.params.group_count);
}

void BuildCompleteCore() {
  const int32_t m0 = g_state.params.core_size;
  for (int32_t i = 1; i <= m0; ++i) {
    for (int32_t j = 1; j <= m0; ++j) {
      if (j != i) {
        AppendNeighbour(m0, i, j);
      }
    }
  }
  CountDegrees(m0);
}

void AttachGroup(int32_t new_group, int32_t links) {
  const int32_t n = new_group - 1;
  if (new_group == g_state.params.core_size + 1) {
    ChooseUniformPartners(n, links);
  } else {
    ChoosePreferentialPartners(n, links);
  }
  const int32_t* partners = g_state.chosen_partners;
  for (int32_t i = 1; i <= links; ++i) {
    AppendNeighbour(n, new_group, partners[i]);
    AppendNeighbour(n, partners[i], new_group);
  }
}

void ChooseUniformPartners(int32_t n, int32_t m) {
  int32_t* partners = g_state.chosen_partners;
  for (int32_t i = 1; i <= m; ++i) {
    partners[i] = 0;
  }
  int32_t c = 0;
  while (c < m) {
    const int32_t v = 1 + UniformBelow(n);
    if (ListContains(partners, v, c) == 0) {
      partners[++c] = v;
    }
  }
  std::sort(partners, partners + m + 1);
}

void ChoosePreferentialPartners(int32_t n, int32_t m) {
  const int32_t total = TotalDegree(n);
  int32_t* partners = g_state.chosen_partners;
  for (int32_t i = 1; i <= m; ++i) {
    partners[i] = 0;
  }
  int32_t c = 0;
  while (c < m) {
    const int32_t v = 1 + UniformBelow(n);
    const int32_t w = UniformBelow(total);
    if (w < g_state.groups[v].degree && ListContains(partners, v, c) == 0) {
      partners[++c] = v;
    }
  }
  std::sort(partners, partners + m + 1);
}

void AppendNeighbour(int32_t limit, int32_t group, int32_t partner) {
  int32_t* list = Neighbours(group);
  for (int32_t slot = 1; slot <= limit; ++slot) {
    if (list[slot] == 0) {
      list[slot] = partner;
      return;
    }
  }
}

void CountDegrees(int32_t n) {
  const int32_t sentinel = NeighbourSentinel();
  for (int32_t g = 1; g <= n; ++g) {
    const int32_t* list = Neighbours(g);
    int32_t degree = 0;
    // Bounded by the list's capacity so that a list without a sentinel can
    // never be read past its end.
    while (degree < MAX_GROUPS && list[degree + 1] != sentinel) {
      ++degree;
    }
    g_state.groups[g].degree = degree;
  }
}

int32_t TotalDegree(int32_t n) {
  CountDegrees(n);
  int32_t total = 0;
  for (int32_t g = 1; g <= n; ++g) {
    total += g_state.groups[g].degree;
  }
  return total;
}

}  // namespace veldaris
