// Initial strategies and one generation of the Prisoner's Dilemma: every group
// plays each neighbour, strategy s against strategy s, move by move.
#pragma once

#include <cstdint>

namespace veldaris {

// mode 0: every word of every slot of every record becomes 0.
// mode 1: moves 1..L of slots 1..32 of groups 1..500 become random bits.
// Any other mode does nothing.
void InitStrategies(int32_t mode);

// The group's S strategies play those of the neighbour; only the group's own
// scores and outcome counters change.
void PlayNeighbour(int32_t group, int32_t neighbour);

// One generation of play for groups 1..N, each followed by the averaging of
// its scores and counters per neighbour.
void PlayGeneration();

}  // namespace veldaris
