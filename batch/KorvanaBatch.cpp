// korvana-batch: runs one analysis without a display. It starts the
// statistics package (with a data file when one is given), reads the request
// from a settings file in the desktop program's format, runs the analysis and
// saves the output document; the plain-text rendering goes to standard output.
//
// Exit status: 0 for a completed analysis; 1 for a bad request, a file that
// cannot be read or an analysis stopped by an error; 128 + the signal's
// number when the run was canceled by Ctrl-C (130), a hang-up (129) or a
// kill's SIGTERM (143): the output, ending with the "Canceled" table, is
// still saved.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "SPSS/AutomationText.h"
#include "SPSS/Spsswin_tlb.h"
#include "analysis/DataDictionary.h"
#include "analysis/RequestTranslation.h"
#include "analysis/ResultsFile.h"
#include "datafile/ProximityMatrixFile.h"
#include "engine/ClusterMethod.h"
#include "analysis/SettingsFile.h"
#include "analysis/SharedInstances.h"
#include "analysis/Variable.h"
#include "batch/BatchOptions.h"
#include "batch/BatchRequest.h"
#ifdef KORVANA_WITH_MPI
#include "batch/MpiRun.h"
#endif
#include "batch/OutputFiles.h"
#include "batch/TerminalProgress.h"
#include "common/EKorvanaError.h"
#include "common/PrintableText.h"
#include "common/SystemMemory.h"
#include "common/SyntaxName.h"
#include "engine/PermutationRun.h"
#include "output/AutomationCallChecks.h"
#include "output/OutputFactory.h"
#include "output/Version.h"
#include "platform/spss/StatisticsPackage.h"
#include "platform/spss/outputdoc/DocumentFiles.h"
#include "platform/spss/outputdoc/GraphicFiles.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "platform/spss/outputdoc/TextRenderer.h"
#include "platform/host/MessageBoxes.h"
#include "platform/host/TemporaryFiles.h"

#ifndef KORVANA_EXAMPLES_DIR
#define KORVANA_EXAMPLES_DIR "examples"
#endif

namespace {

using korvana::EKorvanaError;
using korvana::automation::AutomationPtr;
using korvana::automation::failed;

std::atomic<bool> gCanceled{false};
volatile std::sig_atomic_t gSignal = 0;

/// Ctrl-C, a terminal hang-up and a polite kill all cancel the run as the
/// Cancel button would: the run stops at its next check, its temporary files
/// are removed and the output, ending with the "Canceled" table, is saved.
extern "C" void onCancelSignal(int number) {
  if (gSignal == 0) gSignal = number;
  gCanceled.store(true);
}

/// The shipped example's folder: the source tree's when it is there (a
/// build), else share/korvana/examples beside the installed program.
std::string examplesFolder() {
  if (std::filesystem::is_directory(KORVANA_EXAMPLES_DIR)) return KORVANA_EXAMPLES_DIR;
  std::error_code error;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const auto installed = program.parent_path().parent_path() / "share" / "korvana" / "examples";
    if (std::filesystem::is_directory(installed)) return installed.string();
  }
  return KORVANA_EXAMPLES_DIR;
}

/// Shuts the package down however the run ends.
class PackageSession {
 public:
  explicit PackageSession(AutomationPtr<korvana::spss::StatisticsPackage> package) : package_(std::move(package)) {}
  ~PackageSession() {
    if (package_) package_->shutdown();
  }
  PackageSession(const PackageSession&) = delete;
  PackageSession& operator=(const PackageSession&) = delete;
  korvana::spss::StatisticsPackage& operator*() const { return *package_; }
  korvana::spss::StatisticsPackage* operator->() const { return package_.get(); }

 private:
  AutomationPtr<korvana::spss::StatisticsPackage> package_;
};

/// Prints every line of a message, each with the program's name. Names and
/// paths from files in it reach the terminal neutralised.
void printError(const std::string& message) {
  const std::string text = korvana::printableText(message, korvana::LineBreaks::keep);
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::fprintf(stderr, "korvana-batch: %s\n", line.c_str());
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

/// "What saved to PATH" on standard error.
void printSaved(const char* what, const std::string& path) {
  std::fprintf(stderr, "%s saved to %s\n", what, korvana::printableText(std::filesystem::absolute(path).string()).c_str());
}

/// Saves the output in the chosen formats and prints the text rendering
/// unless quiet; false when a file could not be written (the message names
/// every one).
bool saveOutput(const korvana::spss::OutputDocument& document, const korvana::spss::DocumentFiles& files,
                const korvana::BatchOptions& options) {
  bool saved = false;
  try {
    korvana::spss::saveDocument(document.model(), files);
    saved = true;
    for (const auto* path : {&files.html, &files.json, &files.text})
      if (!path->empty()) printSaved("Output", path->string());
  } catch (const std::exception& error) {
    printError(std::string("the output could not be saved whole: ") + error.what());
  }
  if (!options.quiet) {
    const std::string text = korvana::spss::renderText(document.model());
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
  return saved;
}

/// Prints the data file's variable names, one a line (for the shell's
/// completion of --variables and --label).
int listVariables(const std::string& dataFile) {
  try {
    const auto package = korvana::spss::StatisticsPackage::start(dataFile);
    PackageSession session(package);
    AutomationPtr<Spsswin_tlb::ISpssApp> app;
    if (failed(korvana::spss::attachToApplication("SPSS.Application", app.put()))) return 1;
    for (const korvana::Variable& variable : korvana::readDataDictionary(*app))
      std::printf("%s\n", korvana::printableText(variable.getName()).c_str());
    return 0;
  } catch (const std::exception&) {
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
#ifdef KORVANA_WITH_MPI
  // One rank of several: the permutations are spread over the ranks.
  std::unique_ptr<korvana::mpi::Session> session;
  if (korvana::mpi::launched()) session = std::make_unique<korvana::mpi::Session>(&argc, &argv);
  const bool distributed = session && session->size() > 1;
  const bool leader = !distributed || session->rank() == 0;
#else
  const bool distributed = false;
  const bool leader = true;
#endif
  // A cancellation from the start on is a cancellation of the run: the run
  // sees it at its first check and saves what a canceled run saves.
  for (const int number : {SIGINT, SIGTERM, SIGHUP}) std::signal(number, onCancelSignal);
  // A file size limit makes a write fail (and the failure is reported)
  // instead of killing the program with files half replaced.
  std::signal(SIGXFSZ, SIG_IGN);
  std::string problem;  // why this rank cannot go on, for the ranks to agree
  CLI::App cli{"Runs one Korvana cluster analysis without a display and saves its output.", "korvana-batch"};
  korvana::BatchOptions options;
  options.jobs = korvana::preferredJobs();
  korvana::defineOptions(cli, options);
  cli.set_version_flag("-V,--version", "korvana-batch " + korvana::Version::getVersionText() + " (" +
                                            std::to_string(korvana::Version::getVersionMajor()) + "." +
                                            std::to_string(korvana::Version::getVersionMinor()) + ".0." +
                                            std::to_string(korvana::Version::getVersionBuild()) + ")");
  cli.footer(
      "Example:\n"
      "  korvana-batch --data iris.sav --variables \"sepal_length TO petal_width\" --label species \\\n"
      "                --measure SEUCLID --method ward --permutations 100 --seed 19360101 --support \\\n"
      "                --output iris\n"
      "The same request as a settings file: korvana-batch --settings iris.ini --data iris.sav --output iris\n"
      "Without a request the shipped example runs: Fisher's iris data clustered with Ward's method (iris.ini "
      "on iris.sav in " +
      examplesFolder() +
      ").\n"
      "Exit status: 0 done, 1 a request or file refused or a run stopped by an error, 128 + the signal after "
      "Ctrl-C (130), a hang-up (129) or SIGTERM (143). See korvana-batch(1).");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp& help) {
    return leader ? cli.exit(help) : 0;
  } catch (const CLI::CallForAllHelp& help) {
    return leader ? cli.exit(help) : 0;
  } catch (const CLI::CallForVersion& version) {
    return leader ? cli.exit(version) : 0;
  } catch (const CLI::ParseError& error) {
    // A bad option is a bad request like any other: one line, status 1.
    if (!distributed) {
      std::fprintf(stderr, "korvana-batch: %s\n", error.what());
      return 1;
    }
    problem = error.what();
  }
  // What runs nothing is done by one rank alone.
  if (distributed && (options.dryRun || !options.saveSettings.empty() || !options.listVariables.empty()) && problem.empty())
    if (!leader) return 0;
  if (!options.listVariables.empty()) return listVariables(options.listVariables);
  if (options.settings.empty() && options.data.empty() && !options.setsRequest() && options.saveSettings.empty()) {
    options.settings = examplesFolder() + "/iris.ini";
    options.data = examplesFolder() + "/iris.sav";
  }
  if (problem.empty() && options.settings.empty() && !options.setsRequest()) {
    if (!distributed) {
      std::fprintf(stderr, "korvana-batch: no request: give a settings file with --settings or the request's "
                           "options (see --help)\n");
      return 1;
    }
    problem = "no request: give a settings file with --settings or the request's options (see --help)";
  }

  korvana::output::BatchMessageBoxes boxes(stderr);
  korvana::host::ScopedMessageBoxService boxService(boxes);
  korvana::SharedInstances shared;

  // The whole request is checked before anything starts or is written.
  korvana::AnalysisRequest request;
  korvana::spss::DocumentFiles files;
  std::string resultsFile;
  std::string treesFile;
  korvana::SettingsFile settingsFile;
  try {
    if (!problem.empty()) throw EKorvanaError(problem);
    if (!options.settings.empty()) {
      korvana::BatchRequest batch = korvana::readBatchRequest(options.settings);
      for (const std::string& warning : batch.warnings)
        std::fprintf(stderr, "korvana-batch: warning: %s\n", warning.c_str());
      request = std::move(batch.request);
      settingsFile.load(options.settings);
    }
    korvana::applyRequestOptions(options, request);
    // The files a run would write are checked by a dry run as well.
    std::vector<korvana::RunFile> outputs;
    if (!options.saveSettings.empty()) outputs.push_back({options.saveSettings, "the settings file to save"});
    files = korvana::documentFilesOf(options.output, options.formats);
    for (const korvana::RunFile& file : korvana::documentRunFiles(files)) outputs.push_back(file);
    resultsFile = korvana::resultsFileOf(options.output, options.formats);
    if (!resultsFile.empty()) outputs.push_back({resultsFile, "the results file"});
    treesFile = korvana::treesFileOf(options.output, options.formats);
    if (!treesFile.empty()) outputs.push_back({treesFile, "the trees file"});
    if (!options.newick.empty()) outputs.push_back({options.newick, "the Newick folder", true});
    if (!options.svg.empty()) outputs.push_back({options.svg, "the SVG folder", true});
    if (request.savePermutationFitTable)
      outputs.push_back({korvana::fitTableFileNameOf(request.permutationFitTableFilename), "the fit table"});
    if (request.membershipType != korvana::MembershipType::none && !request.membershipFilename.empty())
      outputs.push_back({korvana::fitTableFileNameOf(request.membershipFilename), "the membership file"});
    std::vector<korvana::RunFile> inputs = {{options.settings, "the settings file"}, {options.data, "the data file"}};
    if (request.analysisType == korvana::AnalysisType::matrixFile)
      inputs.push_back({request.matrixFilename, "the matrix file"});
    korvana::refuseUnwritableOutputs(options.output, outputs);
    korvana::refuseOutputsThatAreInputs(outputs, inputs);
    if (!options.dryRun)
      korvana::ClusterAnalysis::checkMemory(
          0, request.numberOfPermutations, request.permutationFit, options.jobs,
          request.clusterSupport || !resultsFile.empty() || !options.newick.empty(), false,
          request.membershipType == korvana::MembershipType::none
              ? 0
              : request.membershipType == korvana::MembershipType::single ? 1
                                                                           : request.membershipTo - request.membershipFrom + 1);
  } catch (const EKorvanaError& error) {
    if (!distributed) {
      printError(error.what());
      return 1;
    }
    problem = error.what();
    if (leader) printError(problem);
  }
#ifdef KORVANA_WITH_MPI
  // Every rank must have read the same request; the others then serve
  // rank 0, which carries the analysis.
  if (distributed) {
    if (!session->agree(problem)) return 1;
    korvana::SettingsFile written;
    written.writeRequest(request);
    if (!session->same(written.text())) {
      if (leader)
        printError("The ranks of the job were given different requests: was a settings file changed while the job "
                   "started?");
      return 1;
    }
    if (!leader) return session->serve(request, options.jobs, gCanceled);
  }
  // Whatever ends the analysis before its permutations lets the other ranks go.
  struct Release {
    korvana::mpi::Session* session;
    ~Release() {
      if (session) session->releaseWorkers();
    }
  } release{distributed ? session.get() : nullptr};
#endif

  std::unique_ptr<PackageSession> package;
  try {
    package = std::make_unique<PackageSession>(options.data.empty()
                                                    ? korvana::spss::StatisticsPackage::start()
                                                    : korvana::spss::StatisticsPackage::start(options.data));
  } catch (const EKorvanaError& error) {
    printError(error.what());
    return 1;
  }

  AutomationPtr<Spsswin_tlb::ISpssApp> app;
  if (failed(korvana::spss::attachToApplication("SPSS.Application", app.put()))) {
    std::fprintf(stderr, "korvana-batch: Could not connect to Spss, probably Spss is not running.\n");
    return 1;
  }

  // What the data set must offer is checked before the analysis writes
  // anything: a request it cannot serve leaves no output behind.
  // The analysis borrows the variables of the dictionary.
  std::vector<korvana::Variable> dictionary;
  std::unique_ptr<korvana::ClusterAnalysis> analysis;
  try {
    dictionary = korvana::readDataDictionary(*app);
    if (request.analysisType == korvana::AnalysisType::data) {
      request.clusterVariables = korvana::expandVariableRanges(request.clusterVariables, dictionary, !options.data.empty());
      if (const korvana::Variable* label = korvana::findNamedVariable(dictionary, request.labelVariable, true))
        request.labelVariable = label->getName();
    }
    // A dry run without the data set takes the variables by their names.
    std::vector<korvana::Variable> named;
    for (const std::string& name : request.clusterVariables)
      named.emplace_back(static_cast<std::int32_t>(named.size()), name, "", 0);
    if (!request.labelVariable.empty())
      named.emplace_back(static_cast<std::int32_t>(named.size()), request.labelVariable, "", 1);
    korvana::RequestProblems problems;
    const korvana::ChosenVariables chosen =
        korvana::chooseVariables(request, options.dryRun && options.data.empty() ? named : dictionary, problems);
    if (request.analysisType == korvana::AnalysisType::data && !problems.empty()) throw EKorvanaError(problems.text());
    korvana::checkRequest(request, chosen);
    analysis = korvana::makeAnalysis(request, chosen, options.dryRun ? nullptr : app, std::time(nullptr));
    std::string command;
    if (request.analysisType == korvana::AnalysisType::data) {
      // Built before anything is written: a name the command cannot take,
      // or a temporary folder whose name it cannot quote, is refused here.
      korvana::quotedSyntaxText(korvana::host::temporaryFolder(), "The temporary folder (TMPDIR)");
      analysis->setMatrixFileName("(temporary file)");
      command = korvana::automation::utf8Text(analysis->buildProximitiesCommand());
    }
    if (!options.saveSettings.empty()) {
      settingsFile.writeRequest(request);
      settingsFile.save(options.saveSettings);
      printSaved("Settings", options.saveSettings);
    }
    // From a matrix file, what it says of its proximities; a file that cannot
    // be read is reported by the run itself.
    const bool misfit = analysis->proximitiesMisfitMethod() ||
                        (options.dryRun && request.analysisType == korvana::AnalysisType::matrixFile &&
                         analysis->getMethod().needsSquaredEuclidean() &&
                         korvana::matrixFileIsSquaredEuclidean(request.matrixFilename) == false);
    if (misfit) std::fprintf(stderr, "korvana-batch: warning: %s\n", korvana::ClusterAnalysis::squaredEuclideanWarning);
    if (options.dryRun) {
      std::fputs(korvana::printableText(korvana::describeRequest(request), korvana::LineBreaks::keep).c_str(), stdout);
      if (!command.empty()) std::printf("\n%s\n", korvana::printableText(command).c_str());
      return 0;
    }
    if (analysis->getSeedFromClock())
      std::fprintf(stderr, "korvana-batch: start seed %d, from the clock: --seed %d repeats this run\n",
                   static_cast<int>(analysis->getSeed()), static_cast<int>(analysis->getSeed()));
    analysis->setJobs(options.jobs);
    analysis->setCountClusters(!resultsFile.empty() || !options.newick.empty());
    analysis->checkMemoryForRun();
    analysis->setTreesFileName(treesFile);
#ifdef KORVANA_WITH_MPI
    if (distributed)
      analysis->setPermutationRunner(session->coordinator(request.analysisType == korvana::AnalysisType::data, gCanceled));
#endif
  } catch (const std::exception& error) {
    printError(error.what());
    return 1;
  }

  int status = 0;
  auto output = (*package)->outputDocument();
  korvana::TerminalProgress progress(gCanceled, !options.quiet && ::isatty(STDERR_FILENO) != 0);
  analysis->setProgressMonitor(&progress);
  std::string failure;
  try {
    analysis->run();
  } catch (const std::bad_alloc&) {
    const std::optional<std::uint64_t> available = korvana::availableMemoryBytes();
    failure = "The analysis outgrew the memory" +
              (available ? " (" + korvana::memoryText(*available) + " available)" : std::string()) +
              ": run fewer permutations, or leave the permutation fit table and the dendrograms out of the output";
  } catch (const std::exception& error) {
    failure = error.what();
  }
  if (!failure.empty()) {
    // The output says what went wrong, as the run's own failures do.
    namespace Of = korvana::OutputFactory;
    try {
      Of::promoteToLevel(output.get(), Of::writeError(output.get(), failure), 2);
    } catch (const std::exception&) {
    }
    printError(failure);
    status = 1;
  } else {
    switch (analysis->getRunOutcome()) {
      case korvana::ClusterAnalysis::RunOutcome::completed:
        status = 0;
        if (!analysis->getMembershipFileName().empty()) printSaved("Membership", analysis->getMembershipFileName());
        break;
      case korvana::ClusterAnalysis::RunOutcome::canceled:
        std::fprintf(stderr, "korvana-batch: the analysis was canceled\n");
        status = 128 + (gSignal != 0 ? static_cast<int>(gSignal) : SIGINT);
        break;
      default:
        std::fprintf(stderr, "korvana-batch: the analysis stopped; the output says why\n");
        status = 1;
        break;
    }
  }
  // The output document first: after a Ctrl-C under mpirun the job has
  // little time before it is killed.
  const bool outputSaved = saveOutput(*output, files, options);
  if (!outputSaved && status == 0) status = 1;
  // The results and trees of a run that completed or was canceled; a run
  // stopped by an error leaves none that could pass for complete, and so
  // does an output not saved whole: new results beside an earlier rendering
  // would pass for one run.
  const auto outcome = analysis->getRunOutcome();
  // From a matrix file, what its proximities are is known once it is read.
  if (request.analysisType == korvana::AnalysisType::matrixFile && analysis->proximitiesMisfitMethod() &&
      analysis->getMatrix().getNumberOfObjects() > 0)
    std::fprintf(stderr, "korvana-batch: warning: %s\n", korvana::ClusterAnalysis::squaredEuclideanWarning);
  if (failure.empty() && (outcome == korvana::ClusterAnalysis::RunOutcome::completed ||
                          outcome == korvana::ClusterAnalysis::RunOutcome::canceled)) {
    std::vector<std::string> notWritten;
    if (!resultsFile.empty()) notWritten.push_back("'" + resultsFile + "'");
    if (!treesFile.empty()) notWritten.push_back("'" + treesFile + "'");
    if (!options.newick.empty()) notWritten.push_back("the trees in '" + options.newick + "'");
    if (!options.svg.empty()) notWritten.push_back("the drawings in '" + options.svg + "'");
    if (!outputSaved) {
      std::string list;
      for (const std::string& item : notWritten) list += (list.empty() ? "" : ", ") + item;
      if (!list.empty())
        printError("not written either, since new results beside the output files left as they were would pass "
                   "for one run: " + list);
    } else {
      try {
        if (!resultsFile.empty()) {
          korvana::writeResultsFile(resultsFile, *analysis);
          printSaved("Results", resultsFile);
        }
        if (!treesFile.empty()) {
          analysis->commitTreesFile();
          printSaved("Trees", treesFile);
        }
        if (!options.svg.empty()) {
          const auto written = korvana::spss::saveGraphics(output->model(), options.svg);
          std::fprintf(stderr, "Drawings saved to %s (%zu SVG files)\n",
                       korvana::printableText(std::filesystem::absolute(options.svg).string()).c_str(),
                       written.size());
        }
        if (!options.newick.empty()) {
          const std::vector<std::string> written = korvana::writeNewickFiles(options.newick, *analysis);
          std::fprintf(stderr, "Trees saved to %s (%zu Newick files)\n",
                       korvana::printableText(std::filesystem::absolute(options.newick).string()).c_str(),
                       written.size());
        }
      } catch (const std::exception& error) {
        printError(error.what());
        if (status == 0) status = 1;
      }
    }
  }
  return status;
}
