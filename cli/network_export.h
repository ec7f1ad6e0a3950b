// The built network as a file for other tools: GraphML (nodes with their
// position, degree and clustering coefficient, undirected edges) or a CSV
// edge list.
#pragma once

#include <optional>
#include <string>

#include "cli/failure.h"
#include "model/simulation.h"

namespace veldaris::cli {

enum class NetworkFormat { GraphMl, EdgeCsv };

// The format a file name asks for by its extension (.graphml or .csv, in any
// case); nullopt when it asks for neither.
std::optional<NetworkFormat> NetworkFormatOf(const std::string& path);

// Groups 1..N as nodes "1".."N" with the int attributes x, y and degree and the
// double attribute clustering; every link once, as an undirected edge.
std::string NetworkGraphMl(const Simulation& sim);

// "source,target", then every link once with the smaller group number first,
// in increasing order.
std::string NetworkEdgeCsv(const Simulation& sim);

// Writes the network in format to path through a temporary file (see
// WriteFileAtomically).
Status WriteNetworkFile(const Simulation& sim, const std::string& path, NetworkFormat format);

}  // namespace veldaris::cli
