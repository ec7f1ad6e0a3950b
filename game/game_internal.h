// Internal to the model library: the initial strategies, one generation of
// the Prisoner's Dilemma (every group plays each neighbour, strategy s against
// strategy s, move by move), and the evolution of the strategies inside every
// group (ranking by score, a representative drawn among the second best, a
// template copied from it, and two-point crossover of every strategy with the
// template, with mutation).
#pragma once

#include <cstdint>

#include "model/simulation.h"

namespace veldaris {

// --- Play ---

enum class StrategyFill : int32_t {
  Clear,   // scores and moves of every slot of every record := 0
  Random,  // moves 1..L of slots 1..32 of groups 1..500 := random bits
};
void InitStrategies(Simulation& sim, StrategyFill fill);

// For the tests only (PlayGeneration plays on bits): the group's S strategies
// play those of the neighbour under the default payoffs, move by move; only the group's own scores and outcome counters
// change.
void PlayNeighbour(Simulation& sim, int32_t group, int32_t neighbour);

// One generation of play for groups 1..N, each followed by the averaging of
// its scores and counters per neighbour. Plays on the moves as bits, on the
// simulation's instruction set, under the simulation's payoffs; the scores
// and counters are exactly those of move-by-move games (PlayNeighbour's under
// the default payoffs). A score is the sum over the neighbours, taken exactly,
// divided by the degree and rounded half up (toward plus infinity at .5, also
// for negative sums). Groups without links play nothing.
void PlayGeneration(Simulation& sim);

// RoundHalfUp(total / count), the quotient taken in double precision, as play
// averages a score over the neighbours. Computed in integers where that gives
// the same value: for count in 1..MAX_GROUPS and 0 <= total with
// (2 total + count)(2 count - 1) < 2^32, which covers every score of play (at
// most 5 L count); in double precision otherwise.
int32_t RoundedAverage(int32_t total, int32_t count);

// floor((2 total + count) / (2 count)), the quotient rounded toward minus
// infinity: total / count rounded half up, exactly, as play averages a score
// under other payoffs. For count in 1..MAX_GROUPS, |total| < 2^42 and a
// quotient that fits 32 bits (a score of play is at most 10^6 x 100 moves x
// 499 neighbours in size, its average 10^8).
int32_t RoundedSumAverage(int64_t total, int32_t count);

// --- Evolution ---

// The steps of EvolveGeneration one by one, for the tests only (it does them
// together, group by group).
//
// Competition ranking of strategies 1..S by score (1 = best; ties share the
// better rank and the ranks below a tie are skipped): 1 plus the number of
// the group's strategies with a strictly higher score, for any scores.
void RankStrategies(Simulation& sim, int32_t group);
// Copies a uniformly drawn strategy of the second-highest score (of the top
// score when all tie) into the group's representative.
void ChooseRepresentative(Simulation& sim, int32_t group);
// Moves 1..L of template slot 0 := moves 1..L of the representative.
void BuildTemplate(Simulation& sim, int32_t group);
// Two-point crossover of strategy s with the template, mutating every copied
// move; leaves the shared crossover points at 1, c_lo, c_hi, L, L, L.
//
// The copied moves follow from the two cut points and the coin alone, so they
// are applied as masks: the moves copied and, read from the generator's block,
// the ones of them that mutate. The outputs drawn are those of the move-by-move
// walk over the sorted points, in the same order. The walk's points before the
// call do not matter as long as they are 1, _, _, L, L, L, which every
// ResetRun leaves and every crossover keeps.
void CrossoverWithTemplate(Simulation& sim, int32_t group, int32_t strategy);
// The whole evolution step for all groups, then the clearing of scores,
// counters and templates for the next generation.
void EvolveGeneration(Simulation& sim);

}  // namespace veldaris
