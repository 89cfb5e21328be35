#!/usr/bin/env python3
"""Newick files read back by Biopython and R's ape, peers no one here wrote.

Usage: newick_peer_test.py KORVANA_BATCH

korvana-batch clusters tie-free data whose labels hold blanks, quotes,
parentheses, commas, a percent sign, a no-break space and non-ASCII letters,
by dissimilarities (Euclidean distances, average linkage) and by similarities
(Pearson correlations of the cases, complete linkage), and writes each kept
tree with --newick. For every file: Biopython's names and ape's tip labels,
decoded as documented (urllib.parse.unquote, URLdecode), are the labels; a
name without "%" is the label itself; the distance between two leaves, by
Biopython and by ape's cophenetic(), is the height at which the tree joins
them: for dissimilarities scipy's cophenet of its own average linkage and R's
cophenetic(hclust(dist(x), "average")); for similarities the highest merge
height less the joining height. Skipped (exit 77) without R's ape.
"""

import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import urllib.parse

import numpy
from Bio import Phylo
from scipy.cluster.hierarchy import cophenet, linkage
from scipy.spatial.distance import pdist, squareform

SKIP = 77
LABELS = ["two words", "O'Brien", "x(y)", "a,b", "Z\u00fcrich", "50%", "semi;colon", "[br]", "no\u00a0break",
          "plain_name", 'say "hi"', "colon:ed"]
R_COPHENETIC = r"""
suppressMessages(library(ape))
args <- commandArgs(TRUE)
tree <- read.tree(args[1])
labels <- vapply(tree$tip.label, URLdecode, "")
tree$tip.label <- labels
d <- cophenetic(tree)
cat(paste0("[", paste(vapply(seq_along(labels), function(i)
  paste0("[", paste(sprintf("%.17g", d[labels[i], labels]), collapse = ","), "]"), ""), collapse = ","), "]"), "\n")
cat(paste(labels, collapse = "\t"), "\n", sep = "")
if (length(args) > 1) {
  x <- as.matrix(read.csv(args[2], row.names = NULL)[, -1])
  ours <- as.matrix(cophenetic(hclust(dist(x), "average")))
  names <- read.csv(args[2], check.names = FALSE, encoding = "UTF-8")[, 1]
  dimnames(ours) <- list(names, names)
  stopifnot(max(abs(ours[labels, labels] - d)) < 1e-9)
  cat("hclust agrees\n")
}
"""


def tree_distances(path, labels):
    tree = Phylo.read(path, "newick")
    leaves = {urllib.parse.unquote(t.name): t for t in tree.get_terminals()}
    for t in tree.get_terminals():
        assert "%" in t.name or urllib.parse.unquote(t.name) == t.name
    assert sorted(leaves) == sorted(labels), sorted(leaves)
    return numpy.array([[tree.distance(leaves[a], leaves[b]) if a != b else 0.0 for b in labels] for a in labels])


def main(batch):
    rscript = shutil.which("Rscript")
    have_ape = rscript and subprocess.run([rscript, "-e", "library(ape)"], capture_output=True).returncode == 0
    generator = random.Random(11)
    x = numpy.array([[generator.uniform(0, 10) for _ in range(4)] for _ in LABELS])
    with tempfile.TemporaryDirectory() as folder:
        data = os.path.join(folder, "data.csv")
        with open(data, "w", encoding="utf-8") as f:
            f.write("name,v1,v2,v3,v4\n")
            for label, row in zip(LABELS, x):
                f.write('"%s",%s\n' % (label.replace('"', '""'), ",".join(repr(float(v)) for v in row)))
        with open(os.path.join(folder, "cophenetic.R"), "w") as f:
            f.write(R_COPHENETIC)
        cases = [("average", "EUCLID", "cases", True), ("complete", "CORRELATION", "variables", False)]
        for method, measure, view, dissimilarity in cases:
            trees = os.path.join(folder, method)
            out = os.path.join(folder, method + "-out")
            arguments = [batch, "-d", data, "--variables", "v1,v2,v3,v4", "--label", "name", "--method", method,
                         "--measure", measure, "--permutations", "3", "--seed", "2", "-f", "results", "-o", out,
                         "--newick", trees, "-q"]
            if view == "variables":
                # Correlations between the cases: the data transposed, the labels its variable names.
                arguments = [batch, "-d", transposed(folder, x), "--variables", "case_1 TO case_12", "--cluster", "variables",
                             "--method", method, "--measure", measure, "--permutations", "3", "--seed", "2",
                             "-f", "results", "-o", out, "--newick", trees, "-q"]
            subprocess.run(arguments, check=True)
            with open(out + ".results.json") as f:
                results = json.load(f)
            labels = [o["label"] for o in results["objects"]]
            assert sorted(labels) == sorted(LABELS if dissimilarity else variable_names()), labels
            newick = os.path.join(trees, "solution-1.nwk")
            ours = tree_distances(newick, labels)
            merges = results["solutions"][0]["merges"]
            if dissimilarity:
                peer = squareform(cophenet(linkage(pdist(x), "average")))
                order = [LABELS.index(label) for label in labels]
                assert numpy.allclose(ours, peer[numpy.ix_(order, order)], atol=1e-9), "Biopython against scipy"
            else:
                top = max(m["height"] for m in merges)
                assert min(m["height"] for m in merges) < top, "similarities fall towards the root"
                joined = numpy.zeros((len(labels), len(labels)))
                seen = set()
                for m in merges:  # the first merge that holds both objects joins them
                    for a in m["objects"]:
                        for b in m["objects"]:
                            if a != b and (a, b) not in seen:
                                seen.add((a, b))
                                joined[a - 1][b - 1] = top - m["height"]
                assert numpy.allclose(ours, joined, atol=1e-9), "similarity lengths"
            if have_ape:
                done = subprocess.run([rscript, os.path.join(folder, "cophenetic.R"), newick] +
                                      ([data] if dissimilarity else []), capture_output=True, check=True)
                lines = done.stdout.decode("utf-8").splitlines()
                theirs = numpy.array(json.loads(lines[0]))
                ape_labels = lines[1].split("\t")
                assert sorted(ape_labels) == sorted(labels), ape_labels
                order = [labels.index(label) for label in ape_labels]
                assert numpy.allclose(theirs, ours[numpy.ix_(order, order)], atol=1e-9), "ape against Biopython"
                if dissimilarity:
                    assert lines[2] == "hclust agrees"
    print("Newick labels and cophenetic distances agree%s" % (" (Biopython, scipy, ape, hclust)" if have_ape
                                                              else " (Biopython, scipy; ape not installed)"))
    return 0 if have_ape else SKIP


def variable_names():
    return ["case_%d" % (i + 1) for i in range(len(LABELS))]


def transposed(folder, x):
    path = os.path.join(folder, "transposed.csv")
    with open(path, "w") as f:
        f.write(",".join(variable_names()) + "\n")
        for column in x.T:
            f.write(",".join(repr(float(v)) for v in column) + "\n")
    return path


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
