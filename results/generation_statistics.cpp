// The per-generation statistics of the groups by degree class.
#include <cstdint>

#include "results/results_internal.h"

namespace veldaris {

namespace {

struct ClassSums {
  int32_t size;
  double dd;
  double cc;
  void Add(double d, double c) {
    ++size;
    dd += d;
    cc += c;
  }
};

}  // namespace

DegreeClasses ScanDegreeClasses(const Simulation& sim) {
  const int32_t n = sim.params.group_count;
  const int32_t* h = sim.degree_histogram;
  DegreeClasses c{0, 0, 0};
  bool min_found = false;
  bool max_found = false;
  for (int32_t k = 1, j = n; k <= n; ++k, --j) {
    if (h[k] > h[c.typical]) {
      c.typical = k;
    }
    if (!min_found && h[k - 1] == 0 && h[k] != 0) {
      c.minimum = k;
      min_found = true;
    }
    if (!max_found && h[j - 1] != 0 && h[j] == 0) {
      c.maximum = j - 1;
      max_found = true;
    }
  }
  // The scan takes the first degree after a gap as the smallest; groups
  // without links (only in a network of given links) come before any gap.
  if (n >= 1 && h[0] != 0) {
    c.minimum = 0;
  }
  return c;
}

void RecordGeneration(Simulation& sim, int32_t g) {
  const int32_t n = sim.params.group_count;
  const int32_t* h = sim.degree_histogram;
  const DegreeClasses classes = ScanDegreeClasses(sim);

  ClassSums typical{};
  ClassSums minimum{};
  ClassSums maximum{};
  ClassSums all{};
  for (int32_t i = 1; i <= n; ++i) {
    const int32_t d = sim.groups[i].degree;
    const double dd = sim.counters.DD[i];
    const double cc = sim.counters.CC[i];
    if (h[d] == h[classes.typical]) {
      typical.Add(dd, cc);
    }
    if (d == classes.minimum) {
      minimum.Add(dd, cc);
    }
    if (d == classes.maximum) {
      maximum.Add(dd, cc);
    }
    all.Add(dd, cc);
  }

  GenerationSeries& s = sim.series;
  s.D_Typ[g] = typical.dd / typical.size;
  s.C_Typ[g] = typical.cc / typical.size;
  s.D_Min[g] = minimum.dd / minimum.size;
  s.C_Min[g] = minimum.cc / minimum.size;
  s.D_Max[g] = maximum.dd / maximum.size;
  s.C_Max[g] = maximum.cc / maximum.size;
  s.D_Avg[g] = all.dd / n;
  s.C_Avg[g] = all.cc / n;
}

}  // namespace veldaris
