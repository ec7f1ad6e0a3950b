// Strategy play and the evolution step inside a group.
#include "model_test_support.h"

namespace veldaris::test {
namespace {

using ModelGame = ModelTest;

TEST_F(ModelGame, PlayScoresOwnSideAndCountsMutualMoves) {
  sim.params.strategy_count = 2;
  sim.params.strategy_length = 4;
  MakeNetwork(3, {{1, 2}});
  SetMoves(1, 1, "1010");
  SetMoves(2, 1, "1100");
  SetMoves(1, 2, "1111");
  SetMoves(3, 1, "1111");
  sim.groups[3].strategies[1][0] = 7;
  sim.counters.CC[3] = 0.25;
  PlayGeneration(sim);
  const auto score = [this](int32_t g, int32_t s) { return sim.groups[g].strategies[s][0]; };
  // 3 + 5 + 0 + 1 each way; all cooperate against all defect; no links: kept.
  EXPECT_EQ(std::vector<int32_t>({score(1, 1), score(2, 1), score(1, 2), score(2, 2), score(3, 1)}),
            std::vector<int32_t>({9, 9, 0, 20, 7}));
  for (int32_t g : {1, 2}) EXPECT_TRUE(sim.counters.CC[g] == 0.5 && sim.counters.DD[g] == 0.5) << g;
  EXPECT_EQ(sim.counters.CC[3], 0.25);
}

// Ranks, then a first draw among the best and, unless all tie, a second one
// among the second best that decides.
TEST_F(ModelGame, RankingAndRepresentative) {
  const uint32_t marker = 0x12345678U;
  const struct {
    std::vector<int32_t> scores, ranks;
    uint32_t first, second;
    int32_t chosen, draws;
  } cases[] = {{{30, 27, 30, 12, 27, 5, 12, 30}, {1, 4, 1, 6, 4, 8, 6, 1}, OutputFor(2, 3), OutputFor(1, 2), 5, 2},
               {{30, 27, 30, 12, 27, 5, 12, 30}, {1, 4, 1, 6, 4, 8, 6, 1}, OutputFor(0, 3), OutputFor(0, 2), 2, 2},
               {{6, 0, 0, 0}, {1, 2, 2, 2}, 0U, OutputFor(1, 3), 3, 2},
               {{9, 7, 7, 7}, {1, 2, 2, 2}, 0U, OutputFor(2, 3), 4, 2},
               {{0, 0, 150, 149}, {3, 3, 1, 2}, 0U, 0U, 4, 2},
               {{4, 4, 4, 4}, {1, 1, 1, 1}, OutputFor(2, 4), 0xcafeU, 3, 1}};
  for (const auto& c : cases) {
    const int32_t count = sim.params.strategy_count = static_cast<int32_t>(c.scores.size());
    GroupRecord& r = sim.groups[1];
    for (int32_t s = 1; s <= count; ++s) r.strategies[s][0] = c.scores[s - 1];
    for (int32_t s = 1; s <= count; ++s) r.strategies[s][100] = s;
    RankStrategies(sim, 1);
    EXPECT_EQ(std::vector<int32_t>(r.rank + 1, r.rank + 1 + count), c.ranks);
    const std::vector<uint32_t> outputs = {c.first, c.second, marker};
    ScriptOutputs(sim, outputs);
    ChooseRepresentative(sim, 1);
    EXPECT_EQ(r.representative[100], c.chosen);
    EXPECT_EQ(r.representative[0], c.scores[c.chosen - 1]);
    EXPECT_EQ(NextRandom(sim), outputs[c.draws]) << "outputs taken";
  }
}

// Template all cooperate, strategy all defect: copied moves show as 1 unless
// their mutation test flips them back.
TEST_F(ModelGame, CrossoverCopiesSegmentsAndMutatesCopiedMoves) {
  const uint32_t keep = OutputFor(1000, 1000000);  // 1 + 1000 > 1000: no flip
  const uint32_t flip = OutputFor(999, 1000000);   // 1 + 999 = 1000: flip
  const uint32_t marker = 0x12345678U;
  const struct {
    int32_t length;
    std::vector<int32_t> cuts;
    uint32_t coin;
    std::string expected;  // moves 1..L after the call; x = copied, then flipped
    std::vector<int32_t> points;
  } cases[] = {{10, {7, 3}, 0U, "111000x111", {1, 3, 7, 10, 10, 10}},
               {10, {7, 7, 3}, 0x80000000U, "00x1111001", {1, 3, 7, 10, 10, 10}},
               {10, {3, 9}, 0x80000000U, "00111111x0", {1, 3, 9, 10, 10, 10}},
               {30, {2, 29}, 0U, "11" + std::string(26, '0') + "1x", {1, 2, 29, 30, 30, 30}}};
  for (const auto& c : cases) {
    sim.params.strategy_length = c.length;
    ResetRun(sim, 1);
    std::fill_n(&sim.groups[1].strategies[0][1], c.length, 1);
    std::vector<uint32_t> outputs;
    for (int32_t cut : c.cuts) outputs.push_back(OutputFor(cut - 2, c.length - 2));
    outputs.push_back(c.coin);
    for (char m : c.expected) {
      if (m != '0') outputs.push_back(m == 'x' ? flip : keep);
    }
    outputs.push_back(marker);
    ScriptOutputs(sim, outputs);
    CrossoverWithTemplate(sim, 1, 2);
    std::string moves;
    for (int32_t j = 1; j <= c.length; ++j) moves += static_cast<char>('0' + sim.groups[1].strategies[2][j]);
    std::string expected = c.expected;
    std::replace(expected.begin(), expected.end(), 'x', '0');
    EXPECT_EQ(moves, expected);
    EXPECT_EQ(std::vector<int32_t>(sim.crossover_points, sim.crossover_points + 6), c.points);
    EXPECT_EQ(NextRandom(sim), marker) << "one mutation test per copied move";
  }
}

// Whole generations of play agree with move-by-move games of PlayNeighbour,
// also for strategies that span more than one 64-move word.
using ModelPlay = ModelTest;
TEST_F(ModelPlay, GenerationMatchesMoveByMoveGames) {
  for (const int32_t length : {4, 63, 64, 65, 100}) {
    SCOPED_TRACE(length);
    SetParams(SCALE_FREE, 30, 5, 1000, 6, length);
    Build(static_cast<uint32_t>(length), false);
    InitStrategies(sim, StrategyFill::Random);
    PlayGeneration(sim);
    const std::vector<GroupRecord> played(sim.groups, sim.groups + 31);
    const OutcomeCounters counters = sim.counters;
    for (int32_t g = 1; g <= 30; ++g) {
      GroupRecord& r = sim.groups[g];
      for (int32_t s = 1; s <= 5; ++s) r.strategies[s][0] = 0;
      sim.counters.CC[g] = sim.counters.DD[g] = 0.0;
      for (int32_t j = 1; j <= r.degree; ++j) PlayNeighbour(sim, g, r.neighbours[j]);
      for (int32_t s = 1; s <= 5; ++s) {
        EXPECT_EQ(RoundHalfUp(static_cast<double>(r.strategies[s][0]) / r.degree), played[g].strategies[s][0]);
      }
      EXPECT_EQ(sim.counters.CC[g] / r.degree / 5, counters.CC[g]);
      EXPECT_EQ(sim.counters.DD[g] / r.degree / 5, counters.DD[g]);
    }
  }
}

}  // namespace
}  // namespace veldaris::test
