// Internal to the model library: the per-generation statistics by degree
// class and the two result files.
#pragma once

#include <cstdint>

#include "model/simulation.h"

namespace veldaris {

// The most frequent (smallest on a tie), smallest and largest degree that
// occur in the degree histogram of the built network.
struct DegreeClasses {
  int32_t typical;
  int32_t minimum;
  int32_t maximum;
};
DegreeClasses ScanDegreeClasses(const Simulation& sim);

// Entry g of the eight series from the outcome counters of generation g;
// when g equals G it also writes the two result files (WriteResultFiles).
void RecordGeneration(Simulation& sim, int32_t g, ResultFiles& files);

// Writes both result files into files.directory and records the outcome in
// files. Each file is written to a temporary file in the same directory first
// and renamed over the old one only when complete, so a failure leaves an
// earlier file as it was. Returns the number of files that could not be
// written (0, 1 or 2).
int32_t WriteResultFiles(const Simulation& sim, const DegreeClasses& classes, ResultFiles& files);

}  // namespace veldaris
