// The measures of a built network: degree distribution, path lengths, components, clustering.
#include <cmath>
#include <cstddef>

#include "network/network_internal.h"
#include "network/path_lengths.h"

namespace veldaris {

void ComputeNetworkMetrics(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  ComputeDegreeDistribution(sim);
  int32_t s1 = 0;
  for (int32_t g = 1; g <= n; ++g) {
    s1 += sim.groups[g].degree;
  }
  double s2 = 0.0;
  for (int32_t k = 0; k <= n; ++k) {
    s2 += std::pow(static_cast<double>(k), 2.0) * sim.degree_histogram[k];
  }
  NetworkMetrics& m = sim.metrics;
  m.average_degree = static_cast<double>(s1) / n;
  m.degree_stdev = std::sqrt(s2 / n - m.average_degree * m.average_degree);
  m.characteristic_path_length = CharacteristicPathLength(sim);
  m.clustering_coefficient = AverageClustering(sim);
  m.components = CountComponents(sim);
  m.reachable_path_length = ReachablePathLength(sim);
}

void ComputeDegreeDistribution(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  for (int32_t k = 0; k <= n; ++k) {
    sim.degree_distribution[k] = 0.0;
  }
  CountDegreeHistogram(sim);
  for (int32_t k = 0; k <= n; ++k) {
    sim.degree_distribution[k] = static_cast<double>(sim.degree_histogram[k]) / n;
  }
}

void CountDegreeHistogram(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  int32_t* h = sim.degree_histogram;
  for (int32_t k = 0; k <= n; ++k) {
    h[k] = 0;
  }
  for (int32_t g = 1; g <= n; ++g) {
    const int32_t d = sim.groups[g].degree;
    if (d >= 0 && d <= n) {
      ++h[d];
    }
  }
}

namespace {

// Whether some list holds, in its slots 1..degree, an entry that is not a
// group 1..N. No network that the builder makes has one.
bool HasForeignEntries(const Simulation& sim) {
  const int32_t n = sim.params.group_count;
  for (int32_t g = 1; g <= n; ++g) {
    const GroupRecord& r = sim.groups[g];
    for (int32_t slot = 1; slot <= r.degree; ++slot) {
      if (r.neighbours[slot] < 1 || r.neighbours[slot] > n) {
        return true;
      }
    }
  }
  return false;
}

// The level-by-level search also writes the hops entry of such an entry u
// (when it lies in 0..500): one more than the distance of the nearest reached
// group that lists it. The breadth-first search passes over it, so the entry
// is set here the same way.
void MarkForeignEntries(Simulation& sim, int32_t source) {
  const int32_t n = sim.params.group_count;
  GroupRecord& r = sim.groups[source];
  for (int32_t t = 1; t <= n; ++t) {
    if (r.dist[t] >= n) {
      continue;
    }
    const GroupRecord& from = sim.groups[t];
    for (int32_t slot = 1; slot <= from.degree; ++slot) {
      const int32_t u = from.neighbours[slot];
      if ((u < 1 || u > n) && u >= 0 && u <= MAX_GROUPS && r.hops[u] > r.dist[t] + 1) {
        r.hops[u] = r.dist[t] + 1;
      }
    }
  }
}

}  // namespace

// Shortest path lengths from every group: 0 to itself, the number of links on
// a shortest path, N where there is none, in dist and, identical, in hops (the
// working array of the level-by-level search, which ends equal to dist). The
// records of groups 0 and N + 1..500, and the entries 0 and N + 1..500 of
// every record, hold 0 on the diagonal and N elsewhere, as that search leaves
// them. One breadth-first search per group gives the same distances in N
// times (groups + links) steps instead of N^3.
void ComputePathLengths(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  for (int32_t s = 0; s <= MAX_GROUPS; ++s) {
    GroupRecord& r = sim.groups[s];
    for (int32_t t = 0; t <= MAX_GROUPS; ++t) {
      r.hops[t] = t == s ? 0 : n;
      r.dist[t] = t == s ? 0 : n;
    }
  }
  constexpr std::ptrdiff_t kStride = sizeof(GroupRecord) / sizeof(int32_t);
  static_assert(sizeof(GroupRecord) % sizeof(int32_t) == 0, "records are whole int32 words apart");
  const NeighbourListView view{&sim.groups[0].degree, kStride, sim.groups[0].neighbours, kStride, n};
  const bool foreign = HasForeignEntries(sim);
  int32_t queue[PATH_QUEUE_CAPACITY];
  for (int32_t s = 1; s <= n; ++s) {
    GroupRecord& r = sim.groups[s];
    PathLengthsFrom(view, s, r.dist, queue);
    for (int32_t t = 1; t <= n; ++t) {
      r.hops[t] = r.dist[t];
    }
    if (foreign) {
      MarkForeignEntries(sim, s);
    }
  }
}

double CharacteristicPathLength(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  ComputePathLengths(sim);
  int32_t total = 0;
  for (int32_t s = 1; s <= n; ++s) {
    int32_t sum = 0;
    for (int32_t t = 1; t <= n; ++t) {
      sum += sim.groups[s].dist[t];
    }
    total += sum;
  }
  return total * (1.0 / (n * (n - 1)));
}

int32_t CountComponents(const Simulation& sim) {
  const int32_t n = sim.params.group_count;
  int32_t components = 0;
  for (int32_t s = 1; s <= n; ++s) {
    // Counted at its lowest-numbered group, which reaches none below it.
    const int32_t* dist = sim.groups[s].dist;
    int32_t t = 1;
    while (t < s && dist[t] == n) {
      ++t;
    }
    components += t == s ? 1 : 0;
  }
  return components;
}

double ReachablePathLength(const Simulation& sim) {
  const int32_t n = sim.params.group_count;
  int64_t total = 0;
  int64_t pairs = 0;
  for (int32_t s = 1; s <= n; ++s) {
    const int32_t* dist = sim.groups[s].dist;
    for (int32_t t = 1; t <= n; ++t) {
      if (t != s && dist[t] < n) {
        total += dist[t];
        ++pairs;
      }
    }
  }
  return pairs == 0 ? 0.0 : static_cast<double>(total) / static_cast<double>(pairs);
}

void ComputeClustering(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  for (int32_t g = 0; g <= MAX_GROUPS; ++g) {
    sim.groups[g].linked_pairs = 0;
  }
  // Membership of g's neighbours as flags: the same count as a scan of g's
  // list for every entry, without its cost on dense networks.
  bool is_neighbour[MAX_GROUPS + 1] = {};
  for (int32_t g = 1; g <= n; ++g) {
    GroupRecord& r = sim.groups[g];
    for (int32_t slot = 1; slot <= r.degree; ++slot) {
      is_neighbour[r.neighbours[slot]] = true;
    }
    for (int32_t slot = 1; slot <= r.degree; ++slot) {
      const GroupRecord& u = sim.groups[r.neighbours[slot]];
      for (int32_t k = 1; k <= u.degree; ++k) {
        if (is_neighbour[u.neighbours[k]]) {
          ++r.linked_pairs;
        }
      }
    }
    for (int32_t slot = 1; slot <= r.degree; ++slot) {
      is_neighbour[r.neighbours[slot]] = false;
    }
    // A group with fewer than two links has no pair of neighbours; its
    // coefficient is 0 rather than a division by zero.
    r.clustering = r.degree < 2 ? 0.0 : r.linked_pairs * (1.0 / (2 * PairCount(r.degree)));
  }
}

double AverageClustering(Simulation& sim) {
  const int32_t n = sim.params.group_count;
  ComputeClustering(sim);
  double sum = 0.0;
  for (int32_t g = 1; g <= n; ++g) {
    sum += sim.groups[g].clustering;
  }
  return sum * (1.0 / n);
}

int32_t PairCount(int32_t k) { return k * (k - 1) / 2; }

}  // namespace veldaris
