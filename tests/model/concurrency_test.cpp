// Simulations are values: several of them, in one process, run side by side
// on threads or interleaved batch by batch on one thread, and each still
// produces exactly its reference files.
#include <thread>

#include "model_test_support.h"

namespace veldaris::test {
namespace {

struct GoldenCase {
  const char* name;
  ParameterChoice choice;
  uint32_t network_seed, run_seed;
};

const GoldenCase kCases[] = {
    {"sw50", {SMALL_WORLD, 50, 8, 1000, 8, 10, 0.1}, 1234567, 1234568},
    {"lattice", {SMALL_WORLD, 50, 4, 1000, 4, 10, 0.0}, 42, 43},
    {"sf50", {SCALE_FREE, 50, 4, 1000, 4, 10, 0.0}, 777, 778},
};

std::filesystem::path Golden(const GoldenCase& c) {
  return std::filesystem::path(VELDARIS_TEST_DATA_DIR) / "golden" / c.name;
}

// One simulation of its own, set up as the window sets it up, with its result
// files in a directory of its own.
struct GoldenRun {
  GoldenRun(const GoldenCase& c, const std::filesystem::path& dir) : golden(c) {
    std::filesystem::create_directories(dir);
    SetResultDirectory(files, dir.c_str());
    ApplyDefaultParameters(*sim);
    SetParameters(*sim, c.choice, c.network_seed);
    BuildAndMeasureNetwork(*sim, c.network_seed);
  }
  const GoldenCase& golden;
  SimulationPtr sim = NewSimulation();
  ResultFiles files{};
};

void ExpectGoldenFiles(const GoldenRun& run) {
  for (const char* file : {INITIAL_RESULT_FILE, ALL_RESULT_FILE}) {
    EXPECT_EQ(ReadFile(std::filesystem::path(run.files.directory) / file), ReadFile(Golden(run.golden) / file))
        << run.golden.name << " " << file;
  }
}

using ModelConcurrency = ModelTest;

TEST_F(ModelConcurrency, ThreeSimulationsOnThreeThreads) {
  std::vector<std::unique_ptr<GoldenRun>> runs;
  for (const GoldenCase& c : kCases) runs.push_back(std::make_unique<GoldenRun>(c, dir_ / c.name));
  std::vector<std::thread> threads;
  for (auto& run : runs) {
    threads.emplace_back([&run] { RunToCompletion(*run->sim, run->golden.run_seed, run->files); });
  }
  for (std::thread& t : threads) t.join();
  for (const auto& run : runs) ExpectGoldenFiles(*run);
}

TEST_F(ModelConcurrency, TwoSimulationsInterleavedBatchByBatch) {
  GoldenRun a(kCases[0], dir_ / "a");
  GoldenRun b(kCases[2], dir_ / "b");
  StartRun(*a.sim, a.golden.run_seed);
  StartRun(*b.sim, b.golden.run_seed);
  while (!RunComplete(*a.sim) || !RunComplete(*b.sim)) {
    RunBatch(*a.sim, a.files);
    RunBatch(*b.sim, b.files);
    RunBatch(*b.sim, b.files);  // b runs ahead, then waits at its end
  }
  ExpectGoldenFiles(a);
  ExpectGoldenFiles(b);
}

}  // namespace
}  // namespace veldaris::test
