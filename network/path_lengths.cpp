// Shortest path lengths by breadth-first search, for the characteristic path length.
#include "network/path_lengths.h"

namespace veldaris {

void PathLengthsFrom(const NeighbourListView& view, int32_t source, int32_t* dist, int32_t* queue) {
  const int32_t n = view.group_count;
  // N doubles as "not reached yet": no path in a network of N groups is that
  // long, and it is the value an unreachable group keeps.
  for (int32_t t = 1; t <= n; ++t) {
    dist[t] = n;
  }
  if (source < 1 || source > n) {
    return;
  }
  dist[source] = 0;
  queue[0] = source;
  int32_t head = 0;
  int32_t tail = 1;
  // Every group enters the queue at most once, when first reached, so it
  // never holds more than N entries.
  while (head < tail) {
    const int32_t g = queue[head++];
    const int32_t next = dist[g] + 1;
    const int32_t degree = view.degrees[g * view.degree_stride];
    const int32_t* list = view.lists + g * view.list_stride;
    for (int32_t slot = 1; slot <= degree; ++slot) {
      const int32_t u = list[slot];
      if (u >= 1 && u <= n && dist[u] == n) {
        dist[u] = next;
        queue[tail++] = u;
      }
    }
  }
}

}  // namespace veldaris
