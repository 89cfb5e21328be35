// The PROXIMITIES command an analysis hands to the package, and the temporary
// file the matrix is written to.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "SPSS/AutomationText.h"
#include "analysis/ClusterAnalysis.h"
#include "engine/ClusterMethodFactory.h"
#include "common/EKorvanaError.h"
#include "analysis/Variable.h"
#include "proximity/BinaryMeasureFactory.h"
#include "proximity/IntervalMeasureFactory.h"
#include "proximity/StandardizeMethodFactory.h"

namespace korvana {
namespace {

class ProximitiesCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ClusterMethodFactory::createClusterMethods();
    IntervalMeasureFactory::createIntervalMeasures();
    BinaryMeasureFactory::createBinaryMeasures();
    StandardizeMethodFactory::createStandardizeMethods();
    analysis_ = std::make_unique<ClusterAnalysis>(*ClusterMethodFactory::getWard(), AnalysisType::data, 10);
  }
  void TearDown() override {
    analysis_.reset();
    StandardizeMethodFactory::destroyStandardizeMethods();
    BinaryMeasureFactory::destroyBinaryMeasures();
    IntervalMeasureFactory::destroyIntervalMeasures();
    ClusterMethodFactory::destroyClusterMethods();
  }
  std::string command() const { return automation::utf8Text(analysis_->buildProximitiesCommand()); }

  Variable a_{0, "a", "", 0}, b_{1, "b", "Bee", 0}, c_{2, "c", "", 0}, id_{3, "id", "Identity", 8};
  std::unique_ptr<ClusterAnalysis> analysis_;
};

TEST_F(ProximitiesCommand, TheTwoExampleCommands) {
  for (const Variable* v : {&a_, &b_, &c_}) analysis_->addClusterVariable(*v);
  analysis_->setMatrixFileName("C:\\TEMP\\kvana0");
  analysis_->setView(ClusterView::cases);
  analysis_->setLabelVariable(&id_);
  analysis_->setMeasure(IntervalMeasureFactory::getSquaredEuclideanDistance());
  StandardizeMethod* z = StandardizeMethodFactory::getZScores();
  z->setStandardizeBy(1);
  analysis_->setStandardizeMethod(z);
  EXPECT_EQ(command(),
            "PROXIMITIES a,b,c /VIEW=CASE /STANDARDIZE=VARIABLE Z /MEASURE=SEUCLID /ID=id /PRINT=NONE "
            "/MATRIX=OUT('C:\\TEMP\\kvana0').");

  // A binary measure leaves the standardization out, whatever it is.
  analysis_->setView(ClusterView::variables);
  analysis_->setLabelVariable(nullptr);
  analysis_->setMeasure(BinaryMeasureFactory::getSquaredEuclideanDistance());
  analysis_->setPrintProximityMatrix(true);
  EXPECT_EQ(command(),
            "PROXIMITIES a,b,c /VIEW=VARIABLE /MEASURE=BSEUCLID(1,0) /PRINT=PROXIMITIES "
            "/MATRIX=OUT('C:\\TEMP\\kvana0').");
}

TEST_F(ProximitiesCommand, OneVariableNoLabelAndAFileNameWithAnApostrophe) {
  analysis_->addClusterVariable(b_);
  analysis_->setMatrixFileName("/tmp/O'Brien/kvanaXy12Zq");
  analysis_->setMeasure(IntervalMeasureFactory::getEuclideanDistance());
  analysis_->setStandardizeMethod(StandardizeMethodFactory::getNone());
  EXPECT_EQ(command(),
            "PROXIMITIES b /VIEW=CASE /STANDARDIZE=VARIABLE NONE /MEASURE=EUCLID /PRINT=NONE "
            "/MATRIX=OUT('/tmp/O''Brien/kvanaXy12Zq').");
}

TEST_F(ProximitiesCommand, NamesBeyondAsciiReachThePackageUnchanged) {
  const Variable size{0, "größe", "", 0}, weight{1, "вес", "", 0};
  analysis_->addClusterVariable(size);
  analysis_->addClusterVariable(weight);
  analysis_->setMatrixFileName("/tmp/kvana1");
  analysis_->setMeasure(IntervalMeasureFactory::getEuclideanDistance());
  analysis_->setStandardizeMethod(StandardizeMethodFactory::getNone());
  const std::wstring wide = analysis_->buildProximitiesCommand();
  EXPECT_NE(wide.find(L"gr\u00f6\u00dfe,\u0432\u0435\u0441"), std::wstring::npos);
  EXPECT_EQ(automation::utf8Text(wide).substr(0, 27), "PROXIMITIES größe,вес ");
}

// Nothing a data file or the environment holds can end the command or start
// another: a name that is not a valid name (a label variable's too) and a
// file name with a line break are refused.
TEST_F(ProximitiesCommand, NamesAndFileNamesThatCouldEndTheCommandAreRefused) {
  const Variable injected{9, "c.\nPROXIMITIES a b /MATRIX=OUT('/home/u/thesis.sav')", "", 0};
  const Variable blank{10, "a b", "", 0}, label{11, "id /PRINT=PROXIMITIES", "", 8};
  const struct {
    const Variable* cluster;
    const Variable* label;
    std::string file, message;
  } cases[] = {{&injected, nullptr, "/tmp/k", "'c. PROXIMITIES a b /MATRIX=OUT"},
               {&blank, nullptr, "/tmp/k", "'a b' is not a variable name"},
               {&b_, &label, "/tmp/k", "'id /PRINT=PROXIMITIES' is not a variable name"},
               {&b_, nullptr, "/tmp/x.\nPROXIMITIES a/k", "holds a line break"}};
  for (const auto& c : cases) {
    ClusterAnalysis analysis(*ClusterMethodFactory::getWard(), AnalysisType::data, 10);
    analysis.addClusterVariable(*c.cluster);
    analysis.setLabelVariable(c.label);
    analysis.setMatrixFileName(c.file);
    analysis.setMeasure(IntervalMeasureFactory::getEuclideanDistance());
    analysis.setStandardizeMethod(StandardizeMethodFactory::getNone());
    try {
      analysis.buildProximitiesCommand();
      ADD_FAILURE() << "built with " << c.message;
    } catch (const EKorvanaError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
}

TEST_F(ProximitiesCommand, WithoutAMeasureTheCommandCannotBeBuilt) {
  analysis_->addClusterVariable(a_);
  EXPECT_THROW(analysis_->buildProximitiesCommand(), EKorvanaError);
}

TEST(TemporaryMatrixFile, IsANewOwnerOnlyFileInTheTemporaryFolder) {
  char pattern[] = "/tmp/korvana-matrix-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", folder.c_str(), 1);
  const std::string first = ClusterAnalysis::makeTemporaryMatrixFileName();
  const std::string second = ClusterAnalysis::makeTemporaryMatrixFileName();
  if (old) ::setenv("TMPDIR", saved.c_str(), 1);
  else ::unsetenv("TMPDIR");
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
  EXPECT_EQ(std::filesystem::path(first).parent_path(), folder);
  EXPECT_EQ(std::filesystem::path(first).filename().string().rfind("kvana", 0), 0u);
  struct stat info {};
  ASSERT_EQ(::stat(first.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  std::filesystem::remove_all(folder);
}

TEST(VariableText, NameAloneOrLabelWithTheNameInBrackets) {
  EXPECT_EQ(Variable(0, "age", "", 0).getDisplayText(), "age");
  EXPECT_EQ(Variable(1, "age", "Age in years", 0).getDisplayText(), "Age in years [age]");
}

}  // namespace
}  // namespace korvana
