// Reading a network back: what the export writes, what networkx writes, and
// every refusal with its message.
#include "cli/network_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cli/network_export.h"
#include "cli_test_support.h"
#include "model/simulation.h"

namespace fs = std::filesystem;

namespace {

using veldaris::cli::NetworkLinks;
using veldaris::cli::ParseNetworkText;
using Links = std::vector<std::array<int32_t, 2>>;

std::set<std::pair<int32_t, int32_t>> LinkSet(const Links& links) {
  std::set<std::pair<int32_t, int32_t>> set;
  for (const auto& [a, b] : links) set.emplace(std::min(a, b), std::max(a, b));
  return set;
}

// The text's refusal message, or "(accepted)".
std::string Refusal(const std::string& name, const std::string& text) {
  const auto read = ParseNetworkText(text, name);
  return read.ok() ? "(accepted)" : read.failure().Message();
}

// A GraphML document around body, with the graph's start tag as given.
std::string GraphMl(const std::string& body, const std::string& graph = "<graph id=\"G\" edgedefault=\"undirected\">") {
  return "<?xml version=\"1.0\"?>\n<graphml xmlns=\"http://graphml.graphdrawing.org/xmlns\">\n" + graph + "\n" + body +
         "</graph>\n</graphml>\n";
}

const std::string kThreeNodes = "<node id=\"a\"/><node id=\"b\"/><node id=\"c\"/>\n";

// Both formats of networks the model built, read back to the same links.
TEST(NetworkImportTest, ReadsBackWhatTheExportWrites) {
  using namespace veldaris;
  const ParameterChoice choices[] = {{SMALL_WORLD, 20, 2, 100, 4, 10, 0.3}, {SCALE_FREE, 37, 2, 100, 6, 10, 0.0}};
  for (const ParameterChoice& choice : choices) {
    SimulationPtr owned = NewSimulation();
    Simulation& sim = *owned;
    ASSERT_TRUE(SetParameters(sim, choice, 99));
    BuildAndMeasureNetwork(sim, 99);
    std::set<std::pair<int32_t, int32_t>> built;
    for (int32_t g = 1; g <= choice.group_count; ++g) {
      for (int32_t slot = 1; slot <= sim.groups[g].degree; ++slot) {
        built.emplace(std::min(g, sim.groups[g].neighbours[slot]), std::max(g, sim.groups[g].neighbours[slot]));
      }
    }
    for (const auto& [name, text] :
         {std::pair{"n.graphml", cli::NetworkGraphMl(sim)}, std::pair{"n.csv", cli::NetworkEdgeCsv(sim)}}) {
      const auto read = ParseNetworkText(text, name);
      ASSERT_TRUE(read.ok()) << read.failure().Message();
      EXPECT_EQ(read.value().groups, choice.group_count) << name;
      EXPECT_EQ(read.value().links.size(), built.size()) << name;  // no link twice
      EXPECT_EQ(LinkSet(read.value().links), built) << name;
    }
  }
}

// A small graph written by networkx 2.8 (string ids, isolated nodes, two
// components, attributes of the graph, nodes and edges): groups in document
// order alpha beta lonely gamma delta x'1 x"2 spare.
TEST(NetworkImportTest, ReadsNetworkxGraphMl) {
  const auto read =
      veldaris::cli::LoadNetworkFile((fs::path(VELDARIS_TEST_DATA_DIR) / "network" / "networkx.graphml").string());
  ASSERT_TRUE(read.ok()) << read.failure().Message();
  EXPECT_EQ(read.value()->groups, 8);
  EXPECT_EQ(read.value()->links, (Links{{1, 2}, {1, 4}, {2, 4}, {4, 5}, {6, 7}}));
}

TEST(NetworkImportTest, AcceptsTheVariantsBothFormatsAllow) {
  struct Case {
    const char* name;
    std::string text;
    int32_t groups;
    Links links;
  };
  const Case cases[] = {
      {"plain.csv", "3,1\n2,3", 3, {{3, 1}, {2, 3}}},
      {"crlf.CSV", "\xEF\xBB\xBFsource,target\r\n1,2\r\n010,2\r\n", 10, {{1, 2}, {10, 2}}},
      {"any-order.graphml",
       GraphMl("<edge source='7' target=\"3\" directed=\"false\"/>\n<node id='7'/><node id=\"3\"/><node id=\"5\"/>\n"
               "<edge target=\"5\" source=\"3\"/>\n"),
       3,
       {{1, 2}, {2, 3}}},
      {"markup.graphml",
       "\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?>\n<!-- a comment -->\n<?app hint?>\n"
       "<graphml xmlns:y=\"urn:other\">\n<key id=\"k\" for=\"node\"><default>1</default></key>\n"
       "<graph edgedefault = 'undirected'>\n<desc>a &lt; b<![CDATA[ <node id=\"x\"/> ]]></desc>\n"
       "<node id=\"a&amp;b\"><data key=\"k\"><y:node id=\"z\"/>text</data><port name=\"p\"/></node>\n"
       "<node id=\"&#x3c;&#62;\"/><node\n id=\"line\r\nbreak\"/>\n"
       "<edge source=\"a&#38;b\" target=\"&lt;>\" sourceport=\"p\"/><edge source=\"line break\" target=\"&lt;&gt;\"/>\n"
       "</graph>\n</graphml>\n<!-- after -->\n",
       3,
       {{1, 2}, {3, 2}}},
  };
  for (const Case& c : cases) {
    const auto read = ParseNetworkText(c.text, c.name);
    ASSERT_TRUE(read.ok()) << c.name << ": " << read.failure().Message();
    EXPECT_EQ(read.value().groups, c.groups) << c.name;
    EXPECT_EQ(read.value().links, c.links) << c.name;
  }
}

TEST(NetworkImportTest, RefusesBadEdgeLists) {
  const std::string must = "a group number is a whole number from 1 to 500 in decimal digits";
  const std::pair<std::string, std::string> cases[] = {
      {"", "n.csv: the file is empty: it must list the links \"a,b\", one a line"},
      {"source,target\n", "n.csv: no link: a network needs at least one"},
      {"1,2\n",
       "n.csv: the links name groups up to 2 only (N is the largest group number): "
       "a network has from 3 to 500 groups"},
      {"1,2\n3,1\n2,1\n", "n.csv:3: the link \"2,1\" repeats the one on line 1: each link once, in either direction"},
      {"source,target\r\n1,2\r\n3,3\r\n", "n.csv:3: a link joins two different groups (got \"3,3\")"},
      {"1,2\n\n2,3\n",
       "n.csv:2: a line is a link \"a,b\" between two group numbers (the first may be the header "
       "\"source,target\") (got \"\")"},
      {"1,2,3\n",
       "n.csv:1: a line is a link \"a,b\" between two group numbers (the first may be the header "
       "\"source,target\") (got \"1,2,3\")"},
      {"3,1\n1,0\n", "n.csv:2: " + must + " (got \"0\" in \"1,0\")"},
      {"-1,2\n", "n.csv:1: " + must + " (got \"-1\" in \"-1,2\")"},
      {"1,+2\n", "n.csv:1: " + must + " (got \"+2\" in \"1,+2\")"},
      {"1, 2\n", "n.csv:1: " + must + " (got \" 2\" in \"1, 2\")"},
      {"1,2\r3\n", "n.csv:1: " + must + " (got \"2\\r3\" in \"1,2\\r3\")"},
      {"1,\"2\"\x01\n", "n.csv:1: " + must + " (got \"\\\"2\\\"\\x01\" in \"1,\\\"2\\\"\\x01\")"},
      {"1,501\n", "n.csv:1: there are at most 500 groups: " + must + " (got \"501\" in \"1,501\")"},
      {"99999999999999999999999,1\n", "n.csv:1: there are at most 500 groups: " + must +
                                          " (got \"99999999999999999999999\" in \"99999999999999999999999,1\")"},
      {"1,2\nsource,target\n", "n.csv:2: " + must + " (got \"source\" in \"source,target\")"},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(Refusal("n.csv", text), message) << text;
  EXPECT_EQ(Refusal("n.txt", "1,2\n"),
            "n.txt: a network file's name ends in .graphml (GraphML) or .csv (an edge list)");
  const std::string long_name = "results/" + std::string(70, 'n') + "\n.csv";  // named whole, escaped
  EXPECT_EQ(Refusal(long_name, "1,1\n"),
            "results/" + std::string(70, 'n') + "\\n.csv:1: a link joins two different groups (got \"1,1\")");
}

TEST(NetworkImportTest, RefusesGraphsThatAreNoNetwork) {
  std::string many;
  for (int i = 1; i <= 501; ++i) many += "<node id=\"n" + std::to_string(i) + "\"/>\n";
  const std::pair<std::string, std::string> cases[] = {
      {GraphMl(kThreeNodes, "<graph edgedefault=\"directed\">"),
       "g.graphml:3: the graph must be undirected: edgedefault=\"undirected\" (got edgedefault=\"directed\")"},
      {GraphMl(kThreeNodes, "<graph>"),
       "g.graphml:3: the graph must be undirected: edgedefault=\"undirected\" (got no edgedefault)"},
      {GraphMl(kThreeNodes + "<edge source=\"a\" target=\"b\" directed=\"true\"/>\n"),
       "g.graphml:5: the edge from node \"a\" to node \"b\" must be undirected: no directed attribute, or "
       "directed=\"false\" (got directed=\"true\")"},
      {GraphMl(kThreeNodes + "<edge source=\"c\" target=\"c\"/>\n"),
       "g.graphml:5: the edge links node \"c\" to itself: a link joins two different groups"},
      {GraphMl(kThreeNodes + "<edge source=\"a\" target=\"b\"/>\n<edge source=\"c\" target=\"b\"/>\n"
                             "<edge source=\"b\" target=\"a\"/>\n"),
       "g.graphml:7: the edge between nodes \"b\" and \"a\" repeats the one on line 5: each link once, in either "
       "direction"},
      {GraphMl(kThreeNodes + "<edge source=\"a\" target=\"x\ny\"/>\n"),
       "g.graphml:5: the edge's target \"x\\ny\" is not the id of a node: an edge joins two nodes of the graph"},
      {GraphMl(kThreeNodes + "<edge target=\"a\"/>\n"),
       "g.graphml:5: the attribute source is missing from this <edge>"},
      {GraphMl(kThreeNodes + "<node id=\"b\"/>\n"),
       "g.graphml:5: node \"b\" has the id of the node on line 4: node ids must differ"},
      {GraphMl(many), "g.graphml:504: node \"n501\" is node 501: a network has from 3 to 500 groups"},
      {GraphMl("<node id=\"a\"/><node id=\"b\"/><edge source=\"a\" target=\"b\"/>\n"),
       "g.graphml: the graph has 2 nodes: a network has from 3 to 500 groups"},
      {GraphMl(kThreeNodes), "g.graphml: no link: a network needs at least one"},
      {GraphMl(kThreeNodes + "<hyperedge><endpoint node=\"a\"/></hyperedge>\n"),
       "g.graphml:5: a <hyperedge> is not allowed: a link joins two groups (an <edge>)"},
      {GraphMl("<node id=\"a\"><graph edgedefault=\"undirected\"/></node>\n"),
       "g.graphml:4: a graph inside a node or an edge is not allowed: the network is one flat graph"},
      {"<graphml><graph edgedefault=\"undirected\"/><graph edgedefault=\"undirected\"/></graphml>",
       "g.graphml:1: a second <graph>: the file must hold one network"},
      {"<graphml><key id=\"k\"/></graphml>", "g.graphml: the file holds no <graph>"},
      {"<?xml version=\"1.0\"?>\n<gexf/>", "g.graphml:2: the root element must be <graphml> (got <gexf>)"},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(Refusal("g.graphml", text), message) << text;
}

TEST(NetworkImportTest, RefusesMalformedXml) {
  const std::string body = kThreeNodes + "<edge source=\"a\" target=\"b\"/>\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "g.graphml: the file is empty: it must hold a GraphML document"},
      {" \n", "g.graphml:2: malformed XML: the document has no element"},
      {"<graphml>\n<graph edgedefault=\"undirected\">\n<node id=\"a\"/>\n",
       "g.graphml:4: malformed XML: the element <graph> opened on line 2 is not closed"},
      {GraphMl(body + "</node>\n"),
       "g.graphml:6: malformed XML: the end tag </node> does not close <graph> opened on line 3"},
      {GraphMl(body) + "<graphml/>", "g.graphml:8: malformed XML: a second root element <graphml>: a document has one"},
      {GraphMl(body) + "x", "g.graphml:8: malformed XML: text outside the root element (got \"x\")"},
      {GraphMl(body + "<data>&nbsp;</data>"),
       "g.graphml:6: malformed XML: a '&' must start &amp;, &lt;, &gt;, &quot;, &apos; or a character reference "
       "such as &#38; (got \"&nbsp;\")"},
      {GraphMl(body + "<node id=\"&#xD800;\"/>"),
       "g.graphml:6: malformed XML: in the attribute id, a '&' must start &amp;, &lt;, &gt;, &quot;, &apos; or a "
       "character reference such as &#38; (got \"&#xD800;\")"},
      {GraphMl(body + "<node id=\"&#4294967393;\"/>"),
       "g.graphml:6: malformed XML: in the attribute id, a '&' must start &amp;, &lt;, &gt;, &quot;, &apos; or a "
       "character reference such as &#38; (got \"&#4294967393;\")"},
      {GraphMl(body + "<node id=\"a<b\"/>"),
       "g.graphml:6: malformed XML: in the attribute id, '<' is not allowed in an attribute value (write &lt;)"},
      {GraphMl(body + "<node id=\"x\" id=\"y\"/>"),
       "g.graphml:6: malformed XML: the attribute id is given twice in the tag <node>"},
      {GraphMl(body + "<node id=x/>\n"),
       "g.graphml:6: malformed XML: the attribute id must have a quoted value: id=\"...\" (got \"id=x/>\")"},
      {GraphMl(body + "<node id=\"x\" / >\n"),
       "g.graphml:6: malformed XML: in the tag <node>, expected an attribute, '>' or \"/>\" (got \"/ >\")"},
      {GraphMl(body + "<node id=\"x\"\x02/>\n"),
       "g.graphml:6: malformed XML: in the tag <node>, white space must come before an attribute (got \"\\x02/>\")"},
      {GraphMl(body + "<!-- a -- b -->"), "g.graphml:6: malformed XML: \"--\" is not allowed inside a comment"},
      {"<!DOCTYPE graphml [<!ENTITY e \"a\">]>\n" + GraphMl(body),
       "g.graphml:1: malformed XML: a DOCTYPE is not allowed (nor the entities it could declare)"},
      {"\n<?xml version=\"1.0\"?>" + GraphMl(body),
       "g.graphml:2: malformed XML: the XML declaration <?xml ...?> may only start the file"},
      {"<graphml>\n< graph>",
       "g.graphml:2: malformed XML: '<' must start a tag, a comment or a processing instruction "
       "(got \"< graph>\")"},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(Refusal("g.graphml", text), message) << text;
}

TEST(NetworkImportTest, ReadsFilesAsBytesAndNamesThoseItCannotRead) {
  const fs::path dir = fs::temp_directory_path() / "veldaris_network_import";
  fs::remove_all(dir);
  fs::create_directories(dir / "d.csv");
  veldaris::cli::cli_test::WriteFile(dir / "crlf.csv", "source,target\r\n1,3\r\n");
  const auto load = [](const fs::path& path) { return veldaris::cli::LoadNetworkFile(path.string()); };
  const auto read = load(dir / "crlf.csv");
  ASSERT_TRUE(read.ok()) << read.failure().Message();
  EXPECT_EQ(read.value()->links, (Links{{1, 3}}));
  const auto quoted = [](const fs::path& path) { return std::string(1, '"').append(path.string()).append(1, '"'); };
  EXPECT_EQ(load(dir / "missing.csv").failure().Message(), quoted(dir / "missing.csv") + " is not an existing file");
  EXPECT_EQ(load(dir / "d.csv").failure().Message(), quoted(dir / "d.csv") + " is not a regular file of at most 64 MB");
  fs::remove_all(dir);
}

}  // namespace
