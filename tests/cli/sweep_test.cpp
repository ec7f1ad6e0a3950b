// veldaris-sweep: the same files whatever the threads, shards and
// interruptions, runs equal to veldaris-run's, refused sweep files, the
// statistics checked by hand, and the kills and file faults of a real child
// process.
#include "cli/sweep.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/driver.h"
#include "cli/sweep_plan.h"
#include "cli/sweep_pool.h"
#include "cli/sweep_store.h"
#include "cli/sweep_summary.h"
#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace veldaris::cli {
namespace {

using namespace cli_test;

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  if (!line.empty() && line.back() == ',') fields.emplace_back();
  return fields;
}

// The names in a directory, sorted and joined by spaces.
std::string Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : " ") + name;
  return joined;
}

const char* const kSweepFiles =
    "aggregate.csv aggregate.svg plan.csv results.sqlite runs-0-of-1.sqlite summary.csv sweep.toml";

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Four points x 3 replicates of short runs.
const char* const kSmallSweep = R"(# two run lengths and two connectivities
network = "small-world"
groups = 50
strategies = 4
generations = [100, 200]
connectivity = [4, 8]
length = 10
rewiring = 0.29
replicates = 3
seed = 20261206
)";

class SweepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "veldaris_sweep_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    WriteFile(dir_ / "small.toml", kSmallSweep);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The small sweep run in-process into dir_/name.
  Result SmallSweep(const std::string& name, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"run", (dir_ / "small.toml").string(), "--out", (dir_ / name).string(), "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Sweep(args);
  }

  // The sweep in dir_/name as today's main made it: runs/<run>/ with the
  // files of each run, no store.
  void MakeOldLayout(const std::string& name) {
    const fs::path out = dir_ / name;
    ASSERT_EQ(Sweep({"export", out.string(), "--out", (out / "runs").string()}).status, 0);
    for (const auto& entry : fs::directory_iterator(out)) {
      if (entry.path().extension() == ".sqlite") fs::remove(entry.path());
    }
  }

  fs::path dir_;
};

// The plan's rows by run number, each as its fields.
std::vector<std::vector<std::string>> PlanRows(const fs::path& dir) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : Lines(ReadFile(dir / "plan.csv"))) rows.push_back(Fields(line));
  rows.erase(rows.begin());
  return rows;
}

TEST_F(SweepTest, RunsEqualVeldarisRunsAndFilesAreTheSameWhateverJobsAndShards) {
  const Result one = SmallSweep("one", {"--jobs", "1"});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_NE(one.out.find("Collected 12 of 12 runs"), npos) << one.out;
  EXPECT_EQ(ReadFile(dir_ / "one" / "sweep.toml"), kSmallSweep);

  // Every run is what veldaris-run makes with the plan's parameters and seeds.
  const std::vector<std::vector<std::string>> plan = PlanRows(dir_ / "one");
  ASSERT_EQ(plan.size(), 12u);
  const Result exported = Sweep({"export", (dir_ / "one").string(), "--out", (dir_ / "exported").string()});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(exported.out, "Exported 12 of 12 runs into " + (dir_ / "exported").string() + "\n");
  // One store file, no file per run.
  EXPECT_EQ(Names(dir_ / "one"), kSweepFiles);
  for (const std::vector<std::string>& row : plan) {
    ASSERT_EQ(row.size(), 13u);
    const fs::path alone = dir_ / "alone" / row[0];
    const Result r = Drive({"--network", row[3],          "--groups",   row[4],           "--strategies",
                            row[5],      "--generations", row[6],       "--connectivity", row[7],
                            "--length",  row[8],          "--rewiring", row[9],           "--network-seed",
                            row[11],     "--run-seed",    row[12],      "--output-dir",   alone.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path exported = dir_ / "exported" / row[0];
    for (const char* file : {INITIAL_RESULT_FILE, ALL_RESULT_FILE}) {
      EXPECT_EQ(ReadFile(exported / file), ReadFile(alone / file)) << row[0] << " " << file;
    }
    EXPECT_NE(ReadFile(exported / "run.json").find("\"run_seed\": " + row[12] + ",\n"), npos);
  }
  // Grid order, then replicate; the last key varies fastest.
  EXPECT_EQ(plan[3][1], "1");
  EXPECT_EQ(plan[3][2], "0");
  EXPECT_EQ(plan[3][6] + "/" + plan[3][7], "100/8");
  EXPECT_EQ(plan[6][6] + "/" + plan[6][7], "200/4");

  const std::string summary = ReadFile(dir_ / "one" / "summary.csv");
  EXPECT_EQ(Lines(summary).size(), 13u);
  const Result two = SmallSweep("two", {"--jobs", "2"});
  ASSERT_EQ(two.status, 0) << two.err;
  EXPECT_EQ(ReadFile(dir_ / "two" / "summary.csv"), summary);
  EXPECT_EQ(ReadFile(dir_ / "two" / "aggregate.csv"), ReadFile(dir_ / "one" / "aggregate.csv"));
  EXPECT_EQ(ReadFile(dir_ / "two" / "aggregate.svg"), ReadFile(dir_ / "one" / "aggregate.svg"));

  // Two shards, the second one first: each makes its own runs only.
  const Result second = SmallSweep("sharded", {"--shard", "1/2", "--jobs", "2"});
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_NE(second.out.find("Shard 1/2: 6 of 6 runs finished; once every shard has finished: "), npos) << second.out;
  EXPECT_FALSE(fs::exists(dir_ / "sharded" / "summary.csv"));  // a shard never collects the sweep
  const Result early = Sweep({"export", (dir_ / "sharded").string(), "--runs", "0-1", "--out", (dir_ / "e").string()});
  EXPECT_EQ(early.status, 1);
  EXPECT_EQ(early.out, "Exported 1 of 2 runs into " + (dir_ / "e").string() + "\n");
  EXPECT_TRUE(fs::exists(dir_ / "e" / "1" / ALL_RESULT_FILE));
  EXPECT_FALSE(fs::exists(dir_ / "e" / "0"));
  ASSERT_EQ(SmallSweep("sharded", {"--shard", "0/2"}).status, 0);
  ASSERT_EQ(Sweep({"collect", (dir_ / "sharded").string()}).status, 0);
  EXPECT_EQ(ReadFile(dir_ / "sharded" / "summary.csv"), summary);
  EXPECT_TRUE(fs::exists(dir_ / "sharded" / "runs-0-of-2.sqlite"));
  EXPECT_TRUE(fs::exists(dir_ / "sharded" / "runs-1-of-2.sqlite"));

  // Run again: nothing left to make, the same summary.
  const Result again = SmallSweep("one");
  EXPECT_NE(again.out.find("12 already finished, making 0"), npos) << again.out;
  EXPECT_EQ(ReadFile(dir_ / "one" / "summary.csv"), summary);
}

// A run's seeds depend on its parameter values and replicate, not on its
// number, so that a grid can grow without changing the runs it had.
TEST_F(SweepTest, AddingAValueKeepsTheSeedsOfTheRunsThatWereThere) {
  const auto parsed =
      ParseSweepFile("rewiring = [0.0, 0.29]\nconnectivity = [4, 8]\nreplicates = 2\nseed = 5\n", "a.toml");
  const auto parsed_grown =
      ParseSweepFile("rewiring = [0.0, 0.1, 0.29]\nconnectivity = [4, 6, 8]\nreplicates = 3\nseed = 5\n", "b.toml");
  ASSERT_TRUE(parsed.ok() && parsed_grown.ok());
  const SweepPlan* plan = &parsed.value();
  const SweepPlan* grown = &parsed_grown.value();
  // A run's identity: its parameter values and replicate number.
  const auto identity = [](const SweepPlan& p, const PlannedRun& run) {
    std::string key;
    for (int32_t k = 0; k < SWEEP_KEY_COUNT; ++k) key += ParameterText(p.points[run.point], k) + ",";
    return key + std::to_string(run.replicate);
  };
  std::map<std::string, std::pair<uint32_t, uint32_t>> grown_seeds;
  for (const PlannedRun& run : grown->runs) grown_seeds[identity(*grown, run)] = {run.seeds.network, run.seeds.run};
  for (const PlannedRun& run : plan->runs) {
    const std::string key = identity(*plan, run);
    ASSERT_EQ(grown_seeds.count(key), 1u) << key;
    EXPECT_EQ(grown_seeds[key], std::make_pair(run.seeds.network, run.seeds.run)) << key;
  }

  // All seeds differ, and another base seed changes them all.
  std::set<uint32_t> seeds;
  for (const PlannedRun& run : grown->runs) {
    seeds.insert(run.seeds.network);
    seeds.insert(run.seeds.run);
  }
  EXPECT_EQ(seeds.size(), 2 * grown->runs.size());
  const auto reseeded =
      ParseSweepFile("rewiring = [0.0, 0.29]\nconnectivity = [4, 8]\nreplicates = 2\nseed = 6\n", "c.toml");
  ASSERT_TRUE(reseeded.ok());
  for (const PlannedRun& run : reseeded.value().runs) EXPECT_EQ(seeds.count(run.seeds.network), 0u);
}

TEST_F(SweepTest, RefusesBadSweepFilesWithoutCreatingTheDirectory) {
  const std::string valid = "replicates = 2\nseed = 1\n";
  const std::vector<std::pair<std::string, std::vector<std::string>>> bad = {
      {"conectivity = 4\n" + valid, {"unknown key \"conectivity\""}},
      {"groups = \"50\"\n" + valid, {"groups must be a whole number", "the string \"50\""}},
      {"rewiring = [0.1, \"0.2\"]\n" + valid, {"rewiring must be a number", "the string \"0.2\""}},
      {"network = 1\n" + valid, {"network must be a string", "the integer 1"}},
      {"groups = 2\n" + valid, {"groups must be a whole number from 3 to 500 (got \"2\")"}},
      {"rewiring = 1.5\n" + valid, {"rewiring must be a probability from 0 to 1.0 (got \"1.5\")"}},
      {"network = \"ring\"\n" + valid, {"network must be small-world or scale-free (got \"ring\")"}},
      {"generations = [1000, 995]\n" + valid, {"generations must be a multiple of 10", "(got \"995\")"}},
      {"rewiring = []\n" + valid, {"rewiring must be", "an empty array"}},
      {"groups = [5, 50]\nconnectivity = 8\n" + valid,
       {"connectivity must be an even number from 2 to groups - 1 (4 here) (got \"8\") in the point groups = 5"}},
      {"rewiring = [0.1, 0.10]\n" + valid, {"rewiring lists 0.1 and 0.10, the same value"}},
      {"groups = 50\n", {"replicates is missing"}},
      {"replicates = 2\n", {"seed is missing"}},
      {"replicates = 0\nseed = 1\n", {"replicates must be a whole number from 1 to 100000 (got \"0\")"}},
      {"replicates = 2\nseed = -1\n", {"seed must be a whole number from 0"}},
      {"[groups]\nn = 5\n" + valid, {"groups must be a whole number", "a table"}},
      {"groups = 50\ngroups = 60\n" + valid, {"bad.toml: line 2, column "}},
      {"groups = [4\n" + valid, {"bad.toml: line "}},
      // Characters the TOML parser cannot look at where it expects white
      // space (it would run into undefined behaviour) are refused as it
      // refuses any character out of place.
      {"# caf\xC3\xA9\ngroups = 50\xC3\xA9\n" + valid, {"bad.toml: line 2, column 12:"}},
      {"network = \"sm\xC3\xA9\"\n" + valid, {"network must be small-world or scale-free (got \"sm\xEF\xBF\xBD\")"}},
      {"network = \"\"\"a\\  \n\n\t\xEF\xB5\xBF\"\"\"\n" + valid, {"(got \"a\xEF\xBF\xBD\")"}},
      {std::string("groups = 222w") + '\0' + "''\xCE\x97\n" + valid, {"bad.toml: line 1, column 13:"}},
  };
  const fs::path out = dir_ / "out";
  for (const auto& [text, expected] : bad) {
    WriteFile(dir_ / "bad.toml", text);
    const Result r = Sweep({"run", (dir_ / "bad.toml").string(), "--out", out.string()});
    EXPECT_EQ(r.status, 2) << text;
    for (const std::string& part : expected) EXPECT_NE(r.err.find(part), npos) << text << "\n" << r.err;
    EXPECT_EQ(Count(r.err, "\n"), 1u) << r.err;
    EXPECT_FALSE(fs::exists(out)) << text;
  }
  EXPECT_EQ(Sweep({"run", (dir_ / "missing.toml").string(), "--out", out.string()}).status, 2);

  // Bad command lines.
  const std::string small = (dir_ / "small.toml").string();
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"run", small, "--out", out.string(), "--jobs", "0"},
                                             {"run", small, "--out", out.string(), "--jobs", ""},
                                             {"run", small, "--out", out.string(), "--jobs", "0x2"},
                                             {"run", small, "--out", out.string(), "--shard", "2/2"},
                                             {"run", small, "--out", out.string(), "--shard", "1"},
                                             {"run", small, "--out", out.string(), "--shard", "-1/2"},
                                             {"run", small},
                                             {"frobnicate"},
                                             {"collect", dir_.string()}}) {
    const Result r = Sweep(args);
    EXPECT_EQ(r.status, 2) << args.back() << " " << r.err;
    EXPECT_FALSE(fs::exists(out));
  }
}

TEST_F(SweepTest, ADirectoryHoldsOneSweep) {
  const fs::path out = dir_ / "out";
  WriteFile(dir_ / "one.toml", "generations = 10\ngroups = 10\nconnectivity = 2\nreplicates = 2\nseed = 1\n");
  ASSERT_EQ(Sweep({"run", (dir_ / "one.toml").string(), "--out", out.string(), "--quiet"}).status, 0);
  const std::string summary = ReadFile(out / "summary.csv");

  // The same sweep written differently is the same sweep.
  WriteFile(dir_ / "same.toml", "# again\nseed = 1\nreplicates = 2\ngroups = 10\nconnectivity = 2\ngenerations = 10\n");
  const Result same = Sweep({"run", (dir_ / "same.toml").string(), "--out", out.string()});
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_NE(same.out.find("2 already finished, making 0"), npos) << same.out;

  WriteFile(dir_ / "other.toml", "generations = 10\ngroups = 10\nconnectivity = 2\nreplicates = 2\nseed = 2\n");
  const Result other = Sweep({"run", (dir_ / "other.toml").string(), "--out", out.string()});
  EXPECT_EQ(other.status, 2);
  EXPECT_NE(other.err.find("holds another sweep"), npos) << other.err;
  EXPECT_EQ(ReadFile(out / "sweep.toml"), ReadFile(dir_ / "one.toml"));
  EXPECT_EQ(ReadFile(out / "summary.csv"), summary);

  fs::create_directories(dir_ / "busy");
  WriteFile(dir_ / "busy" / "notes.txt", "mine");
  const Result busy = Sweep({"run", (dir_ / "one.toml").string(), "--out", (dir_ / "busy").string()});
  EXPECT_EQ(busy.status, 2);
  EXPECT_NE(busy.err.find("holds no sweep"), npos) << busy.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "busy"), {}), 1);
}

// The progress line goes to a terminal only, and --quiet silences it.
TEST_F(SweepTest, ProgressOnlyOnATerminal) {
  WriteFile(dir_ / "tiny.toml", "generations = 10\ngroups = 10\nconnectivity = 2\nreplicates = 3\nseed = 1\n");
  const auto sweep = [&](const std::string& out, bool terminal, bool quiet) {
    std::vector<std::string> args = {"veldaris-sweep", "run", (dir_ / "tiny.toml").string(), "--out",
                                     (dir_ / out).string()};
    if (quiet) args.push_back("--quiet");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream text;
    std::ostringstream err;
    EXPECT_EQ(RunSweepCommand(static_cast<int>(argv.size()), argv.data(), SweepStreams{text, err, terminal}), 0);
    return err.str();
  };
  const std::string shown = sweep("a", true, false);
  EXPECT_NE(shown.find("\r3/3 runs, "), npos) << shown;
  EXPECT_NE(shown.find(" runs/s"), npos) << shown;
  EXPECT_EQ(sweep("b", true, true), "");
  EXPECT_EQ(sweep("c", false, false), "");
}

// A directory of runs/<run>/ (before the store) still collects and resumes;
// what an interrupted sweep left there is never counted, and a later run
// makes it again: half-written directories, a run.json of another run, a
// result file changed after the run, a name with a leading zero.
TEST_F(SweepTest, TheOldLayoutStillCollectsAndResumes) {
  ASSERT_EQ(SmallSweep("ref").status, 0);
  const std::string summary = ReadFile(dir_ / "ref" / "summary.csv");
  fs::copy(dir_ / "ref", dir_ / "hurt", fs::copy_options::recursive);
  MakeOldLayout("hurt");
  const fs::path runs = dir_ / "hurt" / "runs";
  ASSERT_EQ(Sweep({"collect", (dir_ / "hurt").string()}).status, 0);
  EXPECT_EQ(ReadFile(dir_ / "hurt" / "summary.csv"), summary);
  fs::rename(runs / "3", runs / "03");
  fs::rename(runs / "4", runs / "4.partial-0123456789abcdef");
  fs::remove(runs / "5" / "run.json");
  fs::copy_file(runs / "7" / "run.json", runs / "6" / "run.json", fs::copy_options::overwrite_existing);
  WriteFile(runs / "8" / ALL_RESULT_FILE, "Gen\r\n");
  fs::remove(runs / "9" / INITIAL_RESULT_FILE);

  const Result collected = Sweep({"collect", (dir_ / "hurt").string()});
  EXPECT_EQ(collected.status, 0) << collected.err;
  EXPECT_NE(collected.out.find("Collected 6 of 12 runs"), npos) << collected.out;
  EXPECT_EQ(Count(collected.err, "is not counted"), 4u) << collected.err;
  EXPECT_EQ(Lines(ReadFile(dir_ / "hurt" / "summary.csv")).size(), 7u);

  const Result again = SmallSweep("hurt");
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find("6 already finished, making 6"), npos) << again.out;
  EXPECT_EQ(ReadFile(dir_ / "hurt" / "summary.csv"), summary);
  EXPECT_TRUE(fs::exists(runs / "4.partial-0123456789abcdef"));  // what a user has stays
}

// Hand computation with the Student's t table (two-sided 95%: 12.7062 for one
// degree of freedom, 4.3027 for two, 3.1824 for three).
TEST(SweepStatistics, MeansDeviationsAndIntervalsByHand) {
  const SampleStats four = Summarise({1.0, 2.0, 3.0, 4.0});
  EXPECT_EQ(four.n, 4);
  EXPECT_DOUBLE_EQ(four.mean, 2.5);
  EXPECT_NEAR(four.sd, 1.290994, 1e-6);  // sqrt(5 / 3)
  EXPECT_NEAR(four.ci95_low, 2.5 - 3.1824 * 1.290994 / 2, 1e-4);
  EXPECT_NEAR(four.ci95_high, 2.5 + 3.1824 * 1.290994 / 2, 1e-4);
  const SampleStats two = Summarise({0.0, 1.0});
  EXPECT_NEAR(two.ci95_low, 0.5 - 12.7062 * 0.707107 / 1.414214, 1e-4);
  EXPECT_NEAR(two.ci95_high, 6.8531, 1e-4);
  const SampleStats same = Summarise({3.0, 3.0, 3.0});
  EXPECT_EQ(same.sd, 0.0);
  EXPECT_EQ(same.ci95_low, 3.0);
  EXPECT_EQ(Summarise({7.0}).mean, 7.0);
  EXPECT_EQ(Summarise({}).n, 0);

  // aggregate.csv of two points: one with three finished replicates, one with one.
  const auto parsed = ParseSweepFile("rewiring = [0.0, 0.5]\nreplicates = 3\nseed = 1\n", "tiny.toml");
  ASSERT_TRUE(parsed.ok());
  const SweepPlan* plan = &parsed.value();
  FinishedRuns finished(plan->runs.size());
  const double c_tail[] = {2.0, 2.5, 4.0, 9.0};
  for (int i = 0; i < 4; ++i) {
    RunRecord r;
    r.outcomes.c_avg_tail = c_tail[i];
    r.outcomes.d_avg_tail = 1.0;
    r.metrics.clustering_coefficient = 0.5;
    finished[static_cast<size_t>(i)] = r;
  }
  const std::vector<std::string> lines = Lines(AggregateCsv(*plan, AggregatePoints(*plan, finished)));
  ASSERT_EQ(lines.size(), 3u);
  const std::vector<std::string> header = Fields(lines[0]);
  const auto column = [&](const std::string& name) {
    return static_cast<size_t>(std::find(header.begin(), header.end(), name) - header.begin());
  };
  ASSERT_EQ(header.size(), 10u + 6 * 4);
  const std::vector<std::string> first = Fields(lines[1]);
  const std::vector<std::string> second = Fields(lines[2]);
  ASSERT_EQ(first.size(), header.size());
  ASSERT_EQ(second.size(), header.size());
  EXPECT_EQ(first[column("rewiring")], "0");
  EXPECT_EQ(first[column("n")], "3");
  EXPECT_NEAR(std::stod(first[column("c_avg_tail_mean")]), 8.5 / 3, 1e-12);
  EXPECT_NEAR(std::stod(first[column("c_avg_tail_sd")]), 1.040833, 1e-6);  // sqrt(((2 - m)^2 + ...) / 2)
  EXPECT_NEAR(std::stod(first[column("c_avg_tail_ci95_low")]), 8.5 / 3 - 4.3027 * 1.040833 / 1.732051, 1e-4);
  EXPECT_NEAR(std::stod(first[column("c_avg_tail_ci95_high")]), 8.5 / 3 + 4.3027 * 1.040833 / 1.732051, 1e-4);
  EXPECT_EQ(first[column("clustering_coefficient_sd")], "0");
  EXPECT_EQ(second[column("rewiring")], "0.5");
  EXPECT_EQ(second[column("n")], "1");
  EXPECT_EQ(second[column("c_avg_tail_mean")], "9");
  EXPECT_EQ(second[column("c_avg_tail_sd")], "");
  EXPECT_EQ(second[column("c_avg_tail_ci95_low")], "");
  EXPECT_EQ(second[column("d_avg_tail_ci95_high")], "");
}

// Elements balanced and properly nested, attributes quoted: enough of XML's
// well-formedness for what the canvas writes.
bool WellFormed(const std::string& xml) {
  std::vector<std::string> open;
  size_t at = xml.find("?>");
  if (xml.rfind("<?xml ", 0) != 0 || at == npos) return false;
  for (at = xml.find('<', at); at != npos; at = xml.find('<', at + 1)) {
    const size_t end = xml.find('>', at);
    if (end == npos) return false;
    const std::string tag = xml.substr(at + 1, end - at - 1);
    if (Count(tag, "\"") % 2 != 0 || tag.find('<') != npos) return false;
    if (tag[0] == '/') {
      if (open.empty() || open.back() != tag.substr(1)) return false;
      open.pop_back();
    } else if (tag.back() != '/') {
      open.push_back(tag.substr(0, tag.find(' ')));
    }
  }
  return open.empty();
}

TEST_F(SweepTest, AggregatePlotHasEveryPointAndBar) {
  ASSERT_EQ(SmallSweep("out").status, 0);
  const std::string svg = ReadFile(dir_ / "out" / "aggregate.svg");
  EXPECT_TRUE(WellFormed(svg));
  // connectivity varies as much as generations and is on the x axis (the
  // later key wins a tie); one line per number of generations. 4 points in
  // each of the two panels, each with a bar (3 replicates), and a legend
  // entry per line.
  EXPECT_EQ(Count(svg, "<g class=\"point\">"), 8u);
  EXPECT_EQ(Count(svg, "<g class=\"bar\">"), 8u);
  EXPECT_EQ(Count(svg, "<g class=\"legend\">"), 2u);
  EXPECT_NE(svg.find(">connectivity</text>"), npos);
  EXPECT_NE(svg.find(">generations 100</text>"), npos);
  EXPECT_NE(svg.find(">Mutual cooperation: C_Avg / L</text>"), npos);

  // A point with one finished replicate has its mean but no bar; one with none, nothing.
  MakeOldLayout("out");
  fs::remove_all(dir_ / "out" / "runs" / "0");
  fs::remove_all(dir_ / "out" / "runs" / "1");
  for (const char* run : {"3", "4", "5"}) fs::remove_all(dir_ / "out" / "runs" / run);
  ASSERT_EQ(Sweep({"collect", (dir_ / "out").string()}).status, 0);
  const std::string fewer = ReadFile(dir_ / "out" / "aggregate.svg");
  EXPECT_TRUE(WellFormed(fewer));
  EXPECT_EQ(Count(fewer, "<g class=\"point\">"), 6u);
  EXPECT_EQ(Count(fewer, "<g class=\"bar\">"), 4u);
}

TEST_F(SweepTest, FilesAreTheSameBytesInEveryLocale) {
  ASSERT_EQ(SmallSweep("c").status, 0);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed";
  }
  const Result german = SmallSweep("de", {"--jobs", "2"});
  const Result collected = Sweep({"collect", (dir_ / "c").string()});  // reads the C locale's run.json back
  std::setlocale(LC_ALL, "C");
  ASSERT_EQ(german.status, 0) << german.err;
  ASSERT_EQ(collected.status, 0) << collected.err;
  for (const char* file : {"plan.csv", "summary.csv", "aggregate.csv", "aggregate.svg"}) {
    EXPECT_EQ(ReadFile(dir_ / "de" / file), ReadFile(dir_ / "c" / file)) << file;
  }
}

// --- A real veldaris-sweep process --------------------------------------------

struct Child {
  pid_t pid;
};

// Starts veldaris-sweep with args, its output in files beside out; with a
// file size limit when limit > 0.
Child Start(const std::vector<std::string>& args, const fs::path& log, rlim_t limit = 0) {
  std::vector<std::string> all = {VELDARIS_SWEEP_EXE};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string log_path = log.string();
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(fd, STDOUT_FILENO);
    dup2(fd, STDERR_FILENO);
    if (limit > 0) {
      signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG
      const rlimit size{limit, limit};
      setrlimit(RLIMIT_FSIZE, &size);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  return Child{pid};
}

int Wait(const Child& child) {
  int status = 0;
  waitpid(child.pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The rows of a store file changed with one SQL statement.
void ChangeStore(const fs::path& store, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(store.string().c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

const char* const kKillSweep =
    "groups = 50\nstrategies = 8\ngenerations = 500\nconnectivity = [4, 8]\nrewiring = [0.1, 0.29]\n"
    "replicates = 3\nseed = 77\n";

// Killed with SIGKILL at several moments, then run again: the store a killed
// writer left is taken over at once on this host and always reads, and the
// final files equal an uninterrupted sweep's.
TEST_F(SweepTest, AKilledSweepResumesToTheSameSummary) {
  WriteFile(dir_ / "kill.toml", kKillSweep);
  ASSERT_EQ(Sweep({"run", (dir_ / "kill.toml").string(), "--out", (dir_ / "ref").string(), "--quiet"}).status, 0);
  const fs::path out = dir_ / "killed";
  const std::vector<std::string> args = {"run", (dir_ / "kill.toml").string(), "--out", out.string(), "--jobs", "2"};
  int killed = 0;
  for (const int ms : {0, 15, 40, 90, 160, 260}) {
    const Child child = Start(args, dir_ / "log.txt");
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    kill(child.pid, SIGKILL);
    killed += Wait(child) == 128 + SIGKILL ? 1 : 0;
    if (fs::exists(out / "sweep.toml")) {
      const Result collected = Sweep({"collect", out.string()});
      EXPECT_EQ(collected.status, 0) << ms << ": " << collected.err;
      EXPECT_EQ(Count(collected.err, "not counted"), 0u) << collected.err;
    }
  }
  EXPECT_GE(killed, 3);  // the others may have finished before the kill

  const Child last = Start(args, dir_ / "log.txt");
  ASSERT_EQ(Wait(last), 0) << ReadFile(dir_ / "log.txt");
  for (const char* file : {"plan.csv", "summary.csv", "aggregate.csv", "aggregate.svg"}) {
    EXPECT_EQ(ReadFile(out / file), ReadFile(dir_ / "ref" / file)) << file;
  }
  // No claim or journal is left (a temporary file of a plan killed just now
  // is left to a later run, once its writer is surely gone).
  for (const auto& entry : fs::directory_iterator(out)) {
    if (entry.path().extension() == ".tmp") fs::remove(entry.path());
  }
  EXPECT_EQ(Names(out), kSweepFiles);
}

// One writer per store file: a second process on the same shard is refused
// at once while the first goes on; another shard runs beside it. A claim of
// another host is refused until it goes stale; one of a process of this
// host that has ended is taken over at once.
TEST_F(SweepTest, OneWriterPerShardAndStaleClaimsAreTakenOver) {
  WriteFile(dir_ / "kill.toml", kKillSweep);
  const fs::path out = dir_ / "out";
  const fs::path claim = out / "runs-0-of-1.sqlite.claim";
  const Child first =
      Start({"run", (dir_ / "kill.toml").string(), "--out", out.string(), "--jobs", "1", "--quiet"}, dir_ / "log.txt");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!fs::exists(claim) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const Result second = Sweep({"run", (dir_ / "kill.toml").string(), "--out", out.string(), "--quiet"});
  const Result beside =
      Sweep({"run", (dir_ / "kill.toml").string(), "--out", out.string(), "--shard", "1/2", "--quiet"});
  EXPECT_EQ(Wait(first), 0) << ReadFile(dir_ / "log.txt");
  EXPECT_EQ(second.status, 2);
  std::ostringstream shows;
  shows << '"' << claim.string() << "\" shows that process " << first.pid;
  EXPECT_NE(second.err.find(shows.str()), npos) << second.err;
  EXPECT_EQ(beside.status, 0) << beside.out << beside.err;
  const std::string summary = ReadFile(out / "summary.csv");
  EXPECT_EQ(Lines(summary).size(), 13u);

  const std::vector<std::string> again = {"run", (dir_ / "kill.toml").string(), "--out", out.string(), "--quiet"};
  WriteFile(claim, "host far-away-node\npid 4242\nstarted 2026-12-07T10:00:00.000Z\n");
  const Result refused = Sweep(again);
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("process 4242 on host far-away-node since 2026-12-07T10:00:00.000Z"), npos) << refused.err;
  fs::last_write_time(claim, fs::file_time_type::clock::now() - std::chrono::seconds(CLAIM_STALE_SECONDS - 20));
  EXPECT_EQ(Sweep(again).status, 2);  // not yet stale
  fs::last_write_time(claim, fs::file_time_type::clock::now() - std::chrono::seconds(CLAIM_STALE_SECONDS + 20));
  const Result taken = Sweep(again);
  EXPECT_EQ(taken.status, 0) << taken.err;
  EXPECT_FALSE(fs::exists(claim));

  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::ostringstream dead;
  dead << "host " << host << "\npid " << gone << "\nstarted now\n";
  WriteFile(claim, dead.str());
  const Result after_death = Sweep(again);
  EXPECT_EQ(after_death.status, 0) << after_death.err;
  EXPECT_EQ(ReadFile(out / "summary.csv"), summary);
}

// collect counts only what it can check: a record edited in the store does
// not change the outcomes (they come from the series), a record of another
// program and a damaged series are not counted and are made again. What the
// sweep made but cannot be read fails collect and leaves the summary alone;
// a summary file that cannot be written is reported.
TEST_F(SweepTest, CollectChecksTheStoreAndNeverLosesASummary) {
  ASSERT_EQ(SmallSweep("ref").status, 0);
  const std::string summary = ReadFile(dir_ / "ref" / "summary.csv");
  fs::copy(dir_ / "ref", dir_ / "out", fs::copy_options::recursive);
  const fs::path out = dir_ / "out";
  const fs::path store = out / "runs-0-of-1.sqlite";
  ChangeStore(store, "UPDATE runs SET record = json_set(record, '$.outcomes.c_avg_tail', 99.5) WHERE run = 0");
  ChangeStore(store, "UPDATE runs SET record = json_set(record, '$.program', 'veldaris-run') WHERE run = 1");
  ChangeStore(store, "UPDATE runs SET record = json_set(record, '$.version', '1.24') WHERE run = 2");
  ChangeStore(store, "UPDATE runs SET averages = zeroblob(length(averages)) WHERE run = 3");
  ChangeStore(store, "UPDATE runs SET all_generations = 'Gen' WHERE run = 4");
  const Result collected = Sweep({"collect", out.string()});
  EXPECT_EQ(collected.status, 0) << collected.err;
  EXPECT_NE(collected.out.find("Collected 8 of 12 runs"), npos) << collected.out;
  EXPECT_NE(collected.err.find("run 1 in \"" + store.string() +
                               "\" is not counted: its record was made by veldaris-run 1.25a, not by this"),
            npos)
      << collected.err;
  EXPECT_NE(collected.err.find("was made by veldaris-sweep 1.24"), npos) << collected.err;
  EXPECT_NE(collected.err.find("run 3 in \"" + store.string() + "\" is not counted: its C_Avg and D_Avg series"), npos);
  EXPECT_NE(collected.err.find("Veldaris_Result_All.csv differs from the file the run made"), npos);
  const Result again = SmallSweep("out");
  EXPECT_NE(again.out.find("8 already finished, making 4"), npos) << again.out;
  EXPECT_EQ(ReadFile(out / "summary.csv"), summary);

  // runs/ not a directory, then the store gone: exit 1, nothing rewritten.
  WriteFile(out / "runs", "not a directory");
  const Result not_directory = Sweep({"collect", out.string()});
  EXPECT_EQ(not_directory.status, 1);
  EXPECT_NE(not_directory.err.find("cannot read \"" + (out / "runs").string() + "\""), npos) << not_directory.err;
  fs::remove(out / "runs");
  fs::remove(store);
  const Result no_runs = Sweep({"collect", out.string()});
  EXPECT_EQ(no_runs.status, 1);
  EXPECT_NE(no_runs.err.find("but its summary.csv lists 12 runs; the summary files are left as they were"), npos)
      << no_runs.err;
  EXPECT_EQ(ReadFile(out / "summary.csv"), summary);

  fs::copy_file(dir_ / "ref" / "runs-0-of-1.sqlite", store);
  fs::remove(out / "aggregate.csv");
  fs::create_directory(out / "aggregate.csv");
  const Result unwritable = Sweep({"collect", out.string()});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_EQ(unwritable.out, "Collected 12 of 12 runs into " + (out / "summary.csv").string() + ", " +
                                (out / "aggregate.svg").string() + " and " + (out / "results.sqlite").string() +
                                "; not into " + (out / "aggregate.csv").string() + "\n");
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELDARIS_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VELDARIS_SANITIZED 1
#endif
#endif

// Where every fcntl lock fails (a preloaded library; plain SQLite reports
// "database is locked" there), shards run, resume and collect as anywhere.
TEST_F(SweepTest, RunsWhereFileLocksFail) {
#if !defined(VELDARIS_FCNTL_SHIM) || defined(VELDARIS_SANITIZED)
  GTEST_SKIP() << "needs the preloaded library, which a sanitizer's runtime does not allow";
#else
  ASSERT_EQ(SmallSweep("ref").status, 0);
  const fs::path out = dir_ / "nfs";
  const auto under_shim = [&](std::vector<std::string> args) {
    setenv("LD_PRELOAD", VELDARIS_FCNTL_SHIM, 1);
    const Child child = Start(args, dir_ / "log.txt");
    unsetenv("LD_PRELOAD");
    return Wait(child);
  };
  const std::string small = (dir_ / "small.toml").string();
  EXPECT_EQ(under_shim({"run", small, "--out", out.string(), "--shard", "0/2", "--quiet"}), 0);
  EXPECT_EQ(under_shim({"run", small, "--out", out.string(), "--shard", "1/2", "--quiet"}), 0);
  EXPECT_EQ(under_shim({"run", small, "--out", out.string(), "--shard", "1/2", "--quiet"}), 0);
  EXPECT_EQ(under_shim({"collect", out.string()}), 0);
  const std::string log = ReadFile(dir_ / "log.txt");
  EXPECT_NE(log.find("shard 1/2: 6 runs; 6 already finished, making 0"), npos) << log;
  EXPECT_EQ(ReadFile(out / "summary.csv"), ReadFile(dir_ / "ref" / "summary.csv")) << log;
#endif
}

// A kill while the directory was planned leaves temporary files, which the
// next run removes once their writer is gone.
TEST_F(SweepTest, LeftoversOfAKilledPlanGo) {
  ASSERT_EQ(SmallSweep("out").status, 0);
  const fs::path leftover = dir_ / "out" / "plan.csv.999999.0123456789abcdef.tmp";
  WriteFile(leftover, "run,po");
  fs::last_write_time(leftover, fs::file_time_type::clock::now() - std::chrono::minutes(5));
  ASSERT_EQ(SmallSweep("out").status, 0);
  EXPECT_FALSE(fs::exists(leftover));
}

// The store's writer: runs finished within a second are committed together,
// a run finished a second after the last commit at once; a claim taken over
// by another process ends the writing.
TEST_F(SweepTest, StoreWriterCommitsGroupsAndStopsWhenItsClaimIsLost) {
  const fs::path store = dir_ / StoreFileName(0, 1);
  Outcome<std::unique_ptr<StoreWriter>> opened = StoreWriter::Open(store);
  ASSERT_TRUE(opened.ok()) << opened.failure().Message();
  std::unique_ptr<StoreWriter> writer = std::move(opened.value());
  const auto stored = [&] {
    std::vector<int64_t> runs;
    std::optional<ClaimHolder> holder;
    EXPECT_TRUE(ReadStore(
                    store, [&](StoredRun&& run) { runs.push_back(run.run); }, &holder)
                    .ok());
    return runs;
  };
  const auto run = [](int64_t number) {
    StoredRun r;
    r.run = number;
    r.record = "{}";
    return r;
  };
  EXPECT_TRUE(writer->Add(run(0)).ok());
  EXPECT_EQ(stored(), std::vector<int64_t>{});  // waits for the others of its second
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_TRUE(writer->Add(run(1)).ok());
  EXPECT_EQ(stored(), (std::vector<int64_t>{0, 1}));
  EXPECT_TRUE(writer->Renew());

  WriteFile(store.string() + CLAIM_SUFFIX, "host elsewhere\npid 7\nstarted now\n");
  EXPECT_FALSE(writer->Renew());
  EXPECT_TRUE(writer->Add(run(2)).ok());
  const Status flushed = writer->Flush();
  ASSERT_FALSE(flushed.ok());
  EXPECT_NE(flushed.failure().Message().find("was taken over by another process"), npos);
  EXPECT_EQ(writer->Lost(), 1u);
  writer.reset();
  EXPECT_EQ(ReadFile(store.string() + CLAIM_SUFFIX), "host elsewhere\npid 7\nstarted now\n");  // left to its owner
}

// Without a terminal a plain line per interval (here every tick).
TEST(SweepProgress, PlainLinesForALog) {
  std::ostringstream log;
  Progress progress(log, Progress::Mode::kLog, 4, std::chrono::seconds(0));
  progress.Tick();
  progress.RunDone();
  progress.Tick();
  const std::vector<std::string> lines = Lines(log.str());
  ASSERT_EQ(lines.size(), 2u) << log.str();
  EXPECT_EQ(lines[0], "veldaris-sweep: 0/4 runs, 0.00 runs/s");
  EXPECT_EQ(lines[1].rfind("veldaris-sweep: 1/4 runs, ", 0), 0u) << lines[1];
  EXPECT_NE(lines[1].find(" runs/s, ETA 0:"), npos) << lines[1];
  std::ostringstream quiet;
  Progress silent(quiet, Progress::Mode::kQuiet, 4, std::chrono::seconds(0));
  silent.Tick();
  EXPECT_EQ(quiet.str(), "");
}

// A store that cannot grow stops the sweep with the reason; a later run makes
// the missing runs.
TEST_F(SweepTest, AStoreThatCannotBeWrittenIsReported) {
  WriteFile(dir_ / "fsize.toml",
            "groups = 50\nstrategies = 4\ngenerations = [30, 1000]\nconnectivity = 4\n"
            "replicates = 2\nseed = 3\n");
  const fs::path out = dir_ / "out";
  const std::vector<std::string> args = {"run", (dir_ / "fsize.toml").string(), "--out", out.string(), "--jobs", "2"};
  const Child limited = Start(args, dir_ / "log.txt", 40000);
  EXPECT_EQ(Wait(limited), 1);
  const std::string log = ReadFile(dir_ / "log.txt");
  EXPECT_NE(log.find("cannot write \"" + (out / "runs-0-of-1.sqlite").string() + "\""), npos) << log;
  EXPECT_NE(log.find("runs were not stored"), npos) << log;

  const Child free = Start(args, dir_ / "log.txt");
  EXPECT_EQ(Wait(free), 0) << ReadFile(dir_ / "log.txt");
  EXPECT_EQ(Lines(ReadFile(out / "summary.csv")).size(), 5u);
}

}  // namespace
}  // namespace veldaris::cli
