// A network read back from a file: the GraphML or CSV edge list that
// --network-file writes, or GraphML written by other tools.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/failure.h"

namespace veldaris::cli {

struct NetworkLinks {
  int32_t groups = 0;                         // N: groups are numbered 1..N
  std::vector<std::array<int32_t, 2>> links;  // each undirected link once, as read (a < b not required)
};

// The network in text, in the format named by file_name's extension as
// --network-file chooses it (".graphml" or ".csv"), or a Usage failure with
// one message that names the file, the line (and the node where there is one)
// and what is allowed.
//
// GraphML: the groups are the <node> elements of the one <graph>, numbered
// 1..N in document order whatever their ids; edges name nodes by id, in any
// order; keys, data and elements of other namespaces are skipped. The graph
// must be undirected (edgedefault="undirected"), and so every edge. The XML
// may use comments, processing instructions, CDATA, the five predefined
// entities and character references; a DOCTYPE is refused.
//
// CSV: an optional header line "source,target", then one link "a,b" a line
// (LF or CR LF), group numbers in decimal digits from 1 to 500; N is the
// largest number.
//
// Either way N is from 3 to 500, there is at least one link, and no link joins
// a group to itself or is listed twice (in either direction).
Outcome<NetworkLinks> ParseNetworkText(std::string_view text, const std::string& file_name);

}  // namespace veldaris::cli
