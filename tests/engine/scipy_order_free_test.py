#!/usr/bin/env python3
"""Peer check of the order-free tree against scipy.cluster.hierarchy.

Usage: scipy_order_free_test.py PATH/TO/korvana_cluster_dump [--seed S]

korvana_cluster_dump --order-free writes the order-free tree of a matrix.

  * Tie-free points (continuous coordinates): every merge joins two clusters,
    the pair scipy's linkage joins at that stage, at scipy's height (squared
    for centroid, median and Ward, which we run on squared distances), for the
    six methods scipy has; and the cophenetic correlation is scipy's.
  * Tie-rich points (a small integer grid): single linkage. scipy breaks the
    ties in its own way, but its tree with every merge folded into the merge
    that absorbs it at the same height (to 13 significant digits) is the
    order-free tree: the same clusters at the same heights, and the same
    cophenetic correlation.

Exits 1 after reporting every mismatch (with the seed that reproduces it), 2
when the dump program cannot be run.
"""

import argparse
import subprocess
import sys

import numpy as np
from scipy.cluster.hierarchy import cophenet, linkage
from scipy.spatial.distance import pdist

from scipy_peer_test import Mismatch, lower_triangle

DEFAULT_SEED = 20260226
HEIGHT_RTOL = 1e-12
SQUARED_HEIGHT_RTOL = 1e-9
CORRELATION_ATOL = 1e-9

# Engine method index -> (scipy method, clustered by us on squared distances)
METHODS = {0: ("average", False), 2: ("single", False), 3: ("complete", False),
           4: ("centroid", True), 5: ("median", True), 6: ("ward", True)}


def order_free(exe, method, n, lower):
    text = "%d %d\n%s\n" % (method, n, " ".join("%.17g" % v for v in lower))
    proc = subprocess.run([exe, "--order-free"], input=text, capture_output=True, text=True, check=False)
    if proc.returncode != 0:
        raise Mismatch("korvana_cluster_dump exited with %d: %s" % (proc.returncode, proc.stderr.strip()))
    lines = proc.stdout.split("\n")
    count = int(lines[0].split()[1])
    merges = []
    members = {i: frozenset([i]) for i in range(n)}
    for line in lines[1:1 + count]:
        fields = line.split()
        height, lowest, highest = (float(v) for v in fields[:3])
        clusters = [int(c) for c in fields[3:]]
        joined = frozenset().union(*(members.pop(c) for c in clusters))
        members[clusters[0]] = joined
        merges.append((joined, height, lowest, highest, clusters))
    correlation = float(lines[1 + count].split()[1])
    return merges, correlation


def scipy_clusters(Z, n):
    """Per row of Z: the objects of the cluster it forms, its height and its parent row."""
    objects = [frozenset([i]) for i in range(n)]
    parent = [None] * len(Z)
    for k, row in enumerate(Z):
        a, b = int(row[0]), int(row[1])
        objects.append(objects[a] | objects[b])
        for child in (a, b):
            if child >= n:
                parent[child - n] = k
    return [(objects[n + k], Z[k, 2], parent[k]) for k in range(len(Z))]


def round13(value):
    return float("%.12e" % value)


def close(a, b, rtol):
    return abs(a - b) <= rtol * max(abs(b), np.finfo(float).tiny)


def check_tie_free(exe, method, scipy_method, squared, X, n):
    d = pdist(X)
    ours_input = pdist(X, "sqeuclidean") if squared else d
    merges, correlation = order_free(exe, method, n, lower_triangle(ours_input, n))
    Z = linkage(d, method=scipy_method)
    theirs = scipy_clusters(Z, n)
    if len(merges) != n - 1:
        raise Mismatch("%d merges for %d objects without ties" % (len(merges), n))
    for t, ((joined, height, lowest, highest, _), (objects, scipy_height, _)) in enumerate(zip(merges, theirs)):
        if joined != objects:
            raise Mismatch("merge %d forms %s, scipy %s" % (t + 1, sorted(joined), sorted(objects)))
        expected = scipy_height ** 2 if squared else scipy_height
        if not close(height, expected, SQUARED_HEIGHT_RTOL if squared else HEIGHT_RTOL) or lowest != highest:
            raise Mismatch("merge %d at %.17g (range %.17g to %.17g), scipy %.17g" % (t + 1, height, lowest, highest,
                                                                                   expected))
    Zours = Z.copy()
    Zours[:, 2] = [m[1] for m in merges]
    expected, _ = cophenet(Zours, ours_input)
    if not abs(correlation - expected) <= CORRELATION_ATOL:
        raise Mismatch("cophenetic correlation %.17g, scipy %.17g" % (correlation, expected))


def check_single_with_ties(exe, X, n):
    d = pdist(X)
    merges, correlation = order_free(exe, 2, n, lower_triangle(d, n))
    Z = linkage(d, method="single")
    folded = {}
    for objects, height, parent in scipy_clusters(Z, n):
        if parent is not None and round13(height) == round13(Z[parent, 2]):
            continue
        folded[objects] = height
    ours = {joined: height for joined, height, _, _, _ in merges}
    if set(ours) != set(folded):
        only_ours = sorted(sorted(c) for c in set(ours) - set(folded))
        only_theirs = sorted(sorted(c) for c in set(folded) - set(ours))
        raise Mismatch("clusters only ours %s, only scipy's folded tree %s" % (only_ours[:3], only_theirs[:3]))
    for cluster, height in ours.items():
        if not close(height, folded[cluster], HEIGHT_RTOL):
            raise Mismatch("cluster %s at %.17g, scipy %.17g" % (sorted(cluster), height, folded[cluster]))
    expected, _ = cophenet(Z, d)
    if not abs(correlation - expected) <= CORRELATION_ATOL:
        raise Mismatch("cophenetic correlation %.17g, scipy %.17g" % (correlation, expected))
    return sum(1 for m in merges if len(m[4]) > 2)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("dump", help="path of korvana_cluster_dump")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    args = parser.parse_args()
    rng = np.random.default_rng(args.seed)
    passed, failures, multiway = 0, [], 0
    try:
        for n in (5, 12, 40, 90):
            X = rng.random((n, int(rng.integers(2, 5)))) * 10.0 ** rng.uniform(-2.0, 2.0)
            if np.unique(pdist(X)).size != n * (n - 1) // 2:
                failures.append("n=%d: tied distances in the random data; pick another seed" % n)
                continue
            for method, (scipy_method, squared) in METHODS.items():
                try:
                    check_tie_free(args.dump, method, scipy_method, squared, X, n)
                    passed += 1
                except Mismatch as e:
                    failures.append("%s without ties, n=%d: %s" % (scipy_method, n, e))
        for n in (6, 20, 50, 120):
            for grid in (3, 6):
                X = rng.integers(0, grid, size=(n, 2)).astype(float)
                try:
                    multiway += check_single_with_ties(args.dump, X, n)
                    passed += 1
                except Mismatch as e:
                    failures.append("single with ties, n=%d grid %d: %s" % (n, grid, e))
    except (OSError, subprocess.SubprocessError) as e:
        print("ScipyOrderFreeTest: cannot run %s: %s" % (args.dump, e), file=sys.stderr)
        return 2
    for failure in failures:
        print("MISMATCH " + failure)
    print("ScipyOrderFreeTest: %d passed, %d failed, %d merges of three or more clusters (seed %d)"
          % (passed, len(failures), multiway, args.seed))
    if failures:
        print("Reproduce with: %s %s %s --seed %d" % (sys.executable, sys.argv[0], args.dump, args.seed))
        return 1
    return 0 if multiway > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
