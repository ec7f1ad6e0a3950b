// Internal to the model library: the per-generation statistics by degree
// class.
#pragma once

#include <cstdint>

#include "model/simulation.h"

namespace veldaris {

// The degree classes (model/simulation.h) of the built network's histogram.
DegreeClasses ScanDegreeClasses(const Simulation& sim);

// Entry g of the eight series from the outcome counters of generation g.
void RecordGeneration(Simulation& sim, int32_t g);

}  // namespace veldaris
