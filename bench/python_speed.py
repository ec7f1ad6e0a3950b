#!/usr/bin/env python3
"""Times a run from Python against the same run by veldaris-run, and the runs
per second of one and two Python threads.

    PYTHONPATH=build/python python3 bench/python_speed.py build/cli/veldaris-run [REPEATS]

veldaris-run's time is the whole process (its start included, which is small);
Python's is veldaris.run(...) plus Run.write(...) in a running interpreter.
Two threads are compared with two veldaris-run processes running side by side:
that is what the machine's cores give at all (on a machine whose two cores
share one physical core it is far below 2x).
"""

import statistics
import subprocess
import sys
import tempfile
import threading
import time

import veldaris

PARAMETERS = dict(groups=200, strategies=8, generations=3000, connectivity=8, length=30, rewiring=0.1)


def median_seconds(function, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    exe = sys.argv[1]
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    out = tempfile.mkdtemp()
    options = [exe, "--quiet", "--seed", "7", "--output-dir", out]
    for name, value in PARAMETERS.items():
        options += [f"--{name}", str(value)]
    program = median_seconds(lambda: subprocess.run(options, check=True, capture_output=True), repeats)
    python = median_seconds(lambda: veldaris.run(seed=7, **PARAMETERS).write(out), repeats)
    print(f"one run (N 200, S 8, G 3000, K 8, L 30): veldaris-run {program:.3f} s, Python {python:.3f} s "
          f"({(python / program - 1) * 100:+.1f} %)")

    small = dict(PARAMETERS, generations=1000)
    runs_each = 4

    def runs_per_second(threads):
        def work():
            for i in range(runs_each):
                veldaris.run(seed=i, **small)

        start = time.perf_counter()
        workers = [threading.Thread(target=work) for _ in range(threads)]
        for w in workers:
            w.start()
        for w in workers:
            w.join()
        return threads * runs_each / (time.perf_counter() - start)

    def processes_per_second(processes):
        command = [exe, "--quiet", "--output-dir", out] + [
            word for name, value in small.items() for word in (f"--{name}", str(value))]
        start = time.perf_counter()
        for i in range(runs_each):
            running = [subprocess.Popen(command + ["--seed", str(i)], stdout=subprocess.DEVNULL)
                       for _ in range(processes)]
            for p in running:
                p.wait()
        return processes * runs_each / (time.perf_counter() - start)

    one = statistics.median(runs_per_second(1) for _ in range(3))
    two = statistics.median(runs_per_second(2) for _ in range(3))
    print(f"runs per second (G 1000): one thread {one:.2f}, two threads {two:.2f} ({two / one:.2f}x)")
    alone = statistics.median(processes_per_second(1) for _ in range(3))
    pair = statistics.median(processes_per_second(2) for _ in range(3))
    print(f"veldaris-run processes: one at a time {alone:.2f}/s, two side by side {pair:.2f}/s "
          f"({pair / alone:.2f}x, the machine's ceiling)")


if __name__ == "__main__":
    main()
