#!/usr/bin/env python3
"""Peer check of PROXIMITIES against scipy.spatial.distance.pdist.

Usage: pdist_peer_test.py PATH/TO/korvana_proximities_dump [--seed S]

Random data sets are given to korvana_proximities_dump (which runs the
command through the parser and the computation) and the strict lower triangle
it writes is compared with pdist on the same items (the rows for VIEW=CASE,
the columns for VIEW=VARIABLE):

  * interval measures: EUCLID, SEUCLID, CHEBYCHEV, BLOCK, MINKOWSKI(1..4) and
    POWER(p,p) against euclidean, sqeuclidean, chebyshev, cityblock and
    minkowski; COSINE and CORRELATION (similarities) against 1 - cosine and
    1 - correlation; standardized Z scores by variable against pdist on
    scipy.stats.zscore(ddof=1) data;
  * binary measures on 0/1 data with (1,0): JACCARD, DICE, RT, SS2, RR, SM, Q
    as 1 - jaccard, dice, rogerstanimoto, sokalsneath, russellrao, hamming,
    yule; BLWMN as dice; BSEUCLID as the count of differing positions
    (n * hamming).

Exits 1 after reporting every mismatch (with the seed), 2 when the program
cannot be run.
"""

import argparse
import os
import subprocess
import sys
import tempfile

import numpy as np
from scipy.spatial.distance import pdist
from scipy.stats import zscore

DEFAULT_SEED = 20240611
RTOL = 1e-12
ATOL = 1e-13

# (subcommand measure, pdist metric, kwargs, transformation of pdist's value);
# where an item has no variation or no length, ours is NaN (checked below)
INTERVAL = [
    ("EUCLID", "euclidean", {}, lambda d: d),
    ("SEUCLID", "sqeuclidean", {}, lambda d: d),
    ("CHEBYCHEV", "chebyshev", {}, lambda d: d),
    ("BLOCK", "cityblock", {}, lambda d: d),
    ("MINKOWSKI(1)", "minkowski", {"p": 1}, lambda d: d),
    ("MINKOWSKI(2)", "minkowski", {"p": 2}, lambda d: d),
    ("MINKOWSKI(3)", "minkowski", {"p": 3}, lambda d: d),
    ("MINKOWSKI(4)", "minkowski", {"p": 4}, lambda d: d),
    ("POWER(3,3)", "minkowski", {"p": 3}, lambda d: d),
    ("POWER(4,4)", "minkowski", {"p": 4}, lambda d: d),
    ("POWER(2,1)", "sqeuclidean", {}, lambda d: d),
    ("COSINE", "cosine", {}, lambda d: 1.0 - d),
    ("CORRELATION", "correlation", {}, lambda d: 1.0 - d),
]

# (subcommand measure, pdist metric, transformation of pdist's value, where the
# measure is undefined given the 2x2 table): scipy has its own values for the
# pairs whose denominator is 0, ours are NaN there.
BINARY = [
    ("JACCARD(1,0)", "jaccard", lambda d, n: 1.0 - d, lambda a, b, c, e: a + b + c == 0),
    ("DICE(1,0)", "dice", lambda d, n: 1.0 - d, lambda a, b, c, e: a + b + c == 0),
    ("BLWMN(1,0)", "dice", lambda d, n: d, lambda a, b, c, e: a + b + c == 0),
    ("RT(1,0)", "rogerstanimoto", lambda d, n: 1.0 - d, lambda a, b, c, e: a + b + c + e == 0),
    ("SS2(1,0)", "sokalsneath", lambda d, n: 1.0 - d, lambda a, b, c, e: a + b + c == 0),
    ("RR(1,0)", "russellrao", lambda d, n: 1.0 - d, lambda a, b, c, e: a + b + c + e == 0),
    ("SM(1,0)", "hamming", lambda d, n: 1.0 - d, lambda a, b, c, e: a + b + c + e == 0),
    ("Q(1,0)", "yule", lambda d, n: 1.0 - d, lambda a, b, c, e: a * e + b * c == 0),
    ("BSEUCLID(1,0)", "hamming", lambda d, n: d * n, lambda a, b, c, e: np.zeros_like(a, dtype=bool)),
]


def tables(items):
    """The 2x2 tables (a, b, c, d) of all pairs in pdist's order."""
    x = items.astype(np.int64)
    a = pdist(x, lambda u, v: float(np.sum(u * v)))
    b = pdist(x, lambda u, v: float(np.sum(u * (1 - v))))
    c = pdist(x, lambda u, v: float(np.sum((1 - u) * v)))
    d = pdist(x, lambda u, v: float(np.sum((1 - u) * (1 - v))))
    return a, b, c, d

# (cases, variables) of the data sets
SHAPES = [(23, 5), (64, 13), (9, 40), (130, 3)]


def lower_to_condensed(lower, n):
    """Our rows (1,0),(2,0),(2,1),... -> pdist's order (0,1),(0,2),...,(1,2),..."""
    out = np.empty(n * (n - 1) // 2)
    k = 0
    for i in range(n):
        for j in range(i + 1, n):
            out[k] = lower[j * (j - 1) // 2 + i]
            k += 1
    return out


class Runner:
    def __init__(self, program, directory):
        self.program = program
        self.directory = directory

    def run(self, data, subcommands):
        cases, variables = data.shape
        data_path = os.path.join(self.directory, "data.f64")
        out_path = os.path.join(self.directory, "out.f64")
        np.ascontiguousarray(data, dtype=np.float64).tofile(data_path)
        done = subprocess.run([self.program, data_path, str(cases), str(variables), subcommands, out_path],
                              capture_output=True, text=True)
        if done.returncode != 0:
            raise RuntimeError("%s failed: %s" % (subcommands, done.stderr.strip()))
        return np.fromfile(out_path, dtype=np.float64)


def compare(failures, what, ours, theirs, seed):
    if ours.shape != theirs.shape:
        failures.append("%s: %d values, pdist %d (seed %d)" % (what, ours.size, theirs.size, seed))
        return
    bad = ~np.isclose(ours, theirs, rtol=RTOL, atol=ATOL, equal_nan=True)
    if bad.any():
        k = int(np.argmax(bad))
        failures.append("%s: %d of %d differ, first at %d: %r vs pdist %r (seed %d)"
                        % (what, int(bad.sum()), bad.size, k, ours[k], theirs[k], seed))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("program")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    args = parser.parse_args()
    rng = np.random.default_rng(args.seed)
    failures = []
    checks = 0
    with tempfile.TemporaryDirectory(prefix="korvana_pdist_") as directory:
        runner = Runner(args.program, directory)
        try:
            for cases, variables in SHAPES:
                data = rng.normal(0.5, 2.0, size=(cases, variables))
                binary = (rng.random(size=(cases, variables)) < 0.4).astype(np.float64)
                for view in ("CASE", "VARIABLE"):
                    items = data if view == "CASE" else data.T
                    bitems = binary if view == "CASE" else binary.T
                    n = items.shape[0]
                    for measure, metric, kwargs, transform in INTERVAL:
                        ours = runner.run(data, "/VIEW=%s /MEASURE=%s" % (view, measure))
                        theirs = transform(pdist(items, metric, **kwargs))
                        compare(failures, "%s %s %dx%d" % (view, measure, cases, variables),
                                lower_to_condensed(ours, n), theirs, args.seed)
                        checks += 1
                    # Z scores by variable, whatever the view.
                    ours = runner.run(data, "/VIEW=%s /STANDARDIZE=VARIABLE Z /MEASURE=SEUCLID" % view)
                    z = zscore(data, axis=0, ddof=1)
                    theirs = pdist(z if view == "CASE" else z.T, "sqeuclidean")
                    compare(failures, "%s Z SEUCLID %dx%d" % (view, cases, variables),
                            lower_to_condensed(ours, n), theirs, args.seed)
                    checks += 1
                    table = tables(bitems)
                    for measure, metric, transform, undefined in BINARY:
                        ours = runner.run(binary, "/VIEW=%s /MEASURE=%s" % (view, measure))
                        with np.errstate(divide="ignore", invalid="ignore"):
                            theirs = transform(pdist(bitems.astype(bool), metric), bitems.shape[1])
                        theirs[undefined(*table)] = np.nan
                        compare(failures, "%s %s %dx%d" % (view, measure, cases, variables),
                                lower_to_condensed(ours, n), theirs, args.seed)
                        checks += 1
        except (OSError, RuntimeError) as e:
            print("cannot run %s: %s" % (args.program, e))
            return 2
    for failure in failures:
        print("MISMATCH " + failure)
    print("%d comparisons, %d mismatches" % (checks, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
