#include "platform/spss/proximities/ProximitiesComputation.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/spss/proximities/ProximityKernels.h"

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

void transformProximities(bool absolute, bool reverse, bool rescale, korvana::TriangularStorage& lower,
                          std::vector<double>& diagonal) {
  const std::size_t n = diagonal.size();
  const auto each = [&](auto&& f) {
    for (std::size_t i = 1; i < n; ++i) {
      double* row = lower.row(static_cast<int>(i));
      for (std::size_t j = 0; j < i; ++j) row[j] = f(row[j]);
    }
    for (double& value : diagonal) value = f(value);
  };
  if (absolute) each([](double p) { return std::fabs(p); });
  if (reverse) each([](double p) { return 0.0 - p; });
  if (!rescale) return;

  double minimum = std::numeric_limits<double>::infinity();
  double maximum = -minimum;
  bool any = false;
  for (std::size_t i = 1; i < n; ++i) {
    const double* row = lower.row(static_cast<int>(i));
    for (std::size_t j = 0; j < i; ++j) {
      const double p = row[j];
      if (std::isnan(p)) continue;
      any = true;
      if (p < minimum) minimum = p;
      if (p > maximum) maximum = p;
    }
  }
  if (!any) return;
  const double range = maximum - minimum;
  for (std::size_t i = 1; i < n; ++i) {
    double* row = lower.row(static_cast<int>(i));
    for (std::size_t j = 0; j < i; ++j)
      if (!std::isnan(row[j])) row[j] = range > 0.0 ? (row[j] - minimum) / range : 0.5;
  }
  for (double& p : diagonal) {
    if (std::isnan(p)) continue;
    if (p < minimum) p = 0.0;
    else if (p > maximum) p = 1.0;
    else p = range > 0.0 ? (p - minimum) / range : 0.5;
  }
}

std::string proxValueLabel(const ProximitiesRequest& request) {
  return "Proximities: " + request.measureText() + (request.isDissimilarity() ? ", DISSIMILARITY" : ", SIMILARITY");
}

ProximitiesResult computeProximities(const ProximitiesRequest& request, const ProximitiesData& data) {
  const std::size_t k = request.variables.size();
  if (data.variableCount != k)
    throw EProximitiesError("PROXIMITIES: the data hold " + std::to_string(data.variableCount) +
                            " variables, the command names " + std::to_string(k) + ".");
  if (data.values.size() != data.caseCount * k || (!data.missing.empty() && data.missing.size() != data.values.size()) ||
      (!data.caseNumbers.empty() && data.caseNumbers.size() != data.caseCount))
    throw EProximitiesError("PROXIMITIES: the data are incomplete.");

  ProximitiesResult result;
  // 1. Listwise deletion.
  for (std::size_t c = 0; c < data.caseCount; ++c) {
    bool complete = true;
    for (std::size_t v = 0; v < k && complete; ++v) {
      const std::size_t at = c * k + v;
      complete = !std::isnan(data.values[at]) && (data.missing.empty() || data.missing[at] == 0);
    }
    if (!complete) continue;
    result.usedCases.push_back(c);
    result.caseNumbers.push_back(data.caseNumbers.empty() ? static_cast<std::int64_t>(c) + 1 : data.caseNumbers[c]);
  }
  const std::size_t m = result.usedCases.size();
  std::vector<double> values(m * k);
  for (std::size_t r = 0; r < m; ++r)
    for (std::size_t v = 0; v < k; ++v) values[r * k + v] = data.values[result.usedCases[r] * k + v];

  // 2. Standardization.
  const MeasureFamily family = request.family();
  if (family != MeasureFamily::binary)
    standardizeValues(request.standardization, request.standardizeBy, values.data(), m, k);

  // 3. The measure, on items laid out item by item and dimension by dimension.
  const bool byCase = request.view == ProximityView::cases;
  const std::size_t n = byCase ? m : k;
  const std::size_t dims = byCase ? k : m;
  std::vector<double> transposed(m * k);
  for (std::size_t r = 0; r < m; ++r)
    for (std::size_t v = 0; v < k; ++v) transposed[v * m + r] = values[r * k + v];
  const double* items = byCase ? values.data() : transposed.data();
  const double* byDimension = byCase ? transposed.data() : values.data();

  result.lower = korvana::TriangularStorage(static_cast<int>(n), false);
  switch (family) {
    case MeasureFamily::interval:
      kernels::intervalMeasure(request, items, byDimension, n, dims, result.lower, result.diagonal);
      break;
    case MeasureFamily::counts:
      kernels::countsMeasure(request.measure, items, n, dims, result.lower, result.diagonal);
      break;
    case MeasureFamily::binary:
      kernels::binaryMeasure(request, items, n, dims, result.lower, result.diagonal);
      break;
  }

  // 4. Transformations.
  transformProximities(request.absolute, request.reverse, request.rescale, result.lower, result.diagonal);

  result.isDissimilarity = request.isDissimilarity();
  result.proxLabel = proxValueLabel(request);
  if (byCase) {
    for (std::size_t i = 0; i < n; ++i) {
      result.names.push_back("VAR" + std::to_string(i + 1));
      result.labels.push_back("CASE " + std::to_string(result.caseNumbers[i]));
    }
  } else {
    result.names = request.variables;
    result.labels.assign(k, std::string());
  }
  return result;
}

}  // namespace korvana::spss
