// Building the network: the circle layout, the small world, the scale-free network and a network of given links.
#include <algorithm>
#include <cmath>
#include <utility>

#include "model/model_internal.h"
#include "model/random_internal.h"
#include "network/network_internal.h"

namespace veldaris {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr int32_t kCentre = 187;
constexpr double kRadius = 172.0;

int32_t* Neighbours(Simulation& sim, int32_t group) { return sim.groups[group].neighbours; }

}  // namespace

void BuildNetwork(Simulation& sim, uint32_t seed) {
  SeedRandom(sim, seed);
  LayoutGroups(sim, Layout::Clear);
  InitNeighbourLists(sim, sim.params.network_type);
  LayoutGroups(sim, Layout::Circle);
  if (sim.params.network_type == SMALL_WORLD) {
    BuildSmallWorld(sim);
  } else {
    BuildScaleFree(sim);
  }
}

void LayoutGroups(Simulation& sim, Layout layout) {
  if (layout != Layout::Circle) {
    for (int32_t g = 1; g <= MAX_GROUPS; ++g) {
      sim.groups[g].x = 0;
      sim.groups[g].y = 0;
    }
    return;
  }
  const int32_t n = sim.params.group_count;
  for (int32_t g = 1; g <= n; ++g) {
    const double theta = (2.0 * (g - 1) * kPi) / n - kHalfPi;
    sim.groups[g].x = kCentre + RoundHalfUp(kRadius * std::cos(theta));
    sim.groups[g].y = kCentre + RoundHalfUp(kRadius * std::sin(theta));
  }
}

void InitNeighbourLists(Simulation& sim, int32_t network_type) {
  const int32_t empty = SentinelOf(network_type);
  for (int32_t g = 0; g <= MAX_GROUPS; ++g) {
    GroupRecord& record = sim.groups[g];
    record.degree = 0;
    record.neighbours[0] = 0;
    for (int32_t slot = 1; slot <= MAX_GROUPS; ++slot) {
      record.neighbours[slot] = empty;
    }
  }
}

void BuildSmallWorld(Simulation& sim) {
  BuildRingLattice(sim);
  RewireLattice(sim);
  CountDegrees(sim, sim.params.group_count);
}

void BuildRingLattice(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  const int32_t half = sim.params.connectivity / 2;
  for (int32_t i = 1; i <= n; ++i) {
    for (int32_t j = 1; j <= half; ++j) {
      const int32_t t = i + j > n ? i + j - n : i + j;
      PlaceLatticeLink(sim, j, i, t);
    }
  }
}

void PlaceLatticeLink(Simulation& sim, int32_t slot, int32_t group, int32_t partner) {
  const int32_t half = sim.params.connectivity / 2;
  Neighbours(sim, group)[slot] = partner;
  Neighbours(sim, partner)[slot + half] = group;
}

void RewireLattice(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  const int32_t half = sim.params.connectivity / 2;
  for (int32_t i = 1; i <= half; ++i) {
    for (int32_t j = 1; j <= n; ++j) {
      const int32_t r = 1 + UniformBelow(sim, 1000000);
      if (r > sim.params.rewiring_per_million) {
        continue;
      }
      const int32_t b = Neighbours(sim, j)[i];
      for (;;) {
        const int32_t e = 1 + UniformBelow(sim, n);
        if (e == b) {
          break;
        }
        if (e == j || ListContains(Neighbours(sim, j), e, n) != 0) {
          continue;
        }
        ReplaceLink(sim, i, j, e, b);
        break;
      }
    }
  }
  for (int32_t j = 1; j <= n; ++j) {
    std::sort(Neighbours(sim, j), Neighbours(sim, j) + n + 1);
  }
}

void ReplaceLink(Simulation& sim, int32_t slot, int32_t group, int32_t new_partner, int32_t old_partner) {
  const int32_t n = sim.params.group_count;
  const int32_t half = sim.params.connectivity / 2;
  Neighbours(sim, group)[slot] = new_partner;
  Neighbours(sim, old_partner)[slot + half] = EMPTY_SLOT;
  int32_t* list = Neighbours(sim, new_partner);
  for (int32_t k = 1; k <= n; ++k) {
    if (list[k] == EMPTY_SLOT) {
      list[k] = group;
      return;
    }
  }
}

void BuildFromLinks(Simulation& sim, const int32_t (*links)[2], int32_t link_count) {
  const int32_t n = sim.params.group_count;
  sim.params.network_type = GIVEN_LINKS;
  LayoutGroups(sim, Layout::Clear);
  InitNeighbourLists(sim, GIVEN_LINKS);
  LayoutGroups(sim, Layout::Circle);
  for (int32_t i = 0; i < link_count; ++i) {
    const int32_t a = links[i][0];
    const int32_t b = links[i][1];
    // The caller has checked the links; one that would still write outside
    // the records or fill a list past its last slot is passed over.
    if (a < 1 || a > n || b < 1 || b > n || a == b || sim.groups[a].degree >= n - 1 || sim.groups[b].degree >= n - 1) {
      continue;
    }
    for (const auto& [group, partner] : {std::pair{a, b}, std::pair{b, a}}) {
      GroupRecord& r = sim.groups[group];
      r.neighbours[++r.degree] = partner;
    }
  }
  for (int32_t g = 1; g <= n; ++g) {
    std::sort(Neighbours(sim, g) + 1, Neighbours(sim, g) + 1 + sim.groups[g].degree);
  }
  CountDegrees(sim, n);
}

void BuildScaleFree(Simulation& sim) {
  BuildCompleteCore(sim);
  const int32_t m = sim.params.links_per_group;
  for (int32_t a = sim.params.core_size + 1; a <= sim.params.group_count; ++a) {
    AttachGroup(sim, a, m);
  }
  CountDegrees(sim, sim.params.group_count);
}

void BuildCompleteCore(Simulation& sim) {
  const int32_t m0 = sim.params.core_size;
  for (int32_t i = 1; i <= m0; ++i) {
    for (int32_t j = 1; j <= m0; ++j) {
      if (j != i) {
        AppendNeighbour(sim, m0, i, j);
      }
    }
  }
  CountDegrees(sim, m0);
}

void AttachGroup(Simulation& sim, int32_t new_group, int32_t links) {
  const int32_t n = new_group - 1;
  if (new_group == sim.params.core_size + 1) {
    ChooseUniformPartners(sim, n, links);
  } else {
    ChoosePreferentialPartners(sim, n, links);
  }
  const int32_t* partners = sim.chosen_partners;
  for (int32_t i = 1; i <= links; ++i) {
    AppendNeighbour(sim, n, new_group, partners[i]);
    AppendNeighbour(sim, n, partners[i], new_group);
  }
}

void ChooseUniformPartners(Simulation& sim, int32_t n, int32_t m) {
  int32_t* partners = sim.chosen_partners;
  for (int32_t i = 1; i <= m; ++i) {
    partners[i] = 0;
  }
  int32_t c = 0;
  while (c < m) {
    const int32_t v = 1 + UniformBelow(sim, n);
    if (ListContains(partners, v, c) == 0) {
      partners[++c] = v;
    }
  }
  std::sort(partners, partners + m + 1);
}

void ChoosePreferentialPartners(Simulation& sim, int32_t n, int32_t m) {
  const int32_t total = TotalDegree(sim, n);
  int32_t* partners = sim.chosen_partners;
  for (int32_t i = 1; i <= m; ++i) {
    partners[i] = 0;
  }
  int32_t c = 0;
  while (c < m) {
    const int32_t v = 1 + UniformBelow(sim, n);
    const int32_t w = UniformBelow(sim, total);
    if (w < sim.groups[v].degree && ListContains(partners, v, c) == 0) {
      partners[++c] = v;
    }
  }
  std::sort(partners, partners + m + 1);
}

void AppendNeighbour(Simulation& sim, int32_t limit, int32_t group, int32_t partner) {
  int32_t* list = Neighbours(sim, group);
  for (int32_t slot = 1; slot <= limit; ++slot) {
    if (list[slot] == 0) {
      list[slot] = partner;
      return;
    }
  }
}

void CountDegrees(Simulation& sim, int32_t n) {
  const int32_t sentinel = NeighbourSentinel(sim);
  for (int32_t g = 1; g <= n; ++g) {
    const int32_t* list = Neighbours(sim, g);
    int32_t degree = 0;
    // Bounded by the list's capacity so that a list without a sentinel can
    // never be read past its end.
    while (degree < MAX_GROUPS && list[degree + 1] != sentinel) {
      ++degree;
    }
    sim.groups[g].degree = degree;
  }
}

int32_t TotalDegree(Simulation& sim, int32_t n) {
  CountDegrees(sim, n);
  int32_t total = 0;
  for (int32_t g = 1; g <= n; ++g) {
    total += sim.groups[g].degree;
  }
  return total;
}

}  // namespace veldaris
