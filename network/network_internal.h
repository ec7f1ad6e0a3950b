// Internal to the model library: the steps of building a network (a circle
// layout and either a small world, a ring lattice with rewired links, or a
// scale-free network, a complete core grown by preferential attachment) and of
// measuring it.
//
// Every random draw is a fresh UniformBelow in exactly the order written in
// network_builder.cpp; rejected trials still take their outputs, so a build is
// reproducible from its seed alone.
#pragma once

#include <cstdint>

#include "model/simulation.h"

namespace veldaris {

// --- Construction ---

// The whole build: seeding, clearing, layout, linking, degree count.
void BuildNetwork(Simulation& sim, uint32_t seed);

enum class Layout : int32_t {
  Clear,   // positions of groups 1..500 := (0, 0)
  Circle,  // groups 1..N on the circle of the network view
};
void LayoutGroups(Simulation& sim, Layout layout);

// degree 0 and an empty list, ended by the sentinel of network_type
// (SMALL_WORLD or SCALE_FREE), for groups 0..500.
void InitNeighbourLists(Simulation& sim, int32_t network_type);

void BuildSmallWorld(Simulation& sim);
void BuildRingLattice(Simulation& sim);
void PlaceLatticeLink(Simulation& sim, int32_t slot, int32_t group, int32_t partner);
void RewireLattice(Simulation& sim);
void ReplaceLink(Simulation& sim, int32_t slot, int32_t group, int32_t new_partner, int32_t old_partner);

// network_type := GIVEN_LINKS, clearing, layout, each link in both lists,
// every list ascending, degree count. Links as BuildAndMeasureNetworkFromLinks
// takes them.
void BuildFromLinks(Simulation& sim, const int32_t (*links)[2], int32_t link_count);

void BuildScaleFree(Simulation& sim);
void BuildCompleteCore(Simulation& sim);
void AttachGroup(Simulation& sim, int32_t new_group, int32_t links);
void ChooseUniformPartners(Simulation& sim, int32_t n, int32_t m);
void ChoosePreferentialPartners(Simulation& sim, int32_t n, int32_t m);
void AppendNeighbour(Simulation& sim, int32_t limit, int32_t group, int32_t partner);

// degree of groups 1..n: slots from slot 1 up to the first sentinel.
void CountDegrees(Simulation& sim, int32_t n);
// CountDegrees(n), then the sum of the degrees of groups 1..n.
int32_t TotalDegree(Simulation& sim, int32_t n);

// --- Measures ---

// Degree histogram and P(k), the average degree and its standard deviation,
// the characteristic path length, the clustering coefficient, the components
// and the mean path length over connected pairs.
void ComputeNetworkMetrics(Simulation& sim);
void ComputeDegreeDistribution(Simulation& sim);
void CountDegreeHistogram(Simulation& sim);
void ComputePathLengths(Simulation& sim);
double CharacteristicPathLength(Simulation& sim);
// From the path lengths that ComputePathLengths left: the connected
// components (a group without links is one), and the mean length over the
// ordered pairs of distinct groups that are connected (0 when none is).
int32_t CountComponents(const Simulation& sim);
double ReachablePathLength(const Simulation& sim);
void ComputeClustering(Simulation& sim);
double AverageClustering(Simulation& sim);
int32_t PairCount(int32_t k);

}  // namespace veldaris
