// Single linkage (nearest neighbor): the proximity of a merged cluster is the
// better of the two. Values only improve, so it maintains the nearest
// neighbours without rescanning rows.
#pragma once

#include "engine/ClusterMethod.h"

namespace korvana {

class ClusterMethodSingleLinkage final : public ClusterMethod {
 public:
  ClusterMethodSingleLinkage();
  std::unique_ptr<ClusterMethod> clone() const override { return std::make_unique<ClusterMethodSingleLinkage>(*this); }
  void mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) override;
  /// A cell changes only where the cluster merged in is nearer.
  bool prefersWholeRows() const override { return true; }
};

}  // namespace korvana
