// Simulations are values: several of them, in one process, run side by side
// on threads or interleaved batch by batch on one thread, and each still
// produces exactly its reference files.
#include <thread>

#include "model_test_support.h"

namespace veldaris::test {
namespace {

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
    EXPECT_EQ(ReadFile(std::filesystem::path(run.files.directory) / file), ReadFile(GoldenDir(run.golden) / file))
        << run.golden.name << " " << file;
  }
}

using ModelConcurrency = ModelTest;

TEST_F(ModelConcurrency, ThreeSimulationsOnThreeThreads) {
  std::vector<std::unique_ptr<GoldenRun>> runs;
  // Each on another instruction set (as far as this processor has them).
  const InstructionSet sets[] = {InstructionSet::Baseline, InstructionSet::Popcnt, InstructionSet::Avx2};
  for (int32_t i = 0; i < 3; ++i) {
    runs.push_back(std::make_unique<GoldenRun>(GOLDEN_CASES[i], dir_ / GOLDEN_CASES[i].name));
    runs.back()->sim->instruction_set = sets[i];
  }
  std::vector<std::thread> threads;
  for (auto& run : runs) {
    threads.emplace_back([&run] {
      RunToCompletion(*run->sim, run->golden.run_seed);
      WriteResultFiles(*run->sim, run->files);
    });
  }
  for (std::thread& t : threads) t.join();
  for (const auto& run : runs) ExpectGoldenFiles(*run);
}

TEST_F(ModelConcurrency, TwoSimulationsInterleavedBatchByBatch) {
  GoldenRun a(GOLDEN_CASES[0], dir_ / "a");
  GoldenRun b(GOLDEN_CASES[2], dir_ / "b");
  StartRun(*a.sim, a.golden.run_seed);
  StartRun(*b.sim, b.golden.run_seed);
  // A batch is ten generations, so a needs G / 10 rounds (1000 generations
  // here); a run that stalls fails the test instead of hanging the suite.
  for (int32_t round = 0; round < 110 && (!RunComplete(*a.sim) || !RunComplete(*b.sim)); ++round) {
    RunBatch(*a.sim);
    RunBatch(*b.sim);
    RunBatch(*b.sim);  // b runs ahead, then waits at its end
  }
  ASSERT_TRUE(RunComplete(*a.sim) && RunComplete(*b.sim)) << "a run stalled";
  WriteResultFiles(*a.sim, a.files);
  WriteResultFiles(*b.sim, b.files);
  ExpectGoldenFiles(a);
  ExpectGoldenFiles(b);
}

}  // namespace
}  // namespace veldaris::test
