// Average linkage within groups: the score of a pair of clusters is the mean
// proximity over all pairs of objects inside their union; the working matrix
// holds the between-cluster sums and each cluster its within sum.
#pragma once

#include "engine/ClusterMethod.h"

namespace korvana {

class ClusterMethodAverageLinkageWithinGroups final : public ClusterMethod {
 public:
  ClusterMethodAverageLinkageWithinGroups();
  std::unique_ptr<ClusterMethod> clone() const override { return std::make_unique<ClusterMethodAverageLinkageWithinGroups>(*this); }
  void mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) override;
};

}  // namespace korvana
