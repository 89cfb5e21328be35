#include "engine/PartitionTally.h"

#include <string>

#include "common/ByteCodec.h"
#include "common/EKorvanaError.h"
#include "engine/ClusterSolution.h"
#include "engine/TreeCut.h"

namespace korvana {

PartitionTally::PartitionTally(int from, int to) : from_(from), to_(to) {
  if (from < 2 || to < from)
    throw EKorvanaError("A range of cluster numbers runs from 2 up, not from " + std::to_string(from) + " to " +
                        std::to_string(to));
  tallies_.resize(static_cast<std::size_t>(to - from + 1));
}

std::vector<ClusterKey> PartitionTally::partitionKeys(const ClusterSolution& solution, int from, int to) {
  std::vector<ClusterKey> keys;
  TreeCut cut(solution);
  for (int k = to; k >= from; --k) {
    cut.cutTo(k);
    keys.push_back(cut.partitionKey());
  }
  return keys;
}

void PartitionTally::add(const ClusterSolution& solution, int permutation) {
  if (empty()) return;
  const std::vector<ClusterKey> keys = partitionKeys(solution, from_, to_);
  for (int k = to_; k >= from_; --k)
    tallies_[static_cast<std::size_t>(k - from_)].add({keys[static_cast<std::size_t>(to_ - k)]},
                                                      solution.getNormalizedSSDif(), permutation);
}

void PartitionTally::remove(const ClusterSolution& solution) {
  if (empty()) return;
  const std::vector<ClusterKey> keys = partitionKeys(solution, from_, to_);
  for (int k = to_; k >= from_; --k)
    tallies_[static_cast<std::size_t>(k - from_)].remove({keys[static_cast<std::size_t>(to_ - k)]},
                                                         solution.getNormalizedSSDif());
}

void PartitionTally::merge(const PartitionTally& other) {
  if (other.empty()) return;
  if (empty()) {
    *this = other;
    return;
  }
  if (other.from_ != from_ || other.to_ != to_)
    throw EKorvanaError("Partition tallies of different ranges cannot be merged");
  for (std::size_t i = 0; i < tallies_.size(); ++i) tallies_[i].merge(other.tallies_[i]);
}

const ClusterTally& PartitionTally::at(int k) const {
  if (k < from_ || k > to_) throw EKorvanaError("No partitions into " + std::to_string(k) + " clusters were counted");
  return tallies_[static_cast<std::size_t>(k - from_)];
}

void PartitionTally::encode(ByteWriter& out) const {
  out.put(from_);
  out.put(to_);
  for (const ClusterTally& tally : tallies_) tally.encode(out);
}

void PartitionTally::decode(ByteReader& in) {
  int from = 0;
  int to = -1;
  in.get(from);
  in.get(to);
  if (to < from) {
    *this = PartitionTally();
    return;
  }
  if (from < 2 || to - from > (1 << 24)) throw EKorvanaError("A partition tally between the processes is damaged");
  *this = PartitionTally(from, to);
  for (ClusterTally& tally : tallies_) tally.decode(in);
}

}  // namespace korvana
