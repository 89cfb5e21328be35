#include "analysis/ClusterAnalysis.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "SPSS/AutomationText.h"
#include "analysis/Variable.h"
#include "common/EAnalysisCanceledException.h"
#include "common/EKorvanaError.h"
#include "common/SystemMemory.h"
#include "datafile/PermutationFitTableFile.h"
#include "datafile/ProximityMatrixFile.h"
#include "engine/ClusterMethod.h"
#include "output/AutomationCallChecks.h"
#include "output/DendrogramSvg.h"
#include "output/Newick.h"
#include "output/OutputGraphics.h"
#include "output/OutputFactory.h"
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
                                            int jobs, bool matrixToBeMade) {
  const std::uint64_t rows = showPermutationFit ? static_cast<std::uint64_t>(std::max(permutationCount, 0)) : 0;
  const std::uint64_t run =
      permutationRunBytes(objectCount, permutationCount, std::min(jobs, permutationCount)) + rows * kFitTableRowBytes;
  if (!matrixToBeMade) return run;
  // The matrix is read from its file while the file exists; the run follows
  // once the file is gone.
  return matrixBytes(objectCount) + std::max(run, matrixFileBytes(objectCount));
}

void ClusterAnalysis::checkMemory(int objectCount, int permutationCount, bool showPermutationFit, int jobs,
                                  bool matrixToBeMade) {
  const std::optional<std::uint64_t> available = availableMemoryBytes();
  if (!available) return;
  const std::uint64_t needed = memoryNeeded(objectCount, permutationCount, showPermutationFit, jobs, matrixToBeMade);
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
    parts = " (" + (matrixToBeMade ? memoryText(matrixBytes(objectCount)) + " for the proximity matrix and " : std::string()) +
            memoryText(permutationRunBytes(objectCount, 0, usedJobs) / static_cast<std::uint64_t>(usedJobs)) + " for " +
            (usedJobs > 1 ? "each job's working matrix)" : "the working matrix)");
  std::string message = what + " needs " + memoryText(needed) + " of memory" + parts + ", but only " +
                        memoryText(*available) + " is available";
  // Fewer jobs, each with a working matrix of its own; then fewer permutations.
  int fittingJobs = 0;
  for (int j = usedJobs - 1; j >= 1 && fittingJobs == 0; --j)
    if (memoryNeeded(objectCount, permutationCount, showPermutationFit, j, matrixToBeMade) <= *available) fittingJobs = j;
  const std::uint64_t fixed = memoryNeeded(objectCount, 0, false, 1, matrixToBeMade);
  const std::uint64_t perPermutation = kRecordBytesPerPermutation + (showPermutationFit ? kFitTableRowBytes : 0);
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
  checkMemory(objects, permutationCount_, showPermutationFit_, jobs_, true);
}

void ClusterAnalysis::runPermutations() {
  checkMemory(matrix_.getNumberOfObjects(), permutationCount_, showPermutationFit_, jobs_);
  PermutationSettings settings;
  settings.permutationCount = permutationCount_;
  settings.firstPermutationIsIdentity = firstPermutationIsIdentity_;
  settings.seed = seed_;
  settings.jobs = jobs_;
  settings.tallyClusters = clusterSupport_ || countClusters_;
  // Square working matrices, filled from the proximities as whole rows, are
  // faster for some methods where they fit; the check above counted
  // triangles, the least a run needs.
  const int n = matrix_.getNumberOfObjects();
  const int jobs = std::max(1, std::min(jobs_, permutationCount_));
  settings.layout = workingLayoutFor(method_, n, jobs);
  const std::optional<std::uint64_t> available = availableMemoryBytes();
  const std::uint64_t squareRows = static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(n) * sizeof(double);
  if (*settings.layout == WorkingLayout::square && available &&
      permutationRunBytes(n, permutationCount_, jobs, WorkingLayout::square) + squareRows > *available)
    settings.layout = WorkingLayout::triangle;
  if (*settings.layout == WorkingLayout::square) matrix_.makeSquareRows();
  results_ = PermutationResults{};
  support_.reset();
  results_ = runner_ ? runner_(matrix_, method_, settings, *progress_)
                     : korvana::runPermutations(matrix_, method_, settings, *progress_);
  matrix_.dropSquareRows();
  // Also for a canceled run: the results file holds what was completed.
  if (settings.tallyClusters) support_ = reportSupport(matrix_, method_, settings, results_);
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
  if (analysisType_ == AnalysisType::data) {
    temporaryFileName_ = makeTemporaryMatrixFileName();
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
  const bool loaded = !canceledEarly && loadProximityMatrix(matrixFileName_, matrix_);
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
    if (analysisType_ == AnalysisType::data) {
      std::error_code ignored;
      std::filesystem::remove(temporaryFileName_, ignored);
    }
    promoteToLevel(document, writeCanceled(document, "Korvana analysis has been canceled by user."), 2);
    progress.requestClose();
    runOutcome_ = RunOutcome::canceled;
    return;
  }
  if (!loaded) {
    // The temporary file stays, so that the package's matrix can be looked at.
    writeError(document, "Proximity matrix '" + matrixFileName_ + "' could not be loaded, analysis stopped.");
    runOutcome_ = RunOutcome::matrixNotLoaded;
    return;
  }
  if (analysisType_ == AnalysisType::data) {
    std::error_code ignored;
    std::filesystem::remove(temporaryFileName_, ignored);
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
    const int solutionCount = static_cast<int>(results_.solutions.size());
    progress.setStep(lastStep, 0, 6 * solutionCount + 4 + (clusterSupport_ ? solutionCount + 1 : 0));
    progress.showProgress();
    produceOutput(document);
    progress.hideProgress();
    progress.requestClose();
    runOutcome_ = progress.isCanceled() ? RunOutcome::canceled : RunOutcome::completed;
  } catch (const EAnalysisCanceledException&) {
    promoteToLevel(document, writeCanceled(document, "Korvana analysis has been canceled by user."), 2);
    progress.requestClose();
    runOutcome_ = RunOutcome::canceled;
  }
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
  if (method_.needsSquaredEuclidean() && !matrix_.isSquaredEuclidean()) {
    writeWarning(document,
                 "The squared Euclidean interval measure should be used when CENTROID, MEDIAN, or Ward cluster "
                 "method is requested.");
  }
  check();
  if (showPermutationFit_) {
    const PermutationRecords& records = results_.records;
    writePermutationFitTable(document, permutationCount_, records.fitValues, records.correlations,
                             matrix_.getSumOfSquares(), firstPermutationIsIdentity_, records.seeds,
                             records.solutionIds, progress,
                             [&progress] { progress.processMessages(); });
  }
  check();
  if (clusterSupport_ && support_) {
    writeDistinctSolutionsTable(document, support_->all, support_->best);
    check();
    OutputGraphics::writeGraphic(document, "Distinct Solutions",
                                 distinctSolutionsCurveSvg(support_->all.curve, support_->best.curve));
    check();
  }
  auto& solutions = results_.solutions;
  const std::size_t count = solutions.size();
  if (count > 1) {
    insertHeading(document, "Multiple Solutions");
    insertTitle(document, "Multiple Solutions");
  }
  for (std::size_t k = 0; k < count && !progress.isCanceled(); ++k) {
    std::unique_ptr<ClusterSolution>& solution = solutions[k];
    if (count == 1) {
      insertHeading(document, "Solution");
      check();
      insertTitle(document, "Solution");
    } else {
      const std::string heading = "Solution " + std::to_string(k + 1);
      promoteToLevel(document, insertHeading(document, heading), 4);
      check();
      insertTitle(document, heading);
    }
    check();
    writeSolutionFitTable(document, *solution, matrix_.getSumOfSquares());
    check();
    if (showObjectOrder_) writeObjectOrderTable(document, *solution);
    check();
    if (showAgglomerationSchedule_) writeAgglomerationSchedule(document, *solution);
    check();
    if (showDendrogram_) {
      insertTitle(document, "Dendrogram");
      writeDendrogram(document, method_, matrix_, *solution);
      // The same tree drawn, with each merge's support when it was counted.
      std::vector<int> percents;
      if (clusterSupport_ && support_) {
        for (const StageSupport& stage : support_->solutions.at(k)) percents.push_back(wholePercent(stage.all));
      }
      OutputGraphics::writeGraphic(document, "Dendrogram",
                                   dendrogramSvg(*solution, matrix_, clusterSupport_ && support_ ? &percents : nullptr));
    }
    if (clusterSupport_ && support_) {
      writeClusterSupportTable(document, *solution, support_->solutions.at(k));
      check();
    }
    // The solution stays: the results file is written from it after the run.
    check();
  }
}

}  // namespace korvana
