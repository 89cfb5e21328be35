// korvana_cluster_dump: clusters one dissimilarity matrix read from standard
// input in identity object order and writes the agglomeration schedule, so that
// scripts can compare it with other clustering programs.
//
// Input (whitespace separated text):
//   method index   0 between-groups, 1 within-groups, 2 single, 3 complete,
//                  4 centroid, 5 median, 6 Ward (ClusterMethodFactory order)
//   n              the number of objects
//   n(n−1)/2 values, the strict lower triangle (1,0), (2,0), (2,1), (3,0), …
//
// Output:
//   stages S
//   S lines "cluster1 cluster2 coefficient" (0-based cluster numbers; the
//   merged cluster keeps the cluster1 number; coefficient as %.17g)
//   cophenetic R
//   with --memberships, then for k = 2 … n − 1 a line "membership k c1 … cn":
//   each object's cluster when the tree is cut into k (TreeCut)
//
// Exit status 0 on success, 2 on malformed input or an engine error.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "engine/ClusterMethod.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/PermutationRun.h"
#include "engine/ProgressMonitor.h"
#include "engine/ProximityMatrix.h"
#include "engine/TreeCut.h"

using namespace korvana;

namespace {

constexpr int kMethodCount = 7;

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "korvana_cluster_dump: %s\n", message.c_str());
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const bool memberships = argc > 1 && std::string(argv[1]) == "--memberships";
  int methodIndex = -1;
  int n = -1;
  if (!(std::cin >> methodIndex >> n)) fail("expected a method index and an object count");
  if (methodIndex < 0 || methodIndex >= kMethodCount)
    fail("method index " + std::to_string(methodIndex) + " is not in 0 to 6");
  if (n < 1) fail("the object count must be at least 1, not " + std::to_string(n));

  const std::size_t count = static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2;
  std::vector<double> lowerTriangle(count);
  for (std::size_t k = 0; k < count; ++k) {
    std::string token;
    if (!(std::cin >> token)) fail("expected " + std::to_string(count) + " proximities, got " + std::to_string(k));
    // strtod reads every value exactly as written (including inf/nan spellings).
    char* end = nullptr;
    lowerTriangle[k] = std::strtod(token.c_str(), &end);
    if (end == token.c_str() || *end != '\0') fail("proximity " + std::to_string(k + 1) + " is not a number: " + token);
  }
  std::string extra;
  if (std::cin >> extra) fail("unexpected text after the proximities: " + extra);

  try {
    ClusterMethodFactory::createClusterMethods();
    ClusterMethod& method = *ClusterMethodFactory::getClusterMethods()[static_cast<std::size_t>(methodIndex)];
    ProximityMatrix matrix;
    matrix.setIsDissimilarity(true);
    matrix.assignLowerTriangle(n, lowerTriangle);
    PermutationSettings settings;
    settings.permutationCount = 1;
    settings.firstPermutationIsIdentity = true;
    SilentProgress progress;
    const PermutationResults results = runPermutations(matrix, method, settings, progress);
    if (results.solutions.size() != 1) fail("expected exactly one solution from one permutation");
    const ClusterSolution& solution = *results.solutions.front();

    std::printf("stages %d\n", solution.getStageCount());
    for (int t = 0; t < solution.getStageCount(); ++t)
      std::printf("%d %d %.17g\n", solution.getCluster1(t), solution.getCluster2(t), solution.getCoefficient(t));
    std::printf("cophenetic %.17g\n", solution.getCopheneticCorrelation());
    for (int k = 2; memberships && k < n; ++k) {
      std::printf("membership %d", k);
      for (const int cluster : clusterMembership(solution, k)) std::printf(" %d", cluster);
      std::printf("\n");
    }
    ClusterMethodFactory::destroyClusterMethods();
  } catch (const std::exception& e) {
    fail(e.what());
  }
  return std::fflush(stdout) == 0 ? 0 : 2;
}
