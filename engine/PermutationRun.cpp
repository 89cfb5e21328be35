#include "engine/PermutationRun.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <limits>
#include <map>
#include <set>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

#include "common/EKorvanaError.h"
#include "common/ScientificFormat.h"
#include "engine/Agglomeration.h"
#include "engine/AgglomerationState.h"
#include "engine/ClusterMethod.h"
#include "engine/ExtendedPrecision.h"
#include "engine/MemberLists.h"
#include "engine/ProgressMonitor.h"
#include "engine/ProximityMatrix.h"
#include "engine/RandomPermutationGenerator.h"
#include "engine/SimilarityMatrix.h"
#include "engine/StabilityWatch.h"

namespace korvana {

void PermutationRecords::allocate(int count) {
  const auto size = static_cast<std::size_t>(count > 0 ? count : 0);
  fitValues.assign(size, 0.0);
  correlations.assign(size, 0.0);
  seeds.assign(size, 0);
  solutionIds.assign(size, SolutionId{});
  hierarchyIds.assign(size, HierarchyId{});
  completed = 0;
}

std::uint64_t bytesPerPermutation(bool tallyClusters, int cuts) {
  // A node of an ordered set or a hash map: the entry, two or three links
  // and the allocator's header.
  constexpr std::uint64_t kNode = 48;
  const std::uint64_t completed = sizeof(int) + kNode;
  const std::uint64_t accounting = kNode + 8 + 2 * sizeof(int);  // map entry and bucket, two curves
  const std::uint64_t tally = 2 * (kNode + 8);                     // in all permutations and at the lowest fit
  // Each cut may find a new partition: in all permutations and at the lowest fit.
  const std::uint64_t partitions = static_cast<std::uint64_t>(cuts > 0 ? cuts : 0) * tally;
  return kRecordBytesPerPermutation + completed + (tallyClusters ? accounting + tally : 0) + partitions;
}

std::uint64_t permutationRunBytes(int objectCount, int permutationCount, int jobs, bool tallyClusters, int cuts,
                                  WorkingLayout layout) {
  const auto n = static_cast<std::uint64_t>(objectCount > 0 ? objectCount : 0);
  const auto p = static_cast<std::uint64_t>(permutationCount > 0 ? permutationCount : 0);
  const auto j = static_cast<std::uint64_t>(jobs > 1 ? jobs : 1);
  const std::uint64_t workingMatrix = workingMatrixBytes(objectCount, layout);
  const std::uint64_t runState = n * 40;
  const std::uint64_t solution = n * 64;  // the schedule, the permutation and the fit's work
  // Each job has its own working matrix and run state, builds one solution,
  // and at most two per job wait to be kept in order.
  return p * bytesPerPermutation(tallyClusters, cuts) + j * (workingMatrix + runState + 3 * solution);
}

int preferredJobs() {
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? static_cast<int>(hardware) : 1;
}

void keepIfBest(std::vector<std::unique_ptr<ClusterSolution>>& solutions, std::unique_ptr<ClusterSolution> solution) {
  if (solutions.empty()) {
    solutions.push_back(std::move(solution));
    return;
  }
  const double fit = solution->getNormalizedSSDif();
  const double best = solutions.front()->getNormalizedSSDif();
  if (fit < best || std::isnan(fit) || std::isnan(best)) {
    solutions.clear();
    solutions.push_back(std::move(solution));
  } else if (fit == best) {
    for (const auto& kept : solutions)
      if (kept->isSameSolution(*solution)) return;
    solutions.push_back(std::move(solution));
  }
  // fit > best: the new solution is dropped.
}

void checkProximityRange(const ProximityMatrix& matrix) {
  const int n = matrix.getNumberOfObjects();
  for (int i = 1; i < n; ++i)
    for (int j = 0; j < i; ++j) {
      const double v = matrix.lowerValue(i, j);
      if (std::fabs(v) >= kProximityLimit)  // false for NaN, which is allowed
        throw EKorvanaError("The proximity between objects " + std::to_string(j + 1) + " and " +
                            std::to_string(i + 1) + " is " + formatScientific(v, 13) +
                            "; proximities must lie strictly between -1E+050 and 1E+050");
    }
}

namespace {

/// One permutation to run: its place in the sequence (and in this run's
/// share), its seed and its order.
struct Ticket {
  int index = 0;
  int ordinal = 0;
  std::int32_t seed = 0;
  bool identity = false;
  std::vector<int> permutation;
};

/// Draws this run's permutations in sequence order. Permutation k has the
/// seed the generator holds after the random permutations before it (each
/// takes n steps), whichever job or process runs it.
class TicketSource {
 public:
  TicketSource(const PermutationSettings& settings, int n)
      : settings_(settings),
        n_(n),
        first_(std::max(settings.shareIndex, 0)),
        stride_(std::max(settings.shareCount, 1)) {
    // The first of the share's permutations from firstIndex on.
    if (settings.firstIndex > first_) first_ += (settings.firstIndex - first_ + stride_ - 1) / stride_ * stride_;
  }
  int drawn() const { return drawn_; }
  /// The sequence index of this run's permutation number `ordinal` (from 0).
  int indexOf(int ordinal) const { return first_ + ordinal * stride_; }
  bool exhausted() const { return indexOf(drawn_) >= settings_.permutationCount; }
  Ticket next() {
    Ticket ticket;
    ticket.index = indexOf(drawn_);
    ticket.ordinal = drawn_++;
    ticket.identity = ticket.index == 0 && settings_.firstPermutationIsIdentity;
    RandomPermutationGenerator generator(settings_.seed, n_);
    const int randomBefore = ticket.index - (settings_.firstPermutationIsIdentity && ticket.index > 0 ? 1 : 0);
    generator.skip(static_cast<std::uint64_t>(n_) * static_cast<std::uint64_t>(randomBefore));
    ticket.seed = ticket.identity ? 0 : generator.getState();
    ticket.permutation = generator.nextPermutation(ticket.identity);
    return ticket;
  }

 private:
  const PermutationSettings& settings_;
  int n_;
  int first_;
  int stride_;
  int drawn_ = 0;
};

/// What one job owns: its working matrix, run state and copy of the method.
struct Job {
  Job(const ProximityMatrix& matrix, const ClusterMethod& shared, WorkingLayout layout = WorkingLayout::triangle,
      const PermutationSettings* settings = nullptr)
      : workingMatrix(matrix.isDissimilarity(), matrix.getNumberOfObjects(), layout),
        state(matrix.getNumberOfObjects()),
        method(shared.clone()) {
    if (settings != nullptr && settings->membershipFrom > 0)
      partitions = PartitionTally(settings->membershipFrom, settings->membershipTo);
  }
  SimilarityMatrix workingMatrix;
  AgglomerationState state;
  std::unique_ptr<ClusterMethod> method;
  ClusterTally tally;           // of the permutations this job ran
  ClusterTally hierarchyTally;  // of their hierarchies
  PartitionTally partitions;    // of their partitions, with a membership range
};

/// Clusters one permutation and writes its record.
std::unique_ptr<ClusterSolution> runTicket(const ProximityMatrix& matrix, Job& job, Ticket& ticket,
                                           PermutationRecords& records, RunThreads threads, bool tally,
                                           const std::atomic<bool>* abandon = nullptr) {
  const int n = matrix.getNumberOfObjects();
  const auto k = static_cast<std::size_t>(ticket.index);
  auto solution = std::make_unique<ClusterSolution>(n, matrix.getSumOfSquares(), n > 0 ? n - 1 : 0,
                                                    std::move(ticket.permutation), ticket.seed, ticket.identity);
  solution->setPermutationIndex(ticket.index);
  agglomerate(matrix, solution->getPermutation().data(), *job.method, job.workingMatrix, job.state, *solution,
              threads, abandon);
  solution->computeRoundedFit();
  solution->computeSolutionId();
  records.seeds[k] = ticket.seed;
  records.fitValues[k] = solution->getNormalizedSSDif();
  records.correlations[k] = solution->getCopheneticCorrelation();
  records.solutionIds[k] = solution->getSolutionId();
  const std::vector<ClusterKey> keys = clusterKeysOf(*solution);
  const Hierarchy hierarchy = hierarchyOf(*solution, keys);
  records.hierarchyIds[k] = hierarchy.id;
  if (tally) {
    job.tally.add(keys, solution->getNormalizedSSDif());
    job.hierarchyTally.add(hierarchy.clusters, solution->getNormalizedSSDif(), ticket.index);
  }
  job.partitions.add(*solution, ticket.index);
  return solution;
}

void reportPassed(ProgressMonitor& progress, int passed, int total) {
  char status[64];
  std::snprintf(status, sizeof status, "Passed permutations %d/%d", passed, total);
  progress.setStatus(status);
  progress.stepIt();
}

/// One job on the calling thread: the permutations one after another, with
/// the cancellation polled before each.
/// The stop rule of a run that is not a share, or none.
std::optional<StabilityWatch> watchFor(const PermutationSettings& settings) {
  if (settings.stopWhenStable <= 0 || settings.shareCount > 1) return std::nullopt;
  return StabilityWatch(settings.stopWhenStable);
}

void runSequentially(const ProximityMatrix& matrix, Job& job, const PermutationSettings& settings,
                     ProgressMonitor& progress, PermutationResults& results, RunThreads threads) {
  TicketSource source(settings, matrix.getNumberOfObjects());
  std::optional<StabilityWatch> watch = watchFor(settings);
  while (!source.exhausted() && !progress.isCanceled()) {
    Ticket ticket = source.next();
    std::unique_ptr<ClusterSolution> solution;
    try {
      solution = runTicket(matrix, job, ticket, results.records, threads, settings.tallyClusters, settings.abandon);
    } catch (const RunAbandoned&) {
      break;
    } catch (const EKorvanaError& error) {
      throw EPermutationFailed(ticket.index, error.what());
    }
    if (settings.describe) {
      const std::string text = settings.describe(*solution);
      if (settings.sink) settings.sink(ticket.index, text);
      else results.texts.push_back(text);
    }
    keepIfBest(results.solutions, std::move(solution));
    results.completedIndices.push_back(ticket.index);
    results.records.completed = ticket.ordinal + 1;
    reportPassed(progress, ticket.ordinal + 1, settings.permutationCount);
    const auto k = static_cast<std::size_t>(ticket.index);
    if (watch && watch->take(ticket.index, results.records.fitValues[k], results.records.hierarchyIds[k])) {
      results.stoppedAfter = ticket.index;
      break;
    }
  }
}

/// Several jobs, each on a thread of its own. The jobs draw their tickets from
/// one source in sequence order and hand their solutions to a keeper that
/// applies the keeping rule in sequence order; no job runs ahead of the oldest
/// unkept permutation by twice the number of jobs, so at most that many
/// solutions wait (a window of one per job lets a job idle whenever an older
/// permutation runs a little longer). The calling thread reports the progress and
/// passes a cancellation on: every job stops before its next permutation.
class ParallelRun {
 public:
  ParallelRun(const ProximityMatrix& matrix, const PermutationSettings& settings, ProgressMonitor& progress,
              PermutationResults& results)
      : matrix_(matrix), settings_(settings), progress_(progress), results_(results),
        source_(settings, matrix.getNumberOfObjects()), watch_(watchFor(settings)) {}

  /// The permutations that finished after the stable run's stop: their
  /// clusters are in the jobs' tallies and must be taken out again.
  std::vector<std::unique_ptr<ClusterSolution>> takeDiscarded() {
    std::vector<std::unique_ptr<ClusterSolution>> discarded;
    for (auto& [ordinal, finished] : waiting_) discarded.push_back(std::move(finished.solution));
    waiting_.clear();
    return discarded;
  }

  /// Runs the permutations with the jobs given; rethrows the error of the
  /// earliest permutation that failed.
  void run(std::vector<std::unique_ptr<Job>>& jobs) {
    window_ = 2 * static_cast<int>(jobs.size());
    std::vector<std::thread> threads;
    for (auto& job : jobs) {
      {
        std::lock_guard lock(mutex_);
        ++running_;
      }
      try {
        threads.emplace_back([this, &job] { work(*job); });
      } catch (const std::system_error&) {
        std::lock_guard lock(mutex_);
        --running_;
        break;  // the jobs started carry the run
      }
    }
    if (threads.empty()) {
      runSequentially(matrix_, *jobs.front(), settings_, progress_, results_, RunThreads::one);
      return;
    }
    watch();
    for (std::thread& thread : threads) thread.join();
    if (error_) {
      try {
        std::rethrow_exception(error_->second);
      } catch (const EKorvanaError& error) {
        throw EPermutationFailed(error_->first, error.what());
      }
    }
    // Given-up permutations aside, every permutation drawn has finished; those
    // after an abandoned one are not kept, so the run holds a prefix of its
    // share in order.
    int completed = 0;
    for (const int index : finished_) {
      if (index != source_.indexOf(completed)) break;
      ++completed;
    }
    if (results_.stoppedAfter >= 0) completed = kept_;
    results_.records.completed = completed;
    for (int ordinal = 0; ordinal < completed; ++ordinal) results_.completedIndices.push_back(source_.indexOf(ordinal));
  }

 private:
  void work(Job& job) {
    for (;;) {
      Ticket ticket;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] {
          return stop_ || source_.exhausted() || source_.drawn() < kept_ + window_;
        });
        if (stop_ || source_.exhausted()) break;
        ticket = source_.next();
      }
      try {
        auto solution = runTicket(matrix_, job, ticket, results_.records, RunThreads::one, settings_.tallyClusters,
                                  settings_.abandon);
        std::string text = settings_.describe ? settings_.describe(*solution) : std::string();
        std::lock_guard lock(mutex_);
        waiting_.emplace(ticket.ordinal, Finished{std::move(solution), std::move(text)});
        finished_.insert(ticket.index);
        for (auto next = waiting_.begin();
             results_.stoppedAfter < 0 && next != waiting_.end() && next->first == kept_; next = waiting_.begin()) {
          if (settings_.describe) {
            if (settings_.sink) settings_.sink(source_.indexOf(kept_), next->second.text);
            else results_.texts.push_back(std::move(next->second.text));
          }
          const int index = source_.indexOf(kept_);
          keepIfBest(results_.solutions, std::move(next->second.solution));
          waiting_.erase(next);
          ++kept_;
          const auto k = static_cast<std::size_t>(index);
          if (watch_ && watch_->take(index, results_.records.fitValues[k], results_.records.hierarchyIds[k])) {
            results_.stoppedAfter = index;
            stop_ = true;
          }
        }
        ++passed_;
      } catch (const RunAbandoned&) {
        std::lock_guard lock(mutex_);
        stop_ = true;
      } catch (...) {
        std::lock_guard lock(mutex_);
        if (!error_ || ticket.index < error_->first) error_.emplace(ticket.index, std::current_exception());
        stop_ = true;
      }
      changed_.notify_all();
    }
    std::lock_guard lock(mutex_);
    --running_;
    changed_.notify_all();
  }

  /// The calling thread: progress as permutations pass, the cancellation
  /// handed on, until every job has stopped.
  void watch() {
    int reported = 0;
    for (;;) {
      int passed = 0;
      bool done = false;
      {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(100),
                          [&] { return running_ == 0 || passed_ != reported; });
        passed = passed_;
        done = running_ == 0;
      }
      while (reported < passed) reportPassed(progress_, ++reported, settings_.permutationCount);
      if (done) return;
      progress_.processMessages();
      if (progress_.isCanceled()) {
        std::lock_guard lock(mutex_);
        stop_ = true;
        changed_.notify_all();
      }
    }
  }

  const ProximityMatrix& matrix_;
  const PermutationSettings& settings_;
  ProgressMonitor& progress_;
  PermutationResults& results_;

  std::mutex mutex_;
  std::condition_variable changed_;
  TicketSource source_;
  int window_ = 1;
  int kept_ = 0;
  int passed_ = 0;
  int running_ = 0;
  bool stop_ = false;
  struct Finished {
    std::unique_ptr<ClusterSolution> solution;
    std::string text;  // its description, when asked for
  };
  std::map<int, Finished> waiting_;  // by ordinal
  std::set<int> finished_;  // the indices of the permutations that finished

  std::optional<std::pair<int, std::exception_ptr>> error_;
  std::optional<StabilityWatch> watch_;
};

}  // namespace

PermutationResults runPermutations(const ProximityMatrix& matrix, ClusterMethod& method,
                                   const PermutationSettings& settings, ProgressMonitor& progress) {
  checkProximityRange(matrix);
  PermutationResults results;
  results.records.allocate(settings.permutationCount);
  const int jobCount = std::max(1, std::min(settings.jobs, settings.permutationCount));
  const WorkingLayout layout =
      settings.layout.value_or(workingLayoutFor(method, matrix.getNumberOfObjects(), jobCount));
  std::vector<std::unique_ptr<Job>> jobs;
  jobs.push_back(std::make_unique<Job>(matrix, method, layout, &settings));
  // A job whose working matrix cannot be had leaves the run to the others.
  for (int j = 1; j < jobCount; ++j) {
    try {
      jobs.push_back(std::make_unique<Job>(matrix, method, layout, &settings));
    } catch (const std::bad_alloc&) {
      break;
    }
  }
  if (jobs.size() == 1) {
    // A second thread inside each run pays only where cores would otherwise
    // stand idle: more jobs were asked for than there are permutations.
    const RunThreads threads = settings.jobs >= 2 * std::min(settings.jobs, std::max(settings.permutationCount, 1))
                                   ? preferredRunThreads(matrix.getNumberOfObjects())
                                   : RunThreads::one;
    runSequentially(matrix, *jobs.front(), settings, progress, results, threads);
  }
  std::vector<std::unique_ptr<ClusterSolution>> discarded;
  if (jobs.size() > 1) {
    ParallelRun parallel(matrix, settings, progress, results);
    parallel.run(jobs);
    discarded = parallel.takeDiscarded();
  }
  for (const auto& job : jobs) {
    results.tally.merge(job->tally);
    results.hierarchyTally.merge(job->hierarchyTally);
    results.partitions.merge(job->partitions);
  }
  for (const auto& solution : discarded) {
    if (settings.tallyClusters) {
      const std::vector<ClusterKey> keys = clusterKeysOf(*solution);
      results.tally.remove(keys, solution->getNormalizedSSDif());
      results.hierarchyTally.remove(hierarchyOf(*solution, keys).clusters, solution->getNormalizedSSDif());
    }
    results.partitions.remove(*solution);
  }
  return results;
}

namespace {

/// Clusters permutation k again from its record.
std::unique_ptr<ClusterSolution> rerun(const ProximityMatrix& matrix, Job& job, const PermutationSettings& settings,
                                       const PermutationRecords& records, int k) {
  const bool identity = k == 0 && settings.firstPermutationIsIdentity;
  Ticket ticket;
  ticket.index = k;
  ticket.identity = identity;
  ticket.seed = records.seeds[static_cast<std::size_t>(k)];
  ticket.permutation = RandomPermutationGenerator(ticket.seed, matrix.getNumberOfObjects()).nextPermutation(identity);
  PermutationRecords scratch;
  scratch.allocate(k + 1);
  return runTicket(matrix, job, ticket, scratch, RunThreads::one, false);
}

/// The majority-rule consensus of a census of hierarchies. The objects of
/// each cluster are read off the first permutation whose hierarchy holds it:
/// a kept solution where one is that permutation, else the permutation
/// clustered again.
Consensus consensusOf(const ClusterCensus& census, const ProximityMatrix& matrix, ClusterMethod& method,
                      const PermutationSettings& settings, const PermutationResults& results) {
  Consensus consensus;
  if (census.permutations == 0) return consensus;
  std::map<int, std::vector<ClusterKey>> wanted;  // by first permutation
  for (const auto& [key, count] : census.counts) {
    if (2 * static_cast<std::uint64_t>(count.count) <= static_cast<std::uint64_t>(census.permutations)) continue;
    if (count.first < 0 || count.first >= results.records.completed) return consensus;  // not to be found again
    wanted[count.first].push_back(key);
  }
  std::unique_ptr<Job> job;
  for (const auto& [k, keys] : wanted) {
    const ClusterSolution* solution = nullptr;
    for (const auto& kept : results.solutions)
      if (kept->getPermutationIndex() == k) solution = kept.get();
    std::unique_ptr<ClusterSolution> again;
    if (solution == nullptr) {
      if (!job) job = std::make_unique<Job>(matrix, method, workingLayoutFor(method, matrix.getNumberOfObjects(), 1));
      again = rerun(matrix, *job, settings, results.records, k);
      solution = again.get();
    }
    const std::unordered_set<ClusterKey, ClusterKeyHash> sought(keys.begin(), keys.end());
    const std::vector<ClusterKey> stageKeys = clusterKeysOf(*solution);
    const int n = solution->getObjectCount();
    MemberLists members(n);
    for (int t = 0; t < solution->getStageCount(); ++t) {
      members.join(solution->getCluster1(t), solution->getCluster2(t));
      const ClusterKey& key = stageKeys[static_cast<std::size_t>(t)];
      if (sought.count(key) == 0) continue;
      ConsensusCluster cluster;
      members.forEach(solution->getCluster1(t), [&](int object) { cluster.objects.push_back(object); });
      std::sort(cluster.objects.begin(), cluster.objects.end());
      cluster.support = census.share(key);
      consensus.clusters.push_back(std::move(cluster));
    }
  }
  std::sort(consensus.clusters.begin(), consensus.clusters.end(), [](const auto& a, const auto& b) {
    return a.objects.size() != b.objects.size() ? a.objects.size() < b.objects.size() : a.objects < b.objects;
  });
  consensus.known = true;
  return consensus;
}

}  // namespace

void clusterPermutationsAgain(const ProximityMatrix& matrix, ClusterMethod& method, const PermutationSettings& settings,
                              const PermutationResults& results, const std::vector<int>& permutations,
                              const std::function<void(const ClusterSolution&)>& take) {
  std::unique_ptr<Job> job;
  for (const int k : permutations) {
    const ClusterSolution* kept = nullptr;
    for (const auto& solution : results.solutions)
      if (solution->getPermutationIndex() == k) kept = solution.get();
    if (kept != nullptr) {
      take(*kept);
      continue;
    }
    if (!job) job = std::make_unique<Job>(matrix, method);
    const std::unique_ptr<ClusterSolution> again = rerun(matrix, *job, settings, results.records, k);
    take(*again);
  }
}

SupportReport reportSupport(const ProximityMatrix& matrix, ClusterMethod& method, const PermutationSettings& settings,
                            const PermutationResults& results) {
  SupportReport report;
  const PermutationRecords& records = results.records;
  const double keptFit =
      results.solutions.empty() ? std::numeric_limits<double>::quiet_NaN() : results.solutions.front()->getNormalizedSSDif();
  const auto bestFitting = [&](int k) {
    const double fit = records.fitValues[static_cast<std::size_t>(k)];
    return fit == keptFit || (std::isnan(fit) && std::isnan(keptFit));
  };
  report.all = countDistinctSolutions(records, [](int) { return true; });
  report.best = countDistinctSolutions(records, bestFitting);
  report.hierarchiesAll = countDistinct(records.hierarchyIds, records.completed, [](int) { return true; });
  report.hierarchiesBest = countDistinct(records.hierarchyIds, records.completed, bestFitting);

  const ClusterCensus* best = results.tally.at(keptFit);
  const ClusterCensus* bestHierarchies = results.hierarchyTally.at(keptFit);
  ClusterCensus recounted;
  ClusterCensus recountedHierarchies;
  if ((best == nullptr || bestHierarchies == nullptr) && results.tallyComplete) {
    Job job(matrix, method, workingLayoutFor(method, matrix.getNumberOfObjects(), 1));
    for (int k = 0; k < records.completed; ++k) {
      if (!bestFitting(k)) continue;
      const std::unique_ptr<ClusterSolution> solution = rerun(matrix, job, settings, records, k);
      const std::vector<ClusterKey> keys = clusterKeysOf(*solution);
      recounted.add(keys);
      recountedHierarchies.add(hierarchyOf(*solution, keys).clusters, k);
    }
    best = &recounted;
    bestHierarchies = &recountedHierarchies;
  }
  const double unknown = std::numeric_limits<double>::quiet_NaN();
  for (const auto& solution : results.solutions) {
    const std::vector<ClusterKey> keys = clusterKeysOf(*solution);
    const Hierarchy hierarchy = hierarchyOf(*solution, keys);
    std::vector<StageSupport> stages;
    std::vector<StageSupport> hierarchyStages;
    for (std::size_t t = 0; t < keys.size(); ++t) {
      const ClusterKey& key = keys[t];
      stages.push_back(results.tallyComplete ? StageSupport{results.tally.all().share(key), best->share(key)}
                                             : StageSupport{unknown, unknown});
      hierarchyStages.push_back(results.tallyComplete && !hierarchy.folded[t]
                                    ? StageSupport{results.hierarchyTally.all().share(key), bestHierarchies->share(key)}
                                    : StageSupport{unknown, unknown});
    }
    report.solutions.push_back(std::move(stages));
    report.solutionHierarchies.push_back(hierarchy.id);
    report.folded.push_back(hierarchy.folded);
    report.hierarchySupport.push_back(std::move(hierarchyStages));
  }
  if (results.tallyComplete) {
    report.consensusAll = consensusOf(results.hierarchyTally.all(), matrix, method, settings, results);
    report.consensusBest = consensusOf(*bestHierarchies, matrix, method, settings, results);
  }
  return report;
}

}  // namespace korvana
