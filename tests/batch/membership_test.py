#!/usr/bin/env python3
"""korvana-batch --membership and --save-membership, read back by PSPP.

Usage: membership_test.py KORVANA_BATCH EXAMPLES_DIR

- iris with --membership 2-4 saved as .sav: pspp-convert reads the original
  variables with their values unchanged, then CLU2_1 ... CLU4_1 with the
  results file's memberships; saved as .csv the same.
- A case left out for a missing value gets system-missing memberships.
- Jobs 1, 2 and 7 give the same results file and saved file, tie-rich.
- The data file as the membership file, a variable CLU2_1 already there and
  a range past n - 1 are refused, and nothing is written.

Exits 77 when pspp-convert is missing.
"""

import csv
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import jsonschema

BATCH = EXAMPLES = None
PSPP_CONVERT = shutil.which("pspp-convert")
IRIS = ["--variables", "sepal_length TO petal_width", "--label", "species", "--seed", "19360101"]


def rows_of(path):
    with open(path, newline="") as f:
        return list(csv.reader(f))


def as_csv(folder, data_file):
    if data_file.endswith(".csv"):
        return rows_of(data_file)
    target = os.path.join(folder, os.path.basename(data_file) + ".csv")
    subprocess.run([PSPP_CONVERT, data_file, target], check=True, capture_output=True)
    return rows_of(target)


def same_value(a, b):
    try:
        return float(a) == float(b)
    except ValueError:
        return a.strip() == b.strip()


class Membership(unittest.TestCase):
    def setUp(self):
        self.temporary = tempfile.TemporaryDirectory()
        self.folder = self.temporary.name

    def tearDown(self):
        self.temporary.cleanup()

    def batch(self, arguments, status=0):
        done = subprocess.run([BATCH, "-q", "-o", os.path.join(self.folder, "out"), "-f", "text,results"] + arguments,
                              cwd=self.folder, capture_output=True, text=True, timeout=300)
        self.assertEqual(done.returncode, status, done.stderr)
        return done

    def results(self):
        with open(os.path.join(self.folder, "out.results.json")) as f:
            return json.load(f)

    def assert_saved_with_data(self, data_file, saved_rows, results, missing_cases=()):
        original = as_csv(self.folder, data_file)
        header = saved_rows[0]
        names = ["CLU%d_%d" % (k, s + 1) for s in range(len(results["membership"]["solutions"]))
                 for k in results["membership"]["k"]]
        self.assertEqual(header, original[0] + names)
        self.assertEqual(len(saved_rows), len(original))
        width = len(original[0])
        objects = iter(range(len(results["objects"])))
        for case, (theirs, ours) in enumerate(zip(original[1:], saved_rows[1:])):
            for a, b in zip(theirs, ours[:width]):
                self.assertTrue(same_value(a, b), "case %d: %r became %r" % (case + 1, a, b))
            if case in missing_cases:
                self.assertTrue(all(v.strip() in ("", ".") for v in ours[width:]), ours)
                continue
            o = next(objects)
            expected = [str(solution["clusters"][str(k)][o]) for solution in results["membership"]["solutions"]
                        for k in results["membership"]["k"]]
            self.assertEqual([v.strip() for v in ours[width:]], expected, "case %d" % (case + 1))

    def test_iris_saved_as_sav_and_csv_keeps_every_original_value(self):
        iris = os.path.join(EXAMPLES, "iris.sav")
        for name in ["members.sav", "members.csv"]:
            saved = os.path.join(self.folder, name)
            self.batch(["-d", iris] + IRIS + ["--measure", "SEUCLID", "--method", "ward", "--permutations", "30", "--solutions",
                                              "hierarchies", "--membership", "2-4", "--save-membership", saved])
            results = self.results()
            with open(os.path.join(EXAMPLES, os.pardir, "docs", "results.schema.json")) as f:
                jsonschema.validate(results, json.load(f))
            self.assertEqual(results["membership"]["k"], [2, 3, 4])
            stability = results["partitionStability"]
            self.assertEqual([s["k"] for s in stability], [2, 3, 4])
            rows = rows_of(saved) if name.endswith(".csv") else as_csv(self.folder, saved)
            self.assert_saved_with_data(iris, rows, results)

    def test_a_case_left_out_gets_no_membership(self):
        data = os.path.join(self.folder, "points.csv")
        with open(data, "w") as f:
            f.write("name,x,y\na,1,2\nb,1.5,2.5\nc,,7\nd,8,1\ne,8.25,1.5\nf,4,4\n")
        saved = os.path.join(self.folder, "members.sav")
        self.batch(["-d", data, "--variables", "x,y", "--label", "name", "--method", "complete",
                    "--permutations", "5", "--membership", "2", "--save-membership", saved])
        self.assert_saved_with_data(data, as_csv(self.folder, saved), self.results(), missing_cases=(2,))

    def test_any_job_count_gives_the_same_files(self):
        files = []
        for jobs in ["1", "2", "7"]:
            saved = os.path.join(self.folder, "members-%s.sav" % jobs)
            self.batch(["-d", os.path.join(EXAMPLES, "iris.sav")] + IRIS + ["--measure", "CHEBYCHEV"] +
                       ["--method", "complete", "--permutations", "60", "--no-identity", "--membership", "2-9",
                        "--save-membership", saved, "-j", jobs])
            with open(os.path.join(self.folder, "out.results.json")) as f:
                text = f.read()
            with open(saved, "rb") as f:
                data = f.read()
            files.append((text[text.index('"membership"'):text.index('"completed"')], data[:92] + data[109:]))
        self.assertGreater(max(s["distinctAll"] for s in self.results()["partitionStability"]), 1,
                           "complete linkage on Chebychev distances should find several partitions")
        self.assertEqual(files[1], files[0])
        self.assertEqual(files[2], files[0])

    def test_refusals_write_nothing(self):
        copy = os.path.join(self.folder, "iris.sav")
        shutil.copy(os.path.join(EXAMPLES, "iris.sav"), copy)
        done = self.batch(["-d", copy] + IRIS + ["--membership", "3", "--save-membership", copy], status=1)
        self.assertIn("the membership file", done.stderr)
        # A data set that already has CLU3_1.
        data = os.path.join(self.folder, "taken.csv")
        with open(data, "w") as f:
            f.write("x,y,CLU3_1\n1,2,9\n2,2,9\n5,1,9\n7,7,9\n9,0,9\n")
        saved = os.path.join(self.folder, "members.sav")
        done = self.batch(["-d", data, "--variables", "x,y", "--permutations", "3", "--membership", "3",
                           "--save-membership", saved], status=1)
        self.assertFalse(os.path.exists(saved))
        with open(os.path.join(self.folder, "out.txt")) as f:
            self.assertIn("already has a variable named CLU3_1", f.read())
        done = self.batch(["-d", data, "--variables", "x,y", "--permutations", "3", "--membership", "2-5"], status=1)
        self.assertIn("from 2 to 4", done.stderr)
        for wrong in ["1", "4-3", "x", "2-"]:
            done = self.batch(["-d", data, "--variables", "x,y", "--membership", wrong, "-n"], status=1)
            self.assertIn("--membership: '%s'" % wrong, done.stderr)


if __name__ == "__main__":
    BATCH, EXAMPLES = sys.argv[1], sys.argv[2]
    if PSPP_CONVERT is None:
        print("pspp-convert not found")
        sys.exit(77)
    unittest.main(argv=sys.argv[:1])
