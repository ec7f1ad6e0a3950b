// The Simulation value: allocation, start-up parameters and confirming a choice.
#include "model/simulation.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <new>

#include "model/model_internal.h"

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
  sim.metrics = NetworkMetrics{};
}

NetworkShape NetworkShapeOf(const Simulation& sim) {
  const SimParams& p = sim.params;
  return NetworkShape{p.network_type, p.group_count, p.connectivity, p.rewiring_percent};
}

void CancelParameters(Simulation& sim, const NetworkShape& at_open) {
  // The built network no longer matches when the network type, N or K
  // changed, or the rewiring of a small world did.
  const SimParams& p = sim.params;
  if (at_open.network_type != p.network_type || at_open.group_count != p.group_count ||
      at_open.connectivity != p.connectivity ||
      (p.network_type == SMALL_WORLD && at_open.rewiring_percent != p.rewiring_percent)) {
    sim.network_built = 0;
  }
}

bool ConfirmParameters(Simulation& sim, const NetworkShape& at_open, const int32_t* rewiring_percent) {
  SimParams& p = sim.params;
  p.core_size = p.connectivity + 1;
  p.links_per_group = p.connectivity / 2;
  if (rewiring_percent != nullptr) {
    p.rewiring_percent = *rewiring_percent;
  }
  if (p.network_type == SMALL_WORLD &&
      (rewiring_percent == nullptr || p.rewiring_percent < 0 || p.rewiring_percent > 100)) {
    return false;
  }
  CancelParameters(sim, at_open);
  sim.parameters_set = 1;
  return true;
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

int32_t NeighbourSentinel(const Simulation& sim) { return sim.params.network_type == SMALL_WORLD ? EMPTY_SLOT : 0; }

}  // namespace veldaris
