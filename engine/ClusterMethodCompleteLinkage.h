// Complete linkage (furthest neighbor): the proximity of a merged cluster is
// the worse of the two.
#pragma once

#include "engine/ClusterMethod.h"

namespace korvana {

class ClusterMethodCompleteLinkage final : public ClusterMethod {
 public:
  ClusterMethodCompleteLinkage();
  void mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) override;
};

}  // namespace korvana
