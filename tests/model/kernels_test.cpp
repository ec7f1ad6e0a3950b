// The block generator, the output bitmap and the path lengths, against
// independent references; the AVX2 variants are skipped, and reported so,
// where the processor lacks them.
#include <numeric>
#include <random>

#include "model/mt_block.h"
#include "model_test_support.h"

namespace veldaris::test {
namespace {

// The generator as published: initialisation, and the twist with cyclic
// indices in one loop rather than in the code's three stretches.
void TextbookSeed(uint32_t* mt, uint32_t seed) {
  mt[0] = seed;
  for (uint32_t i = 1; i < 624; ++i) mt[i] = 1812433253U * (mt[i - 1] ^ (mt[i - 1] >> 30)) + i;
}

void TextbookTwist(uint32_t* mt) {
  for (int32_t k = 0; k < 624; ++k) {
    const uint32_t y = (mt[k] & 0x80000000U) | (mt[(k + 1) % 624] & 0x7fffffffU);
    mt[k] = mt[(k + 397) % 624] ^ (y >> 1) ^ (y % 2 == 1 ? 0x9908b0dfU : 0U);
  }
}

::testing::AssertionResult SameWords(const uint32_t* actual, const uint32_t* expected, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    if (actual[i] != expected[i]) {
      return ::testing::AssertionFailure() << "word " << i << " is " << actual[i] << ", expected " << expected[i];
    }
  }
  return ::testing::AssertionSuccess();
}

class MtBlock : public ::testing::TestWithParam<InstructionSet> {
 protected:
  void SetUp() override {
    if (GetParam() > BestInstructionSet()) {
      GTEST_SKIP() << "this processor has no AVX2; the AVX2 block code cannot run here";
    }
  }
};

// 10^7 outputs per seed, the all-zero and all-one seeds included: every
// regenerated state is the textbook twist's, every block of outputs the
// standard library generator's next 624, and the guard words after both
// arrays are neither read into a result nor overwritten.
TEST_P(MtBlock, StatesAndOutputsMatchTheTextbookGenerator) {
  constexpr uint32_t kGuard = 0xdeadbeefU;
  for (uint32_t seed : {0U, 1U, 5489U, 4294967295U, 2147483648U, 20240601U}) {
    std::mt19937 reference(seed);
    std::vector<uint32_t> mt(MT_STATE_WORDS + 8, kGuard);
    std::vector<uint32_t> out(MT_STATE_WORDS + 8, kGuard);
    uint32_t expected_state[MT_STATE_WORDS];
    uint32_t expected[MT_STATE_WORDS + 8];
    TextbookSeed(mt.data(), seed);
    std::copy(mt.begin(), mt.begin() + MT_STATE_WORDS, expected_state);
    std::fill(expected + MT_STATE_WORDS, expected + MT_STATE_WORDS + 8, kGuard);
    for (int32_t b = 0; b < 16026; ++b) {
      TextbookTwist(expected_state);
      for (int32_t i = 0; i < MT_STATE_WORDS; ++i) expected[i] = reference();
      MtRegenerateAndTemper(mt.data(), out.data(), GetParam());
      ASSERT_TRUE(SameWords(mt.data(), expected_state, MT_STATE_WORDS)) << "state, seed " << seed << " block " << b;
      ASSERT_TRUE(SameWords(out.data(), expected, MT_STATE_WORDS + 8)) << "outputs, seed " << seed << " block " << b;
    }
    ASSERT_TRUE(SameWords(mt.data() + MT_STATE_WORDS, expected + MT_STATE_WORDS, 8)) << "guard";
  }
}

// Counts around the vector and word widths, limits where a signed comparison
// would differ; bits past the count are clear, nothing past the last word
// is written.
TEST_P(MtBlock, BitmapMarksExactlyTheValuesAtOrBelowTheLimit) {
  const uint32_t limits[] = {0U, MUTATION_OUTPUT_LIMIT, 0x7fffffffU, 0x80000000U, 0xffffffffU};
  std::mt19937 rng(3);
  std::vector<uint32_t> values(1000);
  for (uint32_t& v : values) v = rng() % 2 == 0 ? rng() : limits[rng() % 5] + rng() % 3 - 1;
  for (uint32_t limit : limits) {
    for (int32_t count : {0, 1, 7, 8, 9, 63, 64, 65, 200, 624, 1000}) {
      const int32_t words = BitmapWords(count);
      std::vector<uint64_t> bits(words + 1, 0x5a5a5a5a5a5a5a5aULL);
      AtMostBitmap(values.data(), count, limit, bits.data(), GetParam());
      for (int32_t i = 0; i < 64 * words; ++i) {
        ASSERT_EQ((bits[i / 64] >> (i % 64)) & 1U, i < count && values[i] <= limit)
            << limit << " " << count << " " << i;
      }
      ASSERT_EQ(bits[words], 0x5a5a5a5a5a5a5a5aULL) << "limit " << limit << " count " << count;
    }
  }
}

// Bounds of "below": none for 0, all for 2^32, and the default's bound.
TEST_P(MtBlock, BelowBitmapTakesEveryBoundFromNoneToAll) {
  const uint64_t bounds[] = {0U, 1U, 4294968U, 0x80000000U, 0xffffffffU, uint64_t{1} << 32};
  std::mt19937 rng(4);
  std::vector<uint32_t> values(624);
  for (uint32_t& v : values) v = rng() % 2 == 0 ? rng() : static_cast<uint32_t>(bounds[rng() % 5] + rng() % 3 - 1);
  values[0] = 0U;
  values[1] = 0xffffffffU;
  for (const uint64_t bound : bounds) {
    for (int32_t count : {0, 1, 65, 624}) {
      std::vector<uint64_t> bits(BitmapWords(count) + 1, 0x5a5a5a5a5a5a5a5aULL);
      BelowBitmap(values.data(), count, bound, bits.data(), GetParam());
      for (int32_t i = 0; i < 64 * BitmapWords(count); ++i) {
        ASSERT_EQ((bits[i / 64] >> (i % 64)) & 1U, i < count && values[i] < bound) << bound << " " << count << " " << i;
      }
      ASSERT_EQ(bits[BitmapWords(count)], 0x5a5a5a5a5a5a5a5aULL) << "bound " << bound << " count " << count;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sets, MtBlock, ::testing::Values(InstructionSet::Baseline, InstructionSet::Avx2),
                         [](const auto& info) { return InstructionSetName(info.param); });

// UniformBelow(n)'s value for the output u.
int32_t DrawFrom(uint64_t u, int32_t n) { return static_cast<int32_t>((u * static_cast<uint64_t>(n)) >> 32); }

// A move mutates when 1 + UniformBelow(10^6) <= 1000: checked output by output
// over a range three times the limit, and at the boundary of other draws.
TEST(OutputLimit, IsTheLastOutputDrawingBelowTheValue) {
  EXPECT_EQ(MUTATION_OUTPUT_LIMIT, 4294967U);
  EXPECT_LE(1 + DrawFrom(4294967U, 1000000), 1000);
  EXPECT_GT(1 + DrawFrom(4294968U, 1000000), 1000);
  int64_t wrong = 0;
  for (uint64_t u = 0; u <= 3ULL * MUTATION_OUTPUT_LIMIT; ++u) {
    wrong += (1 + DrawFrom(u, 1000000) <= 1000) != (u <= MUTATION_OUTPUT_LIMIT);
  }
  EXPECT_EQ(wrong, 0);
  for (int32_t n : {1, 3, 7, 999999, 2147483647}) {
    for (int32_t v : {1, n / 3 + 1, n}) {
      const uint32_t limit = LargestOutputDrawingBelow(n, v);
      EXPECT_EQ(DrawFrom(limit, n), v - 1) << n << " " << v;
      EXPECT_EQ(DrawFrom(limit + 1ULL, n), v) << n << " " << v;  // 2^32 draws n
    }
  }
}

// The path lengths against the level-by-level search that every source runs
// (the measure as the model describes it), on networks written straight into
// the group records.
class PathLengths : public ModelTest {
 protected:
  void Clear(int32_t n) {
    sim.params.group_count = n;
    InitNeighbourLists(sim, SMALL_WORLD);
  }
  void Link(int32_t a, int32_t b, bool one_way = false) {
    sim.groups[a].neighbours[++sim.groups[a].degree] = b;
    if (!one_way) sim.groups[b].neighbours[++sim.groups[b].degree] = a;
  }
  // Each group after the first in a random order links to its predecessor
  // (a chain: the longest distances N groups can have) or to a random earlier
  // one (a tree, mostly leaves of degree 1), unless left out of the tree.
  void RandomTree(int32_t n, bool chain, int32_t left_out_percent, std::mt19937& rng) {
    std::vector<int32_t> order(n);
    std::iota(order.begin(), order.end(), 1);
    std::shuffle(order.begin(), order.end(), rng);
    for (int32_t i = 1; i < n; ++i) {
      if (static_cast<int32_t>(rng() % 100) >= left_out_percent) Link(order[i], order[chain ? i - 1 : rng() % i]);
    }
  }

  // Every entry 0..500 of hops and dist of every record 0..500 as the level
  // search leaves it, against ComputePathLengths over stale values.
  ::testing::AssertionResult MatchesLevelSearch() {
    const int32_t n = sim.params.group_count;
    constexpr int32_t kRow = MAX_GROUPS + 1;
    std::vector<int32_t> hops(kRow * kRow);
    std::vector<int32_t> dist(kRow * kRow);
    for (int32_t s = 0; s < kRow; ++s) {
      for (int32_t t = 0; t < kRow; ++t) hops[s * kRow + t] = dist[s * kRow + t] = t == s ? 0 : n;
    }
    for (int32_t j = 1; j <= n; ++j) {
      for (int32_t s = 1; s <= n; ++s) {
        int32_t* h = &hops[s * kRow];
        int32_t* d = &dist[s * kRow];
        for (int32_t t = 1; t <= n; ++t) {
          if (d[t] != j - 1) continue;
          for (int32_t slot = 1; slot <= sim.groups[t].degree; ++slot) {
            const int32_t u = sim.groups[t].neighbours[slot];
            if (h[u] >= j) h[u] = j;
          }
        }
        int32_t b = n;
        for (int32_t t = 1; t <= n; ++t) {
          if (h[t] >= j && h[t] < b) b = h[t];
        }
        for (int32_t t = 1; t <= n; ++t) {
          if (h[t] == b) d[t] = b;
        }
      }
    }
    for (GroupRecord& r : sim.groups) {
      std::fill(std::begin(r.hops), std::end(r.hops), -1);
      std::fill(std::begin(r.dist), std::end(r.dist), -1);
    }
    ComputePathLengths(sim);
    for (int32_t s = 0; s < kRow; ++s) {
      for (int32_t t = 0; t < kRow; ++t) {
        const GroupRecord& r = sim.groups[s];
        if (r.dist[t] != dist[s * kRow + t] || r.hops[t] != hops[s * kRow + t]) {
          return ::testing::AssertionFailure()
                 << "N " << n << " from " << s << " to " << t << ": dist " << r.dist[t] << " hops " << r.hops[t]
                 << ", level search " << dist[s * kRow + t] << " and " << hops[s * kRow + t];
        }
      }
    }
    return ::testing::AssertionSuccess();
  }
};

// Links are one-way in half the networks (followed only from the group that
// lists them); there, one entry per group is 0 or above N, not a group, whose
// hops entry the level search sets too.
TEST_F(PathLengths, MatchTheLevelSearchOnRandomNetworks) {
  std::mt19937 rng(99);
  for (int32_t n : {3, 4, 5, 9, 31, 100, 250, 500}) {
    // From no links through scattered pieces to one dense component; at 500
    // groups, where the level search takes a quarter of a second, one sparse
    // network.
    for (int32_t links : {0, n / 3, n, 3 * n, n * (n - 1) / 4}) {
      if (n == MAX_GROUPS && links != 3 * n) continue;
      for (bool one_way : {false, true}) {
        Clear(n);
        for (int32_t i = 0; i < links; ++i) Link(1 + rng() % n, 1 + rng() % n, one_way);
        for (int32_t g = 1; one_way && g <= n; ++g)
          Link(g, rng() % 2 == 0 || n == MAX_GROUPS ? 0 : n + 1 + rng() % (MAX_GROUPS - n), true);
        ASSERT_TRUE(MatchesLevelSearch()) << links << " links, one way " << one_way;
      }
    }
    for (auto [chain, left_out] : {std::pair{true, 0}, {false, 0}, {false, 20}}) {
      Clear(n);
      RandomTree(n, chain, left_out, rng);
      ASSERT_TRUE(MatchesLevelSearch()) << (chain ? "chain" : "tree") << ", " << left_out << "% left out";
    }
  }
}

}  // namespace
}  // namespace veldaris::test
