// Whole-program time and peak memory by phase, for one analysis as
// korvana-batch runs it: the matrix (PROXIMITIES and reading the matrix
// file), the permutations, saving the fit table, the output written into the
// document, and the renderings saved as files. The peak of each phase is read
// from the kernel (VmHWM), reset at each phase's start (clear_refs), so it is
// the resident memory of the whole process at its highest in that phase; the
// processor time of each phase (all threads) is shown beside the time that
// passed, which on a machine shared with other work is the steadier of the two.
//
//   korvana_bench_phases                      the iris example, and 10,000 cases with P = 10, 2 jobs
//   korvana_bench_phases --objects N [--permutations P] [--jobs J] [--parts] [--keep]
//                                             N generated cases, from the data and from their matrix
//                                             file; --parts also times the parts of the matrix phase
//                                             (the distances, writing the file, reading it); --keep
//                                             leaves the cases and the saved pages in their folder
//                                             (for page_load.py)
//   korvana_bench_phases DATA.csv SETTINGS.ini [JOBS]
//
// With generated cases the peak is set against the target (jobs + 1) triangles
// of n(n − 1)/2 doubles + 1 GB, and what lies outside the permutations against
// one permutation (the permutations' time × jobs / P).
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "analysis/ClusterAnalysis.h"
#include "analysis/DataDictionary.h"
#include "analysis/RequestTranslation.h"
#include "analysis/SettingsFile.h"
#include "analysis/SharedInstances.h"
#include "common/EKorvanaError.h"
#include "common/SystemMemory.h"
#include "engine/ProgressMonitor.h"
#include "output/AutomationCallChecks.h"
#include "platform/host/MessageBoxes.h"
#include "platform/host/TemporaryFiles.h"
#include "platform/spss/StatisticsPackage.h"
#include "platform/spss/outputdoc/DocumentFiles.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "datafile/ProximityMatrixFile.h"
#include "engine/ProximityMatrix.h"
#include "platform/spss/proximities/ProximitiesMatrix.h"
#include "platform/spss/proximities/ProximitiesParser.h"

namespace {

using Clock = std::chrono::steady_clock;

long residentPeakKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

void resetResidentPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

/// Processor time of the process so far, all threads, in seconds.
double processorSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

/// Times the phases the run announces through its progress steps.
class PhaseClock final : public korvana::ProgressMonitor {
 public:
  struct Phase {
    std::string name;
    double seconds = 0;
    double processor = 0;
    long peakKilobytes = 0;
  };

  void begin(const std::string& name) {
    end();
    current_ = name;
    started_ = Clock::now();
    startedProcessor_ = processorSeconds();
    resetResidentPeak();
  }
  void end() {
    if (current_.empty()) return;
    phases_.push_back({current_, std::chrono::duration<double>(Clock::now() - started_).count(),
                       processorSeconds() - startedProcessor_, residentPeakKilobytes()});
    current_.clear();
  }
  const std::vector<Phase>& phases() const { return phases_; }

  void setSteps(const std::vector<std::string>& names) override { names_ = names; }
  void setStep(int index, int, int) override {
    const std::string& step = names_.at(static_cast<std::size_t>(index));
    begin(step == "Performing analysis"            ? "permutations"
          : step == "Saving permutation fit table" ? "save fit table"
                                                   : "output (document)");
  }
  void setStatus(const std::string&) override {}
  void stepIt() override {}
  bool isCanceled() override { return false; }
  void showProgress() override {}
  void hideProgress() override {}

 private:
  std::vector<std::string> names_;
  std::string current_;
  Clock::time_point started_;
  double startedProcessor_ = 0;
  std::vector<Phase> phases_;
};

/// The values of the generated cases: four integers from 0 to 20 each.
std::vector<double> caseValues(int n) {
  std::mt19937 random(1);
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(n) * 4);
  for (int i = 0; i < n * 4; ++i) values.push_back(static_cast<double>(random() % 21));
  return values;
}

/// n cases of four integer variables from 0 to 20 (so with many tied
/// distances) and a case label.
std::string writeCases(const std::filesystem::path& folder, int n) {
  const std::string path = (folder / "cases.csv").string();
  std::ofstream out(path);
  const std::vector<double> values = caseValues(n);
  out << "id,a,b,c,d\n";
  for (int i = 0; i < n; ++i) {
    out << "c" << i;
    for (int v = 0; v < 4; ++v) out << ',' << values[static_cast<std::size_t>(i * 4 + v)];
    out << '\n';
  }
  return path;
}

/// The request; with a matrix file the proximities are read from it.
std::string writeSettings(const std::filesystem::path& folder, int permutations, const std::string& matrixFile = "") {
  const std::string path = (folder / (matrixFile.empty() ? "cases.ini" : "matrix.ini")).string();
  std::ofstream out(path);
  out << "[General]\nCluster Method=0\nNumber of Permutations=" << permutations
      << (matrixFile.empty() ? "\nAnalysis Type=2\n" : "\nAnalysis Type=1\nMatrix Filename=" + matrixFile + "\n")
      << "Cluster Variables=a:b:c:d\nLabel Variable=id\nInterval Measure=1\n"
         "Permutation Fit Table Filename="
      << (folder / "fit.sav").string()
      << "\n[Options]\nSeed Type=1\nSeed=1\nPermutation Fit=1\nAgglomeration Schedule=1\nDendrogram=1\n"
         "Save Permutation Fit Table=1\n";
  return path;
}

/// Has the package compute the cases' squared Euclidean distances into a
/// matrix file, as an earlier PROXIMITIES run would have left one.
std::string writeMatrixFile(const std::string& cases, const std::string& path) {
  auto package = korvana::spss::StatisticsPackage::start(cases);
  korvana::automation::AutomationPtr<Spsswin_tlb::ISpssApp> app;
  korvana::spss::attachToApplication("SPSS.Application", app.put());
  app->ExecuteCommands(L"PROXIMITIES a,b,c,d /VIEW=CASE /MEASURE=SEUCLID /ID=id /PRINT=NONE /MATRIX=OUT('" +
                           std::wstring(path.begin(), path.end()) + L"').",
                       1);
  app.reset();
  package->shutdown();
  if (!std::filesystem::exists(path)) throw std::runtime_error("the package wrote no matrix file");
  return path;
}

/// Runs one analysis as korvana-batch does and prints its phases; false when
/// the memory check refused it before it started (which it prints).
bool measure(const std::string& title, const std::string& data, const std::string& settingsPath, int jobs,
             const std::filesystem::path& outputStem, bool generated) {
  korvana::output::BatchMessageBoxes boxes(stderr);
  korvana::host::ScopedMessageBoxService boxService(boxes);
  korvana::SharedInstances shared;
  PhaseClock clock;
  const Clock::time_point start = Clock::now();
  clock.begin("start, read data");
  korvana::SettingsFile settings;
  settings.load(settingsPath);
  const korvana::AnalysisRequest request = settings.readRequest();
  auto package = data.empty() ? korvana::spss::StatisticsPackage::start()
                              : korvana::spss::StatisticsPackage::start(data);
  korvana::automation::AutomationPtr<Spsswin_tlb::ISpssApp> app;
  korvana::spss::attachToApplication("SPSS.Application", app.put());
  const std::vector<korvana::Variable> dictionary = korvana::readDataDictionary(*app);
  korvana::RequestProblems problems;
  const korvana::ChosenVariables chosen = korvana::chooseVariables(request, dictionary, problems);
  auto analysis = korvana::makeAnalysis(request, chosen, app, 0);
  analysis->setJobs(jobs);
  // The whole run counted before any work, as korvana-batch counts it.
  const Clock::time_point checking = Clock::now();
  try {
    analysis->checkMemoryForRun();
  } catch (const korvana::EKorvanaError& error) {
    std::printf("\n%s, %d jobs: refused by the memory check %.2f s after the start, before any work:\n  %s\n",
                title.c_str(), jobs, std::chrono::duration<double>(Clock::now() - start).count(), error.what());
    analysis.reset();
    app.reset();
    package->shutdown();
    return false;
  }
  const double checked = std::chrono::duration<double>(Clock::now() - checking).count();
  const std::optional<std::uint64_t> available = korvana::availableMemoryBytes();
  analysis->setProgressMonitor(&clock);
  clock.begin("matrix (PROXIMITIES, read)");
  analysis->run();
  const int n = analysis->getMatrix().getNumberOfObjects();
  const int permutations = analysis->getCompletedPermutations();
  clock.begin("output (renderings saved)");
  korvana::spss::DocumentFiles files = korvana::spss::DocumentFiles::fromStem(outputStem);
  korvana::spss::saveDocument(package->outputDocument()->model(), files);
  clock.end();
  const double total = std::chrono::duration<double>(Clock::now() - start).count();
  analysis.reset();
  app.reset();
  package->shutdown();

  std::printf("\n%s: %d objects, %d permutations, %d jobs, %.2f s in all\n", title.c_str(), n, permutations, jobs,
              total);
  std::printf("  admitted by the memory check in %.3f s: the whole run counted at %.0f MB, %.0f MB available\n",
              checked,
              static_cast<double>(korvana::ClusterAnalysis::memoryNeeded(n, request.numberOfPermutations,
                                                                         request.permutationFit, jobs, false, true)) /
                  1048576.0,
              available ? static_cast<double>(*available) / 1048576.0 : -1.0);
  std::printf("  %-28s %10s %12s %12s\n", "phase", "seconds", "processor s", "peak MB");
  long peak = 0;
  double inPermutations = 0, outside = 0, processorInPermutations = 0, processorOutside = 0;
  for (const PhaseClock::Phase& phase : clock.phases()) {
    std::printf("  %-28s %10.2f %12.2f %12.0f\n", phase.name.c_str(), phase.seconds, phase.processor,
                static_cast<double>(phase.peakKilobytes) / 1024.0);
    peak = std::max(peak, phase.peakKilobytes);
    const bool permutationPhase = phase.name == "permutations";
    (permutationPhase ? inPermutations : outside) += phase.seconds;
    (permutationPhase ? processorInPermutations : processorOutside) += phase.processor;
  }
  if (!generated || permutations == 0) return true;
  const double triangle = static_cast<double>(n) * (n - 1) / 2 * 8;
  const double target = (jobs + 1) * triangle + 1024.0 * 1024 * 1024;
  std::printf("  peak %.0f MB against the target (jobs + 1) x n(n-1)/2 doubles + 1 GB = %.0f MB: ratio %.2f\n",
              static_cast<double>(peak) / 1024.0, target / 1048576.0, static_cast<double>(peak) * 1024.0 / target);
  // One permutation: a job runs permutations one after another.
  const double runningAtOnce = std::min(jobs, permutations);
  const double onePermutation = inPermutations * runningAtOnce / permutations;
  const double oneProcessor = processorInPermutations / permutations;
  std::printf("  outside the permutations %.2f s against one permutation %.2f s: %.2f x "
              "(processor time %.2f s against %.2f s: %.2f x)\n",
              outside, onePermutation, outside / onePermutation, processorOutside, oneProcessor,
              processorOutside / oneProcessor);
  return true;
}

/// The parts of the matrix phase for n generated cases: the distances alone
/// (every row computed and dropped), PROXIMITIES writing the matrix file
/// (distances and writing), and reading the file into the proximity matrix.
void measureMatrixParts(int n, const std::string& cases) {
  using namespace korvana::spss;
  std::vector<ProximitiesVariable> dictionary = {{"a", true}, {"b", true}, {"c", true}, {"d", true}};
  const ProximitiesRequest request = ProximitiesParser::parse("PROXIMITIES a,b,c,d /VIEW=CASE /MEASURE=SEUCLID.",
                                                              dictionary);
  ProximitiesData data;
  data.caseCount = static_cast<std::size_t>(n);
  data.variableCount = 4;
  data.values = caseValues(n);
  const auto timed = [](auto&& work) {
    const Clock::time_point started = Clock::now();
    const double processor = processorSeconds();
    work();
    return std::pair(std::chrono::duration<double>(Clock::now() - started).count(), processorSeconds() - processor);
  };
  volatile double sink = 0;
  const auto distances = timed([&] {
    const ProximitiesMatrix matrix(request, data);
    const std::size_t rows = matrix.rowsPerBlock(std::size_t{32} << 20);
    std::vector<double> block(rows * matrix.itemCount());
    for (std::size_t first = 0; first < matrix.itemCount(); first += rows) {
      const std::size_t end = std::min(matrix.itemCount(), first + rows);
      matrix.rows(first, end, block.data());
      sink = sink + block[0];
    }
  });
  // Where an analysis has the package write it: a scratch file in the
  // temporary folder.
  const std::string file = korvana::host::reserveTemporaryFile("kvana");
  const auto written = timed([&] { writeMatrixFile(cases, file); });
  const auto read = timed([&] {
    korvana::ProximityMatrix matrix;
    korvana::output::BatchMessageBoxes boxes(stderr);
    korvana::host::ScopedMessageBoxService boxService(boxes);
    if (!korvana::loadProximityMatrix(file, matrix)) throw std::runtime_error("the matrix file could not be read");
    sink = sink + matrix.getSumOfSquares();
  });
  const double bytes = static_cast<double>(std::filesystem::file_size(file));
  std::printf("\nthe matrix phase of %d cases in parts (SEUCLID, a %.0f MB file): seconds / processor s\n", n,
              bytes / 1048576.0);
  std::printf("  %-40s %8.2f %8.2f\n", "distances (every row, twice each cell)", distances.first, distances.second);
  std::printf("  %-40s %8.2f %8.2f\n", "writing the file (PROXIMITIES less the above)", written.first - distances.first,
              written.second - distances.second);
  std::printf("  %-40s %8.2f %8.2f\n", "reading it into the matrix", read.first, read.second);
  std::filesystem::remove(file);
}

int optionValue(int argc, char** argv, const std::string& name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (argv[i] == name) return std::atoi(argv[i + 1]);
  return fallback;
}

bool hasOption(int argc, char** argv, const std::string& name) {
  for (int i = 1; i < argc; ++i)
    if (argv[i] == name) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    char pattern[] = "/tmp/korvana-phases-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::filesystem::path folder = pattern;
    if (hasOption(argc, argv, "--objects")) {
      const int n = optionValue(argc, argv, "--objects", 10000);
      const int permutations = optionValue(argc, argv, "--permutations", 2);
      const int jobs = optionValue(argc, argv, "--jobs", 1);
      const std::string cases = writeCases(folder, n);
      if (hasOption(argc, argv, "--parts")) measureMatrixParts(n, cases);
      if (measure("generated cases", cases, writeSettings(folder, permutations), jobs, folder / "cases", true)) {
        const std::string matrixFile = writeMatrixFile(cases, (folder / "matrix.sav").string());
        measure("their matrix file", "", writeSettings(folder, permutations, matrixFile), jobs, folder / "matrix",
                true);
      }
    } else if (argc >= 3) {
      measure(argv[1], argv[1], argv[2], argc >= 4 ? std::atoi(argv[3]) : 2, folder / "out", false);
    } else {
      measure("iris example", KORVANA_EXAMPLES_DIR "/iris.sav", KORVANA_EXAMPLES_DIR "/iris.ini", 2,
              folder / "iris", false);
      const int n = 10000;
      const std::string cases = writeCases(folder, n);
      measure("generated cases", cases, writeSettings(folder, 10), 2, folder / "cases", true);
      const std::string matrixFile = writeMatrixFile(cases, (folder / "matrix.sav").string());
      measure("their matrix file", "", writeSettings(folder, 10, matrixFile), 2, folder / "matrix", true);
    }
    if (hasOption(argc, argv, "--keep"))
      std::printf("\nthe cases and the saved pages are kept in %s\n", folder.c_str());
    else
      std::filesystem::remove_all(folder);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvana_bench_phases: %s\n", error.what());
    return 1;
  }
}
