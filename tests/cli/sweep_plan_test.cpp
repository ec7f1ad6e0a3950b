// A sweep's plan: the runs' seeds against known answers, and the limit on the
// number of runs at its boundary.
#include "cli/sweep_plan.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using veldaris::cli::ParseSweepFile;
using veldaris::cli::RunParameters;
using veldaris::cli::RunSeeds;
using veldaris::cli::SweepRunSeeds;

RunParameters Point(veldaris::cli::NetworkType network, int32_t groups, int32_t strategies, int32_t generations,
                    int32_t connectivity, int32_t length, double rewiring) {
  RunParameters p;
  p.network = network;
  p.groups = groups;
  p.strategies = strategies;
  p.generations = generations;
  p.connectivity = connectivity;
  p.length = length;
  p.rewiring = rewiring;
  return p;
}

// The expected seeds were computed apart from this code, from the formula as
// the README gives it, with Python's integers:
//
//   import struct
//   M, G = (1 << 64) - 1, 0x9E3779B97F4A7C15
//   def mix(z):
//       z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & M
//       z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & M
//       return z ^ (z >> 31)
//   def sm(x): return mix((x + G) & M)
//   def seeds(seed, small_world, n, s, g, k, l, rewiring, replicate):
//       h = sm(seed)
//       for w in [small_world, n, s, g, k, l,
//                 struct.unpack('<Q', struct.pack('<d', rewiring))[0], replicate]:
//           h = sm(h ^ w)
//       return sm(h) >> 32, sm((h + G) & M) >> 32
TEST(SweepRunSeeds, MatchTheFormulaComputedIndependently) {
  struct Case {
    uint64_t base;
    RunParameters point;
    int64_t replicate;
    uint32_t network_seed;
    uint32_t run_seed;
  };
  const Case cases[] = {
      {0, Point(veldaris::cli::NetworkType::SmallWorld, 50, 8, 1000, 8, 10, 0.0), 0, 124120634U, 2856054092U},
      {5, Point(veldaris::cli::NetworkType::ScaleFree, 200, 32, 3000, 8, 30, 0.29), 7, 1158753871U, 156852978U},
      {18446744073709551615ULL, Point(veldaris::cli::NetworkType::SmallWorld, 500, 1, 10, 2, 100, 0.1), 99999,
       3866061292U, 1720091811U},
  };
  for (const Case& c : cases) {
    const RunSeeds seeds = SweepRunSeeds(c.base, c.point, c.replicate);
    EXPECT_EQ(seeds.network, c.network_seed) << c.base;
    EXPECT_EQ(seeds.run, c.run_seed) << c.base;
  }
}

// 100 points of 10,000 replicates are the most a sweep may have; 101 points
// of 9,901 replicates (1,000,001 runs) are one too many.
TEST(SweepPlan, RunLimitAtItsBoundary) {
  const auto generations = [](int32_t count) {
    std::string list = "generations = [";
    for (int32_t i = 1; i <= count; ++i) list += (i > 1 ? ", " : "") + std::to_string(10 * i);
    return list + "]\n";
  };
  const auto most = ParseSweepFile(generations(100) + "replicates = 10000\nseed = 1\n", "most.toml");
  ASSERT_TRUE(most.ok()) << most.failure().Message();
  EXPECT_EQ(most.value().runs.size(), 1000000u);

  const auto over = ParseSweepFile(generations(101) + "replicates = 9901\nseed = 1\n", "over.toml");
  ASSERT_FALSE(over.ok());
  EXPECT_NE(over.failure().Message().find("more than 1000000"), std::string::npos) << over.failure().Message();
}

}  // namespace
