// Helpers shared by the engine tests: small matrices built in memory and a
// complete agglomeration run with fresh working structures.
#pragma once

#include <memory>
#include <vector>

#include "engine/Agglomeration.h"
#include "engine/SimilarityMatrix.h"
#include "engine/ClusterMethod.h"
#include "engine/ClusterSolution.h"
#include "engine/ProximityMatrix.h"

namespace korvana::test {

/// A matrix from its strict lower triangle ((1,0), (2,0), (2,1), …).
std::unique_ptr<ProximityMatrix> makeMatrix(int n, const std::vector<double>& lowerTriangle,
                                            bool isDissimilarity = true);

/// Squared Euclidean distances between the given points (rows of coordinates).
std::vector<double> squaredEuclidean(const std::vector<std::vector<double>>& points);

/// One agglomeration run of `matrix` in the order `permutation` (identity when
/// empty), with the rounded fit and the solution id computed.
std::unique_ptr<ClusterSolution> cluster(const ProximityMatrix& matrix, ClusterMethod& method,
                                         std::vector<int> permutation = {}, RunThreads threads = RunThreads::one,
                                         WorkingLayout layout = WorkingLayout::triangle);

/// The seven shared methods, created for the lifetime of a test.
class MethodsFixture {
 public:
  MethodsFixture();
  ~MethodsFixture();
  const std::vector<ClusterMethod*>& all() const { return methods_; }

 private:
  std::vector<ClusterMethod*> methods_;
};

}  // namespace korvana::test
