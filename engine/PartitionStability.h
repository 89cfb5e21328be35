// How stable the best solution's k-partition is across the permutations, for
// each k of the membership range: how many distinct k-partitions the
// permutations gave (all of them, and the best-fitting ones), the share of
// the permutations whose k-partition is the best solution's, the mean and
// lowest adjusted Rand index (Hubert and Arabie) between a permutation's
// k-partition and the best solution's, and per cluster of the best
// solution's k-partition the mean over the permutations of its highest
// Jaccard similarity with a cluster of the permutation's k-partition.
//
// The run counts the distinct partitions with the first permutation of each
// (PartitionTally); the comparison with the best solution, known only at the
// end, is made once per distinct partition, on the tree of its first
// permutation clustered again, and weighted by the partition's count. The
// sums go in the order of those first permutations, so that the numbers are
// the same to the bit for any number of jobs or processes.
#pragma once

#include <vector>

namespace korvana {

class ClusterMethod;
class ProximityMatrix;
struct PermutationResults;
struct PermutationSettings;

struct PartitionStability {
  int k = 0;
  int distinctAll = 0;
  int distinctBest = 0;
  double sameAsBest = 0.0;
  double meanAdjustedRand = 0.0;
  double minAdjustedRand = 0.0;
  /// Per cluster 1 … k of the best solution's k-partition.
  std::vector<double> clusterStability;
};

/// The adjusted Rand index of two partitions of the same objects given as
/// cluster numbers 1 … (any) per object; 1 for equal partitions, and 1 when
/// both put every object alone or all in one cluster.
double adjustedRandIndex(const std::vector<int>& a, const std::vector<int>& b);

/// Per cluster of `a` (numbered 1 … ka): its highest Jaccard similarity
/// with a cluster of `b`.
std::vector<double> highestJaccard(const std::vector<int>& a, const std::vector<int>& b);

/// The stability for each k of the run's membership range, against the
/// first kept solution; empty when the run counted no partitions, kept no
/// solution or its tally is not complete (a run spread over processes and
/// stopped early).
std::vector<PartitionStability> reportPartitionStability(const ProximityMatrix& matrix, ClusterMethod& method,
                                                         const PermutationSettings& settings,
                                                         const PermutationResults& results);

}  // namespace korvana
