// How often each k-partition occurs among the permutations' trees, for each
// k of a range: per k a ClusterTally whose "tree" is the one key of the
// permutation's k-partition (TreeCut::partitionKey), so that every count
// comes with the first permutation that gave the partition, the census at
// the lowest fit and at not-a-number, and the merging of the tallies of
// jobs and processes in any order. Memory grows with the distinct
// partitions, not with the permutations.
#pragma once

#include <vector>

#include "engine/ClusterTally.h"

namespace korvana {

class ByteReader;
class ByteWriter;
class ClusterSolution;

class PartitionTally {
 public:
  /// Counts nothing (an empty range).
  PartitionTally() = default;
  /// Counts the partitions into `from` … `to` clusters (2 ≤ from ≤ to).
  PartitionTally(int from, int to);

  bool empty() const { return tallies_.empty(); }
  int from() const { return from_; }
  int to() const { return to_; }

  /// Adds one permutation's tree, with its place in the sequence; its k
  /// must not exceed the tree's objects.
  void add(const ClusterSolution& solution, int permutation);
  /// Takes a tree that was added out again.
  void remove(const ClusterSolution& solution);
  /// Adds a tally of other permutations over the same range (an empty one
  /// adds nothing; into an empty one the other is copied).
  void merge(const PartitionTally& other);

  /// The tally of the k-partitions, from() ≤ k ≤ to().
  const ClusterTally& at(int k) const;

  void encode(ByteWriter& out) const;
  void decode(ByteReader& in);

  /// The keys of a tree's partitions into to, to − 1, … from clusters, in
  /// that order.
  static std::vector<ClusterKey> partitionKeys(const ClusterSolution& solution, int from, int to);

 private:
  int from_ = 0;
  int to_ = -1;
  std::vector<ClusterTally> tallies_;  // by k − from
};

}  // namespace korvana
