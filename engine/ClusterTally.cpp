#include "engine/ClusterTally.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/ByteCodec.h"
#include "common/EKorvanaError.h"
#include "engine/ClusterSolution.h"

namespace korvana {

namespace {

/// SplitMix64: a fixed, well-mixed 64-bit value for every input.
std::uint64_t mix(std::uint64_t value) {
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

}  // namespace

ClusterKey objectKey(int object) {
  const auto o = static_cast<std::uint64_t>(static_cast<std::uint32_t>(object));
  // Two independent streams: the object number in the high and in the low
  // half of the input, under different constants.
  return {mix(o * 2 + 0x6A09E667F3BCC908ull), mix((o << 32) ^ 0xBB67AE8584CAA73Bull)};
}

std::vector<ClusterKey> clusterKeysOf(const ClusterSolution& solution) {
  const int n = solution.getObjectCount();
  const int stages = solution.getStageCount();
  // The key of the cluster each object number names: its own at first; a
  // merged cluster keeps the name of cluster 1 and adds cluster 2's key.
  std::vector<ClusterKey> keyOf(static_cast<std::size_t>(n));
  for (int o = 0; o < n; ++o) keyOf[static_cast<std::size_t>(o)] = objectKey(o);
  std::vector<ClusterKey> keys(static_cast<std::size_t>(stages));
  for (int t = 0; t < stages; ++t) {
    ClusterKey& merged = keyOf[static_cast<std::size_t>(solution.getCluster1(t))];
    merged += keyOf[static_cast<std::size_t>(solution.getCluster2(t))];
    keys[static_cast<std::size_t>(t)] = merged;
  }
  return keys;
}

void ClusterCensus::add(const std::vector<ClusterKey>& tree, std::int32_t permutation) {
  ++permutations;
  for (const ClusterKey& key : tree) {
    ClusterCount& entry = counts[key];
    ++entry.count;
    entry.first = std::min(entry.first, permutation);
  }
}

void ClusterCensus::merge(const ClusterCensus& other) {
  permutations += other.permutations;
  for (const auto& [key, theirs] : other.counts) {
    ClusterCount& entry = counts[key];
    entry.count += theirs.count;
    entry.first = std::min(entry.first, theirs.first);
  }
}

void ClusterCensus::remove(const std::vector<ClusterKey>& tree) {
  --permutations;
  for (const ClusterKey& key : tree) {
    const auto found = counts.find(key);
    if (found == counts.end()) continue;
    // A cluster no permutation before the one taken out holds has no count
    // left: its first permutation cannot have been an earlier one.
    if (--found->second.count == 0) counts.erase(found);
  }
}

double ClusterCensus::share(const ClusterKey& key) const {
  if (permutations == 0) return std::numeric_limits<double>::quiet_NaN();
  const auto found = counts.find(key);
  return found == counts.end() ? 0.0 : static_cast<double>(found->second.count) / permutations;
}

std::int32_t ClusterCensus::firstPermutation(const ClusterKey& key) const {
  const auto found = counts.find(key);
  return found == counts.end() ? ClusterCount::kNoPermutation : found->second.first;
}

void ClusterTally::add(const std::vector<ClusterKey>& tree, double fit, std::int32_t permutation) {
  all_.add(tree, permutation);
  if (std::isnan(fit)) {
    notANumber_.add(tree, permutation);
    return;
  }
  if (!hasLowest_ || fit < lowest_) {
    hasLowest_ = true;
    lowest_ = fit;
    atLowest_ = ClusterCensus{};
  }
  if (fit == lowest_) atLowest_.add(tree, permutation);
}

void ClusterTally::merge(const ClusterTally& other) {
  lostLowest_ = lostLowest_ || other.lostLowest_;
  all_.merge(other.all_);
  notANumber_.merge(other.notANumber_);
  if (!other.hasLowest_) return;
  if (!hasLowest_ || other.lowest_ < lowest_) {
    hasLowest_ = true;
    lowest_ = other.lowest_;
    atLowest_ = other.atLowest_;
  } else if (other.lowest_ == lowest_) {
    atLowest_.merge(other.atLowest_);
  }
}

void ClusterTally::remove(const std::vector<ClusterKey>& tree, double fit) {
  all_.remove(tree);
  if (std::isnan(fit)) {
    notANumber_.remove(tree);
    return;
  }
  if (hasLowest_ && fit == lowest_) {
    atLowest_.remove(tree);
    if (atLowest_.permutations == 0) {
      hasLowest_ = false;
      atLowest_ = ClusterCensus{};
      lostLowest_ = true;
    }
  }
}

const ClusterCensus* ClusterTally::at(double fit) const {
  if (std::isnan(fit)) return &notANumber_;
  if (hasLowest_ && fit == lowest_ && !lostLowest_) return &atLowest_;
  return nullptr;
}

void ClusterCensus::encode(ByteWriter& out) const {
  out.put(permutations);
  std::vector<ClusterKey> keys;
  std::vector<std::uint32_t> values;
  std::vector<std::int32_t> firsts;
  keys.reserve(counts.size());
  values.reserve(counts.size());
  firsts.reserve(counts.size());
  for (const auto& [key, count] : counts) {
    keys.push_back(key);
    values.push_back(count.count);
    firsts.push_back(count.first);
  }
  out.put(keys);
  out.put(values);
  out.put(firsts);
}

void ClusterCensus::decode(ByteReader& in) {
  in.get(permutations);
  const auto keys = in.take<std::vector<ClusterKey>>();
  const auto values = in.take<std::vector<std::uint32_t>>();
  const auto firsts = in.take<std::vector<std::int32_t>>();
  if (keys.size() != values.size() || keys.size() != firsts.size()) throw EKorvanaError("A cluster tally between the processes is damaged");
  counts.clear();
  counts.reserve(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) counts.emplace(keys[i], ClusterCount{values[i], firsts[i]});
}

void ClusterTally::encode(ByteWriter& out) const {
  all_.encode(out);
  out.put(hasLowest_);
  out.put(lostLowest_);
  out.put(lowest_);
  atLowest_.encode(out);
  notANumber_.encode(out);
}

void ClusterTally::decode(ByteReader& in) {
  all_.decode(in);
  in.get(hasLowest_);
  in.get(lostLowest_);
  in.get(lowest_);
  atLowest_.decode(in);
  notANumber_.decode(in);
}

}  // namespace korvana
