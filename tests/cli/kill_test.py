#!/usr/bin/env python3
"""veldaris-run killed with SIGKILL at random moments, over and over in one
directory, then run once to its end there.

Checked after every kill: each result file present is complete (exactly the
file of one of the runs started, byte for byte), and when the two come from
different runs, run.json says so (the digest it records for one of them does
not match). After the last, clean run: its files and run.json agree, and no
temporary file is left.

    kill_test.py VELDARIS_RUN WORK_DIR [KILLS]
"""
import hashlib
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import time

RESULT_FILES = ("Veldaris_Result_Initial.csv", "Veldaris_Result_All.csv")
# A temporary file unlocked for longer than this belongs to a writer that is
# gone; the clean run removes those.
STALE_SECONDS = 5


def main():
    program, work = sys.argv[1], sys.argv[2]
    kills = int(sys.argv[3]) if len(sys.argv) > 3 else 30
    rng = random.Random(20261207)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    args = ["--network", "scale-free", "--groups", "200", "--strategies", "8", "--generations", "1000",
            "--connectivity", "8", "--length", "30", "--quiet"]
    seeds = [11, 12, 13, 14]

    # Each seed's files from a run left alone, and how long a run takes.
    reference = {}
    durations = []
    for seed in seeds:
        out = os.path.join(work, "reference-%d" % seed)
        start = time.monotonic()
        subprocess.run([program, *args, "--seed", str(seed), "--output-dir", out], check=True,
                       stdout=subprocess.DEVNULL)
        durations.append(time.monotonic() - start)
        reference[seed] = {name: open(os.path.join(out, name), "rb").read() for name in RESULT_FILES}
    duration = max(durations)

    target = os.path.join(work, "killed")
    os.makedirs(target)
    failures = []
    seen = {"mixed pairs flagged by run.json": 0, "killed before any file": 0}
    for kill in range(kills):
        seed = rng.choice(seeds)
        # Half of the kills anywhere in the run, half around its end, where
        # the files are written.
        delay = duration * (rng.uniform(0.0, 1.0) if kill % 2 == 0 else rng.uniform(0.8, 1.1))
        process = subprocess.Popen([program, *args, "--seed", str(seed), "--output-dir", target],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(delay)
        process.send_signal(signal.SIGKILL)
        process.wait()
        failures += check(target, reference, "after kill %d (seed %d, %.3f s)" % (kill, seed, delay), seen)

    # The leftovers of the killed writers are stale once they are old enough.
    time.sleep(STALE_SECONDS + 1)
    seed = seeds[0]
    subprocess.run([program, *args, "--seed", str(seed), "--output-dir", target], check=True,
                   stdout=subprocess.DEVNULL)
    failures += check(target, reference, "after the clean run", seen)
    for name in RESULT_FILES:
        if open(os.path.join(target, name), "rb").read() != reference[seed][name]:
            failures.append("after the clean run: %s is not the run's" % name)
    record = json.load(open(os.path.join(target, "run.json")))
    for name in RESULT_FILES:
        digest = hashlib.sha256(reference[seed][name]).hexdigest()
        if record["result_files"][name].get("sha256") != digest:
            failures.append("after the clean run: run.json does not record %s" % name)
    left = sorted(entry for entry in os.listdir(target) if entry.endswith(".tmp"))
    if left:
        failures.append("after the clean run: temporary files remain: %s" % ", ".join(left))

    for failure in failures:
        print(failure)
    print("%d kills, %d failures; seen: %s" % (kills, len(failures), seen))
    if not failures:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


def check(directory, reference, when, seen):
    """The failures of the directory's state."""
    failures = []
    origin = {}
    if not any(os.path.exists(os.path.join(directory, name)) for name in RESULT_FILES):
        seen["killed before any file"] += 1
    for name in RESULT_FILES:
        path = os.path.join(directory, name)
        if not os.path.exists(path):
            continue
        data = open(path, "rb").read()
        seeds = [seed for seed, files in reference.items() if files[name] == data]
        if not seeds:
            failures.append("%s: %s is truncated or damaged (%d bytes)" % (when, name, len(data)))
        else:
            origin[name] = seeds[0]
    if len(origin) == 2 and len(set(origin.values())) == 2:
        # A mixed pair is allowed only where run.json says so.
        record_path = os.path.join(directory, "run.json")
        consistent = False
        if os.path.exists(record_path):
            try:
                files = json.load(open(record_path))["result_files"]
                consistent = all(
                    files[name].get("sha256") == hashlib.sha256(reference[origin[name]][name]).hexdigest()
                    for name in RESULT_FILES)
            except (ValueError, KeyError) as error:
                failures.append("%s: run.json is not a complete record (%s)" % (when, error))
        if consistent:
            failures.append("%s: the result files come from two runs and run.json does not say so" % when)
        else:
            seen["mixed pairs flagged by run.json"] += 1
    return failures


if __name__ == "__main__":
    sys.exit(main())
