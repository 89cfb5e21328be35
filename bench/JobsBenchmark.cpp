// korvana_bench_jobs: the permutation run with two jobs against one, every
// method, on this machine. A job is a thread with its own working matrix; the
// records and kept solutions must come out the same, which is checked here
// too (a difference is reported and makes the program fail).
//
//   korvana_bench_jobs [--sizes=800,2000] [--permutations=200] [--repeat=2]
//
// Each run is timed `repeat` times, alternating one job and two, and the
// fastest of each is kept. The matrices hold uniform random dissimilarities.
#include <algorithm>
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

using namespace korvana;

namespace {

struct Options {
  std::vector<int> sizes{800, 2000};
  int permutations = 200;
  int repeat = 2;
};

std::vector<int> parseSizes(const char* text) {
  std::vector<int> sizes;
  for (const char* at = text; *at != '\0';) {
    char* end = nullptr;
    sizes.push_back(static_cast<int>(std::strtol(at, &end, 10)));
    at = *end == ',' ? end + 1 : end;
    if (end == at && *at != '\0') break;
  }
  return sizes;
}

double seconds(const std::chrono::steady_clock::duration& d) { return std::chrono::duration<double>(d).count(); }

bool sameRecords(const PermutationResults& a, const PermutationResults& b) {
  const auto bits = [](const std::vector<double>& x, const std::vector<double>& y) {
    return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) == 0;
  };
  if (!bits(a.records.fitValues, b.records.fitValues) || !bits(a.records.correlations, b.records.correlations) ||
      a.records.seeds != b.records.seeds || a.records.solutionIds != b.records.solutionIds ||
      a.solutions.size() != b.solutions.size())
    return false;
  for (std::size_t s = 0; s < a.solutions.size(); ++s)
    if (!a.solutions[s]->isSameSolution(*b.solutions[s])) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind("--sizes=", 0) == 0) options.sizes = parseSizes(argv[i] + 8);
    else if (argument.rfind("--permutations=", 0) == 0) options.permutations = std::atoi(argv[i] + 15);
    else if (argument.rfind("--repeat=", 0) == 0) options.repeat = std::max(1, std::atoi(argv[i] + 9));
    else {
      std::fprintf(stderr, "usage: korvana_bench_jobs [--sizes=800,2000] [--permutations=200] [--repeat=2]\n");
      return 2;
    }
  }
  ClusterMethodFactory::createClusterMethods();
  bool identical = true;
  std::printf("The permutation run, %d permutations, one job against two (seconds, fastest of %d)\n",
              options.permutations, options.repeat);
  std::printf("%-28s %6s %10s %10s %9s %10s\n", "method", "n", "1 job s", "2 jobs s", "speed-up", "identical");
  for (const int n : options.sizes) {
    std::mt19937_64 random(20240611 + static_cast<unsigned>(n));
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::vector<double> lower(static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2);
    for (double& value : lower) value = uniform(random);
    ProximityMatrix matrix;
    matrix.assignLowerTriangle(n, lower);
    for (ClusterMethod* method : ClusterMethodFactory::getClusterMethods()) {
      double best[2] = {1e300, 1e300};
      PermutationResults results[2];
      for (int r = 0; r < options.repeat; ++r)
        for (int j = 0; j < 2; ++j) {
          PermutationSettings settings;
          settings.permutationCount = options.permutations;
          settings.seed = 7;
          settings.jobs = j + 1;
          SilentProgress progress;
          const auto start = std::chrono::steady_clock::now();
          results[j] = runPermutations(matrix, *method, settings, progress);
          best[j] = std::min(best[j], seconds(std::chrono::steady_clock::now() - start));
        }
      const bool same = sameRecords(results[0], results[1]);
      identical = identical && same;
      std::printf("%-28s %6d %10.3f %10.3f %9.2f %10s\n", method->getName().c_str(), n, best[0], best[1],
                  best[0] / best[1], same ? "yes" : "NO");
      std::fflush(stdout);
    }
  }
  ClusterMethodFactory::destroyClusterMethods();
  std::printf("Target: a speed-up of at least 1.85 for every method on a machine with two cores.\n");
  return identical ? 0 : 1;
}
