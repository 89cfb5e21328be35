#include "engine/Agglomeration.h"

#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "engine/AgglomerationState.h"
#include "engine/ClusterMethod.h"
#include "engine/ClusterSolution.h"
#include "engine/ExtendedPrecision.h"
#include "engine/FitWorker.h"
#include "common/EKorvanaError.h"
#include "engine/ProximityMatrix.h"
#include "engine/SimilarityMatrix.h"

namespace korvana {

namespace {

template <Direction dir>
void runStages(const ProximityMatrix& matrix, ClusterMethod& method, SimilarityMatrix& workingMatrix,
               AgglomerationState& state, ClusterSolution& solution, FitWorker* worker,
               const std::atomic<bool>* abandon) {
  const int n = matrix.getNumberOfObjects();
  double value = 0.0;
  for (int t = 0; t + 1 < n; ++t) {
    if (abandon != nullptr && abandon->load(std::memory_order_relaxed)) throw RunAbandoned{};
    const double previous = value;
    value = worstValue<dir>();
    int position = -1;
    int b = -1;
    const int count = state.activeCount();
    const int* active = state.activeList();
    for (int k = 1; k < count; ++k) {
      const int c = active[k];
      const double candidate = workingMatrix.getNearestValue(c);
      if (isAtLeastAsGood<dir>(candidate, value)) {
        position = k;
        b = c;
        value = candidate;
      }
    }
    const int d = b >= 0 ? workingMatrix.getNearest(b) : -1;
    if (d < 0)
      throw EKorvanaError("No pair of clusters could be merged at stage " + std::to_string(t + 1) +
                          ": the proximities or merged values lie outside the range -1E+050 to 1E+050");
    method.adjustCoefficient(value);
    const double height = method.fittingHeight(value, previous);
    if (worker) {
      worker->publish(b, d, height);
      solution.recordMerge(t, b, d, state.members(), value, height);
    } else {
      solution.recordStage(t, b, d, matrix, state, value, height);
    }
    state.removeActiveAt(position);
    method.mergeClusters(state, workingMatrix, d, b);
  }
}

}  // namespace

RunThreads preferredRunThreads(int n) {
  static const bool twoAtOnce = std::thread::hardware_concurrency() >= 2;
  return n >= kTwoThreadObjects && twoAtOnce ? RunThreads::two : RunThreads::one;
}

void agglomerate(const ProximityMatrix& matrix, const int* permutation, ClusterMethod& method,
                 SimilarityMatrix& workingMatrix, AgglomerationState& state, ClusterSolution& solution,
                 RunThreads threads, const std::atomic<bool>* abandon) {
  std::optional<FitWorker> worker;
  const int n = matrix.getNumberOfObjects();
  if (threads == RunThreads::two && n > 1 && workingMatrix.getSize() == n && solution.getObjectCount() == n &&
      solution.getStageCount() == n - 1 && solution.getPermutation().data() == permutation) {
    try {
      worker.emplace(matrix, workingMatrix, solution);
    } catch (const std::system_error&) {
      // No thread to be had: the run goes on in one.
    }
  }
  if (worker) worker->fill();
  else workingMatrix.fillFromMatrix(matrix, permutation);
  state.reset();
  method.startRun(matrix.isDissimilarity());
  FitWorker* fit = worker ? &*worker : nullptr;
  if (matrix.isDissimilarity())
    runStages<Direction::dissimilarity>(matrix, method, workingMatrix, state, solution, fit, abandon);
  else
    runStages<Direction::similarity>(matrix, method, workingMatrix, state, solution, fit, abandon);
  if (worker) worker->finish();
}

}  // namespace korvana
