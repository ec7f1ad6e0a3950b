// Strategy play and the evolution step inside a group.
#include <array>
#include <random>
#include <set>

#include "model_test_support.h"

namespace veldaris::test {
namespace {

using ModelGame = ModelTest;

// A strategy's number, written into moves 91..96 (past every L of these
// tests), to tell which slot a copy came from.
void SetTag(StrategySlots& slots, int32_t s) {
  for (int32_t b = 0; b < 6; ++b) SetMoveAt(slots, s, 91 + b, (s >> b) & 1);
}
int32_t Tag(const StrategyCopy& copy) {
  int32_t tag = 0;
  for (int32_t b = 0; b < 6; ++b) tag |= MoveAt(copy, 91 + b) << b;
  return tag;
}

TEST_F(ModelGame, PlayScoresOwnSideAndCountsMutualMoves) {
  sim.params.strategy_count = 2;
  sim.params.strategy_length = 4;
  MakeNetwork(3, {{1, 2}});
  SetMoves(1, 1, "1010");
  SetMoves(2, 1, "1100");
  SetMoves(1, 2, "1111");
  SetMoves(3, 1, "1111");
  sim.groups[3].strategies.score[1] = 7;
  sim.counters.CC[3] = 0.25;
  PlayGeneration(sim);
  const auto score = [this](int32_t g, int32_t s) { return sim.groups[g].strategies.score[s]; };
  // 3 + 5 + 0 + 1 each way; all cooperate against all defect; no links: kept.
  EXPECT_EQ(std::vector<int32_t>({score(1, 1), score(2, 1), score(1, 2), score(2, 2), score(3, 1)}),
            std::vector<int32_t>({9, 9, 0, 20, 7}));
  for (int32_t g : {1, 2}) EXPECT_TRUE(sim.counters.CC[g] == 0.5 && sim.counters.DD[g] == 0.5) << g;
  EXPECT_EQ(sim.counters.CC[3], 0.25);
}

// Ranks (worked by hand), then a first draw among the best and, unless all
// tie, a second one among the second best that decides.
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
               {{4, 4, 4, 4}, {1, 1, 1, 1}, OutputFor(2, 4), 0xcafeU, 3, 1},
               // Scores of other payoffs: below 0, from 10000 up, the int32 extremes.
               {{-5, 10000, -5, 123456, 0, -100000000, 100000000, 10000}, {6, 3, 6, 2, 5, 8, 1, 3}, 0U, 0U, 4, 2},
               {{-3, -3, -1, -7}, {2, 2, 1, 4}, 0U, OutputFor(1, 2), 2, 2},
               {{-2147483647 - 1, 2147483647, 9999, 10000, 10000, -1}, {6, 1, 4, 2, 2, 5}, 0U, OutputFor(1, 2), 5, 2},
               {{-9, -9, -9}, {1, 1, 1}, OutputFor(1, 3), 0xcafeU, 2, 1}};
  for (const auto& c : cases) {
    const int32_t count = sim.params.strategy_count = static_cast<int32_t>(c.scores.size());
    GroupRecord& r = sim.groups[1];
    for (int32_t s = 1; s <= count; ++s) r.strategies.score[s] = c.scores[s - 1];
    for (int32_t s = 1; s <= count; ++s) SetTag(r.strategies, s);
    RankStrategies(sim, 1);
    EXPECT_EQ(std::vector<int32_t>(r.rank + 1, r.rank + 1 + count), c.ranks);
    const std::vector<uint32_t> outputs = {c.first, c.second, marker};
    ScriptOutputs(sim, outputs);
    ChooseRepresentative(sim, 1);
    EXPECT_EQ(Tag(r.representative), c.chosen);
    EXPECT_EQ(r.representative.score, c.scores[c.chosen - 1]);
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
    for (int32_t j = 1; j <= c.length; ++j) SetMoveAt(sim.groups[1].strategies, 0, j, 1);
    std::vector<uint32_t> outputs;
    for (int32_t cut : c.cuts) outputs.push_back(OutputFor(cut - 2, c.length - 2));
    outputs.push_back(c.coin);
    for (char m : c.expected) {
      if (m != '0') outputs.push_back(m == 'x' ? flip : keep);
    }
    outputs.push_back(marker);
    ScriptOutputs(sim, outputs);
    CrossoverWithTemplate(sim, 1, 2);
    const std::string moves = Moves(1, 2, c.length);
    std::string expected = c.expected;
    std::replace(expected.begin(), expected.end(), 'x', '0');
    EXPECT_EQ(moves, expected);
    EXPECT_EQ(std::vector<int32_t>(sim.crossover_points, sim.crossover_points + 6), c.points);
    EXPECT_EQ(NextRandom(sim), marker) << "one mutation test per copied move";
  }
}

// Every test below runs on every instruction set up to this processor's best.
class ModelKernels : public ModelTest, public ::testing::WithParamInterface<InstructionSet> {
 public:
  void SetUp() override {
    ModelTest::SetUp();
    if (GetParam() > BestInstructionSet()) {
      GTEST_SKIP() << "this processor lacks " << InstructionSetName(GetParam());
    }
    sim.instruction_set = GetParam();
  }
};
INSTANTIATE_TEST_SUITE_P(Sets, ModelKernels,
                         ::testing::Values(InstructionSet::Baseline, InstructionSet::Popcnt, InstructionSet::Avx2),
                         [](const auto& info) { return InstructionSetName(info.param); });

// Whole generations of play agree with move-by-move games of PlayNeighbour,
// also for strategies that span more than one 64-move word, and bits past L
// (which no code of the model sets) take no part.
TEST_P(ModelKernels, PlayMatchesMoveByMoveGames) {
  std::mt19937_64 rng(11);
  for (const int32_t length : {4, 63, 64, 65, 100}) {
    SCOPED_TRACE(length);
    SetParams(SCALE_FREE, 30, 5, 1000, 6, length);
    Build(static_cast<uint32_t>(length), false);
    InitStrategies(sim, StrategyFill::Random);
    for (int32_t g = 1; g <= 30; ++g) {
      for (int32_t s = 0; s <= MAX_STRATEGIES; ++s) {
        for (int32_t j = length + 1; j <= 64 * MOVE_WORDS; ++j) {
          if (rng() % 2 != 0) sim.groups[g].strategies.moves[(j - 1) / 64][s] |= uint64_t{1} << ((j - 1) % 64);
        }
      }
    }
    PlayGeneration(sim);
    const std::vector<GroupRecord> played(sim.groups, sim.groups + 31);
    const OutcomeCounters counters = sim.counters;
    for (int32_t g = 1; g <= 30; ++g) {
      GroupRecord& r = sim.groups[g];
      for (int32_t s = 1; s <= 5; ++s) r.strategies.score[s] = 0;
      sim.counters.CC[g] = sim.counters.DD[g] = 0.0;
      for (int32_t j = 1; j <= r.degree; ++j) PlayNeighbour(sim, g, r.neighbours[j]);
      for (int32_t s = 1; s <= 5; ++s) {
        EXPECT_EQ(RoundHalfUp(static_cast<double>(r.strategies.score[s]) / r.degree), played[g].strategies.score[s]);
      }
      EXPECT_EQ(sim.counters.CC[g] / r.degree / 5, counters.CC[g]);
      EXPECT_EQ(sim.counters.DD[g] / r.degree / 5, counters.DD[g]);
    }
  }
}

// A score as the model describes it: every game move by move under the
// payoffs, summed over the neighbours, then divided by the degree and rounded
// half up (the remainder brought into 0..degree - 1 first).
int32_t MoveByMoveScore(const Simulation& sim, int32_t g, int32_t s) {
  const Payoffs& pay = sim.params.payoffs;
  const int64_t table[2][2] = {{pay.punishment, pay.temptation}, {pay.sucker, pay.reward}};
  const GroupRecord& r = sim.groups[g];
  int64_t total = 0;
  for (int32_t j = 1; j <= r.degree; ++j) {
    for (int32_t m = 1; m <= sim.params.strategy_length; ++m) {
      total += table[MoveAt(r.strategies, s, m)][MoveAt(sim.groups[r.neighbours[j]].strategies, s, m)];
    }
  }
  int64_t quotient = total / r.degree;
  int64_t remainder = total % r.degree;
  if (remainder < 0) {
    quotient -= 1;
    remainder += r.degree;
  }
  return static_cast<int32_t>(2 * remainder >= r.degree ? quotient + 1 : quotient);
}

// Play under other payoffs (decimals as integer units, negative ones, the
// extremes +-10^6) against move-by-move games, on networks up to a group of
// 499 neighbours with strategies of 100 moves, where only 64-bit sums hold the
// totals. The counters do not depend on the payoffs.
TEST_P(ModelKernels, PlayUnderAnyPayoffsMatchesMoveByMoveGames) {
  std::mt19937 rng(23);
  const Payoffs chosen[] = {{19, 10, 0, 0},
                            {1234, -567, 89, -1000},
                            {-3, -1, -7, -12},
                            {1000000, 1000000, 1000000, 1000000},
                            {-1000000, -1000000, -1000000, -1000000},
                            {1000000, -1000000, 1000000, -1000000},
                            {6, 3, 1, 0},
                            {5, 4, 1, 0},
                            {5, 3, 2, 0},
                            {5, 3, 1, 1}};
  for (const int32_t length : {4, 63, 64, 65, 100}) {
    SCOPED_TRACE(length);
    // Group 1 linked to all others, about 2000 links more among groups
    // 2..500, every strategy random.
    SetParams(SMALL_WORLD, 500, 32, 1000, 8, length);
    std::vector<std::array<int32_t, 2>> links;
    std::set<std::pair<int32_t, int32_t>> seen;
    for (int32_t g = 2; g <= 500; ++g) links.push_back({1, g});
    while (links.size() < 2500) {
      const auto a = static_cast<int32_t>(2 + rng() % 499);
      const auto b = static_cast<int32_t>(2 + rng() % 499);
      if (a != b && seen.insert({std::min(a, b), std::max(a, b)}).second) links.push_back({a, b});
    }
    BuildAndMeasureNetworkFromLinks(sim, reinterpret_cast<const int32_t(*)[2]>(links.data()),
                                    static_cast<int32_t>(links.size()));
    ASSERT_EQ(sim.groups[1].degree, 499);
    InitStrategies(sim, StrategyFill::Random);
    sim.params.payoffs = DEFAULT_PAYOFFS;
    PlayGeneration(sim);
    const OutcomeCounters counters = sim.counters;
    for (int32_t round = 0; round < 12; ++round) {
      Payoffs pay{};
      if (round < static_cast<int32_t>(std::size(chosen))) {
        pay = chosen[round];
      } else {
        const auto random_payoff = [&rng] { return static_cast<int32_t>(rng() % 2000001) - 1000000; };
        pay = {random_payoff(), random_payoff(), random_payoff(), random_payoff()};
      }
      SCOPED_TRACE(::testing::Message() << pay.temptation << " " << pay.reward << " " << pay.punishment << " "
                                        << pay.sucker);
      sim.params.payoffs = pay;
      for (int32_t g = 1; g <= 500; ++g) {
        std::fill(std::begin(sim.groups[g].strategies.score), std::end(sim.groups[g].strategies.score), 0);
        sim.counters.CC[g] = sim.counters.DD[g] = 0.0;
      }
      PlayGeneration(sim);
      for (int32_t g = 1; g <= 500; g += g < 10 ? 1 : 37) {
        for (int32_t s = 1; s <= 32; ++s) {
          ASSERT_EQ(sim.groups[g].strategies.score[s], MoveByMoveScore(sim, g, s))
              << "group " << g << " strategy " << s;
        }
        ASSERT_EQ(sim.counters.CC[g], counters.CC[g]);
        ASSERT_EQ(sim.counters.DD[g], counters.DD[g]);
      }
    }
  }
  // The extremes: 100 moves against 499 neighbours, every game worth
  // +-10^8, sum to +-4.99 x 10^10; the averages are +-10^8 exactly.
  sim.params.payoffs = {1000000, 1000000, 1000000, 1000000};
  std::fill(std::begin(sim.groups[1].strategies.score), std::end(sim.groups[1].strategies.score), 0);
  PlayGeneration(sim);
  EXPECT_EQ(sim.groups[1].strategies.score[1], 100000000);
}

// Averages of negative sums round half up, and never toward zero: T 4,
// R -8, P -5, S 3 and one move. Group 1 has three neighbours: C against C, C,
// D sums -13 (-4.33: -4), D against C, D, D -6 (-2), C against C, D, D -2
// (-0.67: -1), D against D, D, D -15 (-5). Group 6 has two: C against C, D
// sums -5 (-2.5: -2), D against C, D -1 (-0.5: 0), D against C, C 8 (4),
// C against D, D 6 (3). Group 5 has none and plays nothing.
TEST_P(ModelKernels, NegativeAveragesRoundHalfUp) {
  sim.params.strategy_count = 4;
  sim.params.strategy_length = 1;
  sim.params.payoffs = {4, -8, -5, 3};
  MakeNetwork(8, {{1, 2}, {1, 3}, {1, 4}, {6, 7}, {6, 8}});
  const std::pair<int32_t, const char*> moves[] = {{1, "1010"}, {2, "1110"}, {3, "1000"}, {4, "0000"},
                                                   {6, "1001"}, {7, "1110"}, {8, "0010"}};
  for (auto [g, by_strategy] : moves) {
    for (int32_t s = 1; s <= 4; ++s) SetMoveAt(sim.groups[g].strategies, s, 1, by_strategy[s - 1] - '0');
  }
  sim.groups[5].strategies.score[1] = 7;
  PlayGeneration(sim);
  const auto scores = [this](int32_t g) {
    return std::vector<int32_t>(sim.groups[g].strategies.score + 1, sim.groups[g].strategies.score + 5);
  };
  EXPECT_EQ(scores(1), std::vector<int32_t>({-4, -2, -1, -5}));
  EXPECT_EQ(scores(6), std::vector<int32_t>({-2, 0, 4, 3}));
  EXPECT_EQ(scores(5), std::vector<int32_t>({7, 0, 0, 0}));
}

// The crossover as the model describes it, move by move: the cut points
// drawn into the shared points and sorted, the coin, then the walk over the
// segments, every copied move followed by its mutation test.
void WalkCrossover(Simulation& sim, int32_t group, int32_t strategy) {
  const int32_t length = sim.params.strategy_length;
  int32_t* points = sim.crossover_points;
  for (int32_t i = 1; i <= 2; ++i) {
    for (;;) {
      const int32_t c = 2 + UniformBelow(sim, length - 2);
      if (ListContains(points, c, i - 1) == 0) {
        points[i] = c;
        break;
      }
    }
  }
  std::sort(points, points + 6);
  const int32_t bit = UniformBelow(sim, 2);
  StrategySlots& slots = sim.groups[group].strategies;
  int32_t p = bit == 0 ? 1 : 2;
  int32_t j = 0;
  do {
    for (j = points[p - 1]; j <= points[p]; ++j) {
      const int32_t flip = 1 + UniformBelow(sim, 1000000) <= 1000 ? 1 : 0;
      SetMoveAt(slots, strategy, j, MoveAt(slots, 0, j) ^ flip);
    }
    p += 2;
  } while (j < length);
}

// The crossover on masks against the walk, for lengths on both sides of the
// word boundaries, on a stream where a third of the outputs mutate and every
// crossover starts at a different place in the generator's block, many of
// them reaching into the next one.
TEST_P(ModelKernels, CrossoverMatchesTheMoveByMoveWalk) {
  SimulationPtr owned = NewSimulation();
  ASSERT_TRUE(owned);
  Simulation& walked = *owned;
  std::mt19937 rng(7);
  for (const int32_t length : {4, 5, 6, 10, 30, 62, 63, 64, 65, 66, 99, 100}) {
    SCOPED_TRACE(length);
    for (Simulation* both : {&sim, &walked}) {
      both->params.strategy_length = length;
      ResetRun(*both, static_cast<uint32_t>(length));
    }
    for (int32_t round = 0; round < 40; ++round) {
      std::vector<uint32_t> outputs(624);
      for (uint32_t& u : outputs) u = rng() % 3 == 0 ? rng() % (MUTATION_OUTPUT_LIMIT + 1) : rng();
      for (int32_t s = 0; s <= MAX_STRATEGIES; ++s) {
        for (int32_t j = 1; j <= length; ++j) {
          const int32_t move = static_cast<int32_t>(rng() % 2);
          SetMoveAt(sim.groups[1].strategies, s, j, move);
          SetMoveAt(walked.groups[1].strategies, s, j, move);
        }
      }
      ScriptOutputs(sim, outputs);
      ScriptOutputs(walked, outputs);
      for (int32_t s = 1; s <= MAX_STRATEGIES; ++s) {
        CrossoverWithTemplate(sim, 1, s);
        WalkCrossover(walked, 1, s);
        ASSERT_EQ(Moves(1, s, MAX_MOVES), MovesText(walked.groups[1].strategies, s, MAX_MOVES))
            << "round " << round << " strategy " << s;
        ASSERT_EQ(std::vector<int32_t>(sim.crossover_points, sim.crossover_points + 6),
                  std::vector<int32_t>(walked.crossover_points, walked.crossover_points + 6));
        ASSERT_EQ(RandomOutputsDrawn(sim), RandomOutputsDrawn(walked));
      }
      ASSERT_EQ(NextRandom(sim), NextRandom(walked));
    }
  }
}

// Scores averaged in integers equal RoundHalfUp of the double quotient for
// every score that play can leave (0..5 L per neighbour, L up to 100) and
// every neighbour count; outside that range the double quotient decides.
TEST(RoundedAverage, EqualsRoundingTheDoubleQuotient) {
  for (int32_t count = 1; count <= MAX_GROUPS; ++count) {
    int32_t first_wrong = -1;
    for (int32_t total = 0; total <= 5 * MAX_MOVES * count && first_wrong < 0; ++total) {
      if (RoundedAverage(total, count) != RoundHalfUp(static_cast<double>(total) / count)) first_wrong = total;
    }
    ASSERT_EQ(first_wrong, -1) << "count " << count;
  }
  for (auto [total, count] : {std::pair{-7, 2}, {-1, 3}, {2147483647, 499}, {2147483647, 1}, {9, 501}}) {
    EXPECT_EQ(RoundedAverage(total, count), RoundHalfUp(static_cast<double>(total) / count)) << total << " / " << count;
  }
}

// Sums of any payoffs: for every neighbour count, around zero, around the
// largest sums of play (+-10^8 per neighbour) and at the ends of the range,
// the quotient rounded half up that the remainder gives.
TEST(RoundedSumAverage, RoundsEverySumHalfUp) {
  const auto reference = [](int64_t total, int32_t count) {
    int64_t quotient = total / count;
    int64_t remainder = total % count;
    if (remainder < 0) {
      quotient -= 1;
      remainder += count;
    }
    return 2 * remainder >= count ? quotient + 1 : quotient;
  };
  std::mt19937_64 rng(5);
  for (int32_t count = 1; count <= MAX_GROUPS; ++count) {
    // Sums below 2^42 whose quotient fits 32 bits.
    const int64_t end = std::min((int64_t{1} << 42) - 1, int64_t{count} * 2000000000);
    std::vector<int64_t> totals;
    for (const int64_t centre : {int64_t{0}, int64_t{count} * 100000000, int64_t{count} * -100000000}) {
      for (int64_t d = -3 * count; d <= 3 * count; ++d) totals.push_back(centre + d);
    }
    for (int64_t d = 0; d < 2 * count; ++d) totals.insert(totals.end(), {end - d, -end + d});
    for (int32_t i = 0; i < 200; ++i) totals.push_back(static_cast<int64_t>(rng() % (2 * end + 1)) - end);
    for (const int64_t total : totals) {
      ASSERT_EQ(RoundedSumAverage(total, count), reference(total, count)) << total << " / " << count;
    }
  }
}

}  // namespace
}  // namespace veldaris::test
