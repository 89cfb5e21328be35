#include "engine/PartitionStability.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <unordered_set>

#include "engine/ClusterSolution.h"
#include "engine/PermutationRun.h"
#include "engine/TreeCut.h"

namespace korvana {

namespace {

std::uint64_t pairsOf(std::uint64_t count) { return count * (count - (count > 0 ? 1 : 0)) / 2; }

/// The cross-tabulation of two partitions: the sizes of their clusters (by
/// number) and the objects each pair of clusters shares, for the pairs that
/// share any.
struct Crossing {
  std::vector<std::uint64_t> sizesA;
  std::vector<std::uint64_t> sizesB;
  struct Cell {
    int a;
    int b;
    std::uint64_t count;
  };
  std::vector<Cell> cells;
};

Crossing cross(const std::vector<int>& a, const std::vector<int>& b) {
  Crossing crossing;
  const int ka = a.empty() ? 0 : *std::max_element(a.begin(), a.end());
  const int kb = b.empty() ? 0 : *std::max_element(b.begin(), b.end());
  crossing.sizesA.assign(static_cast<std::size_t>(ka) + 1, 0);
  crossing.sizesB.assign(static_cast<std::size_t>(kb) + 1, 0);
  std::vector<std::uint64_t> codes(a.size());
  for (std::size_t o = 0; o < a.size(); ++o) {
    ++crossing.sizesA[static_cast<std::size_t>(a[o])];
    ++crossing.sizesB[static_cast<std::size_t>(b[o])];
    codes[o] = static_cast<std::uint64_t>(a[o]) << 32 | static_cast<std::uint32_t>(b[o]);
  }
  std::sort(codes.begin(), codes.end());
  for (std::size_t i = 0; i < codes.size();) {
    std::size_t j = i;
    while (j < codes.size() && codes[j] == codes[i]) ++j;
    crossing.cells.push_back({static_cast<int>(codes[i] >> 32), static_cast<int>(codes[i] & 0xFFFFFFFFu), j - i});
    i = j;
  }
  return crossing;
}

/// One distinct partition of one k: its first permutation and count, and
/// whether it is the best solution's.
struct Distinct {
  int first;
  std::uint32_t count;
  bool isBest;
};

/// The sums of one k, over the distinct partitions in the order of their
/// first permutations.
struct Sums {
  std::vector<Distinct> distinct;  // by first permutation
  std::size_t next = 0;            // the first not yet summed
  double adjustedRand = 0.0;
  double lowest = std::numeric_limits<double>::infinity();
  std::vector<double> jaccard;

  void take(const Distinct& partition, double rand, const std::vector<double>& highest) {
    adjustedRand += partition.count * rand;
    lowest = std::min(lowest, rand);
    for (std::size_t c = 0; c < jaccard.size(); ++c) jaccard[c] += partition.count * highest[c];
  }
  /// Sums the best solution's own partition, which needs no tree, where its
  /// turn comes before permutation `before`.
  void takeBestBefore(int before) {
    for (; next < distinct.size() && distinct[next].first < before; ++next)
      if (distinct[next].isBest) take(distinct[next], 1.0, std::vector<double>(jaccard.size(), 1.0));
  }
};

}  // namespace

double adjustedRandIndex(const std::vector<int>& a, const std::vector<int>& b) {
  const Crossing crossing = cross(a, b);
  std::uint64_t together = 0, pairsA = 0, pairsB = 0;
  for (const Crossing::Cell& cell : crossing.cells) together += pairsOf(cell.count);
  for (const std::uint64_t size : crossing.sizesA) pairsA += pairsOf(size);
  for (const std::uint64_t size : crossing.sizesB) pairsB += pairsOf(size);
  const long double all = static_cast<long double>(pairsOf(a.size()));
  const long double expected = all > 0 ? static_cast<long double>(pairsA) * pairsB / all : 0.0L;
  const long double highest = (static_cast<long double>(pairsA) + pairsB) / 2;
  // Only two equal partitions, every object alone or all together, leave
  // nothing to adjust for.
  if (highest == expected) return 1.0;
  return static_cast<double>((together - expected) / (highest - expected));
}

std::vector<double> highestJaccard(const std::vector<int>& a, const std::vector<int>& b) {
  const Crossing crossing = cross(a, b);
  std::vector<double> highest(crossing.sizesA.size() > 0 ? crossing.sizesA.size() - 1 : 0, 0.0);
  for (const Crossing::Cell& cell : crossing.cells) {
    const std::uint64_t joined =
        crossing.sizesA[static_cast<std::size_t>(cell.a)] + crossing.sizesB[static_cast<std::size_t>(cell.b)] - cell.count;
    double& best = highest[static_cast<std::size_t>(cell.a - 1)];
    best = std::max(best, static_cast<double>(cell.count) / static_cast<double>(joined));
  }
  return highest;
}

std::vector<PartitionStability> reportPartitionStability(const ProximityMatrix& matrix, ClusterMethod& method,
                                                         const PermutationSettings& settings,
                                                         const PermutationResults& results) {
  const PartitionTally& tally = results.partitions;
  const PermutationRecords& records = results.records;
  if (tally.empty() || results.solutions.empty() || !results.tallyComplete || records.completed == 0) return {};
  const int from = tally.from();
  const int to = tally.to();
  const auto index = [from](int k) { return static_cast<std::size_t>(k - from); };
  const ClusterSolution& best = *results.solutions.front();
  const double keptFit = best.getNormalizedSSDif();

  std::vector<std::vector<int>> bestMembers(index(to) + 1);
  std::vector<ClusterKey> bestKeys(index(to) + 1);
  TreeCut cut(best);
  for (int k = to; k >= from; --k) {
    cut.cutTo(k);
    bestMembers[index(k)] = cut.memberships();
    bestKeys[index(k)] = cut.partitionKey();
  }

  // The distinct partitions of the best-fitting permutations: from the
  // tally, or counted again where it cannot tell.
  std::vector<int> distinctBest(index(to) + 1, 0);
  bool recount = false;
  for (int k = from; k <= to; ++k) {
    const ClusterCensus* census = tally.at(k).at(keptFit);
    if (census == nullptr) recount = true;
    else distinctBest[index(k)] = static_cast<int>(census->counts.size());
  }
  if (recount) {
    std::vector<int> bestFitting;
    for (int p = 0; p < records.completed; ++p) {
      const double fit = records.fitValues[static_cast<std::size_t>(p)];
      if (fit == keptFit || (std::isnan(fit) && std::isnan(keptFit))) bestFitting.push_back(p);
    }
    std::vector<std::unordered_set<ClusterKey, ClusterKeyHash>> seen(index(to) + 1);
    clusterPermutationsAgain(matrix, method, settings, results, bestFitting, [&](const ClusterSolution& solution) {
      const std::vector<ClusterKey> keys = PartitionTally::partitionKeys(solution, from, to);
      for (int k = to; k >= from; --k) seen[index(k)].insert(keys[static_cast<std::size_t>(to - k)]);
    });
    for (int k = from; k <= to; ++k) distinctBest[index(k)] = static_cast<int>(seen[index(k)].size());
  }

  // Every distinct partition other than the best solution's is compared
  // with it on the tree of its first permutation.
  std::vector<Sums> sums(index(to) + 1);
  std::map<int, std::vector<int>> wanted;  // first permutation -> its k, highest first
  for (int k = to; k >= from; --k) {
    Sums& sum = sums[index(k)];
    sum.jaccard.assign(static_cast<std::size_t>(k), 0.0);
    for (const auto& [key, count] : tally.at(k).all().counts) {
      if (count.first < 0 || count.first >= records.completed) return {};  // cannot be clustered again
      const bool isBest = key == bestKeys[index(k)];
      sum.distinct.push_back({count.first, count.count, isBest});
      if (!isBest) wanted[count.first].push_back(k);
    }
    std::sort(sum.distinct.begin(), sum.distinct.end(),
              [](const Distinct& a, const Distinct& b) { return a.first < b.first; });
  }
  std::vector<int> permutations;
  for (const auto& entry : wanted) permutations.push_back(entry.first);
  clusterPermutationsAgain(matrix, method, settings, results, permutations, [&](const ClusterSolution& solution) {
    const int p = solution.getPermutationIndex();
    TreeCut again(solution);
    for (const int k : wanted.at(p)) {
      Sums& sum = sums[index(k)];
      sum.takeBestBefore(p);
      again.cutTo(k);
      const std::vector<int> members = again.memberships();
      const std::vector<int>& bestOnes = bestMembers[index(k)];
      sum.take(sum.distinct[sum.next++], adjustedRandIndex(members, bestOnes), highestJaccard(bestOnes, members));
    }
  });

  std::vector<PartitionStability> report;
  for (int k = from; k <= to; ++k) {
    Sums& sum = sums[index(k)];
    sum.takeBestBefore(std::numeric_limits<int>::max());
    const ClusterCensus& census = tally.at(k).all();
    const double permutationsCounted = census.permutations;
    PartitionStability stability;
    stability.k = k;
    stability.distinctAll = static_cast<int>(census.counts.size());
    stability.distinctBest = distinctBest[index(k)];
    stability.sameAsBest = census.share(bestKeys[index(k)]);
    stability.meanAdjustedRand = sum.adjustedRand / permutationsCounted;
    stability.minAdjustedRand = sum.lowest;
    for (const double jaccard : sum.jaccard) stability.clusterStability.push_back(jaccard / permutationsCounted);
    report.push_back(std::move(stability));
  }
  return report;
}

}  // namespace korvana
