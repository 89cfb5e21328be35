#include "platform/spss/proximities/ProximityKernels.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

namespace korvana::spss::kernels {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kKulczynskiCap = 9999.999;

#define KORVANA_ALWAYS_INLINE __attribute__((always_inline)) inline

// Four doubles as one value of GCC's vector extension: one AVX register where
// the code is compiled for AVX2, two SSE2 registers otherwise. Only additions,
// subtractions, multiplications, bit masks and comparisons are used, each
// rounded like its scalar counterpart.
using v4d = double __attribute__((vector_size(32)));
using v4u = std::uint64_t __attribute__((vector_size(32)));

constexpr std::uint64_t kMagnitudeBits = 0x7fffffffffffffffULL;

KORVANA_ALWAYS_INLINE v4d load4(const double* p) {
  v4d v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
KORVANA_ALWAYS_INLINE void store4(double* p, v4d v) { std::memcpy(p, &v, sizeof v); }
KORVANA_ALWAYS_INLINE v4d broadcast(double x) { return v4d{x, x, x, x}; }

KORVANA_ALWAYS_INLINE double magnitude(double x) { return std::fabs(x); }
KORVANA_ALWAYS_INLINE v4d magnitude(v4d x) { return reinterpret_cast<v4d>(reinterpret_cast<v4u>(x) & kMagnitudeBits); }

KORVANA_ALWAYS_INLINE double larger(double a, double b) { return a > b ? a : b; }
KORVANA_ALWAYS_INLINE v4d larger(v4d a, v4d b) { return a > b ? a : b; }

// What one dimension adds to a pair's accumulator: xj is the value of the
// column item, xi that of the row item.
struct SquaredDifference {
  template <class V> KORVANA_ALWAYS_INLINE V operator()(V xj, V xi) const {
    const V d = xj - xi;
    return d * d;
  }
  template <class V> static KORVANA_ALWAYS_INLINE V combine(V sum, V term) { return sum + term; }
};

struct AbsoluteDifference {
  template <class V> KORVANA_ALWAYS_INLINE V operator()(V xj, V xi) const { return magnitude(xj - xi); }
  template <class V> static KORVANA_ALWAYS_INLINE V combine(V sum, V term) { return sum + term; }
};

/// |xj − xi|^p for a whole p ≥ 3, by repeated multiplication.
struct PowerOfDifference {
  int power;
  template <class V> KORVANA_ALWAYS_INLINE V operator()(V xj, V xi) const {
    const V a = magnitude(xj - xi);
    V result = a;
    for (int k = 1; k < power; ++k) result = result * a;
    return result;
  }
  template <class V> static KORVANA_ALWAYS_INLINE V combine(V sum, V term) { return sum + term; }
};

struct LargestDifference {
  template <class V> KORVANA_ALWAYS_INLINE V operator()(V xj, V xi) const { return magnitude(xj - xi); }
  template <class V> static KORVANA_ALWAYS_INLINE V combine(V largest, V term) { return larger(largest, term); }
};

struct Product {
  template <class V> KORVANA_ALWAYS_INLINE V operator()(V xj, V xi) const { return xj * xi; }
  template <class V> static KORVANA_ALWAYS_INLINE V combine(V sum, V term) { return sum + term; }
};

/// What turns the accumulated value of a pair into the measure.
struct Finish {
  enum Mode { keep, squareRoot, root, normalize } mode = keep;
  double exponent = 1.0;                // root: s^exponent
  const double* sumsOfSquares = nullptr;  // normalize: s / √(ss_i · ss_j); NaN marks an unusable item

  KORVANA_ALWAYS_INLINE double operator()(double s, std::size_t i, std::size_t j) const {
    switch (mode) {
      case keep: return s;
      case squareRoot: return std::sqrt(s);
      case root: return std::pow(s, exponent);
      case normalize: return s / std::sqrt(sumsOfSquares[i] * sumsOfSquares[j]);
    }
    return s;
  }
};

template <class Op>
KORVANA_ALWAYS_INLINE double pairSum(const Op& op, const double* xi, const double* xj, std::size_t dims) {
  double sum = 0.0;
  for (std::size_t d = 0; d < dims; ++d) sum = Op::combine(sum, op(xj[d], xi[d]));
  return sum;
}

/// The interval loop over a block of cells: groups of four rows against tiles
/// of eight columns, the accumulators of the 4 × 8 pairs held in registers
/// while the dimensions pass; the columns of a group that do not fill a tile,
/// and the triangle next to the diagonal, pair by pair. Each group of rows is
/// finished while it is still in the cache.
template <class Op>
KORVANA_ALWAYS_INLINE void intervalCells(const Op& op, const Finish& finish, const double* items,
                                        const double* byDimension, std::size_t n, std::size_t dims,
                                        const CellBlock& block, const RowOutput& output) {
  constexpr std::size_t kRows = 4;
  constexpr std::size_t kColumns = 8;
  const std::size_t c0 = block.firstColumn;
  // A row has cells from column c0 on only below the diagonal.
  for (std::size_t i0 = std::max(block.firstRow, c0 + 1); i0 < block.endRow; i0 += kRows) {
    const std::size_t rows = std::min(kRows, block.endRow - i0);
    // The columns every row of the group has: those below its first row.
    const std::size_t common = std::min(block.endColumn, i0);
    const std::size_t tiled = rows == kRows && common > c0 ? c0 + (common - c0) / kColumns * kColumns : c0;
    const double* x[kRows];
    double* out[kRows];
    for (std::size_t r = 0; r < kRows; ++r) x[r] = items + (i0 + std::min(r, rows - 1)) * dims;
    for (std::size_t r = 0; r < rows; ++r) out[r] = output(i0 + r);
    for (std::size_t j0 = c0; j0 < tiled; j0 += kColumns) {
      v4d sum[kRows][2];
      for (std::size_t r = 0; r < kRows; ++r) sum[r][0] = sum[r][1] = broadcast(0.0);
      const double* column = byDimension + j0;
      for (std::size_t d = 0; d < dims; ++d, column += n) {
        const v4d col0 = load4(column);
        const v4d col1 = load4(column + 4);
        for (std::size_t r = 0; r < kRows; ++r) {
          const v4d xi = broadcast(x[r][d]);
          sum[r][0] = Op::combine(sum[r][0], op(col0, xi));
          sum[r][1] = Op::combine(sum[r][1], op(col1, xi));
        }
      }
      for (std::size_t r = 0; r < kRows; ++r) {
        store4(out[r] + (j0 - c0), sum[r][0]);
        store4(out[r] + (j0 - c0) + 4, sum[r][1]);
      }
    }
    for (std::size_t r = 0; r < rows; ++r) {
      const std::size_t i = i0 + r;
      const std::size_t end = std::min(block.endColumn, i);
      for (std::size_t j = tiled; j < end; ++j) out[r][j - c0] = pairSum(op, x[r], items + j * dims, dims);
      if (finish.mode != Finish::keep)
        for (std::size_t j = c0; j < end; ++j) out[r][j - c0] = finish(out[r][j - c0], i, j);
    }
  }
}

template <class Op>
[[gnu::target("avx2"), gnu::flatten]] void intervalCellsAvx2(const Op& op, const Finish& finish, const double* items,
                                                              const double* byDimension, std::size_t n,
                                                              std::size_t dims, const CellBlock& block,
                                                              const RowOutput& output) {
  intervalCells(op, finish, items, byDimension, n, dims, block, output);
}

template <class Op>
[[gnu::flatten]] void intervalCellsBaseline(const Op& op, const Finish& finish, const double* items,
                                            const double* byDimension, std::size_t n, std::size_t dims,
                                            const CellBlock& block, const RowOutput& output) {
  intervalCells(op, finish, items, byDimension, n, dims, block, output);
}

std::atomic<bool> baselineOnly{false};

bool hasAvx2() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available && !baselineOnly.load(std::memory_order_relaxed);
}

bool hasPopcount() {
  static const bool available = __builtin_cpu_supports("popcnt");
  return available && !baselineOnly.load(std::memory_order_relaxed);
}

template <class Op>
void runInterval(const Op& op, const Finish& finish, const double* items, const double* byDimension, std::size_t n,
                 std::size_t dims, const CellBlock& block, const RowOutput& output, std::vector<double>* diagonal) {
  if (hasAvx2()) intervalCellsAvx2(op, finish, items, byDimension, n, dims, block, output);
  else intervalCellsBaseline(op, finish, items, byDimension, n, dims, block, output);
  if (!diagonal) return;
  diagonal->resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double* x = items + i * dims;
    (*diagonal)[i] = finish(pairSum(op, x, x, dims), i, i);
  }
}

/// Sums of squares of each item's values; NaN for an item whose sum is 0 or
/// that is marked unusable.
std::vector<double> sumsOfSquares(const double* items, std::size_t n, std::size_t dims,
                                  const std::vector<char>& unusable) {
  std::vector<double> sums(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double* x = items + i * dims;
    double sum = 0.0;
    for (std::size_t d = 0; d < dims; ++d) sum = sum + x[d] * x[d];
    sums[i] = (sum == 0.0 || unusable[i]) ? kNaN : sum;
  }
  return sums;
}

// ---- binary ----------------------------------------------------------------

/// The 2 × 2 tables of row i against columns first … first + count − 1.
struct Tables {
  std::vector<std::int32_t> a, b, c, d;
  explicit Tables(std::size_t n) : a(n), b(n), c(n), d(n) {}
};

KORVANA_ALWAYS_INLINE void countRowTables(const std::uint64_t* present, const std::uint64_t* absent,
                                          std::size_t words, std::size_t i, std::size_t first, std::size_t count,
                                          Tables& t) {
  const std::uint64_t* pi = present + i * words;
  const std::uint64_t* ai = absent + i * words;
  if (words == 1) {
    const std::uint64_t p = pi[0], q = ai[0];
    for (std::size_t j = 0; j < count; ++j) {
      t.a[j] = __builtin_popcountll(p & present[first + j]);
      t.b[j] = __builtin_popcountll(p & absent[first + j]);
      t.c[j] = __builtin_popcountll(q & present[first + j]);
      t.d[j] = __builtin_popcountll(q & absent[first + j]);
    }
    return;
  }
  for (std::size_t j = 0; j < count; ++j) {
    const std::uint64_t* pj = present + (first + j) * words;
    const std::uint64_t* aj = absent + (first + j) * words;
    std::int32_t a = 0, b = 0, c = 0, d = 0;
    for (std::size_t w = 0; w < words; ++w) {
      a += __builtin_popcountll(pi[w] & pj[w]);
      b += __builtin_popcountll(pi[w] & aj[w]);
      c += __builtin_popcountll(ai[w] & pj[w]);
      d += __builtin_popcountll(ai[w] & aj[w]);
    }
    t.a[j] = a;
    t.b[j] = b;
    t.c[j] = c;
    t.d[j] = d;
  }
}

[[gnu::target("popcnt"), gnu::flatten]] void countRowTablesPopcount(const std::uint64_t* present,
                                                                     const std::uint64_t* absent, std::size_t words,
                                                                     std::size_t i, std::size_t first,
                                                                     std::size_t count, Tables& t) {
  countRowTables(present, absent, words, i, first, count, t);
}

[[gnu::flatten]] void countRowTablesBaseline(const std::uint64_t* present, const std::uint64_t* absent,
                                             std::size_t words, std::size_t i, std::size_t first, std::size_t count,
                                             Tables& t) {
  countRowTables(present, absent, words, i, first, count, t);
}

/// num / den, NaN when den is 0 (the measure is undefined for the pair).
KORVANA_ALWAYS_INLINE double ratio(double num, double den) { return den == 0.0 ? kNaN : num / den; }

template <ProximityMeasure M>
KORVANA_ALWAYS_INLINE double binaryFormula(double a, double b, double c, double d) {
  using P = ProximityMeasure;
  const double n = a + b + c + d;
  if constexpr (M == P::rr) return ratio(a, n);
  else if constexpr (M == P::sm) return ratio(a + d, n);
  else if constexpr (M == P::jaccard) return ratio(a, a + b + c);
  else if constexpr (M == P::dice) return ratio(2.0 * a, 2.0 * a + b + c);
  else if constexpr (M == P::rt) return ratio(a + d, a + d + 2.0 * (b + c));
  else if constexpr (M == P::ss1) return ratio(2.0 * (a + d), 2.0 * (a + d) + b + c);
  else if constexpr (M == P::ss2) return ratio(a, a + 2.0 * (b + c));
  else if constexpr (M == P::k1) return b + c == 0.0 ? kKulczynskiCap : std::min(a / (b + c), kKulczynskiCap);
  else if constexpr (M == P::ss3) return b + c == 0.0 ? kKulczynskiCap : std::min((a + d) / (b + c), kKulczynskiCap);
  else if constexpr (M == P::k2) {
    if (a + b == 0.0 || a + c == 0.0) return kNaN;
    return (a / (a + b) + a / (a + c)) / 2.0;
  } else if constexpr (M == P::ss4) {
    if (a + b == 0.0 || a + c == 0.0 || b + d == 0.0 || c + d == 0.0) return kNaN;
    return (a / (a + b) + a / (a + c) + d / (b + d) + d / (c + d)) / 4.0;
  } else if constexpr (M == P::hamann) return ratio((a + d) - (b + c), n);
  else if constexpr (M == P::lambda || M == P::d) {
    const double t1 = std::max(a, b) + std::max(c, d) + std::max(a, c) + std::max(b, d);
    const double t2 = std::max(a + c, b + d) + std::max(a + b, c + d);
    if constexpr (M == P::lambda) return ratio(t1 - t2, 2.0 * n - t2);
    else return ratio(t1 - t2, 2.0 * n);
  } else if constexpr (M == P::y) {
    const double ad = std::sqrt(a * d), bc = std::sqrt(b * c);
    return ratio(ad - bc, ad + bc);
  } else if constexpr (M == P::q) return ratio(a * d - b * c, a * d + b * c);
  else if constexpr (M == P::ochiai) {
    if (a + b == 0.0 || a + c == 0.0) return kNaN;
    return std::sqrt(a / (a + b) * (a / (a + c)));
  } else if constexpr (M == P::ss5) return ratio(a * d, std::sqrt((a + b) * (a + c) * (b + d) * (c + d)));
  else if constexpr (M == P::phi) return ratio(a * d - b * c, std::sqrt((a + b) * (a + c) * (b + d) * (c + d)));
  else if constexpr (M == P::disper) return ratio(a * d - b * c, n * n);
  else if constexpr (M == P::beuclid) return std::sqrt(b + c);
  else if constexpr (M == P::bseuclid) return b + c;
  else if constexpr (M == P::size) return ratio((b - c) * (b - c), n * n);
  else if constexpr (M == P::pattern) return ratio(b * c, n * n);
  else if constexpr (M == P::variance) return ratio(b + c, 4.0 * n);
  else if constexpr (M == P::bshape) return ratio(n * (b + c) - (b - c) * (b - c), n * n);
  else if constexpr (M == P::blwmn) return ratio(b + c, 2.0 * a + b + c);
  else static_assert(M == P::blwmn, "not a binary measure");
}

using RowFormula = void (*)(const Tables&, std::size_t, double*);

template <ProximityMeasure M>
void binaryRow(const Tables& t, std::size_t count, double* out) {
  for (std::size_t j = 0; j < count; ++j)
    out[j] = binaryFormula<M>(t.a[j], t.b[j], t.c[j], t.d[j]);
}

constexpr std::size_t kFirstBinary = static_cast<std::size_t>(ProximityMeasure::beuclid);
constexpr std::size_t kBinaryCount = static_cast<std::size_t>(ProximityMeasure::q) - kFirstBinary + 1;

template <std::size_t... I>
constexpr std::array<RowFormula, kBinaryCount> rowFormulas(std::index_sequence<I...>) {
  return {&binaryRow<static_cast<ProximityMeasure>(kFirstBinary + I)>...};
}

template <std::size_t... I>
double binaryValueAt(std::size_t index, double a, double b, double c, double d, std::index_sequence<I...>) {
  double value = kNaN;
  ((index == I ? (value = binaryFormula<static_cast<ProximityMeasure>(kFirstBinary + I)>(a, b, c, d), 0) : 0), ...);
  return value;
}

std::size_t binaryIndex(ProximityMeasure measure) {
  const auto index = static_cast<std::size_t>(measure);
  if (index < kFirstBinary || index >= kFirstBinary + kBinaryCount) return kBinaryCount;
  return index - kFirstBinary;
}

}  // namespace

PreparedItems prepareItems(const ProximitiesRequest& request, std::vector<double> items,
                           std::vector<double> byDimension, std::size_t n, std::size_t dims) {
  using P = ProximityMeasure;
  PreparedItems prepared;
  prepared.request = &request;
  prepared.n = n;
  prepared.dims = dims;
  switch (request.family()) {
    case MeasureFamily::interval:
      if (request.measure == P::cosine || request.measure == P::correlation) {
        // A correlation is the cosine of the items' deviations from their
        // means. An item whose values are all equal has no variation; that is
        // decided on the values themselves, since deviations from a rounded
        // mean need not come out exactly 0.
        std::vector<char> unusable(n, 0);
        if (request.measure == P::correlation) {
          for (std::size_t i = 0; i < n; ++i) {
            double* x = items.data() + i * dims;
            bool constant = true;
            double sum = 0.0;
            for (std::size_t d = 0; d < dims; ++d) {
              sum = sum + x[d];
              constant = constant && x[d] == x[0];
            }
            unusable[i] = constant;
            const double mean = sum / static_cast<double>(dims);
            for (std::size_t d = 0; d < dims; ++d) {
              x[d] = x[d] - mean;
              byDimension[d * n + i] = x[d];
            }
          }
        }
        prepared.sums = sumsOfSquares(items.data(), n, dims, unusable);
      }
      prepared.items = std::move(items);
      prepared.byDimension = std::move(byDimension);
      break;
    case MeasureFamily::counts:
      prepared.sums.resize(n);
      for (std::size_t i = 0; i < n; ++i) {
        double sum = 0.0;
        for (std::size_t d = 0; d < dims; ++d) sum = sum + items[i * dims + d];
        prepared.sums[i] = sum;
      }
      prepared.items = std::move(items);
      break;
    case MeasureFamily::binary: {
      const std::size_t words = std::max<std::size_t>(1, (dims + 63) / 64);
      prepared.words = words;
      prepared.present.assign(n * words, 0);
      prepared.absent.assign(n * words, 0);
      for (std::size_t i = 0; i < n; ++i)
        for (std::size_t d = 0; d < dims; ++d) {
          const double v = items[i * dims + d];
          const std::uint64_t bit = std::uint64_t{1} << (d % 64);
          if (v == request.presentValue) prepared.present[i * words + d / 64] |= bit;
          else if (request.absentIsEveryOtherValue || v == request.absentValue) prepared.absent[i * words + d / 64] |= bit;
        }
      break;
    }
  }
  return prepared;
}

namespace {

void intervalCellsOf(const PreparedItems& prepared, const CellBlock& block, const RowOutput& output,
                     std::vector<double>* diagonal) {
  using P = ProximityMeasure;
  const ProximitiesRequest& request = *prepared.request;
  const double* items = prepared.items.data();
  const double* byDimension = prepared.byDimension.data();
  const std::size_t n = prepared.n;
  const std::size_t dims = prepared.dims;
  Finish finish;
  const auto rootFinish = [](std::int32_t root) {
    Finish f;
    if (root == 2) f.mode = Finish::squareRoot;
    else if (root != 1) {
      f.mode = Finish::root;
      f.exponent = 1.0 / root;
    }
    return f;
  };
  switch (request.measure) {
    case P::seuclid: return runInterval(SquaredDifference{}, finish, items, byDimension, n, dims, block, output, diagonal);
    case P::euclid:
      finish.mode = Finish::squareRoot;
      return runInterval(SquaredDifference{}, finish, items, byDimension, n, dims, block, output, diagonal);
    case P::block: return runInterval(AbsoluteDifference{}, finish, items, byDimension, n, dims, block, output, diagonal);
    case P::chebychev: return runInterval(LargestDifference{}, finish, items, byDimension, n, dims, block, output, diagonal);
    case P::minkowski:
    case P::power: {
      const std::int32_t p = request.power;
      finish = rootFinish(request.measure == P::minkowski ? p : request.root);
      if (p == 1) return runInterval(AbsoluteDifference{}, finish, items, byDimension, n, dims, block, output, diagonal);
      if (p == 2) return runInterval(SquaredDifference{}, finish, items, byDimension, n, dims, block, output, diagonal);
      return runInterval(PowerOfDifference{p}, finish, items, byDimension, n, dims, block, output, diagonal);
    }
    case P::cosine:
    case P::correlation:
      finish.mode = Finish::normalize;
      finish.sumsOfSquares = prepared.sums.data();
      return runInterval(Product{}, finish, items, byDimension, n, dims, block, output, diagonal);
    default: throw EProximitiesError("PROXIMITIES: not an interval measure");
  }
}

void countsCellsOf(const PreparedItems& prepared, const CellBlock& block, const RowOutput& output,
                   std::vector<double>* diagonal) {
  // χ² of the 2 × k table (x, y) under independence, in the form
  //   χ² = Σ_i (Y·x_i − X·y_i)² / (x_i + y_i) / (X·Y),
  // which equals Σ (O − E)²/E over both rows when N = X + Y, X and Y are not
  // 0; columns with x_i + y_i = 0 add nothing.
  const double* items = prepared.items.data();
  const std::size_t n = prepared.n;
  const std::size_t dims = prepared.dims;
  const std::vector<double>& totals = prepared.sums;
  const bool phi = prepared.request->measure == ProximityMeasure::ph2;
  const auto value = [&](std::size_t i, std::size_t j) {
    const double X = totals[i], Y = totals[j], N = X + Y;
    if (X == 0.0 || Y == 0.0 || N == 0.0) return kNaN;
    const double* x = items + i * dims;
    const double* y = items + j * dims;
    double sum = 0.0;
    for (std::size_t d = 0; d < dims; ++d) {
      const double column = x[d] + y[d];
      if (column == 0.0) continue;
      const double deviation = Y * x[d] - X * y[d];
      sum = sum + deviation * deviation / column;
    }
    const double chiSquare = sum / (X * Y);
    return phi ? std::sqrt(chiSquare / N) : std::sqrt(chiSquare);
  };
  for (std::size_t i = std::max(block.firstRow, block.firstColumn + 1); i < block.endRow; ++i) {
    double* out = output(i);
    const std::size_t end = std::min(block.endColumn, i);
    for (std::size_t j = block.firstColumn; j < end; ++j) out[j - block.firstColumn] = value(i, j);
  }
  if (!diagonal) return;
  diagonal->resize(n);
  for (std::size_t i = 0; i < n; ++i) (*diagonal)[i] = value(i, i);
}

void binaryCellsOf(const PreparedItems& prepared, const CellBlock& block, const RowOutput& output,
                   std::vector<double>* diagonal) {
  const ProximitiesRequest& request = *prepared.request;
  const std::size_t index = binaryIndex(request.measure);
  if (index >= kBinaryCount) throw EProximitiesError("PROXIMITIES: not a binary measure");
  const std::size_t n = prepared.n;
  const std::size_t words = prepared.words;
  static constexpr std::array<RowFormula, kBinaryCount> kRows = rowFormulas(std::make_index_sequence<kBinaryCount>());
  const RowFormula row = kRows[index];
  const auto countRow = hasPopcount() ? &countRowTablesPopcount : &countRowTablesBaseline;
  const std::size_t c0 = block.firstColumn;
  const std::size_t columns = std::min(block.endColumn, n) > c0 ? std::min(block.endColumn, n) - c0 : 0;
  Tables tables(std::max<std::size_t>(columns, 1));
  for (std::size_t i = std::max(block.firstRow, c0 + 1); i < block.endRow; ++i) {
    const std::size_t count = std::min(block.endColumn, i) - c0;
    countRow(prepared.present.data(), prepared.absent.data(), words, i, c0, count, tables);
    row(tables, count, output(i));
  }
  if (!diagonal) return;
  diagonal->resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::int32_t a = 0, b = 0, d = 0;
    for (std::size_t w = 0; w < words; ++w) {
      a += __builtin_popcountll(prepared.present[i * words + w]);
      d += __builtin_popcountll(prepared.absent[i * words + w]);
    }
    (*diagonal)[i] = binaryValue(request.measure, a, b, b, d);
  }
}

}  // namespace

void pairCells(const PreparedItems& prepared, const CellBlock& block, const RowOutput& output,
               std::vector<double>* diagonal) {
  switch (prepared.request->family()) {
    case MeasureFamily::interval: return intervalCellsOf(prepared, block, output, diagonal);
    case MeasureFamily::counts: return countsCellsOf(prepared, block, output, diagonal);
    case MeasureFamily::binary: return binaryCellsOf(prepared, block, output, diagonal);
  }
}

void useBaselineCodeOnly(bool value) { baselineOnly.store(value, std::memory_order_relaxed); }

double binaryValue(ProximityMeasure measure, double a, double b, double c, double d) {
  const std::size_t index = binaryIndex(measure);
  if (index >= kBinaryCount) return kNaN;
  return binaryValueAt(index, a, b, c, d, std::make_index_sequence<kBinaryCount>());
}

}  // namespace korvana::spss::kernels
