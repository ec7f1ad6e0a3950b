"""One simulation: stepping it (Simulation) and the finished run (Run)."""

import numbers
import os
import secrets
import tempfile

import numpy as np
import pandas as pd

from . import _core

_MAX_SEED = 4294967295
_SEED_ALLOWED = "a whole number from 0 to 4294967295"
_LINK_COLUMNS = ("Link_Typ", "Link_Min", "Link_Max")


def _default_value(text):
    """A default text as the Python value that gives it back (None: not given)."""
    if not text:
        return None
    if text.isdigit():
        return int(text)
    try:
        return float(text)
    except ValueError:
        return text


def parameter_keywords():
    """{keyword: (default, help)} of every run parameter, in veldaris-run's order."""
    return {name: (_default_value(default), help_text) for name, default, help_text in _core.parameter_rows()}


def _text(name, value):
    """A keyword's value as the text veldaris-run would take."""
    if isinstance(value, bool):
        raise ValueError(f'{name} must not be a truth value (got "{value}")')
    if isinstance(value, numbers.Integral):
        return str(int(value))
    if isinstance(value, numbers.Real):
        return repr(float(value))
    if isinstance(value, (str, os.PathLike)):
        return os.fspath(value)
    raise TypeError(f"{name} takes a number or text, not {type(value).__name__}")


def _network_file(value, directory):
    """network_from given as a networkx graph or an (E, 2) array of group
    numbers 1..N: written to a file of directory in a format veldaris-run reads
    (GraphML for a graph, so that groups without links keep their place; its
    groups are numbered in the graph's node order). Other values as they are."""
    if hasattr(value, "nodes") and hasattr(value, "edges"):
        number = {node: i + 1 for i, node in enumerate(value.nodes())}
        lines = ['<?xml version="1.0" encoding="UTF-8"?>',
                 '<graphml xmlns="http://graphml.graphdrawing.org/xmlns">',
                 '<graph edgedefault="undirected">']
        lines += ['<node id="%d"/>' % i for i in range(1, len(number) + 1)]
        lines += ['<edge source="%d" target="%d"/>' % (number[a], number[b]) for a, b in value.edges()]
        lines += ["</graph>", "</graphml>"]
        path = os.path.join(directory, "network.graphml")
        with open(path, "w", encoding="utf-8") as out:
            out.write("\n".join(lines) + "\n")
        return path
    if isinstance(value, (np.ndarray, list, tuple)):
        links = np.asarray(value)
        if links.ndim != 2 or links.shape[1] != 2 or not np.issubdtype(links.dtype, np.integer):
            raise ValueError("network_from must be a file name, a networkx graph or an (E, 2) array of whole numbers "
                             f"(got an array of shape {links.shape} and type {links.dtype})")
        path = os.path.join(directory, "network.csv")
        with open(path, "w", encoding="ascii") as out:
            out.write("source,target\n")
            out.writelines("%d,%d\n" % (int(a), int(b)) for a, b in links)
        return path
    return value


def _seed(name, value):
    if value is None:
        return None
    if isinstance(value, bool) or not isinstance(value, numbers.Integral) or not 0 <= int(value) <= _MAX_SEED:
        raise ValueError(f'{name} must be {_SEED_ALLOWED} (got "{value}")')
    return int(value)


def _seeds(network_seed, run_seed, seed):
    network_seed = _seed("network_seed", network_seed)
    run_seed = _seed("run_seed", run_seed)
    seed = _seed("seed", seed)
    if seed is not None:
        if network_seed is not None or run_seed is not None:
            raise ValueError("seed excludes network_seed and run_seed")
        return seed, seed
    if network_seed is None:
        network_seed = secrets.randbelow(_MAX_SEED + 1)
    if run_seed is None:
        run_seed = secrets.randbelow(_MAX_SEED + 1)
    return network_seed, run_seed


class Simulation:
    """One simulation, stepped batch by batch (ten generations a batch).

    Takes the keywords of :func:`veldaris.run`. The network is built at once
    (see ``measures``); ``step()`` starts the run on its first call.
    """

    def __init__(self, *, network_seed=None, run_seed=None, seed=None, **parameters):
        known = _core.parameter_rows()
        names = {name for name, _default, _help in known}
        unknown = sorted(set(parameters) - names)
        if unknown:
            raise TypeError(f"unknown parameter {unknown[0]!r}; the parameters are {', '.join(sorted(names))}")
        network_seed, run_seed = _seeds(network_seed, run_seed, seed)
        with tempfile.TemporaryDirectory() as directory:
            if "network_from" in parameters:
                parameters = dict(parameters, network_from=_network_file(parameters["network_from"], directory))
            texts = {name: _text(name, value) for name, value in parameters.items()}
            self._core = _core.Simulation(texts, network_seed)
        self._run_seed = run_seed
        self._started = False

    @property
    def parameters(self):
        """The parameters as veldaris-run took them (texts), with the stored rewiring_percent."""
        return self._core.parameters()

    @property
    def network_seed(self):
        return self._core.network_seed

    @property
    def run_seed(self):
        return self._run_seed

    @property
    def complete(self):
        """Whether every generation has been played."""
        return self._core.complete

    def step(self, batches=1):
        """Plays up to ``batches`` more batches; returns the last generation played."""
        if not isinstance(batches, numbers.Integral) or batches < 0:
            raise ValueError(f'batches must be a whole number from 0 (got "{batches}")')
        if not self._started:
            self._core.start(self._run_seed)
            self._started = True
        return self._core.step(int(batches))

    def run_to_end(self):
        """Starts the run again and plays it to its end."""
        self._core.run_to_end(self._run_seed)
        self._started = True
        return self

    @property
    def series(self):
        """The series played so far: a DataFrame indexed by generation (1..)."""
        values = self._core.series()
        frame = pd.DataFrame(values, columns=list(_core.SERIES_NAMES),
                             index=pd.RangeIndex(1, len(values) + 1, name="Gen"))
        for column, degree in zip(_LINK_COLUMNS, self._core.degree_classes()):
            frame[column] = np.int64(degree)
        return frame

    @property
    def measures(self):
        """The network's four measures."""
        return self._core.measures()

    @property
    def edges(self):
        """Every link once as (smaller, larger) group number (1..N): an (E, 2) array."""
        return self._core.edges()

    @property
    def degree_distribution(self):
        """P(k) of the network for k = 0..N, as a Series indexed by k."""
        values = self._core.degree_distribution()
        return pd.Series(values, index=pd.RangeIndex(0, len(values), name="k"), name="P(k)")

    def to_networkx(self):
        """The network as a networkx.Graph of nodes 1..N."""
        import networkx as nx

        graph = nx.Graph()
        graph.add_nodes_from(range(1, int(self.parameters["groups"]) + 1))
        graph.add_edges_from(self.edges.tolist())
        return graph

    def picture(self):
        """What the window shows (network, degree plot, measures, chart) as SVG text."""
        return self._core.picture()

    def _repr_svg_(self):
        return self.picture()


class Run(Simulation):
    """A finished run: its parameters, seeds, series, network, measures and outcomes."""

    def __init__(self, simulation):
        if not simulation.complete:
            raise ValueError("the simulation has not been run to its end")
        self._core = simulation._core
        self._run_seed = simulation._run_seed
        self._started = True

    def __repr__(self):
        p = self.parameters
        return (f"<veldaris.Run {p['network']} N={p['groups']} G={p['generations']}"
                f" network_seed={self.network_seed} run_seed={self.run_seed}>")

    @property
    def outcomes(self):
        """C_Avg and D_Avg at the last generation, and their means over the last tenth."""
        return self._core.outcomes()

    def step(self, batches=1):
        raise ValueError("the run is complete")

    def write(self, directory="."):
        """Writes the two result files and run.json into directory, as veldaris-run does.

        The directory is created when missing. Raises OSError when a file could not be
        written; the result files are then both left as they were.
        """
        os.makedirs(directory, exist_ok=True)
        outcome = self._core.write(os.fspath(directory))
        failures = [f"{name}: {why}" for name, why in outcome.items() if why is not None]
        if failures:
            raise OSError("could not write " + "; ".join(failures))
        return [os.path.join(os.fspath(directory), name) for name in outcome]
