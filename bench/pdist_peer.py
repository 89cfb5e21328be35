#!/usr/bin/env python3
"""Times scipy.spatial.distance.pdist on data sets written by the benchmark.

Usage: pdist_peer.py [--repeat R] NAME PATH CASES VARIABLES METRIC [NAME PATH CASES VARIABLES METRIC ...]

Each PATH holds CASES x VARIABLES raw native float64 values, case by case.
METRIC is a pdist metric; for the boolean metrics (jaccard, ...) the values
(0 or 1) are turned into a boolean array first, outside the timing, as a
caller of pdist on binary data would hold them. One untimed warm-up call is
followed by R timed calls; the minimum is printed as a line
"NAME milliseconds". The first line reports the versions.
"""

import argparse
import sys
import time

import numpy as np
import scipy
from scipy.spatial.distance import pdist

BOOLEAN = ("jaccard", "dice", "hamming", "rogerstanimoto", "russellrao", "sokalmichener", "sokalsneath", "yule")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("sets", nargs="+", help="NAME PATH CASES VARIABLES METRIC groups")
    args = parser.parse_args()
    if len(args.sets) % 5:
        parser.error("expected NAME PATH CASES VARIABLES METRIC groups")

    print("versions scipy %s numpy %s python %s" % (scipy.__version__, np.__version__, sys.version.split()[0]))
    sys.stdout.flush()
    groups = [args.sets[i:i + 5] for i in range(0, len(args.sets), 5)]
    for name, path, cases_text, variables_text, metric in groups:
        cases, variables = int(cases_text), int(variables_text)
        data = np.fromfile(path, dtype=np.float64)
        if data.size != cases * variables:
            sys.exit("%s holds %d values, not %d x %d" % (path, data.size, cases, variables))
        data = data.reshape(cases, variables)
        if metric in BOOLEAN:
            data = data.astype(bool)
        pdist(data, metric)  # warm-up
        best = float("inf")
        for _ in range(args.repeat):
            start = time.perf_counter()
            result = pdist(data, metric)
            best = min(best, time.perf_counter() - start)
            del result
        print("%s %.6f" % (name, best * 1e3))
        sys.stdout.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())
