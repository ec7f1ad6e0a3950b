// Fuzz target: a network file, GraphML or a CSV edge list, read as
// --network-from reads it.
//
// The first byte picks the format (odd: CSV, even: GraphML; the seeds start
// with 'c' and 'x'), the rest is the file. Checked: a file is either refused
// with a message naming it, or read into 3 to 500 groups with at least one
// link, every link between two different groups in range and none twice; and
// what was read, written again in either format, reads back the same.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "cli/network_import.h"

namespace {

void Require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

std::set<std::pair<int32_t, int32_t>> LinkSet(const veldaris::cli::NetworkLinks& network) {
  std::set<std::pair<int32_t, int32_t>> set;
  for (const auto& [a, b] : network.links) {
    Require(a >= 1 && a <= network.groups && b >= 1 && b <= network.groups && a != b);
    set.emplace(std::min(a, b), std::max(a, b));
  }
  Require(set.size() == network.links.size());
  return set;
}

std::string AsGraphMl(const veldaris::cli::NetworkLinks& network) {
  std::string text = "<graphml><graph edgedefault='undirected'>\n";
  for (int32_t g = 1; g <= network.groups; ++g) text += "<node id='" + std::to_string(g) + "'/>\n";
  for (const auto& [a, b] : network.links) {
    text += "<edge source='" + std::to_string(a) + "' target='" + std::to_string(b) + "'/>\n";
  }
  return text + "</graph></graphml>\n";
}

std::string AsCsv(const veldaris::cli::NetworkLinks& network) {
  std::string text = "source,target\r\n";
  for (const auto& [a, b] : network.links) text += std::to_string(a) + "," + std::to_string(b) + "\r\n";
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using veldaris::cli::NetworkLinks;
  using veldaris::cli::ParseNetworkText;
  if (size == 0) return 0;
  const std::string name = (data[0] & 1) != 0 ? "fuzz.csv" : "fuzz.graphml";
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const veldaris::cli::Outcome<NetworkLinks> parsed = ParseNetworkText(text, name);
  if (!parsed.ok()) {
    const std::string error = parsed.failure().Message();
    Require(error.starts_with(name + ":") && error.size() > name.size() + 2);
    return 0;
  }
  const NetworkLinks* network = &parsed.value();
  Require(network->groups >= 3 && network->groups <= 500 && !network->links.empty());
  const auto links = LinkSet(*network);

  const auto graphml = ParseNetworkText(AsGraphMl(*network), "again.graphml");
  Require(graphml.ok() && graphml.value().groups == network->groups && graphml.value().links == network->links);
  // The edge list's N is its largest group number: trailing groups without
  // links are not in it.
  const auto csv = ParseNetworkText(AsCsv(*network), "again.csv");
  const int32_t largest = std::max_element(links.begin(), links.end(), [](const auto& x, const auto& y) {
                            return x.second < y.second;
                          })->second;
  Require(largest >= 3 ? csv.ok() && csv.value().groups == largest && csv.value().links == network->links : !csv.ok());
  return 0;
}
