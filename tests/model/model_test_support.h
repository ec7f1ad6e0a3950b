// Shared fixture of the model tests: a clean state with the start-up
// parameters, result files in a fresh temporary directory, and helpers to
// build networks, script generator outputs and read files.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "game/game_internal.h"
#include "model/model_internal.h"
#include "model/random_internal.h"
#include "model/simulation.h"
#include "network/network_internal.h"
#include "results/results_internal.h"

namespace veldaris {

// The instruction sets by name, in test names and messages.
inline const char* InstructionSetName(InstructionSet set) {
  return set == InstructionSet::Avx2 ? "Avx2" : set == InstructionSet::Popcnt ? "Popcnt" : "Baseline";
}
inline void PrintTo(InstructionSet set, std::ostream* os) { *os << InstructionSetName(set); }

}  // namespace veldaris

namespace veldaris::test {

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Makes the next draws take exactly these outputs (at most 624), through the
// generator's own hook for tests.
inline void ScriptOutputs(Simulation& sim, const std::vector<uint32_t>& outputs) {
  ScriptRandomOutputs(sim, outputs.data(), static_cast<int32_t>(outputs.size()));
}

// Moves 1..length of a slot as text, "1" for cooperate.
inline std::string MovesText(const StrategySlots& slots, int32_t slot, int32_t length) {
  std::string text;
  for (int32_t j = 1; j <= length; ++j) text += static_cast<char>('0' + MoveAt(slots, slot, j));
  return text;
}

// The smallest output for which UniformBelow(n) yields v.
inline uint32_t OutputFor(int32_t v, int32_t n) {
  const uint64_t scaled = static_cast<uint64_t>(v) << 32;
  return static_cast<uint32_t>((scaled + n - 1) / n);
}

// The reference cases of tests/data/golden: the window's command sequence
// with the clock replaced by two seeds.
struct GoldenCase {
  const char* name;
  ParameterChoice choice;
  uint32_t network_seed;
  uint32_t run_seed;
};

inline const GoldenCase GOLDEN_CASES[] = {
    {"sw50", {SMALL_WORLD, 50, 8, 1000, 8, 10, 0.1}, 1234567, 1234568},
    {"lattice", {SMALL_WORLD, 50, 4, 1000, 4, 10, 0.0}, 42, 43},
    {"sf50", {SCALE_FREE, 50, 4, 1000, 4, 10, 0.0}, 777, 778},
    {"sf500-s32-l64", {SCALE_FREE, 500, 32, 200, 16, 64, 0.0}, 3141592653U, 2718281828U},
    {"sw97-s1-l65", {SMALL_WORLD, 97, 1, 300, 6, 65, 0.57}, 0, 4294967295U},
    {"sw120-k2-l63", {SMALL_WORLD, 120, 3, 110, 2, 63, 0.291}, 65535, 65536},
};

inline std::filesystem::path GoldenDir(const GoldenCase& c) {
  return std::filesystem::path(VELDARIS_TEST_DATA_DIR) / "golden" / c.name;
}

// A fresh simulation with the start-up parameters for every test, and its
// result files in a fresh temporary directory.
class ModelTest : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_TRUE(owned_);
    ApplyDefaultParameters(sim);
    std::string pattern = (std::filesystem::temp_directory_path() / "veldaris_model_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    UseDirectory(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void UseDirectory(const std::filesystem::path& dir) { ASSERT_TRUE(SetResultDirectory(files, dir.c_str())); }

  // The values the parameter dialog stores on OK.
  void SetParams(int32_t type, int32_t n, int32_t s, int32_t g, int32_t k, int32_t l, int32_t rewiring = 0) {
    sim.params = SimParams{
        type, rewiring, n, s, g, k, l, k + 1, k / 2, DEFAULT_PAYOFFS, DEFAULT_MUTATION_PER_MILLION, rewiring * 10000};
    sim.parameters_set = 1;
  }

  // The Build Network command, seeded with seed; without metrics when asked.
  void Build(uint32_t seed, bool metrics = true) {
    if (metrics) {
      BuildAndMeasureNetwork(sim, seed);
      return;
    }
    ResetRun(sim, seed);
    BuildNetwork(sim, seed);
    sim.network_built = 1;
  }

  // A small-world network of n groups with exactly the given links.
  void MakeNetwork(int32_t n, std::vector<std::pair<int32_t, int32_t>> links) {
    sim.params.group_count = n;
    InitNeighbourLists(sim, SMALL_WORLD);
    for (auto [a, b] : links) {
      sim.groups[a].neighbours[++sim.groups[a].degree] = b;
      sim.groups[b].neighbours[++sim.groups[b].degree] = a;
    }
  }

  void SetMoves(int32_t group, int32_t slot, const char* moves) {
    for (int32_t j = 1; moves[j - 1] != '\0'; ++j) {
      SetMoveAt(sim.groups[group].strategies, slot, j, moves[j - 1] - '0');
    }
  }

  std::string Moves(int32_t group, int32_t slot, int32_t length) const {
    return MovesText(sim.groups[group].strategies, slot, length);
  }

  std::string Result(const char* name) const { return ReadFile(dir_ / name); }

  SimulationPtr owned_ = NewSimulation();
  Simulation& sim = *owned_;
  ResultFiles files{};
  std::filesystem::path dir_;
};

}  // namespace veldaris::test
