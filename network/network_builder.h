// Builds the network the groups play on: a circle layout for the network view
// and either a small world (a ring lattice with rewired links) or a scale-free
// network (a complete core grown by preferential attachment).
//
// Every random draw is a fresh UniformBelow in exactly the order written here;
// rejected trials still take their outputs, so a build is reproducible from
// its seed alone.
#pragma once

#include <cstdint>

namespace veldaris {

// The whole build: seeding, clearing, layout, linking, degree count.
void BuildNetwork();

// mode 1: groups 1..N on the circle; any other mode: positions 1..500 cleared.
void LayoutGroups(int32_t mode);
// degree 0 and an empty list (of the given type's sentinel) for groups 0..500.
void InitNeighbourLists(int32_t small_world);

void BuildSmallWorld();
void BuildRingLattice();
void PlaceLatticeLink(int32_t slot, int32_t group, int32_t partner);
void RewireLattice();
void ReplaceLink(int32_t slot, int32_t group, int32_t new_partner, int32_t old_partner);

void BuildScaleFree();
void BuildCompleteCore();
void AttachGroup(int32_t new_group, int32_t links);
void ChooseUniformPartners(int32_t n, int32_t m);
void ChoosePreferentialPartners(int32_t n, int32_t m);
void AppendNeighbour(int32_t limit, int32_t group, int32_t partner);

// degree of groups 1..n: slots from slot 1 up to the first sentinel.
void CountDegrees(int32_t n);
// CountDegrees(n), then the sum of the degrees of groups 1..n.
int32_t TotalDegree(int32_t n);

}  // namespace veldaris
