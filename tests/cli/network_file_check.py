#!/usr/bin/env python3
"""veldaris-run's network file read back with networkx: the GraphML has the
groups with their attributes and every link once, the edge list the same links,
and networkx's average degree, average clustering and (on connected networks)
characteristic path length agree with the measures the driver printed.

Usage: network_file_check.py VELDARIS_RUN WORK_DIR
Exit 77 (skipped) when networkx is not installed."""
import os
import subprocess
import sys

try:
    import networkx as nx
except ImportError:
    print("SKIP: networkx is not installed (Debian python3-networkx)")
    sys.exit(77)

CASES = [
    ["--network", "small-world", "--groups", "50", "--connectivity", "8", "--rewiring", "0.1", "--seed", "1234567"],
    ["--network", "small-world", "--groups", "200", "--connectivity", "4", "--rewiring", "0.29", "--seed", "9"],
    ["--network", "scale-free", "--groups", "120", "--connectivity", "6", "--seed", "777"],
    # K 2 with rewiring: groups of degree 1, usually several components.
    ["--network", "small-world", "--groups", "60", "--connectivity", "2", "--rewiring", "0.5", "--seed", "65535"],
]
# The driver prints the measures with six decimals.
PRINTED = 5e-7


def printed_measures(stdout):
    measures = {}
    for line in stdout.splitlines():
        name, _, value = line.partition(": ")
        measures[name] = value
    return {
        "average_degree": float(measures["Average Degree"]),
        "characteristic_path_length": float(measures["Characteristic Path Length"]),
        "clustering_coefficient": float(measures["Clustering Coefficient"]),
    }


def check(case, work):
    out = os.path.join(work, "out")
    graphml = os.path.join(work, "network.graphml")
    edges_csv = os.path.join(work, "network.csv")
    common = [sys.argv[1], *case, "--generations", "10", "--quiet", "--output-dir", out]
    run = subprocess.run(common + ["--network-file", graphml], capture_output=True, text=True, check=True)
    subprocess.run(common + ["--network-file", edges_csv], capture_output=True, text=True, check=True)
    printed = printed_measures(run.stdout)
    groups = int(case[case.index("--groups") + 1])

    g = nx.read_graphml(graphml)
    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)

    expect(not g.is_directed(), "the graph is directed")
    expect(sorted(g.nodes, key=int) == [str(i) for i in range(1, groups + 1)], "nodes are not 1..N")
    expect(nx.number_of_selfloops(g) == 0, "a link to itself")
    for node, data in g.nodes(data=True):
        expect(isinstance(data["x"], int) and isinstance(data["y"], int), f"node {node}: x, y not integers")
        expect(data["degree"] == g.degree(node), f"node {node}: degree {data['degree']} != {g.degree(node)}")
        expect(abs(data["clustering"] - nx.clustering(g, node)) < 1e-12, f"node {node}: clustering")
    with open(edges_csv, encoding="ascii") as f:
        lines = f.read().splitlines()
    expect(lines[0] == "source,target", "edge list header")
    listed = {tuple(sorted(line.split(","), key=int)) for line in lines[1:]}
    expect(len(listed) == len(lines) - 1, "the edge list repeats a link")
    expect(listed == {tuple(sorted(e, key=int)) for e in g.edges}, "edge list and GraphML differ")

    average_degree = 2 * g.number_of_edges() / g.number_of_nodes()
    expect(abs(average_degree - printed["average_degree"]) < PRINTED,
           f"average degree {average_degree} != printed {printed['average_degree']}")
    clustering = nx.average_clustering(g)
    expect(abs(clustering - printed["clustering_coefficient"]) < PRINTED,
           f"clustering {clustering} != printed {printed['clustering_coefficient']}")
    if nx.is_connected(g):
        path_length = nx.average_shortest_path_length(g)
        expect(abs(path_length - printed["characteristic_path_length"]) < PRINTED,
               f"path length {path_length} != printed {printed['characteristic_path_length']}")
    return failures, nx.is_connected(g)


def main():
    work = sys.argv[2]
    os.makedirs(work, exist_ok=True)
    failed = False
    connected = 0
    for case in CASES:
        failures, is_connected = check(case, work)
        connected += is_connected
        for failure in failures:
            print(" ".join(case) + ": " + failure)
        failed = failed or bool(failures)
    if connected == 0:
        print("no case built a connected network: the path length was never compared")
        failed = True
    print(f"{len(CASES)} networks checked, {connected} connected")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
