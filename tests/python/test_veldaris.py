"""The Python module against the reference files and the programs: the same
bytes, values, seeds and messages."""

import os
import subprocess
import threading

import numpy as np
import pandas as pd
import pytest

import veldaris

GOLDEN = os.environ["VELDARIS_GOLDEN"]
RUN_EXE = os.environ["VELDARIS_RUN_EXE"]
SWEEP_EXE = os.environ["VELDARIS_SWEEP_EXE"]

# The reference cases of tests/data/golden, as keywords and seeds.
CASES = {
    "sw50": (dict(network="small-world", groups=50, strategies=8, generations=1000, connectivity=8, length=10,
                  rewiring=0.1), 1234567, 1234568),
    "lattice": (dict(groups=50, strategies=4, connectivity=4), 42, 43),
    "sf50": (dict(network="scale-free", groups=50, strategies=4, connectivity=4), 777, 778),
    "sf500-s32-l64": (dict(network="scale-free", groups=500, strategies=32, generations=200, connectivity=16,
                           length=64), 3141592653, 2718281828),
    "sw97-s1-l65": (dict(groups=97, strategies=1, generations=300, connectivity=6, length=65, rewiring=0.57),
                    0, 4294967295),
    "sw120-k2-l63": (dict(groups=120, strategies=3, generations=110, connectivity=2, length=63, rewiring=0.291),
                     65535, 65536),
}
RESULT_FILES = ("Veldaris_Result_Initial.csv", "Veldaris_Result_All.csv")


def golden_run(name):
    parameters, network_seed, run_seed = CASES[name]
    return veldaris.run(network_seed=network_seed, run_seed=run_seed, **parameters)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


@pytest.mark.parametrize("name", sorted(CASES))
def test_a_run_gives_the_reference_files_series_measures_and_network(name, tmp_path):
    run = golden_run(name)
    written = run.write(tmp_path / "out")
    for file in RESULT_FILES:
        assert read_bytes(tmp_path / "out" / file) == read_bytes(os.path.join(GOLDEN, name, file)), file
    assert sorted(os.path.basename(p) for p in written) == sorted(RESULT_FILES + ("run.json",))

    # The series are the files' values (eight decimals), rows and degree columns included.
    reference = pd.read_csv(os.path.join(GOLDEN, name, "Veldaris_Result_All.csv"), index_col="Gen")
    series = run.series
    assert list(series.index[:2]) == [1, 2] and series.index[-1] == int(run.parameters["generations"])
    assert list(series.columns) == list(reference.columns)
    assert np.abs(series.loc[reference.index].to_numpy() - reference.to_numpy()).max() <= 5e-9

    # The measures as the reference printed them with 17 significant digits.
    with open(os.path.join(GOLDEN, name, "metrics.txt")) as f:
        metrics = dict(line.strip().split("=") for line in f if ".17g=" in line)
    measures = run.measures
    for key in ("average_degree", "degree_stdev", "characteristic_path_length", "clustering_coefficient"):
        assert f"{measures[key]:.17g}" == metrics[key + ".17g"], key
    # Every reference network is connected: one component, every pair reachable.
    assert measures["components"] == 1
    assert measures["reachable_path_length"] == measures["characteristic_path_length"]

    # The network: "group x y degree: neighbours" per line.
    expected = set()
    with open(os.path.join(GOLDEN, name, "network.txt")) as f:
        for line in f:
            head, _, neighbours = line.partition(":")
            if not head[:1].isdigit():
                continue
            group = int(head.split()[0])
            expected |= {(min(group, int(u)), max(group, int(u))) for u in neighbours.split()}
    assert run.edges.shape == (len(expected), 2)
    assert set(map(tuple, run.edges.tolist())) == expected
    assert run.to_networkx().number_of_edges() == len(expected)


def test_run_json_and_measures_match_veldaris_run(tmp_path):
    parameters, network_seed, run_seed = CASES["sw97-s1-l65"]
    subprocess.run([RUN_EXE, "--groups", "97", "--strategies", "1", "--generations", "300", "--connectivity", "6",
                    "--length", "65", "--rewiring", "0.57", "--network-seed", "0", "--run-seed", "4294967295",
                    "--output-dir", str(tmp_path / "cli"), "--quiet"], check=True, capture_output=True)
    run = golden_run("sw97-s1-l65")
    run.write(tmp_path / "py")
    import json

    cli = json.loads((tmp_path / "cli" / "run.json").read_text())
    py = json.loads((tmp_path / "py" / "run.json").read_text())
    for key in ("parameters", "network_seed", "run_seed", "network_measures", "outcomes", "result_files"):
        assert py[key] == cli[key], key
    assert {k: v for k, v in run.measures.items() if k in cli["network_measures"]} == cli["network_measures"]
    assert run.outcomes == cli["outcomes"]
    assert run.parameters == {"network": "small-world", "groups": "97", "strategies": "1", "generations": "300",
                              "connectivity": "6", "length": "65", "rewiring": "0.57",
                              "rewiring_percent": 56,  # 0.57 * 100, truncated
                              "temptation": "5", "reward": "3", "punishment": "1", "sucker": "0", "mutation": "0.001",
                              "rewiring_probability": "", "network_from": "", "network_sha256": ""}


def test_stepping_gives_the_run_batch_by_batch():
    parameters, network_seed, run_seed = CASES["sw120-k2-l63"]
    sim = veldaris.Simulation(network_seed=network_seed, run_seed=run_seed, **parameters)
    assert len(sim.series) == 0
    assert sim.step() == 10
    assert sim.step(batches=3) == 40
    assert len(sim.series) == 40 and not sim.complete
    assert sim.step(batches=100) == 110 and sim.complete
    whole = golden_run("sw120-k2-l63")
    pd.testing.assert_frame_equal(sim.series, whole.series)
    assert veldaris.Run(sim).outcomes == whole.outcomes


def test_seeds_not_given_are_drawn_and_recorded():
    a = veldaris.run(generations=10)
    b = veldaris.run(generations=10)
    assert (a.network_seed, a.run_seed) != (b.network_seed, b.run_seed)
    again = veldaris.run(generations=10, network_seed=a.network_seed, run_seed=a.run_seed)
    pd.testing.assert_frame_equal(again.series, a.series)


@pytest.mark.parametrize("option, value", [("groups", 2), ("groups", "010x"), ("generations", 15),
                                           ("rewiring", 1.5), ("network", "ring"), ("connectivity", 51)])
def test_bad_parameters_raise_the_programs_message_and_write_nothing(option, value, tmp_path, monkeypatch):
    cli = subprocess.run([RUN_EXE, f"--{option}", str(value), "--output-dir", str(tmp_path / "cli")],
                         capture_output=True, text=True)
    assert cli.returncode == 2
    # The programs name a parameter as veldaris-run's option, Python as its keyword.
    message = cli.stderr.splitlines()[0].removeprefix("veldaris-run: ").replace("--", "")
    monkeypatch.chdir(tmp_path)
    with pytest.raises(ValueError) as raised:
        veldaris.run(**{option: value})
    assert str(raised.value) == message
    assert os.listdir(tmp_path) == []


def test_bad_seeds_and_keywords_are_refused():
    with pytest.raises(ValueError, match=r'^run_seed must be a whole number from 0 to 4294967295 \(got "-1"\)$'):
        veldaris.run(run_seed=-1)
    with pytest.raises(ValueError, match="seed excludes"):
        veldaris.run(seed=1, network_seed=2)
    with pytest.raises(TypeError, match="unknown parameter 'group'"):
        veldaris.run(group=50)
    with pytest.raises(ValueError):
        veldaris.run(groups=True)


SWEEP = {"groups": [20, 30], "generations": 100, "connectivity": 4, "rewiring": [0.0, 0.25]}


def test_a_sweep_gives_veldaris_sweeps_summary_on_one_or_two_threads(tmp_path):
    (tmp_path / "sweep.toml").write_text(veldaris._sweep.sweep_file(SWEEP, 3, 99))
    subprocess.run([SWEEP_EXE, "run", str(tmp_path / "sweep.toml"), "--out", str(tmp_path / "dir"), "--quiet"],
                   check=True, capture_output=True)
    loaded = veldaris.load_sweep(tmp_path / "dir")
    one = veldaris.sweep(SWEEP, replicates=3, seed=99, jobs=1)
    two = veldaris.sweep(SWEEP, replicates=3, seed=99, jobs=2)
    pd.testing.assert_frame_equal(one, loaded.summary)
    pd.testing.assert_frame_equal(two, loaded.summary)
    pd.testing.assert_frame_equal(one.attrs["aggregate"], loaded.aggregate)
    assert len(one) == 12 and len(loaded.plan) == 12 and len(loaded.aggregate) == 4


def test_a_bad_sweep_raises_the_sweeps_message():
    with pytest.raises(ValueError, match=r'groups must be a whole number from 3 to 500 \(got "2"\)'):
        veldaris.sweep({"groups": [2, 50]}, replicates=1, seed=1)


def test_two_threads_give_what_one_gives():
    results = {}

    def work(name):
        results[name] = golden_run(name).series

    threads = [threading.Thread(target=work, args=(name,)) for name in ("sw50", "sf50")]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for name in ("sw50", "sf50"):
        pd.testing.assert_frame_equal(results[name], golden_run(name).series)


def resident_kib():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024


def test_a_thousand_runs_keep_memory_flat():
    def runs(count):
        for i in range(count):
            run = veldaris.run(groups=10, generations=10, connectivity=4, seed=i)
            run.series, run.edges, run.picture()

    runs(100)
    before = resident_kib()
    runs(1000)
    assert resident_kib() - before < 8 * 1024


def test_the_picture_is_svg_for_notebooks():
    run = veldaris.run(groups=10, generations=10, connectivity=4, seed=5)
    svg = run._repr_svg_()
    assert svg.startswith("<?xml") or svg.startswith("<svg")
    assert "</svg>" in svg


def test_research_parameters_and_networks_given_in_python(tmp_path):
    nx = pytest.importorskip("networkx")
    graph = nx.cycle_graph(30)
    graph.add_edges_from([(0, 15), (3, 22)])
    graph.add_node(30)  # a group without links, last: only GraphML keeps it
    common = dict(strategies=4, generations=100, length=12, temptation=1.9, reward=1, punishment=0.1, sucker=0,
                  mutation=0.002, run_seed=77)
    from_graph = veldaris.run(network_from=graph, **common)
    assert from_graph.parameters["groups"] == "31"
    assert from_graph.measures["components"] == 2
    edges = np.array([(a + 1, b + 1) for a, b in graph.edges()] + [(30, 31)])
    from_array = veldaris.run(network_from=edges, **common)
    assert from_array.measures["components"] == 1
    # The same network through a file written by networkx plays the same run.
    nx.write_graphml(graph, tmp_path / "g.graphml")
    from_file = veldaris.run(network_from=tmp_path / "g.graphml", **common)
    pd.testing.assert_frame_equal(from_file.series, from_graph.series)
    with pytest.raises(ValueError, match=r'temptation must be a number from -1000 to 1000 with at most 3 decimal'):
        veldaris.run(temptation=1.2345, generations=10)
    with pytest.raises(ValueError, match="groups cannot be given with network_from"):
        veldaris.run(network_from=graph, groups=31)
