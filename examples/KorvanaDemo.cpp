// korvana-demo: clusters a small built-in proximity matrix that is full of
// ties with each of the seven methods over many random object orders, and
// prints the distinct best-fitting solutions that the orders produce.
#include <cinttypes>
#include <cstdio>
#include <exception>

#include "engine/PermutationRun.h"
#include "engine/ProgressMonitor.h"
#include "engine/ProximityMatrix.h"
#include "engine/ClusterMethod.h"
#include "engine/ClusterMethodFactory.h"
#include "common/ScientificFormat.h"

using namespace korvana;

namespace {

// Dissimilarities between eight objects on a coarse 1-4 scale: many pairs are
// equally far apart, so the tree depends on the order of the objects.
//        1  2  3  4  5  6  7
//   2    1
//   3    2  2
//   4    3  3  1
//   5    3  3  2  2
//   6    4  4  3  3  1
//   7    4  4  3  3  2  1
//   8    4  4  4  4  2  2  1
const std::vector<double> kLowerTriangle = {
    1,                    //
    2, 2,                 //
    3, 3, 1,              //
    3, 3, 2, 2,           //
    4, 4, 3, 3, 1,        //
    4, 4, 3, 3, 2, 1,     //
    4, 4, 4, 4, 2, 2, 1,  //
};
constexpr int kObjects = 8;
constexpr int kPermutations = 200;
constexpr std::int32_t kSeed = 4000000;
constexpr int kShownSolutions = 3;

void printSolution(const ClusterSolution& solution, int number) {
  std::printf("  Solution %d  (normalized SSDif %s, cophenetic correlation %s, seed %s)\n", number,
              formatScientific(solution.getNormalizedSSDif(), 13).c_str(),
              formatScientific(solution.getCopheneticCorrelation(), 8).c_str(),
              solution.isIdentityPermutation() ? "identity" : std::to_string(solution.getSeed()).c_str());
  std::printf("    id ");
  for (const auto byte : solution.getSolutionId()) std::printf("%02x", byte);
  std::printf("\n    stage  cluster1  cluster2  coefficient\n");
  for (int t = 0; t < solution.getStageCount(); ++t)
    std::printf("    %5d  %8d  %8d  %s\n", t + 1, solution.getCluster1(t) + 1, solution.getCluster2(t) + 1,
                formatScientific(solution.getCoefficient(t), 8).c_str());
}

}  // namespace

int main() {
  try {
    ClusterMethodFactory::createClusterMethods();
    std::printf("Korvana demo: %d objects, %d permutations (first = identity), seed %" PRId32 "\n\n", kObjects,
                kPermutations, kSeed);
    for (ClusterMethod* method : ClusterMethodFactory::getClusterMethods()) {
      ProximityMatrix matrix;
      matrix.assignLowerTriangle(kObjects, kLowerTriangle);
      PermutationSettings settings;
      settings.permutationCount = kPermutations;
      settings.seed = kSeed;
      SilentProgress progress;
      const PermutationResults results = runPermutations(matrix, *method, settings, progress);
      int distinctIds = 0;
      const auto& ids = results.records.solutionIds;
      for (std::size_t i = 0; i < ids.size(); ++i) {
        bool seen = false;
        for (std::size_t j = 0; j < i && !seen; ++j) seen = ids[j] == ids[i];
        if (!seen) ++distinctIds;
      }
      std::printf("%s: %d different trees over all permutations, %zu best\n", method->getDisplayName().c_str(),
                  distinctIds, results.solutions.size());
      int number = 0;
      for (const auto& solution : results.solutions) {
        if (number == kShownSolutions) {
          std::printf("  ... and %zu more equally good solutions\n",
                      results.solutions.size() - static_cast<std::size_t>(kShownSolutions));
          break;
        }
        printSolution(*solution, ++number);
      }
      std::printf("\n");
    }
    ClusterMethodFactory::destroyClusterMethods();
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvana-demo: %s\n", error.what());
    return 1;
  }
}
