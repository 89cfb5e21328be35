// How often each cluster occurs in the trees of the permutations.
//
// A permutation's tree is the set of the n − 1 clusters its merges form, each
// the set of objects (matrix numbering) it holds. A cluster is known by a key:
// two sums, modulo 2^64, of fixed random 64-bit keys of its objects, so the key
// of a merged cluster is the sum of the keys of its two parts, found in O(1)
// per merge. Two different clusters share a key only when both sums collide;
// with the object keys uniform and independent that has probability 2^-128
// for any one pair of clusters, so among M distinct clusters at most
// M(M − 1)/2 × 2^-128.
//
// A tally counts, for every cluster key, the permutations whose tree holds it:
// over all permutations, over the permutations at the lowest fit seen, and
// over those whose fit is not a number. Tallies of disjoint sets of
// permutations merge into the tally of their union, whatever the order, so a
// run's jobs (or processes) each keep their own and merge them at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace korvana {

class ByteReader;
class ByteWriter;
class ClusterSolution;

struct ClusterKey {
  std::uint64_t first = 0;
  std::uint64_t second = 0;
  bool operator==(const ClusterKey&) const = default;
  ClusterKey& operator+=(const ClusterKey& other) {
    first += other.first;
    second += other.second;
    return *this;
  }
};

struct ClusterKeyHash {
  std::size_t operator()(const ClusterKey& key) const noexcept {
    return static_cast<std::size_t>(key.first ^ (key.second * 0x9E3779B97F4A7C15ull));
  }
};

/// How many permutations' trees hold a cluster, and the first of them (by
/// its place in the sequence; kNoPermutation when not told).
struct ClusterCount {
  std::uint32_t count = 0;
  std::int32_t first = kNoPermutation;
  static constexpr std::int32_t kNoPermutation = 0x7FFFFFFF;
};

using ClusterCounts = std::unordered_map<ClusterKey, ClusterCount, ClusterKeyHash>;

/// The key of a single object (matrix numbering): the same in every run.
ClusterKey objectKey(int object);

/// The keys of the clusters a solution's stages form, stage by stage.
std::vector<ClusterKey> clusterKeysOf(const ClusterSolution& solution);

/// The counts of one set of permutations.
struct ClusterCensus {
  int permutations = 0;
  ClusterCounts counts;
  void add(const std::vector<ClusterKey>& tree, std::int32_t permutation = ClusterCount::kNoPermutation);
  void merge(const ClusterCensus& other);
  /// Takes one permutation's tree out again (one that was added).
  void remove(const std::vector<ClusterKey>& tree);
  void encode(ByteWriter& out) const;
  void decode(ByteReader& in);
  /// The share (0 to 1) of the permutations whose tree holds the cluster;
  /// not a number when there are none.
  double share(const ClusterKey& key) const;
  /// The first permutation whose tree holds the cluster (kNoPermutation when
  /// none does or none was told).
  std::int32_t firstPermutation(const ClusterKey& key) const;
};

class ClusterTally {
 public:
  /// Adds one permutation's tree and its rounded normalized SSDif, with its
  /// place in the sequence when the first permutation of each cluster is
  /// wanted.
  void add(const std::vector<ClusterKey>& tree, double fit,
           std::int32_t permutation = ClusterCount::kNoPermutation);
  /// Adds another tally of other permutations.
  void merge(const ClusterTally& other);
  /// Takes out a permutation that was added, with the same fit. The census
  /// at the lowest fit cannot go back to an earlier lowest fit: when the
  /// permutation taken out had the lowest fit alone, `at` no longer knows
  /// the lowest fit's census (and a report recounts it).
  void remove(const std::vector<ClusterKey>& tree, double fit);

  const ClusterCensus& all() const { return all_; }
  /// The census of the permutations whose fit equals `fit` (both not a
  /// number counts as equal), or null when the tally cannot tell: only the
  /// lowest fit and not-a-number are followed.
  const ClusterCensus* at(double fit) const;

  /// The tally as bytes, and back.
  void encode(ByteWriter& out) const;
  void decode(ByteReader& in);

 private:
  ClusterCensus all_;
  bool hasLowest_ = false;
  /// A permutation at the lowest fit was taken out: the census of whichever
  /// fit is lowest now is not known.
  bool lostLowest_ = false;
  double lowest_ = 0.0;
  ClusterCensus atLowest_;
  ClusterCensus notANumber_;
};

}  // namespace korvana
