// Makes and destroys the eight shared interval measures, in the order of the
// dialog's list: Euclidean distance, squared Euclidean distance, cosine,
// Pearson correlation, Chebychev, block, Minkowski (power) and customized
// (POWER, power and root). Each accessor hands out the same object until
// destroyIntervalMeasures; before createIntervalMeasures and after destroy
// they return null.
#pragma once

#include <vector>

#include "proximity/IntervalMeasure.h"

namespace korvana::IntervalMeasureFactory {

/// Makes the eight instances (replacing any made before).
void createIntervalMeasures();
void destroyIntervalMeasures();

IntervalMeasure* getEuclideanDistance();
IntervalMeasure* getSquaredEuclideanDistance();
IntervalMeasure* getCosine();
IntervalMeasure* getPearsonCorrelation();
IntervalMeasure* getChebychev();
IntervalMeasure* getBlock();
IntervalMeasure* getMinkowski();
IntervalMeasure* getCustomized();

/// The instances in list order (empty when none exist).
std::vector<IntervalMeasure*> getIntervalMeasures();

}  // namespace korvana::IntervalMeasureFactory
