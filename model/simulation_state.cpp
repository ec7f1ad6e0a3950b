#include "model/simulation_state.h"

#include <cmath>
#include <cstring>

namespace veldaris {

SimulationState g_state;

void ClearSimulationState() {
  std::memset(static_cast<void*>(&g_state), 0, sizeof g_state);
  g_state.mti = 625;
}

void ApplyDefaultParameters() {
  SimParams& p = g_state.params;
  p.network_type = SMALL_WORLD;
  p.group_count = 50;
  p.strategy_count = 8;
  p.generation_count = 1000;
  p.connectivity = 8;
  p.strategy_length = 10;
  p.rewiring_percent = 0;
  g_state.metrics = NetworkMetrics{};
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

int32_t NeighbourSentinel() { return g_state.params.network_type == SMALL_WORLD ? EMPTY_SLOT : 0; }

}  // namespace veldaris
