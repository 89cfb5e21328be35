#include "AnalysisOutputExample.h"

#include "engine/ClusterMethod.h"
#include "engine/ClusterMethodFactory.h"
#include "output/DendrogramSvg.h"
#include "output/OutputFactory.h"
#include "output/OutputGraphics.h"

namespace korvana::testing {

namespace Of = OutputFactory;

const std::vector<double> tiedFiveObjects = {1, 2, 2, 2, 2, 1, 3, 3, 2, 2};
const std::vector<std::string> tiedFiveObjectLabels = {"alpha", "bravo", "charlie", "delta", "echo"};

std::unique_ptr<ClusterAnalysis> analyzeTiedFiveObjects(ClusterMethod& method, bool clusterSupport) {
  auto analysis = std::make_unique<ClusterAnalysis>(method, AnalysisType::matrixFile, 6);
  ProximityMatrix& matrix = analysis->getMatrix();
  matrix.assignLowerTriangle(5, tiedFiveObjects, tiedFiveObjectLabels);
  matrix.setHasObjectLabels(true);
  analysis->setSeed(12345);
  analysis->setFirstPermutationIsIdentity(true);
  analysis->setShowPermutationFit(true);
  analysis->setShowObjectOrder(true);
  analysis->setShowAgglomerationSchedule(true);
  analysis->setShowDendrogram(true);
  analysis->setClusterSupport(clusterSupport);
  analysis->runPermutations();
  return analysis;
}

void writeAnalysisOutput(Spsswin_tlb::ISpssOutputDoc* document, ClusterAnalysis& analysis,
                         const std::string& matrixFileName) {
  document->put_Visible(1);
  Of::prepareOutputDocument(document);
  Of::promoteToLevel(document, Of::insertHeading(document, "Korvana"), 1);
  Of::insertTitle(document, "Korvana");
  Of::writeCreditTable(document);
  Of::NotesTableSettings notes;
  notes.document = document;
  notes.analyzesData = analysis.getAnalysisType() == AnalysisType::data;
  notes.matrixFileName = matrixFileName;
  notes.matrixObjectCount = analysis.getMatrix().getNumberOfObjects();
  notes.clusterMethod = &analysis.getMethod();
  notes.permutationCount = analysis.getPermutationCount();
  notes.view = analysis.getView();
  notes.firstPermutationIsIdentity = analysis.getFirstPermutationIsIdentity();
  notes.startSeed = analysis.getSeed();
  notes.saveFitTable = analysis.getSaveFitTable();
  notes.fitTableFileName = analysis.getFitTableFileName();
  Of::writeNotesTable(notes);

  ClusterMethod& method = analysis.getMethod();
  const ProximityMatrix& matrix = analysis.getMatrix();
  Of::insertHeading(document, method.getDisplayName());
  Of::insertTitle(document, method.getDisplayName());
  if (method.needsSquaredEuclidean() && !matrix.isSquaredEuclidean())
    Of::writeWarning(document,
                     "The squared Euclidean interval measure should be used when CENTROID, MEDIAN, or Ward cluster "
                     "method is requested.");
  const std::string note = Of::fitTableNote(method.getKeyword() == "ward");
  Of::writeMessage(document, "Start Seed", analysis.startSeedText());
  if (analysis.getShowPermutationFit())
    Of::writePermutationFitTable(document, analysis.getPermutationCount(), analysis.getFitValues(),
                                 analysis.getCorrelations(), matrix.getSumOfSquares(),
                                 analysis.getFirstPermutationIsIdentity(), analysis.getSeeds(),
                                 analysis.getSolutionIds(), analysis.getProgressMonitor(), {}, note);
  const auto& solutions = analysis.getSolutions();
  if (solutions.size() > 1) {
    Of::insertHeading(document, "Multiple Solutions");
    Of::insertTitle(document, "Multiple Solutions");
  }
  for (std::size_t k = 0; k < solutions.size(); ++k) {
    const ClusterSolution& solution = *solutions[k];
    if (solutions.size() == 1) {
      Of::insertHeading(document, "Solution");
      Of::insertTitle(document, "Solution");
    } else {
      const std::string heading = "Solution " + std::to_string(k + 1);
      Of::promoteToLevel(document, Of::insertHeading(document, heading), 4);
      Of::insertTitle(document, heading);
    }
    Of::writeSolutionFitTable(document, solution, matrix.getSumOfSquares(), note);
    if (analysis.getShowObjectOrder()) Of::writeObjectOrderTable(document, solution);
    if (analysis.getShowAgglomerationSchedule()) Of::writeAgglomerationSchedule(document, solution);
    if (analysis.getShowDendrogram()) {
      Of::insertTitle(document, "Dendrogram");
      Of::writeDendrogram(document, method, matrix, solution);
      OutputGraphics::writeGraphic(document, "Dendrogram", dendrogramSvg(solution, matrix, nullptr));
    }
  }
}

}  // namespace korvana::testing
