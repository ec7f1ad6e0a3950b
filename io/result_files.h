// The two result files of a run, written by one writer for every caller (the
// window, veldaris-run, the sweeps, the Python module), so that their bytes
// cannot drift apart.
//
// Veldaris_Result_Initial.csv holds generations 1 to 100 (never more than were
// played), Veldaris_Result_All.csv generation 1 and every 20th generation up
// to G: the header, then per row the generation, the eight series with eight
// decimals and the three degree classes, CR LF line ends, the same bytes in
// every locale.
//
// The pair is replaced together or not at all: both files are first written
// completely under temporary names beside their targets, and only when both
// could be are they renamed into place. When either cannot be written, both
// earlier files stay as they were; the one that could have been written is
// reported as withheld (RESULT_FILE_WITHHELD).
#pragma once

#include <cstdint>
#include <string>

#include "model/simulation.h"

namespace veldaris {

inline constexpr int32_t RESULT_PATH_CAPACITY = 4096;
inline constexpr int32_t RESULT_FILE_COUNT = 2;
inline constexpr const char* INITIAL_RESULT_FILE = "Veldaris_Result_Initial.csv";
inline constexpr const char* ALL_RESULT_FILE = "Veldaris_Result_All.csv";
inline constexpr const char* RESULT_FILE_NAMES[RESULT_FILE_COUNT] = {INITIAL_RESULT_FILE, ALL_RESULT_FILE};

// The error of a file that was written completely but not put in place,
// because the other file of the pair could not be written.
inline constexpr int32_t RESULT_FILE_WITHHELD = -1;

// Where the result files of a run go, and how their writing went. The caller
// owns it.
struct ResultFiles {
  // The directory of the files, NUL-terminated; empty means the current one.
  char directory[RESULT_PATH_CAPACITY];
  int32_t written;                                     // 1 once the files of a run were attempted
  int32_t error[RESULT_FILE_COUNT];                    // 0 when in place, else an errno or RESULT_FILE_WITHHELD
  char path[RESULT_FILE_COUNT][RESULT_PATH_CAPACITY];  // the path of each file (Initial, All)
  uint8_t sha256[RESULT_FILE_COUNT][32];               // SHA-256 of each file in place (error 0)
};

// Sets the directory; false (and nothing changed) when it does not fit. On
// Windows both '/' and '\\' end a directory name, elsewhere only '/'.
bool SetResultDirectory(ResultFiles& files, const char* directory);

// Writes the result files of the run that sim has completed into
// files.directory and records the outcome in files (written := 1). Returns the
// number of files not in place: 0, or 2 when either could not be written.
// (Only a failure of the second rename itself, after the first succeeded,
// leaves 1: a mixed pair, which the digests in files tell apart.)
int32_t WriteResultFiles(const Simulation& sim, ResultFiles& files);

// The bytes result file which (0: Initial, 1: All) of the run sim has
// completed holds when written: for a caller that keeps them elsewhere.
std::string ResultFileText(const Simulation& sim, int32_t which);

// Why file i (0: Initial, 1: All) is not in place, as a sentence fragment
// ("No space left on device"); empty when it is.
std::string ResultFileError(const ResultFiles& files, int32_t i);

}  // namespace veldaris
