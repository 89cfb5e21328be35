#include "platform/spss/proximities/ProximitiesMatrix.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "platform/spss/proximities/ProximitiesComputation.h"

namespace korvana::spss {

namespace {

/// The bytes the pass that finds RESCALE's range computes at a time.
constexpr std::size_t kRangeBlockBytes = std::size_t{16} << 20;

}  // namespace

ProximitiesMatrix::ProximitiesMatrix(const ProximitiesRequest& request, const ProximitiesData& data)
    : request_(request) {
  const std::size_t k = request.variables.size();
  if (data.variableCount != k)
    throw EProximitiesError("PROXIMITIES: the data hold " + std::to_string(data.variableCount) +
                            " variables, the command names " + std::to_string(k) + ".");
  if (data.values.size() != data.caseCount * k || (!data.missing.empty() && data.missing.size() != data.values.size()) ||
      (!data.caseNumbers.empty() && data.caseNumbers.size() != data.caseCount))
    throw EProximitiesError("PROXIMITIES: the data are incomplete.");

  ProximitiesResult& result = description_;
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
  if (request.family() != MeasureFamily::binary)
    standardizeValues(request.standardization, request.standardizeBy, values.data(), m, k);

  // The items for step 3, item by item and dimension by dimension.
  const bool byCase = request.view == ProximityView::cases;
  n_ = byCase ? m : k;
  dims_ = byCase ? k : m;
  std::vector<double> transposed(m * k);
  for (std::size_t r = 0; r < m; ++r)
    for (std::size_t v = 0; v < k; ++v) transposed[v * m + r] = values[r * k + v];
  if (byCase) items_ = kernels::prepareItems(request_, std::move(values), std::move(transposed), n_, dims_);
  else items_ = kernels::prepareItems(request_, std::move(transposed), std::move(values), n_, dims_);

  result.isDissimilarity = request.isDissimilarity();
  result.proxLabel = proxValueLabel(request);
  if (byCase) {
    for (std::size_t i = 0; i < n_; ++i) {
      result.names.push_back("VAR" + std::to_string(i + 1));
      result.labels.push_back("CASE " + std::to_string(result.caseNumbers[i]));
    }
  } else {
    result.names = request.variables;
    result.labels.assign(k, std::string());
  }

  measure({0, 0, 0, 0}, [](std::size_t) { return nullptr; }, &result.diagonal);
  // 4. ABSOLUTE and REVERSE first; RESCALE maps by the range of the cells
  // off the diagonal after them.
  if (request.rescale) {
    double minimum = std::numeric_limits<double>::infinity();
    double maximum = -minimum;
    bool any = false;
    const std::size_t rows = std::max<std::size_t>(1, kRangeBlockBytes / sizeof(double) / std::max<std::size_t>(n_, 1));
    std::vector<double> block;
    for (std::size_t first = 1; first < n_; first += rows) {
      const std::size_t end = std::min(n_, first + rows);
      block.assign((end - first) * n_, std::numeric_limits<double>::quiet_NaN());
      measure({first, end, 0, n_}, [&](std::size_t i) { return block.data() + (i - first) * n_; });
      for (std::size_t i = first; i < end; ++i) {
        double* row = block.data() + (i - first) * n_;
        transform(row, i);
        for (std::size_t j = 0; j < i; ++j) {
          const double p = row[j];
          if (std::isnan(p)) continue;
          any = true;
          if (p < minimum) minimum = p;
          if (p > maximum) maximum = p;
        }
      }
    }
    if (any) {
      rescale_ = true;
      minimum_ = minimum;
      maximum_ = maximum;
      range_ = maximum - minimum;
    }
  }
  for (double& p : result.diagonal) {
    if (request.absolute) p = std::fabs(p);
    if (request.reverse) p = 0.0 - p;
    if (!rescale_ || std::isnan(p)) continue;
    if (p < minimum_) p = 0.0;
    else if (p > maximum_) p = 1.0;
    else p = range_ > 0.0 ? (p - minimum_) / range_ : 0.5;
  }
}

void ProximitiesMatrix::measure(const kernels::CellBlock& block, const kernels::RowOutput& output,
                                std::vector<double>* diagonal) const {
  kernels::pairCells(items_, block, output, diagonal);
}

void ProximitiesMatrix::transform(double* values, std::size_t count) const {
  if (request_.absolute)
    for (std::size_t j = 0; j < count; ++j) values[j] = std::fabs(values[j]);
  if (request_.reverse)
    for (std::size_t j = 0; j < count; ++j) values[j] = 0.0 - values[j];
  if (rescale_)
    for (std::size_t j = 0; j < count; ++j)
      if (!std::isnan(values[j])) values[j] = range_ > 0.0 ? (values[j] - minimum_) / range_ : 0.5;
}

std::size_t ProximitiesMatrix::rowsPerBlock(std::size_t bytes) const {
  // The rows themselves and as many cells again, the mirrored ones.
  return std::max<std::size_t>(1, bytes / (2 * sizeof(double) * std::max<std::size_t>(n_, 1)));
}

void ProximitiesMatrix::rows(std::size_t first, std::size_t end, double* out) const {
  const std::size_t n = n_;
  const std::size_t count = end - first;
  // Below the diagonal: row i's own cells.
  measure({first, end, 0, n}, [&](std::size_t i) { return out + (i - first) * n; });
  for (std::size_t i = first; i < end; ++i) {
    transform(out + (i - first) * n, i);
    out[(i - first) * n + i] = description_.diagonal[i];
  }
  // Above it: cell (i, j), j > i, is cell (j, i) of a later row.
  if (first + 1 >= n) return;
  // Grown once and kept: fresh memory for every block would be zeroed each time.
  std::vector<double>& mirrored = mirrored_;
  if (mirrored.size() < (n - first - 1) * count) mirrored.resize((n - first - 1) * count);
  measure({first + 1, n, first, end}, [&](std::size_t j) { return mirrored.data() + (j - first - 1) * count; });
  for (std::size_t j = first + 1; j < n; ++j) {
    double* cells = mirrored.data() + (j - first - 1) * count;
    const std::size_t below = std::min(end, j) - first;
    transform(cells, below);
    for (std::size_t i = 0; i < below; ++i) out[i * n + j] = cells[i];
  }
}

ProximitiesResult ProximitiesMatrix::wholeResult() const {
  ProximitiesResult result;
  result.diagonal = description_.diagonal;
  result.isDissimilarity = description_.isDissimilarity;
  result.proxLabel = description_.proxLabel;
  result.names = description_.names;
  result.labels = description_.labels;
  result.usedCases = description_.usedCases;
  result.caseNumbers = description_.caseNumbers;
  result.lower = korvana::TriangularStorage(static_cast<int>(n_), false);
  korvana::TriangularStorage& lower = result.lower;
  measure({1, n_, 0, n_}, [&](std::size_t i) { return lower.row(static_cast<int>(i)); });
  for (std::size_t i = 1; i < n_; ++i) transform(lower.row(static_cast<int>(i)), i);
  return result;
}

}  // namespace korvana::spss
