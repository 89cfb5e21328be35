// One analysis request and the whole run that carries it out: the proximity
// matrix (computed by the statistics package through PROXIMITIES, or read from
// the user's matrix file), the permutation run of the engine, the optional
// fit table file and the output, in the output document's fixed order. The
// fit, seed and solution id of every permutation are kept, together with the
// distinct solutions that share the best (lowest) rounded normalized SSDif.
//
// The settings are given through setters before the analysis is run.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "analysis/AnalysisRequest.h"
#include "engine/ClusterSolution.h"
#include "engine/OrderFreeTree.h"
#include "engine/PartitionStability.h"
#include "engine/PermutationRun.h"
#include "engine/ProgressMonitor.h"
#include "engine/ProximityMatrix.h"
#include "proximity/ProximitiesCommand.h"

namespace korvana {

class ClusterMethod;
class Measure;
class PendingFile;
class StandardizeMethod;
class Variable;

class ClusterAnalysis {
 public:
  /// Said where the method expects squared Euclidean distances and may not
  /// have them.
  static constexpr const char* squaredEuclideanWarning =
      "The squared Euclidean interval measure should be used when CENTROID, MEDIAN, or Ward cluster method is "
      "requested.";

  /// The method is a shared instance, borrowed, not owned. The application
  /// is the statistics package the run writes its output into (the analysis
  /// holds its own reference); the permutation run alone needs none.
  ClusterAnalysis(ClusterMethod& method, AnalysisType analysisType, int permutationCount,
                  automation::AutomationPtr<Spsswin_tlb::ISpssApp> application = {});
  ~ClusterAnalysis();
  ClusterAnalysis(const ClusterAnalysis&) = delete;
  ClusterAnalysis& operator=(const ClusterAnalysis&) = delete;

  void setMatrixFileName(std::string fileName) { matrixFileName_ = std::move(fileName); }
  void setTemporaryFileName(std::string fileName) { temporaryFileName_ = std::move(fileName); }
  void setView(ClusterView view) { view_ = view; }
  void setFirstPermutationIsIdentity(bool value) { firstPermutationIsIdentity_ = value; }
  void setSeed(std::int32_t seed) { seed_ = seed; }
  /// The start seed was taken from the clock (the output says so).
  void setSeedFromClock(bool value) { seedFromClock_ = value; }
  void setPrintProximityMatrix(bool value) { printProximityMatrix_ = value; }
  void setShowPermutationFit(bool value) { showPermutationFit_ = value; }
  void setShowObjectOrder(bool value) { showObjectOrder_ = value; }
  void setShowAgglomerationSchedule(bool value) { showAgglomerationSchedule_ = value; }
  void setShowDendrogram(bool value) { showDendrogram_ = value; }
  void setSaveFitTable(bool value) { saveFitTable_ = value; }
  void setFitTableFileName(std::string fileName) { fitTableFileName_ = std::move(fileName); }
  /// How many permutations run at once (1 by default); the results do not
  /// depend on it.
  void setJobs(int jobs) { jobs_ = jobs > 0 ? jobs : 1; }
  /// Writes the "Distinct Solutions" table and each solution's "Cluster
  /// Support" table (and counts the clusters for them).
  void setClusterSupport(bool value) { clusterSupport_ = value; }
  /// Every distinct merge order (the default), or one solution per
  /// hierarchy: the first kept merge order that has it, with the others that
  /// share it listed.
  void setSolutionsShown(SolutionsShown value) { solutionsShown_ = value; }
  /// Stops the permutations once neither the best fit nor the best-fitting
  /// hierarchies changed in this many of them (0: never; the permutation
  /// count is then the most that run).
  void setStopWhenStable(int window) { stopWhenStable_ = window > 0 ? window : 0; }
  int getStopWhenStable() const { return stopWhenStable_; }
  /// The permutation after which a stable run stopped, −1 when it did not.
  int getStoppedAfter() const { return results_.stoppedAfter; }
  /// Builds the order-free tree after the permutations and writes its
  /// "Order-Free Tree" section after theirs.
  void setOrderFreeTree(bool value) { orderFreeTreeWanted_ = value; }
  /// Runs the permutations in place of the engine's runPermutations (with the
  /// same contract), for a run spread over processes.
  using PermutationRunner = std::function<PermutationResults(const ProximityMatrix&, ClusterMethod&,
                                                             const PermutationSettings&, ProgressMonitor&)>;
  void setPermutationRunner(PermutationRunner runner) { runner_ = std::move(runner); }
  /// Counts the clusters of every permutation's tree, for getSupportReport,
  /// whether or not the output shows the support.
  void setCountClusters(bool value) { countClusters_ = value; }
  /// Writes every completed permutation's hierarchy as a line of Newick into
  /// this file, in permutation order, while the permutations run; it
  /// replaces the file atomically when commitTreesFile is called. Empty (the
  /// default): no such file.
  void setTreesFileName(std::string fileName) { treesFileName_ = std::move(fileName); }
  const std::string& getTreesFileName() const { return treesFileName_; }
  /// Cuts the shown solutions into from … to clusters ("Cluster Membership"
  /// tables, one per shown solution) and counts the permutations' partitions
  /// for the "Partition Stability" table; 0, 0 (the default): none. The run
  /// refuses a range outside 2 … n − 1 for n objects.
  void setMembershipRange(int from, int to) {
    membershipFrom_ = from;
    membershipTo_ = to;
  }
  int getMembershipFrom() const { return membershipFrom_; }
  int getMembershipTo() const { return membershipTo_; }
  /// Saves the memberships with the data (.sav, or .csv by the name's
  /// extension) after the output; empty (the default): not saved.
  void setMembershipFileName(std::string fileName) { membershipFileName_ = std::move(fileName); }
  const std::string& getMembershipFileName() const { return membershipFileName_; }
  /// Puts the trees file of a completed or canceled run in place (once the
  /// run's other files are); without this call it is removed again.
  void commitTreesFile();
  // The proximities command's choices. Variables, measure and
  // standardization are borrowed: they outlive the analysis.
  void addClusterVariable(const Variable& variable) { clusterVariables_.push_back(&variable); }
  void setLabelVariable(const Variable* variable) { labelVariable_ = variable; }
  void setMeasure(Measure* measure) { measure_ = measure; }
  void setStandardizeMethod(StandardizeMethod* method) { standardizeMethod_ = method; }

  /// The progress display driven by the run (borrowed); none by default.
  void setProgressMonitor(ProgressMonitor* progress) { progress_ = progress ? progress : &silentProgress_; }

  /// Reserves a new temporary file for the matrix the package writes
  /// (prefix "kvana", owner-only, in the temporary folder) and returns its
  /// name; empty when none could be made.
  static std::string makeTemporaryMatrixFileName();
  /// The PROXIMITIES command for the chosen variables, view, measure,
  /// standardization, label variable and printing, writing the matrix to the
  /// matrix file name.
  std::wstring buildProximitiesCommand() const;

  /// The whole analysis (the proximities command or the matrix file, the
  /// permutations, the fit table, the output): returns normally after a
  /// completed run, a matrix that could not be read, a failed save of the fit
  /// table and a cancellation (each recorded in the output); any other error
  /// leaves it. Needs the application given at construction.
  void run();
  /// How the last run ended.
  enum class RunOutcome { notRun, completed, matrixNotLoaded, fitTableNotSaved, membershipNotSaved, canceled };
  RunOutcome getRunOutcome() const { return runOutcome_; }

  /// Clusters the loaded matrix once per permutation (the engine's
  /// permutation run). Stops before a permutation once the progress monitor
  /// reports a cancellation; the arrays then hold the permutations that ran
  /// (getCompletedPermutations). Throws EKorvanaError for proximities outside
  /// ±1e50 (or infinite), for a run checkMemory refuses, and for a run that
  /// outgrows the memory as it goes (the distinct best solutions it keeps
  /// grow with the ties), saying so.
  void runPermutations();
  /// Builds the order-free tree of the loaded matrix with the method (see
  /// VariableGroupAgglomeration.h). A matrix the tree cannot be built for (a
  /// proximity that is not a number) leaves no tree and the reason in
  /// getOrderFreeTreeProblem; a cancellation raises EAnalysisCanceledException.
  void computeOrderFreeTree();

  /// The memory a run of n objects and P permutations needs beyond the
  /// matrix: the permutation run (with the clusters tallied when they are
  /// counted) and, when shown, the rows of the permutation fit table in the
  /// output. With matrixToBeMade, the memory of the whole run from before the
  /// matrix exists: the proximity matrix too, and the matrix file where the
  /// temporary folder keeps its files in memory (the run holds no more at any
  /// time: the package writes the file a block of rows at a time).
  static std::uint64_t memoryNeeded(int objectCount, int permutationCount, bool showPermutationFit, int jobs = 1,
                                    bool countsClusters = false, bool matrixToBeMade = false, int cuts = 0);
  /// Throws EKorvanaError when that memory is not available, saying what the
  /// run needs, what takes it, what there is and what would fit: fewer jobs
  /// (each holds a working matrix of its own) or fewer permutations.
  static void checkMemory(int objectCount, int permutationCount, bool showPermutationFit, int jobs = 1,
                          bool countsClusters = false, bool matrixToBeMade = false, int cuts = 0);
  /// checkMemory for the whole run before it starts, for the objects the
  /// matrix will have: the cases (or the cluster variables) of the data set,
  /// or the objects of the matrix file, with the tallies the options set so
  /// far ask for. Needs the application given at construction for an
  /// analysis of data; a matrix file that cannot be opened is left for the
  /// run to report.
  void checkMemoryForRun() const;

  /// Writes the fit of every permutation as a data file (fitTableFileName).
  /// Raises EKorvanaError on failure.
  void savePermutationFitTable();
  /// Writes the memberships of the shown solutions with the data of `data`
  /// (its cases, when the objects are its cases) or one case per object
  /// (membershipFileName). Raises EKorvanaError on failure.
  void saveMembership(Spsswin_tlb::ISpssDataDoc* data);

  ClusterMethod& getMethod() const { return method_; }
  Spsswin_tlb::ISpssApp* getApplication() const { return application_.get(); }
  ProgressMonitor& getProgressMonitor() const { return *progress_; }
  AnalysisType getAnalysisType() const { return analysisType_; }
  int getPermutationCount() const { return permutationCount_; }
  int getJobs() const { return jobs_; }
  bool getClusterSupport() const { return clusterSupport_; }
  SolutionsShown getSolutionsShown() const { return solutionsShown_; }
  bool getOrderFreeTreeWanted() const { return orderFreeTreeWanted_; }
  /// The order-free tree once computeOrderFreeTree built it, else null.
  const OrderFreeTree* getOrderFreeTree() const { return orderFreeTree_ ? &*orderFreeTree_ : nullptr; }
  /// Why computeOrderFreeTree built none; empty otherwise.
  const std::string& getOrderFreeTreeProblem() const { return orderFreeTreeProblem_; }
  /// The support of the kept solutions' stages and the distinct-solution
  /// accounting, once the permutations ran with the clusters counted.
  const std::optional<SupportReport>& getSupportReport() const { return support_; }
  /// The stability of the best solution's partitions, per k of the
  /// membership range, once the permutations ran; empty when it is not
  /// known.
  const std::vector<PartitionStability>& getPartitionStability() const { return stability_; }
  /// The kept solutions the output shows (one per hierarchy when so asked),
  /// in the order they were found.
  std::vector<const ClusterSolution*> getShownSolutions() const;
  int getCompletedPermutations() const { return results_.records.completed; }
  const std::string& getMatrixFileName() const { return matrixFileName_; }
  const std::string& getTemporaryFileName() const { return temporaryFileName_; }
  const std::vector<const Variable*>& getClusterVariables() const { return clusterVariables_; }
  const Variable* getLabelVariable() const { return labelVariable_; }
  Measure* getMeasure() const { return measure_; }
  StandardizeMethod* getStandardizeMethod() const { return standardizeMethod_; }
  ClusterView getView() const { return view_; }
  bool getFirstPermutationIsIdentity() const { return firstPermutationIsIdentity_; }
  std::int32_t getSeed() const { return seed_; }
  bool getSeedFromClock() const { return seedFromClock_; }
  /// The visible line of the start seed and how to repeat the run.
  std::string startSeedText() const;
  /// The method expects squared Euclidean distances and the proximities are
  /// not known to be such: from the data, the measure; from a matrix file,
  /// its label once read.
  bool proximitiesMisfitMethod() const;
  bool getPrintProximityMatrix() const { return printProximityMatrix_; }
  bool getShowPermutationFit() const { return showPermutationFit_; }
  bool getShowObjectOrder() const { return showObjectOrder_; }
  bool getShowAgglomerationSchedule() const { return showAgglomerationSchedule_; }
  bool getShowDendrogram() const { return showDendrogram_; }
  bool getSaveFitTable() const { return saveFitTable_; }
  const std::string& getFitTableFileName() const { return fitTableFileName_; }

  ProximityMatrix& getMatrix() { return matrix_; }
  const ProximityMatrix& getMatrix() const { return matrix_; }
  /// The distinct best solutions, in the order they were found.
  const std::vector<std::unique_ptr<ClusterSolution>>& getSolutions() const { return results_.solutions; }
  /// Hands the kept solutions over (the output destroys each after writing it).
  std::vector<std::unique_ptr<ClusterSolution>> takeSolutions() { return std::move(results_.solutions); }
  /// The records of every permutation (room for all once the run started).
  const PermutationRecords& getRecords() const { return results_.records; }
  const std::vector<double>& getFitValues() const { return results_.records.fitValues; }
  const std::vector<double>& getCorrelations() const { return results_.records.correlations; }
  const std::vector<std::int32_t>& getSeeds() const { return results_.records.seeds; }
  const std::vector<SolutionId>& getSolutionIds() const { return results_.records.solutionIds; }

 private:
  /// Writes the method's output: headings, warning, tables and dendrograms of
  /// the solutions (each destroyed once written); raises
  /// EAnalysisCanceledException when the user cancels between steps.
  void produceOutput(Spsswin_tlb::ISpssOutputDoc* document);
  /// The kept solutions the output shows, each with the others that share
  /// its hierarchy when one is shown per hierarchy (indices into the kept
  /// solutions, in the order they were found).
  std::vector<std::vector<std::size_t>> shownSolutions() const;
  /// The steps of the output's progress.
  int outputSteps() const;
  /// Whether the run tallies the clusters: for the support, the count of
  /// distinct solutions or one solution shown per hierarchy.
  bool talliesClusters() const;
  /// The verdict opens the output when the clusters were counted for it.
  bool verdictShown() const;
  /// The "Order-Free Tree" section, with `check` between its steps.
  void produceOrderFreeOutput(Spsswin_tlb::ISpssOutputDoc* document, const std::function<void()>& check);

  ClusterMethod& method_;
  automation::AutomationPtr<Spsswin_tlb::ISpssApp> application_;
  int permutationCount_;
  AnalysisType analysisType_;
  std::string temporaryFileName_;
  std::string matrixFileName_;
  ClusterView view_ = ClusterView::cases;
  bool firstPermutationIsIdentity_ = true;
  std::int32_t seed_ = 7;
  bool seedFromClock_ = false;
  bool printProximityMatrix_ = false;
  bool showPermutationFit_ = false;
  bool showObjectOrder_ = false;
  bool showAgglomerationSchedule_ = false;
  bool showDendrogram_ = false;
  bool saveFitTable_ = false;
  int jobs_ = 1;
  bool clusterSupport_ = false;
  SolutionsShown solutionsShown_ = SolutionsShown::orders;
  int stopWhenStable_ = 0;
  bool countClusters_ = false;
  bool orderFreeTreeWanted_ = false;
  std::string fitTableFileName_;
  std::string treesFileName_;
  std::unique_ptr<PendingFile> treesFile_;
  std::vector<const Variable*> clusterVariables_;
  const Variable* labelVariable_ = nullptr;
  Measure* measure_ = nullptr;
  StandardizeMethod* standardizeMethod_ = nullptr;

  ProximityMatrix matrix_;
  PermutationResults results_;
  std::optional<SupportReport> support_;
  std::vector<PartitionStability> stability_;
  int membershipFrom_ = 0;
  int membershipTo_ = 0;
  std::string membershipFileName_;
  std::optional<OrderFreeTree> orderFreeTree_;
  std::string orderFreeTreeProblem_;
  PermutationRunner runner_;
  RunOutcome runOutcome_ = RunOutcome::notRun;

  SilentProgress silentProgress_;
  ProgressMonitor* progress_ = &silentProgress_;
};

}  // namespace korvana
