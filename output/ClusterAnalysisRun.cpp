// The whole analysis run: the proximity matrix (computed by the statistics
// package or read from the user's file), the permutations, the fit table and
// the output, in the output document's fixed order.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "SPSS/AutomationText.h"
#include "engine/ClusterAnalysis.h"
#include "engine/ClusterMethod.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/EAnalysisCanceledException.h"
#include "output/AutomationCallChecks.h"
#include "output/Outputfactory.h"

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

void ClusterAnalysis::run() {
  using namespace Outputfactory;
  ProgressMonitor& progress = *progress_;
  runOutcome_ = RunOutcome::notRun;
  BusyCursor busy(progress);
  progress.processMessages();

  AutomationPtr<ISpssOutputDoc> output = designatedOutputDocument(application_.get());
  std::string command;
  if (analysisType_ == 2) {
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
  const bool loaded = matrix_.loadFromFile(matrixFileName_);
  NotesTableSettings notes;
  notes.document = document;
  notes.dataDocument = data.get();
  notes.analysisType = analysisType_;
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
  if (!loaded) {
    // The temporary file stays, so that the package's matrix can be looked at.
    writeError(document, "Proximity matrix '" + matrixFileName_ + "' could not be loaded, analysis stopped.");
    runOutcome_ = RunOutcome::matrixNotLoaded;
    return;
  }
  if (analysisType_ == 2) {
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
    progress.setStep(lastStep, 0, 6 * static_cast<int>(solutions_.size()) + 4);
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
  using namespace Outputfactory;
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
  ClusterMethod* method = &method_;
  if ((method == ClusterMethodFactory::getCentroid() || method == ClusterMethodFactory::getMedian() ||
       method == ClusterMethodFactory::getWard()) &&
      !matrix_.isSquaredEuclidean()) {
    writeWarning(document,
                 "The squared Euclidean interval measure should be used when CENTROID, MEDIAN, or Ward cluster "
                 "method is requested.");
  }
  check();
  if (showPermutationFit_) {
    writePermutationFitTable(document, permutationCount_, fitValues_, correlations_, matrix_.getSumOfSquares(),
                             firstPermutationIsIdentity_, seeds_, solutionIds_, progress,
                             [&progress] { progress.processMessages(); });
  }
  check();
  const std::size_t count = solutions_.size();
  if (count > 1) {
    insertHeading(document, "Multiple Solutions");
    insertTitle(document, "Multiple Solutions");
  }
  for (std::size_t k = 0; k < count && !progress.isCanceled(); ++k) {
    std::unique_ptr<ClusterSolution>& solution = solutions_[k];
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
    }
    solution.reset();
    check();
  }
}

}  // namespace korvana
