// Shared ground of the output tests: the statistics package started for each
// test with its designated output document, solutions clustered from small
// matrices, and a progress monitor that cancels on a chosen poll.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "analysis/ClusterAnalysis.h"
#include "engine/ClusterMethod.h"
#include "engine/ProgressMonitor.h"
#include "platform/spss/StatisticsPackage.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "platform/host/MessageBoxes.h"

namespace korvana::testing {

/// Starts the package (optionally with a data file), attaches to it by name
/// and takes the designated output document, as a run does. Every message
/// box is recorded; none is expected unless a test says so.
class PackageOutputTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  /// Restarts the package with a data file open (call first in a test).
  void startWithData(const std::string& dataFile);

  Spsswin_tlb::ISpssOutputDoc* doc() const { return document_.get(); }
  spss::DocumentModel& model() const { return package_->outputDocument()->model(); }
  const spss::OutputItem& item(std::int32_t index) const;
  const spss::PivotTableModel& table(std::int32_t index) const;
  /// The items this test added (the document starts with its root heading).
  std::size_t addedItems() const { return model().count() - 1; }
  spss::StatisticsPackage& package() const { return *package_; }

  host::RecordingMessageBoxes boxes_;

 private:
  void attach();

  std::unique_ptr<host::ScopedMessageBoxService> installed_;
  automation::AutomationPtr<spss::StatisticsPackage> package_;
  automation::AutomationPtr<Spsswin_tlb::ISpssOutputDoc> document_;
};

/// A matrix analysed with a method: the permutations are run at once.
struct ClusteredMatrix {
  std::unique_ptr<ClusterAnalysis> analysis;
  const ClusterSolution& solution(std::size_t k = 0) const { return *analysis->getSolutions().at(k); }
  const ProximityMatrix& matrix() const { return analysis->getMatrix(); }
};

/// Lower triangle given row by row; names label the objects when not empty.
ClusteredMatrix cluster(ClusterMethod& method, int objects, const std::vector<double>& lowerTriangle,
                        int permutations = 1, std::int32_t seed = 7, const std::vector<std::string>& names = {});

/// Never canceled until its isCanceled has answered false `pollsBeforeCancel`
/// times; counts every call.
class CancelingProgress final : public ProgressMonitor {
 public:
  explicit CancelingProgress(int pollsBeforeCancel) : remaining_(pollsBeforeCancel) {}
  void setSteps(const std::vector<std::string>&) override {}
  void setStep(int, int, int) override {}
  void setStatus(const std::string&) override {}
  void stepIt() override {}
  bool isCanceled() override {
    ++polls;
    if (remaining_ == 0) return true;
    --remaining_;
    return false;
  }
  void showProgress() override {}
  void hideProgress() override {}
  void processMessages() override { ++processed; }
  int polls = 0;
  int processed = 0;

 private:
  int remaining_;
};

/// The C locale for number text, whatever the environment of the test run.
void useCLocaleForNumbers();

/// Compares text with the golden file of that name (tests/output/golden/).
/// With KORVANA_UPDATE_GOLDEN=1 in the environment the file is written
/// instead, to be checked by hand before it is kept.
void expectGolden(const std::string& name, const std::string& actual);

/// Rich text with a line break after every paragraph mark, for reading.
std::string paragraphsOnLines(const std::string& rtf);

}  // namespace korvana::testing
