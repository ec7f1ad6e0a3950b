// The simulation value's life cycle, its parameters and the small helpers the model shares.
#include "model/simulation.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <new>

#include "model/model_internal.h"
#include "model/random_internal.h"

namespace veldaris {

void SimulationDeleter::operator()(Simulation* simulation) const { delete simulation; }

SimulationPtr NewSimulation() {
  // Value-initialised: every member zero, then the generator marked unseeded
  // and the instruction set chosen.
  return SimulationPtr(new (std::nothrow) Simulation());
}

void ClearSimulation(Simulation& sim) {
  std::memset(static_cast<void*>(&sim), 0, sizeof sim);
  sim.mti = RANDOM_BLOCK + 1;
  sim.instruction_set = BestInstructionSet();
  sim.mutation_output_bound = DEFAULT_MUTATION_OUTPUT_BOUND;
}

bool SetResultDirectory(ResultFiles& files, const char* directory) {
  const size_t length = std::strlen(directory);
  if (length >= sizeof files.directory) {
    return false;
  }
  std::memcpy(files.directory, directory, length + 1);
  return true;
}

void ApplyDefaultParameters(Simulation& sim) {
  SimParams& p = sim.params;
  p.network_type = SMALL_WORLD;
  p.group_count = 50;
  p.strategy_count = 8;
  p.generation_count = 1000;
  p.connectivity = 8;
  p.strategy_length = 10;
  p.rewiring_percent = 0;
  p.payoffs = DEFAULT_PAYOFFS;
  p.mutation_per_million = DEFAULT_MUTATION_PER_MILLION;
  p.rewiring_per_million = 0;
  sim.metrics = NetworkMetrics{};
  TakeMutationThreshold(sim);
}

NetworkShape NetworkShapeOf(const Simulation& sim) {
  const SimParams& p = sim.params;
  return NetworkShape{p.network_type, p.group_count, p.connectivity, p.rewiring_percent, p.rewiring_per_million};
}

void CancelParameters(Simulation& sim, const NetworkShape& at_open) {
  // The built network no longer matches when the network type, N or K
  // changed (K takes no part in a network of given links), or the rewiring of
  // a small world did.
  const SimParams& p = sim.params;
  if (at_open.network_type != p.network_type || at_open.group_count != p.group_count ||
      (p.network_type != GIVEN_LINKS && at_open.connectivity != p.connectivity) ||
      (p.network_type == SMALL_WORLD &&
       (at_open.rewiring_percent != p.rewiring_percent || at_open.rewiring_per_million != p.rewiring_per_million))) {
    sim.network_built = 0;
  }
}

namespace {

constexpr int32_t kMillion = 1000000;

// A rewiring percentage as a threshold in 10^6, held to 0..10^6 (a percentage
// outside 0..100 rewires never or always, as its comparison with 1..100 does).
int32_t PerMillionFromPercent(int32_t percent) {
  return percent <= 0 ? 0 : percent >= 100 ? kMillion : percent * (kMillion / 100);
}

// ConfirmParameters with, when exact is 0..10^6, that rewiring threshold in
// place of the percentage's.
bool Confirm(Simulation& sim, const NetworkShape& at_open, const int32_t* rewiring_percent, int32_t exact) {
  SimParams& p = sim.params;
  p.core_size = p.connectivity + 1;
  p.links_per_group = p.connectivity / 2;
  if (rewiring_percent != nullptr) {
    p.rewiring_percent = *rewiring_percent;
    p.rewiring_per_million = PerMillionFromPercent(p.rewiring_percent);
  }
  if (exact >= 0) {
    p.rewiring_per_million = exact < kMillion ? exact : kMillion;
  }
  if (p.network_type == SMALL_WORLD &&
      (rewiring_percent == nullptr || p.rewiring_percent < 0 || p.rewiring_percent > 100)) {
    return false;
  }
  CancelParameters(sim, at_open);
  sim.parameters_set = 1;
  return true;
}

}  // namespace

bool ConfirmParameters(Simulation& sim, const NetworkShape& at_open, const int32_t* rewiring_percent) {
  return Confirm(sim, at_open, rewiring_percent, -1);
}

bool SetParameters(Simulation& sim, const ParameterChoice& choice, uint32_t seed) {
  ResetRun(sim, seed);
  const NetworkShape at_open = NetworkShapeOf(sim);
  SimParams& p = sim.params;
  p.network_type = choice.network_type;
  p.group_count = choice.group_count;
  p.strategy_count = choice.strategy_count;
  p.generation_count = choice.generation_count;
  p.connectivity = choice.connectivity;
  p.strategy_length = choice.strategy_length;
  p.payoffs = choice.payoffs;
  p.mutation_per_million = choice.mutation_per_million;
  TakeMutationThreshold(sim);
  const int32_t percent = RewiringPercentFromProbability(choice.rewiring_probability);
  return Confirm(sim, at_open, &percent, choice.rewiring_per_million);
}

int32_t RewiringPercentFromProbability(double probability) {
  constexpr double kLimit = 100000.0;
  const double percent = probability * 100.0;
  if (std::isnan(percent)) {
    return 0;
  }
  if (percent >= kLimit) {
    return static_cast<int32_t>(kLimit);
  }
  if (percent <= -kLimit) {
    return -static_cast<int32_t>(kLimit);
  }
  return static_cast<int32_t>(percent);  // truncation toward zero
}

uint32_t ClockSeconds() { return static_cast<uint32_t>(static_cast<uint64_t>(std::time(nullptr)) & 0xffffffffU); }

int32_t RoundHalfUp(double v) {
  const double f = std::floor(v);
  return static_cast<int32_t>(v - f >= 0.5 ? f + 1.0 : f);
}

int32_t ListContains(const int32_t* list, int32_t key, int32_t count) {
  for (int32_t i = 1; i <= count; ++i) {
    if (list[i] == key) {
      return 1;
    }
  }
  return 0;
}

int32_t SentinelOf(int32_t network_type) {
  return network_type == SMALL_WORLD || network_type == GIVEN_LINKS ? EMPTY_SLOT : 0;
}

int32_t NeighbourSentinel(const Simulation& sim) { return SentinelOf(sim.params.network_type); }

}  // namespace veldaris
