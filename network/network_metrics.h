// Measures a freshly built network: degree histogram and P(k), average degree
// and its standard deviation, characteristic path length and clustering.
#pragma once

#include <cstdint>

namespace veldaris {

void ComputeNetworkMetrics();
void ComputeDegreeDistribution();
void CountDegreeHistogram();
void ComputePathLengths();
double CharacteristicPathLength();
void ComputeClustering();
double AverageClustering();
int32_t PairCount(int32_t k);

}  // namespace veldaris
