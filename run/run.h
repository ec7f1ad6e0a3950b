// The commands that conduct a run, one floor above the network, game and
// results code they call: set the parameters, build the network, start,
// advance batch by batch, run to completion. Every caller (the window, the
// driver, the sweeps, the Python module) makes its runs with these, and reads
// what a run produced through the narrow read interface at the end, never
// through the model's 1-based arrays.
//
// Nothing here writes a file: a run records its series in the Simulation, and
// callers that want the result files hand the finished run to the writer
// (io/result_files.h).
#pragma once

#include <cstdint>

#include "model/simulation.h"

namespace veldaris {

// --- Commands -------------------------------------------------------------------

// Setting the parameters as a whole, with the seeding and the effects of the
// window's Set Parameters command carried to an accepted OK: ResetRun(seed),
// the choice stored, then ConfirmParameters (with the exact rewiring
// threshold in place of the percentage's when one is chosen). Returns its
// result.
bool SetParameters(Simulation& sim, const ParameterChoice& choice, uint32_t seed);

// Reseeds the generator with seed and clears strategies, outcome counters,
// crossover points and the eight series. Leaves the network and the flags.
void ResetRun(Simulation& sim, uint32_t seed);

// The Build Network command: ResetRun, the build (which seeds again with the
// same seed), network_built := 1, then the degree distribution and the four
// measures. Needs confirmed parameters.
void BuildAndMeasureNetwork(Simulation& sim, uint32_t seed);

// Build Network from a list of links between groups 1..N, N = group_count of
// confirmed parameters; the caller has checked them (ids 1..N, no link of a
// group with itself, no link given twice, N <= MAX_GROUPS). Draws no random
// numbers and leaves the generator alone: clears the run as ResetRun does,
// lays the groups on the circle, links each pair both ways with every list in
// ascending order, network_type := GIVEN_LINKS, network_built := 1, then the
// degree distribution and the measures. Groups without links and networks
// of several components are allowed; such a group plays no game.
void BuildAndMeasureNetworkFromLinks(Simulation& sim, const int32_t (*links)[2], int32_t link_count);

// generation := 1, run_finished := 0, the mutation threshold taken,
// ResetRun(seed), random initial strategies. Needs a built network.
void StartRun(Simulation& sim, uint32_t seed);

// One generation: play, the statistics of generation g, evolution.
void RunGeneration(Simulation& sim, int32_t g);

// Runs the next ten generations, or nothing once they would pass G (or before
// StartRun).
void RunBatch(Simulation& sim);

// True once every generation of the run has been played (generation > G).
bool RunComplete(const Simulation& sim);

// run_finished := 1: the caller has seen the run complete.
void FinishRun(Simulation& sim);

// Called after every batch of RunToCompletion, e.g. to show progress.
using BatchCallback = void (*)(const Simulation& sim, void* context);

// StartRun(seed), then RunBatch until the run is complete, then FinishRun:
// exactly the calls the windowed program's timers make. Whether the run
// completed is RunComplete afterwards (not when G is not a multiple of ten).
void RunToCompletion(Simulation& sim, uint32_t seed, BatchCallback after_batch = nullptr, void* context = nullptr);

// --- Reading a run --------------------------------------------------------------

// The eight series in the order of the result files' columns.
inline constexpr int32_t SERIES_COUNT = 8;
inline constexpr const char* SERIES_NAMES[SERIES_COUNT] = {"D_Typ", "C_Typ", "D_Min", "C_Min",
                                                           "D_Max", "C_Max", "D_Avg", "C_Avg"};

// The series recorded so far: values[k][i] is series k at generation i + 1,
// for i below generations (the generations played: 0 before a run starts, G
// once it is complete). The pointers stay valid while the simulation lives
// and see later generations as they are played.
struct RunSeries {
  int32_t generations;
  const double* values[SERIES_COUNT];
};
RunSeries SeriesOf(const Simulation& sim);

// The degree classes of the built network.
DegreeClasses DegreeClassesOf(const Simulation& sim);

// One group of the built network (1..N): where the window draws it, its
// links and its clustering coefficient. neighbours[0..degree-1] are the
// groups it is linked to.
struct GroupView {
  int32_t x;
  int32_t y;
  int32_t degree;
  const int32_t* neighbours;
  double clustering;
};
GroupView GroupOf(const Simulation& sim, int32_t group);

// P(k) of the built network: distribution[k] for k in 0..group_count.
struct DegreeDistribution {
  int32_t group_count;
  const double* distribution;
};
DegreeDistribution DegreeDistributionOf(const Simulation& sim);

}  // namespace veldaris
