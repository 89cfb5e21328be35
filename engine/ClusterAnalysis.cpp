#include "engine/ClusterAnalysis.h"

#include <utility>

#include <cmath>
#include <cstdio>

#include "engine/Agglomeration.h"
#include "engine/AgglomerationState.h"
#include "engine/ClusterMethod.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/ExtendedPrecision.h"
#include "engine/KorvanaError.h"
#include "engine/RandomPermutationGenerator.h"
#include "engine/SimilarityMatrix.h"
#include "output/ScientificFormat.h"

namespace korvana {

ClusterAnalysis::ClusterAnalysis(ClusterMethod& method, int analysisType, int permutationCount,
                                 automation::AutomationPtr<Spsswin_tlb::ISpssApp> application)
    : method_(method),
      application_(std::move(application)),
      permutationCount_(permutationCount),
      analysisType_(analysisType) {
  if (permutationCount < 1)
    throw EKorvanaError("The number of permutations must be at least 1, not " + std::to_string(permutationCount));
  const auto count = static_cast<std::size_t>(permutationCount);
  fitValues_.resize(count);
  correlations_.resize(count);
  seeds_.resize(count);
  solutionIds_.resize(count);
}

ClusterAnalysis::~ClusterAnalysis() = default;

void ClusterAnalysis::checkProximityRange() const {
  const int n = matrix_.getNumberOfObjects();
  for (int i = 1; i < n; ++i)
    for (int j = 0; j < i; ++j) {
      const double v = matrix_.lowerValue(i, j);
      if (std::fabs(v) >= kProximityLimit)  // false for NaN, which is allowed
        throw EKorvanaError("The proximity between objects " + std::to_string(j + 1) + " and " +
                            std::to_string(i + 1) + " is " + formatScientific(v, 13) +
                            "; proximities must lie strictly between -1E+050 and 1E+050");
    }
}

void ClusterAnalysis::runPermutations() {
  checkProximityRange();
  const int n = matrix_.getNumberOfObjects();
  SimilarityMatrix workingMatrix(matrix_.isDissimilarity(), n);
  const bool isWard = &method_ == ClusterMethodFactory::getWard();
  RandomPermutationGenerator generator(seed_, n);
  AgglomerationState state(n);
  const RunThreads threads = preferredRunThreads(n);
  solutions_.clear();
  completedPermutations_ = 0;

  char status[64];
  for (int c = 0; c < permutationCount_; ++c) {
    if (progress_->isCanceled()) break;
    const auto uc = static_cast<std::size_t>(c);
    const bool identity = c == 0 && firstPermutationIsIdentity_;
    seeds_[uc] = identity ? 0 : generator.getState();
    auto solution = std::make_unique<ClusterSolution>(n, matrix_.getSumOfSquares(), n > 0 ? n - 1 : 0,
                                                      generator.nextPermutation(identity), seeds_[uc], identity);
    agglomerate(matrix_, solution->getPermutation().data(), method_, workingMatrix, state, *solution, isWard,
                threads);
    solution->computeRoundedFit();
    fitValues_[uc] = solution->getNormalizedSSDif();
    correlations_[uc] = solution->getCopheneticCorrelation();
    solution->computeSolutionId();
    solutionIds_[uc] = solution->getSolutionId();
    keepIfBest(std::move(solution));
    completedPermutations_ = c + 1;
    std::snprintf(status, sizeof status, "Passed permutations %d/%d", c + 1, permutationCount_);
    progress_->setStatus(status);
    progress_->stepIt();
  }
}

void ClusterAnalysis::keepIfBest(std::unique_ptr<ClusterSolution> solution) {
  if (solutions_.empty()) {
    solutions_.push_back(std::move(solution));
    return;
  }
  const double fit = solution->getNormalizedSSDif();
  const double best = solutions_.front()->getNormalizedSSDif();
  if (fit < best || std::isnan(fit) || std::isnan(best)) {
    solutions_.clear();
    solutions_.push_back(std::move(solution));
  } else if (fit == best) {
    for (const auto& kept : solutions_)
      if (kept->isSameSolution(*solution)) return;
    solutions_.push_back(std::move(solution));
  }
  // fit > best: the new solution is dropped.
}

}  // namespace korvana
