// Generation statistics, the run cycle, the result files, and complete runs
// compared with reference outputs.
#include <array>
#include <clocale>
#include <cstdlib>
#include <random>
#include <sstream>

#include "model_test_support.h"

namespace veldaris::test {
namespace {

using ModelRun = ModelTest;

double SeriesMagnitude(const Simulation& sim, int32_t from = 0, int32_t to = MAX_GENERATIONS) {
  double sum = 0.0;
  const GenerationSeries& s = sim.series;
  for (const double* series : {s.D_Typ, s.C_Typ, s.D_Min, s.C_Min, s.D_Max, s.C_Max, s.D_Avg, s.C_Avg}) {
    for (int32_t g = from; g <= to; ++g) sum += std::abs(series[g]);
  }
  return sum;
}

void SmallLattice(ModelTest& test, int32_t generations) {
  test.SetParams(SMALL_WORLD, 50, 4, generations, 4, 10, 0);
  test.Build(42);
}

std::string Format(const char* format, auto... values) {
  char text[128];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// Degrees 2 (groups 1-2), 3 (3-14), 4 (15-18), 9 (19-30): 3 and 9 tie as the
// most frequent; DD of a group is its degree, CC its number.
TEST_F(ModelRun, DegreeClassesAndClassAverages) {
  sim.params.group_count = 30;
  for (int32_t i = 1; i <= 30; ++i) {
    sim.groups[i].degree = i <= 2 ? 2 : i <= 14 ? 3 : i <= 18 ? 4 : 9;
    sim.counters.DD[i] = sim.groups[i].degree;
    sim.counters.CC[i] = i;
  }
  CountDegreeHistogram(sim);
  const DegreeClasses c = ScanDegreeClasses(sim);
  EXPECT_EQ(Format("%d %d %d", c.typical, c.minimum, c.maximum), "3 2 9");
  RecordGeneration(sim, 5, files);
  const GenerationSeries& s = sim.series;
  EXPECT_EQ(Format("%g %g %g %g %g %g", s.D_Typ[5], s.C_Typ[5], s.D_Min[5], s.C_Min[5], s.D_Max[5], s.C_Max[5]),
            "6 16.5 2 1.5 9 24.5");
  EXPECT_DOUBLE_EQ(s.D_Avg[5], 164.0 / 30);
  EXPECT_DOUBLE_EQ(s.C_Avg[5], 15.5);
}

// Batches of ten, the guards of RunBatch, and what ResetRun and StartRun
// clear; the reference outputs cover the generations themselves.
TEST_F(ModelRun, RunCycleBatchesResetsAndRestarts) {
  SmallLattice(*this, 1000);
  RunBatch(sim, files);  // before any run: nothing happens
  EXPECT_EQ(sim.generation + SeriesMagnitude(sim), 0.0);
  int32_t batches = 0;
  RunToCompletion(
      sim, 1, files, [](const Simulation&, void* count) { ++*static_cast<int32_t*>(count); }, &batches);
  EXPECT_EQ(Format("%d %d %d", batches, sim.generation, sim.run_finished), "100 1001 1");
  EXPECT_EQ(SeriesMagnitude(sim, 0, 0) + SeriesMagnitude(sim, 1001), 0.0);

  std::vector<char> before(sizeof sim);
  std::memcpy(before.data(), &sim, sizeof sim);
  RunBatch(sim, files);
  EXPECT_EQ(std::memcmp(before.data(), &sim, sizeof sim), 0) << "a finished run stays as it is";

  ResetRun(sim, 1);
  EXPECT_EQ(SeriesMagnitude(sim), 0.0);
  EXPECT_EQ(sim.run_finished * 10000 + sim.generation, 11001);
  sim.counters.DD[500] = 1.0;
  StartRun(sim, 1);
  EXPECT_EQ(sim.run_finished * 10000 + sim.generation, 1);
  EXPECT_EQ(sim.counters.DD[500], 0.0);
  EXPECT_EQ(std::vector<int32_t>(sim.crossover_points, sim.crossover_points + 6),
            (std::vector<int32_t>{1, 10, 10, 10, 10, 10}));
}

// Run lengths other than the reference ones: no more Initial rows than
// generations, and an old longer file replaced completely.
TEST_F(ModelRun, ResultFileRowsForOtherRunLengths) {
  std::ofstream(dir_ / INITIAL_RESULT_FILE) << std::string(100000, 'x');
  for (int32_t generations : {3000, 30}) {
    SmallLattice(*this, generations);
    RunToCompletion(sim, 1, files);
    for (bool all : {false, true}) {
      std::string expected, rows, line;
      for (int32_t r = 1; r <= (all ? generations : std::min(generations, 100)); ++r) {
        if (!all || r == 1 || r % 20 == 0) expected += std::to_string(r) + ' ';
      }
      std::istringstream text(Result(all ? ALL_RESULT_FILE : INITIAL_RESULT_FILE));
      std::getline(text, line);  // the header
      while (std::getline(text, line)) rows += line.substr(0, line.find(',')) + ' ';
      EXPECT_EQ(rows, expected) << "all " << all << " G " << generations;
    }
  }
}

// The run completes whatever happens to its files; a failed file leaves the
// other one, an earlier file of its own and no temporary file behind.
TEST_F(ModelRun, UnwritableFilesDoNotStopTheRun) {
  SmallLattice(*this, 1000);
  UseDirectory(dir_ / "missing");
  RunToCompletion(sim, 1, files);
  EXPECT_EQ(sim.run_finished * 10000 + sim.generation, 11001);
  EXPECT_TRUE(files.error[0] != 0 && files.error[1] != 0);

  std::filesystem::create_directories(dir_ / INITIAL_RESULT_FILE / "in_the_way");
  UseDirectory(dir_);
  RunToCompletion(sim, 1, files);
  EXPECT_TRUE(files.error[0] != 0 && files.error[1] == 0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2);
  const std::string before = Result(ALL_RESULT_FILE);
  EXPECT_EQ(std::count(before.begin(), before.end(), '\n'), 52);

  auto chattr = [this](const char* flag) {
    std::string command = "chattr ";
    command.append(flag).append(" '").append(dir_.string()).append("' 2>/dev/null");
    return std::system(command.c_str());
  };
  if (chattr("+i") != 0) GTEST_SKIP() << "cannot make a directory immutable here";
  RunToCompletion(sim, 2, files);
  ASSERT_EQ(chattr("-i"), 0);
  EXPECT_NE(files.error[1], 0);
  EXPECT_EQ(Result(ALL_RESULT_FILE), before);
}

// The Set Parameters, Build Network and Execute Simulation commands with the
// clock replaced by seed A (parameters and build) and seed B (run), for every
// reference case, on every instruction set up to this processor's best.
class ModelGolden : public ModelTest, public ::testing::WithParamInterface<InstructionSet> {};
INSTANTIATE_TEST_SUITE_P(Sets, ModelGolden,
                         ::testing::Values(InstructionSet::Baseline, InstructionSet::Popcnt, InstructionSet::Avx2),
                         [](const auto& info) { return InstructionSetName(info.param); });

TEST_P(ModelGolden, CompleteRunsMatchReferenceOutputs) {
  if (GetParam() > BestInstructionSet()) GTEST_SKIP() << "this processor lacks " << InstructionSetName(GetParam());
  for (const GoldenCase& c : GOLDEN_CASES) {
    SCOPED_TRACE(c.name);
    ClearSimulation(sim);
    sim.instruction_set = GetParam();
    ApplyDefaultParameters(sim);
    ASSERT_TRUE(SetParameters(sim, c.choice, c.network_seed));
    BuildAndMeasureNetwork(sim, c.network_seed);
    const int32_t n = c.choice.group_count;
    std::string network;
    for (int32_t g = 1; g <= n; ++g) {
      const GroupRecord& r = sim.groups[g];
      network += Format("%d %d %d %d:", g, r.x, r.y, r.degree);
      for (int32_t slot = 1; slot <= r.degree; ++slot) network += Format(" %d", r.neighbours[slot]);
      network += "\n";
    }
    EXPECT_EQ(network, ReadFile(GoldenDir(c) / "network.txt"));
    const NetworkMetrics& m = sim.metrics;
    const std::pair<const char*, double> measures[] = {{"average_degree", m.average_degree},
                                                       {"degree_stdev", m.degree_stdev},
                                                       {"characteristic_path_length", m.characteristic_path_length},
                                                       {"clustering_coefficient", m.clustering_coefficient}};
    std::string metrics;
    for (auto [name, value] : measures) metrics += Format("%s=%.6f\n", name, value);
    for (auto [name, value] : measures) metrics += Format("%s.17g=%.17g\n", name, value);
    for (int32_t k = 0; k <= n; ++k) {
      if (sim.degree_histogram[k] != 0) metrics += Format("h[%d]=%d\n", k, sim.degree_histogram[k]);
    }
    EXPECT_EQ(metrics, ReadFile(GoldenDir(c) / "metrics.txt"));
    RunToCompletion(sim, c.run_seed, files);
    for (const char* file : {INITIAL_RESULT_FILE, ALL_RESULT_FILE}) {
      EXPECT_EQ(Result(file), ReadFile(GoldenDir(c) / file)) << file;
    }
  }
}

// Payoffs shifted by c add c L to every score and keep every ranking, so the
// runs of the reference cases under them (the general payoff code, scores far
// below zero or far above 9999) give the reference outputs.
TEST_P(ModelGolden, ShiftedPayoffsGiveTheReferenceOutputs) {
  if (GetParam() > BestInstructionSet()) GTEST_SKIP() << "this processor lacks " << InstructionSetName(GetParam());
  int32_t index = 0;
  for (const GoldenCase& c : GOLDEN_CASES) {
    SCOPED_TRACE(c.name);
    const int32_t shift = index++ % 2 == 0 ? -1000000 : 999995;
    ParameterChoice choice = c.choice;
    choice.payoffs = {5 + shift, 3 + shift, 1 + shift, shift};
    ClearSimulation(sim);
    sim.instruction_set = GetParam();
    ApplyDefaultParameters(sim);
    ASSERT_TRUE(SetParameters(sim, choice, c.network_seed));
    BuildAndMeasureNetwork(sim, c.network_seed);
    RunToCompletion(sim, c.run_seed, files);
    for (const char* file : {INITIAL_RESULT_FILE, ALL_RESULT_FILE}) {
      EXPECT_EQ(Result(file), ReadFile(GoldenDir(c) / file)) << file;
    }
  }
}

// The choice reaches the run: under the mutation threshold 0 a single
// strategy is crossed with itself unchanged, so every generation repeats the
// first; under the default it does not.
TEST_F(ModelRun, ChosenMutationThresholdAndPayoffsAreTheRunsOwn) {
  for (const int32_t threshold : {0, DEFAULT_MUTATION_PER_MILLION}) {
    ParameterChoice choice{SCALE_FREE, 50, 1, 100, 4, 30, 0.0};
    choice.payoffs = {19, 10, 0, -3};
    choice.mutation_per_million = threshold;
    ASSERT_TRUE(SetParameters(sim, choice, 3));
    EXPECT_TRUE(sim.params.payoffs.temptation == 19 && sim.params.payoffs.reward == 10 &&
                sim.params.payoffs.punishment == 0 && sim.params.payoffs.sucker == -3);
    BuildAndMeasureNetwork(sim, 3);
    RunToCompletion(sim, 4, files);
    int32_t changes = 0;
    for (int32_t g = 2; g <= 100; ++g) changes += sim.series.D_Avg[g] != sim.series.D_Avg[1] ? 1 : 0;
    EXPECT_EQ(changes > 0, threshold != 0) << threshold;
  }
}

// A built network given back as its links, in another order and either way
// round, to a fresh simulation: the same measures, and the run with the same
// seed the same series and files, draw for draw.
TEST_F(ModelRun, NetworkGivenAsItsLinksRunsAlike) {
  const ParameterChoice choices[] = {{SMALL_WORLD, 120, 4, 200, 6, 30, 0.3}, {SCALE_FREE, 200, 8, 200, 8, 30, 0.0}};
  std::mt19937 rng(31);
  for (const ParameterChoice& choice : choices) {
    SCOPED_TRACE(choice.network_type);
    ASSERT_TRUE(SetParameters(sim, choice, 77));
    BuildAndMeasureNetwork(sim, 77);
    std::vector<std::array<int32_t, 2>> links;
    for (int32_t g = 1; g <= choice.group_count; ++g) {
      const GroupRecord& r = sim.groups[g];
      for (int32_t slot = 1; slot <= r.degree; ++slot) {
        if (r.neighbours[slot] > g)
          links.push_back(rng() % 2 == 0 ? std::array{g, r.neighbours[slot]} : std::array{r.neighbours[slot], g});
      }
    }
    std::shuffle(links.begin(), links.end(), rng);
    RunToCompletion(sim, 78, files);
    const std::string initial = Result(INITIAL_RESULT_FILE);
    const std::string all = Result(ALL_RESULT_FILE);

    SimulationPtr owned = NewSimulation();
    ASSERT_TRUE(owned);
    Simulation& given = *owned;
    ApplyDefaultParameters(given);
    ParameterChoice again = choice;
    again.network_type = GIVEN_LINKS;
    again.connectivity = 2;
    ASSERT_TRUE(SetParameters(given, again, 5));
    BuildAndMeasureNetworkFromLinks(given, reinterpret_cast<const int32_t(*)[2]>(links.data()),
                                    static_cast<int32_t>(links.size()));
    const NetworkMetrics& a = sim.metrics;
    const NetworkMetrics& b = given.metrics;
    EXPECT_TRUE(a.average_degree == b.average_degree && a.degree_stdev == b.degree_stdev &&
                a.characteristic_path_length == b.characteristic_path_length &&
                a.clustering_coefficient == b.clustering_coefficient && a.components == b.components &&
                a.reachable_path_length == b.reachable_path_length);
    EXPECT_TRUE(std::equal(sim.degree_histogram, sim.degree_histogram + MAX_GROUPS + 1, given.degree_histogram));
    ResultFiles given_files{};
    std::filesystem::create_directory(dir_ / "given");
    ASSERT_TRUE(SetResultDirectory(given_files, (dir_ / "given").c_str()));
    RunToCompletion(given, 78, given_files);
    EXPECT_EQ(std::memcmp(&sim.series, &given.series, sizeof sim.series), 0);
    EXPECT_EQ(RandomOutputsDrawn(sim), RandomOutputsDrawn(given));
    EXPECT_EQ(ReadFile(dir_ / "given" / INITIAL_RESULT_FILE), initial);
    EXPECT_EQ(ReadFile(dir_ / "given" / ALL_RESULT_FILE), all);
  }
}

// Groups without links play nothing and count 0 in every average; the
// smallest degree class is theirs, and every value written is a number.
TEST_F(ModelRun, RunOnNetworkInPiecesWithGroupsAlone) {
  const int32_t links[][2] = {{1, 2}, {2, 3}, {1, 3}, {4, 5}, {5, 6}, {6, 7}, {4, 7}};
  ASSERT_TRUE(SetParameters(sim, ParameterChoice{GIVEN_LINKS, 9, 4, 100, 2, 10, 0.0}, 1));
  BuildAndMeasureNetworkFromLinks(sim, links, 7);
  RunToCompletion(sim, 2, files);
  ASSERT_EQ(files.error[0] + files.error[1], 0);
  for (int32_t g = 1; g <= 100; ++g) {
    const GenerationSeries& s = sim.series;
    ASSERT_TRUE(s.D_Min[g] == 0.0 && s.C_Min[g] == 0.0) << g;
    // Seven of nine groups play: every average is 7/9 of theirs, at most L.
    ASSERT_TRUE(s.D_Avg[g] >= 0.0 && s.D_Avg[g] + s.C_Avg[g] <= 10.0 * 7 / 9 && s.D_Typ[g] + s.C_Typ[g] > 0.0) << g;
  }
  const std::string all = Result(ALL_RESULT_FILE);
  EXPECT_EQ(all.find("nan"), std::string::npos);
  EXPECT_NE(all.find(",0.00000000,0.00000000,"), std::string::npos) << "the class of the groups alone";
  EXPECT_NE(all.find(",2,0,2\r\n"), std::string::npos) << "typical, smallest and largest degree";
}

// A locale whose decimal point is a comma changes nothing in the files.
TEST_F(ModelRun, ResultFilesAreTheSameBytesInEveryLocale) {
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
      << "the de_DE.UTF-8 locale is missing: scripts/install-deps";
  const ParameterChoice choice{SMALL_WORLD, 50, 8, 1000, 8, 10, 0.1};
  SetParameters(sim, choice, 1234567);
  BuildAndMeasureNetwork(sim, 1234567);
  RunToCompletion(sim, 1234568, files);
  std::setlocale(LC_ALL, "C");
  for (const char* file : {INITIAL_RESULT_FILE, ALL_RESULT_FILE}) {
    EXPECT_EQ(Result(file), ReadFile(GoldenDir(GOLDEN_CASES[0]) / file));
  }
}

}  // namespace
}  // namespace veldaris::test
