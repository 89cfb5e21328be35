// The permutation run: the proximity matrix is clustered once per permutation
// of its objects with one method; the fit, seed and solution id of every
// permutation are recorded, and the distinct solutions that share the best
// (lowest) rounded normalized SSDif are kept in the order they were found.
//
// A function of its inputs: the matrix, the method, the settings and a
// progress monitor. It knows nothing of where the matrix came from or where
// the results go.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "common/EKorvanaError.h"
#include "engine/ClusterSolution.h"
#include "engine/ClusterTally.h"
#include "engine/DistinctSolutions.h"
#include "engine/Hierarchy.h"
#include "engine/PartitionTally.h"
#include "engine/SimilarityMatrix.h"

namespace korvana {

class ClusterMethod;
class ProgressMonitor;
class ProximityMatrix;

/// The error of a permutation that could not be clustered, with its place in
/// the sequence (its message is the error's own).
class EPermutationFailed : public EKorvanaError {
 public:
  EPermutationFailed(int index, const std::string& message) : EKorvanaError(message), index_(index) {}
  int index() const { return index_; }

 private:
  int index_;
};

/// What the permutation run needs besides the matrix and the method.
struct PermutationSettings {
  int permutationCount = 1;
  /// The first permutation is the identity (the objects in file order).
  bool firstPermutationIsIdentity = true;
  /// The start seed of the permutation generator.
  std::int32_t seed = 7;
  /// How many permutations run at once, each on a thread of its own with its
  /// own working matrix; with fewer permutations than half the jobs, each run
  /// uses two threads instead (RunThreads::two). The results do not depend
  /// on it.
  int jobs = 1;
  /// Counts the clusters of every permutation's tree (PermutationResults::
  /// tally), for the cluster support and the distinct-solution accounting.
  bool tallyClusters = false;
  /// This run's share of the permutations, for runs spread over processes:
  /// the permutations k with k % shareCount == shareIndex, each with the same
  /// seed as in a run of all of them.
  int shareCount = 1;
  int shareIndex = 0;
  /// Only the permutations from this one on (to permutationCount − 1) run:
  /// a round of a run spread over processes.
  int firstIndex = 0;
  /// When set (and once it is set), a permutation in progress is given up at
  /// its next stage instead of being finished: for a stop that cannot wait.
  const std::atomic<bool>* abandon = nullptr;
  /// The layout of the working matrices; without one, workingLayoutFor's.
  /// The results do not depend on it.
  std::optional<WorkingLayout> layout;
  /// When set, each completed permutation's tree is described as text (on
  /// the thread of the job that ran it), and the texts go, in permutation
  /// order, to `sink` (from whichever thread keeps the order), or without a
  /// sink into PermutationResults::texts.
  std::function<std::string(const ClusterSolution&)> describe;
  std::function<void(int index, const std::string& text)> sink;
  /// Stops after the first permutation k such that neither the best fit nor
  /// the set of best-fitting hierarchies changed in the last stopWhenStable
  /// permutations (StabilityWatch); 0: off. Decided in permutation order, so
  /// a run of several jobs stops at the same permutation as one job (the
  /// work done past it is discarded). A run of a share ignores it: whoever
  /// spreads the shares decides.
  int stopWhenStable = 0;
  /// Counts every permutation's partitions into membershipFrom …
  /// membershipTo clusters (PermutationResults::partitions); 0: none.
  int membershipFrom = 0;
  int membershipTo = 0;
};

/// One job per hardware thread.
int preferredJobs();

/// The fit, seed and solution id of every permutation, indexed by permutation
/// (from 0); the first `completed` entries hold values (in a run of a share,
/// the entries of PermutationResults::completedIndices).
struct PermutationRecords {
  std::vector<double> fitValues;     // rounded normalized SSDif
  std::vector<double> correlations;  // cophenetic correlation
  std::vector<std::int32_t> seeds;   // 0 for the identity permutation
  std::vector<SolutionId> solutionIds;
  std::vector<HierarchyId> hierarchyIds;  // the hierarchy of each permutation's tree
  int completed = 0;

  /// Room for `count` permutations, every value 0.
  void allocate(int count);
};

struct PermutationResults {
  PermutationRecords records;
  /// The distinct best solutions, in the order they were found.
  std::vector<std::unique_ptr<ClusterSolution>> solutions;
  /// The clusters of the completed permutations' trees, with tallyClusters.
  ClusterTally tally;
  /// The clusters of their hierarchies (the trees with the folded clusters
  /// left out), with the first permutation of each, with tallyClusters.
  ClusterTally hierarchyTally;
  /// The partitions of the completed permutations' trees, with a membership
  /// range.
  PartitionTally partitions;
  /// The permutations that completed, in order (0 … completed − 1 unless the
  /// run had a share of them).
  std::vector<int> completedIndices;
  /// False when the tally counts permutations beyond the completed ones (a
  /// run spread over processes and stopped early): support is then unknown.
  bool tallyComplete = true;
  /// With PermutationSettings::describe and no sink: the texts of the
  /// completed permutations, in the order of completedIndices.
  std::vector<std::string> texts;
  /// The permutation after which the run stopped because it was stable; −1
  /// when it did not.
  int stoppedAfter = -1;
};

/// The share of permutations whose tree holds the cluster a stage forms:
/// over all completed permutations and over the best-fitting ones (not a
/// number when there are none).
struct StageSupport {
  double all = 0.0;
  double best = 0.0;
};

/// What the tally says about a finished (or canceled) run. The best-fitting
/// permutations are those whose rounded normalized SSDif equals the kept
/// solutions' (both not a number counts as equal).
/// A cluster of a consensus tree: its objects (matrix numbering, ascending)
/// and the share of the hierarchies that hold it.
struct ConsensusCluster {
  std::vector<int> objects;
  double support = 0.0;
};

/// The majority-rule consensus of a set of hierarchies: the clusters held by
/// more than half of them, smallest first (ties by their first object); the
/// root is among them. Not known when the tally could not tell.
struct Consensus {
  bool known = false;
  std::vector<ConsensusCluster> clusters;
};

struct SupportReport {
  DistinctSolutions all;
  DistinctSolutions best;
  /// Per kept solution, per stage.
  std::vector<std::vector<StageSupport>> solutions;

  /// The same accounting of the permutations' hierarchies.
  DistinctSolutions hierarchiesAll;
  DistinctSolutions hierarchiesBest;
  /// Per kept solution: its hierarchy, which of its stages are folded, and
  /// per stage the share of the hierarchies (all; best-fitting) that hold the
  /// cluster the stage forms, not a number where the stage is folded.
  std::vector<HierarchyId> solutionHierarchies;
  std::vector<std::vector<char>> folded;
  std::vector<std::vector<StageSupport>> hierarchySupport;
  /// The majority-rule consensus of all hierarchies and of the best-fitting
  /// ones.
  Consensus consensusAll;
  Consensus consensusBest;
};

/// The support of every stage of the kept solutions and the distinct-solution
/// accounting, for a run made with tallyClusters. Should the tally not follow
/// the kept solutions' fit (which takes a fit that is not a number between
/// better ones), the best-fitting permutations are clustered again from
/// their seeds to count their clusters.
SupportReport reportSupport(const ProximityMatrix& matrix, ClusterMethod& method, const PermutationSettings& settings,
                            const PermutationResults& results);

/// Clusters the given completed permutations again, in the order given, as
/// the run clustered them (from their seeds in the records), and hands each
/// tree to `take`; the kept solutions are handed over as they are.
void clusterPermutationsAgain(const ProximityMatrix& matrix, ClusterMethod& method, const PermutationSettings& settings,
                              const PermutationResults& results, const std::vector<int>& permutations,
                              const std::function<void(const ClusterSolution&)>& take);

/// Applies the keeping rule to a new solution, in permutation order: into an
/// empty list it goes; a better fit, or one of two fits that do not compare
/// (not-a-number), replaces the list; an equal fit joins it unless the same
/// merges are already listed; a worse fit is dropped.
void keepIfBest(std::vector<std::unique_ptr<ClusterSolution>>& solutions, std::unique_ptr<ClusterSolution> solution);

/// The bytes the records take per permutation.
inline constexpr std::uint64_t kRecordBytesPerPermutation =
    2 * sizeof(double) + sizeof(std::int32_t) + sizeof(SolutionId) + sizeof(HierarchyId);

/// The bytes a run takes per permutation: the records, the list of the
/// completed permutations and, with tallyClusters, the distinct-solution
/// accounting (an entry per distinct tree, two curves) and the tally of the
/// clusters (taken to find one new cluster per permutation; ties can make
/// it more), and the tally of the partitions of `cuts` numbers of clusters.
std::uint64_t bytesPerPermutation(bool tallyClusters, int cuts = 0);

/// The memory a permutation run takes before it keeps any solution: the
/// records and bookkeeping of every permutation (with the tallies when
/// tallyClusters) and, per job, a working matrix in the given layout, a run
/// state and the solutions being built or waiting, for n objects. (The kept
/// solutions come on top; how many there are depends on the ties.)
std::uint64_t permutationRunBytes(int objectCount, int permutationCount, int jobs = 1, bool tallyClusters = false,
                                  int cuts = 0, WorkingLayout layout = WorkingLayout::triangle);

/// Refuses a matrix with a proximity of magnitude 1e50 or more (or infinite):
/// throws EKorvanaError naming the two objects. Not-a-number is allowed.
void checkProximityRange(const ProximityMatrix& matrix);

/// Clusters the matrix once per permutation, with settings.jobs jobs at once.
/// The records, the kept solutions and their order are the same for any
/// number of jobs: permutation k has the same seed whichever job runs it, and
/// the keeping rule is applied in permutation order. Stops before a
/// permutation once the progress monitor reports a cancellation (every job
/// finishes the permutation it runs); the records then hold the permutations
/// that ran, 0 … completed − 1. Reports "Passed permutations c/P" and one step
/// per permutation as permutations finish; with several jobs the progress
/// monitor is called from the calling thread only. Throws EKorvanaError for
/// proximities outside ±1e50, and the error of the earliest permutation that
/// failed.
PermutationResults runPermutations(const ProximityMatrix& matrix, ClusterMethod& method,
                                   const PermutationSettings& settings, ProgressMonitor& progress);

}  // namespace korvana
