// Evolution of the strategies inside every group: ranking by score, a
// representative drawn among the second best, a template copied from it, and
// two-point crossover of every strategy with the template, with mutation.
#pragma once

#include <cstdint>

namespace veldaris {

// Competition ranking of strategies 1..S by score (1 = best; ties share the
// better rank and the ranks below a tie are skipped).
void RankStrategies(int32_t group);
// Copies a uniformly drawn strategy of the second-highest score (of the top
// score when all tie) into the group's representative.
void ChooseRepresentative(int32_t group);
// Moves 1..L of template slot 0 := moves 1..L of the representative.
void BuildTemplate(int32_t group);
// Two-point crossover of strategy s with the template, mutating every copied
// move; uses and rewrites the shared crossover points.
void CrossoverWithTemplate(int32_t group, int32_t strategy);
// The whole evolution step for all groups, then the clearing of scores,
// counters and templates for the next generation.
void EvolveGeneration();

}  // namespace veldaris
