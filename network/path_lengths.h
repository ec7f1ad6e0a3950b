// Shortest path lengths by one breadth-first search per source, over
// neighbour lists wherever their owner keeps them.
//
// The distances are those of the level-by-level search in ComputePathLengths:
// 0 from a group to itself, the number of links on a shortest path, and N for
// a group that cannot be reached. That search costs N^3 steps whatever the
// network; these cost N times (groups + links).
#pragma once

#include <cstddef>
#include <cstdint>

namespace veldaris {

// Where the lists are: group g's degree at degrees[g * degree_stride], its
// list at lists + g * list_stride with the neighbours in slots 1..degree.
// Strides count int32_t words, so one view fits both an array of group
// records and separate degree and list arrays. Entries outside 1..N are not
// groups and are ignored, as ComputePathLengths ignores them; a list may be
// asymmetric (links are followed from the group that lists them).
struct NeighbourListView {
  const int32_t* degrees;
  std::ptrdiff_t degree_stride;
  const int32_t* lists;
  std::ptrdiff_t list_stride;
  int32_t group_count;  // N: the groups are 1..N
};

// Space for the search queue: one entry per group, 1..500.
inline constexpr int32_t PATH_QUEUE_CAPACITY = 501;

// Distances from source (1..N) to every group: dist[t] for t in 1..N. Writes
// nothing else. queue holds at least N entries.
void PathLengthsFrom(const NeighbourListView& view, int32_t source, int32_t* dist, int32_t* queue);

}  // namespace veldaris
