#include "OutputTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/ClusterMethodFactory.h"

namespace korvana::testing {

using automation::AutomationPtr;

namespace {
// Before any test runs: the separator is cached by the first number written.
const bool cLocaleForNumbers = (useCLocaleForNumbers(), true);
}  // namespace

void PackageOutputTest::SetUp() {
  useCLocaleForNumbers();
  installed_ = std::make_unique<host::ScopedMessageBoxService>(boxes_);
  if (!ClusterMethodFactory::getWard()) ClusterMethodFactory::createClusterMethods();
  package_ = spss::StatisticsPackage::start();
  attach();
}

void PackageOutputTest::startWithData(const std::string& dataFile) {
  document_.reset();
  package_->shutdown();
  package_.reset();
  package_ = spss::StatisticsPackage::start(dataFile);
  attach();
}

void PackageOutputTest::attach() {
  AutomationPtr<Spsswin_tlb::ISpssApp> application;
  ASSERT_EQ(spss::attachToApplication("SPSS.Application", application.put()), automation::S_OK);
  ASSERT_EQ(application->GetDesignatedOutputDoc(document_.put()), automation::S_OK);
}

void PackageOutputTest::TearDown() {
  document_.reset();
  if (package_) package_->shutdown();
  package_.reset();
  installed_.reset();
}

const spss::OutputItem& PackageOutputTest::item(std::int32_t index) const {
  return model().item(static_cast<std::size_t>(index));
}

const spss::PivotTableModel& PackageOutputTest::table(std::int32_t index) const {
  const spss::OutputItem& found = item(index);
  if (!found.table) throw std::logic_error("item " + std::to_string(index) + " is no table");
  return *found.table;
}

ClusteredMatrix cluster(ClusterMethod& method, int objects, const std::vector<double>& lowerTriangle,
                        int permutations, std::int32_t seed, const std::vector<std::string>& names) {
  ClusteredMatrix result;
  result.analysis = std::make_unique<ClusterAnalysis>(method, AnalysisType::matrixFile, permutations);
  result.analysis->getMatrix().assignLowerTriangle(objects, lowerTriangle, names);
  result.analysis->getMatrix().setHasObjectLabels(!names.empty());
  result.analysis->setSeed(seed);
  result.analysis->runPermutations();
  return result;
}

void useCLocaleForNumbers() {
  // The decimal separator is read from the environment once per process.
  ::setenv("LC_ALL", "C", 1);
}

void expectGolden(const std::string& name, const std::string& actual) {
  const std::filesystem::path path = std::filesystem::path(KORVANA_OUTPUT_GOLDEN_DIR) / name;
  const char* update = std::getenv("KORVANA_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    std::ofstream out(path, std::ios::binary);
    out << actual;
    ASSERT_TRUE(out.good()) << path;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in.good()) << "no golden file " << path;
  std::ostringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(actual, expected.str()) << "differs from " << path;
}

std::string paragraphsOnLines(const std::string& rtf) {
  std::string out;
  const std::string mark = "\\par ";
  for (std::size_t i = 0; i < rtf.size();) {
    if (rtf.compare(i, mark.size(), mark) == 0) {
      out += mark + "\n";
      i += mark.size();
    } else {
      out += rtf[i++];
    }
  }
  return out;
}

}  // namespace korvana::testing
