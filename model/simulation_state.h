// The one simulation state: parameters, run-control flags, the groups of the
// network with their strategies, the per-generation series and the working
// arrays of the builder, the evolution step and the random generator.
//
// Everything is plain static data of fixed size, dimensioned by the
// capacities below, so that nothing is allocated while a network is built or a
// simulation runs. Numbering starts at 1 for groups, strategies, moves, ranks
// and generations; entry 0 of every such array is reserved.
#pragma once

#include <cstdint>

namespace veldaris {

inline constexpr int32_t MAX_GROUPS = 500;
inline constexpr int32_t MAX_STRATEGIES = 32;
inline constexpr int32_t MAX_MOVES = 100;
inline constexpr int32_t MAX_GENERATIONS = 10000;

// Sentinel that ends a small-world neighbour list; a scale-free list ends at 0.
inline constexpr int32_t EMPTY_SLOT = 10000;

// Each copied move flips with this probability (a threshold of 1000 in 10^6).
inline constexpr double MUTATION_RATE = 0.001;

// Number of generations one batch (one tick of the run timer) advances.
inline constexpr int32_t BATCH_GENERATIONS = 10;

inline constexpr int32_t SMALL_WORLD = 1;
inline constexpr int32_t SCALE_FREE = 0;

struct SimParams {
  int32_t network_type;      // SMALL_WORLD or SCALE_FREE
  int32_t rewiring_percent;  // rewiring probability x 100, truncated
  int32_t group_count;       // N
  int32_t strategy_count;    // S
  int32_t generation_count;  // G
  int32_t connectivity;      // K
  int32_t strategy_length;   // L
  int32_t core_size;         // m0 = K + 1 (scale free)
  int32_t links_per_group;   // m = K / 2 (scale free)
};

// Word 0 is the score, words 1..L the moves (1 = cooperate, 0 = defect).
using Strategy = int32_t[MAX_MOVES + 1];

// Field order is part of the data layout and must not change.
struct GroupRecord {
  int32_t x;
  int32_t y;
  int32_t degree;
  int32_t neighbours[MAX_GROUPS + 1];
  int32_t hops[MAX_GROUPS + 1];
  int32_t dist[MAX_GROUPS + 1];
  int32_t linked_pairs;
  double clustering;
  Strategy strategies[MAX_STRATEGIES + 1];  // slot 0 is the template
  Strategy representative;
  int32_t rank[MAX_STRATEGIES + 1];
};

struct OutcomeCounters {
  double CC[MAX_GROUPS + 1];  // mutual cooperation move pairs
  double DD[MAX_GROUPS + 1];  // mutual defection move pairs
};

struct GenerationSeries {
  double D_Typ[MAX_GENERATIONS + 1];
  double C_Typ[MAX_GENERATIONS + 1];
  double D_Min[MAX_GENERATIONS + 1];
  double C_Min[MAX_GENERATIONS + 1];
  double D_Max[MAX_GENERATIONS + 1];
  double C_Max[MAX_GENERATIONS + 1];
  double D_Avg[MAX_GENERATIONS + 1];
  double C_Avg[MAX_GENERATIONS + 1];
};

struct NetworkMetrics {
  double average_degree;
  double degree_stdev;
  double characteristic_path_length;
  double clustering_coefficient;
};

// Where the result files go and how their last writing went. The files are
// written at the end of a run; a failure never stops the run, so the caller
// reads the outcome here.
inline constexpr int32_t RESULT_PATH_CAPACITY = 4096;
inline constexpr int32_t RESULT_FILE_COUNT = 2;

struct ResultFileStatus {
  int32_t written;                                     // 1 once the files of a run were attempted
  int32_t error[RESULT_FILE_COUNT];                    // errno of each file, 0 when written
  char path[RESULT_FILE_COUNT][RESULT_PATH_CAPACITY];  // the final path of each file
};

struct SimulationState {
  SimParams params;

  // Run control.
  int32_t parameters_set;
  int32_t network_built;
  int32_t run_finished;
  int32_t generation;
  int32_t reference_network_type;
  int32_t previous_group_count;
  int32_t previous_connectivity;
  int32_t previous_rewiring_percent;

  GroupRecord groups[MAX_GROUPS + 1];
  OutcomeCounters counters;
  GenerationSeries series;

  int32_t degree_histogram[MAX_GROUPS + 1];
  double degree_distribution[MAX_GROUPS + 1];
  NetworkMetrics metrics;

  int32_t crossover_points[6];
  int32_t chosen_partners[MAX_GROUPS + 1];

  // MT19937 state; mti 625 means never seeded.
  uint32_t mt[624];
  int32_t mti = 625;

  // Seeding source: the clock, or a fixed seed a driver sets so that a run can
  // be repeated. last_seed is the seed of the latest seeding.
  int32_t fixed_seed_active;
  uint32_t fixed_seed;
  uint32_t last_seed;

  // Directory of the result files ("" = the current directory), NUL-terminated.
  char result_directory[RESULT_PATH_CAPACITY];
  ResultFileStatus result_files;
};

// The single instance, alive for the whole process.
extern SimulationState g_state;

// Returns the whole state to its program-start value: all zero, generator
// never seeded.
void ClearSimulationState();

// Sets the parameters to their start-up values and the four measures to 0.0.
void ApplyDefaultParameters();

// Converts a rewiring probability to the stored percentage: x * 100.0 truncated
// toward zero. Values whose percentage would not fit (and NaN) are clamped to
// +-100000 (NaN gives 0), so the conversion is always defined and the value
// shown back as "%.1f" of percent / 100 stays within 9 characters.
int32_t RewiringPercentFromProbability(double probability);

// floor(v) + 1 when v - floor(v) >= 0.5, else floor(v).
int32_t RoundHalfUp(double v);

// 1 when key equals one of entries 1..count of list (entry 0 ignored), else 0.
int32_t ListContains(const int32_t* list, int32_t key, int32_t count);

// The sentinel that ends neighbour lists under the current network type.
int32_t NeighbourSentinel();

}  // namespace veldaris
