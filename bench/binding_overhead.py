#!/usr/bin/env python3
"""The Python binding's overhead against korvana-batch on the same request.

Usage: binding_overhead.py KORVANA_BATCH [--objects 2000] [--permutations 100] [--rounds 3]

Random data (n objects, four variables) are written as a CSV file; korvana-batch
computes the squared Euclidean distances (PROXIMITIES), clusters them with
average linkage over P permutations and writes its results file; the binding
does the same from the numpy array (korvana.proximities, korvana.run, the
Result with its DataFrame and linkage matrices). Best of the rounds, taken
alternately; both use two jobs. Prints the times and the ratio binding/batch
(target: at most 1.05), after checking that both found the same solution ids.
Run with the module on PYTHONPATH (build/release/python).
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

import numpy as np

import korvana


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("batch")
    parser.add_argument("--objects", type=int, default=2000)
    parser.add_argument("--permutations", type=int, default=100)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    X = np.random.default_rng(2000).normal(size=(args.objects, 4))
    with tempfile.TemporaryDirectory() as folder:
        data = os.path.join(folder, "data.csv")
        np.savetxt(data, X, delimiter=",", header="a,b,c,d", comments="", fmt="%.17g")
        stem = os.path.join(folder, "bench")
        command = [args.batch, "--data", data, "--variables", "a TO d", "--measure", "SEUCLID", "--method",
                   "average", "--permutations", str(args.permutations), "--seed", "11", "--jobs", "2",
                   "--format", "results", "--quiet", "--output", stem]
        batch_times, binding_times = [], []
        for _ in range(args.rounds):
            start = time.perf_counter()
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
            batch_times.append(time.perf_counter() - start)
            start = time.perf_counter()
            result = korvana.run(korvana.proximities(X, "SEUCLID"), "average", args.permutations, seed=11, jobs=2)
            binding_times.append(time.perf_counter() - start)
        with open(stem + ".results.json") as f:
            expected = json.load(f)
    assert [s.id for s in result.solutions] == [s["solution"] for s in expected["solutions"]]
    assert list(result.permutations["solution"]) == [p["solution"] for p in expected["permutations"]]
    batch, binding = min(batch_times), min(binding_times)
    print(f"n = {args.objects}, {args.permutations} permutations, average linkage, 2 jobs, best of {args.rounds}")
    print(f"korvana-batch (data to results file): {batch:.3f} s")
    print(f"Python binding (array to Result):     {binding:.3f} s")
    print(f"ratio binding/batch: {binding / batch:.3f} (target <= 1.05)")


if __name__ == "__main__":
    sys.exit(main())
