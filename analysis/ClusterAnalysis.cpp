#include "analysis/ClusterAnalysis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "SPSS/AutomationText.h"
#include "analysis/Variable.h"
#include "common/EAnalysisCanceledException.h"
#include "common/EKorvanaError.h"
#include "common/AtomicFile.h"
#include "common/SystemMemory.h"
#include "analysis/MembershipFile.h"
#include "datafile/PermutationFitTableFile.h"
#include "datafile/ProximityMatrixFile.h"
#include "engine/ClusterMethod.h"
#include "engine/VariableGroupAgglomeration.h"
#include "output/AutomationCallChecks.h"
#include "output/DendrogramSvg.h"
#include "output/Newick.h"
#include "output/OutputGraphics.h"
#include "output/OutputFactory.h"
#include "output/Verdict.h"
#include "engine/BestFitHistory.h"
#include "proximity/BinaryMeasure.h"
#include "platform/host/TemporaryFiles.h"

namespace korvana {

namespace {

using automation::AutomationPtr;
using Spsswin_tlb::ISpssDataDoc;
using Spsswin_tlb::ISpssDocuments;
using Spsswin_tlb::ISpssOutputDoc;

/// Shows the busy cursor for as long as it lives, unless restored earlier.
class BusyCursor {
 public:
  explicit BusyCursor(ProgressMonitor& progress) : progress_(progress) { progress_.showBusyCursor(); }
  ~BusyCursor() { restore(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
  void restore() {
    if (shown_) progress_.restoreCursor();
    shown_ = false;
  }

 private:
  ProgressMonitor& progress_;
  bool shown_ = true;
};

/// Removes the temporary matrix file when the run ends however it ends, or
/// earlier once the matrix is read.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() { remove(); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  void hold(const std::string& path) { path_ = path; }
  void remove() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    path_.clear();
  }

 private:
  std::string path_;
};

/// The designated output document with its visible flag set, as every
/// obtaining of it does.
AutomationPtr<ISpssOutputDoc> designatedOutputDocument(Spsswin_tlb::ISpssApp* application) {
  AutomationPtr<ISpssOutputDoc> document;
  ASSERT_INTF(application);
  if (application != nullptr) HRCHECK(application->GetDesignatedOutputDoc(document.put()));
  if (document) document->put_Visible(1);
  return document;
}

}  // namespace

ClusterAnalysis::ClusterAnalysis(ClusterMethod& method, AnalysisType analysisType, int permutationCount,
                                 automation::AutomationPtr<Spsswin_tlb::ISpssApp> application)
    : method_(method),
      application_(std::move(application)),
      permutationCount_(permutationCount),
      analysisType_(analysisType) {
  if (permutationCount < 1)
    throw EKorvanaError("The number of permutations must be at least 1, not " + std::to_string(permutationCount));
}

ClusterAnalysis::~ClusterAnalysis() = default;

std::string ClusterAnalysis::makeTemporaryMatrixFileName() {
  // The name is reserved by creating the file (owner-only, exclusively), so
  // that nobody can put a file or a link under it before the package writes
  // the matrix there.
  return host::reserveTemporaryFile("kvana");
}

std::wstring ClusterAnalysis::buildProximitiesCommand() const {
  ProximitiesCommandSettings command;
  for (const Variable* variable : clusterVariables_) command.variableNames.push_back(variable->getName());
  command.view = view_;
  command.measure = measure_;
  command.standardizeMethod = standardizeMethod_;
  if (labelVariable_ != nullptr) command.labelVariableName = labelVariable_->getName();
  command.printProximityMatrix = printProximityMatrix_;
  command.matrixFileName = matrixFileName_;
  return automation::wideText(proximitiesCommandText(command));
}

namespace {

/// The output document's share of one row of the permutation fit table.
constexpr std::uint64_t kFitTableRowBytes = 1536;

}  // namespace

namespace {

/// The proximity matrix of n objects: its triangle and, per object, its row
/// with the object's names.
std::uint64_t matrixBytes(int objectCount) {
  const auto n = static_cast<std::uint64_t>(std::max(objectCount, 0));
  return n * (n > 0 ? n - 1 : 0) / 2 * sizeof(double) + n * 256;
}

/// The matrix file of n objects where it is held in memory (a temporary
/// folder in memory), else nothing: n cases of n values and some names.
std::uint64_t matrixFileBytes(int objectCount) {
  if (!host::temporaryFolderIsInMemory()) return 0;
  const auto n = static_cast<std::uint64_t>(std::max(objectCount, 0));
  return n * n * sizeof(double) + n * 64;
}

}  // namespace

std::uint64_t ClusterAnalysis::memoryNeeded(int objectCount, int permutationCount, bool showPermutationFit,
                                            int jobs, bool countsClusters, bool matrixToBeMade, int cuts) {
  const std::uint64_t rows = showPermutationFit ? static_cast<std::uint64_t>(std::max(permutationCount, 0)) : 0;
  const std::uint64_t run =
      permutationRunBytes(objectCount, permutationCount, std::min(jobs, permutationCount), countsClusters, cuts) +
      rows * kFitTableRowBytes;
  if (!matrixToBeMade) return run;
  // The matrix is read from its file while the file exists; the run follows
  // once the file is gone.
  return matrixBytes(objectCount) + std::max(run, matrixFileBytes(objectCount));
}

void ClusterAnalysis::checkMemory(int objectCount, int permutationCount, bool showPermutationFit, int jobs,
                                  bool countsClusters, bool matrixToBeMade, int cuts) {
  const std::optional<std::uint64_t> available = availableMemoryBytes();
  if (!available) return;
  const std::uint64_t needed =
      memoryNeeded(objectCount, permutationCount, showPermutationFit, jobs, countsClusters, matrixToBeMade, cuts);
  if (needed <= *available) return;
  const int usedJobs = std::max(1, std::min(jobs, permutationCount));
  // Before the matrix is known only the permutations' share can be told.
  const std::string what =
      objectCount > 0 ? "The run of " + std::to_string(permutationCount) + " permutations of " +
                            std::to_string(objectCount) + " objects" +
                            (usedJobs > 1 ? " with " + std::to_string(usedJobs) + " jobs" : std::string())
                      : "Keeping the fit of " + std::to_string(permutationCount) + " permutations";
  // What takes the memory: the matrix and each job's working matrix.
  std::string parts;
  if (objectCount > 0)
    parts = " (" +
            (matrixToBeMade ? memoryText(matrixBytes(objectCount)) + " for the proximity matrix and " : std::string()) +
            memoryText(permutationRunBytes(objectCount, 0, usedJobs) / static_cast<std::uint64_t>(usedJobs)) + " for " +
            (usedJobs > 1 ? "each job's working matrix)" : "the working matrix)");
  std::string message = what + " needs " + memoryText(needed) + " of memory" + parts + ", but only " +
                        memoryText(*available) + " is available";
  // Fewer jobs, each with a working matrix of its own; then fewer permutations.
  int fittingJobs = 0;
  for (int j = usedJobs - 1; j >= 1 && fittingJobs == 0; --j)
    if (memoryNeeded(objectCount, permutationCount, showPermutationFit, j, countsClusters, matrixToBeMade, cuts) <=
        *available)
      fittingJobs = j;
  // What one job takes whatever the count, and what each permutation adds.
  const std::uint64_t fixed = memoryNeeded(objectCount, 0, false, 1, countsClusters, matrixToBeMade);
  const std::uint64_t perPermutation =
      bytesPerPermutation(countsClusters, cuts) + (showPermutationFit ? kFitTableRowBytes : 0);
  if (fittingJobs > 0) {
    message += "; at most " + std::to_string(fittingJobs) + (fittingJobs == 1 ? " job fits" : " jobs fit");
  } else if (fixed < *available && perPermutation > 0) {
    const std::uint64_t fitting = (*available - fixed) / perPermutation;
    message += "; at most " + std::to_string(std::min<std::uint64_t>(fitting, 2147483647u)) + " permutations fit" +
               (objectCount > 0 && usedJobs > 1 ? " with 1 job" : "") +
               (showPermutationFit ? " (more without the permutation fit table in the output)" : "");
  } else {
    message += "; the matrix is too large for this machine";
  }
  throw EKorvanaError(message);
}

void ClusterAnalysis::checkMemoryForRun() const {
  int objects = 0;
  if (analysisType_ == AnalysisType::data) {
    if (view_ == ClusterView::variables) {
      objects = static_cast<int>(clusterVariables_.size());
    } else if (application_) {
      AutomationPtr<ISpssDocuments> documents;
      AutomationPtr<ISpssDataDoc> data;
      std::int32_t cases = 0;
      if (application_->get_Documents(documents.put()) == automation::S_OK && documents &&
          documents->GetDataDoc(0, data.put()) == automation::S_OK && data &&
          data->GetNumberOfCases(&cases) == automation::S_OK)
        objects = cases;
    }
  } else {
    objects = std::max(proximityMatrixObjectCount(matrixFileName_), 0);
  }
  checkMemory(objects, permutationCount_, showPermutationFit_, jobs_, talliesClusters(), true,
              membershipFrom_ > 0 ? membershipTo_ - membershipFrom_ + 1 : 0);
}

void ClusterAnalysis::runPermutations() {
  const bool tally = talliesClusters();
  const int n = matrix_.getNumberOfObjects();
  if (membershipFrom_ > 0 && (membershipFrom_ < 2 || membershipTo_ < membershipFrom_ || membershipTo_ > n - 1))
    throw EKorvanaError("Cluster membership for " +
                        (membershipTo_ == membershipFrom_ ? std::to_string(membershipFrom_)
                                                          : std::to_string(membershipFrom_) + " to " +
                                                                std::to_string(membershipTo_)) +
                        " clusters cannot be had from " + std::to_string(n) +
                        " objects: the numbers of clusters must lie from 2 to " + std::to_string(n - 1));
  const int cuts = membershipFrom_ > 0 ? membershipTo_ - membershipFrom_ + 1 : 0;
  checkMemory(n, permutationCount_, showPermutationFit_, jobs_, tally, false, cuts);
  PermutationSettings settings;
  settings.permutationCount = permutationCount_;
  settings.firstPermutationIsIdentity = firstPermutationIsIdentity_;
  settings.seed = seed_;
  settings.jobs = jobs_;
  settings.tallyClusters = tally;
  settings.stopWhenStable = stopWhenStable_;
  settings.membershipFrom = membershipFrom_;
  settings.membershipTo = membershipFrom_ > 0 ? membershipTo_ : 0;
  // Square working matrices, filled from the proximities as whole rows, are
  // faster for some methods where they fit; the check above counted
  // triangles, the least a run needs.
  const int jobs = std::max(1, std::min(jobs_, permutationCount_));
  settings.layout = workingLayoutFor(method_, n, jobs);
  if (*settings.layout == WorkingLayout::square) {
    const std::optional<std::uint64_t> available = availableMemoryBytes();
    const std::uint64_t squareRows = static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(n) * sizeof(double);
    if (available &&
        permutationRunBytes(n, permutationCount_, jobs, tally, cuts, WorkingLayout::square) + squareRows > *available)
      settings.layout = WorkingLayout::triangle;
  }
  results_ = PermutationResults{};
  support_.reset();
  stability_.clear();
  // The whole rows go with the run, whichever way it ends.
  struct SquareRows {
    ProximityMatrix& matrix;
    SquareRows(ProximityMatrix& m, bool wanted) : matrix(m) { if (wanted) matrix.makeSquareRows(); }
    ~SquareRows() { matrix.dropSquareRows(); }
  };
  const auto run = [&] {
    const SquareRows rows(matrix_, *settings.layout == WorkingLayout::square);
    results_ = runner_ ? runner_(matrix_, method_, settings, *progress_)
                       : korvana::runPermutations(matrix_, method_, settings, *progress_);
  };
  try {
    if (treesFileName_.empty()) {
      run();
    } else {
      settings.describe = [this](const ClusterSolution& solution) {
        return hierarchyNewickOf(solution, matrix_, foldedStages(solution)) + "\n";
      };
      // Written as the permutations complete, put in place by
      // commitTreesFile once the run's other files are.
      treesFile_ = std::make_unique<PendingFile>(treesFileName_, documentFileMode);
      if (runner_) {
        run();
        for (const std::string& line : results_.texts) treesFile_->write(line);
        results_.texts.clear();
      } else {
        settings.sink = [this](int, const std::string& line) { treesFile_->write(line); };
        run();
      }
    }
    // Also for a canceled run: the results file holds what was completed.
    if (settings.tallyClusters) support_ = reportSupport(matrix_, method_, settings, results_);
    stability_ = reportPartitionStability(matrix_, method_, settings, results_);
  } catch (const std::bad_alloc&) {
    // What the check above cannot know: how many distinct trees fit equally
    // well, each of which is kept, and how many clusters the trees hold.
    results_ = PermutationResults{};
    support_.reset();
    stability_.clear();
    const std::optional<std::uint64_t> available = availableMemoryBytes();
    throw EKorvanaError("The run of " + std::to_string(permutationCount_) + " permutations of " +
                        std::to_string(matrix_.getNumberOfObjects()) + " objects outgrew the memory" +
                        (available ? " (" + memoryText(*available) + " available)" : std::string()) +
                        ": the distinct best-fitting trees it keeps" + (tally ? " and the clusters it counts" : "") +
                        " grow with the permutations where many trees fit equally well; run fewer permutations");
  }
}

void ClusterAnalysis::computeOrderFreeTree() {
  orderFreeTree_.reset();
  orderFreeTreeProblem_.clear();
  ProgressMonitor& progress = *progress_;
  try {
    orderFreeTree_.emplace(buildOrderFreeTree(matrix_, method_, nullptr, [&progress] {
      progress.processMessages();
      return progress.isCanceled();
    }));
  } catch (const EAnalysisCanceledException&) {
    throw;
  } catch (const EKorvanaError& error) {
    orderFreeTreeProblem_ = error.what();
  }
}

void ClusterAnalysis::commitTreesFile() {
  if (!treesFile_) return;
  const std::unique_ptr<PendingFile> file = std::move(treesFile_);
  file->commit();
}

void ClusterAnalysis::saveMembership(Spsswin_tlb::ISpssDataDoc* data) {
  MembershipColumns columns;
  columns.solutions = getShownSolutions();
  columns.from = membershipFrom_;
  columns.to = membershipTo_;
  columns.solutionWord = solutionsShown_ == SolutionsShown::hierarchies ? "hierarchy" : "solution";
  // The objects are the cases of the data only when cases were clustered.
  const bool ofCases = analysisType_ == AnalysisType::data && view_ == ClusterView::cases && matrix_.hasCaseNumbers();
  if (ofCases && data == nullptr) throw EKorvanaError("There is no data set to save the cluster memberships with");
  const CaseTable table =
      ofCases ? caseMembershipTable(*data, matrix_, columns) : objectMembershipTable(matrix_, columns);
  table.save(membershipFileName_, "Korvana Cluster Membership");
}

void ClusterAnalysis::savePermutationFitTable() {
  korvana::savePermutationFitTable(fitTableFileName_, results_.records, matrix_.getSumOfSquares(),
                                   firstPermutationIsIdentity_, *progress_);
}

void ClusterAnalysis::run() {
  using namespace OutputFactory;
  ProgressMonitor& progress = *progress_;
  runOutcome_ = RunOutcome::notRun;
  // A run that cannot fit is refused before anything starts, not once the
  // matrix is made.
  checkMemoryForRun();
  BusyCursor busy(progress);
  progress.processMessages();

  AutomationPtr<ISpssOutputDoc> output = designatedOutputDocument(application_.get());
  std::string command;
  TemporaryFile temporaryFile;
  if (analysisType_ == AnalysisType::data) {
    temporaryFileName_ = makeTemporaryMatrixFileName();
    temporaryFile.hold(temporaryFileName_);
    matrixFileName_ = temporaryFileName_;
    const std::wstring wide = buildProximitiesCommand();
    command = automation::utf8Text(wide);
    if (application_) HRCHECK(application_->ExecuteCommands(wide, 1));
  }

  AutomationPtr<ISpssDocuments> documents;
  AutomationPtr<ISpssDataDoc> data;
  if (application_) HRCHECK(application_->get_Documents(documents.put()));
  ASSERT_INTF(documents);
  if (documents) HRCHECK(documents->GetDataDoc(0, data.put()));
  output = designatedOutputDocument(application_.get());
  ISpssOutputDoc* document = output.get();
  prepareOutputDocument(document);

  promoteToLevel(document, insertHeading(document, productName), 1);
  insertTitle(document, productName);
  writeCreditTable(document);

  // The matrix is read before the Notes table, so that the table shows the
  // number of objects; a matrix that cannot be read is reported after it.
  // A cancellation while the package computed the matrix ends the run before
  // the matrix is read.
  const bool canceledEarly = progress.isCanceled();
  std::string missingHint;
  if (const auto* binary = dynamic_cast<const BinaryMeasure*>(measure_); binary && analysisType_ == AnalysisType::data)
    missingHint = "; the binary measure " + binary->getKeyword() +
                  " has no value for a pair whose variables hold neither the present value " +
                  std::to_string(binary->getPresentValue()) + " nor the absent value " +
                  std::to_string(binary->getAbsentValue()) + ": are those the values the data use?";
  // The package's own matrix is symmetric; a user's file is checked.
  MatrixFileReport report;
  const bool loaded =
      !canceledEarly && loadProximityMatrix(matrixFileName_, matrix_, missingHint,
                                            analysisType_ == AnalysisType::matrixFile ? &report : nullptr);
  NotesTableSettings notes;
  notes.document = document;
  notes.dataDocument = data.get();
  notes.analyzesData = analysisType_ == AnalysisType::data;
  notes.matrixFileName = matrixFileName_;
  notes.matrixObjectCount = matrix_.getNumberOfObjects();
  notes.clusterMethod = &method_;
  notes.permutationCount = permutationCount_;
  notes.syntax = command;
  notes.view = view_;
  notes.firstPermutationIsIdentity = firstPermutationIsIdentity_;
  notes.startSeed = seed_;
  notes.saveFitTable = saveFitTable_;
  notes.fitTableFileName = fitTableFileName_;
  writeNotesTable(notes);
  if (canceledEarly) {
    promoteToLevel(document, writeCanceled(document, "Korvana analysis has been canceled by user."), 2);
    progress.requestClose();
    runOutcome_ = RunOutcome::canceled;
    return;
  }
  if (!loaded) {
    writeError(document, "Proximity matrix '" + matrixFileName_ + "' could not be loaded, analysis stopped.");
    runOutcome_ = RunOutcome::matrixNotLoaded;
    return;
  }
  temporaryFile.remove();
  if (report.asymmetricObject) {
    const int object = *report.asymmetricObject;
    const std::string& name = matrix_.getRow(object).getName();
    writeWarning(document, "The proximity matrix is not symmetric: the column of object " + std::to_string(object + 1) +
                               " (" + name.substr(0, name.find_last_not_of(' ') + 1) +
                               ") differs from its row. Only the lower triangle is used.");
  }
  busy.restore();
  progress.processMessages();

  try {
    if (saveFitTable_) {
      progress.setSteps({"Performing analysis", "Saving permutation fit table", "Generating statistics"});
    } else {
      progress.setSteps({"Performing analysis", "Generating statistics"});
    }
    progress.setStep(0, 0, permutationCount_);
    progress.setStatus("Passed permutations 0/" + std::to_string(permutationCount_));
    progress.showProgress();
    runPermutations();
    if (progress.isCanceled()) throw EAnalysisCanceledException();
    if (orderFreeTreeWanted_) {
      progress.setStatus("Building the order-free tree");
      computeOrderFreeTree();
    }
    progress.hideProgress();

    if (saveFitTable_) {
      progress.setStep(1, 0, permutationCount_);
      progress.showProgress();
      try {
        savePermutationFitTable();
      } catch (const std::exception&) {
        promoteToLevel(document,
                       writeError(document, "Permutation fit table could not be saved to file '" +
                                                fitTableFileName_ + "', analysis stopped."),
                       2);
        progress.requestClose();
        runOutcome_ = RunOutcome::fitTableNotSaved;
        return;
      }
      if (progress.isCanceled()) throw EAnalysisCanceledException();
      progress.hideProgress();
    }

    const int lastStep = saveFitTable_ ? 2 : 1;
    progress.setStep(lastStep, 0, outputSteps());
    progress.showProgress();
    produceOutput(document);
    progress.hideProgress();
    if (!membershipFileName_.empty() && membershipFrom_ > 0 && !progress.isCanceled()) {
      try {
        saveMembership(data.get());
      } catch (const std::exception& error) {
        promoteToLevel(document,
                       writeError(document, "Cluster membership could not be saved to file '" + membershipFileName_ +
                                                "': " + error.what()),
                       2);
        progress.requestClose();
        runOutcome_ = RunOutcome::membershipNotSaved;
        return;
      }
    }
    progress.requestClose();
    runOutcome_ = progress.isCanceled() ? RunOutcome::canceled : RunOutcome::completed;
  } catch (const EAnalysisCanceledException&) {
    promoteToLevel(document, writeCanceled(document, "Korvana analysis has been canceled by user."), 2);
    progress.requestClose();
    runOutcome_ = RunOutcome::canceled;
  }
}

std::vector<std::vector<std::size_t>> ClusterAnalysis::shownSolutions() const {
  std::vector<std::vector<std::size_t>> groups;
  const auto& solutions = results_.solutions;
  for (std::size_t k = 0; k < solutions.size(); ++k) {
    bool joined = false;
    if (solutionsShown_ == SolutionsShown::hierarchies) {
      const HierarchyId& id = results_.records.hierarchyIds.at(static_cast<std::size_t>(solutions[k]->getPermutationIndex()));
      for (auto& group : groups) {
        if (results_.records.hierarchyIds.at(static_cast<std::size_t>(solutions[group.front()]->getPermutationIndex())) == id) {
          group.push_back(k);
          joined = true;
          break;
        }
      }
    }
    if (!joined) groups.push_back({k});
  }
  return groups;
}

std::vector<const ClusterSolution*> ClusterAnalysis::getShownSolutions() const {
  std::vector<const ClusterSolution*> shown;
  for (const auto& group : shownSolutions()) shown.push_back(results_.solutions.at(group.front()).get());
  return shown;
}

int ClusterAnalysis::outputSteps() const {
  const bool support = clusterSupport_ && support_;
  const bool hierarchies = solutionsShown_ == SolutionsShown::hierarchies;
  const auto shown = static_cast<int>(shownSolutions().size());
  const bool membership = membershipFrom_ > 0;
  return 4 + (verdictShown() ? 1 : 0) + (support ? 8 : 0) + (orderFreeTreeWanted_ ? 4 : 0) + (membership ? 1 : 0) +
         shown * (6 + (support ? 1 : 0) + (hierarchies ? 1 : 0) + (membership ? 1 : 0));
}

bool ClusterAnalysis::talliesClusters() const {
  return clusterSupport_ || countClusters_ || solutionsShown_ == SolutionsShown::hierarchies;
}

bool ClusterAnalysis::proximitiesMisfitMethod() const {
  if (!method_.needsSquaredEuclidean()) return false;
  if (matrix_.getNumberOfObjects() > 0) return !matrix_.isSquaredEuclidean();
  return analysisType_ == AnalysisType::data && (measure_ == nullptr || measure_->getKeyword() != "SEUCLID");
}

std::string ClusterAnalysis::startSeedText() const {
  const std::string seed = std::to_string(seed_);
  return "The random permutations started from seed " + seed + (seedFromClock_ ? ", taken from the clock" : "") +
         ": the same request with --seed " + seed + " repeats this run, and with --reproduce S it clusters " +
         "alone the permutation whose Random Seed is S.";
}

bool ClusterAnalysis::verdictShown() const {
  return support_.has_value() && (clusterSupport_ || solutionsShown_ == SolutionsShown::hierarchies);
}

void ClusterAnalysis::produceOutput(Spsswin_tlb::ISpssOutputDoc* document) {
  using namespace OutputFactory;
  ProgressMonitor& progress = *progress_;
  const auto check = [&progress] {
    progress.stepIt();
    if (progress.isCanceled()) throw EAnalysisCanceledException();
  };

  const std::string methodName = method_.getDisplayName();
  insertHeading(document, methodName);
  check();
  insertTitle(document, methodName);
  check();
  if (method_.needsSquaredEuclidean() && !matrix_.isSquaredEuclidean()) writeWarning(document, squaredEuclideanWarning);
  check();
  const bool support = clusterSupport_ && support_;
  const bool byHierarchy = solutionsShown_ == SolutionsShown::hierarchies;
  // The best fit's history, for the verdict and the Best Fit table.
  const BestFitHistory history = bestFitHistoryOf(results_.records);
  if (verdictShown()) {
    writeVerdict(document, verdictText(*support_, &history));
    check();
  }
  if (results_.stoppedAfter >= 0) {
    writeMessage(document, "Stopped When Stable",
                      "The run stopped after permutation " + std::to_string(results_.stoppedAfter + 1) +
                          " of at most " + std::to_string(permutationCount_) +
                          ": neither the best fit nor the set of best-fitting hierarchies changed in the last " +
                          std::to_string(stopWhenStable_) + " permutations.");
  }
  const std::string fitNote = fitTableNote(method_.getKeyword() == "ward");
  if (permutationCount_ > 1 || !firstPermutationIsIdentity_) writeMessage(document, "Start Seed", startSeedText());
  if (showPermutationFit_) {
    const PermutationRecords& records = results_.records;
    writePermutationFitTable(document, results_.stoppedAfter >= 0 ? records.completed : permutationCount_,
                             records.fitValues, records.correlations,
                             matrix_.getSumOfSquares(), firstPermutationIsIdentity_, records.seeds,
                             records.solutionIds, progress,
                             [&progress] { progress.processMessages(); }, fitNote);
  }
  check();
  if (support) {
    writeDistinctSolutionsTable(document, *support_);
    check();
    OutputGraphics::writeGraphic(document, "Distinct Solutions",
                                 distinctSolutionsCurveSvg(support_->all.curve, support_->best.curve,
                                                           &support_->hierarchiesAll.curve,
                                                           &support_->hierarchiesBest.curve));
    check();
    writeBestFitTable(document, history);
    check();
    OutputGraphics::writeGraphic(document, "Best Fit", bestFitCurveSvg(history.curve));
    check();
    for (const bool best : {false, true}) {
      const Consensus& consensus = best ? support_->consensusBest : support_->consensusAll;
      if (consensus.known) {
        writeConsensusTable(document, consensus,
                            best ? support_->hierarchiesBest.permutations : support_->hierarchiesAll.permutations, best);
        check();
        OutputGraphics::writeGraphic(document, "Consensus Tree", consensusTreeSvg(consensus, matrix_));
      } else {
        check();
      }
      check();
    }
  }
  if (membershipFrom_ > 0) {
    writePartitionStabilityTable(document, stability_, results_.records.completed);
    check();
  }
  auto& solutions = results_.solutions;
  const std::vector<std::vector<std::size_t>> groups = shownSolutions();
  const std::size_t count = groups.size();
  const std::string single = byHierarchy ? "Hierarchy" : "Solution";
  if (count > 1) {
    const std::string multiple = byHierarchy ? "Multiple Hierarchies" : "Multiple Solutions";
    insertHeading(document, multiple);
    insertTitle(document, multiple);
  }
  for (std::size_t g = 0; g < count && !progress.isCanceled(); ++g) {
    const std::size_t k = groups[g].front();
    std::unique_ptr<ClusterSolution>& solution = solutions[k];
    if (count == 1) {
      insertHeading(document, single);
      check();
      insertTitle(document, single);
    } else {
      const std::string heading = single + " " + std::to_string(g + 1);
      promoteToLevel(document, insertHeading(document, heading), 4);
      check();
      insertTitle(document, heading);
    }
    check();
    writeSolutionFitTable(document, *solution, matrix_.getSumOfSquares(), fitNote);
    check();
    if (showObjectOrder_) writeObjectOrderTable(document, *solution);
    check();
    if (showAgglomerationSchedule_) writeAgglomerationSchedule(document, *solution);
    check();
    const std::vector<char> folded = foldedStages(*solution);
    if (showDendrogram_) {
      insertTitle(document, "Dendrogram");
      writeDendrogram(document, method_, matrix_, *solution);
      // The same tree drawn (its hierarchy, when one is shown per
      // hierarchy), with the support of its clusters when it was counted.
      std::vector<int> percents;
      if (support) {
        for (const StageSupport& stage : support_->hierarchySupport.at(k))
          percents.push_back(std::isnan(stage.all) ? -1 : wholePercent(stage.all));
      }
      OutputGraphics::writeGraphic(
          document, "Dendrogram",
          dendrogramSvg(*solution, matrix_, support ? &percents : nullptr, byHierarchy ? &folded : nullptr));
    }
    if (support) {
      writeClusterSupportTable(document, *solution, support_->hierarchySupport.at(k), support_->folded.at(k));
      check();
    }
    if (byHierarchy) {
      std::vector<const ClusterSolution*> others;
      for (std::size_t o = 1; o < groups[g].size(); ++o) others.push_back(solutions[groups[g][o]].get());
      if (!others.empty()) writeOtherMergeOrdersTable(document, others);
      check();
    }
    if (membershipFrom_ > 0) {
      writeClusterMembershipTable(document, *solution, matrix_, membershipFrom_, membershipTo_);
      check();
    }
    // The solution stays: the results file is written from it after the run.
    check();
  }
  if (orderFreeTreeWanted_ && !progress.isCanceled()) produceOrderFreeOutput(document, check);
}

void ClusterAnalysis::produceOrderFreeOutput(Spsswin_tlb::ISpssOutputDoc* document,
                                             const std::function<void()>& check) {
  using namespace OutputFactory;
  promoteToLevel(document, insertHeading(document, "Order-Free Tree"), 3);
  insertTitle(document, "Order-Free Tree");
  check();
  if (!orderFreeTree_) {
    writeWarning(document, orderFreeTreeProblem_);
    return;
  }
  const OrderFreeTree& tree = *orderFreeTree_;
  writeOrderFreeSchedule(document, tree);
  check();
  const double best = results_.solutions.empty() ? std::numeric_limits<double>::quiet_NaN()
                                                 : results_.solutions.front()->getNormalizedSSDif();
  const HierarchyId hierarchy = tree.hierarchyId();
  const PermutationRecords& records = results_.records;
  int bestCount = 0, bestWithIt = 0, allWithIt = 0;
  for (int k = 0; k < records.completed; ++k) {
    const auto uk = static_cast<std::size_t>(k);
    const double fit = records.fitValues[uk];
    const bool bestFitting = fit == best || (std::isnan(fit) && std::isnan(best));
    const bool same = records.hierarchyIds[uk] == hierarchy;
    bestCount += bestFitting ? 1 : 0;
    bestWithIt += bestFitting && same ? 1 : 0;
    allWithIt += same ? 1 : 0;
  }
  writeOrderFreeFitTable(document, tree,
                         orderFreeComparison(tree.getNormalizedSSDif(), best) + " " +
                             orderFreeHierarchySentence(bestWithIt, bestCount, allWithIt, records.completed));
  check();
  if (tree.getBinaryForm().getStageCount() > 0) {
    insertTitle(document, "Dendrogram");
    writeDendrogram(document, method_, matrix_, tree.getBinaryForm());
    OutputGraphics::writeGraphic(document, "Dendrogram", multidendrogramSvg(tree, matrix_));
  }
  check();
}

}  // namespace korvana
