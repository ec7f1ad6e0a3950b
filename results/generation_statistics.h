// Per-generation statistics by degree class and the two result files.
#pragma once

#include <cstdint>

namespace veldaris {

inline constexpr const char* INITIAL_RESULT_FILE = "Veldaris_Result_Initial.csv";
inline constexpr const char* ALL_RESULT_FILE = "Veldaris_Result_All.csv";

// The most frequent (smallest on a tie), smallest and largest degree that
// occur in the degree histogram of the built network.
struct DegreeClasses {
  int32_t typical;
  int32_t minimum;
  int32_t maximum;
};
DegreeClasses ScanDegreeClasses();

// Entry g of the eight series from the outcome counters of generation g;
// when g equals G it also writes the two result files (WriteResultFiles).
void RecordGeneration(int32_t g);

// Writes both result files into g_state.result_directory and records the
// outcome in g_state.result_files. Each file is written to a temporary file in
// the same directory first and renamed over the old one only when complete, so
// a failure leaves an earlier file as it was. Returns the number of files that
// could not be written (0, 1 or 2).
int32_t WriteResultFiles(const DegreeClasses& classes);

}  // namespace veldaris
