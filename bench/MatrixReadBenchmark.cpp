// korvana_bench_matrix_read: reading a proximity-matrix data file, next to
// ReadStat's own parse of the same file.
//
// "load" times loadProximityMatrix: the data-file library opens and
// decodes the file, the reader checks its layout and fills the lower triangle.
// "readstat" times a bare readstat_parse_sav of the same file whose value
// handler only adds the numbers up: the least any reader built on ReadStat
// can do. The ratio load / readstat is printed per size and compression.
//
// Memory: in a child process, the rise of the peak resident set (VmHWM) over
// the resident set before the load, next to the size of the lower triangle
// the matrix keeps. glibc serves blocks of 1 MiB or more from fresh mappings,
// so that freed blocks do not hide in the heap.
//
// The files are written through the data-file library in the layout the
// proximities command writes: ROWTYPE_ "PROX", VARNAME_ and one numeric
// variable per object, uniform random values from a fixed seed.
//
// Own options (after Google Benchmark's):
//   --sizes=500,2000   object counts
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <readstat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "datafile/ProximityMatrixFile.h"
#include "engine/ProximityMatrix.h"
#include "platform/spssio/SavDataFileLibrary.h"
#include "platform/host/MessageBoxes.h"

namespace {

std::vector<int> gSizes{500, 2000};
std::filesystem::path gFolder;

std::string fileFor(int n, bool compressed) {
  return (gFolder / ("matrix-" + std::to_string(n) + (compressed ? "-bytecode" : "-plain") + ".sav")).string();
}

void check(int status, const char* call) {
  if (status != SAV_OK) {
    std::fprintf(stderr, "%s failed with status %d\n", call, status);
    std::exit(2);
  }
}

/// "V1", "V2", … (appended rather than concatenated: GCC 12 warns falsely on
/// "V" + std::to_string(i) at -O2).
std::string objectName(int i) {
  std::string name("V");
  name.append(std::to_string(i));
  return name;
}

void writeMatrixFile(const std::string& file, int n, bool compressed) {
  int h = -1;
  check(sav_open_write(file.c_str(), &h), "sav_open_write");
  check(sav_set_compression(h, compressed ? 1 : 0), "sav_set_compression");
  check(sav_set_var_name(h, "ROWTYPE_", 8), "sav_set_var_name");
  check(sav_set_var_name(h, "VARNAME_", 8), "sav_set_var_name");
  for (int i = 1; i <= n; ++i) check(sav_set_var_name(h, objectName(i).c_str(), 0), "sav_set_var_name");
  check(sav_commit_header(h), "sav_commit_header");
  std::vector<double> handles(static_cast<std::size_t>(n) + 2);
  check(sav_get_var_handle(h, "ROWTYPE_", &handles[0]), "sav_get_var_handle");
  check(sav_get_var_handle(h, "VARNAME_", &handles[1]), "sav_get_var_handle");
  for (int i = 1; i <= n; ++i)
    check(sav_get_var_handle(h, objectName(i).c_str(), &handles[static_cast<std::size_t>(i) + 1]),
          "sav_get_var_handle");
  // Symmetric values: the lower triangle drawn once, mirrored.
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<double> lower(static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2);
  for (double& v : lower) v = uniform(random);
  auto at = [&](int a, int b) {
    if (a == b) return 0.0;
    const auto r = static_cast<std::size_t>(std::max(a, b)), c = static_cast<std::size_t>(std::min(a, b));
    return lower[r * (r - 1) / 2 + c];
  };
  for (int i = 0; i < n; ++i) {
    check(sav_set_value_char(h, handles[0], "PROX"), "sav_set_value_char");
    check(sav_set_value_char(h, handles[1], objectName(i + 1).c_str()), "sav_set_value_char");
    for (int j = 0; j < n; ++j)
      check(sav_set_value_numeric(h, handles[static_cast<std::size_t>(j) + 2], at(i, j)), "sav_set_value_numeric");
    check(sav_commit_case_record(h), "sav_commit_case_record");
  }
  check(sav_close_write(h), "sav_close_write");
}

bool load(const std::string& file, korvana::ProximityMatrix& matrix) {
  korvana::host::RecordingMessageBoxes boxes;
  korvana::host::ScopedMessageBoxService scope(boxes);
  const bool loaded = loadProximityMatrix(file, matrix);
  if (!loaded && !boxes.shown().empty()) std::fprintf(stderr, "%s: %s\n", file.c_str(), boxes.shown()[0].text.c_str());
  return loaded;
}

double readstatSum = 0;

int sumValue(int, readstat_variable_t*, readstat_value_t value, void*) {
  if (readstat_value_type(value) == READSTAT_TYPE_DOUBLE) readstatSum += readstat_double_value(value);
  return READSTAT_HANDLER_OK;
}

int acceptVariable(int, readstat_variable_t*, const char*, void*) { return READSTAT_HANDLER_OK; }

bool readstatParse(const std::string& file) {
  readstat_parser_t* parser = readstat_parser_init();
  readstat_set_variable_handler(parser, acceptVariable);
  readstat_set_value_handler(parser, sumValue);
  const readstat_error_t error = readstat_parse_sav(parser, file.c_str(), nullptr);
  readstat_parser_free(parser);
  return error == READSTAT_OK;
}

void BM_Load(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const bool compressed = state.range(1) != 0;
  const std::string file = fileFor(n, compressed);
  for (auto _ : state) {
    korvana::ProximityMatrix matrix;
    if (!load(file, matrix) || matrix.getNumberOfObjects() != n) {
      state.SkipWithError("the matrix file could not be loaded");
      return;
    }
    benchmark::DoNotOptimize(matrix.getSumOfSquares());
  }
  state.SetLabel(compressed ? "bytecode" : "uncompressed");
}

void BM_ReadStat(benchmark::State& state) {
  const std::string file = fileFor(static_cast<int>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    if (!readstatParse(file)) {
      state.SkipWithError("ReadStat could not parse the file");
      return;
    }
    benchmark::DoNotOptimize(readstatSum);
  }
  state.SetLabel(state.range(1) != 0 ? "bytecode" : "uncompressed");
}

long statusKilobytes(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + std::strlen(key), nullptr, 10);
  return -1;
}

/// Peak resident growth of one load, in bytes, measured in a child process.
long long peakGrowthOfLoad(const std::string& file) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    std::ofstream("/proc/self/clear_refs") << "5";  // resets VmHWM to the current resident set
    const long before = statusKilobytes("VmRSS:");
    long long growth = -1;
    {
      korvana::ProximityMatrix matrix;
      if (load(file, matrix)) growth = (statusKilobytes("VmHWM:") - before) * 1024LL;
    }
    if (write(pipeEnds[1], &growth, sizeof growth) != sizeof growth) _exit(1);
    _exit(0);
  }
  close(pipeEnds[1]);
  long long growth = -1;
  if (read(pipeEnds[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return growth;
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      std::string name = run.benchmark_name();
      name = name.substr(0, name.find("/min_time"));
      const auto slash = name.find('/');
      seconds_[name.substr(0, slash)][name.substr(slash + 1)] = run.GetAdjustedRealTime();  // ms, the unit of every run
    }
  }

  void printSummary() const {
    const auto& ours = seconds_.count("BM_Load") ? seconds_.at("BM_Load") : empty_;
    const auto& peer = seconds_.count("BM_ReadStat") ? seconds_.at("BM_ReadStat") : empty_;
    std::printf("\n%-8s %-13s %12s %12s %8s %14s %14s %8s\n", "objects", "compression", "load ms", "readstat ms",
                "ratio", "triangle MiB", "peak rise MiB", "mem/tri");
    for (const auto& [args, ms] : ours) {
      const auto peerAt = peer.find(args);
      const int n = std::stoi(args.substr(0, args.find('/')));
      const bool compressed = args.substr(args.find('/') + 1) != "0";
      const double triangle = static_cast<double>(n) * (n - 1) / 2 * sizeof(double);
      const long long growth = peakGrowthOfLoad(fileFor(n, compressed));
      std::printf("%-8d %-13s %12.2f %12.2f %8.2f %14.1f %14.1f %8.2f\n", n, compressed ? "bytecode" : "none", ms,
                  peerAt == peer.end() ? 0.0 : peerAt->second,
                  peerAt == peer.end() ? 0.0 : ms / peerAt->second, triangle / 1048576.0,
                  static_cast<double>(growth) / 1048576.0, static_cast<double>(growth) / triangle);
    }
  }

 private:
  std::map<std::string, std::map<std::string, double>> seconds_;
  std::map<std::string, double> empty_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind("--sizes=", 0) == 0) {
      gSizes.clear();
      std::stringstream list(argument.substr(8));
      for (std::string item; std::getline(list, item, ',');) gSizes.push_back(std::stoi(item));
    } else {
      std::fprintf(stderr, "unknown option %s\n", argument.c_str());
      return 2;
    }
  }
  mallopt(M_MMAP_THRESHOLD, 1 << 20);

  char folderTemplate[] = "/tmp/korvana-bench-XXXXXX";
  if (mkdtemp(folderTemplate) == nullptr) return 2;
  gFolder = folderTemplate;
  for (int n : gSizes) {
    for (const bool compressed : {true, false}) {
      writeMatrixFile(fileFor(n, compressed), n, compressed);
      for (auto* bench : {benchmark::RegisterBenchmark("BM_Load", BM_Load),
                          benchmark::RegisterBenchmark("BM_ReadStat", BM_ReadStat)})
        bench->Args({n, compressed ? 1 : 0})->Unit(benchmark::kMillisecond)->MinTime(0.5);
    }
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printSummary();
  std::filesystem::remove_all(gFolder);
  benchmark::Shutdown();
  return 0;
}
