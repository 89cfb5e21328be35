#include "engine/ClusterMethodFactory.h"

#include <array>
#include <memory>

#include "engine/ClusterMethodAverageLinkageBetweenGroups.h"
#include "engine/ClusterMethodAverageLinkageWithinGroups.h"
#include "engine/ClusterMethodCentroid.h"
#include "engine/ClusterMethodCompleteLinkage.h"
#include "engine/ClusterMethodMedian.h"
#include "engine/ClusterMethodSingleLinkage.h"
#include "engine/ClusterMethodWard.h"

namespace korvana::ClusterMethodFactory {

namespace {

enum Index { betweenGroups, withinGroups, single, complete, centroid, median, ward, count };

std::array<std::unique_ptr<ClusterMethod>, count>& instances() {
  static std::array<std::unique_ptr<ClusterMethod>, count> methods;
  return methods;
}

}  // namespace

void createClusterMethods() {
  auto& m = instances();
  m[betweenGroups] = std::make_unique<ClusterMethodAverageLinkageBetweenGroups>();
  m[withinGroups] = std::make_unique<ClusterMethodAverageLinkageWithinGroups>();
  m[single] = std::make_unique<ClusterMethodSingleLinkage>();
  m[complete] = std::make_unique<ClusterMethodCompleteLinkage>();
  m[centroid] = std::make_unique<ClusterMethodCentroid>();
  m[median] = std::make_unique<ClusterMethodMedian>();
  m[ward] = std::make_unique<ClusterMethodWard>();
}

void destroyClusterMethods() {
  for (auto& method : instances()) method.reset();
}

ClusterMethod* getAverageLinkageBetweenGroups() { return instances()[betweenGroups].get(); }
ClusterMethod* getAverageLinkageWithinGroups() { return instances()[withinGroups].get(); }
ClusterMethod* getSingleLinkage() { return instances()[single].get(); }
ClusterMethod* getCompleteLinkage() { return instances()[complete].get(); }
ClusterMethod* getCentroid() { return instances()[centroid].get(); }
ClusterMethod* getMedian() { return instances()[median].get(); }
ClusterMethod* getWard() { return instances()[ward].get(); }

std::vector<ClusterMethod*> getClusterMethods() {
  std::vector<ClusterMethod*> result;
  for (auto& method : instances())
    if (method) result.push_back(method.get());
  return result;
}

}  // namespace korvana::ClusterMethodFactory
