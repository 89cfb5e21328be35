#!/usr/bin/env python3
"""Hierarchies read by R's ape, a peer no one here wrote.

Usage: ape_peer_test.py KORVANA_BATCH

korvana-batch clusters tie-rich data (three variables of values 1 to 3,
city-block distances, repeated labels) over an odd number of permutations, so
that no clade sits at exactly half, and writes its results and trees files.
ape's read.tree reads every permutation's hierarchy from the trees file, and
consensus(trees, p = 0.5, rooted = TRUE) must have exactly the clusters of the
results file's majority-rule consensus; read.tree of each kept solution's
hierarchyNewick must have exactly the clusters of its merges that are not
folded. Skipped (exit 77) without Rscript or ape.
"""

import json
import os
import random
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
R_CLADES = r"""
suppressMessages(library(ape))
args <- commandArgs(TRUE)
clades <- function(tree) {
  parts <- prop.part(tree)
  for (i in seq_along(parts))
    cat(paste(sort(attr(parts, "labels")[parts[[i]]]), collapse = "|"), "\n", sep = "")
}
if (args[1] == "consensus") {
  clades(consensus(read.tree(args[2]), p = 0.5, rooted = TRUE))
} else {
  for (line in readLines(args[2])) { clades(read.tree(text = line)); cat("--\n") }
}
"""


def main(batch):
    rscript = shutil.which("Rscript")
    if not rscript or subprocess.run([rscript, "-e", "library(ape)"], capture_output=True).returncode != 0:
        print("SKIPPED: Rscript with ape (r-cran-ape) is not installed")
        return SKIP
    with tempfile.TemporaryDirectory() as folder:
        generator = random.Random(5)
        rows = ["name,x,y,z"] + ["g%d,%d,%d,%d" % (i % 5, generator.randint(1, 3), generator.randint(1, 3),
                                                     generator.randint(1, 3)) for i in range(24)]
        with open(os.path.join(folder, "data.csv"), "w") as f:
            f.write("\n".join(rows) + "\n")
        with open(os.path.join(folder, "clades.R"), "w") as f:
            f.write(R_CLADES)
        out = os.path.join(folder, "out")
        subprocess.run([batch, "-d", os.path.join(folder, "data.csv"), "--variables", "x,y,z", "--label", "name",
                        "--measure", "BLOCK", "--method", "average", "--permutations", "41", "--seed", "5",
                        "--no-identity", "--support", "-f", "results,trees", "-o", out, "-q"], check=True)
        with open(out + ".results.json") as f:
            results = json.load(f)
        labels = [o["label"] for o in results["objects"]]
        leaf = {o["number"]: o["label"] + ("_%d" % o["number"] if labels.count(o["label"]) > 1 else "")
                for o in results["objects"]}
        named = lambda objects: "|".join(sorted(leaf[o] for o in objects))
        assert results["distinctHierarchies"]["all"]["distinct"] > 1, "the data should give several hierarchies"

        def r(*arguments):
            done = subprocess.run([rscript, os.path.join(folder, "clades.R")] + list(arguments),
                                  capture_output=True, text=True, check=True)
            return done.stdout.splitlines()

        ours = sorted(named(c["objects"]) for c in results["consensus"]["all"]["clusters"])
        theirs = sorted(r("consensus", out + ".trees.nwk"))
        assert theirs == ours, "ape's consensus %s, ours %s" % (theirs, ours)

        with open(os.path.join(folder, "kept.nwk"), "w") as f:
            f.write("\n".join(s["hierarchyNewick"] for s in results["solutions"]) + "\n")
        read = "\n".join(r("each", os.path.join(folder, "kept.nwk"))).split("--")
        for solution, clades in zip(results["solutions"], read):
            expected = sorted(named(m["objects"]) for m in solution["merges"] if not m["folded"])
            assert sorted(line for line in clades.split("\n") if line) == expected, solution["solution"]
        print("ape agrees: %d consensus clusters, %d kept hierarchies" % (len(ours), len(results["solutions"])))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
