// Throughput of veldaris-sweep in runs per second with 1 and 2 worker threads
// (the argument), on the README's example grid with one replicate: 12 runs of
// N 100, S 8, G 2000, K 8, L 20 (two network types x six temptations). Each iteration makes the whole sweep in a fresh
// directory; "runs/s" is the figure to compare between the two.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/sweep.h"

namespace veldaris::cli {
namespace {

constexpr int kRuns = 12;
constexpr const char* kSweep =
    "network = [\"small-world\", \"scale-free\"]\ngroups = 100\nstrategies = 8\ngenerations = 2000\n"
    "connectivity = 8\nlength = 20\nrewiring = 0.1\ntemptation = [4, 5, 6, 7, 8, 10]\nreplicates = 1\n"
    "seed = 20261207\n";

void BM_SweepRunsPerSecond(benchmark::State& state) {
  std::string pattern = (std::filesystem::temp_directory_path() / "veldaris_sweep_bench_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  const std::filesystem::path dir = pattern;
  std::ofstream(dir / "sweep.toml") << kSweep;
  const std::string jobs = std::to_string(state.range(0));
  int iteration = 0;
  for (auto _ : state) {
    const std::string out = (dir / std::to_string(iteration++)).string();
    std::vector<std::string> args = {
        "veldaris-sweep", "run", (dir / "sweep.toml").string(), "--out", out, "--jobs", jobs, "--quiet"};
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream text;
    if (RunSweepCommand(static_cast<int>(argv.size()), argv.data(), SweepStreams{text, text, false}) != 0) {
      state.SkipWithError(text.str().c_str());
      break;
    }
  }
  state.counters["runs/s"] =
      benchmark::Counter(static_cast<double>(kRuns) * state.iterations(), benchmark::Counter::kIsRate);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SweepRunsPerSecond)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

}  // namespace
}  // namespace veldaris::cli

BENCHMARK_MAIN();
