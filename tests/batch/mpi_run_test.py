#!/usr/bin/env python3
"""korvana-batch under mpirun, against the same request run in one process.

Usage: mpi_run_test.py KORVANA_BATCH MPIEXEC EXAMPLES_DIR

- From data and from a matrix file, tie-rich, with a number of permutations
  the three ranks do not divide evenly: every output file (HTML, JSON, text,
  results, Newick trees, fit table) is the one-process run's, byte for byte
  but for the creation time; from the matrix file also with the order-free
  tree.
- SIGINT to mpirun: the output is still saved, ending with "Canceled", and
  the results file says canceled.
- A rank killed mid-run: the job ends with mpirun's message and a non-zero
  status, and no output file is left behind.
- Ranks given different requests refuse to run.
"""

import glob
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest

BATCH = MPIEXEC = EXAMPLES = None
RANKS = ["--oversubscribe"] + (["--allow-run-as-root"] if os.geteuid() == 0 else [])
FORMATS = ["html", "json", "text", "results", "trees"]


def mpirun(ranks, arguments):
    return [MPIEXEC] + RANKS + ["-np", str(ranks), BATCH] + arguments


def normalized(path, folder):
    """A file's bytes with what differs between two runs of one request blanked."""
    with open(path, "rb") as f:
        data = f.read()
    if path.endswith(".sav"):
        # The header's creation date and time.
        return data[:92] + b"\0" * 17 + data[109:]
    text = data.decode("utf-8").replace(folder, "FOLDER")
    # The Notes table's creation time and the temporary matrix file's name.
    text = re.sub(r"\d\d/\d\d/\d\d \d\d:\d\d:\d\d", "TIME", text)
    return re.sub(r"kvana[A-Za-z0-9]{6}", "kvanaXXXXXX", text)


def output_files(folder):
    return sorted(os.path.relpath(p, folder) for p in glob.glob(os.path.join(folder, "**", "*"), recursive=True)
                  if os.path.isfile(p))


def assert_same_files(test, single, spread):
    """The files of a tie-rich run spread over ranks (folder spread) are the
    one-process run's (folder single), byte for byte but for what differs
    between two runs of one request."""
    files = output_files(single)
    test.assertIn("out.results.json", files)
    test.assertIn("fit.sav", files)
    test.assertGreater(len([f for f in files if f.endswith(".nwk")]), 1, "a tie-rich run keeps several trees")
    test.assertEqual(output_files(spread), files)
    for name in files:
        test.assertEqual(normalized(os.path.join(spread, name), spread),
                         normalized(os.path.join(single, name), single), name)


def write_tied_matrix(folder):
    """A matrix file of 13 points on a small grid (city-block distances: many
    ties), written by PSPP as the statistics package writes one."""
    points = [((i * 5) % 4, (i * 2) % 3) for i in range(13)]
    names = " ".join("V%d" % (i + 1) for i in range(len(points)))
    rows = []
    for i, (x, y) in enumerate(points):
        distances = " ".join(str(abs(x - u) + abs(y - v)) for u, v in points)
        rows.append("PROX p%02d %d V%d %s" % (i + 1, i + 1, i + 1, distances))
    syntax = ("DATA LIST LIST /ROWTYPE_ (A8) id (A3) CASENO_ (F8.0) VARNAME_ (A8) %s.\nBEGIN DATA\n%s\nEND DATA.\n"
              "VALUE LABELS ROWTYPE_ 'PROX' 'Dissimilarity: BLOCK'.\nSAVE OUTFILE='tied.sav'.\n"
              % (names, "\n".join(rows)))
    with open(os.path.join(folder, "tied.sps"), "w") as f:
        f.write(syntax)
    subprocess.run(["pspp", "tied.sps"], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    return os.path.join(folder, "tied.sav")


def write_tie_free_data(folder, cases):
    """Cases at distinct random points: one kept solution, a run long enough to interrupt."""
    import random
    generator = random.Random(5)
    path = os.path.join(folder, "free.csv")
    with open(path, "w") as f:
        f.write("name,x,y,z\n")
        for i in range(cases):
            f.write("p%d,%.6f,%.6f,%.6f\n" % (i, generator.random(), generator.random(), generator.random()))
    return path


def rank_process(rank, marker, variable="OMPI_COMM_WORLD_RANK"):
    """The pid of the given rank of the job whose command line holds marker;
    the launcher gives each rank its number in the environment variable."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                command = f.read().split(b"\0")
            with open("/proc/%s/environ" % entry, "rb") as f:
                environment = f.read().split(b"\0")
        except OSError:
            continue
        if (os.path.basename(command[0]) == b"korvana-batch" and marker.encode() in command
                and b"%s=%d" % (variable.encode(), rank) in environment):
            return int(entry)
    return None


class MpiRun(unittest.TestCase):
    def setUp(self):
        self.temporary = tempfile.TemporaryDirectory()
        self.folder = self.temporary.name
        # In the sanitizer build: Open MPI's own leaks at exit are suppressed,
        # which needs whole stacks through its libraries (no frame pointers).
        asan = ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "fast_unwind_on_malloc=0"]))
        lsan = "suppressions=" + os.path.join(os.path.dirname(os.path.abspath(__file__)), "mpi-library-leaks.supp")
        self.environment = dict(os.environ, TMPDIR=self.folder, ASAN_OPTIONS=asan, LSAN_OPTIONS=lsan)

    def tearDown(self):
        self.temporary.cleanup()

    def run_in(self, name, command):
        folder = os.path.join(self.folder, name)
        os.makedirs(folder)
        done = subprocess.run(command, cwd=folder, env=self.environment, capture_output=True, text=True,
                              timeout=300)
        self.assertEqual(done.returncode, 0, done.stderr)
        return folder

    def assert_same_output(self, arguments, expected_file=None):
        arguments = arguments + ["-o", "out", "-f", ",".join(FORMATS), "--newick", "trees", "-q"]
        single = self.run_in("single", [BATCH, "--jobs", "1"] + arguments)
        spread = self.run_in("spread", mpirun(3, ["--jobs", "1"] + arguments))
        assert_same_files(self, single, spread)
        if expected_file:
            self.assertIn(expected_file, output_files(single))

    def test_from_data_the_output_is_the_single_process_output(self):
        self.assert_same_output(["-d", os.path.join(EXAMPLES, "iris.sav"), "--variables",
                                 "sepal_length TO petal_width", "--label", "species", "--method", "ward",
                                 "--permutations", "40", "--seed", "7", "--support", "--solutions", "hierarchies",
                                 "--fit-table", "fit"])

    def test_from_a_matrix_file_the_output_is_the_single_process_output(self):
        matrix = write_tied_matrix(self.folder)
        # With the order-free tree, which rank 0 builds after the permutations.
        self.assert_same_output(["--matrix", matrix, "--method", "single", "--permutations", "31", "--seed", "3",
                                 "--no-identity", "--print", "fit,order,schedule,dendrogram", "--fit-table", "fit",
                                 "--order-free"], "trees/order-free.nwk")

    def test_a_run_stopped_when_stable_stops_where_one_process_stops(self):
        # The ranks run in rounds; rank 0 applies the stop rule in
        # permutation order and takes the work past the stop out again.
        matrix = write_tied_matrix(self.folder)
        arguments = ["--matrix", matrix, "--method", "average", "--permutations", "2000", "--seed", "11",
                     "--until-stable", "40", "--support", "-o", "out", "-f", "text,results,trees", "-q"]
        single = self.run_in("single", [BATCH, "--jobs", "1"] + arguments)
        spread = self.run_in("spread", mpirun(3, ["--jobs", "2"] + arguments))
        with open(os.path.join(single, "out.results.json")) as f:
            results = json.load(f)
        self.assertIsNotNone(results["stoppedWhenStable"], "the tied matrix should stabilize before 2000")
        self.assertEqual(results["completed"], results["stoppedWhenStable"]["after"])
        for name in ["out.txt", "out.results.json", "out.trees.nwk"]:
            self.assertEqual(normalized(os.path.join(spread, name), spread),
                             normalized(os.path.join(single, name), single), name)

    def start_long_run(self, stem, environment):
        data = write_tie_free_data(self.folder, 1500)
        command = mpirun(3, ["-d", data, "--variables", "x TO z", "--label", "name", "--method", "average",
                             "--permutations", "6000", "--jobs", "1", "--print", "fit", "-f", "json,results",
                             "--fit-table", os.path.join(self.folder, "fit"), "-o", os.path.join(self.folder, stem)])
        job = subprocess.Popen(command, env=environment, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                               start_new_session=True)
        deadline = time.time() + 60
        while rank_process(1, os.path.join(self.folder, stem)) is None and time.time() < deadline:
            time.sleep(0.2)
        time.sleep(3)  # into the permutations
        self.assertIsNone(job.poll(), "the run ended before it could be interrupted")
        return job

    def test_ctrl_c_cancels_every_rank_and_saves_the_canceled_output(self):
        # mpirun gives each rank this long between its SIGTERM and SIGKILL (1 s
        # unless told): time for rank 0 to save on a loaded machine, and under
        # ThreadSanitizer, which makes the save several times slower.
        timeout = "15" if "TSAN_OPTIONS" in os.environ else "5"
        job = self.start_long_run("canceled", dict(self.environment, OMPI_MCA_odls_base_sigkill_timeout=timeout))
        job.send_signal(signal.SIGINT)
        out, err = job.communicate(timeout=120)
        self.assertNotEqual(job.returncode, 0)
        self.assertIn("canceled", err)
        with open(os.path.join(self.folder, "canceled.json")) as f:
            items = json.load(f)["items"]
        self.assertEqual(items[-1]["label"], "Canceled")
        with open(os.path.join(self.folder, "canceled.results.json")) as f:
            results = json.load(f)
        self.assertTrue(results["canceled"])
        self.assertLess(results["completed"], 6000)
        self.assertEqual(len(results["permutations"]), results["completed"])
        self.assertFalse(os.path.exists(os.path.join(self.folder, "fit.sav")), "no fit table of a canceled run")

    def test_a_killed_rank_ends_the_job_and_leaves_no_output(self):
        job = self.start_long_run("killed", self.environment)
        os.kill(rank_process(1, os.path.join(self.folder, "killed")), signal.SIGKILL)
        out, err = job.communicate(timeout=120)
        self.assertNotEqual(job.returncode, 0)
        self.assertRegex(err, r"rank 1 .*exited on signal 9")
        left = [f for f in os.listdir(self.folder) if f.startswith("killed") or f.startswith("fit")]
        self.assertEqual(left, [])

    def test_ranks_given_different_requests_refuse_to_run(self):
        request = ["-d", os.path.join(EXAMPLES, "iris.sav"), "--variables", "sepal_length TO petal_width", "-o",
                   os.path.join(self.folder, "out"), "-q", "--permutations"]
        command = ([MPIEXEC] + RANKS + ["-np", "1", BATCH] + request + ["10", ":", "-np", "2", BATCH] + request +
                   ["11"])
        done = subprocess.run(command, env=self.environment, capture_output=True, text=True, timeout=120)
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("The ranks of the job were given different requests", done.stderr)
        self.assertEqual(glob.glob(os.path.join(self.folder, "out*")), [])


if __name__ == "__main__":
    BATCH, MPIEXEC, EXAMPLES = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
