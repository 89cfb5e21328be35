#include "platform/spss/proximities/ProximitiesComputation.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/spss/proximities/ProximitiesMatrix.h"

namespace korvana::spss {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

/// Standardizes the m values v[0], v[stride], … in place.
void standardizeSet(Standardization method, double* v, std::size_t m, std::size_t stride) {
  if (m == 0 || method == Standardization::none) return;
  double sum = 0.0, minimum = v[0], maximum = v[0], largestMagnitude = 0.0;
  for (std::size_t t = 0; t < m; ++t) {
    const double x = v[t * stride];
    sum = sum + x;
    if (x < minimum) minimum = x;
    if (x > maximum) maximum = x;
    if (std::fabs(x) > largestMagnitude) largestMagnitude = std::fabs(x);
  }
  const double mean = sum / static_cast<double>(m);
  const bool constant = maximum == minimum;
  double sd = 0.0;
  if (!constant && m > 1) {
    double squares = 0.0;
    for (std::size_t t = 0; t < m; ++t) {
      const double deviation = v[t * stride] - mean;
      squares = squares + deviation * deviation;
    }
    sd = std::sqrt(squares / static_cast<double>(m - 1));
  }
  const auto apply = [&](auto&& f) {
    for (std::size_t t = 0; t < m; ++t) v[t * stride] = f(v[t * stride]);
  };
  switch (method) {
    case Standardization::none: break;
    case Standardization::z:
      if (sd == 0.0) apply([](double) { return 0.0; });
      else apply([&](double x) { return (x - mean) / sd; });
      break;
    case Standardization::range:
      if (!constant) apply([&](double x) { return x / (maximum - minimum); });
      break;
    case Standardization::rescale:
      if (constant) apply([](double) { return 0.5; });
      else apply([&](double x) { return (x - minimum) / (maximum - minimum); });
      break;
    case Standardization::max:
      if (largestMagnitude != 0.0) apply([&](double x) { return x / largestMagnitude; });
      break;
    case Standardization::mean:
      if (mean != 0.0) apply([&](double x) { return x / mean; });
      break;
    case Standardization::sd:
      if (sd != 0.0) apply([&](double x) { return x / sd; });
      break;
  }
}

}  // namespace

void standardizeValues(Standardization method, StandardizeDirection direction, double* values, std::size_t rows,
                       std::size_t columns) {
  if (method == Standardization::none) return;
  if (direction == StandardizeDirection::byVariable)
    for (std::size_t c = 0; c < columns; ++c) standardizeSet(method, values + c, rows, columns);
  else
    for (std::size_t r = 0; r < rows; ++r) standardizeSet(method, values + r * columns, columns, 1);
}

std::string proxValueLabel(const ProximitiesRequest& request) {
  return "Proximities: " + request.measureText() + (request.isDissimilarity() ? ", DISSIMILARITY" : ", SIMILARITY");
}

ProximitiesResult computeProximities(const ProximitiesRequest& request, const ProximitiesData& data) {
  return ProximitiesMatrix(request, data).wholeResult();
}

}  // namespace korvana::spss
