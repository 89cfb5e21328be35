// korvana-batch over the ranks of an MPI job (mpirun, srun): every rank reads
// the same request; rank 0 obtains the matrix (it runs PROXIMITIES and sends
// the matrix to the others, or every rank reads the matrix file), each rank
// runs its share of the permutations with its own jobs, and rank 0 merges the
// shares into the results of one run of all of them and alone writes the
// output. The output is the same to the byte as a single process's.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "analysis/AnalysisRequest.h"
#include "analysis/ClusterAnalysis.h"

namespace korvana::mpi {

/// True when this process was started as one rank of several by an MPI
/// launcher (Open MPI's mpirun, or a PMI/PMIx launcher such as srun).
bool launched();

class Session {
 public:
  /// Joins the MPI job (only the main thread makes MPI calls).
  Session(int* argc, char*** argv);
  /// Leaves it: every rank waits for the others here.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  int rank() const { return rank_; }
  int size() const { return size_; }

  /// Every rank tells whether it can go on (an empty problem) or why not; all
  /// learn whether every rank can. Rank 0 prints the others' problems.
  bool agree(const std::string& problem);
  /// Whether every rank holds the same text (compared by MD5 digest at rank 0).
  bool same(const std::string& text);

  /// Rank 0: the permutation runner that spreads the permutations over the
  /// ranks; `fromData` tells whether the matrix came from PROXIMITIES (then it
  /// is sent to the others) or from a matrix file every rank reads.
  ClusterAnalysis::PermutationRunner coordinator(bool fromData, std::atomic<bool>& canceled);
  /// Rank 0, when its analysis ends without running the permutations: the
  /// other ranks stop waiting and end too. Does nothing once the permutations
  /// ran.
  void releaseWorkers();

  /// A rank other than 0: waits for rank 0's word, obtains the matrix, runs
  /// its share with `jobs` jobs and sends its results. Returns the exit status.
  int serve(const AnalysisRequest& request, int jobs, std::atomic<bool>& canceled);

 private:
  /// Whether every rank's 16-byte digest is rank 0's.
  bool sameDigest(const std::string& digest);

  int rank_ = 0;
  int size_ = 1;
  bool started_ = false;
};

}  // namespace korvana::mpi
