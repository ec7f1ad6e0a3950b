// Throughput of veldaris-sweep in runs per second with 1 and 2 worker threads
// (the argument), on the README's example grid with one replicate: 12 runs of
// N 200, S 8, G 3000, L 30. Each iteration makes the whole sweep in a fresh
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
    "network = \"small-world\"\ngroups = 200\nstrategies = 8\ngenerations = 3000\nconnectivity = [4, 8]\n"
    "length = 30\nrewiring = [0.0, 0.01, 0.05, 0.1, 0.29, 1.0]\nreplicates = 1\nseed = 20261206\n";

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
