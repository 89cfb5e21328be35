#!/usr/bin/env python3
"""Peer check of the clustering engine against scipy.cluster.hierarchy.

Usage: scipy_peer_test.py PATH/TO/korvana_cluster_dump [--seed S]

Random point sets with continuous coordinates (so that no two distances, and
no two candidate merges, are equal) are clustered by korvana_cluster_dump in
identity order with each of the seven methods and compared with scipy:

  * single, complete, between-groups ("average"), on Euclidean distances: the
    merged clusters stage by stage, the coefficients (= scipy heights) and the
    cophenetic correlation;
  * centroid, median, Ward, run by us on squared Euclidean distances and by
    scipy on Euclidean distances: the merged clusters, the merge values against
    the squared scipy heights (Ward: twice the coefficient increments) and
    Ward's coefficients against the accumulated halves of the squared heights;
  * within-groups average (no scipy counterpart): every merge value against the
    brute-force mean of all dissimilarities inside the merged cluster, and every
    merge against the pair of current clusters whose union has the smallest
    such mean.

Exits 1 after reporting every mismatch (with the seed that reproduces it), 2
when the dump program cannot be run.
"""

import argparse
import subprocess
import sys

import numpy as np
from scipy.cluster.hierarchy import cophenet, linkage
from scipy.spatial.distance import pdist, squareform

DEFAULT_SEED = 20240611
SIZES = (5, 12, 40, 100)
SETS_PER_SIZE = 3

HEIGHT_RTOL = 1e-12           # coefficients equal to scipy heights
SQUARED_HEIGHT_RTOL = 1e-9    # our squared-distance merge values vs squared scipy heights
COPHENETIC_ATOL = 1e-12       # cophenetic correlation, plus the accumulation bound below
WITHIN_RTOL = 1e-12           # within-groups merge values vs brute-force means

# Engine method index -> (display name, scipy method, clustered on squared distances)
METHODS = {
    0: ("between-groups", "average", False),
    1: ("within-groups", None, False),
    2: ("single", "single", False),
    3: ("complete", "complete", False),
    4: ("centroid", "centroid", True),
    5: ("median", "median", True),
    6: ("ward", "ward", True),
}


class Mismatch(Exception):
    pass


def lower_triangle(condensed, n):
    """Condensed (row-major upper) distances -> our lower-triangle order (1,0),(2,0),(2,1),..."""
    rows, cols = np.tril_indices(n, -1)
    return squareform(condensed)[rows, cols]


def run_dump(exe, method, n, lower):
    text = "%d %d\n%s\n" % (method, n, " ".join("%.17g" % v for v in lower))
    proc = subprocess.run([exe], input=text, capture_output=True, text=True, check=False)
    if proc.returncode != 0:
        raise Mismatch("korvana_cluster_dump exited with %d: %s" % (proc.returncode, proc.stderr.strip()))
    lines = proc.stdout.split("\n")
    head = lines[0].split()
    if len(head) != 2 or head[0] != "stages":
        raise Mismatch("unexpected first output line %r" % lines[0])
    stages = int(head[1])
    if stages != n - 1:
        raise Mismatch("%d stages reported for %d objects" % (stages, n))
    c1, c2, coef = [], [], []
    for line in lines[1:1 + stages]:
        a, b, c = line.split()
        c1.append(int(a))
        c2.append(int(b))
        coef.append(float(c))
    tail = lines[1 + stages].split()
    if len(tail) != 2 or tail[0] != "cophenetic":
        raise Mismatch("unexpected line after the schedule %r" % lines[1 + stages])
    return c1, c2, np.array(coef), float(tail[1])


def our_merges(c1, c2, n):
    """Per stage the unordered pair of member sets joined, from our cluster numbering
    (a cluster is numbered by its lowest object; the merged one keeps cluster1)."""
    members = {i: frozenset([i]) for i in range(n)}
    merges = []
    for t, (a, b) in enumerate(zip(c1, c2)):
        if not a < b or a not in members or b not in members:
            raise Mismatch("stage %d merges %d and %d, which are not two current clusters" % (t + 1, a, b))
        if min(members[b]) != b or min(members[a]) != a:
            raise Mismatch("stage %d: a cluster is not numbered by its lowest object" % (t + 1))
        merges.append(frozenset([members[a], members[b]]))
        members[a] = members[a] | members.pop(b)
    return merges


def scipy_merges(Z, n):
    clusters = [frozenset([i]) for i in range(n)]
    merges = []
    for row in Z:
        a, b = clusters[int(row[0])], clusters[int(row[1])]
        merges.append(frozenset([a, b]))
        clusters.append(a | b)
    return merges


def describe(pair):
    return " + ".join(str(sorted(s)) for s in sorted(pair, key=min))


def compare_merges(ours, theirs):
    for t, (a, b) in enumerate(zip(ours, theirs)):
        if a != b:
            raise Mismatch("stage %d merges %s, scipy merges %s" % (t + 1, describe(a), describe(b)))


def compare_values(label, ours, expected, rtol):
    scale = np.maximum(np.abs(expected), np.finfo(float).tiny)
    err = np.abs(ours - expected) / scale
    worst = int(np.argmax(err))
    if not err[worst] <= rtol:  # also catches NaN
        raise Mismatch("%s at stage %d: ours %.17g, expected %.17g (relative error %.3g > %g)"
                       % (label, worst + 1, ours[worst], expected[worst], err[worst], rtol))


def accumulation_bound(p, h):
    """Worst-case rounding error of the engine's cophenetic correlation.

    The engine accumulates the five running means E[P], E[H], E[PH], E[PP], E[HH]
    over the N pairs in one pass, rounding each running mean to a double after
    every term, and forms cov / sqrt(varP varH) from them. With non-negative
    terms every rounding errs by at most u = 2^-53 of the final mean, so each
    mean is off by at most N u times itself; this propagates that through the
    moment formulas. (scipy's two-pass value is accurate to a few ulps.) At
    n = 100 the engine's error reaches a few 1e-12; the bound is tens of times
    larger, while one pair at a wrong height moves the correlation by ~1e-4.
    """
    u = 2.0 ** -53
    acc = p.size * u
    mean_p, mean_h = p.mean(), h.mean()
    var_p = np.mean((p - mean_p) ** 2)
    var_h = np.mean((h - mean_h) ** 2)
    cov = np.mean((p - mean_p) * (h - mean_h))
    err_var_p = acc * (np.mean(p * p) + 2.0 * mean_p * mean_p)
    err_var_h = acc * (np.mean(h * h) + 2.0 * mean_h * mean_h)
    err_cov = acc * (abs(np.mean(p * h)) + 2.0 * abs(mean_p * mean_h))
    r = cov / np.sqrt(var_p * var_h)
    return err_cov / np.sqrt(var_p * var_h) + abs(r) / 2.0 * (err_var_p / var_p + err_var_h / var_h)


def compare_cophenetic(ours, Z, proximities, label):
    expected, cophenetic_heights = cophenet(Z, proximities)
    tolerance = COPHENETIC_ATOL + accumulation_bound(proximities, cophenetic_heights)
    if not abs(ours - expected) <= tolerance:
        raise Mismatch("cophenetic correlation %.17g, %s %.17g (difference %.3g > %.3g)"
                       % (ours, label, expected, abs(ours - expected), tolerance))


def check_scipy_method(exe, method, scipy_method, squared, X, n):
    d = pdist(X)
    ours_input = pdist(X, "sqeuclidean") if squared else d
    c1, c2, coef, coph = run_dump(exe, method, n, lower_triangle(ours_input, n))
    Z = linkage(d, method=scipy_method)
    compare_merges(our_merges(c1, c2, n), scipy_merges(Z, n))
    heights = Z[:, 2]
    if not squared:
        compare_values("coefficient", coef, heights, HEIGHT_RTOL)
        compare_cophenetic(coph, Z, d, "scipy")
        return
    squared_heights = heights ** 2
    if scipy_method == "ward":
        merge_values = 2.0 * np.diff(coef, prepend=0.0)
        compare_values("merge value (2 x coefficient increment)", merge_values, squared_heights,
                       SQUARED_HEIGHT_RTOL)
        compare_values("coefficient (accumulated half)", coef, np.cumsum(squared_heights) / 2.0,
                       SQUARED_HEIGHT_RTOL)
    else:
        compare_values("merge value", coef, squared_heights, SQUARED_HEIGHT_RTOL)
    # Our fitting heights are the squared-distance merge values, so the
    # correlation is scipy's on the same tree with squared heights.
    Zsq = Z.copy()
    Zsq[:, 2] = squared_heights
    compare_cophenetic(coph, Zsq, ours_input, "scipy with squared heights")


def check_within_groups(exe, method, X, n):
    d = pdist(X)
    D = squareform(d)
    c1, c2, coef, _ = run_dump(exe, method, n, lower_triangle(d, n))
    members = {i: [i] for i in range(n)}
    for t, (a, b) in enumerate(zip(c1, c2)):
        if not a < b or a not in members or b not in members:
            raise Mismatch("stage %d merges %d and %d, which are not two current clusters" % (t + 1, a, b))
        # Brute force over every pair of current clusters: the sums of all
        # dissimilarities between and inside clusters from the membership matrix.
        labels = sorted(members)
        P = np.zeros((len(labels), n))
        for row, label in enumerate(labels):
            P[row, members[label]] = 1.0
        sums = P @ D @ P.T              # sums[i, j]: all ordered pairs across i and j
        sizes = P.sum(axis=1)
        within = np.diag(sums) / 2.0     # each unordered pair inside a cluster once
        union = sizes[:, None] + sizes[None, :]
        means = (within[:, None] + within[None, :] + sums) / (union * (union - 1) / 2.0)
        means[np.tril_indices(len(labels))] = np.inf
        best = np.unravel_index(np.argmin(means), means.shape)
        chosen = means[labels.index(a), labels.index(b)]
        if not chosen <= means[best] * (1.0 + WITHIN_RTOL):
            raise Mismatch("stage %d merges %s and %s (within mean %.17g) but %s and %s have %.17g"
                           % (t + 1, sorted(members[a]), sorted(members[b]), chosen,
                              sorted(members[labels[best[0]]]), sorted(members[labels[best[1]]]), means[best]))
        merged = members[a] + members.pop(b)
        members[a] = merged
        block = D[np.ix_(merged, merged)]
        brute = block[np.triu_indices(len(merged), 1)].mean()
        if not abs(coef[t] - brute) <= WITHIN_RTOL * abs(brute):
            raise Mismatch("stage %d: merge value %.17g, mean dissimilarity inside the merged cluster %.17g"
                           % (t + 1, coef[t], brute))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("dump", help="path of korvana_cluster_dump")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    args = parser.parse_args()

    rng = np.random.default_rng(args.seed)
    passed, failures = 0, []
    for n in SIZES:
        for data_set in range(SETS_PER_SIZE):
            dims = int(rng.integers(3, 6))
            scale = 10.0 ** rng.uniform(-2.0, 2.0)
            X = rng.random((n, dims)) * scale
            d = pdist(X)
            if np.unique(d).size != d.size:
                failures.append("n=%d set %d: tied distances in the random data; pick another seed" % (n, data_set))
                continue
            for method, (name, scipy_method, squared) in METHODS.items():
                case = "%s n=%d set %d (%d dims, scale %.3g)" % (name, n, data_set, dims, scale)
                try:
                    if scipy_method is None:
                        check_within_groups(args.dump, method, X, n)
                    else:
                        check_scipy_method(args.dump, method, scipy_method, squared, X, n)
                    passed += 1
                except Mismatch as e:
                    failures.append("%s: %s" % (case, e))
                except (OSError, subprocess.SubprocessError) as e:
                    print("ScipyPeerTest: cannot run %s: %s" % (args.dump, e), file=sys.stderr)
                    return 2

    for failure in failures:
        print("MISMATCH " + failure)
    print("ScipyPeerTest: %d passed, %d failed (seed %d)" % (passed, len(failures), args.seed))
    if failures:
        print("Reproduce with: %s %s %s --seed %d" % (sys.executable, sys.argv[0], args.dump, args.seed))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
