#include "engine/ClusterMethod.h"

namespace korvana {

ClusterMethod::ClusterMethod(std::string name, std::string displayName, std::string keyword)
    : name_(std::move(name)), displayName_(std::move(displayName)), keyword_(std::move(keyword)) {}

ClusterMethod::~ClusterMethod() = default;

void ClusterMethod::startRun(bool isDissimilarity) { isDissimilarity_ = isDissimilarity; }

void ClusterMethod::adjustCoefficient(double&) {}

double ClusterMethod::fittingHeight(double coefficient, double) const { return coefficient; }

}  // namespace korvana
