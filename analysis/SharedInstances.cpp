#include "analysis/SharedInstances.h"

#include "engine/ClusterMethodFactory.h"
#include "proximity/BinaryMeasureFactory.h"
#include "proximity/CountsMeasureFactory.h"
#include "proximity/IntervalMeasureFactory.h"
#include "proximity/StandardizeMethodFactory.h"

namespace korvana {

SharedInstances::SharedInstances() {
  ClusterMethodFactory::createClusterMethods();
  IntervalMeasureFactory::createIntervalMeasures();
  CountsMeasureFactory::createCountsMeasures();
  BinaryMeasureFactory::createBinaryMeasures();
  StandardizeMethodFactory::createStandardizeMethods();
}

SharedInstances::~SharedInstances() {
  StandardizeMethodFactory::destroyStandardizeMethods();
  BinaryMeasureFactory::destroyBinaryMeasures();
  CountsMeasureFactory::destroyCountsMeasures();
  IntervalMeasureFactory::destroyIntervalMeasures();
  ClusterMethodFactory::destroyClusterMethods();
}

}  // namespace korvana
