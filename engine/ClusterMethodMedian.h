// Median linkage, meant for squared Euclidean distances: the proximity to the
// unweighted midpoint of the two merged clusters.
#pragma once

#include "engine/ClusterMethod.h"

namespace korvana {

class ClusterMethodMedian final : public ClusterMethod {
 public:
  ClusterMethodMedian();
  std::unique_ptr<ClusterMethod> clone() const override { return std::make_unique<ClusterMethodMedian>(*this); }
  void mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) override;
  bool needsSquaredEuclidean() const override { return true; }
};

}  // namespace korvana
