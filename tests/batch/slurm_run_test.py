#!/usr/bin/env python3
"""korvana-batch in Slurm jobs, against the same request run in one process.

Usage: slurm_run_test.py KORVANA_BATCH SOURCE_DIR FOLDER
Run by slurm_run_test.sh, with SLURM_CONF naming the one-node Slurm it
started; FOLDER is that Slurm's temporary folder.

- korvana-job.sh, the job script the README shows, submitted with sbatch
  (srun --mpi=pmix, two ranks), from data and from a matrix file, with
  --support and the results file: every output file is the one-process
  run's, byte for byte but for the creation time and the temporary matrix
  file's name; rank 0 alone prints the text output.
- scancel of a running job: no output at all, or one ending with "Canceled"
  and a results file that says so.
- Ranks given different requests (srun --multi-prog) refuse to run.
"""

import json
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

from mpi_run_test import assert_same_files, normalized, rank_process, write_tie_free_data, write_tied_matrix

BATCH = SOURCE = FOLDER = None
JOB = os.path.join(os.path.dirname(os.path.abspath(__file__)), "korvana-job.sh")
FORMATS = "html,json,text,results"


def job_field(job, name):
    """A field of `scontrol show job`, as text."""
    shown = subprocess.run(["scontrol", "--oneliner", "show", "job", job], capture_output=True, text=True,
                           check=True).stdout
    return re.search(r"\b%s=(\S*)" % name, shown).group(1)


class SlurmRun(unittest.TestCase):
    def setUp(self):
        self.temporary = tempfile.TemporaryDirectory(dir=FOLDER)
        self.folder = self.temporary.name
        # The job runs korvana-job.sh's korvana-batch from the build.
        self.environment = dict(os.environ, TMPDIR=self.folder,
                                PATH=os.path.dirname(BATCH) + os.pathsep + os.environ["PATH"])

    def tearDown(self):
        self.temporary.cleanup()

    def submit(self, arguments, folder, ranks_folder=None):
        """Submits a job in folder and returns its id. With ranks_folder, each
        rank's standard output and error go to files of their own there."""
        os.makedirs(folder, exist_ok=True)
        environment = self.environment
        if ranks_folder:
            # srun's --output and --error
            environment = dict(environment, SLURM_STDOUTMODE=os.path.join(ranks_folder, "rank-%t.out"),
                               SLURM_STDERRMODE=os.path.join(ranks_folder, "rank-%t.err"))
        done = subprocess.run(["sbatch", "--parsable", "--chdir", folder, "--output",
                               os.path.join(self.folder, "job-%j.out")] + arguments,
                              env=environment, capture_output=True, text=True, timeout=60)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done.stdout.strip().split(";")[0]

    def finish(self, job, timeout=120):
        """Waits for the job to end; its state, exit code and output."""
        deadline = time.time() + timeout
        while job_field(job, "JobState") in ("PENDING", "CONFIGURING", "RUNNING", "COMPLETING"):
            self.assertLess(time.time(), deadline, "job %s still running" % job)
            time.sleep(0.1)
        with open(os.path.join(self.folder, "job-%s.out" % job)) as f:
            output = f.read()
        return job_field(job, "JobState"), job_field(job, "ExitCode"), output

    def test_the_jobs_files_are_the_single_process_files(self):
        matrix = write_tied_matrix(self.folder)
        requests = {
            "data": ["-d", os.path.join(SOURCE, "examples", "iris.sav"), "--variables", "sepal_length TO petal_width",
                     "--label", "species", "--method", "ward", "--permutations", "40", "--seed", "7"],
            "matrix": ["--matrix", matrix, "--method", "single", "--permutations", "31", "--seed", "3",
                       "--no-identity", "--print", "fit,order,schedule,dendrogram"],
        }
        # Both jobs are queued first; the one-process runs go on meanwhile.
        jobs = {}
        for name, request in requests.items():
            arguments = request + ["--support", "-o", "out", "-f", FORMATS, "--newick", "trees", "--fit-table", "fit"]
            streams = os.path.join(self.folder, name)
            jobs[name] = self.submit([JOB] + arguments, os.path.join(streams, "spread"), streams)
            os.makedirs(os.path.join(streams, "single"))
            with open(os.path.join(streams, "single.out"), "w") as out, \
                    open(os.path.join(streams, "single.err"), "w") as err:
                subprocess.run([BATCH, "--jobs", "1"] + arguments, cwd=os.path.join(streams, "single"),
                               env=self.environment, stdout=out, stderr=err, check=True, timeout=120)
        for name, job in jobs.items():
            with self.subTest(name):
                streams = os.path.join(self.folder, name)
                single, spread = os.path.join(streams, "single"), os.path.join(streams, "spread")
                state, code, log = self.finish(job)
                self.assertEqual((state, code), ("COMPLETED", "0:0"), log)
                assert_same_files(self, single, spread)
                for stream in ("out", "err"):
                    self.assertEqual(normalized(os.path.join(streams, "rank-0." + stream), spread),
                                     normalized(os.path.join(streams, "single." + stream), single), stream)
                    self.assertEqual(os.path.getsize(os.path.join(streams, "rank-1." + stream)), 0, "rank 1 printed")

    def test_scancel_leaves_no_output_or_the_canceled_output(self):
        data = write_tie_free_data(self.folder, 1500)
        stem = os.path.join(self.folder, "canceled")
        job = self.submit([JOB, "-d", data, "--variables", "x TO z", "--label", "name", "--method", "average",
                           "--permutations", "6000", "--print", "fit", "-f", "json,results", "-o", stem],
                          self.folder)
        deadline = time.time() + 60
        while rank_process(1, stem, "SLURM_PROCID") is None:
            self.assertLess(time.time(), deadline, "rank 1 never started")
            time.sleep(0.1)
        time.sleep(3)  # into the permutations
        self.assertEqual(job_field(job, "JobState"), "RUNNING", "the run ended before it could be canceled")
        subprocess.run(["scancel", job], check=True)
        state, _, _ = self.finish(job)
        self.assertEqual(state, "CANCELLED")
        left = sorted(f for f in os.listdir(self.folder) if f.startswith("canceled"))
        if left:
            self.assertEqual(left, ["canceled.json", "canceled.results.json"])
            with open(stem + ".json") as f:
                self.assertEqual(json.load(f)["items"][-1]["label"], "Canceled")
            with open(stem + ".results.json") as f:
                results = json.load(f)
            self.assertTrue(results["canceled"])
            self.assertLess(results["completed"], 6000)

    def test_ranks_given_different_requests_refuse_to_run(self):
        request = "%s -d %s --variables 'sepal_length TO petal_width' -o %s -q --permutations" % (
            BATCH, os.path.join(SOURCE, "examples", "iris.sav"), os.path.join(self.folder, "out"))
        ranks = os.path.join(self.folder, "ranks.conf")
        with open(ranks, "w") as f:
            f.write("0 %s 10\n1 %s 11\n" % (request, request))
        state, code, log = self.finish(self.submit(
            ["--nodes=1", "--ntasks-per-node=2", "--wrap", "srun --mpi=pmix --multi-prog " + ranks], self.folder))
        self.assertEqual(state, "FAILED")
        self.assertNotEqual(code, "0:0")
        self.assertIn("The ranks of the job were given different requests", log)
        self.assertEqual([f for f in os.listdir(self.folder) if f.startswith("out")], [])

    def test_the_readme_shows_the_job_script(self):
        with open(JOB) as f:
            script = f.read()
        with open(os.path.join(SOURCE, "README.md")) as f:
            shown = f.read().replace("\n    ", "\n")
        self.assertIn("\n" + script, shown)


if __name__ == "__main__":
    BATCH, SOURCE, FOLDER = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
