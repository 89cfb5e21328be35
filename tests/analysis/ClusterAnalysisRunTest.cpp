// The whole analysis run through the statistics package, attached by name:
// the matrix computed by the package's PROXIMITIES from a CSV file or read
// from a matrix file made by PSPP, the permutations, the fit table and the
// output, with a progress display that records every call and cancels at a
// chosen point. Checked: the outline with its levels, the exact message
// tables, the temporary matrix file, the fit table read back by PSPP, the
// progress steps and the outcome the run reports.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <tuple>

#include "AnalysisOutputExample.h"
#include "DataFileTestSupport.h"
#include "OutputTestSupport.h"
#include "engine/ClusterMethodFactory.h"
#include "analysis/Variable.h"
#include "platform/spss/outputdoc/JsonRenderer.h"
#include "platform/spss/outputdoc/TextRenderer.h"
#include "proximity/IntervalMeasureFactory.h"
#include "output/Newick.h"
#include "proximity/StandardizeMethodFactory.h"

namespace korvana::testing {
namespace {

namespace fs = std::filesystem;
using automation::AutomationPtr;
using Outcome = ClusterAnalysis::RunOutcome;

/// Records what the run asks of its progress display and cancels once
/// `cancelWhen` says so (asked on every poll until then).
class ScriptedProgress final : public ProgressMonitor {
 public:
  using Range = std::tuple<int, int, int>;

  void setSteps(const std::vector<std::string>& names) override {
    steps = names;
    calls.push_back("setSteps");
  }
  void setStep(int index, int minimum, int maximum) override {
    step = index;
    stepItsInStep = 0;
    messagesInStep = 0;
    ranges.emplace_back(index, minimum, maximum);
    calls.push_back("setStep " + std::to_string(index));
  }
  void setStatus(const std::string& text) override { statuses.push_back(text); }
  void stepIt() override {
    ++stepItsInStep;
    ++stepIts[step];
  }
  bool isCanceled() override {
    if (!canceled && cancelWhen && cancelWhen(*this)) canceled = true;
    return canceled;
  }
  void showProgress() override { calls.push_back("show"); }
  void hideProgress() override { calls.push_back("hide"); }
  void showBusyCursor() override { calls.push_back("busy"); }
  void restoreCursor() override { calls.push_back("restore"); }
  void processMessages() override { ++messagesInStep; }
  void requestClose() override { calls.push_back("close"); }

  std::function<bool(const ScriptedProgress&)> cancelWhen;
  std::vector<std::string> steps;
  std::vector<std::string> statuses;
  /// Every call but stepIt, setStatus, processMessages and isCanceled.
  std::vector<std::string> calls;
  std::vector<Range> ranges;
  std::map<int, int> stepIts;  // per step index
  int step = -1;
  int stepItsInStep = 0;
  int messagesInStep = 0;
  bool canceled = false;
};

/// Cancels once step `step` has advanced `count` times.
std::function<bool(const ScriptedProgress&)> cancelAfterSteps(int step, int count) {
  return [step, count](const ScriptedProgress& p) { return p.step == step && p.stepItsInStep >= count; };
}

const std::string canceledText = "Korvana analysis has been canceled by user.";

// Four points on a line, 0, 1, 2 and 5: a and b, b and c are equally near,
// so single linkage builds two trees of the same fit.
const char* const tiedPoints = "name,x,y\na,0,0\nb,1,0\nc,2,0\nd,5,0\n";
// 0, 1, 3 and 7: no ties, one tree.
const char* const distinctPoints = "name,x,y\na,0,0\nb,1,0\nc,3,0\nd,7,0\n";

class AnalysisRun : public PackageOutputTest {
 protected:
  void SetUp() override {
    PackageOutputTest::SetUp();
    IntervalMeasureFactory::createIntervalMeasures();
    StandardizeMethodFactory::createStandardizeMethods();
    if (const char* old = std::getenv("TMPDIR")) savedTmpdir_ = old;
    // The reserved matrix files go into this test's folder.
    ::setenv("TMPDIR", folder_.path("").c_str(), 1);
  }
  void TearDown() override {
    if (savedTmpdir_) ::setenv("TMPDIR", savedTmpdir_->c_str(), 1);
    else ::unsetenv("TMPDIR");
    StandardizeMethodFactory::destroyStandardizeMethods();
    IntervalMeasureFactory::destroyIntervalMeasures();
    PackageOutputTest::TearDown();
  }

  AutomationPtr<Spsswin_tlb::ISpssApp> application() {
    AutomationPtr<Spsswin_tlb::ISpssApp> app;
    EXPECT_EQ(spss::attachToApplication("SPSS.Application", app.put()), automation::S_OK);
    return app;
  }

  /// The package restarted on a CSV file of the text; an analysis of its x and
  /// y (and `extra`) labelled by name, every output option but the object
  /// order on.
  std::unique_ptr<ClusterAnalysis> onData(const std::string& csv, ClusterMethod& method, int permutations,
                                          Measure* measure, const std::vector<std::string>& extra = {}) {
    const fs::path file = folder_.path("points.csv");
    test::writeFile(file, csv);
    startWithData(file.string());
    variables_.clear();
    variables_.emplace_back(0, "name", "", 1);
    variables_.emplace_back(1, "x", "", 0);
    variables_.emplace_back(2, "y", "", 0);
    for (const std::string& name : extra) variables_.emplace_back(static_cast<int>(variables_.size()), name, "", 0);
    auto analysis = std::make_unique<ClusterAnalysis>(method, AnalysisType::data, permutations, application());
    for (std::size_t i = 1; i < variables_.size(); ++i) analysis->addClusterVariable(variables_[i]);
    analysis->setLabelVariable(&variables_[0]);
    analysis->setMeasure(measure);
    analysis->setStandardizeMethod(StandardizeMethodFactory::getNone());
    configure(*analysis);
    return analysis;
  }

  /// An analysis of a matrix file, every output option on.
  std::unique_ptr<ClusterAnalysis> onMatrix(const std::string& file, ClusterMethod& method, int permutations) {
    auto analysis = std::make_unique<ClusterAnalysis>(method, AnalysisType::matrixFile, permutations, application());
    analysis->setMatrixFileName(file);
    configure(*analysis);
    analysis->setShowObjectOrder(true);
    return analysis;
  }

  void configure(ClusterAnalysis& analysis) {
    analysis.setSeed(12345);
    analysis.setFirstPermutationIsIdentity(true);
    analysis.setShowPermutationFit(true);
    analysis.setShowAgglomerationSchedule(true);
    analysis.setShowDendrogram(true);
    analysis.setProgressMonitor(&progress_);
  }

  /// The five tied objects of the output example (alpha … echo) as the
  /// statistics package's matrix file, made by PSPP; Euclidean distances,
  /// not squared. Labels are read with the blanks that pad them to the
  /// variable's width, so the label variable is exactly as wide as the
  /// longest label, "charlie".
  std::string tiedFiveObjectsFile() {
    test::runPspp(folder_,
                  "DATA LIST LIST /ROWTYPE_ (A8) id (A7) CASENO_ (F8.0) VARNAME_ (A8) V1 V2 V3 V4 V5.\n"
                  "BEGIN DATA\n"
                  "PROX alpha 1 V1 0 1 2 2 3\n"
                  "PROX bravo 2 V2 1 0 2 2 3\n"
                  "PROX charlie 3 V3 2 2 0 1 2\n"
                  "PROX delta 4 V4 2 2 1 0 2\n"
                  "PROX echo 5 V5 3 3 2 2 0\n"
                  "END DATA.\n"
                  "VALUE LABELS ROWTYPE_ 'PROX' 'Dissimilarity: EUCLID'.\n"
                  "SAVE OUTFILE='ties.sav'.\n");
    return folder_.path("ties.sav").string();
  }

  /// "level kind text" of every item from index `from` on.
  std::vector<std::string> outline(std::size_t from = 0) const {
    std::vector<std::string> lines;
    for (std::size_t i = from; i < model().count(); ++i) {
      const spss::OutputItem& found = model().item(i);
      const std::string shown = found.kind == spss::ItemKind::title && found.text.size() ? found.text : found.label;
      lines.push_back(std::to_string(found.level) + " " + std::string(spss::itemKindName(found.kind)) + " " + shown);
    }
    return lines;
  }
  /// The index of the last "Korvana" heading: where the run's output begins.
  std::size_t runStart() const {
    for (std::size_t i = model().count(); i-- > 0;)
      if (model().item(i).kind == spss::ItemKind::heading && model().item(i).label == "Korvana") return i;
    ADD_FAILURE() << "no Korvana heading";
    return model().count();
  }
  /// The text of the one-cell message table at index.
  std::string message(std::size_t index) const {
    const spss::OutputItem& found = model().item(index);
    if (!found.table || found.table->rows() != 1 || found.table->columns() != 1) return "(no message table)";
    return found.table->cell(0, 0).value;
  }
  /// The Notes table's cell in the row labelled `row`.
  std::string notesCell(const std::string& row) const {
    for (std::size_t i = 0; i < model().count(); ++i) {
      const spss::OutputItem& found = model().item(i);
      if (found.label != "Notes" || !found.table) continue;
      for (std::int32_t r = 0; r < found.table->rows(); ++r) {
        const std::string& label = found.table->label(spss::LabelArray::rows, r, 1).text;
        const std::size_t text = label.find_first_not_of(' ');
        if (text != std::string::npos && label.substr(text) == row) return found.table->cell(r, 0).value;
      }
    }
    return "(no such Notes row)";
  }
  std::vector<fs::path> reservedMatrixFiles() const {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder_.path("")))
      if (entry.path().filename().string().rfind("kvana", 0) == 0) files.push_back(entry.path());
    return files;
  }
  /// The output of the method and its solutions, as a complete run writes it
  /// after the Notes table (for the cancellation checks).
  static std::vector<std::string> expectedSolutions(std::size_t count, int firstLevel, bool objectOrder) {
    std::vector<std::string> lines;
    const std::string level = std::to_string(count > 1 ? 5 : firstLevel + 1);
    for (std::size_t k = 1; k <= count; ++k) {
      const std::string name = count > 1 ? "Solution " + std::to_string(k) : "Solution";
      lines.push_back(std::to_string(count > 1 ? 4 : firstLevel) + " heading " + name);
      lines.push_back(level + " title " + name);
      lines.push_back(level + " table Fit");
      if (objectOrder) lines.push_back(level + " table Object Order");
      lines.push_back(level + " table Agglomeration Schedule");
      lines.push_back(level + " title Dendrogram");
      lines.push_back(level + " title Dendrogram");
      lines.push_back(level + " graphic Dendrogram");
    }
    return lines;
  }

  test::TemporaryFolder folder_;
  ScriptedProgress progress_;
  std::deque<Variable> variables_;
  std::optional<std::string> savedTmpdir_;
};

const std::vector<std::string> runHead = {"1 heading Korvana", "2 title Korvana", "2 table Credit",
                                          "2 table Notes"};

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

TEST_F(AnalysisRun, DataWithTiesRunsTheCommandSavesTheFitTableAndWritesNumberedSolutions) {
  auto analysis = onData(tiedPoints, *ClusterMethodFactory::getSingleLinkage(), 12,
                         IntervalMeasureFactory::getEuclideanDistance());
  analysis->setSaveFitTable(true);
  analysis->setFitTableFileName(folder_.path("fit.sav").string());
  EXPECT_EQ(analysis->getRunOutcome(), Outcome::notRun);
  analysis->run();
  EXPECT_EQ(analysis->getRunOutcome(), Outcome::completed);
  EXPECT_TRUE(boxes_.shown().empty());
  ASSERT_EQ(analysis->getSolutions().size(), 2u);

  // The command ran in the package (its echo stands above the run's output)
  // and wrote the matrix into the reserved file, which is gone now.
  const std::string temporary = analysis->getTemporaryFileName();
  EXPECT_EQ(fs::path(temporary).parent_path(), fs::path(folder_.path("")).parent_path());
  EXPECT_EQ(analysis->getMatrixFileName(), temporary);
  const std::string command =
      "PROXIMITIES x,y /VIEW=CASE /STANDARDIZE=VARIABLE NONE /MEASURE=EUCLID /ID=name /PRINT=NONE /MATRIX=OUT('" +
      temporary + "').";
  const std::size_t start = runStart();
  bool echoed = false;
  for (std::size_t i = 0; i < start; ++i)
    echoed = echoed || (model().item(i).kind == spss::ItemKind::log && model().item(i).text == command);
  EXPECT_TRUE(echoed) << "the command was not run";
  EXPECT_FALSE(fs::exists(temporary));
  EXPECT_TRUE(reservedMatrixFiles().empty());

  const std::vector<std::string> expected = joined(
      joined(runHead, {"2 heading Single Linkage", "3 title Single Linkage", "3 table Start Seed", "3 table Permutation Fit",
                       "3 heading Multiple Solutions", "4 title Multiple Solutions"}),
      expectedSolutions(2, 0, false));
  EXPECT_EQ(outline(start), expected);
  EXPECT_FALSE(model().item(start + 3).visible) << "the Notes table is hidden";
  EXPECT_EQ(notesCell("N of Rows in Working Data File"), "4");
  EXPECT_EQ(notesCell("Proximities Syntax"), command);
  EXPECT_EQ(notesCell("Permutation Fit Table Filename"), folder_.path("fit.sav").string());
  // The two trees differ in the first merge: a with b, or b with c.
  std::vector<std::string> firstMerges;
  for (std::size_t i = start; i < model().count(); ++i)
    if (model().item(i).label == "Agglomeration Schedule")
      firstMerges.push_back(model().item(i).table->cell(0, 0).value + "-" + model().item(i).table->cell(0, 1).value);
  std::sort(firstMerges.begin(), firstMerges.end());
  EXPECT_EQ(firstMerges, (std::vector<std::string>{"1-2", "2-3"}));

  // Three progress steps; the last one's range is exactly what the output
  // advanced.
  EXPECT_EQ(progress_.steps, (std::vector<std::string>{"Performing analysis", "Saving permutation fit table",
                                                       "Generating statistics"}));
  EXPECT_EQ(progress_.ranges,
            (std::vector<ScriptedProgress::Range>{{0, 0, 12}, {1, 0, 12}, {2, 0, 6 * 2 + 4}}));
  EXPECT_EQ(progress_.stepIts, (std::map<int, int>{{0, 12}, {1, 12}, {2, 16}}));
  EXPECT_EQ(progress_.calls,
            (std::vector<std::string>{"busy", "restore", "setSteps", "setStep 0", "show", "hide", "setStep 1", "show",
                                      "hide", "setStep 2", "show", "hide", "close"}));
  ASSERT_EQ(progress_.statuses.size(), 13u);
  EXPECT_EQ(progress_.statuses.front(), "Passed permutations 0/12");
  EXPECT_EQ(progress_.statuses[1], "Passed permutations 1/12");
  EXPECT_EQ(progress_.statuses.back(), "Passed permutations 12/12");

  // The fit table, read by PSPP: one case per permutation.
  const std::vector<std::string> table = lines(test::psppToCsv(folder_, folder_.path("fit.sav").string()));
  ASSERT_EQ(table.size(), 13u);
  EXPECT_EQ(table[0], "permu,sid,ssdif,nssdif,cophcorr,randseed");
  EXPECT_EQ(table[1].substr(0, 2), "1,");
  EXPECT_EQ(table[12].substr(0, 3), "12,");
}

// Asked for, the order-free tree follows the solutions under its own heading
// at the level of "Multiple Solutions": a, b and c (b 1 from each) join in one
// merge at 1, the range reaching the 2 between a and c; d joins at 3. Its
// four steps count in the last progress step.
TEST_F(AnalysisRun, TheOrderFreeTreeFollowsTheSolutionsInASectionOfItsOwn) {
  auto analysis = onData(tiedPoints, *ClusterMethodFactory::getSingleLinkage(), 12,
                         IntervalMeasureFactory::getEuclideanDistance());
  analysis->setOrderFreeTree(true);
  analysis->run();
  EXPECT_EQ(analysis->getRunOutcome(), Outcome::completed);
  EXPECT_TRUE(boxes_.shown().empty());
  const std::size_t start = runStart();
  const std::vector<std::string> expected = joined(
      joined(joined(runHead, {"2 heading Single Linkage", "3 title Single Linkage", "3 table Start Seed", "3 table Permutation Fit",
                              "3 heading Multiple Solutions", "4 title Multiple Solutions"}),
             expectedSolutions(2, 0, false)),
      {"3 heading Order-Free Tree", "4 title Order-Free Tree", "4 table Agglomeration Schedule", "4 table Fit",
       "4 title Dendrogram", "4 title Dendrogram", "4 graphic Dendrogram"});
  ASSERT_EQ(outline(start), expected);
  const spss::PivotTableModel& schedule = *model().item(model().count() - 5).table;
  ASSERT_EQ(schedule.rows(), 2);
  EXPECT_EQ(schedule.cell(0, 0).value, "1, 2, 3");
  EXPECT_EQ(schedule.cell(1, 0).value, "1, 4");
  const spss::PivotTableModel& fit = *model().item(model().count() - 4).table;
  EXPECT_NE(fit.caption.find("as well as the best-fitting permutations"), std::string::npos) << fit.caption;
  EXPECT_EQ(progress_.ranges.back(), (ScriptedProgress::Range{1, 0, 6 * 2 + 4 + 4}));
  EXPECT_EQ(progress_.stepIts[1], 6 * 2 + 4 + 4);
  EXPECT_EQ(std::count(progress_.statuses.begin(), progress_.statuses.end(), "Building the order-free tree"), 1);
}

TEST_F(AnalysisRun, OneTreeStandsUnnumberedWithTwoProgressSteps) {
  auto analysis = onData(distinctPoints, *ClusterMethodFactory::getSingleLinkage(), 5,
                         IntervalMeasureFactory::getEuclideanDistance());
  analysis->run();
  EXPECT_EQ(analysis->getRunOutcome(), Outcome::completed);
  ASSERT_EQ(analysis->getSolutions().size(), 1u);
  EXPECT_EQ(outline(runStart()),
            joined(joined(runHead, {"2 heading Single Linkage", "3 title Single Linkage", "3 table Start Seed", "3 table Permutation Fit"}),
                   expectedSolutions(1, 3, false)));
  EXPECT_EQ(progress_.steps, (std::vector<std::string>{"Performing analysis", "Generating statistics"}));
  EXPECT_EQ(progress_.ranges, (std::vector<ScriptedProgress::Range>{{0, 0, 5}, {1, 0, 6 * 1 + 4}}));
  EXPECT_EQ(progress_.stepIts, (std::map<int, int>{{0, 5}, {1, 10}}));
  EXPECT_EQ(progress_.calls.back(), "close");
}

// The run writes what the output example, checked by hand against the golden
// files, writes for the same matrix: only the matrix file name (and the
// creation time) differ.
class AnalysisRunGolden : public AnalysisRun {
 protected:
  void expectGoldenRun(ClusterMethod& method, const std::string& golden, std::size_t solutions) {
    if (!test::psppAvailable()) GTEST_SKIP() << "PSPP (/usr/bin/pspp) is not installed";
    const std::string file = tiedFiveObjectsFile();
    auto analysis = onMatrix(file, method, 6);
    analysis->run();
    EXPECT_EQ(analysis->getRunOutcome(), Outcome::completed);
    EXPECT_TRUE(boxes_.shown().empty());
    EXPECT_EQ(analysis->getSolutions().size(), solutions);
    EXPECT_EQ(notesCell("N of Rows in Working Data File"), "5");
    for (std::size_t i = 0; i < model().count(); ++i) {
      spss::OutputItem& found = model().item(i);
      if (found.label != "Notes" || !found.table) continue;
      found.table->cell(0, 0).value = "(date and time)";
      ASSERT_EQ(found.table->cell(2, 0).value, file);
      found.table->cell(2, 0).value = "/data/ties.sav";
    }
    expectGolden(golden + ".txt", spss::renderText(model()));
    expectGolden(golden + ".json", spss::renderJson(model()));
  }
};

TEST_F(AnalysisRunGolden, SeveralSolutionsFromAMatrixFile) {
  expectGoldenRun(*ClusterMethodFactory::getSingleLinkage(), "analysis-multiple-solutions", 2);
}

TEST_F(AnalysisRunGolden, OneSolutionWithTheWarningFromAMatrixFile) {
  expectGoldenRun(*ClusterMethodFactory::getWard(), "analysis-single-solution", 1);
}

// With the support counted, the verdict opens the method's output, the
// accounting follows the fit table with its curve, the best fit's history
// and the consensus trees,
// and each drawn tree carries, merge by merge, the support its own Cluster
// Support table gives where it is below 100 % (whole percent of the "All"
// column; none on a folded merge). Complete linkage on the tied five objects
// gives two hierarchies, so some support is below 100 %.
TEST_F(AnalysisRunGolden, CountedSupportLabelsEachDrawnTreeWithItsOwnSolutionsShares) {
  if (!test::psppAvailable()) GTEST_SKIP() << "PSPP (/usr/bin/pspp) is not installed";
  auto analysis = onMatrix(tiedFiveObjectsFile(), *ClusterMethodFactory::getCompleteLinkage(), 12);
  analysis->setClusterSupport(true);
  analysis->run();
  ASSERT_TRUE(analysis->getSupportReport());
  const SupportReport& report = *analysis->getSupportReport();
  ASSERT_GE(report.hierarchiesAll.distinct, 2);
  std::vector<std::string> lines = outline(runStart());
  std::vector<std::string> expected = {"3 table Verdict", "3 table Start Seed", "3 table Permutation Fit", "3 table Distinct Solutions",
                                       "3 graphic Distinct Solutions", "3 table Best Fit", "3 graphic Best Fit",
                                       "3 table Consensus Tree",
                                       "3 graphic Consensus Tree", "3 table Consensus Tree",
                                       "3 graphic Consensus Tree"};
  EXPECT_NE(std::search(lines.begin(), lines.end(), expected.begin(), expected.end()), lines.end());
  std::size_t solution = 0;
  int belowAll = 0;
  for (std::size_t i = runStart(); i < model().count(); ++i) {
    const spss::OutputItem& found = model().item(i);
    if (found.kind != spss::ItemKind::graphic || found.label != "Dendrogram") continue;
    ASSERT_LT(solution, report.hierarchySupport.size());
    std::vector<std::string> labels;
    const std::regex label("<text class=\"support\"[^>]*>([^<]*)</text>");
    for (std::sregex_iterator m(found.svg.begin(), found.svg.end(), label), end; m != end; ++m)
      labels.push_back((*m)[1]);
    std::vector<std::string> shares;
    for (const StageSupport& stage : report.hierarchySupport[solution])
      if (!std::isnan(stage.all) && wholePercent(stage.all) < 100) shares.push_back(std::to_string(wholePercent(stage.all)));
    belowAll += static_cast<int>(shares.size());
    EXPECT_EQ(labels, shares) << "solution " << solution + 1;
    ASSERT_LT(i + 1, model().count());
    EXPECT_EQ(model().item(i + 1).label, "Cluster Support");
    ++solution;
  }
  EXPECT_EQ(solution, analysis->getSolutions().size());
  EXPECT_GT(belowAll, 0);
}

TEST_F(AnalysisRun, AMatrixThatCannotBeLoadedEndsAfterTheNotesWithoutProgress) {
  const std::string missing = folder_.path("no such matrix.sav").string();
  auto analysis = onMatrix(missing, *ClusterMethodFactory::getSingleLinkage(), 4);
  analysis->run();
  EXPECT_EQ(analysis->getRunOutcome(), Outcome::matrixNotLoaded);
  const std::size_t start = runStart();
  EXPECT_EQ(outline(start), joined(runHead, {"2 table Error"}));
  EXPECT_EQ(message(start + 4), "Proximity matrix '" + missing + "' could not be loaded, analysis stopped.");
  EXPECT_EQ(notesCell("N of Rows in Working Data File"), "0");
  ASSERT_EQ(boxes_.shown().size(), 1u) << "the reader reports its own error";
  EXPECT_EQ(boxes_.shown()[0].icon, host::MessageIcon::error);
  // No progress step was ever shown; the busy cursor is restored.
  EXPECT_EQ(progress_.calls, (std::vector<std::string>{"busy", "restore"}));
  EXPECT_EQ(analysis->getCompletedPermutations(), 0);
}

TEST_F(AnalysisRun, AFailedCommandRemovesTheReservedMatrixFile) {
  // A cluster variable the data set lacks: PROXIMITIES fails, and the
  // reserved file goes as on every other path.
  auto analysis = onData(tiedPoints, *ClusterMethodFactory::getSingleLinkage(), 4,
                         IntervalMeasureFactory::getEuclideanDistance(), {"nosuch"});
  analysis->run();
  EXPECT_EQ(analysis->getRunOutcome(), Outcome::matrixNotLoaded);
  const std::string temporary = analysis->getTemporaryFileName();
  ASSERT_FALSE(temporary.empty());
  EXPECT_FALSE(fs::exists(temporary));
  EXPECT_TRUE(reservedMatrixFiles().empty());
  const std::size_t start = runStart();
  bool packageError = false;
  for (std::size_t i = 0; i < start; ++i) packageError = packageError || model().item(i).kind == spss::ItemKind::error;
  EXPECT_TRUE(packageError) << "the package reports the failed command";
  EXPECT_EQ(outline(start), joined(runHead, {"2 table Error"}));
  EXPECT_EQ(message(start + 4), "Proximity matrix '" + temporary + "' could not be loaded, analysis stopped.");
  EXPECT_EQ(progress_.calls, (std::vector<std::string>{"busy", "restore"}));
}

// An upper triangle that is not the mirror of the lower one is warned about
// right after the Notes table; the lower triangle is clustered.
TEST_F(AnalysisRun, AnAsymmetricMatrixIsWarnedAboutAndItsLowerTriangleUsed) {
  test::runPspp(folder_, "DATA LIST LIST /ROWTYPE_ (A8) VARNAME_ (A8) V1 V2 V3.\nBEGIN DATA\n"
                         "PROX V1 0 1 2\nPROX V2 1 0 9\nPROX V3 2 3 0\nEND DATA.\nSAVE OUTFILE='skew.sav'.\n");
  auto analysis = onMatrix(folder_.path("skew.sav").string(), *ClusterMethodFactory::getSingleLinkage(), 2);
  analysis->run();
  EXPECT_EQ(analysis->getRunOutcome(), Outcome::completed);
  const std::size_t start = runStart();
  ASSERT_EQ(outline(start)[4], "2 table Warning");
  EXPECT_EQ(message(start + 4), "The proximity matrix is not symmetric: the column of object 3 (V3) differs from "
                                "its row. Only the lower triangle is used.");
  EXPECT_EQ(analysis->getMatrix().getProximity(1, 2), 3);
}

TEST_F(AnalysisRun, AFitTableThatCannotBeSavedEndsWithAnErrorAtLevelTwo) {
  std::vector<std::string> places = {folder_.path("missing folder/fit.sav").string()};
  test::writeFile(folder_.path("plain file"), "not a folder");
  places.push_back(folder_.path("plain file/fit.sav").string());
  if (::geteuid() != 0) {
    fs::create_directory(folder_.path("read-only"));
    fs::permissions(folder_.path("read-only"), fs::perms::owner_read | fs::perms::owner_exec);
    places.push_back(folder_.path("read-only/fit.sav").string());
  }
  for (const std::string& place : places) {
    SCOPED_TRACE(place);
    progress_ = ScriptedProgress();
    auto analysis = onData(tiedPoints, *ClusterMethodFactory::getSingleLinkage(), 6,
                           IntervalMeasureFactory::getEuclideanDistance());
    analysis->setSaveFitTable(true);
    analysis->setFitTableFileName(place);
    analysis->run();
    EXPECT_EQ(analysis->getRunOutcome(), Outcome::fitTableNotSaved);
    EXPECT_FALSE(fs::exists(place));
    const std::size_t start = runStart();
    EXPECT_EQ(outline(start), joined(runHead, {"2 table Error"}));
    EXPECT_EQ(message(start + 4),
              "Permutation fit table could not be saved to file '" + place + "', analysis stopped.");
    EXPECT_EQ(progress_.calls, (std::vector<std::string>{"busy", "restore", "setSteps", "setStep 0", "show", "hide",
                                                         "setStep 1", "show", "close"}));
    EXPECT_EQ(progress_.stepIts, (std::map<int, int>{{0, 6}}));
  }
}

TEST_F(AnalysisRun, ACancellationDuringThePermutationsFollowsTheNotesAndSavesNothing) {
  auto analysis = onData(tiedPoints, *ClusterMethodFactory::getSingleLinkage(), 10,
                         IntervalMeasureFactory::getEuclideanDistance());
  analysis->setSaveFitTable(true);
  analysis->setFitTableFileName(folder_.path("fit.sav").string());
  progress_.cancelWhen = cancelAfterSteps(0, 3);
  analysis->run();
  EXPECT_EQ(analysis->getRunOutcome(), Outcome::canceled);
  EXPECT_EQ(analysis->getCompletedPermutations(), 3);
  EXPECT_FALSE(fs::exists(folder_.path("fit.sav")));
  EXPECT_TRUE(reservedMatrixFiles().empty());
  const std::size_t start = runStart();
  EXPECT_EQ(outline(start), joined(runHead, {"2 table Canceled"}));
  EXPECT_EQ(message(start + 4), canceledText);
  EXPECT_EQ(progress_.calls,
            (std::vector<std::string>{"busy", "restore", "setSteps", "setStep 0", "show", "close"}));
  EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(AnalysisRun, ACancellationDuringTheSaveWritesNoTableAndNoSolution) {
  auto analysis = onData(tiedPoints, *ClusterMethodFactory::getSingleLinkage(), 10,
                         IntervalMeasureFactory::getEuclideanDistance());
  const std::string fit = folder_.path("fit.sav").string();
  analysis->setSaveFitTable(true);
  analysis->setFitTableFileName(fit);
  progress_.cancelWhen = cancelAfterSteps(1, 4);
  analysis->run();
  EXPECT_EQ(analysis->getRunOutcome(), Outcome::canceled);
  EXPECT_EQ(analysis->getCompletedPermutations(), 10);
  const std::size_t start = runStart();
  EXPECT_EQ(outline(start), joined(runHead, {"2 table Canceled"}));
  EXPECT_EQ(message(start + 4), canceledText);
  EXPECT_EQ(progress_.calls, (std::vector<std::string>{"busy", "restore", "setSteps", "setStep 0", "show", "hide",
                                                       "setStep 1", "show", "close"}));
  EXPECT_FALSE(std::filesystem::exists(fit)) << "a table cut short is given up";
}

TEST_F(AnalysisRun, ACancellationDuringTheOutputStopsAtTheNextStep) {
  // The complete output first, then a run canceled after each of its steps:
  // every canceled output is the complete one cut after the items of the
  // steps done, followed by the "Canceled" table at level 2.
  auto complete = onData(tiedPoints, *ClusterMethodFactory::getWard(), 12,
                         IntervalMeasureFactory::getEuclideanDistance());
  complete->run();
  ASSERT_EQ(complete->getRunOutcome(), Outcome::completed);
  const std::size_t solutions = complete->getSolutions().size();
  const int total = 6 * static_cast<int>(solutions) + 4;
  std::vector<std::string> full = outline(runStart());
  full.erase(full.begin(), full.begin() + 4);
  ASSERT_EQ(full[2], "3 table Warning") << "Euclidean distances with Ward's method";

  std::size_t previous = 0;
  for (int count = 1; count <= total; ++count) {
    SCOPED_TRACE("canceled after output step " + std::to_string(count));
    progress_ = ScriptedProgress();
    progress_.cancelWhen = cancelAfterSteps(1, count);
    auto analysis = onData(tiedPoints, *ClusterMethodFactory::getWard(), 12,
                           IntervalMeasureFactory::getEuclideanDistance());
    analysis->run();
    EXPECT_EQ(analysis->getRunOutcome(), Outcome::canceled);
    EXPECT_EQ(progress_.stepIts[1], count) << "stopped at the check that saw the cancellation";
    std::vector<std::string> written = outline(runStart());
    ASSERT_GE(written.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(written.begin(), written.begin() + 4), runHead);
    EXPECT_EQ(written.back(), "2 table Canceled");
    EXPECT_EQ(message(model().count() - 1), canceledText);
    EXPECT_EQ(progress_.calls.back(), "close");
    const std::vector<std::string> done(written.begin() + 4, written.end() - 1);
    ASSERT_LE(done.size(), full.size());
    EXPECT_EQ(done, std::vector<std::string>(full.begin(), full.begin() + static_cast<long>(done.size())));
    EXPECT_GE(done.size(), previous);
    previous = done.size();
    // Where the steps fall: after the method heading, after its title, after
    // the warning, after the permutation fit table; the last one after the
    // whole output.
    if (count == 1) {
      EXPECT_EQ(done, std::vector<std::string>{"2 heading Ward Linkage"});
    } else if (count == 3) {
      EXPECT_EQ(done.size(), 3u);
    } else if (count == 4) {
      EXPECT_EQ(done.back(), "3 table Permutation Fit");
    } else if (count == total) {
      EXPECT_EQ(done, full);
    }
  }
}

TEST_F(AnalysisRun, ACancellationWhileThePermutationFitTableIsWrittenLeavesItsLaterRowsEmpty) {
  auto analysis = onData(tiedPoints, *ClusterMethodFactory::getSingleLinkage(), 8,
                         IntervalMeasureFactory::getEuclideanDistance());
  // The table lets pending events run after each row.
  progress_.cancelWhen = [](const ScriptedProgress& p) { return p.step == 1 && p.messagesInStep >= 3; };
  analysis->run();
  EXPECT_EQ(analysis->getRunOutcome(), Outcome::canceled);
  const std::size_t start = runStart();
  EXPECT_EQ(outline(start), joined(runHead, {"2 heading Single Linkage", "3 title Single Linkage",
                                             "3 table Start Seed", "3 table Permutation Fit",
                                             "2 table Canceled"}));
  const spss::PivotTableModel& fit = *model().item(start + 7).table;
  ASSERT_EQ(fit.rows(), 8);
  EXPECT_TRUE(fit.cell(2, 0).set);
  EXPECT_FALSE(fit.cell(3, 0).set);
  EXPECT_FALSE(fit.cell(7, 0).set);
  EXPECT_EQ(progress_.stepIts[1], 4) << "heading, title, warning check, fit table";
}

TEST_F(AnalysisRun, TheMethodsThatNeedSquaredEuclideanDistancesWarnOfOtherMeasures) {
  const std::string warning =
      "The squared Euclidean interval measure should be used when CENTROID, MEDIAN, or Ward cluster method is "
      "requested.";
  struct Case {
    ClusterMethod* method;
    Measure* measure;
    bool warned;
  };
  for (const Case& c : {Case{ClusterMethodFactory::getWard(), IntervalMeasureFactory::getEuclideanDistance(), true},
                        Case{ClusterMethodFactory::getCentroid(), IntervalMeasureFactory::getBlock(), true},
                        Case{ClusterMethodFactory::getMedian(), IntervalMeasureFactory::getEuclideanDistance(), true},
                        Case{ClusterMethodFactory::getWard(),
                             IntervalMeasureFactory::getSquaredEuclideanDistance(), false},
                        Case{ClusterMethodFactory::getCompleteLinkage(),
                             IntervalMeasureFactory::getEuclideanDistance(), false}}) {
    SCOPED_TRACE(c.method->getDisplayName());
    progress_ = ScriptedProgress();
    auto analysis = onData(distinctPoints, *c.method, 2, c.measure);
    analysis->setShowPermutationFit(false);
    analysis->run();
    EXPECT_EQ(analysis->getRunOutcome(), Outcome::completed);
    const std::size_t start = runStart();
    const std::vector<std::string> written = outline(start);
    ASSERT_GE(written.size(), 7u);
    EXPECT_EQ(written[4], "2 heading " + c.method->getDisplayName());
    if (c.warned) {
      EXPECT_EQ(written[6], "3 table Warning");
      EXPECT_EQ(message(start + 6), warning);
    } else {
      EXPECT_EQ(written[6], "3 table Start Seed");
    }
    // The same judgement that korvana-batch prints on standard error.
    EXPECT_EQ(analysis->proximitiesMisfitMethod(), c.warned);
    // The warning's check advances the bar whether or not it is written.
    EXPECT_EQ(progress_.stepIts[1], 10);
  }
}

}  // namespace
}  // namespace korvana::testing
