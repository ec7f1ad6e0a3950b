// Reading a network back from a GraphML file or a CSV edge list: its groups
// and the links between them.
#include "cli/network_import.h"

#include <algorithm>
#include <filesystem>
#include <unordered_map>
#include <utility>

#include "cli/network_export.h"
#include "cli/path_text.h"
#include "cli/program_support.h"
#include "cli/run_parameters.h"
#include "cli/xml_reader.h"
#include "model/simulation.h"

namespace veldaris::cli {

namespace {

constexpr int32_t kMinGroups = 3;
constexpr int32_t kMaxGroups = MAX_GROUPS;
// As many links as kMaxGroups groups can have, each once.
constexpr size_t kMaxLinks = static_cast<size_t>(kMaxGroups) * (kMaxGroups - 1) / 2;
constexpr const char* kGroupsAllowed = "a network has from 3 to 500 groups";
static_assert(kMaxGroups == 500, "the messages say 500 groups and 124750 links");

// One file's refusals: "<file>:<line>: <what>", or "<file>: <what>" for the
// file as a whole.
class Refusal {
 public:
  Refusal(const std::string& file_name, std::string* error)
      : file_(QuoteForMessage(file_name, std::string::npos)), error_(error) {
    file_ = file_.substr(1, file_.size() - 2);  // escaped, without the quotes
  }
  std::nullopt_t At(size_t line, const std::string& what) const {
    *error_ = file_ + ":" + std::to_string(line) + ": " + what;
    return std::nullopt;
  }
  std::nullopt_t File(const std::string& what) const {
    *error_ = file_ + ": " + what;
    return std::nullopt;
  }

 private:
  std::string file_;
  std::string* error_;
};

// The links so far, with the line of each so that a repeat can name it.
class LinkSet {
 public:
  enum class Added { Yes, SelfLink, Repeat };
  // The link a-b read on line; Repeat sets *first_line to where it was read.
  Added Add(int32_t a, int32_t b, size_t line, size_t* first_line) {
    if (a == b) return Added::SelfLink;
    const int32_t key = std::min(a, b) * (kMaxGroups + 1) + std::max(a, b);
    const auto [at, inserted] = lines_.emplace(key, line);
    if (!inserted) {
      *first_line = at->second;
      return Added::Repeat;
    }
    links_.push_back({a, b});
    return Added::Yes;
  }
  size_t size() const { return links_.size(); }
  std::vector<std::array<int32_t, 2>> Take() { return std::move(links_); }

 private:
  std::unordered_map<int32_t, size_t> lines_;
  std::vector<std::array<int32_t, 2>> links_;
};

// The checks on the network as a whole; groups_described tells where its N
// comes from.
std::optional<NetworkLinks> Finish(int32_t groups, LinkSet& links, const std::string& groups_described,
                                   const Refusal& refuse) {
  if (links.size() == 0) {
    return refuse.File("no link: a network needs at least one");
  }
  if (groups < kMinGroups) {
    return refuse.File(groups_described + ": " + kGroupsAllowed);
  }
  return NetworkLinks{groups, links.Take()};
}

// --- CSV edge list ---------------------------------------------------------

constexpr const char* kCsvHeader = "source,target";

// A group number of a link line, 1..kMaxGroups; nullopt with *what set.
std::optional<int32_t> GroupNumber(std::string_view field, std::string_view line, std::string* what) {
  const std::optional<uint64_t> value = ParseDecimal(field, kMaxGroups);
  if (value && *value >= 1) {
    return static_cast<int32_t>(*value);
  }
  const bool digits = !field.empty() && field.find_first_not_of("0123456789") == std::string_view::npos;
  const bool beyond = digits && field.find_first_not_of('0') != std::string_view::npos;
  *what = std::string(beyond ? "there are at most 500 groups: a" : "a") +
          " group number is a whole number from 1 to 500 in decimal digits (got " + QuoteForMessage(field) + " in " +
          QuoteForMessage(line) + ")";
  return std::nullopt;
}

std::optional<NetworkLinks> ParseEdgeCsv(std::string_view text, const Refusal& refuse) {
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);
  }
  LinkSet links;
  int32_t largest = 0;
  size_t line_number = 0;
  for (size_t pos = 0; pos < text.size();) {
    ++line_number;
    const size_t end = std::min(text.find('\n', pos), text.size());
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    if (line_number == 1 && line == kCsvHeader) {
      continue;
    }
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos || line.find(',', comma + 1) != std::string_view::npos) {
      return refuse.At(line_number, std::string("a line is a link \"a,b\" between two group numbers (the first may be "
                                                "the header \"source,target\") (got ") +
                                        QuoteForMessage(line) + ")");
    }
    std::string what;
    const std::optional<int32_t> a = GroupNumber(line.substr(0, comma), line, &what);
    const std::optional<int32_t> b = a ? GroupNumber(line.substr(comma + 1), line, &what) : std::nullopt;
    if (!b) {
      return refuse.At(line_number, what);
    }
    size_t first = 0;
    switch (links.Add(*a, *b, line_number, &first)) {
      case LinkSet::Added::SelfLink:
        return refuse.At(line_number, "a link joins two different groups (got " + QuoteForMessage(line) + ")");
      case LinkSet::Added::Repeat:
        return refuse.At(line_number, "the link " + QuoteForMessage(line) + " repeats the one on line " +
                                          std::to_string(first) + ": each link once, in either direction");
      case LinkSet::Added::Yes:
        break;
    }
    largest = std::max({largest, *a, *b});
  }
  if (line_number == 0) {
    return refuse.File("the file is empty: it must list the links \"a,b\", one a line");
  }
  return Finish(largest, links,
                "the links name groups up to " + std::to_string(largest) + " only (N is the largest group number)",
                refuse);
}

// --- GraphML -----------------------------------------------------------------

// Where an element stands in the document; Other is anything skipped (keys,
// data, descriptions, ports, elements of other namespaces) with its content.
enum class Role { GraphMl, Graph, Node, Edge, Other };

struct GraphMlEdge {
  std::string_view source_typed;
  std::string_view target_typed;
  std::string source;
  std::string target;
  size_t line;
};

struct GraphMlContent {
  bool has_graph = false;
  int32_t nodes = 0;
  std::unordered_map<std::string, int32_t> group_of;  // node id -> group number
  std::unordered_map<std::string, size_t> line_of;    // node id -> line of its <node>
  std::vector<GraphMlEdge> edges;
};

// The attribute's decoded value, or nullptr with *what set.
const XmlAttribute* Required(const XmlEvent& event, std::string_view name, std::string* what) {
  const XmlAttribute* attribute = event.Find(name);
  if (attribute == nullptr) {
    *what = "the attribute " + std::string(name) + " is missing from this <" + std::string(event.name) + ">";
  }
  return attribute;
}

bool TakeGraph(const XmlEvent& event, GraphMlContent* content, std::string* what) {
  if (content->has_graph) {
    *what = "a second <graph>: the file must hold one network";
    return false;
  }
  content->has_graph = true;
  const XmlAttribute* direction = event.Find("edgedefault");
  if (direction == nullptr || direction->value != "undirected") {
    *what =
        "the graph must be undirected: edgedefault=\"undirected\" (got " +
        (direction == nullptr ? std::string("no edgedefault") : "edgedefault=" + QuoteForMessage(direction->typed)) +
        ")";
    return false;
  }
  return true;
}

bool TakeNode(const XmlEvent& event, GraphMlContent* content, std::string* what) {
  const XmlAttribute* id = Required(event, "id", what);
  if (id == nullptr) return false;
  const auto [at, inserted] = content->line_of.emplace(id->value, event.line);
  if (!inserted) {
    *what = "node " + QuoteForMessage(id->typed) + " has the id of the node on line " + std::to_string(at->second) +
            ": node ids must differ";
    return false;
  }
  if (content->nodes == kMaxGroups) {
    *what = "node " + QuoteForMessage(id->typed) + " is node 501: " + kGroupsAllowed;
    return false;
  }
  content->group_of.emplace(id->value, ++content->nodes);
  return true;
}

bool TakeEdge(const XmlEvent& event, GraphMlContent* content, std::string* what) {
  const XmlAttribute* source = Required(event, "source", what);
  const XmlAttribute* target = source == nullptr ? nullptr : Required(event, "target", what);
  if (target == nullptr) return false;
  const XmlAttribute* directed = event.Find("directed");
  if (directed != nullptr && directed->value != "false") {
    *what = "the edge from node " + QuoteForMessage(source->typed) + " to node " + QuoteForMessage(target->typed) +
            " must be undirected: no directed attribute, or directed=\"false\" (got directed=" +
            QuoteForMessage(directed->typed) + ")";
    return false;
  }
  if (content->edges.size() == kMaxLinks) {
    *what = "more edges than 500 groups can have links (124750)";
    return false;
  }
  content->edges.push_back({source->typed, target->typed, source->value, target->value, event.line});
  return true;
}

// The role of a child element named name of an element in role parent;
// false with *what set for what GraphML allows but a network cannot hold.
bool ChildRole(Role parent, const XmlEvent& event, Role* role, std::string* what) {
  const std::string_view name = event.name;
  *role = Role::Other;
  if (parent == Role::GraphMl && name == "graph") {
    *role = Role::Graph;
  } else if (parent == Role::Graph && name == "node") {
    *role = Role::Node;
  } else if (parent == Role::Graph && name == "edge") {
    *role = Role::Edge;
  } else if (parent == Role::Graph && name == "hyperedge") {
    *what = "a <hyperedge> is not allowed: a link joins two groups (an <edge>)";
    return false;
  } else if ((parent == Role::Node || parent == Role::Edge) && name == "graph") {
    *what = "a graph inside a node or an edge is not allowed: the network is one flat graph";
    return false;
  }
  return true;
}

bool TakeElement(Role role, const XmlEvent& event, GraphMlContent* content, std::string* what) {
  switch (role) {
    case Role::Graph:
      return TakeGraph(event, content, what);
    case Role::Node:
      return TakeNode(event, content, what);
    case Role::Edge:
      return TakeEdge(event, content, what);
    case Role::GraphMl:
    case Role::Other:
      break;
  }
  return true;
}

// The edges as links between groups, once all the nodes are known.
std::optional<NetworkLinks> ResolveEdges(GraphMlContent& content, const Refusal& refuse) {
  if (!content.has_graph) {
    return refuse.File("the file holds no <graph>");
  }
  LinkSet links;
  for (const GraphMlEdge& edge : content.edges) {
    const auto source = content.group_of.find(edge.source);
    const auto target = content.group_of.find(edge.target);
    if (source == content.group_of.end() || target == content.group_of.end()) {
      const bool source_unknown = source == content.group_of.end();
      return refuse.At(edge.line, std::string("the edge's ") + (source_unknown ? "source" : "target") + " " +
                                      QuoteForMessage(source_unknown ? edge.source_typed : edge.target_typed) +
                                      " is not the id of a node: an edge joins two nodes of the graph");
    }
    const std::string between =
        "the edge between nodes " + QuoteForMessage(edge.source_typed) + " and " + QuoteForMessage(edge.target_typed);
    size_t first = 0;
    switch (links.Add(source->second, target->second, edge.line, &first)) {
      case LinkSet::Added::SelfLink:
        return refuse.At(edge.line, "the edge links node " + QuoteForMessage(edge.source_typed) +
                                        " to itself: a link joins two different groups");
      case LinkSet::Added::Repeat:
        return refuse.At(edge.line, between + " repeats the one on line " + std::to_string(first) +
                                        ": each link once, in either direction");
      case LinkSet::Added::Yes:
        break;
    }
  }
  return Finish(content.nodes, links, "the graph has " + std::to_string(content.nodes) + " nodes", refuse);
}

std::optional<NetworkLinks> ParseGraphMl(std::string_view text, const Refusal& refuse) {
  if (text.empty()) {
    return refuse.File("the file is empty: it must hold a GraphML document");
  }
  XmlReader xml(text);
  XmlEvent event;
  std::string what;
  size_t line = 0;
  std::vector<Role> open;
  GraphMlContent content;
  for (;;) {
    if (!xml.Next(&event, &what, &line)) {
      return refuse.At(line, what);
    }
    if (event.kind == XmlEvent::Kind::Done) {
      break;
    }
    if (event.kind == XmlEvent::Kind::End) {
      open.pop_back();
      continue;
    }
    Role role = Role::GraphMl;
    if (open.empty() && event.name != "graphml") {
      return refuse.At(event.line, "the root element must be <graphml> (got <" + std::string(event.name) + ">)");
    }
    if (!open.empty() && !ChildRole(open.back(), event, &role, &what)) {
      return refuse.At(event.line, what);
    }
    if (!TakeElement(role, event, &content, &what)) {
      return refuse.At(event.line, what);
    }
    open.push_back(role);
  }
  return ResolveEdges(content, refuse);
}

}  // namespace

Outcome<NetworkLinks> ParseNetworkText(std::string_view text, const std::string& file_name) {
  std::string error;
  const Refusal refuse(file_name, &error);
  const std::optional<NetworkFormat> format = NetworkFormatOf(file_name);
  std::optional<NetworkLinks> links;
  if (!format) {
    refuse.File("a network file's name ends in .graphml (GraphML) or .csv (an edge list)");
  } else {
    links = *format == NetworkFormat::GraphMl ? ParseGraphMl(text, refuse) : ParseEdgeCsv(text, refuse);
  }
  if (!links) {
    return Failure::Usage(error);
  }
  return std::move(*links);
}

}  // namespace veldaris::cli
