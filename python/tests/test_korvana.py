"""The Python module against korvana-batch, scipy and fastcluster.

Run by ctest (PythonModuleTest) with the module built in the build tree on
PYTHONPATH and KORVANA_BATCH naming korvana-batch.
"""

import json
import math
import os
import signal
import subprocess
import sys
import textwrap

import fastcluster
import numpy as np
import pandas
import pytest
from scipy.cluster import hierarchy
from scipy.spatial.distance import pdist, squareform

import korvana

BATCH = os.environ.get("KORVANA_BATCH")


def tie_rich_data(rows=16):
    rng = np.random.default_rng(27)
    return rng.integers(0, 4, size=(rows, 3)).astype(float)


def batch_results(tmp_path, X, names, method, permutations, seed, options=("--measure", "SEUCLID")):
    data = tmp_path / "data.csv"
    lines = ["name,x,y,z"] + [f"{n},{int(a)},{int(b)},{int(c)}" for n, (a, b, c) in zip(names, X)]
    data.write_text("\n".join(lines) + "\n")
    stem = tmp_path / method
    subprocess.run([BATCH, "--data", str(data), "--variables", "x TO z", "--label", "name", *options,
                    "--method", method, "--permutations", str(permutations), "--seed", str(seed), "--support",
                    "--format", "results", "--quiet", "--output", str(stem)], check=True)
    return json.loads((tmp_path / f"{method}.results.json").read_text())


def same(ours, theirs):
    """Equal to the bit, the results file's null standing for not a number."""
    if theirs is None:
        return ours is None or (isinstance(ours, float) and math.isnan(ours))
    return ours == theirs


@pytest.mark.skipif(not BATCH, reason="KORVANA_BATCH not set")
@pytest.mark.parametrize("method", korvana.METHODS)
def test_results_equal_korvana_batch(tmp_path, method):
    X = tie_rich_data()
    names = [f"o{i + 1}" for i in range(len(X))]
    expected = batch_results(tmp_path, X, names, method, 40, 1234,
                             ("--measure", "SEUCLID", "--order-free", "--membership", "2-5"))
    r = korvana.run(korvana.proximities(X, "SEUCLID"), method, 40, seed=1234, labels=names, support=True, jobs=2,
                    order_free=True)

    rows = r.permutations.to_dict("records")
    assert len(rows) == len(expected["permutations"]) == 40
    for ours, theirs in zip(rows, expected["permutations"]):
        seed = None if pandas.isna(ours["seed"]) else int(ours["seed"])
        assert (ours["permutation"], seed, ours["solution"], ours["hierarchy"]) == \
            (theirs["permutation"], theirs["seed"], theirs["solution"], theirs["hierarchy"])
        for ours_key, key in (("ssdif", "ssdif"), ("normalized_ssdif", "normalizedSSDif"),
                              ("cophenetic_correlation", "copheneticCorrelation")):
            assert same(ours[ours_key], theirs[key]), (ours_key, ours, theirs)

    assert len(r.solutions) == len(expected["solutions"])
    for s, t in zip(r.solutions, expected["solutions"]):
        assert (s.id, s.permutation, s.seed, s.hierarchy) == (t["solution"], t["permutation"], t["seed"], t["hierarchy"])
        assert same(s.normalized_ssdif, t["normalizedSSDif"]) and same(s.cophenetic_correlation,
                                                                         t["copheneticCorrelation"])
        assert (s.newick, s.hierarchy_newick) == (t["newick"], t["hierarchyNewick"])
        merges = t["merges"]
        assert list(s.schedule["coefficient"]) == [m["coefficient"] for m in merges]
        assert list(s.schedule["folded"]) == [m["folded"] for m in merges]
        assert all(same(a, m["supportAll"]) and same(b, m["supportBest"])
                   for a, b, m in zip(s.support["support_all"], s.support["support_best"], merges))
    # Each kept solution's memberships are the Cluster Membership korvana-batch gives.
    assert [m["solution"] for m in expected["membership"]["solutions"]] == [s.id for s in r.solutions]
    for s, m in zip(r.solutions, expected["membership"]["solutions"]):
        assert {str(k): list(s.membership(k)) for k in expected["membership"]["k"]} == m["clusters"]
    for ours, key in ((r.distinct_solutions, "distinctSolutions"), (r.distinct_hierarchies, "distinctHierarchies")):
        for subset in ("all", "best"):
            a, b = ours[subset], expected[key][subset]
            assert (a["distinct"], a["seen_once"], a["seen_twice"], list(a["curve"])) == \
                (b["distinct"], b["seenOnce"], b["seenTwice"], b["curve"])
            assert same(a["estimated_total"], b["estimatedTotal"])
    tree, theirs = r.order_free, expected["orderFreeTree"]
    assert (tree["newick"], tree["hierarchy"]) == (theirs["newick"], theirs["hierarchy"])
    assert same(tree["normalized_ssdif"], theirs["normalizedSSDif"]) and same(tree["ssdif"], theirs["ssdif"])
    assert [(m["clusters"], m["height"]) for m in tree["merges"]] == \
        [([c - 1 for c in m["clusters"]], m["height"]) for m in theirs["merges"]]
    assert r.best_fit["records"] == [{"permutation": b["permutation"], "normalized_ssdif": b["normalizedSSDif"]}
                                     for b in expected["bestFit"]["records"]]
    # One solution per hierarchy: the kept merge orders grouped, in the order kept.
    shown = korvana.run(korvana.proximities(X, "SEUCLID"), method, 40, seed=1234, solutions="hierarchies").solutions
    assert [[s.id] + [o["id"] for o in s.others] for s in shown] == grouped_by_hierarchy(expected["solutions"])
    for subset in ("all", "best"):
        a, b = r.consensus[subset], expected["consensus"][subset]
        assert a["newick"] == b["newick"]
        assert [([o + 1 for o in c["objects"]], c["support"]) for c in a["clusters"]] == \
            [(c["objects"], c["support"]) for c in b["clusters"]]


def grouped_by_hierarchy(solutions):
    groups = {}
    for s in solutions:
        groups.setdefault(s["hierarchy"], []).append(s["solution"])
    return list(groups.values())


# The keyword mapping end to end: the first permutation's fit and tree from
# korvana-batch's PROXIMITIES and from proximities() on the same data.
@pytest.mark.skipif(not BATCH, reason="KORVANA_BATCH not set")
@pytest.mark.parametrize("options,kwargs,similarity,data", [
    (("--measure", "EUCLID", "--standardize", "RANGE1"), {"measure": "EUCLID", "standardize": "RANGE1"}, False, None),
    (("--measure", "BLOCK", "--standardize", "Z", "--standardize-by", "cases"),
     {"measure": "BLOCK", "standardize": "Z", "by": "cases"}, False, None),
    (("--measure", "MINKOWSKI", "--power", "3"), {"measure": "MINKOWSKI", "power": 3}, False, None),
    (("--measure", "JACCARD", "--present", "3", "--absent", "0"),
     {"measure": "JACCARD", "present": 3, "absent": 0}, True,
     lambda X: np.column_stack([np.full(len(X), 3.0), np.where(X[:, 1:] > 1, 3.0, 0.0)])),
    (("--measure", "COSINE",), {"measure": "COSINE"}, True, lambda X: X + 1),
])
def test_proximities_by_keyword_are_korvana_batchs(tmp_path, options, kwargs, similarity, data):
    X = tie_rich_data() if data is None else data(tie_rich_data())
    names = [f"o{i + 1}" for i in range(len(X))]
    expected = batch_results(tmp_path, X, names, "complete", 3, 5, options)
    assert korvana.is_similarity(kwargs["measure"]) == similarity
    r = korvana.run(korvana.proximities(X, **kwargs), "complete", 3, seed=5, similarity=similarity)
    assert list(r.permutations["solution"]) == [p["solution"] for p in expected["permutations"]]
    assert all(same(a, p["normalizedSSDif"])
               for a, p in zip(r.permutations["normalized_ssdif"], expected["permutations"]))


def test_labels_of_a_data_frame_name_the_leaves():
    frame = pandas.DataFrame(squareform([1.0, 2.0, 2.5]), index=["a b", "c", "d"])
    newick = korvana.run(frame, "single", 2, seed=1).solutions[0].newick
    assert "a%20b" in newick and "c" in newick and "d" in newick


def clusters_of(Z, n):
    members = [frozenset([i]) for i in range(n)]
    for a, b, _, _ in Z:
        members.append(members[int(a)] | members[int(b)])
    return set(members[n:])


# Ours on squared Euclidean distances for the geometric methods, fastcluster
# on the Euclidean ones: the same trees, our heights the squares of theirs.
SHARED = [("average", "average", False), ("single", "single", False), ("complete", "complete", False),
          ("centroid", "centroid", True), ("median", "median", True), ("ward", "ward", True)]


@pytest.mark.parametrize("method,theirs,squared", SHARED)
def test_linkage_is_fastclusters_on_tie_free_data(method, theirs, squared):
    X = np.random.default_rng(5).normal(size=(30, 4))
    d = pdist(X)
    ours = korvana.run(d ** 2 if squared else d, method, 3, seed=1).solutions[0]
    Z = ours.linkage
    assert hierarchy.is_valid_linkage(Z, throw=True)
    reference = fastcluster.linkage(d, method=theirs)
    assert clusters_of(Z, 30) == clusters_of(reference, 30)
    assert np.allclose(Z[:, 2], reference[:, 2] ** 2 if squared else reference[:, 2], rtol=1e-9)
    assert np.array_equal(Z[:, 3], reference[:, 3])
    # scipy's tools accept it.
    assert len(set(hierarchy.fcluster(Z, 4, "maxclust"))) == 4
    assert sorted(hierarchy.dendrogram(Z, no_plot=True)["leaves"]) == list(range(30))
    # Every cluster's leaves lie side by side in the drawing order.
    position = {leaf: k for k, leaf in enumerate(ours.leaf_order)}
    assert all(max(position[o] for o in c) - min(position[o] for o in c) == len(c) - 1 for c in clusters_of(Z, 30))
    coph, _ = hierarchy.cophenet(Z, d ** 2 if squared else d)
    assert math.isclose(coph, ours.cophenetic_correlation, rel_tol=1e-9)


def test_condensed_and_square_give_the_same_result():
    d = korvana.proximities(tie_rich_data(), "BLOCK")
    a = korvana.run(d, "complete", 25, seed=3, jobs=1)
    b = korvana.run(squareform(d), "complete", 25, seed=3, jobs=2)
    assert a.permutations.equals(b.permutations)
    assert [s.id for s in a.solutions] == [s.id for s in b.solutions]


@pytest.mark.parametrize("D,kwargs,error,phrase", [
    (np.zeros((3, 4)), {}, ValueError, "square"),
    (np.array([[0, 1, 2], [1, 0, 3], [2, 4, 0]]), {}, ValueError, "not symmetric"),
    (np.array([1.0, np.nan, 2.0]), {}, ValueError, "not a number"),
    (np.array([1.0, np.inf, 2.0]), {}, ValueError, "infinite"),
    (np.array([["a", "b"], ["b", "a"]]), {}, TypeError, "real numbers"),
    (np.zeros((1, 1)), {}, ValueError, "at least 2 objects"),
    (np.zeros(0), {}, ValueError, "n(n - 1)/2"),
    (np.zeros(4), {}, ValueError, "n(n - 1)/2"),
    (np.ones(3), {"permutations": -1}, ValueError, "at least 1"),
    (np.ones(3), {"permutations": 2.5}, TypeError, "integer"),
    (np.ones(3), {"method": "wards"}, ValueError, "Unknown method 'wards'"),
    (np.ones(3), {"labels": ["a"]}, ValueError, "3 labels"),
    (np.ones(3), {"seed": 2 ** 40}, ValueError, "32-bit"),
    (np.ones(3), {"solutions": "trees"}, ValueError, "orders"),
])
def test_bad_input_is_refused_clearly(D, kwargs, error, phrase):
    with pytest.raises(error) as raised:
        korvana.run(D, **kwargs)
    assert phrase in str(raised.value)


def test_bad_proximities_requests_are_refused():
    with pytest.raises(ValueError, match="Unknown measure 'EUCLIDEAN'"):
        korvana.proximities(np.ones((3, 2)), "EUCLIDEAN")
    with pytest.raises(ValueError, match="Unknown standardization 'RESCALE'"):
        korvana.proximities(np.ones((3, 2)), "EUCLID", "RESCALE")
    with pytest.raises(ValueError, match="not a finite number"):
        korvana.proximities(np.array([[1.0], [np.nan]]))
    assert korvana.is_similarity("CORRELATION") and not korvana.is_similarity("CORRELATION", reverse=True)


def test_progress_is_reported_and_its_exception_cancels():
    d = korvana.proximities(np.random.default_rng(2).normal(size=(300, 3)))
    seen = []
    korvana.run(d, "average", 20, seed=1, jobs=1, progress=lambda done, total: seen.append((done, total)))
    assert seen and seen[-1] == (20, 20) and all(a[0] < b[0] for a, b in zip(seen, seen[1:]))

    def stop(done, total):
        raise RuntimeError("enough")
    with pytest.raises(RuntimeError, match="enough"):
        korvana.run(d, "average", 100000, seed=1, progress=stop)


def test_ctrl_c_raises_keyboard_interrupt_and_leaves_python_usable():
    child = textwrap.dedent("""
        import os, signal, threading, time
        import numpy as np, korvana
        d = korvana.proximities(np.random.default_rng(1).normal(size=(1500, 3)))
        threading.Timer(1.0, lambda: os.kill(os.getpid(), signal.SIGINT)).start()
        start = time.monotonic()
        try:
            korvana.run(d, "average", 100000, seed=1, jobs=1)
            print("not interrupted")
        except KeyboardInterrupt:
            print("interrupted after %.1f s" % (time.monotonic() - start))
        print("usable", korvana.run(d[:3], "single", 2, seed=1).completed)
    """)
    out = subprocess.run([sys.executable, "-c", child], capture_output=True, text=True, timeout=120,
                         env=dict(os.environ)).stdout
    lines = out.splitlines()
    assert lines[0].startswith("interrupted after") and float(lines[0].split()[2]) < 5.0, out
    assert lines[1] == "usable 2", out


def test_structured_array_without_pandas(monkeypatch):
    with_pandas = korvana.run(np.array([1.0, 2.0, 2.0]), "single", 3, seed=9).permutations
    monkeypatch.setattr(korvana, "_pandas", None)
    table = korvana.run(np.array([1.0, 2.0, 2.0]), "single", 3, seed=9).permutations
    assert table.dtype.names == tuple(with_pandas.columns)
    assert math.isnan(table["seed"][0]) and list(table["seed"][1:]) == list(with_pandas["seed"][1:])
    assert list(table["solution"]) == list(with_pandas["solution"])
