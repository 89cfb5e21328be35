#!/usr/bin/env python3
"""The results file and the Newick trees, read by other programs.

Usage: results_peer_test.py KORVANA_BATCH SCHEMA

korvana-batch runs a small, tie-rich analysis with --support, --order-free
and --newick; the results file must validate against its JSON Schema
(python3-jsonschema) and agree with itself: the accounting recounted from its
permutations, the merges' object sets built up stage by stage, and every
Newick tree, read by Biopython's Bio.Phylo, must hold exactly the merges'
clusters, with the support labels and, for dissimilarities, the branch
lengths the merges give. The order-free tree's Newick tree must hold its
merges as nodes with as many children as clusters each joins.
"""

import io
import json
import math
import os
import subprocess
import sys
import tempfile

import jsonschema
from Bio import Phylo

CASES = 14


def write_inputs(folder):
    # Integer coordinates on a small grid: many tied distances.
    rows = ["name,x,y"]
    for i in range(CASES):
        rows.append("o%02d,%d,%d" % (i + 1, (i * 7) % 4, (i * 3) % 3))
    with open(os.path.join(folder, "data.csv"), "w") as f:
        f.write("\n".join(rows) + "\n")
    with open(os.path.join(folder, "request.ini"), "w") as f:
        f.write("[General]\nCluster Method=0\nNumber of Permutations=30\nAnalysis Type=2\n"
                "Cluster Variables=x:y\nLabel Variable=name\nInterval Measure=0\n"
                "[Options]\nFist Permutation Identity=0\nSeed Type=1\nSeed=99\n")


def check_accounting(results):
    kept = results["solutions"][0]["normalizedSSDif"]
    perms = results["permutations"]
    for subset, counted in (("all", perms), ("best", [p for p in perms if p["normalizedSSDif"] == kept])):
        times = {}
        for p in counted:
            times[p["solution"]] = times.get(p["solution"], 0) + 1
        d = results["distinctSolutions"][subset]
        f1 = sum(1 for t in times.values() if t == 1)
        f2 = sum(1 for t in times.values() if t == 2)
        assert d["permutations"] == len(counted), subset
        assert d["distinct"] == len(times), subset
        assert (d["seenOnce"], d["seenTwice"]) == (f1, f2), subset
        assert math.isclose(d["estimatedTotal"], len(times) + f1 * (f1 - 1) / (2 * (f2 + 1))), subset
        assert len(d["curve"]) == results["completed"] and d["curve"][-1] == len(times), subset


def check_solution(results, solution, newick_file):
    labels = {o["number"]: o["label"] for o in results["objects"]}
    clusters = {number: {number} for number in labels}
    expected = {}
    coefficient_of = {}
    for merge in solution["merges"]:
        merged = clusters[merge["cluster1"]] | clusters.pop(merge["cluster2"])
        clusters[merge["cluster1"]] = merged
        assert merge["objects"] == sorted(merged), merge["stage"]
        key = frozenset(labels[o] for o in merged)
        expected[key] = (round(merge["supportAll"] * 100 + 1e-9), merge["height"])
        coefficient_of[key] = merge["height"]
    with open(newick_file) as f:
        assert f.read().strip() == solution["newick"]
    tree = Phylo.read(io.StringIO(solution["newick"]), "newick")
    assert len(tree.get_terminals()) == len(labels)
    parents = {}
    for clade in tree.find_clades(order="level"):
        for child in clade.clades:
            parents[child] = clade
    seen = set()
    for clade in tree.get_nonterminals():
        key = frozenset(t.name for t in clade.get_terminals())
        assert key in expected, sorted(key)
        seen.add(key)
        support, coefficient = expected[key]
        assert int(clade.confidence) == support, (sorted(key), clade.confidence, support)
        if clade in parents:
            parent = frozenset(t.name for t in parents[clade].get_terminals())
            assert math.isclose(clade.branch_length, (coefficient_of[parent] - coefficient) / 2, abs_tol=1e-12)
    assert seen == set(expected)
    for leaf in tree.get_terminals():
        parent = frozenset(t.name for t in parents[leaf].get_terminals())
        assert math.isclose(leaf.branch_length, coefficient_of[parent] / 2, abs_tol=1e-12)


def check_order_free(results, newick_file):
    tree = results["orderFreeTree"]
    labels = {o["number"]: o["label"] for o in results["objects"]}
    clusters = {number: {number} for number in labels}
    expected = {}
    for k, merge in enumerate(tree["merges"]):
        assert merge["stage"] == k + 1
        joined = merge["clusters"]
        assert len(joined) >= 2 and joined == sorted(joined), merge
        merged = set().union(*(clusters.pop(c) for c in joined))
        clusters[joined[0]] = merged
        assert merge["objects"] == sorted(merged), merge["stage"]
        lowest, highest = merge["range"]
        assert merge["height"] == lowest <= highest, merge
        expected[frozenset(labels[o] for o in merged)] = (merge["height"], len(joined))
    assert len(clusters) == 1, "the merges do not end in one cluster"
    assert any(count > 2 for _, count in expected.values()), "no merge of three or more clusters"
    ratio = results["permutations"][0]["ssdif"] / results["permutations"][0]["normalizedSSDif"]
    assert math.isclose(tree["ssdif"], tree["normalizedSSDif"] * ratio, rel_tol=1e-12)
    with open(newick_file) as f:
        assert f.read().strip() == tree["newick"]
    parsed = Phylo.read(io.StringIO(tree["newick"]), "newick")
    assert len(parsed.get_terminals()) == len(labels)
    height_of = {}
    for clade in parsed.get_nonterminals():
        key = frozenset(t.name for t in clade.get_terminals())
        assert key in expected, sorted(key)
        height, count = expected[key]
        assert len(clade.clades) == count, (sorted(key), len(clade.clades), count)
        height_of[clade] = height
    assert len(height_of) == len(expected)
    for clade in parsed.find_clades():
        for child in clade.clades:
            assert math.isclose(child.branch_length, (height_of[clade] - height_of.get(child, 0.0)) / 2, abs_tol=1e-12)


def main():
    batch, schema_path = sys.argv[1], sys.argv[2]
    with open(schema_path) as f:
        schema = json.load(f)
    with tempfile.TemporaryDirectory() as folder:
        write_inputs(folder)
        subprocess.run([batch, "-s", os.path.join(folder, "request.ini"), "-d", os.path.join(folder, "data.csv"),
                        "-o", os.path.join(folder, "out"), "-f", "results", "--support", "--order-free", "--newick",
                        os.path.join(folder, "trees"), "-q", "--jobs", "2"], check=True,
                       stderr=subprocess.DEVNULL)
        with open(os.path.join(folder, "out.results.json")) as f:
            results = json.load(f)
        jsonschema.Draft202012Validator(schema).validate(results)
        assert results["completed"] == 30 and not results["canceled"]
        assert results["method"] == "average" and results["proximities"] == "dissimilarity"
        assert len(results["permutations"]) == 30 and len(results["objects"]) == CASES
        check_accounting(results)
        assert results["solutions"], "no kept solution"
        for k, solution in enumerate(results["solutions"]):
            check_solution(results, solution, os.path.join(folder, "trees", "solution-%d.nwk" % (k + 1)))
        check_order_free(results, os.path.join(folder, "trees", "order-free.nwk"))
    print("results file, %d trees and the order-free tree checked" % len(results["solutions"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
