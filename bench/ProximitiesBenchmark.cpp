// korvana_bench_proximities: the time of the PROXIMITIES computation for 4000
// cases × 20 variables, next to scipy's pdist on the same data.
//
// "ours" times computeProximities on a parsed request: the listwise check,
// the copies of the data in both layouts, the strict lower triangle in new
// memory (as pdist's result is new memory on every call) and the diagonal.
//   SEUCLID: normal random values (mean 0, sd 1) against pdist 'sqeuclidean';
//   JACCARD(1,0): random 0/1 values (half of them 1) against pdist 'jaccard'
//   on the same values as a boolean array.
// pdist is timed by pdist_peer.py (next to this file) on the same values,
// written as raw float64. Both sides keep the fastest of their runs.
//
// Own options (after Google Benchmark's):
//   --cases=N --variables=K   the data size (4000 × 20)
//   --pdist-repeat=R          timed pdist calls per measure (minimum kept)
//   --no-pdist                skip the peer
// The Python interpreter can be overridden with the environment variable
// KORVANA_PYTHON.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
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
#include <vector>

#include "PeerBenchmarkSupport.h"
#include "platform/spss/proximities/ProximitiesComputation.h"
#include "platform/spss/proximities/ProximitiesParser.h"

using namespace korvana::spss;

namespace {

constexpr std::uint64_t kDataSeed = 20240611;
constexpr int kRepetitions = 5;
constexpr double kMinTimeSeconds = 0.3;

struct Options {
  std::size_t cases = 4000;
  std::size_t variables = 20;
  int pdistRepeat = 7;
  bool pdist = true;
};

struct Case {
  const char* name;         // benchmark and peer name
  const char* measure;      // the MEASURE subcommand
  const char* metric;       // pdist's metric
  bool binary;              // 0/1 data instead of normal values
};

constexpr Case kCases[] = {
    {"SEUCLID", "SEUCLID", "sqeuclidean", false},
    {"JACCARD", "JACCARD(1,0)", "jaccard", true},
};

std::map<std::string, ProximitiesData> dataSets;
std::map<std::string, double> pdistMilliseconds;

ProximitiesData makeData(const Options& options, bool binary) {
  ProximitiesData data;
  data.caseCount = options.cases;
  data.variableCount = options.variables;
  data.values.resize(options.cases * options.variables);
  std::mt19937_64 generator(kDataSeed + (binary ? 1 : 0));
  std::normal_distribution<double> normal(0.0, 1.0);
  std::bernoulli_distribution coin(0.5);
  for (double& v : data.values) v = binary ? (coin(generator) ? 1.0 : 0.0) : normal(generator);
  return data;
}

std::vector<ProximitiesVariable> dictionaryOf(std::size_t variables) {
  std::vector<ProximitiesVariable> dictionary;
  for (std::size_t v = 0; v < variables; ++v) dictionary.push_back({"v" + std::to_string(v + 1), true});
  return dictionary;
}

std::string commandFor(const Case& c, std::size_t variables) {
  std::string command = "PROXIMITIES ";
  for (std::size_t v = 0; v < variables; ++v) command += (v ? ",v" : "v") + std::to_string(v + 1);
  return command + " /VIEW=CASE /MEASURE=" + c.measure + " /PRINT=NONE.";
}

void runOurs(benchmark::State& state, const Case& c, const Options& options) {
  try {
    const ProximitiesRequest request =
        ProximitiesParser::parse(commandFor(c, options.variables), dictionaryOf(options.variables));
    const ProximitiesData& data = dataSets.at(c.name);
    for (auto _ : state) {
      ProximitiesResult result = computeProximities(request, data);
      benchmark::DoNotOptimize(result.lower.data());
      benchmark::ClobberMemory();
    }
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

/// Writes the data sets as raw float64 files, runs the peer script and
/// collects its timings. Returns the versions line, or why there are none.
std::string runPdist(const Options& options) {
  const std::string script = std::string(KORVANA_BENCH_SOURCE_DIR) + "/pdist_peer.py";
  std::vector<std::filesystem::path> files;
  std::string command = korvana::bench::peerCommand(KORVANA_BENCH_PYTHON, script) + " --repeat " + std::to_string(options.pdistRepeat);
  for (const Case& c : kCases) {
    const ProximitiesData& data = dataSets.at(c.name);
    const auto path = std::filesystem::temp_directory_path() /
                      ("korvana_bench_prox_" + std::to_string(::getpid()) + "_" + c.name + ".f64");
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.values.data()),
              static_cast<std::streamsize>(data.values.size() * sizeof(double)));
    files.push_back(path);
    if (!out) {
      for (const auto& written : files) std::filesystem::remove(written);
      return "could not write " + path.string();
    }
    command.append(" ").append(c.name).append(" ").append(korvana::bench::shellQuote(path.string()));
    command.append(" ").append(std::to_string(data.caseCount)).append(" ").append(std::to_string(data.variableCount));
    command.append(" ").append(c.metric);
  }
  const std::string versions = korvana::bench::runPeer("pdist", command, [&](const std::string& word, std::istringstream& in) {
    double ms = 0;
    if (!(in >> ms)) return false;
    pdistMilliseconds[word] = ms;
    return true;
  });
  for (const auto& path : files) std::filesystem::remove(path);
  return versions;
}

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--cases=", 0) == 0) options.cases = std::max(2, std::atoi(arg.c_str() + 8));
    else if (arg.rfind("--variables=", 0) == 0) options.variables = std::max(1, std::atoi(arg.c_str() + 12));
    else if (arg.rfind("--pdist-repeat=", 0) == 0) options.pdistRepeat = std::max(1, std::atoi(arg.c_str() + 15));
    else if (arg == "--no-pdist") options.pdist = false;
    else throw std::runtime_error("unknown option " + arg);
  }
  return options;
}

void printTable(const korvana::bench::FastestRunReporter& reporter, const Options& options, const std::string& versions) {
  std::printf("\n%zu cases x %zu variables, VIEW=CASE: %zu pairs.\n"
              "ours ms: computeProximities (listwise check, both layouts, triangle in new memory, diagonal);\n"
              "  fastest of %d repetitions.\n"
              "pdist ms: scipy.spatial.distance.pdist on the same values, fastest of %d calls after a warm-up.\n"
              "Peer: %s\n\n",
              options.cases, options.variables, options.cases * (options.cases - 1) / 2, kRepetitions,
              options.pdistRepeat, options.pdist ? versions.c_str() : "skipped");
  std::printf("%-8s %-14s %-12s %9s %9s %10s\n", "measure", "ours", "pdist", "ours ms", "pdist ms", "ours/pdist");
  for (const Case& c : kCases) {
    const double ours = reporter.milliseconds(c.name);
    const auto it = pdistMilliseconds.find(c.name);
    const double theirs = it == pdistMilliseconds.end() ? std::numeric_limits<double>::quiet_NaN() : it->second;
    std::printf("%-8s %-14s %-12s %9.2f %9.2f %10.3f\n", c.name, c.measure, c.metric, ours, theirs, ours / theirs);
  }
  std::printf("\nours/pdist <= 1.0: PROXIMITIES is at least as fast as pdist.\n");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  try {
    const Options options = parseOptions(argc, argv);
    for (const Case& c : kCases) dataSets[c.name] = makeData(options, c.binary);

    std::string versions;
    if (options.pdist) versions = runPdist(options);

    for (const Case& c : kCases)
      benchmark::RegisterBenchmark(c.name, [&c, options](benchmark::State& state) { runOurs(state, c, options); })
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime()
          ->MinTime(kMinTimeSeconds)
          ->Repetitions(kRepetitions)
          ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
          ->DisplayAggregatesOnly(true);

    korvana::bench::FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printTable(reporter, options, versions);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvana_bench_proximities: %s\n", e.what());
    return 1;
  }
  benchmark::Shutdown();
  return 0;
}
