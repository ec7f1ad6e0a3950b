// The headless driver, run in-process: reference outputs reproduced through
// the command line, seeds, argument checking and unwritable output.
#include "cli/driver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/fresh_seeds.h"
#include "cli_test_support.h"
#include "io/sha256.h"
#include "model/simulation.h"

namespace fs = std::filesystem;

namespace {

using namespace veldaris::cli::cli_test;

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

std::string Sha256Of(const std::string& text) {
  veldaris::Sha256 hash;
  veldaris::Sha256Init(hash);
  veldaris::Sha256Update(hash, text.data(), text.size());
  uint8_t digest[veldaris::SHA256_DIGEST_SIZE];
  veldaris::Sha256Final(hash, digest);
  char hex[veldaris::SHA256_HEX_SIZE];
  veldaris::Sha256Hex(digest, hex);
  return hex;
}

// The value of "key": in a JSON text (the first occurrence), as written.
std::string JsonValue(const std::string& json, const std::string& key) {
  const size_t at = json.find("\"" + key + "\": ");
  if (at == npos) return "(missing " + key + ")";
  const size_t start = at + key.size() + 4;
  return json.substr(start, json.find_first_of(",\n}", start) - start);
}

const std::vector<std::string> kSw50 = {
    "--network",     "small-world", "--groups",       "50",      "--strategies", "8",
    "--generations", "1000",        "--connectivity", "8",       "--length",     "10",
    "--rewiring",    "0.1",         "--network-seed", "1234567", "--run-seed",   "1234568"};

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

  // Without seeds fresh ones are drawn, and the seeds printed repeat the run.
  const auto clocked = run("clock", {});
  const std::string& out = clocked.first;
  const std::string network_seed = out.substr(14, out.find('\n') - 14);
  const size_t run_at = out.find("Run seed: ") + 10;
  const std::string run_seed = out.substr(run_at, out.find('\n', run_at) - run_at);
  const auto again = run("again", {"--network-seed", network_seed, "--run-seed", run_seed});
  EXPECT_EQ(clocked.second, again.second);
}

// Runs started in the same second without seeds get seeds of their own (the
// clock's second would give them all the same), and no seed repeats.
TEST_F(DriverTest, RunsWithoutSeedsDrawFreshSeeds) {
  std::set<std::string> seeds;
  std::set<std::string> files;
  for (int i = 0; i < 4; ++i) {
    const fs::path out = dir_ / std::to_string(i);
    const Result r =
        Drive({"--generations", "10", "--groups", "10", "--connectivity", "2", "--output-dir", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines[0].rfind("Network seed: ", 0), 0u) << r.out;
    ASSERT_EQ(lines[1].rfind("Run seed: ", 0), 0u) << r.out;
    seeds.insert(lines[0].substr(14));
    seeds.insert(lines[1].substr(10));
    files.insert(ReadFile(out / "Veldaris_Result_All.csv"));
  }
  EXPECT_EQ(seeds.size(), 8u);
  EXPECT_EQ(files.size(), 4u);

  uint32_t a[4] = {0, 0, 0, 0};
  uint32_t b[4] = {0, 0, 0, 0};
  ASSERT_TRUE(veldaris::cli::FreshSeeds(a, 4).ok());
  ASSERT_TRUE(veldaris::cli::FreshSeeds(b, 4).ok());
  EXPECT_NE(std::vector<uint32_t>(a, a + 4), std::vector<uint32_t>(b, b + 4));
  EXPECT_NE(std::set<uint32_t>(a, a + 4).size(), 1u);
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
  const std::string record_before = ReadFile(out / "run.json");
  if (std::system(("chattr +i '" + out.string() + "' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "chattr +i is not available here";
  }
  const Result r = Drive({"--seed", "2", "--generations", "100", "--output-dir", out.string()}, &sim_);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Veldaris_Result_Initial.csv"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Veldaris_Result_All.csv"), std::string::npos) << r.err;
  EXPECT_EQ(sim_.run_finished, 1);  // the run itself completed
  EXPECT_NE(r.err.find("run.json"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(out / "Veldaris_Result_All.csv"), before);
  EXPECT_EQ(ReadFile(out / "run.json"), record_before);
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);  // no stray temp files

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

// Whole numbers are read in decimal whatever they look like: leading zeros
// mean nothing, and anything but digits is refused, quoted as it was typed.
TEST_F(DriverTest, IntegerOptionsAreStrictlyDecimal) {
  const Result padded = Drive({"--groups", "010", "--connectivity", "04", "--generations", "0120", "--seed", "010",
                               "--output-dir", (dir_ / "out").string()},
                              &sim_);
  ASSERT_EQ(padded.status, 0) << padded.err;
  EXPECT_EQ(sim_.params.group_count, 10);
  EXPECT_EQ(sim_.params.connectivity, 4);
  EXPECT_EQ(sim_.params.generation_count, 120);
  EXPECT_NE(padded.out.find("Network seed: 10\nRun seed: 10\n"), npos) << padded.out;
  const Result top = Drive({"--seed", "4294967295", "--generations", "10", "--output-dir", (dir_ / "out").string()});
  EXPECT_NE(top.out.find("Network seed: 4294967295\n"), npos) << top.err;

  const fs::path untouched = dir_ / "untouched";
  const std::vector<std::pair<std::string, std::string>> refused = {{"--groups", "0x10"},
                                                                    {"--groups", " 50"},
                                                                    {"--groups", "50 "},
                                                                    {"--groups", "+50"},
                                                                    {"--groups", "5e1"},
                                                                    {"--groups", "50.0"},
                                                                    {"--strategies", "0x8"},
                                                                    {"--generations", "1e3"},
                                                                    {"--length", "0b101"},
                                                                    {"--connectivity", "４"},
                                                                    {"--seed", "010x"},
                                                                    {"--seed", "4294967296"},
                                                                    {"--network-seed", " 7"},
                                                                    {"--run-seed", "0x1"},
                                                                    {"--groups", "99999999999999999999"},
                                                                    {"--seed", "99999999999999999999"}};
  for (const auto& [option, text] : refused) {
    const Result r = Drive({option, text, "--output-dir", untouched.string()});
    EXPECT_EQ(r.status, 2) << option << " '" << text << "'";
    EXPECT_NE(r.err.find(option + " must be"), npos) << r.err;
    EXPECT_NE(r.err.find("(got \"" + text + "\")"), npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(untouched));
}

// An empty seed is not the clock: the run could not be repeated.
TEST_F(DriverTest, AnEmptySeedIsRefused) {
  const fs::path untouched = dir_ / "untouched";
  for (const char* option : {"--seed", "--network-seed", "--run-seed"}) {
    const Result r = Drive({option, "", "--output-dir", untouched.string()});
    EXPECT_EQ(r.status, 2) << option;
    EXPECT_NE(r.err.find(std::string(option) + " must be a whole number from 0 to 4294967295 (got \"\")"), npos)
        << r.err;
  }
  EXPECT_FALSE(fs::exists(untouched));
}

// No output may overwrite another, however the two paths are written; the
// command line is refused before anything is run or written.
TEST_F(DriverTest, RefusesOutputsThatNameTheSameFile) {
  const fs::path out = dir_ / "out";
  ASSERT_EQ(Drive({"--seed", "1", "--generations", "10", "--output-dir", out.string()}).status, 0);
  const std::string initial = ReadFile(out / "Veldaris_Result_Initial.csv");
  const std::string all = ReadFile(out / "Veldaris_Result_All.csv");
  const std::string record = ReadFile(out / "run.json");
  fs::create_directory_symlink(out, dir_ / "link");
  fs::create_hard_link(out / "Veldaris_Result_Initial.csv", dir_ / "hard.csv");
  const std::vector<std::vector<std::string>> clashes = {
      {"--picture", (out / "Veldaris_Result_All.csv").string()},
      {"--picture", (out / "run.json").string()},
      {"--picture", (out / "missing" / ".." / "Veldaris_Result_Initial.csv").string()},
      {"--network-file", (dir_ / "link" / "Veldaris_Result_All.csv").string()},
      {"--network-file", (dir_ / "hard.csv").string()},
      {"--picture", (dir_ / "same.csv").string(), "--network-file", (dir_ / "same.csv").string()},
  };
  for (std::vector<std::string> args : clashes) {
    args.insert(args.end(), {"--seed", "2", "--generations", "10", "--output-dir", out.string()});
    const Result r = Drive(args);
    EXPECT_EQ(r.status, 2) << args[1];
    EXPECT_NE(r.err.find(" is also "), npos) << r.err;
  }
  EXPECT_EQ(ReadFile(out / "Veldaris_Result_Initial.csv"), initial);
  EXPECT_EQ(ReadFile(out / "Veldaris_Result_All.csv"), all);
  EXPECT_EQ(ReadFile(out / "run.json"), record);
  EXPECT_FALSE(fs::exists(dir_ / "same.csv"));
}

// Writing an output replaces it: whatever is not a regular file (a device, a
// FIFO, a directory, a symbolic link, even to a regular file) is refused
// before anything runs, and stays as it was.
TEST_F(DriverTest, RefusesOutputsThatAreNotRegularFiles) {
  // A device of its own (as /dev/null, which as root a rename would replace),
  // or a FIFO where mknod is not allowed.
  const fs::path device = dir_ / "null.svg";
  if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
    ASSERT_EQ(mkfifo(device.c_str(), 0600), 0);
  }
  const bool is_device = fs::is_character_file(device);
  const fs::path fifo = dir_ / "fifo.svg";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  WriteFile(dir_ / "regular.csv", "kept\n");
  fs::create_symlink(dir_ / "regular.csv", dir_ / "link.csv");
  fs::create_symlink(device, dir_ / "link.svg");
  fs::create_directories(dir_ / "adir.graphml");
  fs::create_directories(dir_ / "out");
  fs::create_symlink(dir_ / "regular.csv", dir_ / "out" / "Veldaris_Result_All.csv");
  const fs::path out2 = dir_ / "out2";
  fs::create_directories(out2);
  ASSERT_EQ(mkfifo((out2 / "run.json").c_str(), 0600), 0);
  const std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> refused = {
      {{"--picture", device.string()},
       "--picture \"" + device.string() + "\" exists and is a " + (is_device ? "character device" : "FIFO"),
       ""},
      {{"--picture", fifo.string()}, "--picture \"" + fifo.string() + "\" exists and is a FIFO", ""},
      {{"--picture", (dir_ / "link.svg").string()}, "is a symbolic link", ""},
      {{"--network-file", (dir_ / "link.csv").string()}, "is a symbolic link", ""},
      {{"--network-file", (dir_ / "adir.graphml").string()}, "is a directory", ""},
      {{"--output-dir", (dir_ / "out").string()}, "the result file", "is a symbolic link"},
      {{"--output-dir", out2.string()}, "the run record", "is a FIFO"},
  };
  for (auto [args, message, also] : refused) {
    if (args[0] != "--output-dir") args.insert(args.end(), {"--output-dir", (dir_ / "fresh").string()});
    args.insert(args.end(), {"--seed", "1", "--generations", "10"});
    const Result r = Drive(args);
    EXPECT_EQ(r.status, 2) << args[1];
    EXPECT_NE(r.err.find(message), npos) << r.err;
    EXPECT_NE(r.err.find(also), npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(fs::exists(dir_ / "fresh"));
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_fifo(out2 / "run.json"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.svg"));
  EXPECT_EQ(fs::is_character_file(device), is_device);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.csv"));
  EXPECT_EQ(ReadFile(dir_ / "regular.csv"), "kept\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(out2), fs::directory_iterator()), 1);
}

// run.json holds what repeats the run and what it produced, with the digest of
// each result file it wrote, or why a file was not written.
TEST_F(DriverTest, RunRecordDescribesTheRunAndItsFiles) {
  std::vector<std::string> args = kSw50;
  args.insert(args.end(), {"--output-dir", (dir_ / "sw50").string()});
  ASSERT_EQ(Drive(args, &sim_).status, 0);
  const std::string json = ReadFile(dir_ / "sw50" / "run.json");
  EXPECT_EQ(JsonValue(json, "program"), "\"veldaris-run\"");
  EXPECT_EQ(JsonValue(json, "version"), "\"1.25a\"");
  EXPECT_EQ(JsonValue(json, "rewiring"), "0.1");
  EXPECT_EQ(JsonValue(json, "rewiring_percent"), "10");
  EXPECT_EQ(JsonValue(json, "network_seed"), "1234567");
  EXPECT_EQ(JsonValue(json, "run_seed"), "1234568");
  // Measures with every digit, as the golden run's %.17g.
  const std::string metrics = ReadFile(kGolden / "sw50" / "metrics.txt");
  const size_t at = metrics.find("clustering_coefficient.17g=") + 27;
  EXPECT_EQ(std::stod(JsonValue(json, "clustering_coefficient")), std::stod(metrics.substr(at)));
  // The last row of the All file is generation G: its C_Avg, to 8 decimals.
  const std::string all = ReadFile(kGolden / "sw50" / "Veldaris_Result_All.csv");
  const std::string last = all.substr(all.rfind("1000,"));
  size_t comma = 0;
  for (int field = 0; field < 8; ++field) comma = last.find(',', comma) + 1;
  EXPECT_NEAR(std::stod(JsonValue(json, "c_avg_final")), std::stod(last.substr(comma)), 5e-9);
  EXPECT_EQ(JsonValue(json, "sha256"),
            "\"" + Sha256Of(ReadFile(kGolden / "sw50" / "Veldaris_Result_Initial.csv")) + "\"");
  EXPECT_NE(json.find("\"sha256\": \"" + Sha256Of(all) + "\""), npos) << json;
  EXPECT_NE(JsonValue(json, "started"), JsonValue(json, "missing"));

  // A file that cannot be written is recorded as such, beside the other's
  // digest (a directory in its way is refused up front, so it comes between
  // the command line's check and the run).
  const fs::path blocked = dir_ / "blocked";
  args.back() = blocked.string();
  const Argv argv("veldaris-run", args);
  std::ostringstream out;
  std::ostringstream err;
  const veldaris::cli::DriverStreams streams{out, err, false};
  const auto plan = veldaris::cli::ParseDriverCommandLine(argv.count(), argv.pointers.data(), streams);
  ASSERT_TRUE(plan.ok() && plan.value()) << err.str();
  fs::create_directories(blocked / "Veldaris_Result_All.csv" / "in_the_way");
  EXPECT_EQ(veldaris::cli::ExecuteDriverPlan(*plan.value(), streams), 1);
  const std::string partial = ReadFile(blocked / "run.json");
  EXPECT_EQ(JsonValue(partial, "sha256"), "\"" + Sha256Of(ReadFile(blocked / "Veldaris_Result_Initial.csv")) + "\"");
  EXPECT_NE(partial.find("\"error\": "), npos) << partial;
}

// The outcomes against the golden series: the sw50 run cut to 100
// generations (its Initial file, every generation, is the golden one's), whose
// means over generations 91..100 were summed by hand (Python's fractions) from
// that file's C_Avg and D_Avg columns, written to 8 decimals.
TEST_F(DriverTest, OutcomesAreTheGoldenSeriesFinalValuesAndTailMeans) {
  std::vector<std::string> args = kSw50;
  args[7] = "100";
  args.insert(args.end(), {"--output-dir", (dir_ / "out").string()});
  const Result r = Drive(args);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(ReadFile(dir_ / "out" / "Veldaris_Result_Initial.csv"),
            ReadFile(kGolden / "sw50" / "Veldaris_Result_Initial.csv"));
  const auto record = veldaris::cli::ParseRunRecord(ReadFile(dir_ / "out" / "run.json"));
  ASSERT_TRUE(record.ok()) << record.failure().Message();
  const veldaris::cli::RunOutcomes& o = record.value().outcomes;
  EXPECT_NEAR(o.c_avg_final, 2.78064583, 5e-9);
  EXPECT_NEAR(o.d_avg_final, 2.14916757, 5e-9);
  EXPECT_NEAR(o.c_avg_tail, 2.696148594, 5e-9);
  EXPECT_NEAR(o.d_avg_tail, 2.235838519, 5e-9);
}

// --output-dir leaves room for the longest file name in it: 4031 characters
// are run, 4032 refused.
TEST_F(DriverTest, OutputDirectoryLengthAtItsLimit) {
  std::string longest = dir_.string();
  while (longest.size() < 4031) {
    longest.push_back('/');
    longest.append(std::min<size_t>(200, 4031 - longest.size()), 'd');
  }
  ASSERT_EQ(longest.size(), 4031u);
  const Result fits = Drive({"--seed", "1", "--generations", "10", "--output-dir", longest});
  EXPECT_EQ(fits.status, 0) << fits.err;
  EXPECT_TRUE(fs::exists(fs::path(longest) / "run.json"));
  const std::string too_long = longest + 'e';
  const Result over = Drive({"--seed", "1", "--generations", "10", "--output-dir", too_long});
  EXPECT_EQ(over.status, 2);
  EXPECT_NE(over.err.find("--output-dir must be a non-empty path shorter than 4032 characters"), npos) << over.err;
  EXPECT_FALSE(fs::exists(too_long));
}

// The network file: an edge list, or GraphML (checked against networkx by
// the network_file_check test).
TEST_F(DriverTest, ExportsTheBuiltNetwork) {
  const std::vector<std::string> lattice = {
      "--groups", "50",           "--connectivity",       "4", "--generations", "10", "--seed",
      "3",        "--output-dir", (dir_ / "out").string()};
  std::vector<std::string> args = lattice;
  args.insert(args.end(), {"--network-file", (dir_ / "net.csv").string()});
  ASSERT_EQ(Drive(args).status, 0);
  const std::string csv = ReadFile(dir_ / "net.csv");
  EXPECT_EQ(csv.substr(0, 14), "source,target\n");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 101);  // the header and N * K / 2 links
  for (const char* link : {"\n1,2\n", "\n1,3\n", "\n1,49\n", "\n1,50\n", "\n48,50\n", "\n49,50\n"}) {
    EXPECT_NE(csv.find(link), npos) << link;
  }
  args = lattice;
  args.insert(args.end(), {"--network-file", (dir_ / "net.GraphML").string()});
  ASSERT_EQ(Drive(args).status, 0);
  const std::string graphml = ReadFile(dir_ / "net.GraphML");
  size_t nodes = 0, edges = 0;
  for (size_t i = graphml.find("<node "); i != npos; i = graphml.find("<node ", i + 1)) ++nodes;
  for (size_t i = graphml.find("<edge "); i != npos; i = graphml.find("<edge ", i + 1)) ++edges;
  EXPECT_EQ(nodes, 50u);
  EXPECT_EQ(edges, 100u);

  args = lattice;
  args.insert(args.end(), {"--network-file", (dir_ / "net.txt").string()});
  EXPECT_EQ(Drive(args).status, 2);
  args = lattice;
  args.insert(args.end(), {"--network-file", "/proc/veldaris.csv"});
  const Result failed = Drive(args);
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("/proc/veldaris.csv"), npos) << failed.err;
}

// Every number the driver writes is the same bytes after the process has
// switched to a locale with a decimal comma (run.json holds the result files'
// digests).
TEST_F(DriverTest, OutputsAreTheSameBytesInEveryLocale) {
  const auto outputs = [&](const std::string& sub) {
    std::vector<std::string> args = kSw50;
    args.insert(args.end(), {"--output-dir", (dir_ / sub).string(), "--network-file",
                             (dir_ / sub / "n.graphml").string(), "--picture", (dir_ / sub / "p.svg").string()});
    const Result r = Drive(args);
    EXPECT_EQ(r.status, 0) << r.err;
    std::string record = ReadFile(dir_ / sub / "run.json");
    record = record.substr(0, record.find("\"started\""));  // the digests included, the times not
    return std::vector<std::string>{r.out.substr(0, r.out.find("Result file")), record,
                                    ReadFile(dir_ / sub / "n.graphml"), ReadFile(dir_ / sub / "p.svg")};
  };
  const std::vector<std::string> plain = outputs("c");
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed";
  }
  const std::vector<std::string> german = outputs("de");
  std::setlocale(LC_ALL, "C");
  ASSERT_EQ(plain.size(), german.size());
  for (size_t i = 0; i < plain.size(); ++i) EXPECT_EQ(plain[i], german[i]) << i;
}

}  // namespace
