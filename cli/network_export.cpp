// The built network written as GraphML or as a CSV edge list.
#include "cli/network_export.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>
#include <vector>

#include "cli/path_text.h"
#include "cli/program_support.h"
#include "cli/run_parameters.h"

namespace veldaris::cli {

namespace {

// Every link once as (smaller, larger) group number, in increasing order. A
// link is taken from either end's list, so that a list missing its partner
// would still show the link.
std::vector<std::pair<int32_t, int32_t>> Links(const Simulation& sim) {
  std::vector<std::pair<int32_t, int32_t>> links;
  const int32_t n = sim.params.group_count;
  for (int32_t g = 1; g <= n; ++g) {
    const GroupRecord& r = sim.groups[g];
    for (int32_t slot = 1; slot <= r.degree; ++slot) {
      const int32_t u = r.neighbours[slot];
      links.emplace_back(std::min(g, u), std::max(g, u));
    }
  }
  std::sort(links.begin(), links.end());
  links.erase(std::unique(links.begin(), links.end()), links.end());
  return links;
}

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) {
    return false;
  }
  return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
                    });
}

}  // namespace

std::optional<NetworkFormat> NetworkFormatOf(const std::string& path) {
  if (EndsWithIgnoringCase(path, ".graphml")) {
    return NetworkFormat::GraphMl;
  }
  if (EndsWithIgnoringCase(path, ".csv")) {
    return NetworkFormat::EdgeCsv;
  }
  return std::nullopt;
}

std::string NetworkGraphMl(const Simulation& sim) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<graphml xmlns=\"http://graphml.graphdrawing.org/xmlns\">\n"
      "  <key id=\"x\" for=\"node\" attr.name=\"x\" attr.type=\"int\"/>\n"
      "  <key id=\"y\" for=\"node\" attr.name=\"y\" attr.type=\"int\"/>\n"
      "  <key id=\"degree\" for=\"node\" attr.name=\"degree\" attr.type=\"int\"/>\n"
      "  <key id=\"clustering\" for=\"node\" attr.name=\"clustering\" attr.type=\"double\"/>\n"
      "  <graph id=\"network\" edgedefault=\"undirected\">\n";
  const int32_t n = sim.params.group_count;
  for (int32_t g = 1; g <= n; ++g) {
    const GroupRecord& r = sim.groups[g];
    const std::string clustering = FormatDouble(r.clustering);
    out += "    <node id=\"" + std::to_string(g) + "\"><data key=\"x\">" + std::to_string(r.x) +
           "</data><data key=\"y\">" + std::to_string(r.y) + "</data><data key=\"degree\">" + std::to_string(r.degree) +
           "</data><data key=\"clustering\">" + (clustering.empty() ? "NaN" : clustering) + "</data></node>\n";
  }
  for (const auto& [a, b] : Links(sim)) {
    out += "    <edge source=\"" + std::to_string(a) + "\" target=\"" + std::to_string(b) + "\"/>\n";
  }
  out += "  </graph>\n</graphml>\n";
  return out;
}

std::string NetworkEdgeCsv(const Simulation& sim) {
  std::string out = "source,target\n";
  for (const auto& [a, b] : Links(sim)) {
    out += std::to_string(a) + "," + std::to_string(b) + "\n";
  }
  return out;
}

Status WriteNetworkFile(const Simulation& sim, const std::string& path, NetworkFormat format) {
  const std::string text = format == NetworkFormat::GraphMl ? NetworkGraphMl(sim) : NetworkEdgeCsv(sim);
  if (const Status written = WriteTextFile(PathOfText(path), text); !written.ok()) {
    return Failure::Write("could not write the network file \"" + path + "\"", written.failure().why);
  }
  return {};
}

}  // namespace veldaris::cli
