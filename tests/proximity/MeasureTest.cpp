// The measure and standardization tables and the command text they produce.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "proximity/BinaryMeasureFactory.h"
#include "proximity/CountsMeasureFactory.h"
#include "proximity/IntervalMeasureFactory.h"
#include "proximity/StandardizeMethodFactory.h"

using namespace korvana;

namespace {

class MeasureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IntervalMeasureFactory::createIntervalMeasures();
    CountsMeasureFactory::createCountsMeasures();
    BinaryMeasureFactory::createBinaryMeasures();
    StandardizeMethodFactory::createStandardizeMethods();
  }
  void TearDown() override {
    IntervalMeasureFactory::destroyIntervalMeasures();
    CountsMeasureFactory::destroyCountsMeasures();
    BinaryMeasureFactory::destroyBinaryMeasures();
    StandardizeMethodFactory::destroyStandardizeMethods();
  }

  static StandardizeMethod& none(std::int32_t by = StandardizeMethod::byVariable) {
    StandardizeMethod& method = *StandardizeMethodFactory::getNone();
    method.setStandardizeBy(by);
    return method;
  }
};

template <class T>
std::vector<std::pair<std::string, std::string>> namesAndKeywords(const std::vector<T*>& list) {
  std::vector<std::pair<std::string, std::string>> result;
  for (const T* item : list) result.emplace_back(item->getName(), item->getKeyword());
  return result;
}

using Table = std::vector<std::pair<std::string, std::string>>;

TEST_F(MeasureTest, IntervalTableInListOrderWithParameterFlags) {
  const Table expected = {{"Euclidean distance", "EUCLID"}, {"Squared Euclidean distance", "SEUCLID"},
                          {"Cosine", "COSINE"},             {"Pearson correlation", "CORRELATION"},
                          {"Chebychev", "CHEBYCHEV"},       {"Block", "BLOCK"},
                          {"Minkowski", "MINKOWSKI"},       {"Customized", "POWER"}};
  const auto list = IntervalMeasureFactory::getIntervalMeasures();
  EXPECT_EQ(namesAndKeywords(list), expected);
  ASSERT_EQ(list.size(), 8u);
  for (std::size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i]->getUsesPower(), i >= 6) << list[i]->getKeyword();
    EXPECT_EQ(list[i]->getUsesRoot(), i == 7) << list[i]->getKeyword();
  }
  // The accessors hand out the list's objects.
  const std::vector<IntervalMeasure*> accessors = {
      IntervalMeasureFactory::getEuclideanDistance(), IntervalMeasureFactory::getSquaredEuclideanDistance(),
      IntervalMeasureFactory::getCosine(),            IntervalMeasureFactory::getPearsonCorrelation(),
      IntervalMeasureFactory::getChebychev(),         IntervalMeasureFactory::getBlock(),
      IntervalMeasureFactory::getMinkowski(),         IntervalMeasureFactory::getCustomized()};
  EXPECT_EQ(accessors, list);
}

TEST_F(MeasureTest, CountsTableInListOrder) {
  const Table expected = {{"Chi-square measure", "CHISQ"}, {"Phi-square measure", "PH2"}};
  EXPECT_EQ(namesAndKeywords(CountsMeasureFactory::getCountsMeasures()), expected);
  EXPECT_EQ(CountsMeasureFactory::getCountsMeasures(),
            (std::vector<CountsMeasure*>{CountsMeasureFactory::getChiSquareMeasure(),
                                         CountsMeasureFactory::getPhiSquareMeasure()}));
}

TEST_F(MeasureTest, BinaryTableInListOrder) {
  namespace B = BinaryMeasureFactory;
  const Table expected = {{"Euclidean distance", "BEUCLID"},    {"Squared Euclidean distance", "BSEUCLID"},
                          {"Size difference", "SIZE"},          {"Pattern difference", "PATTERN"},
                          {"Variance", "VARIANCE"},             {"Dispersion", "DISPER"},
                          {"Shape", "BSHAPE"},                  {"Simple matching", "SM"},
                          {"Phi 4-point correlation", "PHI"},   {"Lambda", "LAMBDA"},
                          {"Anderberg's D", "D"},               {"Dice", "DICE"},
                          {"Hamann", "HAMANN"},                 {"Jaccard", "JACCARD"},
                          {"Kulczynski 1", "K1"},               {"Kulczynski 2", "K2"},
                          {"Lance and Williams", "BLWMN"},      {"Ochiai", "OCHIAI"},
                          {"Rogers and Tanimoto", "RT"},        {"Russel and Rao", "RR"},
                          {"Sokal and Sneath 1", "SS1"},        {"Sokal and Sneath 2", "SS2"},
                          {"Sokal and Sneath 3", "SS3"},        {"Sokal and Sneath 4", "SS4"},
                          {"Sokal and Sneath 5", "SS5"},        {"Yule's Y", "Y"},
                          {"Yule's Q", "Q"}};
  EXPECT_EQ(namesAndKeywords(B::getBinaryMeasures()), expected);
  const std::vector<BinaryMeasure*> accessors = {
      B::getEuclideanDistance(), B::getSquaredEuclideanDistance(), B::getSizeDifference(),
      B::getPatternDifference(), B::getVariance(),                 B::getDispersion(),
      B::getShape(),             B::getSimpleMatching(),           B::getPhi4PointCorrelation(),
      B::getLambda(),            B::getAnderbergsD(),              B::getDice(),
      B::getHamann(),            B::getJaccard(),                  B::getKulczynski1(),
      B::getKulczynski2(),       B::getLanceAndWilliams(),         B::getOchiai(),
      B::getRogersAndTanimoto(), B::getRusselAndRao(),             B::getSokalAndSneath1(),
      B::getSokalAndSneath2(),   B::getSokalAndSneath3(),          B::getSokalAndSneath4(),
      B::getSokalAndSneath5(),   B::getYulesY(),                   B::getYulesQ()};
  EXPECT_EQ(accessors, B::getBinaryMeasures());
}

TEST_F(MeasureTest, StandardizationTableInListOrder) {
  namespace S = StandardizeMethodFactory;
  const Table expected = {{"None", "NONE"},
                          {"Z scores", "Z"},
                          {"Range -1 to 1", "RANGE"},
                          {"Range 0 to 1", "RESCALE"},
                          {"Maximum magnitude of 1", "MAX"},
                          {"Mean of 1", "MEAN"},
                          {"Standard deviation of 1", "SD"}};
  const auto list = S::getStandardizeMethods();
  EXPECT_EQ(namesAndKeywords(list), expected);
  for (std::size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i]->isNone(), i == 0);
    EXPECT_EQ(list[i]->getStandardizeBy(), StandardizeMethod::byVariable);  // at construction
  }
  EXPECT_EQ(list, (std::vector<StandardizeMethod*>{S::getNone(), S::getZScores(), S::getRangeMinus1To1(),
                                                   S::getRange0To1(), S::getMaximumMagnitudeOf1(), S::getMeanOf1(),
                                                   S::getStandardDeviationOf1()}));
}

TEST_F(MeasureTest, FactoriesHandOutTheSameObjectsUntilDestroyed) {
  IntervalMeasure* seuclid = IntervalMeasureFactory::getSquaredEuclideanDistance();
  ASSERT_NE(seuclid, nullptr);
  seuclid->setRescale(true);
  EXPECT_EQ(IntervalMeasureFactory::getSquaredEuclideanDistance(), seuclid);
  EXPECT_TRUE(IntervalMeasureFactory::getSquaredEuclideanDistance()->getRescale());

  IntervalMeasureFactory::destroyIntervalMeasures();
  CountsMeasureFactory::destroyCountsMeasures();
  BinaryMeasureFactory::destroyBinaryMeasures();
  StandardizeMethodFactory::destroyStandardizeMethods();
  EXPECT_EQ(IntervalMeasureFactory::getSquaredEuclideanDistance(), nullptr);
  EXPECT_EQ(CountsMeasureFactory::getPhiSquareMeasure(), nullptr);
  EXPECT_EQ(BinaryMeasureFactory::getYulesQ(), nullptr);
  EXPECT_EQ(StandardizeMethodFactory::getStandardDeviationOf1(), nullptr);
  EXPECT_TRUE(IntervalMeasureFactory::getIntervalMeasures().empty());
  EXPECT_TRUE(BinaryMeasureFactory::getBinaryMeasures().empty());

  // A new set starts with the construction defaults again.
  IntervalMeasureFactory::createIntervalMeasures();
  EXPECT_FALSE(IntervalMeasureFactory::getSquaredEuclideanDistance()->getRescale());
}

TEST_F(MeasureTest, ExamplesOfTheWholeMeasureText) {
  IntervalMeasure& seuclid = *IntervalMeasureFactory::getSquaredEuclideanDistance();
  EXPECT_EQ(seuclid.syntaxText(none()), "/STANDARDIZE=VARIABLE NONE /MEASURE=SEUCLID");

  IntervalMeasure& minkowski = *IntervalMeasureFactory::getMinkowski();
  minkowski.setPower(3);
  minkowski.setAbsolute(true);
  StandardizeMethod& z = *StandardizeMethodFactory::getZScores();
  z.setStandardizeBy(StandardizeMethod::byCase);
  EXPECT_EQ(minkowski.syntaxText(z), "/STANDARDIZE=CASE Z /MEASURE=MINKOWSKI(3) ABSOLUTE");

  IntervalMeasure& power = *IntervalMeasureFactory::getCustomized();
  power.setPower(2);
  power.setRoot(1);
  EXPECT_EQ(power.syntaxText(none()), "/STANDARDIZE=VARIABLE NONE /MEASURE=POWER(2,1)");

  CountsMeasure& chisq = *CountsMeasureFactory::getChiSquareMeasure();
  chisq.setRescale(true);  // set in another order than written
  chisq.setReverse(true);
  chisq.setAbsolute(true);
  EXPECT_EQ(chisq.syntaxText(none()), "/STANDARDIZE=VARIABLE NONE /MEASURE=CHISQ ABSOLUTE REVERSE RESCALE");

  BinaryMeasure& jaccard = *BinaryMeasureFactory::getJaccard();
  jaccard.setPresentValue(1);
  jaccard.setAbsentValue(0);
  jaccard.setRescale(true);
  EXPECT_EQ(jaccard.syntaxText(none()), "/MEASURE=JACCARD(1,0) RESCALE");
}

TEST_F(MeasureTest, ParametersAreWrittenExactlyWhenTheMeasureTakesThem) {
  IntervalMeasure& minkowski = *IntervalMeasureFactory::getMinkowski();
  minkowski.setPower(2);  // the default is written too
  minkowski.setRoot(4);   // Minkowski takes no root: ignored
  EXPECT_EQ(minkowski.syntaxText(none()), "/STANDARDIZE=VARIABLE NONE /MEASURE=MINKOWSKI(2)");
  IntervalMeasure& power = *IntervalMeasureFactory::getCustomized();
  power.setPower(2);
  power.setRoot(2);
  EXPECT_EQ(power.syntaxText(none()), "/STANDARDIZE=VARIABLE NONE /MEASURE=POWER(2,2)");
  for (IntervalMeasure* measure : IntervalMeasureFactory::getIntervalMeasures()) {
    if (measure->getUsesPower()) continue;
    measure->setPower(3);
    measure->setRoot(3);
    EXPECT_EQ(measure->syntaxText(none()).find('('), std::string::npos) << measure->getKeyword();
  }
  for (CountsMeasure* measure : CountsMeasureFactory::getCountsMeasures())
    EXPECT_EQ(measure->syntaxText(none()).find('('), std::string::npos) << measure->getKeyword();
}

TEST_F(MeasureTest, BinaryValuesKeepTheirSignAndTheStandardizationIsLeftOut) {
  BinaryMeasure& jaccard = *BinaryMeasureFactory::getJaccard();
  jaccard.setPresentValue(-1);
  jaccard.setAbsentValue(0);
  EXPECT_EQ(jaccard.syntaxText(none()), "/MEASURE=JACCARD(-1,0)");
  jaccard.setPresentValue(2);
  jaccard.setAbsentValue(-7);
  EXPECT_EQ(jaccard.syntaxText(none()), "/MEASURE=JACCARD(2,-7)");

  // An interval measure with Z scores was used before: the binary measure
  // still writes no standardization.
  StandardizeMethod& z = *StandardizeMethodFactory::getZScores();
  z.setStandardizeBy(StandardizeMethod::byVariable);
  EXPECT_EQ(IntervalMeasureFactory::getEuclideanDistance()->syntaxText(z),
            "/STANDARDIZE=VARIABLE Z /MEASURE=EUCLID");
  BinaryMeasure& bseuclid = *BinaryMeasureFactory::getSquaredEuclideanDistance();
  EXPECT_EQ(bseuclid.syntaxText(z), "/MEASURE=BSEUCLID(1,0)");
  for (BinaryMeasure* measure : BinaryMeasureFactory::getBinaryMeasures())
    EXPECT_EQ(measure->syntaxText(z).find("STANDARDIZE"), std::string::npos) << measure->getKeyword();
}

TEST_F(MeasureTest, ASecondRunsFlagsReplaceTheFirstRuns) {
  IntervalMeasure& cosine = *IntervalMeasureFactory::getCosine();
  cosine.setAbsolute(true);
  cosine.setReverse(true);
  EXPECT_EQ(cosine.syntaxText(none()), "/STANDARDIZE=VARIABLE NONE /MEASURE=COSINE ABSOLUTE REVERSE");
  cosine.setAbsolute(false);
  cosine.setReverse(false);
  cosine.setRescale(true);
  EXPECT_EQ(cosine.syntaxText(none()), "/STANDARDIZE=VARIABLE NONE /MEASURE=COSINE RESCALE");
}

TEST_F(MeasureTest, StandardizationTextCarriesTheByChoice) {
  for (StandardizeMethod* method : StandardizeMethodFactory::getStandardizeMethods()) {
    method->setStandardizeBy(StandardizeMethod::byVariable);
    EXPECT_EQ(method->syntaxText(), "/STANDARDIZE=VARIABLE " + method->getKeyword());
    method->setStandardizeBy(StandardizeMethod::byCase);
    const std::string text = method->syntaxText();
    EXPECT_EQ(text, "/STANDARDIZE=CASE " + method->getKeyword());
    EXPECT_EQ(text.find("  "), std::string::npos);
    EXPECT_NE(text.back(), ' ');
  }
  StandardizeMethod& range = *StandardizeMethodFactory::getRangeMinus1To1();
  range.setStandardizeBy(5);  // neither by case nor by variable
  EXPECT_EQ(range.syntaxText(), "/STANDARDIZE=RANGE");
  range.setStandardizeBy(StandardizeMethod::byCase);
  EXPECT_EQ(CountsMeasureFactory::getPhiSquareMeasure()->syntaxText(range),
            "/STANDARDIZE=CASE RANGE /MEASURE=PH2");
}

}  // namespace
