"""Sweeps in this process (sweep) and sweep directories on disk (load_sweep)."""

import collections
import io
import json
import math
import numbers
import os

import pandas as pd

from . import _core
from ._run import _text


def _toml_value(key, value):
    if isinstance(value, str):
        return json.dumps(value)  # a TOML basic string
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, numbers.Integral):
        return str(int(value))
    if isinstance(value, numbers.Real):
        if not math.isfinite(value):
            raise ValueError(f'{key} must be a finite number (got "{value}")')
        return repr(float(value))
    if isinstance(value, os.PathLike):
        return json.dumps(os.fspath(value))
    raise TypeError(f"{key} takes a number or text, not {type(value).__name__}")


def sweep_file(grid, replicates, seed):
    """The sweep file (TOML) that veldaris-sweep would take for this grid."""
    lines = []
    for key, values in grid.items():
        if isinstance(values, (list, tuple)) or hasattr(values, "tolist"):
            values = list(values.tolist() if hasattr(values, "tolist") else values)
            lines.append(f"{key} = [{', '.join(_toml_value(key, v) for v in values)}]")
        else:
            lines.append(f"{key} = {_toml_value(key, values)}")
    lines.append(f"replicates = {_toml_value('replicates', replicates)}")
    lines.append(f"seed = {_toml_value('seed', seed)}")
    return "\n".join(lines) + "\n"


def sweep(grid, replicates, seed, jobs=None):
    """Runs a sweep in this process and returns its summary as a DataFrame.

    grid maps parameters (as for veldaris.run) to one value or a list of values;
    replicates and seed are the sweep file's. The runs, seeds and values are
    veldaris-sweep's for the same file, the frame its summary.csv (one row per
    run: the plan's columns, the network measures and the outcomes), and
    ``frame.attrs["aggregate"]`` its aggregate.csv (per point: means, standard
    deviations and 95 % intervals). jobs threads run at the same time (default:
    the number of cores).
    """
    if jobs is None:
        jobs = os.cpu_count() or 1
    if not isinstance(jobs, numbers.Integral) or isinstance(jobs, bool) or jobs < 1:
        raise ValueError(f'jobs must be a whole number from 1 (got "{jobs}")')
    summary, aggregate = _core.sweep_summary(sweep_file(grid, replicates, seed), int(jobs))
    frame = pd.read_csv(io.StringIO(summary))
    frame.attrs["aggregate"] = pd.read_csv(io.StringIO(aggregate))
    return frame


SweepDirectory = collections.namedtuple("SweepDirectory", ["plan", "summary", "aggregate"])


def load_sweep(directory):
    """The plan, summary and aggregate of a veldaris-sweep directory, as DataFrames."""
    def read(name):
        return pd.read_csv(os.path.join(os.fspath(directory), name))

    return SweepDirectory(read("plan.csv"), read("summary.csv"), read("aggregate.csv"))


del _text
