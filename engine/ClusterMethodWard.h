// Ward's method, meant for squared Euclidean distances. The coefficient of a
// stage is the accumulated half of the merge values: the total within-cluster
// sum of squares after the merge.
#pragma once

#include "engine/ClusterMethod.h"

namespace korvana {

class ClusterMethodWard final : public ClusterMethod {
 public:
  ClusterMethodWard();
  std::unique_ptr<ClusterMethod> clone() const override { return std::make_unique<ClusterMethodWard>(*this); }
  void startRun(bool isDissimilarity) override;
  void adjustCoefficient(double& value) override;
  /// The merge value given back from the difference of two coefficients.
  double fittingHeight(double coefficient, double previousCoefficient) const override;
  bool needsSquaredEuclidean() const override { return true; }
  void mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) override;

 private:
  double accumulatedCoefficient_ = 0.0;
};

}  // namespace korvana
