// Average linkage between groups: the working matrix holds the sums of the
// proximities between two clusters; the score of a pair is that sum divided by
// the product of the cluster sizes (a 32-bit integer).
#pragma once

#include "engine/ClusterMethod.h"

namespace korvana {

class ClusterMethodAverageLinkageBetweenGroups final : public ClusterMethod {
 public:
  ClusterMethodAverageLinkageBetweenGroups();
  std::unique_ptr<ClusterMethod> clone() const override { return std::make_unique<ClusterMethodAverageLinkageBetweenGroups>(*this); }
  void mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) override;
};

}  // namespace korvana
