#include "proximity/BinaryMeasureFactory.h"

#include <array>
#include <memory>
#include <utility>

namespace korvana::BinaryMeasureFactory {

namespace {

enum Index {
  beuclid, bseuclid, size, pattern, variance, disper, bshape, sm, phi, lambda, d, dice, hamann, jaccard,
  k1, k2, blwmn, ochiai, rt, rr, ss1, ss2, ss3, ss4, ss5, y, q, count
};

constexpr std::array<std::pair<const char*, const char*>, count> kDefinitions = {{
    {"Euclidean distance", "BEUCLID"},
    {"Squared Euclidean distance", "BSEUCLID"},
    {"Size difference", "SIZE"},
    {"Pattern difference", "PATTERN"},
    {"Variance", "VARIANCE"},
    {"Dispersion", "DISPER"},
    {"Shape", "BSHAPE"},
    {"Simple matching", "SM"},
    {"Phi 4-point correlation", "PHI"},
    {"Lambda", "LAMBDA"},
    {"Anderberg's D", "D"},
    {"Dice", "DICE"},
    {"Hamann", "HAMANN"},
    {"Jaccard", "JACCARD"},
    {"Kulczynski 1", "K1"},
    {"Kulczynski 2", "K2"},
    {"Lance and Williams", "BLWMN"},
    {"Ochiai", "OCHIAI"},
    {"Rogers and Tanimoto", "RT"},
    {"Russel and Rao", "RR"},
    {"Sokal and Sneath 1", "SS1"},
    {"Sokal and Sneath 2", "SS2"},
    {"Sokal and Sneath 3", "SS3"},
    {"Sokal and Sneath 4", "SS4"},
    {"Sokal and Sneath 5", "SS5"},
    {"Yule's Y", "Y"},
    {"Yule's Q", "Q"},
}};

std::array<std::unique_ptr<BinaryMeasure>, count>& instances() {
  static std::array<std::unique_ptr<BinaryMeasure>, count> measures;
  return measures;
}

BinaryMeasure* at(Index index) { return instances()[index].get(); }

}  // namespace

void createBinaryMeasures() {
  for (std::size_t i = 0; i < kDefinitions.size(); ++i)
    instances()[i] = std::make_unique<BinaryMeasure>(kDefinitions[i].first, kDefinitions[i].second);
}

void destroyBinaryMeasures() {
  for (auto& measure : instances()) measure.reset();
}

BinaryMeasure* getEuclideanDistance() { return at(beuclid); }
BinaryMeasure* getSquaredEuclideanDistance() { return at(bseuclid); }
BinaryMeasure* getSizeDifference() { return at(size); }
BinaryMeasure* getPatternDifference() { return at(pattern); }
BinaryMeasure* getVariance() { return at(variance); }
BinaryMeasure* getDispersion() { return at(disper); }
BinaryMeasure* getShape() { return at(bshape); }
BinaryMeasure* getSimpleMatching() { return at(sm); }
BinaryMeasure* getPhi4PointCorrelation() { return at(phi); }
BinaryMeasure* getLambda() { return at(lambda); }
BinaryMeasure* getAnderbergsD() { return at(d); }
BinaryMeasure* getDice() { return at(dice); }
BinaryMeasure* getHamann() { return at(hamann); }
BinaryMeasure* getJaccard() { return at(jaccard); }
BinaryMeasure* getKulczynski1() { return at(k1); }
BinaryMeasure* getKulczynski2() { return at(k2); }
BinaryMeasure* getLanceAndWilliams() { return at(blwmn); }
BinaryMeasure* getOchiai() { return at(ochiai); }
BinaryMeasure* getRogersAndTanimoto() { return at(rt); }
BinaryMeasure* getRusselAndRao() { return at(rr); }
BinaryMeasure* getSokalAndSneath1() { return at(ss1); }
BinaryMeasure* getSokalAndSneath2() { return at(ss2); }
BinaryMeasure* getSokalAndSneath3() { return at(ss3); }
BinaryMeasure* getSokalAndSneath4() { return at(ss4); }
BinaryMeasure* getSokalAndSneath5() { return at(ss5); }
BinaryMeasure* getYulesY() { return at(y); }
BinaryMeasure* getYulesQ() { return at(q); }

std::vector<BinaryMeasure*> getBinaryMeasures() {
  std::vector<BinaryMeasure*> result;
  for (auto& measure : instances())
    if (measure) result.push_back(measure.get());
  return result;
}

}  // namespace korvana::BinaryMeasureFactory
