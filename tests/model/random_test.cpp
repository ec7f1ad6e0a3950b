// The generator and its single draw, on both block paths.
#include <random>

#include "model_test_support.h"

namespace veldaris::test {
namespace {

class ModelRandom : public ModelTest, public ::testing::WithParamInterface<InstructionSet> {
 public:
  void SetUp() override {
    ModelTest::SetUp();
    if (GetParam() > BestInstructionSet()) {
      GTEST_SKIP() << "this processor lacks " << InstructionSetName(GetParam());
    }
    sim.instruction_set = GetParam();
  }
};
INSTANTIATE_TEST_SUITE_P(Sets, ModelRandom, ::testing::Values(InstructionSet::Baseline, InstructionSet::Avx2),
                         [](const auto& info) { return InstructionSetName(info.param); });

// Against the standard library's MT19937, across several regenerations of the
// state vector, for every range the model draws from.
TEST_P(ModelRandom, MatchesTheStandardGeneratorAndTakesOneOutputPerDraw) {
  EXPECT_EQ(NextRandom(sim), 3499211612U);  // never seeded: seed 5489
  for (int32_t n : {1, 2, 7, 100, 1000000}) {
    SeedRandom(sim, 20240601U + n);
    std::mt19937 reference(20240601U + n);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(UniformBelow(sim, n), int32_t((uint64_t(reference()) * n) >> 32)) << n;
    EXPECT_EQ(NextRandom(sim), reference()) << n;
    EXPECT_EQ(RandomOutputsDrawn(sim), 2001);
  }
}

// More than 10^7 outputs taken the ways the model takes them (one at a time,
// as top bits, as mutation bits of 64- and 128-bit runs) in lengths that put
// their starts at every offset of a block and make them reach over its end:
// every value is the one the standard generator's outputs give.
TEST_P(ModelRandom, RunsOfDrawsMatchTheStandardGenerator) {
  for (uint32_t seed : {0U, 4294967295U, 1234568U}) {
    SeedRandom(sim, seed);
    std::mt19937 reference(seed);
    int64_t drawn = 0;
    uint32_t count = 0;
    while (drawn < 3400000) {
      count = (count * 37 + 11) % 131;
      const int32_t way = static_cast<int32_t>(count % 4);
      if (way == 0) {
        ASSERT_EQ(NextRandom(sim), reference());
        ++drawn;
        continue;
      }
      const int32_t run = way == 1 ? static_cast<int32_t>(count % 65) : 1 + static_cast<int32_t>(count % 128);
      Bits128 expected = 0;
      for (int32_t i = 0; i < run; ++i) {
        const uint32_t u = reference();
        const uint32_t bit = way == 1 ? u >> 31 : (1 + ((uint64_t{u} * 1000000) >> 32) <= 1000 ? 1U : 0U);
        expected |= static_cast<Bits128>(bit) << i;
      }
      Bits128 got = 0;
      if (way == 1) {
        got = TakeTopBits(sim, run);
      } else if (way == 2 && run <= 64) {
        got = TakeMutationBits<uint64_t>(sim, run);
      } else {
        got = TakeMutationBits<Bits128>(sim, run);
      }
      ASSERT_TRUE(got == expected) << "seed " << seed << " after " << drawn << " outputs, a run of " << run;
      drawn += run;
      ASSERT_EQ(RandomOutputsDrawn(sim), drawn);
    }
  }
}

// Mutation runs need outputs at or below the limit to be worth checking: a
// scripted stream of them, around the limit, read in runs from every offset.
TEST_P(ModelRandom, MutationBitsMarkExactlyTheOutputsAtOrBelowTheLimit) {
  std::mt19937 rng(5);
  for (int32_t round = 0; round < 300; ++round) {
    std::vector<uint32_t> outputs(624);
    for (uint32_t& u : outputs) u = MUTATION_OUTPUT_LIMIT - 2 + rng() % 5 + (rng() % 4 == 0 ? rng() : 0U);
    ScriptOutputs(sim, outputs);
    const auto skip = static_cast<int32_t>(rng() % 500);
    for (int32_t i = 0; i < skip; ++i) NextRandom(sim);
    const int32_t run = 1 + static_cast<int32_t>(rng() % std::min(128, 624 - skip));
    Bits128 expected = 0;
    for (int32_t i = 0; i < run; ++i) {
      expected |= static_cast<Bits128>(outputs[skip + i] <= MUTATION_OUTPUT_LIMIT ? 1 : 0) << i;
    }
    ASSERT_TRUE(TakeMutationBits<Bits128>(sim, run) == expected) << "from " << skip << ", " << run;
  }
}

// Other mutation thresholds, the extremes included: a copied move flips when
// 1 + UniformBelow(10^6) <= T, checked output by output on outputs around
// the boundary and across the range, as the thresholds of a run take them.
TEST_P(ModelRandom, MutationBitsFollowTheThresholdOfTheRun) {
  std::mt19937 rng(17);
  const auto draw = [](uint32_t u) { return 1 + static_cast<int32_t>((uint64_t{u} * 1000000) >> 32); };
  for (const int32_t threshold : {0, 1, 1000, 999999, 1000000}) {
    SCOPED_TRACE(threshold);
    sim.params.mutation_per_million = threshold;
    StartRun(sim, 5);
    // The first output that does not flip: the smallest u drawing T + 1.
    const uint64_t first_kept = threshold == 1000000 ? uint64_t{1} << 32 : OutputFor(threshold, 1000000);
    std::vector<uint32_t> outputs = {0U, 1U, 4294967295U, 4294967294U};
    for (int64_t d = -3; d <= 3; ++d) {
      const int64_t u = static_cast<int64_t>(first_kept) + d;
      if (u >= 0 && u <= 4294967295LL) outputs.push_back(static_cast<uint32_t>(u));
    }
    while (outputs.size() < 624)
      outputs.push_back(rng() % 2 == 0 ? rng() : static_cast<uint32_t>(first_kept) + rng() % 64 - 32);
    ScriptOutputs(sim, outputs);
    int32_t flips = 0;
    for (size_t at = 0; at < outputs.size(); at += 100) {
      const auto run = static_cast<int32_t>(std::min<size_t>(100, outputs.size() - at));
      const Bits128 got = TakeMutationBits<Bits128>(sim, run);
      for (int32_t i = 0; i < run; ++i) {
        const bool flips_here = draw(outputs[at + i]) <= threshold;
        ASSERT_EQ(static_cast<bool>((got >> i) & 1U), flips_here) << "output " << outputs[at + i];
        flips += flips_here ? 1 : 0;
      }
    }
    EXPECT_EQ(flips, threshold == 0 ? 0 : threshold == 1000000 ? 624 : flips) << "none or all";
    // The blocks the generator makes itself carry the same threshold.
    SeedRandom(sim, 8);
    std::mt19937 reference(8);
    for (int32_t i = 0; i < 1300; ++i) {
      const uint32_t u = reference();
      ASSERT_EQ(TakeMutationBits<uint64_t>(sim, 1), draw(u) <= threshold ? 1U : 0U) << i;
    }
  }
}

// The test hook: the scripted outputs come next, then the generator's own
// sequence goes on from its next regeneration; the count of outputs drawn
// counts the scripted ones like any other.
TEST_P(ModelRandom, ScriptedOutputsComeFirstThenTheOwnSequence) {
  SeedRandom(sim, 99);
  std::mt19937 reference(99);
  for (int i = 0; i < 700; ++i) ASSERT_EQ(NextRandom(sim), reference());
  for (int i = 700; i < 1248; ++i) reference();  // the rest of the second block is passed over
  const std::vector<uint32_t> scripted = {5, 0, 4294967295U, MUTATION_OUTPUT_LIMIT, MUTATION_OUTPUT_LIMIT + 1};
  ScriptOutputs(sim, scripted);
  EXPECT_EQ(TakeMutationBits<uint64_t>(sim, 2), 3U);
  EXPECT_EQ(NextRandom(sim), 4294967295U);
  const uint32_t next_block = reference();
  EXPECT_EQ(TakeMutationBits<uint64_t>(sim, 3), 1U | (next_block <= MUTATION_OUTPUT_LIMIT ? 4U : 0U))
      << "reaches into the next block";
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(NextRandom(sim), reference());
  EXPECT_EQ(RandomOutputsDrawn(sim), 700 + 6 + 1000);

  SimulationPtr fresh = NewSimulation();
  ScriptOutputs(*fresh, {7});
  EXPECT_EQ(NextRandom(*fresh), 7U);
  EXPECT_EQ(NextRandom(*fresh), std::mt19937(5489)()) << "never seeded: seeded with 5489 after the script";
}

}  // namespace
}  // namespace veldaris::test
