// The headless driver, run in-process: reference outputs reproduced through
// the command line, seeds, argument checking and unwritable output.
#include "cli/driver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/simulation.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Result {
  int status;
  std::string out;
  std::string err;
};

// Runs veldaris-run's driver; on sim when given, so that a test can look at
// the simulation afterwards.
Result Drive(std::vector<std::string> args, veldaris::Simulation* sim = nullptr) {
  args.insert(args.begin(), "veldaris-run");
  std::vector<const char*> argv;
  for (const std::string& a : args) {
    argv.push_back(a.c_str());
  }
  std::ostringstream out;
  std::ostringstream err;
  const veldaris::cli::DriverStreams streams{out, err, false, sim};
  const int status = veldaris::cli::RunDriver(static_cast<int>(argv.size()), argv.data(), streams);
  return {status, out.str(), err.str()};
}

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("veldaris_driver_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::system(("chattr -i '" + dir_.string() + "/out' 2>/dev/null").c_str());
    fs::remove_all(dir_);
  }
  fs::path dir_;
  veldaris::SimulationPtr owned_ = veldaris::NewSimulation();
  veldaris::Simulation& sim_ = *owned_;
};

const fs::path kGolden = fs::path(VELDARIS_TEST_DATA_DIR) / "golden";

TEST_F(DriverTest, ReproducesTheReferenceRunsByteForByte) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {"sw50",
       {"--network", "small-world", "--groups", "50", "--strategies", "8", "--generations", "1000", "--connectivity",
        "8", "--length", "10", "--rewiring", "0.1", "--network-seed", "1234567", "--run-seed", "1234568"}},
      {"lattice",
       {"--network", "small-world", "--groups", "50", "--strategies", "4", "--generations", "1000", "--connectivity",
        "4", "--length", "10", "--rewiring", "0", "--network-seed", "42", "--run-seed", "43"}},
      {"sf50",
       {"--network", "scale-free", "--groups", "50", "--strategies", "4", "--generations", "1000", "--connectivity",
        "4", "--length", "10", "--network-seed", "777", "--run-seed", "778"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--output-dir", (dir_ / c.name).string()});
    const Result r = Drive(args);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* file : {"Veldaris_Result_Initial.csv", "Veldaris_Result_All.csv"}) {
      EXPECT_EQ(ReadFile(dir_ / c.name / file), ReadFile(kGolden / c.name / file)) << file;
    }
    // The measures are printed with the texts of the window's display.
    const std::string metrics = ReadFile(kGolden / c.name / "metrics.txt");
    const auto value = [&](const std::string& key) {
      const size_t at = metrics.find(key + "=");
      return metrics.substr(at + key.size() + 1, metrics.find('\n', at) - at - key.size() - 1);
    };
    EXPECT_NE(r.out.find("Average Degree: " + value("average_degree") + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Stdev of Degree: " + value("degree_stdev") + "\n"), std::string::npos);
    EXPECT_NE(r.out.find("Characteristic Path Length: " + value("characteristic_path_length") + "\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Clustering Coefficient: " + value("clustering_coefficient") + "\n"), std::string::npos);
  }
}

TEST_F(DriverTest, SeedsMakeRunsRepeatable) {
  const std::vector<std::string> base = {"--groups", "50", "--connectivity", "4", "--rewiring", "0.3"};
  auto run = [&](const std::string& sub, std::vector<std::string> extra) {
    std::vector<std::string> args = base;
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"--output-dir", (dir_ / sub).string()});
    const Result r = Drive(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return std::make_pair(r.out, ReadFile(dir_ / sub / "Veldaris_Result_All.csv"));
  };
  const auto one = run("one", {"--seed", "99"});
  const auto split = run("split", {"--network-seed", "99", "--run-seed", "99"});
  const auto other = run("other", {"--network-seed", "99", "--run-seed", "100"});
  EXPECT_NE(one.first.find("Network seed: 99\nRun seed: 99\n"), std::string::npos) << one.first;
  EXPECT_EQ(one.second, split.second);
  EXPECT_NE(one.second, other.second);

  // Without seeds the clock is used, and the seeds printed repeat the run.
  const auto clocked = run("clock", {});
  const std::string& out = clocked.first;
  const std::string network_seed = out.substr(14, out.find('\n') - 14);
  const size_t run_at = out.find("Run seed: ") + 10;
  const std::string run_seed = out.substr(run_at, out.find('\n', run_at) - run_at);
  const auto again = run("again", {"--network-seed", network_seed, "--run-seed", run_seed});
  EXPECT_EQ(clocked.second, again.second);
}

TEST_F(DriverTest, RewiringIsConvertedAsTheDialogDoes) {
  for (const auto& [text, percent] : std::vector<std::pair<std::string, int>>{
           {"0.29", 28}, {"0.25", 25}, {"0.999", 99}, {"1.0", 100}, {"1", 100}, {"0", 0}}) {
    const Result r = Drive(
        {"--rewiring", text, "--generations", "10", "--seed", "1", "--output-dir", (dir_ / "out").string()}, &sim_);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim_.params.rewiring_percent, percent) << text;
  }
}

TEST_F(DriverTest, AcceptsEveryRunnableValueAtItsLimits) {
  const std::vector<std::vector<std::string>> limits = {
      {"--groups", "3", "--connectivity", "2", "--strategies", "1", "--length", "4", "--generations", "10"},
      {"--network", "scale-free", "--groups", "3", "--connectivity", "2", "--generations", "10"},
      {"--groups", "7", "--connectivity", "6", "--rewiring", "1.0", "--generations", "20"},
      {"--network", "scale-free", "--groups", "120", "--connectivity", "10", "--strategies", "32", "--length", "100",
       "--generations", "10"},
      {"--groups", "20", "--connectivity", "2", "--rewiring", "0.5", "--generations", "10000", "--strategies", "1",
       "--length", "4"},
  };
  for (std::vector<std::string> args : limits) {
    args.insert(args.end(), {"--seed", "7", "--output-dir", (dir_ / "out").string()});
    const Result r = Drive(args, &sim_);
    EXPECT_EQ(r.status, 0) << args[1] << " " << r.err;
    EXPECT_EQ(sim_.generation, sim_.params.generation_count + 1);
    for (int32_t g = 1; g <= sim_.params.generation_count; ++g) {
      ASSERT_GE(sim_.series.D_Avg[g], 0.0);  // no NaN: every class was non-empty
    }
  }
  // A run shorter than 100 generations writes only the generations played.
  Drive({"--generations", "30", "--seed", "3", "--output-dir", (dir_ / "short").string()});
  const std::string initial = ReadFile(dir_ / "short" / "Veldaris_Result_Initial.csv");
  EXPECT_EQ(std::count(initial.begin(), initial.end(), '\n'), 31);
}

TEST_F(DriverTest, RejectsBadArgumentsWithoutTouchingAnyFile) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{"--groups", "2"}, "--groups"},
      {{"--groups", "501"}, "--groups"},
      {{"--groups", "many"}, "--groups"},
      {{"--strategies", "0"}, "--strategies"},
      {{"--strategies", "33"}, "--strategies"},
      {{"--generations", "995"}, "--generations"},
      {{"--generations", "0"}, "--generations"},
      {{"--generations", "10010"}, "--generations"},
      {{"--connectivity", "5"}, "--connectivity"},
      {{"--connectivity", "0"}, "--connectivity"},
      {{"--groups", "50", "--connectivity", "50"}, "--connectivity"},
      {{"--length", "3"}, "--length"},
      {{"--length", "101"}, "--length"},
      {{"--rewiring", "1.01"}, "--rewiring"},
      {{"--rewiring", "-0.5"}, "--rewiring"},
      {{"--rewiring", "nan"}, "--rewiring"},
      {{"--rewiring", "0.1x"}, "--rewiring"},
      {{"--network", "scale-free", "--rewiring", "7"}, "--rewiring"},
      {{"--network", "ring"}, "--network"},
      {{"--seed", "1", "--run-seed", "2"}, "--seed"},
      {{"--seed", "-1"}, "--seed"},
      {{"--frobnicate"}, "--frobnicate"},
  };
  const fs::path out = dir_ / "untouched";
  for (auto [args, option] : bad) {
    args.insert(args.end(), {"--output-dir", out.string()});
    const Result r = Drive(args);
    EXPECT_EQ(r.status, 2) << args[0] << " " << args[1];
    EXPECT_NE(r.err.find(option), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out)) << args[0];
  }
  EXPECT_EQ(Drive({"--version"}).out, "1.25a\n");
  EXPECT_EQ(Drive({"--help"}).status, 0);
}

TEST_F(DriverTest, AFailedWriteKeepsTheEarlierFilesAndFails) {
  const fs::path out = dir_ / "out";
  ASSERT_EQ(Drive({"--seed", "1", "--generations", "100", "--output-dir", out.string()}).status, 0);
  const std::string before = ReadFile(out / "Veldaris_Result_All.csv");
  if (std::system(("chattr +i '" + out.string() + "' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "chattr +i is not available here";
  }
  const Result r = Drive({"--seed", "2", "--generations", "100", "--output-dir", out.string()}, &sim_);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Veldaris_Result_Initial.csv"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Veldaris_Result_All.csv"), std::string::npos) << r.err;
  EXPECT_EQ(sim_.run_finished, 1);  // the run itself completed
  EXPECT_EQ(ReadFile(out / "Veldaris_Result_All.csv"), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);  // no stray temp files

  // An output directory that cannot be created is reported before any run.
  const Result proc = Drive({"--output-dir", "/proc/veldaris/out"});
  EXPECT_EQ(proc.status, 1);
  EXPECT_NE(proc.err.find("/proc/veldaris/out"), std::string::npos);
}

TEST_F(DriverTest, WritesTheWindowsPictureAfterTheRun) {
  const fs::path picture = dir_ / "net.svg";
  const Result r = Drive({"--seed", "4", "--output-dir", (dir_ / "out").string(), "--picture", picture.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string svg = ReadFile(picture);
  EXPECT_EQ(svg.rfind("</svg>"), svg.size() - 7);
  // 50 red dots and one blue P(k) point for the default lattice (every degree 8).
  size_t ellipses = 0;
  for (size_t at = svg.find("<ellipse"); at != std::string::npos; at = svg.find("<ellipse", at + 1)) {
    ++ellipses;
  }
  EXPECT_EQ(ellipses, 51u);
  EXPECT_NE(svg.find("Mutual-Cooperation"), std::string::npos);

  const Result failed = Drive({"--seed", "4", "--output-dir", (dir_ / "out").string(), "--picture", "/proc/net.svg"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("/proc/net.svg"), std::string::npos) << failed.err;
}

}  // namespace
