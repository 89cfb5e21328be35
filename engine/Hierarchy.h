// The hierarchy of a tree: the clusters its merges form, less those that are
// folded. A cluster is folded when its height equals the height of the
// cluster that later absorbs it, both rounded to 13 significant digits; the
// root is never folded. Merge orders that differ only in how ties at one
// height were broken fold to the same hierarchy (a cluster of k > 2 parts is
// a multifurcation), and two trees with the same hierarchy give the same
// cophenetic matrix to 13 digits.
//
// A hierarchy is known by an id formed from the keys of its clusters
// (ClusterTally's keys, sums of random object keys): two sums, modulo 2^64,
// of two different 64-bit mixes of each cluster's key, written as 16 bytes.
// The sums do not depend on the order of the clusters, nor therefore on the
// order of the objects. Two different hierarchies share an id only when both
// sums collide (probability about 2^-128 for any one pair, the mixes taken
// as random functions), or when two of their clusters share a key (the
// tally's own bound); among M distinct hierarchies the chance of any
// collision is at most M(M − 1)/2 × 2^-128 plus the tally's bound.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/ClusterTally.h"

namespace korvana {

class ClusterSolution;

using HierarchyId = std::array<std::uint8_t, 16>;

/// True when the two heights are equal after rounding to 13 significant
/// digits (not a number equals nothing).
bool sameHeight(double a, double b);

/// The hierarchy's id from the keys of its clusters, in any order.
HierarchyId hierarchyIdOf(const std::vector<ClusterKey>& clusters);

struct Hierarchy {
  /// Per stage of the tree: whether the cluster the stage forms is folded.
  std::vector<char> folded;
  /// The keys of the clusters that are not folded, in stage order.
  std::vector<ClusterKey> clusters;
  HierarchyId id{};
};

/// The hierarchy of a solution whose stages form the clusters `stageKeys`
/// (clusterKeysOf).
Hierarchy hierarchyOf(const ClusterSolution& solution, const std::vector<ClusterKey>& stageKeys);

/// Per stage: whether the cluster it forms is folded.
std::vector<char> foldedStages(const ClusterSolution& solution);

}  // namespace korvana
