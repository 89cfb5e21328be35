// Makes and destroys the seven shared standardization methods, in the order
// of the dialog's Standardize list: none, Z scores, range -1 to 1, range 0 to
// 1, maximum magnitude of 1, mean of 1, standard deviation of 1. Accessors as
// in IntervalMeasureFactory.
#pragma once

#include <vector>

#include "proximity/StandardizeMethod.h"

namespace korvana::StandardizeMethodFactory {

void createStandardizeMethods();
void destroyStandardizeMethods();

StandardizeMethod* getNone();
StandardizeMethod* getZScores();
StandardizeMethod* getRangeMinus1To1();
StandardizeMethod* getRange0To1();
StandardizeMethod* getMaximumMagnitudeOf1();
StandardizeMethod* getMeanOf1();
StandardizeMethod* getStandardDeviationOf1();

/// The instances in list order (empty when none exist).
std::vector<StandardizeMethod*> getStandardizeMethods();

}  // namespace korvana::StandardizeMethodFactory
