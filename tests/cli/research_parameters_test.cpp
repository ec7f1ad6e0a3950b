// The parameters beyond the original model on veldaris-run's command line and
// in sweep files: the defaults spelled out, exact rewiring, a network read
// back from a file, refusals, and sweeps that never mislabel their runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/sweep_plan.h"
#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace {

using namespace veldaris::cli;
using namespace veldaris::cli::cli_test;

const fs::path kGolden = fs::path(VELDARIS_TEST_DATA_DIR) / "golden";

class ResearchParametersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("veldaris_research_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs veldaris-run into dir_/sub; the two result files.
  std::string RunInto(const std::string& sub, std::vector<std::string> args) {
    args.insert(args.end(), {"--output-dir", (dir_ / sub).string()});
    const Result r = Drive(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return ReadFile(dir_ / sub / "Veldaris_Result_Initial.csv") + ReadFile(dir_ / sub / "Veldaris_Result_All.csv");
  }

  fs::path dir_;
};

std::string Golden(const std::string& name) {
  return ReadFile(kGolden / name / "Veldaris_Result_Initial.csv") +
         ReadFile(kGolden / name / "Veldaris_Result_All.csv");
}

const std::vector<std::string> kSw50 = {"--groups",       "50",     "--strategies", "8",  "--generations",  "1000",
                                        "--connectivity", "8",      "--length",     "10", "--network-seed", "1234567",
                                        "--run-seed",     "1234568"};
const std::vector<std::string> kSf50 = {"--network",      "scale-free", "--groups",       "50", "--strategies", "4",
                                        "--generations",  "1000",       "--connectivity", "4",  "--length",     "10",
                                        "--network-seed", "777",        "--run-seed",     "778"};

std::vector<std::string> With(std::vector<std::string> base, const std::vector<std::string>& more) {
  base.insert(base.end(), more.begin(), more.end());
  return base;
}

TEST_F(ResearchParametersTest, DefaultsSpelledOutAndExactRewiringGiveTheReferenceBytes) {
  const std::vector<std::string> defaults = {"--temptation", "5.000", "--reward",   "3",       "--punishment", "1",
                                             "--sucker",     "0",     "--mutation", "0.001000"};
  EXPECT_EQ(RunInto("sw", With(With(kSw50, {"--rewiring", "0.1"}), defaults)), Golden("sw50"));
  EXPECT_EQ(RunInto("sf", With(kSf50, defaults)), Golden("sf50"));
  // A whole percentage asked for exactly rewires exactly as the percentage does.
  EXPECT_EQ(RunInto("exact", With(kSw50, {"--rewiring-probability", "0.1"})), Golden("sw50"));
}

TEST_F(ResearchParametersTest, NewParametersChangeTheRunAndRepeat) {
  const std::string reference = Golden("sw50");
  const std::vector<std::string> sw = With(kSw50, {"--rewiring", "0.1"});
  const std::string snowdrift = RunInto("a", With(sw, {"--temptation", "1.9", "--reward", "1", "--sucker", "-0.125"}));
  EXPECT_NE(snowdrift, reference);
  EXPECT_EQ(RunInto("b", With(sw, {"--temptation", "1.90", "--reward", "1.0", "--sucker", "-0.1250"})), snowdrift);
  EXPECT_NE(RunInto("c", With(sw, {"--mutation", "0.01"})), reference);
  EXPECT_NE(RunInto("d", With(kSw50, {"--rewiring-probability", "0.105"})), reference);
}

TEST_F(ResearchParametersTest, ANetworkWrittenOutAndReadBackRunsTheSame) {
  struct Case {
    const char* name;
    std::vector<std::string> build;
    std::string strategies;
    std::string run_seed;
  };
  const std::vector<Case> cases = {{"sw", With(kSw50, {"--rewiring", "0.1"}), "8", "1234568"},
                                   {"sf", kSf50, "4", "778"}};
  for (const Case& c : cases) {
    for (const std::string extension : {".graphml", ".csv"}) {
      SCOPED_TRACE(c.name + extension);
      const fs::path network = dir_ / (c.name + extension);
      const std::string built =
          RunInto(c.name + ("built" + extension), With(c.build, {"--network-file", network.string()}));
      // Only the run's own parameters and seed: the file fixes the network.
      EXPECT_EQ(
          RunInto(c.name + ("read" + extension), {"--network-from", network.string(), "--strategies", c.strategies,
                                                  "--generations", "1000", "--length", "10", "--run-seed", c.run_seed}),
          built);
    }
  }
}

TEST_F(ResearchParametersTest, BadValuesAreRefusedWithNothingWritten) {
  WriteFile(dir_ / "loop.csv", "source,target\n1,2\n2,2\n2,3\n");
  WriteFile(dir_ / "ok.csv", "source,target\n1,2\n2,3\n");
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--temptation", "1.2345"},
       "--temptation must be a number from -1000 to 1000 with at most 3 decimal places (got \"1.2345\")"},
      {{"--sucker", "-1000.001"}, "--sucker must be"},
      {{"--reward", "1e2"}, "--reward must be"},
      {{"--mutation", "1.5"},
       "--mutation must be a probability from 0 to 1 with at most 6 decimal places (got \"1.5\")"},
      {{"--mutation", "0.0000001"}, "--mutation must be"},
      {{"--mutation", "-0.001"}, "--mutation must be"},
      {{"--rewiring-probability", "1.000001"}, "--rewiring-probability must be"},
      {{"--rewiring", "-0.009"}, "--rewiring must be a probability from 0 to 1.0 (got \"-0.009\")"},
      {{"--rewiring", "1.009"}, "--rewiring must be"},
      {{"--rewiring", "0.1", "--rewiring-probability", "0.1"}, "cannot both be given"},
      {{"--network-from", (dir_ / "ok.csv").string(), "--groups", "3"}, "--groups cannot be given with --network-from"},
      {{"--network-from", (dir_ / "ok.csv").string(), "--network", "scale-free"}, "--network cannot be given"},
      {{"--network-from", (dir_ / "missing.csv").string()}, "--network-from: "},
      {{"--network-from", (dir_ / "loop.csv").string()}, ":3: "},
      {{"--network-from", dir_.string()}, "is not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    const fs::path out = dir_ / "out";
    const Result r = Drive(With(c.args, {"--output-dir", out.string(), "--generations", "10"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(c.message), npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
  }
}

TEST_F(ResearchParametersTest, TruncatedRewiringIsPointedOut) {
  const Result truncated = Drive({"--rewiring", "0.29", "--generations", "10", "--output-dir", (dir_ / "a").string()});
  EXPECT_EQ(truncated.status, 0);
  EXPECT_NE(truncated.err.find("--rewiring 0.29 is stored as 28 %"), npos) << truncated.err;
  EXPECT_NE(truncated.err.find("--rewiring-probability"), npos);
  const Result whole = Drive({"--rewiring", "0.3", "--generations", "10", "--output-dir", (dir_ / "b").string()});
  EXPECT_EQ(whole.err.find("stored as"), npos) << whole.err;
}

// The plan of a sweep file, or nullopt with *error set to the message.
std::optional<SweepPlan> Plan(const std::string& text, std::string* error, int64_t max_runs = MAX_SWEEP_RUNS) {
  Outcome<SweepPlan> plan = ParseSweepFile(text, "test.toml", nullptr, max_runs);
  if (!plan.ok()) {
    *error = plan.failure().Message();
    return std::nullopt;
  }
  return std::move(plan.value());
}

TEST(SweepOfResearchParameters, EarlierSweepsKeepTheirSeeds) {
  // Seeds planned by version 1.25a before these parameters existed.
  std::string error;
  const auto readme = Plan(
      "network = \"small-world\"\ngroups = 200\nstrategies = 8\ngenerations = 3000\nconnectivity = [4, 8]\n"
      "length = 30\nrewiring = [0.0, 0.01, 0.05, 0.1, 0.29, 1.0]\nreplicates = 20\nseed = 20261206\n",
      &error);
  ASSERT_TRUE(readme) << error;
  ASSERT_EQ(readme->runs.size(), 240U);
  EXPECT_EQ(readme->runs[0].seeds.network, 2634718097U);
  EXPECT_EQ(readme->runs[0].seeds.run, 2328622601U);
  EXPECT_EQ(readme->runs[20].seeds.network, 1389830807U);
  EXPECT_EQ(readme->runs[239].seeds.run, 2787253946U);
  // Defaults spelled out are the same runs.
  const auto spelled = Plan(
      "network = \"small-world\"\ngroups = 200\nstrategies = 8\ngenerations = 3000\nconnectivity = [4, 8]\n"
      "length = 30\nrewiring = [0.0, 0.01, 0.05, 0.1, 0.29, 1.0]\nreplicates = 20\nseed = 20261206\n"
      "temptation = 5.0\nreward = 3\npunishment = 1\nsucker = 0\nmutation = 0.001\n",
      &error);
  ASSERT_TRUE(spelled) << error;
  EXPECT_EQ(spelled->runs[239].seeds.network, readme->runs[239].seeds.network);
  EXPECT_EQ(spelled->runs[239].seeds.run, readme->runs[239].seeds.run);
  // ... while another value is another run, with the seeds the README's
  // formula gives (worked out by an independent implementation of it).
  const auto tempted = Plan("temptation = [5, 6]\nreplicates = 1\nseed = 3\n", &error);
  ASSERT_TRUE(tempted) << error;
  EXPECT_EQ(tempted->runs[1].seeds.network, 2340132679U);
  EXPECT_EQ(tempted->runs[1].seeds.run, 316922738U);
  const auto two = Plan("sucker = -0.5\nmutation = 0.01\nreplicates = 2\nseed = 3\n", &error);
  ASSERT_TRUE(two) << error;
  EXPECT_EQ(two->runs[1].seeds.network, 1529497964U);
  EXPECT_EQ(two->runs[1].seeds.run, 1528239254U);
  EXPECT_NE(PlanCsv(*tempted).find("network_seed"), npos);
  EXPECT_NE(Lines(PlanCsv(*tempted))[0].find(",rewiring,rewiring_percent,temptation,network_seed"), npos);
}

TEST(SweepOfResearchParameters, ScaleFreePointsArePlannedOnceWhateverTheRewiring) {
  std::string error;
  const auto plan = Plan(
      "network = [\"scale-free\", \"small-world\"]\ngroups = 20\nconnectivity = 4\ngenerations = 10\nlength = 4\n"
      "strategies = 2\nrewiring = [0.0, 0.5]\nreplicates = 2\nseed = 7\n",
      &error);
  ASSERT_TRUE(plan) << error;
  ASSERT_EQ(plan->points.size(), 3U);
  ASSERT_EQ(plan->runs.size(), 6U);
  // The seeds 1.25a planned for the runs that remain.
  EXPECT_EQ(plan->runs[1].seeds.network, 1999688989U);
  EXPECT_EQ(plan->runs[1].seeds.run, 4077465220U);
  EXPECT_EQ(plan->runs[4].seeds.network, 3293688988U);
  EXPECT_EQ(plan->runs[4].seeds.run, 2679982951U);
  EXPECT_EQ(Lines(PlanCsv(*plan))[5], "4,2,0,small-world,20,2,10,4,4,0.5,50,3293688988,2679982951");
}

TEST(SweepOfResearchParameters, RewiringThatWouldBeMislabelledIsRefused) {
  struct Case {
    std::string file;
    std::vector<std::string> message;
  };
  const std::string tail = "replicates = 1\nseed = 1\n";
  const std::vector<Case> cases = {
      {"rewiring = [0.28, 0.29]\n", {"rewiring lists 0.28 and 0.29", "stored as 28 %", "rewiring_probability"}},
      {"rewiring = [0.0, 0.005]\n", {"rewiring = 0.005 is stored as 0 %", "rewiring_probability"}},
      {"rewiring = 0.001\n", {"rewiring = 0.001 is stored as 0 %"}},
      {"rewiring = [0.1, 0.10]\n", {"rewiring lists 0.1 and 0.10, the same value"}},
      {"rewiring = [0.1, 0.1]\n", {"rewiring lists 0.1 twice"}},
      {"rewiring = -0.009\n", {"rewiring must be a probability from 0 to 1.0 (got \"-0.009\")"}},
      {"groups = 200.0\n", {"groups must be a whole number", "the number 200.0"}},
      {"groups = 3e3\n", {"the number 3e3"}},
      {"groups = 10\nconnectivity = 0x10\n",
       {"connectivity must be an even number from 2 to groups - 1 (9 here) (got \"0x10\")"}},
      {"mutation = [0.01, 2]\n",
       {"mutation must be a probability from 0 to 1 with at most 6 decimal places (got \"2\")",
        "in the point mutation = 2"}},
      {"rewiring = 0.1\nrewiring_probability = 0.2\n", {"cannot both be given"}},
      {"groups = 20\nnetwork_from = \"x.csv\"\n", {"groups cannot be given with network_from"}},
      {"groups = t\n", {"line 1", "saw 't\\n'"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string error;
    EXPECT_FALSE(Plan(c.file + tail, &error));
    for (const std::string& part : c.message) {
      EXPECT_NE(error.find(part), npos) << error;
    }
    EXPECT_EQ(error.find('\n'), npos) << error;
  }
  std::string error;
  const auto exact = Plan("rewiring_probability = [0.28, 0.29, 0.001]\n" + tail, &error);
  ASSERT_TRUE(exact) << error;
  EXPECT_EQ(exact->points.size(), 3U);
}

TEST(SweepOfResearchParameters, LongArraysAreCheckedInLinearTime) {
  // 200,000 distinct values: comparing every pair would take minutes.
  std::string values;
  for (int i = 0; i < 200000; ++i) values += std::to_string(i) + ", ";
  std::string error;
  EXPECT_FALSE(Plan("temptation = [" + values + "-1]\nreplicates = 1\nseed = 1\n", &error, 1));
  EXPECT_NE(error.find("more than 1 runs"), npos) << error;
  EXPECT_FALSE(Plan("sucker = [" + values + "5.0]\nreplicates = 1\nseed = 1\n", &error));
  EXPECT_NE(error.find("sucker lists 5 and 5.0, the same value"), npos) << error.substr(0, 200);
}

}  // namespace

namespace {

TEST_F(ResearchParametersTest, ASweepMadeByVersion125aResumesAndCollects) {
  const fs::path made = dir_ / "made";
  fs::copy(fs::path(VELDARIS_TEST_DATA_DIR) / "old-sweep", made, fs::copy_options::recursive);
  const std::string old_summary = ReadFile(made / "summary.csv");
  const Result run = Sweep({"run", (made / "sweep.toml").string(), "--out", made.string(), "--quiet"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("4 already finished"), npos) << run.out;
  // The same runs, values and seeds; the new columns beside them.
  const std::vector<std::string> before = Lines(old_summary);
  const std::vector<std::string> after = Lines(ReadFile(made / "summary.csv"));
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after[0],
            "run,point,replicate,network,groups,strategies,generations,connectivity,length,rewiring,rewiring_percent,"
            "network_seed,run_seed,average_degree,degree_stdev,characteristic_path_length,clustering_coefficient,"
            "components,reachable_path_length,c_avg_final,d_avg_final,c_avg_tail,d_avg_tail,c_rate_final,"
            "d_rate_final,c_rate_tail,d_rate_tail");
  EXPECT_EQ(after[3],
            "2,1,0,small-world,20,2,10,4,4,0.5,50,3293688988,2679982951,4,1.949358868961793,2.1,"
            "0.3576984126984128,,,1.763511904761905,0.7573809523809524,1.763511904761905,0.7573809523809524,"
            "0.44087797619047625,0.1893452380952381,0.44087797619047625,0.1893452380952381");
  // The plot can take any varying parameter as its axis, and only such a one.
  const Result axis = Sweep({"collect", made.string(), "--axis", "rewiring"});
  EXPECT_EQ(axis.status, 0) << axis.err;
  const Result fixed = Sweep({"collect", made.string(), "--axis", "groups"});
  EXPECT_EQ(fixed.status, 2);
  EXPECT_NE(fixed.err.find("--axis must be one of the parameters the sweep varies: rewiring (got \"groups\")"), npos)
      << fixed.err;
}

}  // namespace
