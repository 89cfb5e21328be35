// The second thread of a two-thread agglomeration run.
//
// The fit of a run is summed pair by pair in a fixed order with extended
// divisions, which costs about as much as the merges themselves, and filling
// the working matrix is a long stretch of scattered reads. The worker shares
// both with the run: it fills the upper rows of the working matrix while the
// run fills the lower ones, then sums the fit of every stage the run
// publishes, replaying the member lists on its own. The fit of the late stages,
// where large clusters meet, is the bulk of it; so when the run has no merges
// left, it takes one share of the sums (FitShare::moments) over from the first
// stage the worker has not summed, and the two threads finish the shares side
// by side. Every running sum sees the same operations in the same order as in
// a one-thread run, so the results are the same to the bit.
#pragma once

#include <atomic>
#include <exception>
#include <thread>
#include <vector>

#include "engine/MemberLists.h"

namespace korvana {

class ClusterSolution;
class ProximityMatrix;
class SimilarityMatrix;

class FitWorker {
 public:
  /// Starts the thread for one run of `solution` (whose permutation is the
  /// run's). Throws std::system_error when no thread can be started.
  FitWorker(const ProximityMatrix& matrix, SimilarityMatrix& workingMatrix, ClusterSolution& solution);
  /// Stops the thread if the run ended early (an error); its fit is then
  /// incomplete.
  ~FitWorker();
  FitWorker(const FitWorker&) = delete;
  FitWorker& operator=(const FitWorker&) = delete;

  /// Fills the working matrix: the lower rows on this thread, the upper rows
  /// on the worker; returns when both parts are done.
  void fill();
  /// The next stage merges cluster b into d < b at cophenetic height h; the
  /// worker sums the stage's fit.
  void publish(int b, int d, double height);
  /// After the last stage: sums the moments the worker has not summed yet,
  /// waits for the worker's share, rethrows an error the worker met, and sets
  /// the solution's correlation.
  void finish();

 private:
  struct Stage {
    int b;
    int d;
    double height;
  };

  void work();
  /// The first row the worker fills: the rows below it hold half the cells.
  static int splitRow(int n);

  const ProximityMatrix& matrix_;
  SimilarityMatrix& workingMatrix_;
  ClusterSolution& solution_;
  const int* permutation_;
  int n_;
  MemberLists members_;
  std::vector<Stage> stages_;
  std::atomic<int> published_{0};
  std::atomic<bool> filled_{false};
  std::atomic<bool> abandoned_{false};
  std::atomic<bool> sleeping_{false};  // the worker waits in the kernel for the next stage
  std::atomic<int> momentsClaim_{0};   // the next stage whose moments the worker sums, or a state
  std::exception_ptr error_;
  std::thread thread_;
};

}  // namespace korvana
