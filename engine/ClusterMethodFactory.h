// Makes and destroys the seven shared cluster method instances. The table
// order is the order of the method list and the stored "Cluster Method" index:
//   0 between-groups, 1 within-groups, 2 nearest neighbor (single),
//   3 furthest neighbor (complete), 4 centroid, 5 median, 6 Ward.
// Other code recognises a method by comparing an instance with an accessor.
#pragma once

#include <vector>

#include "engine/ClusterMethod.h"

namespace korvana::ClusterMethodFactory {

/// Makes the seven instances in table order (replacing any made before).
void createClusterMethods();
/// Destroys every instance that exists; the accessors then return null.
void destroyClusterMethods();

ClusterMethod* getAverageLinkageBetweenGroups();
ClusterMethod* getAverageLinkageWithinGroups();
ClusterMethod* getSingleLinkage();
ClusterMethod* getCompleteLinkage();
ClusterMethod* getCentroid();
ClusterMethod* getMedian();
ClusterMethod* getWard();

/// The instances in table order (empty before createClusterMethods).
std::vector<ClusterMethod*> getClusterMethods();

}  // namespace korvana::ClusterMethodFactory
