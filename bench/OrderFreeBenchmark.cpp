// korvana_bench_order_free: one order-free tree against three permutations of
// the permutation run (one job, one thread each, fit and solution id
// included), every method, on this machine. The target: the tree costs no
// more than the three permutations (a ratio of at most 1).
//
//   korvana_bench_order_free [--sizes=2000,10000] [--repeat=1] [--data=ties,random]
//
// "ties": city-block distances between cases of eight answers on a scale of
// 1 to 5, whole numbers from 0 to 32, so nearly every distance is tied;
// "random": uniform random dissimilarities, without ties. Each timing is the
// fastest of `repeat`, the tree and the permutations alternating.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/ClusterMethod.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/PermutationRun.h"
#include "engine/ProgressMonitor.h"
#include "engine/ProximityMatrix.h"
#include "engine/VariableGroupAgglomeration.h"

using namespace korvana;

namespace {

std::vector<std::string> splitList(const char* text) {
  std::vector<std::string> items;
  std::string item;
  for (const char* at = text;; ++at) {
    if (*at == ',' || *at == '\0') {
      if (!item.empty()) items.push_back(item);
      item.clear();
      if (*at == '\0') return items;
    } else {
      item += *at;
    }
  }
}

void fill(ProximityMatrix& matrix, int n, const std::string& data) {
  std::mt19937 random(20260226);
  std::vector<double> lower;
  lower.reserve(static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2);
  if (data == "ties") {
    std::uniform_int_distribution<int> answer(1, 5);
    std::vector<std::array<int, 8>> cases(static_cast<std::size_t>(n));
    for (auto& answers : cases)
      for (int& a : answers) a = answer(random);
    for (int i = 1; i < n; ++i)
      for (int j = 0; j < i; ++j) {
        int distance = 0;
        for (int k = 0; k < 8; ++k) distance += std::abs(cases[static_cast<std::size_t>(i)][k] - cases[static_cast<std::size_t>(j)][k]);
        lower.push_back(distance);
      }
  } else {
    std::uniform_real_distribution<double> value(0.0, 1.0);
    for (std::size_t k = 0; k < lower.capacity(); ++k) lower.push_back(value(random));
  }
  matrix.assignLowerTriangle(n, lower);
}

double seconds(const std::chrono::steady_clock::duration& d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes{2000, 10000};
  std::vector<std::string> data{"ties", "random"};
  int repeat = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind("--sizes=", 0) == 0) {
      sizes.clear();
      for (const std::string& size : splitList(argv[i] + 8)) sizes.push_back(std::atoi(size.c_str()));
    } else if (argument.rfind("--repeat=", 0) == 0) {
      repeat = std::max(1, std::atoi(argv[i] + 9));
    } else if (argument.rfind("--data=", 0) == 0) {
      data = splitList(argv[i] + 7);
    } else {
      std::fprintf(stderr,
                   "usage: korvana_bench_order_free [--sizes=2000,10000] [--repeat=1] [--data=ties,random]\n");
      return 2;
    }
  }
  ClusterMethodFactory::createClusterMethods();
  std::printf("One order-free tree against 3 permutations (one job, one thread; seconds, fastest of %d)\n", repeat);
  std::printf("%-8s %6s %-34s %8s %8s %8s %8s\n", "data", "n", "method", "tree s", "3 perm s", "ratio", "merges");
  bool met = true;
  for (const std::string& kind : data)
    for (const int n : sizes) {
      ProximityMatrix matrix;
      fill(matrix, n, kind);
      for (ClusterMethod* method : ClusterMethodFactory::getClusterMethods()) {
        double tree = 1e300;
        double permutations = 1e300;
        std::size_t merges = 0;
        for (int r = 0; r < repeat; ++r) {
          auto start = std::chrono::steady_clock::now();
          const OrderFreeTree built = buildOrderFreeTree(matrix, *method);
          tree = std::min(tree, seconds(std::chrono::steady_clock::now() - start));
          merges = built.getMerges().size();
          PermutationSettings settings;
          settings.permutationCount = 3;
          settings.jobs = 1;
          SilentProgress progress;
          start = std::chrono::steady_clock::now();
          const PermutationResults results = runPermutations(matrix, *method, settings, progress);
          permutations = std::min(permutations, seconds(std::chrono::steady_clock::now() - start));
        }
        const double ratio = tree / permutations;
        met = met && ratio <= 1.0;
        std::printf("%-8s %6d %-34s %8.3f %8.3f %8.2f %8zu\n", kind.c_str(), n, method->getDisplayName().c_str(), tree,
                    permutations, ratio, merges);
        std::fflush(stdout);
      }
    }
  std::printf("Target (ratio at most 1 everywhere): %s\n", met ? "met" : "not met");
  ClusterMethodFactory::destroyClusterMethods();
  return 0;
}
