// run(): the engine's permutation run, support report, best-fit history,
// verdict and order-free tree, taken into the library's plain types the way
// the results file takes them.
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <ctime>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>

#include "common/EAnalysisCanceledException.h"
#include "common/EKorvanaError.h"
#include "common/ScientificFormat.h"
#include "engine/BestFitHistory.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/PermutationRun.h"
#include "engine/ProgressMonitor.h"
#include "engine/ProximityMatrix.h"
#include "engine/VariableGroupAgglomeration.h"
#include "include/korvana/korvana.h"
#include "library/Keywords.h"
#include "output/Newick.h"
#include "output/Verdict.h"

namespace korvana::api {

namespace {

/// The shared method instances, made once; each run clones its own.
const std::vector<ClusterMethod*>& methods() {
  static std::once_flag made;
  std::call_once(made, [] {
    if (ClusterMethodFactory::getClusterMethods().empty()) ClusterMethodFactory::createClusterMethods();
  });
  static const std::vector<ClusterMethod*> all = ClusterMethodFactory::getClusterMethods();
  return all;
}

std::unique_ptr<ClusterMethod> methodFor(const std::string& keyword) {
  for (const ClusterMethod* method : methods())
    if (method->getKeyword() == keyword) return method->clone();
  throw InvalidInput("Unknown method '" + keyword + "': use one of " + joinedWords(methodKeywords()));
}

/// The progress a run reports, handed to the request's callback; canceled
/// once the request's flag is set.
class CallbackProgress final : public ProgressMonitor {
 public:
  explicit CallbackProgress(const Request& request) : request_(request) {}
  void setSteps(const std::vector<std::string>&) override {}
  void setStep(int, int, int) override {}
  void setStatus(const std::string&) override {}
  void stepIt() override {
    ++completed_;
    if (request_.progress) request_.progress(completed_, request_.permutations);
  }
  bool isCanceled() override { return request_.cancel != nullptr && request_.cancel->load(); }
  void showProgress() override {}
  void hideProgress() override {}

 private:
  const Request& request_;
  int completed_ = 0;
};

Accounting accountingOf(const DistinctSolutions& d) {
  return {d.permutations, d.distinct, d.seenOnce, d.seenTwice, d.estimatedTotal, d.curve};
}

Consensus consensusOf(const korvana::Consensus& consensus, const ProximityMatrix& matrix) {
  Consensus result;
  result.known = consensus.known;
  if (!consensus.known) return result;
  for (const korvana::ConsensusCluster& cluster : consensus.clusters)
    result.clusters.push_back({cluster.objects, cluster.support});
  result.newick = consensusNewickOf(consensus, matrix);
  return result;
}

/// The schedule and fit of a solution (binary form of a tree included).
Solution scheduleOf(const ClusterSolution& solution, double sumOfSquares) {
  Solution s;
  s.id = solutionIdText(solution.getSolutionId());
  s.permutation = solution.getPermutationIndex() + 1;
  s.identity = solution.isIdentityPermutation();
  s.seed = s.identity ? 0 : solution.getSeed();
  s.normalizedSSDif = solution.getNormalizedSSDif();
  s.ssdif = roundToSignificantDigits(ssdifOf(s.normalizedSSDif, sumOfSquares), 13);
  s.copheneticCorrelation = reportedCorrelation(solution.getCopheneticCorrelation());
  for (int t = 0; t < solution.getStageCount(); ++t) {
    s.cluster1.push_back(solution.getCluster1(t));
    s.cluster2.push_back(solution.getCluster2(t));
    s.coefficient.push_back(solution.getCoefficient(t));
    s.height.push_back(solution.getHeight(t));
  }
  s.folded = foldedStages(solution);
  return s;
}

Permutations permutationsOf(const PermutationRecords& records, bool firstIsIdentity, double sumOfSquares) {
  Permutations p;
  for (int k = 0; k < records.completed; ++k) {
    const auto uk = static_cast<std::size_t>(k);
    const bool identity = k == 0 && firstIsIdentity;
    p.permutation.push_back(k + 1);
    p.identity.push_back(identity ? 1 : 0);
    p.seed.push_back(identity ? 0 : records.seeds[uk]);
    p.solution.push_back(solutionIdText(records.solutionIds[uk]));
    p.hierarchy.push_back(solutionIdText(records.hierarchyIds[uk]));
    p.normalizedSSDif.push_back(records.fitValues[uk]);
    p.ssdif.push_back(roundToSignificantDigits(ssdifOf(records.fitValues[uk], sumOfSquares), 13));
    p.copheneticCorrelation.push_back(reportedCorrelation(records.correlations[uk]));
  }
  return p;
}

/// The kept solutions as the request shows them: every merge order, or the
/// first of each hierarchy with the others listed.
std::vector<Solution> solutionsOf(const PermutationResults& results, const SupportReport& support,
                                  const ProximityMatrix& matrix, const Request& request) {
  std::vector<Solution> shown;
  const auto& kept = results.solutions;
  for (std::size_t k = 0; k < kept.size(); ++k) {
    const ClusterSolution& solution = *kept[k];
    const std::string hierarchy = solutionIdText(support.solutionHierarchies.at(k));
    if (request.solutions == SolutionsShown::hierarchies) {
      bool listed = false;
      for (Solution& first : shown)
        if (first.hierarchy == hierarchy) {
          first.others.push_back({solutionIdText(solution.getSolutionId()), solution.getPermutationIndex() + 1,
                                  solution.isIdentityPermutation(),
                                  solution.isIdentityPermutation() ? 0 : solution.getSeed()});
          listed = true;
          break;
        }
      if (listed) continue;
    }
    Solution s = scheduleOf(solution, matrix.getSumOfSquares());
    s.hierarchy = hierarchy;
    const std::vector<StageSupport>& stages = support.solutions.at(k);
    s.newick = newickOf(solution, matrix, stages);
    s.hierarchyNewick = hierarchyNewickOf(solution, matrix, support.folded.at(k), &support.hierarchySupport.at(k));
    if (request.support) {
      for (std::size_t t = 0; t < stages.size(); ++t) {
        s.supportAll.push_back(stages[t].all);
        s.supportBest.push_back(stages[t].best);
        s.hierarchySupportAll.push_back(support.hierarchySupport.at(k).at(t).all);
        s.hierarchySupportBest.push_back(support.hierarchySupport.at(k).at(t).best);
      }
    }
    shown.push_back(std::move(s));
  }
  return shown;
}

OrderFreeTree orderFreeOf(const korvana::OrderFreeTree& tree, const ProximityMatrix& matrix) {
  OrderFreeTree result;
  for (const korvana::OrderFreeMerge& merge : tree.getMerges())
    result.merges.push_back({merge.clusters, merge.height, merge.lowest, merge.highest});
  result.normalizedSSDif = tree.getNormalizedSSDif();
  result.ssdif = roundToSignificantDigits(ssdifOf(result.normalizedSSDif, tree.getSumOfSquares()), 13);
  result.copheneticCorrelation = tree.getCopheneticCorrelation();
  result.hierarchy = solutionIdText(tree.hierarchyId());
  result.newick = newickOf(tree, matrix);
  result.binaryForm = scheduleOf(tree.getBinaryForm(), matrix.getSumOfSquares());
  return result;
}

/// The engine's matrix, described as a matrix read from a data file is.
void fill(ProximityMatrix& target, const Matrix& matrix) {
  if (matrix.objects < 2) throw InvalidInput("A proximity matrix needs at least 2 objects, not " +
                                             std::to_string(matrix.objects));
  if (!matrix.labels.empty() && matrix.labels.size() != static_cast<std::size_t>(matrix.objects))
    throw InvalidInput("Expected " + std::to_string(matrix.objects) + " labels, not " +
                       std::to_string(matrix.labels.size()));
  try {
    target.assignLowerTriangle(matrix.objects, matrix.lower);
  } catch (const EKorvanaError& error) {
    throw InvalidInput(error.what());
  }
  target.setIsDissimilarity(!matrix.similarity);
  target.setHasCaseNumbers(true);
  target.setHasObjectLabels(!matrix.labels.empty());
  for (int i = 0; i < matrix.objects && !matrix.labels.empty(); ++i)
    target.getRow(i).setLabel(matrix.labels[static_cast<std::size_t>(i)]);
}

}  // namespace

std::vector<std::string> methodKeywords() {
  std::vector<std::string> words;
  for (const ClusterMethod* method : methods()) words.push_back(method->getKeyword());
  return words;
}

Result run(const Matrix& matrix, const Request& request) {
  std::unique_ptr<ClusterMethod> method = methodFor(request.method);
  if (request.permutations < 1)
    throw InvalidInput("The number of permutations must be at least 1, not " + std::to_string(request.permutations));
  if (request.jobs < 0) throw InvalidInput("The number of jobs cannot be negative: " + std::to_string(request.jobs));
  if (request.seed && (*request.seed < std::numeric_limits<std::int32_t>::min() ||
                       *request.seed > std::numeric_limits<std::int32_t>::max()))
    throw InvalidInput("The seed " + std::to_string(*request.seed) + " is not a 32-bit integer");
  ProximityMatrix proximities;
  fill(proximities, matrix);

  PermutationSettings settings;
  settings.permutationCount = request.permutations;
  settings.firstPermutationIsIdentity = request.identity;
  settings.seed = request.seed ? static_cast<std::int32_t>(*request.seed) : static_cast<std::int32_t>(std::time(nullptr));
  settings.jobs = request.jobs > 0 ? request.jobs : preferredJobs();
  settings.tallyClusters = true;
  settings.abandon = request.cancel;
  CallbackProgress progress(request);
  PermutationResults results;
  try {
    results = runPermutations(proximities, *method, settings, progress);
  } catch (const EKorvanaError& error) {
    throw InvalidInput(error.what());
  }
  const SupportReport support = reportSupport(proximities, *method, settings, results);
  const BestFitHistory history = bestFitHistoryOf(results.records);

  Result result;
  result.method = method->getKeyword();
  result.similarity = matrix.similarity;
  result.objects = matrix.objects;
  result.labels = matrix.labels;
  result.seed = settings.seed;
  result.completed = results.records.completed;
  result.canceled = results.records.completed < request.permutations;
  result.permutations = permutationsOf(results.records, request.identity, proximities.getSumOfSquares());
  result.solutions = solutionsOf(results, support, proximities, request);
  result.distinctSolutionsAll = accountingOf(support.all);
  result.distinctSolutionsBest = accountingOf(support.best);
  result.distinctHierarchiesAll = accountingOf(support.hierarchiesAll);
  result.distinctHierarchiesBest = accountingOf(support.hierarchiesBest);
  result.consensusAll = consensusOf(support.consensusAll, proximities);
  result.consensusBest = consensusOf(support.consensusBest, proximities);
  result.bestFit.value = history.value;
  result.bestFit.firstReachedAt = history.firstReachedAt + 1;
  result.bestFit.reachedBy = history.reachedBy;
  for (const korvana::BestFitRecord& record : history.records)
    result.bestFit.records.push_back({record.permutation + 1, record.normalizedSSDif});
  if (!results.solutions.empty()) result.verdict = verdictText(support, &history);

  if (request.orderFree && !result.canceled) {
    try {
      const korvana::OrderFreeTree tree = buildOrderFreeTree(proximities, *method, nullptr, [&progress] {
        return progress.isCanceled();
      });
      result.orderFree = orderFreeOf(tree, proximities);
    } catch (const EAnalysisCanceledException&) {
      result.canceled = true;
    } catch (const EKorvanaError& error) {
      result.orderFreeProblem = error.what();
    }
  }
  return result;
}

Result runWatched(const Matrix& matrix, Request request, const std::function<bool()>& watch) {
  std::atomic<bool> cancel{false};
  request.cancel = &cancel;
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  Result result;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      result = run(matrix, request);
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard lock(mutex);
    done = true;
    finished.notify_all();
  });
  for (bool stop = false; !stop;) {
    {
      std::unique_lock lock(mutex);
      stop = finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; });
    }
    if (!cancel.load() && watch()) cancel.store(true);
  }
  worker.join();
  if (failure) std::rethrow_exception(failure);
  return result;
}

}  // namespace korvana::api
