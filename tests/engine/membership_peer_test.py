#!/usr/bin/env python3
"""Peer check of the cut of a tree into k clusters.

Usage: membership_peer_test.py PATH/TO/korvana_cluster_dump [--seed S]

  * scipy: random tie-free point sets clustered in identity order by each
    method with a scipy counterpart; for every k from 2 to n - 2 our
    memberships equal fcluster(Z, k, "maxclust") up to the numbering of the
    clusters (centroid and median only where scipy's tree has no inversion,
    since maxclust then cuts by height, not by merge order); for every method,
    within-groups included, they equal scipy's cut_tree of our own merges.
  * R: USArrests (R's datasets), Euclidean distances, average, single and
    complete linkage: our memberships equal cutree(hclust(d, m), k) exactly
    (both number the clusters by their first object).

Exits 1 after reporting every mismatch, 2 when a program cannot be run, 77
when R is missing (the scipy part still ran and passed).
"""

import argparse
import shutil
import subprocess
import sys

import numpy as np
from scipy.cluster.hierarchy import cut_tree, fcluster, is_monotonic, linkage
from scipy.spatial.distance import pdist, squareform

# Engine method index -> (name, scipy method or None, clustered on squared distances)
from scipy_peer_test import METHODS

SIZES = (6, 15, 40)
SETS_PER_SIZE = 3
R_METHODS = {0: "average", 2: "single", 3: "complete"}


def canonical(labels):
    """Cluster numbers by first appearance: equal for equal partitions."""
    seen = {}
    return [seen.setdefault(label, len(seen) + 1) for label in labels]


def dump(exe, method, n, lower):
    text = "%d %d\n%s\n" % (method, n, " ".join("%.17g" % v for v in lower))
    proc = subprocess.run([exe, "--memberships"], input=text, capture_output=True, text=True, check=False)
    if proc.returncode != 0:
        print("korvana_cluster_dump failed: %s" % proc.stderr.strip())
        sys.exit(2)
    lines = proc.stdout.split("\n")
    stages = int(lines[0].split()[1])
    merges = [(int(a), int(b)) for a, b, _ in (line.split() for line in lines[1:1 + stages])]
    cuts = {}
    for line in lines[2 + stages:]:
        if line.startswith("membership "):
            words = line.split()
            cuts[int(words[1])] = [int(w) for w in words[2:]]
    if sorted(cuts) != list(range(2, n)):
        print("expected memberships for k = 2 .. %d, got %s" % (n - 1, sorted(cuts)))
        sys.exit(2)
    return merges, cuts


def linkage_of(merges, n):
    """Our merges (clusters named by their first object) as a scipy linkage."""
    node = list(range(n))
    size = [1] * n
    rows = []
    for t, (a, b) in enumerate(merges):
        rows.append([node[a], node[b], t + 1.0, size[a] + size[b]])
        node[a] = n + t
        size[a] += size[b]
    return np.array(rows, dtype=float)


def lower_triangle(distances):
    n = distances.shape[0]
    rows, cols = np.tril_indices(n, -1)
    return distances[rows, cols]


def scipy_part(exe, seed):
    rng = np.random.default_rng(seed)
    failures, compared = [], 0
    for n in SIZES:
        for s in range(SETS_PER_SIZE):
            points = rng.normal(size=(n, 3)) * rng.uniform(0.5, 3.0, size=3)
            euclid = pdist(points)
            for method, (name, peer, squared) in METHODS.items():
                distances = squareform(euclid ** 2 if squared else euclid)
                merges, cuts = dump(exe, method, n, lower_triangle(distances))
                own = linkage_of(merges, n)
                by_order = cut_tree(own, n_clusters=list(range(2, n)))
                for k in range(2, n):
                    if canonical(by_order[:, k - 2]) != canonical(cuts[k]):
                        failures.append("%s n=%d set %d k=%d: not scipy's cut_tree of our merges" % (name, n, s, k))
                if peer is None:
                    continue
                z = linkage(euclid, method=peer)
                if not is_monotonic(z):
                    continue
                # maxclust at k = n - 1 gives n - 2 clusters (it cuts below
                # the lowest height); cut_tree above covers that k.
                for k in range(2, n - 1):
                    compared += 1
                    theirs = fcluster(z, k, "maxclust")
                    if canonical(theirs) != canonical(cuts[k]):
                        failures.append("%s n=%d set %d k=%d: %s vs fcluster %s (seed %d)"
                                        % (name, n, s, k, cuts[k], list(theirs), seed))
    return failures, compared


R_SCRIPT = r"""
d <- dist(USArrests)
m <- as.matrix(d)
cat(nrow(m), "\n")
# The upper triangle column by column is our lower triangle row by row.
cat(sprintf("%.17g", m[upper.tri(m)]), "\n")
for (method in c("average", "single", "complete")) {
  h <- hclust(d, method)
  for (k in 2:(nrow(m) - 1)) cat(method, k, cutree(h, k), "\n")
}
"""


def r_part(exe):
    rscript = shutil.which("Rscript")
    if rscript is None:
        return None
    proc = subprocess.run([rscript, "--vanilla", "-e", R_SCRIPT], capture_output=True, text=True, check=False)
    if proc.returncode != 0:
        print("Rscript failed: %s" % proc.stderr.strip())
        sys.exit(2)
    lines = proc.stdout.strip().split("\n")
    n = int(lines[0])
    lower = [float(v) for v in lines[1].split()]
    expected = {}
    for line in lines[2:]:
        words = line.split()
        expected[(words[0], int(words[1]))] = [int(w) for w in words[2:]]
    failures = []
    for method, name in R_METHODS.items():
        _, cuts = dump(exe, method, n, lower)
        for k in range(2, n):
            if cuts[k] != expected[(name, k)]:
                failures.append("USArrests %s k=%d: %s vs cutree %s" % (name, k, cuts[k], expected[(name, k)]))
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--seed", type=int, default=20250307)
    args = parser.parse_args()
    failures, compared = scipy_part(args.exe, args.seed)
    if compared < 300:
        failures.append("only %d cuts compared with fcluster" % compared)
    r_failures = r_part(args.exe)
    if r_failures is not None:
        failures += r_failures
    for failure in failures:
        print(failure)
    if failures:
        return 1
    if r_failures is None:
        print("scipy part passed; Rscript not found: cutree not compared")
        return 77
    print("memberships equal fcluster (%d cuts), cut_tree and cutree on USArrests" % compared)
    return 0


if __name__ == "__main__":
    sys.exit(main())
