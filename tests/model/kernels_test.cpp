// The block generator, the output bitmap and word popcount, every variant
// against an independent reference; the AVX2 and POPCNT variants are skipped,
// and reported so, where the processor lacks them.
#include <random>

#include "model/mt_block.h"
#include "model/popcount_words.h"
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

class MtBlock : public ::testing::TestWithParam<SimdPath> {
 protected:
  void SetUp() override {
    if (GetParam() == SimdPath::Avx2 && BestSimdPath() != SimdPath::Avx2) {
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

INSTANTIATE_TEST_SUITE_P(Paths, MtBlock, ::testing::Values(SimdPath::Scalar, SimdPath::Avx2),
                         [](const auto& info) { return info.param == SimdPath::Avx2 ? "Avx2" : "Scalar"; });

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

class Popcount : public ::testing::TestWithParam<PopcountPath> {
 protected:
  void SetUp() override {
    if (GetParam() == PopcountPath::Hardware && BestPopcountPath() != PopcountPath::Hardware) {
      GTEST_SKIP() << "this processor has no POPCNT instruction";
    }
  }
};

TEST_P(Popcount, CountsEveryBitOfEveryWord) {
  std::mt19937_64 rng(5);
  std::vector<uint64_t> words = {0, ~0ULL, 1, 1ULL << 63};
  while (words.size() < 300) words.push_back(rng() & rng());
  int32_t expected = 0;
  for (size_t count = 0; count <= words.size(); ++count) {
    ASSERT_EQ(PopcountWords(words.data(), static_cast<int32_t>(count), GetParam()), expected) << count;
    for (int32_t bit = 0; count < words.size() && bit < 64; ++bit) expected += (words[count] >> bit) & 1U;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, Popcount, ::testing::Values(PopcountPath::Portable, PopcountPath::Hardware),
                         [](const auto& info) {
                           return info.param == PopcountPath::Hardware ? "Hardware" : "Portable";
                         });

}  // namespace
}  // namespace veldaris::test
