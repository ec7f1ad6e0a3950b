#!/usr/bin/env python3
"""A network made in networkx, with isolated groups and two components of
links, played by veldaris-run from GraphML and from a CSV edge list: both give
the same result files, and the printed components and path lengths agree with
networkx's.

Usage: network_from_check.py VELDARIS_RUN WORK_DIR
Exit 77 (skipped) when networkx is not installed."""
import itertools
import json
import os
import shutil
import subprocess
import sys

try:
    import networkx as nx
except ImportError:
    print("SKIP: networkx is not installed (Debian python3-networkx)")
    sys.exit(77)


def main():
    program, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    # Groups 1..40: a ring with chords on 1..24, a random graph on 27..40, and
    # 25 and 26 alone. Ids are strings in GraphML, in insertion order.
    graph = nx.Graph()
    graph.add_nodes_from(range(1, 41))
    graph.add_edges_from((i, i % 24 + 1) for i in range(1, 25))
    graph.add_edges_from((i, (i + 6) % 24 + 1) for i in range(1, 25, 3))
    random_part = nx.gnp_random_graph(14, 0.35, seed=4)
    graph.add_edges_from((a + 27, b + 27) for a, b in random_part.edges())
    graph.add_edge(27, 40)
    nx.write_graphml(nx.relabel_nodes(graph, lambda n: "g%d" % n), os.path.join(work, "net.graphml"))
    with open(os.path.join(work, "net.csv"), "w", newline="") as out:
        out.write("source,target\n")
        for a, b in graph.edges():
            out.write("%d,%d\n" % (a, b))

    results = {}
    for name in ("net.graphml", "net.csv"):
        out_dir = os.path.join(work, name + ".out")
        run = subprocess.run([program, "--network-from", os.path.join(work, name), "--strategies", "4",
                              "--generations", "200", "--length", "12", "--run-seed", "31337", "--temptation", "1.4",
                              "--reward", "1", "--punishment", "0.1", "--output-dir", out_dir],
                             capture_output=True, text=True)
        if run.returncode != 0:
            print(name, "failed:", run.stderr)
            return 1
        files = [open(os.path.join(out_dir, f), "rb").read()
                 for f in ("Veldaris_Result_Initial.csv", "Veldaris_Result_All.csv")]
        record = json.load(open(os.path.join(out_dir, "run.json")))
        results[name] = (files, record, run.stdout)

    failures = []
    if results["net.graphml"][0] != results["net.csv"][0]:
        failures.append("the result files differ between GraphML and CSV")
    components = nx.number_connected_components(graph)
    lengths = [d for source, targets in nx.all_pairs_shortest_path_length(graph)
               for target, d in targets.items() if source != target]
    reachable = sum(lengths) / len(lengths)
    n = graph.number_of_nodes()
    unreachable = n * (n - 1) - len(lengths)
    characteristic = (sum(lengths) + unreachable * n) / (n * (n - 1))
    for name, (_, record, stdout) in results.items():
        measures = record["network_measures"]
        if measures["components"] != components:
            failures.append("%s: %s components, networkx %d" % (name, measures["components"], components))
        if abs(measures["reachable_path_length"] - reachable) > 1e-9:
            failures.append("%s: reachable path length %r, networkx %r" % (name, measures["reachable_path_length"],
                                                                           reachable))
        if abs(measures["characteristic_path_length"] - characteristic) > 1e-9:
            failures.append("%s: characteristic path length %r, expected %r (unreachable pairs count as N)" %
                            (name, measures["characteristic_path_length"], characteristic))
        if "Components: %d\n" % components not in stdout:
            failures.append("%s: components not printed: %s" % (name, stdout))
        if record["parameters"]["network_from"] is None or record["parameters"]["groups"] != n:
            failures.append("%s: run.json parameters %r" % (name, record["parameters"]))
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
