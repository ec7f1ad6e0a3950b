"""Veldaris from Python: runs, their series and networks, and sweeps.

The simulations are the C++ model's, run by the same code as ``veldaris-run``
and ``veldaris-sweep``: the same parameters, messages, seeds and result files.

    >>> import veldaris
    >>> run = veldaris.run(groups=50, generations=1000, seed=42)
    >>> run.series.tail()          # pandas DataFrame, one row per generation
    >>> run.write("results")       # the two result files and run.json
"""

import inspect as _inspect
import secrets as _secrets

from . import _core
from ._run import Run, Simulation, parameter_keywords
from ._sweep import load_sweep, sweep

__all__ = ["run", "Run", "Simulation", "sweep", "load_sweep", "parameter_keywords", "__version__"]
__version__ = _core.VERSION


def run(*, network_seed=None, run_seed=None, seed=None, **parameters):
    """Runs one simulation to its end and returns it as a :class:`Run`."""
    simulation = Simulation(network_seed=network_seed, run_seed=run_seed, seed=seed, **parameters)
    simulation.run_to_end()
    return Run(simulation)


def _document_run():
    keywords = parameter_keywords()
    parameters = [
        _inspect.Parameter(name, _inspect.Parameter.KEYWORD_ONLY, default=default)
        for name, (default, _help) in keywords.items()
    ]
    for name in ("network_seed", "run_seed", "seed"):
        parameters.append(_inspect.Parameter(name, _inspect.Parameter.KEYWORD_ONLY, default=None))
    signature = _inspect.Signature(parameters)
    lines = [
        "Runs one simulation to its end, as veldaris-run does, and returns it as a Run.",
        "",
        "Parameters (the options of veldaris-run, with its defaults; a value it would refuse",
        "raises ValueError with its message):",
    ]
    lines += [f"    {name} = {default!r}: {help_text}" for name, (default, help_text) in keywords.items()]
    lines += [
        "    network_seed, run_seed: the seeds of building the network and of the run",
        "        (0..4294967295); a seed not given is drawn at random and recorded on the result.",
        "    seed: one seed for both.",
    ]
    for function in (run, Simulation.__init__):
        function.__signature__ = (
            signature
            if function is run
            else signature.replace(
                parameters=[_inspect.Parameter("self", _inspect.Parameter.POSITIONAL_ONLY)] + parameters
            )
        )
    run.__doc__ = "\n".join(lines)


_document_run()
del _secrets
