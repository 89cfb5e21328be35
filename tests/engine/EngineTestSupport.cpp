#include "EngineTestSupport.h"

#include <numeric>

#include "engine/Agglomeration.h"
#include "engine/AgglomerationState.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/SimilarityMatrix.h"

namespace korvana::test {

std::unique_ptr<ProximityMatrix> makeMatrix(int n, const std::vector<double>& lowerTriangle, bool isDissimilarity) {
  auto matrix = std::make_unique<ProximityMatrix>();
  matrix->setIsDissimilarity(isDissimilarity);
  matrix->assignLowerTriangle(n, lowerTriangle);
  return matrix;
}

std::vector<double> squaredEuclidean(const std::vector<std::vector<double>>& points) {
  std::vector<double> result;
  for (std::size_t i = 0; i < points.size(); ++i)
    for (std::size_t j = 0; j < i; ++j) {
      double sum = 0;
      for (std::size_t k = 0; k < points[i].size(); ++k) sum += (points[i][k] - points[j][k]) * (points[i][k] - points[j][k]);
      result.push_back(sum);
    }
  return result;
}

std::unique_ptr<ClusterSolution> cluster(const ProximityMatrix& matrix, ClusterMethod& method,
                                         std::vector<int> permutation, RunThreads threads, WorkingLayout layout) {
  const int n = matrix.getNumberOfObjects();
  const bool identity = permutation.empty();
  if (identity) {
    permutation.resize(static_cast<std::size_t>(n));
    std::iota(permutation.begin(), permutation.end(), 0);
  }
  SimilarityMatrix working(matrix.isDissimilarity(), n, layout);
  AgglomerationState state(n);
  auto solution = std::make_unique<ClusterSolution>(n, matrix.getSumOfSquares(), n > 0 ? n - 1 : 0,
                                                    std::move(permutation), 0, identity);
  agglomerate(matrix, solution->getPermutation().data(), method, working, state, *solution, threads);
  solution->computeRoundedFit();
  solution->computeSolutionId();
  return solution;
}

MethodsFixture::MethodsFixture() {
  ClusterMethodFactory::createClusterMethods();
  methods_ = ClusterMethodFactory::getClusterMethods();
}

MethodsFixture::~MethodsFixture() { ClusterMethodFactory::destroyClusterMethods(); }

}  // namespace korvana::test
