// The model library's public interface: one simulation as a value, and the
// commands that the window, the headless driver and the sweeps make on it.
//
// A Simulation holds the whole state of one simulation: parameters, run
// control, the groups of the network with their strategies, the per-generation
// series and the working arrays of the builder, the evolution step and the
// random generator. Everything is plain data of fixed size, dimensioned by the
// capacities below, so that nothing is allocated while a network is built or a
// run goes on. Its owner allocates it once (NewSimulation) and passes it to
// every call; one process can hold any number of them, and two threads can run
// two of them at the same time.
//
// Numbering starts at 1 for groups, strategies, moves, ranks and generations;
// entry 0 of every such array is reserved.
//
// What belongs to the caller stays with the caller: the seed of every seeding
// is an argument (the window passes the clock's second, a driver its fixed
// seeds), and where the result files go and how their writing went is a
// ResultFiles value the caller owns.
//
// The model checks no parameter against its capacities: callers pass only
// values it can run (the parameter dialog offers fixed pairs; the driver and
// the sweeps validate their input first).
#pragma once

#include <cstdint>
#include <memory>

#include "model/instruction_set.h"

namespace veldaris {

inline constexpr int32_t MAX_GROUPS = 500;
inline constexpr int32_t MAX_STRATEGIES = 32;
inline constexpr int32_t MAX_MOVES = 100;
inline constexpr int32_t MAX_GENERATIONS = 10000;

// Sentinel that ends a small-world or given-links neighbour list; a
// scale-free list ends at 0.
inline constexpr int32_t EMPTY_SLOT = 10000;

// Each copied move flips with this probability (a threshold of 1000 in 10^6)
// unless the parameters choose another threshold.
inline constexpr double MUTATION_RATE = 0.001;
inline constexpr int32_t DEFAULT_MUTATION_PER_MILLION = 1000;

// Payoffs of one move pair for the playing side, in integer units (the caller
// scales decimals: with d decimal places, 1.5 with d = 1 is 15). |value| <= 1,000,000.
struct Payoffs {
  int32_t temptation;  // own defection against cooperation
  int32_t reward;      // mutual cooperation
  int32_t punishment;  // mutual defection
  int32_t sucker;      // own cooperation against defection
};
inline constexpr Payoffs DEFAULT_PAYOFFS = {5, 3, 1, 0};

// Number of generations one batch (one tick of the run timer) advances.
inline constexpr int32_t BATCH_GENERATIONS = 10;

// Values of SimParams::network_type. GIVEN_LINKS is a network built from a
// list of links (BuildAndMeasureNetworkFromLinks): its neighbour lists end
// with EMPTY_SLOT, and neither K nor the rewiring take part in it.
inline constexpr int32_t SMALL_WORLD = 1;
inline constexpr int32_t SCALE_FREE = 0;
inline constexpr int32_t GIVEN_LINKS = 2;

struct SimParams {
  int32_t network_type;      // SMALL_WORLD, SCALE_FREE or GIVEN_LINKS
  int32_t rewiring_percent;  // rewiring probability x 100, truncated
  int32_t group_count;       // N
  int32_t strategy_count;    // S
  int32_t generation_count;  // G
  int32_t connectivity;      // K
  int32_t strategy_length;   // L
  int32_t core_size;         // m0 = K + 1 (scale free)
  int32_t links_per_group;   // m = K / 2 (scale free)
  Payoffs payoffs;
  // A copied move flips when 1 + UniformBelow(10^6) <= this (0..10^6).
  int32_t mutation_per_million;
  // A lattice link is rewired when 1 + UniformBelow(10^6) <= this (0..10^6);
  // rewiring_percent x 10^4 unless an exact value was chosen.
  int32_t rewiring_per_million;
};

// Strategies hold their moves as bits: move j (1..MAX_MOVES) is bit
// (j - 1) % 64 of word (j - 1) / 64, 1 = cooperate and 0 = defect. Bits past
// the run's L are 0. Everything outside play and evolution reads and writes
// moves through MoveAt and SetMoveAt.
inline constexpr int32_t MOVE_WORDS = (MAX_MOVES + 63) / 64;

// The strategy slots of one group: slot 0 is the template, slots 1..S the
// group's strategies. A score is the payoff sum while the group plays, then
// its average per neighbour, and 0 again after every evolution step. The
// words are stored word by word (word w of slots 0..32 side by side), so that
// play reads the same word of consecutive strategies in one load.
struct StrategySlots {
  int32_t score[MAX_STRATEGIES + 1];
  // Working array of play: the cooperations among moves 1..L of each slot.
  int32_t cooperations[MAX_STRATEGIES + 1];
  uint64_t moves[MOVE_WORDS][MAX_STRATEGIES + 1];
};

// A copy of one strategy slot: its score and its moves.
struct StrategyCopy {
  int32_t score;
  uint64_t moves[MOVE_WORDS];
};

// (The parameters are not named slots: that is a macro in Qt's headers.)
inline int32_t MoveAt(const StrategySlots& strategies, int32_t slot, int32_t move) {
  return static_cast<int32_t>((strategies.moves[(move - 1) / 64][slot] >> ((move - 1) % 64)) & 1U);
}

inline int32_t MoveAt(const StrategyCopy& copy, int32_t move) {
  return static_cast<int32_t>((copy.moves[(move - 1) / 64] >> ((move - 1) % 64)) & 1U);
}

inline void SetMoveAt(StrategySlots& strategies, int32_t slot, int32_t move, int32_t value) {
  const uint64_t bit = uint64_t{1} << ((move - 1) % 64);
  uint64_t& word = strategies.moves[(move - 1) / 64][slot];
  word = (value & 1) != 0 ? word | bit : word & ~bit;
}

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
  StrategySlots strategies;
  StrategyCopy representative;
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
  double characteristic_path_length;  // over all ordered pairs, N for an unreachable one
  double clustering_coefficient;
  int32_t components;            // connected components; an isolated group is one
  double reachable_path_length;  // over the ordered pairs that are connected; 0 if none
};

// MT19937 makes its outputs 624 at a time.
inline constexpr int32_t RANDOM_BLOCK = 624;
// The mutation bound of the default threshold: ceil(1000 x 2^32 / 10^6).
inline constexpr uint64_t DEFAULT_MUTATION_OUTPUT_BOUND = 4294968;
// Words of a bitmap of one block's outputs, with two words to spare so that a
// run of up to 128 bits can be read from any position with three loads.
inline constexpr int32_t RANDOM_BITMAP_WORDS = (RANDOM_BLOCK + 63) / 64 + 2;

struct Simulation {
  SimParams params;

  // Run control.
  int32_t parameters_set;  // 1 once parameters have been confirmed
  int32_t network_built;   // 1 while the built network matches the parameters
  int32_t run_finished;    // 1 once the caller has seen a run complete
  int32_t generation;      // the next generation to run; G + 1 when complete

  GroupRecord groups[MAX_GROUPS + 1];
  OutcomeCounters counters;
  GenerationSeries series;

  int32_t degree_histogram[MAX_GROUPS + 1];
  double degree_distribution[MAX_GROUPS + 1];
  NetworkMetrics metrics;

  int32_t crossover_points[6];
  int32_t chosen_partners[MAX_GROUPS + 1];

  // MT19937: the state vector, the tempered outputs of its latest
  // regeneration and, bit i for output i, which of them make a copied move
  // mutate. mti is the next output to hand out: 624 means that the block is
  // used up, 625 that the generator was never seeded.
  uint32_t mt[RANDOM_BLOCK];
  uint32_t random_outputs[RANDOM_BLOCK];
  uint64_t mutation_bits[RANDOM_BITMAP_WORDS];
  // The outputs below this bound mutate: ceil(T 2^32 / 10^6) for the
  // threshold T = params.mutation_per_million (0: none, 2^32: all), taken
  // when parameters are set and when a run starts. Starts at the default's.
  uint64_t mutation_output_bound = DEFAULT_MUTATION_OUTPUT_BOUND;
  int32_t mti = RANDOM_BLOCK + 1;
  // Outputs drawn since the last seeding, less mti.
  int64_t random_drawn_before_block;

  // The instruction set this simulation's inner loops use: the best the
  // processor has, unless a caller chooses a lower one (the results are the
  // same on every level).
  InstructionSet instruction_set = BestInstructionSet();
};

struct SimulationDeleter {
  void operator()(Simulation* simulation) const;
};
using SimulationPtr = std::unique_ptr<Simulation, SimulationDeleter>;

// A new simulation in its program-start state: every member zero, the
// generator never seeded, the best instruction set of this processor. Null
// when the memory cannot be had.
SimulationPtr NewSimulation();

// Returns a simulation to its program-start state.
void ClearSimulation(Simulation& sim);

// Where the result files of a run go, and how their writing went. The caller
// owns it and passes it to the run; the files are written inside the batch
// that runs generation G, and a failure never stops the run.
inline constexpr int32_t RESULT_PATH_CAPACITY = 4096;
inline constexpr int32_t RESULT_FILE_COUNT = 2;
inline constexpr const char* INITIAL_RESULT_FILE = "Veldaris_Result_Initial.csv";
inline constexpr const char* ALL_RESULT_FILE = "Veldaris_Result_All.csv";

struct ResultFiles {
  // The directory of the files, NUL-terminated; empty means the current one.
  char directory[RESULT_PATH_CAPACITY];
  // Set when a run has reached its last generation.
  int32_t written;                                     // 1 once the files of a run were attempted
  int32_t error[RESULT_FILE_COUNT];                    // errno of each file, 0 when written
  char path[RESULT_FILE_COUNT][RESULT_PATH_CAPACITY];  // the path of each file (Initial, All)
  uint8_t sha256[RESULT_FILE_COUNT][32];               // SHA-256 of each file written (error 0)
};

// Sets the directory; false (and nothing changed) when it does not fit. On
// Windows both '/' and '\\' end a directory name, elsewhere only '/'.
bool SetResultDirectory(ResultFiles& files, const char* directory);

// --- Parameters ---------------------------------------------------------------

// The start-up parameters (small world, N 50, S 8, G 1000, K 8, L 10, no
// rewiring, the default payoffs and mutation threshold) and the measures 0.
// Nothing else changes.
void ApplyDefaultParameters(Simulation& sim);

// What decides whether a built network still matches the parameters.
struct NetworkShape {
  int32_t network_type;
  int32_t group_count;
  int32_t connectivity;
  int32_t rewiring_percent;
  int32_t rewiring_per_million;
};
NetworkShape NetworkShapeOf(const Simulation& sim);

// Confirming parameters chosen (in sim.params) since shape at_open was taken:
// derives m0 = K + 1 and m = K / 2 and stores the rewiring percentage, which is
// null when the text typed held no number (the stored percentage then stays),
// with the rewiring threshold it gives (the percentage x 10^4, held to 0..10^6).
// For a small world without a number or with a percentage outside 0..100 it
// stops there and returns false (a percentage given stays stored). Otherwise
// it drops the built network when the network type, N or K (but for given
// links) differ from at_open, or the rewiring percentage or threshold of a
// small world does,
// marks the parameters as set and returns true.
bool ConfirmParameters(Simulation& sim, const NetworkShape& at_open, const int32_t* rewiring_percent);
// Leaving the choice without confirming: only the network rule applies.
void CancelParameters(Simulation& sim, const NetworkShape& at_open);

// The parameters a caller chooses; the model derives the rest.
struct ParameterChoice {
  int32_t network_type;
  int32_t group_count;
  int32_t strategy_count;
  int32_t generation_count;
  int32_t connectivity;
  int32_t strategy_length;
  double rewiring_probability;
  Payoffs payoffs = DEFAULT_PAYOFFS;
  int32_t mutation_per_million = DEFAULT_MUTATION_PER_MILLION;
  // -1: the rewiring probability's truncated percentage x 10^4, as the
  // window takes it; 0..1,000,000: the exact rewiring threshold.
  int32_t rewiring_per_million = -1;
};

// Setting the parameters as a whole, with the seeding and the effects of the
// window's Set Parameters command carried to an accepted OK: ResetRun(seed),
// the choice stored, then ConfirmParameters (with the exact rewiring
// threshold in place of the percentage's when one is chosen). Returns its
// result.
bool SetParameters(Simulation& sim, const ParameterChoice& choice, uint32_t seed);

// The rewiring probability as stored: x * 100.0 truncated toward zero. Values
// whose percentage would not fit (and NaN) are clamped to +-100000 (NaN gives
// 0), so the conversion is always defined and the value shown back as "%.1f"
// of percent / 100 stays within 9 characters.
int32_t RewiringPercentFromProbability(double probability);

// --- Network and run ------------------------------------------------------------

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

// generation := 1, run_finished := 0, the mutation threshold taken, ResetRun(seed),
// random initial strategies. Needs a built network.
void StartRun(Simulation& sim, uint32_t seed);

// Runs the next ten generations, or nothing once they would pass G (or before
// StartRun). The batch that runs generation G writes the result files.
void RunBatch(Simulation& sim, ResultFiles& files);

// True once every generation of the run has been played (generation > G).
bool RunComplete(const Simulation& sim);

// run_finished := 1: the caller has seen the run complete.
void FinishRun(Simulation& sim);

// Called after every batch of RunToCompletion, e.g. to show progress.
using BatchCallback = void (*)(const Simulation& sim, void* context);

// StartRun(seed), then RunBatch until the run is complete, then FinishRun:
// exactly the calls the windowed program's timers make.
void RunToCompletion(Simulation& sim, uint32_t seed, ResultFiles& files, BatchCallback after_batch = nullptr,
                     void* context = nullptr);

// --- Helpers shared with the callers --------------------------------------------

// The current calendar time in whole seconds since 1970, low 32 bits: the
// seed of a caller that seeds from the clock.
uint32_t ClockSeconds();

// floor(v) + 1 when v - floor(v) >= 0.5, else floor(v).
int32_t RoundHalfUp(double v);

}  // namespace veldaris
