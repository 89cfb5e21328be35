// Complete linkage (furthest neighbor): the proximity of a merged cluster is
// the worse of the two.
#pragma once

#include "engine/ClusterMethod.h"

namespace korvana {

class ClusterMethodCompleteLinkage final : public ClusterMethod {
 public:
  ClusterMethodCompleteLinkage();
  std::unique_ptr<ClusterMethod> clone() const override { return std::make_unique<ClusterMethodCompleteLinkage>(*this); }
  void mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) override;
};

}  // namespace korvana
