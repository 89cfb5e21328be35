// Makes and destroys the 27 shared binary measures, in the order of the
// dialog's list (see the accessors). Accessors as in IntervalMeasureFactory.
#pragma once

#include <vector>

#include "proximity/BinaryMeasure.h"

namespace korvana::BinaryMeasureFactory {

void createBinaryMeasures();
void destroyBinaryMeasures();

BinaryMeasure* getEuclideanDistance();         // BEUCLID
BinaryMeasure* getSquaredEuclideanDistance();  // BSEUCLID
BinaryMeasure* getSizeDifference();            // SIZE
BinaryMeasure* getPatternDifference();         // PATTERN
BinaryMeasure* getVariance();                  // VARIANCE
BinaryMeasure* getDispersion();                // DISPER
BinaryMeasure* getShape();                     // BSHAPE
BinaryMeasure* getSimpleMatching();            // SM
BinaryMeasure* getPhi4PointCorrelation();      // PHI
BinaryMeasure* getLambda();                    // LAMBDA
BinaryMeasure* getAnderbergsD();               // D
BinaryMeasure* getDice();                      // DICE
BinaryMeasure* getHamann();                    // HAMANN
BinaryMeasure* getJaccard();                   // JACCARD
BinaryMeasure* getKulczynski1();               // K1
BinaryMeasure* getKulczynski2();               // K2
BinaryMeasure* getLanceAndWilliams();          // BLWMN
BinaryMeasure* getOchiai();                    // OCHIAI
BinaryMeasure* getRogersAndTanimoto();         // RT
BinaryMeasure* getRusselAndRao();              // RR
BinaryMeasure* getSokalAndSneath1();           // SS1
BinaryMeasure* getSokalAndSneath2();           // SS2
BinaryMeasure* getSokalAndSneath3();           // SS3
BinaryMeasure* getSokalAndSneath4();           // SS4
BinaryMeasure* getSokalAndSneath5();           // SS5
BinaryMeasure* getYulesY();                    // Y
BinaryMeasure* getYulesQ();                    // Q

/// The instances in list order (empty when none exist).
std::vector<BinaryMeasure*> getBinaryMeasures();

}  // namespace korvana::BinaryMeasureFactory
