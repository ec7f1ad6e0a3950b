// The run cycle: the reset before a build, a run or a parameter change, the
// start of a run, one generation (play, statistics, evolution), and the batch
// rule by which a run advances ten generations at a time.
#pragma once

#include <cstdint>

namespace veldaris {

// Reseeds the generator and clears strategies, outcome counters, crossover
// points and the eight series. Leaves the network and the flags alone.
void ResetRun();

// generation := 1, run_finished := 0, ResetRun, random initial strategies.
void StartRun();

// Play, statistics of generation g, evolution.
void RunGeneration(int32_t g);

// Runs the next ten generations, or nothing once they would pass G. Also does
// nothing before StartRun (generation still 0), so it can never run a
// generation 0.
void RunBatch();

// Called after every batch of RunToCompletion, e.g. to show progress.
using BatchCallback = void (*)(void* context);

// StartRun, then RunBatch until generation exceeds G, then run_finished := 1:
// exactly the calls the windowed program's timers make.
void RunToCompletion(BatchCallback after_batch = nullptr, void* context = nullptr);

}  // namespace veldaris
