#include "engine/SharedRun.h"

#include <cmath>
#include <map>

#include "common/ByteCodec.h"
#include "common/EKorvanaError.h"
#include "engine/ProgressMonitor.h"
#include "engine/ProximityMatrix.h"

namespace korvana {

std::vector<char> encodeShare(const PermutationResults& results) {
  ByteWriter out;
  const PermutationRecords& records = results.records;
  std::vector<double> fits, correlations;
  std::vector<std::int32_t> seeds;
  std::vector<SolutionId> ids;
  std::vector<HierarchyId> hierarchies;
  for (const int k : results.completedIndices) {
    const auto uk = static_cast<std::size_t>(k);
    fits.push_back(records.fitValues.at(uk));
    correlations.push_back(records.correlations.at(uk));
    seeds.push_back(records.seeds.at(uk));
    ids.push_back(records.solutionIds.at(uk));
    hierarchies.push_back(records.hierarchyIds.at(uk));
  }
  out.put(results.completedIndices);
  out.put(fits);
  out.put(correlations);
  out.put(seeds);
  out.put(ids);
  out.put(hierarchies);
  out.put(static_cast<std::uint64_t>(results.solutions.size()));
  for (const auto& solution : results.solutions) solution->encode(out);
  results.tally.encode(out);
  results.hierarchyTally.encode(out);
  out.put(results.tallyComplete);
  out.put(static_cast<std::uint64_t>(results.texts.size()));
  for (const std::string& text : results.texts) out.put(text);
  return std::move(out.bytes());
}

PermutationResults decodeShare(const std::vector<char>& bytes, int permutationCount) {
  ByteReader in(bytes.data(), bytes.size());
  PermutationResults results;
  results.records.allocate(permutationCount);
  in.get(results.completedIndices);
  const auto fits = in.take<std::vector<double>>();
  const auto correlations = in.take<std::vector<double>>();
  const auto seeds = in.take<std::vector<std::int32_t>>();
  const auto ids = in.take<std::vector<SolutionId>>();
  const auto hierarchies = in.take<std::vector<HierarchyId>>();
  const std::size_t count = results.completedIndices.size();
  if (fits.size() != count || correlations.size() != count || seeds.size() != count || ids.size() != count ||
      hierarchies.size() != count)
    throw EKorvanaError("The records of a share of the permutations are damaged");
  for (std::size_t i = 0; i < count; ++i) {
    const int k = results.completedIndices[i];
    if (k < 0 || k >= permutationCount) throw EKorvanaError("A share names a permutation the run does not have");
    const auto uk = static_cast<std::size_t>(k);
    results.records.fitValues[uk] = fits[i];
    results.records.correlations[uk] = correlations[i];
    results.records.seeds[uk] = seeds[i];
    results.records.solutionIds[uk] = ids[i];
    results.records.hierarchyIds[uk] = hierarchies[i];
  }
  results.records.completed = static_cast<int>(count);
  const auto solutions = in.take<std::uint64_t>();
  for (std::uint64_t s = 0; s < solutions; ++s) results.solutions.push_back(ClusterSolution::decode(in));
  results.tally.decode(in);
  results.hierarchyTally.decode(in);
  in.get(results.tallyComplete);
  const auto texts = in.take<std::uint64_t>();
  if (texts != 0 && texts != count) throw EKorvanaError("The tree texts of a share of the permutations are damaged");
  results.texts.resize(static_cast<std::size_t>(texts));
  for (std::string& text : results.texts) in.get(text);
  if (!in.atEnd()) throw EKorvanaError("A share of the permutations sent more than its results");
  return results;
}

namespace {

/// Permutation k clustered again on its own, as a run of one would.
std::unique_ptr<ClusterSolution> clusterAgain(int k, const ProximityMatrix& matrix, ClusterMethod& method,
                                              const PermutationSettings& settings) {
  PermutationSettings one = settings;
  one.permutationCount = k + 1;
  one.shareCount = k + 1;
  one.shareIndex = k;
  one.firstIndex = 0;
  one.jobs = 1;
  one.tallyClusters = false;
  one.abandon = nullptr;
  one.describe = nullptr;
  one.sink = nullptr;
  one.stopWhenStable = 0;
  SilentProgress silent;
  PermutationResults rerun = runPermutations(matrix, method, one, silent);
  if (rerun.solutions.size() != 1) throw EKorvanaError("Permutation " + std::to_string(k + 1) + " could not be run again");
  return std::move(rerun.solutions.front());
}

}  // namespace

PermutationResults mergeShares(std::vector<PermutationResults> shares, const ProximityMatrix& matrix,
                               ClusterMethod& method, const PermutationSettings& settings, int limit) {
  PermutationResults merged;
  PermutationRecords& records = merged.records;
  records.allocate(settings.permutationCount);
  std::vector<bool> done(static_cast<std::size_t>(std::max(settings.permutationCount, 0)), false);
  std::map<int, std::unique_ptr<ClusterSolution>> candidates;  // by permutation
  std::map<int, std::string> texts;                             // by permutation
  int completedInAll = 0;
  for (PermutationResults& share : shares) {
    for (const int k : share.completedIndices) {
      const auto uk = static_cast<std::size_t>(k);
      done.at(uk) = true;
      ++completedInAll;
      records.fitValues[uk] = share.records.fitValues[uk];
      records.correlations[uk] = share.records.correlations[uk];
      records.seeds[uk] = share.records.seeds[uk];
      records.solutionIds[uk] = share.records.solutionIds[uk];
      records.hierarchyIds[uk] = share.records.hierarchyIds[uk];
    }
    for (std::size_t i = 0; i < share.texts.size() && i < share.completedIndices.size(); ++i)
      texts[share.completedIndices[i]] = std::move(share.texts[i]);
    for (auto& solution : share.solutions) {
      const int k = solution->getPermutationIndex();
      candidates[k] = std::move(solution);
    }
    merged.tally.merge(share.tally);
    merged.hierarchyTally.merge(share.hierarchyTally);
    merged.tallyComplete = merged.tallyComplete && share.tallyComplete;
  }
  int prefix = 0;
  while (prefix < settings.permutationCount && done[static_cast<std::size_t>(prefix)]) ++prefix;
  if (prefix > limit) {
    // Past the stop: out of the tallies again.
    for (int k = limit; k < settings.permutationCount; ++k) {
      if (!done[static_cast<std::size_t>(k)]) continue;
      if (settings.tallyClusters) {
        const std::unique_ptr<ClusterSolution> solution = clusterAgain(k, matrix, method, settings);
        const std::vector<ClusterKey> keys = clusterKeysOf(*solution);
        merged.tally.remove(keys, solution->getNormalizedSSDif());
        merged.hierarchyTally.remove(hierarchyOf(*solution, keys).clusters, solution->getNormalizedSSDif());
      }
      --completedInAll;
    }
    prefix = limit;
    merged.stoppedAfter = limit - 1;
  }
  records.completed = prefix;
  for (int k = 0; k < prefix; ++k) merged.completedIndices.push_back(k);
  if (settings.describe)
    for (int k = 0; k < prefix; ++k) merged.texts.push_back(std::move(texts[k]));
  if (completedInAll != prefix) merged.tallyComplete = false;

  // The keeping rule over the permutations in order, on their fits and ids.
  std::vector<int> kept;
  for (int k = 0; k < prefix; ++k) {
    const auto uk = static_cast<std::size_t>(k);
    const double fit = records.fitValues[uk];
    if (kept.empty()) {
      kept.push_back(k);
      continue;
    }
    const double best = records.fitValues[static_cast<std::size_t>(kept.front())];
    if (fit < best || std::isnan(fit) || std::isnan(best)) {
      kept.assign(1, k);
    } else if (fit == best) {
      bool same = false;
      for (const int other : kept) same = same || records.solutionIds[static_cast<std::size_t>(other)] == records.solutionIds[uk];
      if (!same) kept.push_back(k);
    }
  }
  for (const int k : kept) {
    auto found = candidates.find(k);
    if (found != candidates.end()) {
      merged.solutions.push_back(std::move(found->second));
      continue;
    }
    // No share kept it: run that one permutation here.
    std::unique_ptr<ClusterSolution> again = clusterAgain(k, matrix, method, settings);
    if (again->getSolutionId() != records.solutionIds[static_cast<std::size_t>(k)])
      throw EKorvanaError("Permutation " + std::to_string(k + 1) + " gives another solution when run again");
    merged.solutions.push_back(std::move(again));
  }
  return merged;
}

}  // namespace korvana
