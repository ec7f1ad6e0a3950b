// Network construction (invariants, layout, rebuilds) and network metrics.
#include "model_test_support.h"

namespace veldaris::test {
namespace {

using ModelNetwork = ModelTest;

// Simple, symmetric, ascending lists ending at the sentinel up to slot N,
// N*K/2 links, the minimum degree of the type, and a complete scale-free core.
::testing::AssertionResult ValidNetwork(const Simulation& sim) {
  const SimParams& p = sim.params;
  const bool small_world = p.network_type == SMALL_WORLD;
  int32_t ends = 0;
  for (int32_t g = 1; g <= p.group_count; ++g) {
    const GroupRecord& r = sim.groups[g];
    if (r.neighbours[0] != 0 || r.degree < (small_world ? p.connectivity / 2 : p.links_per_group)) {
      return ::testing::AssertionFailure() << "group " << g << " degree " << r.degree;
    }
    for (int32_t slot = 1; slot <= p.group_count; ++slot) {
      const int32_t v = r.neighbours[slot];
      const bool ok = slot > r.degree ? v == (small_world ? EMPTY_SLOT : 0)
                                      : v >= 1 && v <= p.group_count && v != g && v > r.neighbours[slot - 1] &&
                                            ListContains(sim.groups[v].neighbours, g, sim.groups[v].degree);
      if (!ok) return ::testing::AssertionFailure() << "group " << g << " slot " << slot << " holds " << v;
    }
    ends += r.degree;
  }
  if (ends != p.group_count * p.connectivity) return ::testing::AssertionFailure() << ends / 2 << " links";
  for (int32_t i = 1; !small_world && i <= p.core_size; ++i) {
    for (int32_t j = 1; j <= p.core_size; ++j) {
      if (i != j && !ListContains(sim.groups[i].neighbours, j, p.connectivity)) {
        return ::testing::AssertionFailure() << "core groups " << i << " and " << j << " not linked";
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_F(ModelNetwork, InvariantsHoldOverManySeedsAndUnusualSizes) {
  std::vector<std::vector<int32_t>> cases = {{SMALL_WORLD, 3, 2, 100, 5},   {SMALL_WORLD, 9, 8, 100, 5},
                                             {SMALL_WORLD, 500, 498, 1, 2}, {SMALL_WORLD, 500, 8, 30, 5},
                                             {SCALE_FREE, 5, 4, 0, 5},      {SCALE_FREE, 9, 8, 0, 5},
                                             {SCALE_FREE, 7, 2, 0, 5},      {SCALE_FREE, 500, 8, 0, 5}};
  for (int32_t n : {50, 200}) {  // type, N, K, rewiring, seeds
    for (int32_t k : {4, 8}) {
      for (int32_t rewiring : {0, 10, 50, 100}) cases.push_back({SMALL_WORLD, n, k, rewiring, 40});
      cases.push_back({SCALE_FREE, n, k, 0, 40});
    }
  }
  for (const auto& c : cases) {
    SetParams(c[0], c[1], 4, 1000, c[2], 10, c[3]);
    for (int32_t seed = 1; seed <= c[4]; ++seed) {
      Build(seed, false);
      ASSERT_TRUE(ValidNetwork(sim)) << "type " << c[0] << " N " << c[1] << " K " << c[2] << " rewiring " << c[3]
                                     << " seed " << seed;
    }
  }
}

// The reference outputs hold the circle of 50 groups; a rebuild with fewer
// groups clears the records of the groups left out.
TEST_F(ModelNetwork, CircleOf200AndRebuildWithFewerGroups) {
  SetParams(SCALE_FREE, 200, 4, 1000, 8, 10);
  Build(11, false);
  const int32_t positions[][3] = {{1, 187, 15}, {51, 359, 187}, {101, 187, 359}, {151, 15, 187}};
  for (const auto& e : positions) EXPECT_EQ(sim.groups[e[0]].x * 1000 + sim.groups[e[0]].y, e[1] * 1000 + e[2]);
  SetParams(SMALL_WORLD, 50, 4, 1000, 8, 10, 20);
  Build(11, false);
  for (int32_t g = 51; g <= MAX_GROUPS; ++g) {
    const GroupRecord& r = sim.groups[g];
    ASSERT_TRUE(r.degree == 0 && r.x == 0 && r.y == 0 && r.neighbours[1] == EMPTY_SLOT) << "group " << g;
  }
}

TEST_F(ModelNetwork, RingLatticeMetrics) {
  const struct {
    int32_t n, k;
    const char* measures;  // characteristic path length, clustering
  } cases[] = {{50, 4, "6.632653 0.500000"},
               {50, 8, "3.571429 0.642857"},
               {200, 4, "25.376884 0.500000"},
               {200, 8, "12.939698 0.642857"}};
  for (const auto& c : cases) {
    SetParams(SMALL_WORLD, c.n, 4, 1000, c.k, 10, 0);
    Build(5);
    const NetworkMetrics& m = sim.metrics;
    char text[64];
    std::snprintf(text, sizeof text, "%.6f %.6f", m.characteristic_path_length, m.clustering_coefficient);
    EXPECT_STREQ(text, c.measures) << "N " << c.n << " K " << c.k;
    EXPECT_TRUE(m.average_degree == c.k && m.degree_stdev == 0.0 && sim.degree_histogram[c.k] == c.n);
    EXPECT_EQ(sim.degree_distribution[c.k], 1.0);
  }
}

// A triangle and a separate link: unreachable pairs count as N, and groups
// with a single link have clustering 0.
TEST_F(ModelNetwork, MetricsOfDisconnectedNetworkWithLowDegrees) {
  MakeNetwork(5, {{1, 2}, {1, 3}, {2, 3}, {4, 5}});
  ComputeNetworkMetrics(sim);
  const NetworkMetrics& m = sim.metrics;
  EXPECT_DOUBLE_EQ(m.characteristic_path_length, (6 + 2 + 12 * 5) / 20.0);
  EXPECT_DOUBLE_EQ(m.clustering_coefficient, 0.6);
  EXPECT_EQ(sim.groups[4].clustering, 0.0);
  EXPECT_DOUBLE_EQ(m.average_degree, 1.6);
  EXPECT_DOUBLE_EQ(m.degree_stdev, std::sqrt(14.0 / 5 - 1.6 * 1.6));
  EXPECT_EQ(sim.degree_histogram[1] * 10 + sim.degree_histogram[2], 23);
}

// A triangle (1 2 3), a square (4 5 6 7) and two groups without links, the
// links given in no order and either way round.
const int32_t kTwoPiecesAndTwoAlone[][2] = {{5, 4}, {3, 1}, {6, 7}, {2, 3}, {4, 7}, {1, 2}, {5, 6}};

TEST_F(ModelNetwork, GivenLinksMakeSortedListsWithoutDrawing) {
  SetParams(SMALL_WORLD, 9, 4, 1000, 8, 10, 30);
  SeedRandom(sim, 3);
  const int64_t drawn = RandomOutputsDrawn(sim);
  const uint32_t next_state = sim.mt[0];
  BuildAndMeasureNetworkFromLinks(sim, kTwoPiecesAndTwoAlone, 7);
  EXPECT_EQ(sim.params.network_type, GIVEN_LINKS);
  EXPECT_EQ(sim.network_built, 1);
  EXPECT_TRUE(RandomOutputsDrawn(sim) == drawn && sim.mt[0] == next_state) << "no output drawn";
  const std::vector<std::vector<int32_t>> lists = {{2, 3}, {1, 3}, {1, 2}, {5, 7}, {4, 6}, {5, 7}, {4, 6}, {}, {}};
  for (int32_t g = 1; g <= 9; ++g) {
    const GroupRecord& r = sim.groups[g];
    EXPECT_EQ(std::vector<int32_t>(r.neighbours + 1, r.neighbours + 1 + r.degree), lists[g - 1]) << "group " << g;
    EXPECT_EQ(r.neighbours[r.degree + 1], EMPTY_SLOT) << "group " << g;
  }
  // On the circle of nine, as every network of nine groups.
  EXPECT_EQ(sim.groups[1].x * 1000 + sim.groups[1].y, 187015);
  EXPECT_EQ(sim.groups[8].x * 1000 + sim.groups[8].y, 18157);
  // Links outside 1..N or of a group with itself are passed over.
  const int32_t bad[][2] = {{1, 10}, {0, 2}, {3, 3}, {-1, 501}, {1, 2}};
  BuildAndMeasureNetworkFromLinks(sim, bad, 5);
  EXPECT_EQ(sim.groups[1].degree + sim.groups[2].degree + sim.groups[3].degree, 2);
}

// Two components and two groups alone: four components; the characteristic
// path length counts the 54 unconnected ordered pairs as N = 9, the mean
// over the connected ones takes the 18 others: the triangle's 6 pairs at 1,
// the square's 12 at 1, 1 and 2 from each corner (16 in all).
TEST_F(ModelNetwork, MeasuresOfNetworkInPiecesWithGroupsAlone) {
  SetParams(SMALL_WORLD, 9, 4, 1000, 8, 10);
  BuildAndMeasureNetworkFromLinks(sim, kTwoPiecesAndTwoAlone, 7);
  const NetworkMetrics& m = sim.metrics;
  EXPECT_EQ(m.components, 4);
  EXPECT_DOUBLE_EQ(m.reachable_path_length, 22.0 / 18);
  EXPECT_DOUBLE_EQ(m.characteristic_path_length, (22.0 + 54 * 9) / 72);
  EXPECT_DOUBLE_EQ(m.clustering_coefficient, 3.0 / 9);
  EXPECT_DOUBLE_EQ(m.average_degree, 14.0 / 9);
  EXPECT_DOUBLE_EQ(m.degree_stdev, std::sqrt(28.0 / 9 - (14.0 / 9) * (14.0 / 9)));
  EXPECT_EQ(sim.degree_histogram[0] * 100 + sim.degree_histogram[2] * 10 + sim.degree_histogram[1], 270);
  EXPECT_DOUBLE_EQ(sim.degree_distribution[0], 2.0 / 9);
  const DegreeClasses classes = ScanDegreeClasses(sim);
  EXPECT_EQ(std::vector<int32_t>({classes.typical, classes.minimum, classes.maximum}), std::vector<int32_t>({2, 0, 2}));

  // No links at all: every group its own component, no connected pair.
  BuildAndMeasureNetworkFromLinks(sim, kTwoPiecesAndTwoAlone, 0);
  EXPECT_EQ(m.components, 9);
  EXPECT_EQ(m.reachable_path_length, 0.0);
  EXPECT_EQ(m.characteristic_path_length, 9.0);
  EXPECT_TRUE(m.average_degree == 0.0 && m.degree_stdev == 0.0 && m.clustering_coefficient == 0.0);

  // One component, as every network the builder makes at these sizes.
  SetParams(SCALE_FREE, 200, 4, 1000, 8, 10);
  Build(9);
  EXPECT_EQ(m.components, 1);
  EXPECT_DOUBLE_EQ(m.reachable_path_length, m.characteristic_path_length);
}

// A whole percentage p gives the network that the exact threshold p x 10^4
// does (both keep the outputs below p 2^32 / 100), whatever probability goes
// with it; a threshold between two percentages gives its own network.
TEST_F(ModelNetwork, WholePercentageAndExactThresholdRewireAlike) {
  const auto network = [this](double probability, int32_t exact, uint32_t seed) {
    ParameterChoice choice{SMALL_WORLD, 60, 4, 1000, 6, 10, probability};
    choice.rewiring_per_million = exact;
    EXPECT_TRUE(SetParameters(sim, choice, seed));
    BuildAndMeasureNetwork(sim, seed);
    std::vector<int32_t> lists;
    for (int32_t g = 1; g <= 60; ++g)
      lists.insert(lists.end(), sim.groups[g].neighbours, sim.groups[g].neighbours + 61);
    return lists;
  };
  for (const int32_t percent : {0, 1, 29, 50, 99, 100}) {
    for (uint32_t seed = 1; seed <= 30; ++seed) {
      const auto by_percent = network(percent / 100.0 + 1e-9, -1, seed);
      EXPECT_EQ(sim.params.rewiring_per_million, percent * 10000);
      ASSERT_EQ(by_percent, network(0.0, percent * 10000, seed)) << percent << "% seed " << seed;
    }
  }
  int32_t differ = 0;
  for (uint32_t seed = 1; seed <= 30; ++seed) differ += network(0.29, 295000, seed) != network(0.29, -1, seed) ? 1 : 0;
  EXPECT_GT(differ, 0);
}

// At a whole percentage p, the outputs that rewire are exactly those that
// 1 + UniformBelow(100) <= p takes: up to the last one before the smallest
// drawing p out of 100. A lattice of six groups, K 2: the first attempt
// (group 1's link to 2) takes the scripted output; when it rewires, the next
// output draws group 4 as the new partner; every later attempt keeps its link.
TEST_F(ModelNetwork, RewiringAtWholePercentageTakesTheOutputsOfThePercentage) {
  for (const int32_t percent : {1, 29, 57, 99}) {
    for (const uint32_t offset : {1U, 0U}) {
      SetParams(SMALL_WORLD, 6, 1, 1000, 2, 10, percent);
      InitNeighbourLists(sim, SMALL_WORLD);
      BuildRingLattice(sim);
      const uint32_t output = OutputFor(percent, 100) - offset;
      ScriptOutputs(sim, {output, OutputFor(3, 6), 0xffffffffU, 0xffffffffU, 0xffffffffU, 0xffffffffU, 0xffffffffU});
      RewireLattice(sim);
      const int32_t* list = sim.groups[1].neighbours;
      EXPECT_EQ(std::vector<int32_t>(list + 1, list + 3),
                offset == 1 ? std::vector<int32_t>({4, 6}) : std::vector<int32_t>({2, 6}))
          << percent << "% output " << output;
    }
  }
}

// Only the threshold of a small world changed: the built network no longer
// matches. Given links keep matching under another K or rewiring.
TEST_F(ModelNetwork, ChangedExactThresholdDropsTheBuiltNetwork) {
  ParameterChoice choice{SMALL_WORLD, 50, 8, 1000, 8, 10, 0.29};
  choice.rewiring_per_million = 290000;
  ASSERT_TRUE(SetParameters(sim, choice, 1));
  BuildAndMeasureNetwork(sim, 1);
  ASSERT_TRUE(SetParameters(sim, choice, 2));
  EXPECT_EQ(sim.network_built, 1);
  choice.rewiring_per_million = 290001;
  ASSERT_TRUE(SetParameters(sim, choice, 3));
  EXPECT_EQ(sim.network_built, 0);

  // Given links: K takes no part, N does.
  ParameterChoice given{GIVEN_LINKS, 9, 4, 1000, 2, 10, 0.5};
  ASSERT_TRUE(SetParameters(sim, given, 4));
  BuildAndMeasureNetworkFromLinks(sim, kTwoPiecesAndTwoAlone, 7);
  given.connectivity = 8;
  given.rewiring_per_million = 7;
  ASSERT_TRUE(SetParameters(sim, given, 5));
  EXPECT_EQ(sim.network_built, 1);
  given.group_count = 10;
  ASSERT_TRUE(SetParameters(sim, given, 6));
  EXPECT_EQ(sim.network_built, 0);
}

}  // namespace
}  // namespace veldaris::test
