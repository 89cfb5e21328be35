// Whole-program time and peak memory by phase, for one analysis as
// korvana-batch runs it: the matrix (PROXIMITIES and reading the matrix
// file), the permutations, saving the fit table, the output written into the
// document, and the renderings saved as files. The peak of each phase is read
// from the kernel (VmHWM), reset at each phase's start (clear_refs), so it is
// the resident memory of the whole process at its highest in that phase.
//
//   korvana_bench_phases                      the iris example, and 10,000 cases with P = 10
//   korvana_bench_phases DATA.csv SETTINGS.ini [JOBS]
//
// With the generated 10,000 cases the peak is set against the target
// (jobs + 2) × n(n − 1)/2 doubles + 256 MB.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "analysis/ClusterAnalysis.h"
#include "analysis/DataDictionary.h"
#include "analysis/RequestTranslation.h"
#include "analysis/SettingsFile.h"
#include "analysis/SharedInstances.h"
#include "engine/ProgressMonitor.h"
#include "output/AutomationCallChecks.h"
#include "platform/host/MessageBoxes.h"
#include "platform/spss/StatisticsPackage.h"
#include "platform/spss/outputdoc/DocumentFiles.h"
#include "platform/spss/outputdoc/OutputDocument.h"

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

/// Times the phases the run announces through its progress steps.
class PhaseClock final : public korvana::ProgressMonitor {
 public:
  struct Phase {
    std::string name;
    double seconds = 0;
    long peakKilobytes = 0;
  };

  void begin(const std::string& name) {
    end();
    current_ = name;
    started_ = Clock::now();
    resetResidentPeak();
  }
  void end() {
    if (current_.empty()) return;
    phases_.push_back({current_, std::chrono::duration<double>(Clock::now() - started_).count(),
                       residentPeakKilobytes()});
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
  std::vector<Phase> phases_;
};

/// n cases of four integer variables from 0 to 20 (so with many tied
/// distances) and a case label.
std::string writeCases(const std::filesystem::path& folder, int n) {
  const std::string path = (folder / "cases.csv").string();
  std::ofstream out(path);
  std::mt19937 random(1);
  out << "id,a,b,c,d\n";
  for (int i = 0; i < n; ++i)
    out << "c" << i << ',' << random() % 21 << ',' << random() % 21 << ',' << random() % 21 << ','
        << random() % 21 << '\n';
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
std::string writeMatrixFile(const std::string& cases, const std::filesystem::path& folder) {
  const std::string path = (folder / "matrix.sav").string();
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

/// Runs one analysis as korvana-batch does and prints its phases.
void measure(const std::string& title, const std::string& data, const std::string& settingsPath, int jobs,
             const std::filesystem::path& outputStem, int targetObjects) {
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
  std::printf("  %-28s %10s %12s\n", "phase", "seconds", "peak MB");
  long peak = 0;
  for (const PhaseClock::Phase& phase : clock.phases()) {
    std::printf("  %-28s %10.2f %12.0f\n", phase.name.c_str(), phase.seconds,
                static_cast<double>(phase.peakKilobytes) / 1024.0);
    peak = std::max(peak, phase.peakKilobytes);
  }
  if (targetObjects > 0) {
    const double triangle = static_cast<double>(n) * (n - 1) / 2 * 8;
    const double target = (jobs + 2) * triangle + 256.0 * 1024 * 1024;
    std::printf("  peak %.0f MB against the target (jobs + 2) x n(n-1)/2 doubles + 256 MB = %.0f MB: ratio %.2f\n",
                static_cast<double>(peak) / 1024.0, target / 1048576.0,
                static_cast<double>(peak) * 1024.0 / target);
  }
}

}  // namespace

int main(int argc, char** argv) {
  try {
    char pattern[] = "/tmp/korvana-phases-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::filesystem::path folder = pattern;
    if (argc >= 3) {
      measure(argv[1], argv[1], argv[2], argc >= 4 ? std::atoi(argv[3]) : 2, folder / "out", 0);
    } else {
      measure("iris example", KORVANA_EXAMPLES_DIR "/iris.sav", KORVANA_EXAMPLES_DIR "/iris.ini", 2,
              folder / "iris", 0);
      const int n = 10000;
      const std::string cases = writeCases(folder, n);
      measure("generated cases", cases, writeSettings(folder, 10), 2, folder / "cases", n);
      const std::string matrixFile = writeMatrixFile(cases, folder);
      measure("their matrix file", "", writeSettings(folder, 10, matrixFile), 2, folder / "matrix", n);
    }
    std::filesystem::remove_all(folder);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvana_bench_phases: %s\n", error.what());
    return 1;
  }
}
