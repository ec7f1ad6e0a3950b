"""results.sqlite of a sweep read back with Python's sqlite3: its tables against summary.csv, plan.csv,
aggregate.csv and the result files that export writes.

    results_db_check.py VELDARIS_SWEEP WORK_DIR
"""
import csv
import math
import os
import shutil
import sqlite3
import subprocess
import sys

SWEEP = """network = "small-world"
groups = 30
strategies = 4
generations = [50, 130]
connectivity = 4
length = [6, 10]
replicates = 2
seed = 11
"""


def value(text):
    """A CSV field as the number it spells, or None when empty."""
    if text == "":
        return None
    try:
        return int(text)
    except ValueError:
        return float(text)


def same(a, b):
    if isinstance(a, float) or isinstance(b, float):
        return a is not None and b is not None and (a == b or (math.isnan(a) and math.isnan(b)))
    return a == b


def rows_of(path):
    with open(path, newline="") as f:
        return list(csv.reader(f))


def check_table(db, table, path):
    rows = rows_of(path)
    cursor = db.execute(f'SELECT * FROM "{table}"')
    columns = [d[0] for d in cursor.description]
    assert columns[: len(rows[0])] == rows[0], (table, columns, rows[0])
    stored = cursor.fetchall()
    assert len(stored) == len(rows) - 1, (table, len(stored), len(rows) - 1)
    for want, got in zip(rows[1:], stored):
        for name, text, cell in zip(rows[0], want, got):
            expected = text if name == "network" else value(text)
            assert same(expected, cell), (table, name, text, cell)
    return columns, stored


def main():
    program, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    with open(os.path.join(work, "sweep.toml"), "w") as f:
        f.write(SWEEP)
    out = os.path.join(work, "out")
    subprocess.run([program, "run", os.path.join(work, "sweep.toml"), "--out", out, "--quiet"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run([program, "export", out, "--out", os.path.join(work, "files")], check=True,
                   stdout=subprocess.DEVNULL)
    db = sqlite3.connect(os.path.join(out, "results.sqlite"))
    check_table(db, "plan", os.path.join(out, "plan.csv"))
    check_table(db, "aggregate", os.path.join(out, "aggregate.csv"))
    columns, runs = check_table(db, "runs", os.path.join(out, "summary.csv"))
    assert len(runs) == 8
    for row in runs:
        r = dict(zip(columns, row))
        for outcome in ("c_avg_final", "d_avg_final", "c_avg_tail", "d_avg_tail"):
            rate = outcome[0] + "_rate_" + outcome[6:]
            assert r[rate] == r[outcome] / r["length"], (rate, r[rate], r[outcome], r["length"])

    # The series: every row of both result files, each generation once.
    for (run,) in db.execute("SELECT run FROM runs"):
        expected = {}
        header = None
        for name in ("Veldaris_Result_Initial.csv", "Veldaris_Result_All.csv"):
            lines = rows_of(os.path.join(work, "files", str(run), name))
            header = lines[0]
            for line in lines[1:]:
                expected[int(line[0])] = [value(x) for x in line]
        cursor = db.execute("SELECT * FROM series WHERE run = ? ORDER BY generation", (run,))
        assert [d[0] for d in cursor.description] == ["run", "generation"] + header[1:]
        stored = cursor.fetchall()
        assert [s[1] for s in stored] == sorted(expected), (run, [s[1] for s in stored])
        for s in stored:
            assert all(same(a, b) for a, b in zip(expected[s[1]], s[1:])), (run, s)

    plan = db.execute("EXPLAIN QUERY PLAN SELECT * FROM series WHERE generation = 20").fetchall()
    assert any("series_generation" in str(step) for step in plan), plan
    plan = db.execute("EXPLAIN QUERY PLAN SELECT * FROM series WHERE run = 3").fetchall()
    assert any("INDEX" in str(step) for step in plan), plan
    print("results.sqlite agrees with summary.csv, plan.csv, aggregate.csv and the result files")


if __name__ == "__main__":
    main()
