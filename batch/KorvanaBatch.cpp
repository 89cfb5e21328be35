// korvana-batch: runs one analysis without a display. It starts the
// statistics package (with a data file when one is given), reads the request
// from a settings file in the desktop program's format, runs the analysis and
// saves the output document; the plain-text rendering goes to standard output.
//
// Exit status: 0 for a completed analysis; 1 for a bad request, a file that
// cannot be read or an analysis stopped by an error; 130 when the run was
// canceled with Ctrl-C (the output, ending with the "Canceled" table, is
// still saved).
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "analysis/DataDictionary.h"
#include "analysis/RequestTranslation.h"
#include "analysis/SettingsFile.h"
#include "analysis/SharedInstances.h"
#include "analysis/Variable.h"
#include "batch/TerminalProgress.h"
#include "common/KorvanaError.h"
#include "output/AutomationCallChecks.h"
#include "output/Version.h"
#include "platform/spss/StatisticsPackage.h"
#include "platform/spss/outputdoc/DocumentFiles.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "platform/spss/outputdoc/TextRenderer.h"
#include "platform/host/MessageBoxes.h"

#ifndef KORVANA_EXAMPLES_DIR
#define KORVANA_EXAMPLES_DIR "examples"
#endif

namespace {

using korvana::EKorvanaError;
using korvana::automation::AutomationPtr;
using korvana::automation::failed;

std::atomic<bool> gCanceled{false};

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

extern "C" void onInterrupt(int) { gCanceled.store(true); }

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

std::string joinQuoted(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "'" : ", '") + name + "'";
  return text;
}

struct Options {
  std::string settings;
  std::string data;
  std::string output = "korvana-output";
  std::vector<std::string> formats{"html", "json"};
  bool quiet = false;
};

/// Saves the output in the chosen formats and prints the text rendering
/// unless quiet; false when the files could not be written.
bool saveOutput(const korvana::spss::OutputDocument& document, const Options& options) {
  std::filesystem::path stem(options.output);
  if (stem.extension() == ".html" || stem.extension() == ".json" || stem.extension() == ".txt")
    stem.replace_extension();
  const std::set<std::string> formats(options.formats.begin(), options.formats.end());
  korvana::spss::DocumentFiles files;
  if (formats.count("html")) files.html = stem.string() + ".html";
  if (formats.count("json")) files.json = stem.string() + ".json";
  if (formats.count("text")) files.text = stem.string() + ".txt";
  bool saved = false;
  try {
    korvana::spss::saveDocument(document.model(), files);
    saved = true;
    for (const auto* path : {&files.html, &files.json, &files.text})
      if (!path->empty()) std::fprintf(stderr, "Output saved to %s\n", std::filesystem::absolute(*path).c_str());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvana-batch: the output could not be saved: %s\n", error.what());
  }
  if (!options.quiet) {
    const std::string text = korvana::spss::renderText(document.model());
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App cli{"Runs one Korvana cluster analysis without a display and saves its output.", "korvana-batch"};
  Options options;
  cli.add_option("-s,--settings", options.settings,
                 "the request: a settings file in the desktop program's format (Korvana.ini)")
      ->check(CLI::ExistingFile);
  cli.add_option("-d,--data", options.data,
                 "the data file the statistics package opens (.sav, .por, .dta, .sas7bdat, .xpt, .csv)")
      ->check(CLI::ExistingFile);
  cli.add_option("-o,--output", options.output, "where the output goes: <OUTPUT>.html, .json and .txt")
      ->capture_default_str();
  cli.add_option("-f,--format", options.formats, "formats to save: html, json, text (default: html json)")
      ->check(CLI::IsMember({"html", "json", "text"}))
      ->delimiter(',');
  cli.add_flag("-q,--quiet", options.quiet, "no progress, no text output on standard output");
  cli.set_version_flag("-V,--version", "korvana-batch " + korvana::Version::getVersionText() + " (" +
                                            std::to_string(korvana::Version::getVersionMajor()) + "." +
                                            std::to_string(korvana::Version::getVersionMinor()) + ".0." +
                                            std::to_string(korvana::Version::getVersionBuild()) + ")");
  cli.footer(
      "Without --settings and --data the shipped example runs: Fisher's iris data clustered with Ward's "
      "method (iris.ini on iris.sav in " + examplesFolder() + ").");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help and --version end here with 0; a missing file or a bad option is
    // a bad request like any other (CLI11's own codes are not used).
    return cli.exit(error) == 0 ? 0 : 1;
  }
  if (options.settings.empty() && options.data.empty()) {
    options.settings = examplesFolder() + "/iris.ini";
    options.data = examplesFolder() + "/iris.sav";
  }
  if (options.settings.empty()) {
    std::fprintf(stderr, "korvana-batch: no request: give a settings file with --settings\n");
    return 1;
  }

  korvana::output::BatchMessageBoxes boxes(stderr);
  korvana::host::ScopedMessageBoxService boxService(boxes);
  korvana::SharedInstances shared;
  std::signal(SIGINT, onInterrupt);

  korvana::AnalysisRequest request;
  try {
    korvana::SettingsFile settings;
    settings.load(options.settings);
    request = settings.readRequest();
  } catch (const EKorvanaError& error) {
    std::fprintf(stderr, "korvana-batch: %s\n", error.what());
    return 1;
  }

  std::unique_ptr<PackageSession> package;
  try {
    package = std::make_unique<PackageSession>(options.data.empty()
                                                    ? korvana::spss::StatisticsPackage::start()
                                                    : korvana::spss::StatisticsPackage::start(options.data));
  } catch (const EKorvanaError& error) {
    std::fprintf(stderr, "korvana-batch: %s\n", error.what());
    return 1;
  }

  AutomationPtr<Spsswin_tlb::ISpssApp> app;
  if (failed(korvana::spss::attachToApplication("SPSS.Application", app.put()))) {
    std::fprintf(stderr, "korvana-batch: Could not connect to Spss, probably Spss is not running.\n");
    return 1;
  }

  int status = 0;
  auto output = (*package)->outputDocument();
  try {
    const std::vector<korvana::Variable> dictionary = korvana::readDataDictionary(*app);
    korvana::RequestProblems problems;
    const korvana::ChosenVariables chosen = korvana::chooseVariables(request, dictionary, problems);
    if (request.analysisType == korvana::AnalysisType::data) {
      if (!problems.unknownClusterVariables.empty())
        throw EKorvanaError("The data set has no numeric variable " + joinQuoted(problems.unknownClusterVariables));
      if (!problems.unknownLabelVariable.empty())
        throw EKorvanaError("The data set has no string variable '" + problems.unknownLabelVariable +
                            "' to label the cases");
    }
    korvana::checkRequest(request, chosen);
    auto analysis = korvana::makeAnalysis(request, chosen, app, std::time(nullptr));
    korvana::TerminalProgress progress(gCanceled, !options.quiet && ::isatty(STDERR_FILENO) != 0);
    analysis->setProgressMonitor(&progress);
    analysis->run();
    switch (analysis->getRunOutcome()) {
      case korvana::ClusterAnalysis::RunOutcome::completed: status = 0; break;
      case korvana::ClusterAnalysis::RunOutcome::canceled:
        std::fprintf(stderr, "korvana-batch: the analysis was canceled\n");
        status = 130;
        break;
      default:
        std::fprintf(stderr, "korvana-batch: the analysis stopped; the output says why\n");
        status = 1;
        break;
    }
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "korvana-batch: Out of memory!\n");
    status = 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvana-batch: %s\n", error.what());
    status = 1;
  }
  app.reset();
  if (!saveOutput(*output, options) && status == 0) status = 1;
  return status;
}
