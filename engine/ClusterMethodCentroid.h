// Centroid linkage, meant for squared Euclidean distances: the proximity to
// the size-weighted centroid of the merged cluster.
#pragma once

#include "engine/ClusterMethod.h"

namespace korvana {

class ClusterMethodCentroid final : public ClusterMethod {
 public:
  ClusterMethodCentroid();
  std::unique_ptr<ClusterMethod> clone() const override { return std::make_unique<ClusterMethodCentroid>(*this); }
  void mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) override;
  bool needsSquaredEuclidean() const override { return true; }
};

}  // namespace korvana
