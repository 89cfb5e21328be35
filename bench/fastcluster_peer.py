#!/usr/bin/env python3
"""Times fastcluster.linkage on condensed dissimilarity matrices.

Usage: fastcluster_peer.py [--repeat R] [--cpu-time] PATH N [PATH N ...]

Each PATH holds the n(n-1)/2 dissimilarities of N objects as raw native
float64 in condensed order (0,1), (0,2), ..., (0,N-1), (1,2), ... For every
method one untimed warm-up call is followed by R timed calls; the minimum is
printed as a line "method n milliseconds". The first line reports the versions.

Then, for every method, the pipeline a user would write for one permutation
of a permutation analysis with these tools: the matrix permuted, clustered by
fastcluster.linkage, its cophenetic distances and correlation from scipy's
cophenet, and the SSDif and normalized SSDif with numpy. R timed permutations
after a warm-up; the minimum is printed as "pipeline method n milliseconds".

With --cpu-time the processor time of this process is measured instead of
the time that passes (numpy's threads are held to one, so both count the
same work).

centroid, median and ward are given the square roots of the values:
fastcluster squares its input for these methods, so it then clusters the same
values, with the same update formulas, as the engine does on the matrix itself.
"""

import argparse
import os
import sys
import time

# One thread for numpy's linear algebra, so that processor time and the time
# that passes count the same work; set before numpy is loaded.
for _variable in ("OPENBLAS_NUM_THREADS", "OMP_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ.setdefault(_variable, "1")

import numpy as np
from scipy.cluster.hierarchy import cophenet
from scipy.spatial.distance import squareform

try:
    import fastcluster
except ImportError as e:  # reported by the caller as "unavailable"
    print("fastcluster unavailable: %s" % e)
    sys.exit(3)

METHODS = ("single", "complete", "average", "centroid", "median", "ward")
SQUARED = ("centroid", "median", "ward")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--cpu-time", action="store_true")
    parser.add_argument("files", nargs="+", help="PATH N pairs")
    args = parser.parse_args()
    if len(args.files) % 2:
        parser.error("expected PATH N pairs")

    clock = time.process_time if args.cpu_time else time.perf_counter
    print("versions fastcluster %s numpy %s python %s"
          % (fastcluster.__version__, np.__version__, sys.version.split()[0]))
    for path, n_text in zip(args.files[0::2], args.files[1::2]):
        n = int(n_text)
        plain = np.fromfile(path, dtype=np.float64)
        if plain.size != n * (n - 1) // 2:
            sys.exit("%s holds %d values, not n(n-1)/2 = %d" % (path, plain.size, n * (n - 1) // 2))
        rooted = np.sqrt(plain)
        for method in METHODS:
            data = rooted if method in SQUARED else plain
            fastcluster.linkage(data, method=method)  # warm-up
            best = float("inf")
            for _ in range(args.repeat):
                start = clock()
                fastcluster.linkage(data, method=method)
                best = min(best, clock() - start)
            print("%s %d %.6f" % (method, n, best * 1e3))
            sys.stdout.flush()
        rng = np.random.default_rng(7)
        for method in METHODS:
            square = squareform(rooted if method in SQUARED else plain)
            best = float("inf")
            for run in range(args.repeat + 1):
                order = rng.permutation(n)
                start = clock()
                permuted = squareform(square[np.ix_(order, order)], checks=False)
                tree = fastcluster.linkage(permuted, method=method)
                correlation, heights = cophenet(tree, permuted)
                difference = permuted - heights
                ssdif = float(difference @ difference)
                normalized = ssdif / float(permuted @ permuted)
                elapsed = clock() - start
                if run > 0:  # the first is the warm-up
                    best = min(best, elapsed)
            assert np.isfinite(correlation) and np.isfinite(normalized)
            print("pipeline %s %d %.6f" % (method, n, best * 1e3))
            sys.stdout.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())
