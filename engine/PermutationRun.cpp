#include "engine/PermutationRun.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "common/EKorvanaError.h"
#include "common/ScientificFormat.h"
#include "engine/Agglomeration.h"
#include "engine/AgglomerationState.h"
#include "engine/ExtendedPrecision.h"
#include "engine/ProgressMonitor.h"
#include "engine/ProximityMatrix.h"
#include "engine/RandomPermutationGenerator.h"
#include "engine/SimilarityMatrix.h"

namespace korvana {

void PermutationRecords::allocate(int count) {
  const auto size = static_cast<std::size_t>(count > 0 ? count : 0);
  fitValues.assign(size, 0.0);
  correlations.assign(size, 0.0);
  seeds.assign(size, 0);
  solutionIds.assign(size, SolutionId{});
  completed = 0;
}

std::uint64_t permutationRunBytes(int objectCount, int permutationCount) {
  const auto n = static_cast<std::uint64_t>(objectCount > 0 ? objectCount : 0);
  const auto p = static_cast<std::uint64_t>(permutationCount > 0 ? permutationCount : 0);
  const std::uint64_t workingMatrix = n * (n > 0 ? n - 1 : 0) / 2 * sizeof(double) + n * 16;
  const std::uint64_t runState = n * 40;
  const std::uint64_t solution = n * 64;  // the schedule, the permutation and the fit's work
  return p * kRecordBytesPerPermutation + workingMatrix + runState + solution;
}

void keepIfBest(std::vector<std::unique_ptr<ClusterSolution>>& solutions, std::unique_ptr<ClusterSolution> solution) {
  if (solutions.empty()) {
    solutions.push_back(std::move(solution));
    return;
  }
  const double fit = solution->getNormalizedSSDif();
  const double best = solutions.front()->getNormalizedSSDif();
  if (fit < best || std::isnan(fit) || std::isnan(best)) {
    solutions.clear();
    solutions.push_back(std::move(solution));
  } else if (fit == best) {
    for (const auto& kept : solutions)
      if (kept->isSameSolution(*solution)) return;
    solutions.push_back(std::move(solution));
  }
  // fit > best: the new solution is dropped.
}

void checkProximityRange(const ProximityMatrix& matrix) {
  const int n = matrix.getNumberOfObjects();
  for (int i = 1; i < n; ++i)
    for (int j = 0; j < i; ++j) {
      const double v = matrix.lowerValue(i, j);
      if (std::fabs(v) >= kProximityLimit)  // false for NaN, which is allowed
        throw EKorvanaError("The proximity between objects " + std::to_string(j + 1) + " and " +
                            std::to_string(i + 1) + " is " + formatScientific(v, 13) +
                            "; proximities must lie strictly between -1E+050 and 1E+050");
    }
}

PermutationResults runPermutations(const ProximityMatrix& matrix, ClusterMethod& method,
                                   const PermutationSettings& settings, ProgressMonitor& progress) {
  checkProximityRange(matrix);
  PermutationResults results;
  PermutationRecords& records = results.records;
  records.allocate(settings.permutationCount);
  const int n = matrix.getNumberOfObjects();
  SimilarityMatrix workingMatrix(matrix.isDissimilarity(), n);
  RandomPermutationGenerator generator(settings.seed, n);
  AgglomerationState state(n);
  const RunThreads threads = preferredRunThreads(n);

  char status[64];
  for (int c = 0; c < settings.permutationCount; ++c) {
    if (progress.isCanceled()) break;
    const auto uc = static_cast<std::size_t>(c);
    const bool identity = c == 0 && settings.firstPermutationIsIdentity;
    records.seeds[uc] = identity ? 0 : generator.getState();
    auto solution = std::make_unique<ClusterSolution>(n, matrix.getSumOfSquares(), n > 0 ? n - 1 : 0,
                                                      generator.nextPermutation(identity), records.seeds[uc], identity);
    agglomerate(matrix, solution->getPermutation().data(), method, workingMatrix, state, *solution, threads);
    solution->computeRoundedFit();
    records.fitValues[uc] = solution->getNormalizedSSDif();
    records.correlations[uc] = solution->getCopheneticCorrelation();
    solution->computeSolutionId();
    records.solutionIds[uc] = solution->getSolutionId();
    keepIfBest(results.solutions, std::move(solution));
    records.completed = c + 1;
    std::snprintf(status, sizeof status, "Passed permutations %d/%d", c + 1, settings.permutationCount);
    progress.setStatus(status);
    progress.stepIt();
  }
  return results;
}

}  // namespace korvana
