// Makes and destroys the two shared counts measures, in list order:
// chi-square and phi-square. Accessors as in IntervalMeasureFactory.
#pragma once

#include <vector>

#include "proximity/CountsMeasure.h"

namespace korvana::CountsMeasureFactory {

void createCountsMeasures();
void destroyCountsMeasures();

CountsMeasure* getChiSquareMeasure();
CountsMeasure* getPhiSquareMeasure();

/// The instances in list order (empty when none exist).
std::vector<CountsMeasure*> getCountsMeasures();

}  // namespace korvana::CountsMeasureFactory
