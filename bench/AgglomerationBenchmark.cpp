// korvana_bench_agglomeration: the time of one agglomeration run per method and
// matrix size, next to fastcluster's linkage on the same matrix.
//
// "ours" times the work runPermutations does for one
// permutation: a new random permutation and solution, filling the working
// matrix in the permuted order, the stages with the fit updates, the rounded
// fit and the solution id. The working matrix and state are made once, as an
// analysis makes them once for all its permutations. It is timed with one
// thread and with two (the second thread fills half the working matrix and
// sums half of the fit); fastcluster uses one. "fit floor" times the fit
// alone, every pair summed in memory order with no clustering and no
// scattered reads: what any exact run must spend at least, whatever the
// method. "analysis" times a whole
// runPermutations of a one-permutation analysis, which adds the range check and
// making the working matrix; glibc is told to serve every block of 1 MiB or
// more with a fresh mapping, so that this column always includes the cost of
// new memory, as in a program's first analysis, whatever ran before.
//
// The matrices hold uniform random dissimilarities in (0, 1) from a fixed
// seed, all distinct, so that no merge depends on a tie. fastcluster is timed
// by fastcluster_peer.py (next to this file) on the same values, written as a
// raw float64 condensed matrix. The within-groups method has no fastcluster
// counterpart and is set against fastcluster's "average".
//
// The memory in use is read from glibc (mallinfo2, every allocation path
// included) plus the triangle blocks that the engine maps itself: before the
// analysis run, and at the end of its permutation through
// the analysis' progress monitor, while the working matrix and state still
// exist.
//
// Own options (after Google Benchmark's):
//   --sizes=500,1000,2000   object counts
//   --fastcluster-repeat=R  timed fastcluster calls per method (minimum kept)
//   --no-fastcluster        skip the peer
//   --cpu-time              compare processor time, not the time that passes
//                           (for a machine shared with other work)
// The Python interpreter can be overridden with the environment variable
// KORVANA_PYTHON.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "PeerBenchmarkSupport.h"
#include "engine/Agglomeration.h"
#include "engine/AgglomerationState.h"
#include "engine/PermutationRun.h"
#include "engine/ClusterMethod.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/ClusterSolution.h"
#include "common/EKorvanaError.h"
#include "engine/MemberLists.h"
#include "engine/ProgressMonitor.h"
#include "engine/ProximityMatrix.h"
#include "engine/RandomPermutationGenerator.h"
#include "engine/SimilarityMatrix.h"
#include "common/TriangularStorage.h"

using namespace korvana;

namespace {

constexpr std::uint64_t kMatrixSeed = 20240611;
constexpr std::int32_t kPermutationSeed = 7;
constexpr int kRepetitions = 3;
constexpr int kFreshMappingBytes = 1 << 20;
constexpr double kMinTimeSeconds = 0.2;

// Engine method index → (name, fastcluster method).
constexpr std::array<std::pair<const char*, const char*>, 7> kMethods = {{
    {"between-groups", "average"},
    {"within-groups", "average"},
    {"single", "single"},
    {"complete", "complete"},
    {"centroid", "centroid"},
    {"median", "median"},
    {"ward", "ward"},
}};
constexpr int kWithinGroups = 1;

struct Options {
  std::vector<int> sizes{500, 1000, 2000};
  int fastclusterRepeat = 5;
  bool fastcluster = true;
  bool cpuTime = false;
};

struct MemoryUse {
  std::size_t matrixBytes = 0;  // the loaded proximity matrix of the analysis
  std::size_t runBytes = 0;     // held at the end of a run's permutation, above what was held before it
};

/// Bytes handed out by malloc and not yet freed (arena and mmapped blocks),
/// plus the triangle blocks the engine maps itself.
std::size_t heapInUse() {
  const struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd + korvana::TriangularStorage::allocatedBytes();
}

/// Records the heap in use when the analysis reports a finished permutation:
/// the working matrix, the state and the new solution are all alive then.
class HeapProbe final : public ProgressMonitor {
 public:
  void setSteps(const std::vector<std::string>&) override {}
  void setStep(int, int, int) override {}
  void setStatus(const std::string&) override {}
  void stepIt() override { inUse = heapInUse(); }
  bool isCanceled() override { return false; }
  void showProgress() override {}
  void hideProgress() override {}

  std::size_t inUse = 0;
};

std::map<int, std::vector<double>> lowerTriangles;                    // n → (1,0), (2,0), (2,1), …
std::map<std::pair<int, int>, MemoryUse> memoryUse;                    // (method, n)
std::map<std::pair<std::string, int>, double> fastclusterMilliseconds;  // (method, n)
std::map<std::pair<std::string, int>, double> pipelineMilliseconds;     // (method, n): the peer's whole permutation

enum class Kind { permutation, triangle, twoThreads, analysis };

std::string benchmarkName(Kind kind, int method, int n) {
  const char* prefix = kind == Kind::permutation ? "Permutation/"
                       : kind == Kind::triangle  ? "Triangle/"
                       : kind == Kind::twoThreads ? "TwoThreads/"
                                                  : "Analysis/";
  return prefix + std::string(kMethods[static_cast<std::size_t>(method)].first) + "/" + std::to_string(n);
}

constexpr std::array<std::pair<FitShare, const char*>, 3> kFitShares = {{
    {FitShare::all, "all"},
    {FitShare::moments, "moments"},
    {FitShare::differencesAndProducts, "differences"},
}};

std::string fitFloorName(FitShare share, int n) {
  for (const auto& [value, name] : kFitShares)
    if (value == share) return std::string("FitFloor/") + name + "/" + std::to_string(n);
  return "FitFloor/" + std::to_string(n);
}

ClusterMethod& methodAt(int methodIndex) {
  return *ClusterMethodFactory::getClusterMethods()[static_cast<std::size_t>(methodIndex)];
}

/// The work of one permutation of runPermutations, with the
/// working matrix and state made beforehand, on a new random permutation each
/// time.
void runPermutation(benchmark::State& state, int methodIndex, int n, RunThreads threads, WorkingLayout layout) {
  ClusterMethod& method = methodAt(methodIndex);
  try {
    ProximityMatrix matrix;
    matrix.assignLowerTriangle(n, lowerTriangles.at(n));
    // As an analysis does: square working matrices go with the proximities as
    // whole rows.
    if (layout == WorkingLayout::square) matrix.makeSquareRows();
    SimilarityMatrix workingMatrix(matrix.isDissimilarity(), n, layout);
    AgglomerationState agglomerationState(n);
    RandomPermutationGenerator generator(kPermutationSeed, n);
    for (auto _ : state) {
      const std::int32_t seed = generator.getState();
      ClusterSolution solution(n, matrix.getSumOfSquares(), n - 1, generator.nextPermutation(false), seed, false);
      agglomerate(matrix, solution.getPermutation().data(), method, workingMatrix, agglomerationState, solution,
                  threads);
      solution.computeRoundedFit();
      solution.computeSolutionId();
      benchmark::DoNotOptimize(solution.getNormalizedSSDif());
      benchmark::DoNotOptimize(solution.getSolutionId().data());
      benchmark::ClobberMemory();
    }
  } catch (const EKorvanaError& e) {
    state.SkipWithError(e.what());
  }
}

/// The fit of a run alone, in the cheapest order there is: stage t joins
/// object t + 1 to the cluster of objects 0 … t, so the pairs are read row by
/// row in memory order. Same sums, same extended arithmetic as every run.
/// Each running sum is one chain of dependent extended additions, so the
/// share that one thread sums in a two-thread run costs nearly as much.
void runFitFloor(benchmark::State& state, int n, FitShare share) {
  ProximityMatrix matrix;
  matrix.assignLowerTriangle(n, lowerTriangles.at(n));
  MemberLists members(n);
  std::vector<int> identity(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) identity[static_cast<std::size_t>(i)] = i;
  for (auto _ : state) {
    ClusterSolution solution(n, matrix.getSumOfSquares(), n - 1, identity, 0, true);
    members.reset();
    for (int t = 0; t + 1 < n; ++t) {
      solution.accumulateFit(t, t + 1, 0, matrix, members, 0.5 + t * 1e-3, share);
      members.join(0, t + 1);
    }
    benchmark::DoNotOptimize(solution.getUnroundedNormalizedSSDif());
    benchmark::DoNotOptimize(solution.getCopheneticCorrelation());
  }
}

/// n(n − 1)/2 distinct uniform values in (0, 1): (k + 1/2) / 2^52 for a random
/// 52-bit k, exactly representable.
std::vector<double> randomLowerTriangle(int n, std::uint64_t seed) {
  const std::size_t count = static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2;
  std::mt19937_64 generator(seed ^ static_cast<std::uint64_t>(n));
  const auto draw = [&] { return (static_cast<double>(generator() >> 12) + 0.5) * 0x1p-52; };
  std::vector<double> values(count);
  for (double& v : values) v = draw();
  // Redraw repeated values until all are distinct (rarely needed at all).
  for (;;) {
    std::vector<std::pair<double, std::size_t>> sorted(count);
    for (std::size_t k = 0; k < count; ++k) sorted[k] = {values[k], k};
    std::sort(sorted.begin(), sorted.end());
    bool repeated = false;
    for (std::size_t k = 1; k < count; ++k)
      if (sorted[k].first == sorted[k - 1].first) {
        values[sorted[k].second] = draw();
        repeated = true;
      }
    if (!repeated) return values;
  }
}

/// A whole runPermutations of an analysis of one random permutation; the first,
/// untimed run records the heap use.
void runAnalysis(benchmark::State& state, int methodIndex, int n) {
  ClusterMethod& method = methodAt(methodIndex);
  try {
    PermutationSettings settings;
    settings.firstPermutationIsIdentity = false;
    settings.seed = kPermutationSeed;
    MemoryUse use;
    const std::size_t beforeMatrix = heapInUse();
    ProximityMatrix matrix;
    matrix.assignLowerTriangle(n, lowerTriangles.at(n));
    use.matrixBytes = heapInUse() - beforeMatrix;

    // One untimed run, which is also the warm-up: the heap it holds.
    HeapProbe probe;
    const std::size_t beforeRun = heapInUse();
    runPermutations(matrix, method, settings, probe);
    use.runBytes = probe.inUse - beforeRun;
    memoryUse[{methodIndex, n}] = use;

    SilentProgress silent;
    for (auto _ : state) {
      const PermutationResults results = runPermutations(matrix, method, settings, silent);
      benchmark::DoNotOptimize(results.records.fitValues.data());
      benchmark::ClobberMemory();
    }
  } catch (const EKorvanaError& e) {
    state.SkipWithError(e.what());
  }
}

/// Writes the matrices as condensed float64 files, runs the peer script and
/// collects its timings. Returns the versions line, or why there are none.
std::string runFastcluster(const Options& options) {
  const std::string script = std::string(KORVANA_BENCH_SOURCE_DIR) + "/fastcluster_peer.py";
  std::vector<std::filesystem::path> files;
  std::string command = bench::peerCommand(KORVANA_BENCH_PYTHON, script) +
                        " --repeat " + std::to_string(options.fastclusterRepeat) + (options.cpuTime ? " --cpu-time" : "");
  for (const int n : options.sizes) {
    const std::vector<double>& lower = lowerTriangles.at(n);
    std::vector<double> condensed;
    condensed.reserve(lower.size());
    for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j)
      for (std::size_t i = j + 1; i < static_cast<std::size_t>(n); ++i) condensed.push_back(lower[i * (i - 1) / 2 + j]);
    const auto path = std::filesystem::temp_directory_path() /
                      ("korvana_bench_" + std::to_string(::getpid()) + "_" + std::to_string(n) + ".f64");
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(condensed.data()),
              static_cast<std::streamsize>(condensed.size() * sizeof(double)));
    files.push_back(path);
    if (!out) {
      for (const auto& written : files) std::filesystem::remove(written);
      return "could not write " + path.string();
    }
    command.append(" ").append(bench::shellQuote(path.string())).append(" ").append(std::to_string(n));
  }
  const std::string versions = bench::runPeer("fastcluster", command, [&](const std::string& word, std::istringstream& in) {
    if (word == "pipeline") {
      std::string method;
      int n = 0;
      double ms = 0;
      if (!(in >> method >> n >> ms)) return false;
      pipelineMilliseconds[{method, n}] = ms;
      return true;
    }
    int n = 0;
    double ms = 0;
    if (!(in >> n >> ms)) return false;
    fastclusterMilliseconds[{word, n}] = ms;
    return true;
  });
  for (const auto& path : files) std::filesystem::remove(path);
  return versions;
}

std::vector<int> parseSizes(const std::string& text) {
  std::vector<int> sizes;
  std::istringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    const int n = std::atoi(item.c_str());
    if (n < 2) throw EKorvanaError("--sizes needs object counts of at least 2, not '" + item + "'");
    sizes.push_back(n);
  }
  return sizes;
}

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--sizes=", 0) == 0) options.sizes = parseSizes(arg.substr(8));
    else if (arg.rfind("--fastcluster-repeat=", 0) == 0) options.fastclusterRepeat = std::max(1, std::atoi(arg.c_str() + 21));
    else if (arg == "--no-fastcluster") options.fastcluster = false;
    else if (arg == "--cpu-time") options.cpuTime = true;
    else throw EKorvanaError("unknown option " + arg);
  }
  return options;
}

/// The most objects a run of one job clusters in square working matrices
/// (with a method that prefers them).
int largestSquare() {
  int n = 2;
  while (squareLayoutFits(n + 1, 1)) ++n;
  return n;
}

void printTable(const bench::FastestRunReporter& reporter, const Options& options, const std::string& versions) {
  std::printf("\nours ms: the work of one permutation (new permutation + fill + run + fit + id), working matrix made\n"
              "  beforehand; fastest of %d repetitions; with one thread (1t) and with two (2t).\n"
              "fastcluster ms: fastcluster.linkage on the same matrix, fastest of %d calls after a warm-up.\n"
              "analysis ms: runPermutations of a one-permutation analysis (adds the range check and\n"
              "  making the working matrix in fresh memory); fastest of %d repetitions.\n"
              "Times: %s.\n"
              "Peer: %s\n\n",
              kRepetitions, options.fastclusterRepeat, kRepetitions,
              options.cpuTime ? "processor time of the work, ours and the peer's" : "time that passed",
              options.fastcluster ? versions.c_str() : "skipped");
  std::printf("%-17s %5s %10s %10s %15s %10s %10s %12s %8s\n", "method", "n", "ours 1t ms", "ours 2t ms",
              "fastcluster ms", "1t/fc", "2t/fc", "analysis ms", "run/T");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t m = 0; m < kMethods.size(); ++m)
    for (const int n : options.sizes) {
      const int method = static_cast<int>(m);
      const double ours = reporter.milliseconds(benchmarkName(Kind::permutation, method, n));
      const double two = reporter.milliseconds(benchmarkName(Kind::twoThreads, method, n));
      const double analysis = reporter.milliseconds(benchmarkName(Kind::analysis, method, n));
      if (std::isnan(ours) && std::isnan(analysis)) continue;
      const auto fc = fastclusterMilliseconds.find({kMethods[m].second, n});
      const double theirs = fc == fastclusterMilliseconds.end() ? nan : fc->second;
      const std::string name = std::string(kMethods[m].first) + (m == kWithinGroups ? "*" : "");
      const double pairBytes = static_cast<double>(n) * (n - 1) / 2 * sizeof(double);
      const auto use = memoryUse.find({method, n});
      const double run = use == memoryUse.end() ? nan : static_cast<double>(use->second.runBytes) / pairBytes;
      std::printf("%-17s %5d %10.2f %10.2f %15.2f %10.3f %10.3f %12.2f %8.4f\n", name.c_str(), n, ours, two, theirs,
                  ours / theirs, two / theirs, analysis, run);
    }
  std::printf("\nfit floor ms (the same for every method; all sums, and each share of a two-thread run alone):\n");
  for (const int n : options.sizes) {
    std::printf("%5d", n);
    for (const auto& [share, name] : kFitShares)
      std::printf("  %s %.2f", name, reporter.milliseconds(fitFloorName(share, n)));
    std::printf("\n");
  }
  std::printf("\n* within-groups has no fastcluster counterpart; its row is set against fastcluster's 'average'.\n"
              "  1t/fc, 2t/fc = ours ms / fastcluster ms; <= 1.0: the engine is faster. A run uses two threads\n"
              "  itself (from %d objects on) only when there are fewer permutations than half the jobs.\n",
              kTwoThreadObjects);
  std::printf("  centroid, median, ward: fastcluster is given the square roots of the values, which it squares\n"
              "  back, so both cluster the same values (up to rounding).\n\n");

  std::printf("Per permutation, one job, against the peer pipeline (the matrix permuted with numpy,\n"
              "fastcluster.linkage, scipy's cophenet, the SSDif with numpy; fastest of %d permutations):\n",
              options.fastclusterRepeat);
  std::printf("%-17s %5s %10s %12s %10s %9s %9s %8s %12s %9s\n", "method", "n", "ours 1t ms", "pipeline ms",
              "ours/pipe", "ours/fc", "floor ms", "floor/pipe", "triangle ms", "tri/pipe");
  for (std::size_t m = 0; m < kMethods.size(); ++m)
    for (const int n : options.sizes) {
      const int method = static_cast<int>(m);
      const double ours = reporter.milliseconds(benchmarkName(Kind::permutation, method, n));
      const auto pipe = pipelineMilliseconds.find({kMethods[m].second, n});
      const auto fc = fastclusterMilliseconds.find({kMethods[m].second, n});
      const double pipeline = pipe == pipelineMilliseconds.end() ? nan : pipe->second;
      const double theirs = fc == fastclusterMilliseconds.end() ? nan : fc->second;
      const double floor = reporter.milliseconds(fitFloorName(FitShare::all, n));
      const double triangle = reporter.milliseconds(benchmarkName(Kind::triangle, method, n));
      const std::string name = std::string(kMethods[m].first) + (m == kWithinGroups ? "*" : "");
      std::printf("%-17s %5d %10.2f %12.2f %10.3f %9.3f %9.2f %8.3f %12.2f %9.3f\n", name.c_str(), n, ours, pipeline,
                  ours / pipeline, ours / theirs, floor, floor / pipeline, triangle, triangle / pipeline);
    }
  std::printf("Target: ours/pipe <= 0.5. floor: the exact fit alone (every pair summed in extended precision,\n"
              "in memory order, no clustering), which every exact run spends at least. ours: the working matrix\n"
              "in the layout a run of one job takes (square for single linkage up to %d objects: whole rows,\n"
              "filled from the proximities as whole rows); triangle: the lower-triangle working matrix.\n\n",
              largestSquare());

  std::printf("Memory in use (glibc mallinfo2 and the engine's own mappings), T = n(n-1)/2 doubles; run/T = held during one run on top of\n"
              "the loaded matrix, read when its permutation is finished (largest over the methods):\n");
  std::printf("%5s %10s %18s %8s\n", "n", "T MiB", "loaded matrix / T", "run / T");
  for (const int n : options.sizes) {
    const double pairBytes = static_cast<double>(n) * (n - 1) / 2 * sizeof(double);
    double matrix = 0, run = 0;
    for (const auto& [key, use] : memoryUse)
      if (key.second == n) {
        matrix = std::max(matrix, static_cast<double>(use.matrixBytes) / pairBytes);
        run = std::max(run, static_cast<double>(use.runBytes) / pairBytes);
      }
    std::printf("%5d %10.2f %18.4f %8.4f\n", n, pairBytes / (1 << 20), matrix, run);
  }
  std::printf("Expected: the proximity matrix (T plus O(n) per-object overhead) and, during a run, the working\n"
              "matrix (T) plus O(n) bookkeeping: 2T + O(n) in all. Blocks rounded up or aligned for huge pages\n"
              "count in full.\n");
}

}  // namespace

int main(int argc, char** argv) {
  // A fixed threshold also turns off glibc's habit of raising it after large
  // frees, which would let later analyses reuse memory that earlier ones freed.
  ::mallopt(M_MMAP_THRESHOLD, kFreshMappingBytes);
  benchmark::Initialize(&argc, argv);
  try {
    const Options options = parseOptions(argc, argv);
    for (const int n : options.sizes) lowerTriangles[n] = randomLowerTriangle(n, kMatrixSeed);
    ClusterMethodFactory::createClusterMethods();

    std::string versions;
    if (options.fastcluster) versions = runFastcluster(options);

    const auto configure = [](benchmark::internal::Benchmark* b) {
      b->Unit(benchmark::kMillisecond)
          ->UseRealTime()
          ->MinTime(kMinTimeSeconds)
          ->Repetitions(kRepetitions)
          ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
          ->DisplayAggregatesOnly(true);
    };
    for (const int n : options.sizes)
      for (const auto& entry : kFitShares) {
        const FitShare share = entry.first;
        configure(benchmark::RegisterBenchmark(fitFloorName(share, n).c_str(),
                                               [n, share](benchmark::State& state) { runFitFloor(state, n, share); }));
      }
    for (const Kind kind : {Kind::permutation, Kind::triangle, Kind::twoThreads, Kind::analysis})
      for (std::size_t m = 0; m < kMethods.size(); ++m)
        for (const int n : options.sizes) {
          const int method = static_cast<int>(m);
          benchmark::RegisterBenchmark(benchmarkName(kind, method, n).c_str(),
                                       [kind, method, n](benchmark::State& state) {
                                         if (kind == Kind::analysis) runAnalysis(state, method, n);
                                         else runPermutation(state, method, n,
                                                             kind == Kind::twoThreads ? RunThreads::two : RunThreads::one,
                                                             kind == Kind::triangle
                                                                 ? WorkingLayout::triangle
                                                                 : workingLayoutFor(methodAt(method), n, 1));
                                       })
              ->Unit(benchmark::kMillisecond)
              ->UseRealTime()
              ->MinTime(kMinTimeSeconds)
              ->Repetitions(kRepetitions)
              ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
              ->DisplayAggregatesOnly(true);
        }

    bench::FastestRunReporter reporter(options.cpuTime);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printTable(reporter, options, versions);
    ClusterMethodFactory::destroyClusterMethods();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvana_bench_agglomeration: %s\n", e.what());
    return 1;
  }
  benchmark::Shutdown();
  return 0;
}
