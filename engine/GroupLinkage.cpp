#include "engine/GroupLinkage.h"

#include <cstdint>

#include "common/EKorvanaError.h"
#include "engine/ClusterMethod.h"
#include "engine/SimilarityMatrix.h"

namespace korvana {

namespace {

// Sums start from their first term, so that a sum of one term is that term
// to the bit (a signed zero included).
class Sum {
 public:
  void add(Extended term) {
    value_ = empty_ ? term : value_ + term;
    empty_ = false;
  }
  Extended value() const { return value_; }

 private:
  Extended value_ = 0;
  bool empty_ = true;
};

/// n_i / n_I rounded to a double, as the pair-group centroid rule rounds its weights.
double weight(int part, int whole) { return static_cast<double>(static_cast<Extended>(part) / whole); }

/// The product of two weights rounded to a double.
double weightProduct(double a, double b) { return static_cast<double>(static_cast<Extended>(a) * b); }

}  // namespace

GroupLinkage::Kind GroupLinkage::kindOf(const ClusterMethod& method) {
  const std::string& keyword = method.getKeyword();
  if (keyword == "average") return Kind::betweenGroups;
  if (keyword == "within") return Kind::withinGroups;
  if (keyword == "single") return Kind::single;
  if (keyword == "complete") return Kind::complete;
  if (keyword == "centroid") return Kind::centroid;
  if (keyword == "median") return Kind::median;
  if (keyword == "ward") return Kind::ward;
  throw EKorvanaError("The method '" + keyword + "' has no rule for joining several clusters at once");
}

void GroupLinkage::prepare(const SimilarityMatrix& matrix, const int* sizes, Group& group) const {
  group.size = 0;
  for (int a = 0; a < group.count; ++a) group.size += sizes[group.parts[a]];
  Sum term;
  for (int a = 0; a < group.count; ++a) {
    const int i = group.parts[a];
    for (int b = a + 1; b < group.count; ++b) {
      const int k = group.parts[b];
      const Extended cell = matrix.getProximity(i, k);
      switch (kind_) {
        case Kind::centroid:
          term.add(static_cast<Extended>(weightProduct(weight(sizes[i], group.size), weight(sizes[k], group.size))) *
                   cell);
          break;
        case Kind::median: term.add(isDissimilarity_ ? cell : 1.0L - cell); break;
        case Kind::ward: term.add(static_cast<Extended>(sizes[i] + sizes[k]) / group.size * cell); break;
        default: break;  // the other rules have no term of their own
      }
    }
  }
  group.term = term.value();
  if (kind_ == Kind::median) group.term /= static_cast<Extended>(group.count) * group.count;
}

double GroupLinkage::combine(const SimilarityMatrix& matrix, const int* sizes, const Group& first,
                             const Group& second) const {
  if (kind_ == Kind::single || kind_ == Kind::complete) {
    const bool best = kind_ == Kind::single;
    bool any = false;
    double chosen = 0.0;
    for (int a = 0; a < first.count; ++a)
      for (int b = 0; b < second.count; ++b) {
        const double cell = matrix.getProximity(first.parts[a], second.parts[b]);
        const double difference = isDissimilarity_ ? cell - chosen : chosen - cell;
        if (!any || (best ? difference < 0 : difference > 0)) chosen = cell;
        any = true;
      }
    return chosen;
  }
  Sum cross;
  for (int a = 0; a < first.count; ++a) {
    const int i = first.parts[a];
    for (int b = 0; b < second.count; ++b) {
      const int j = second.parts[b];
      const Extended cell = matrix.getProximity(i, j);
      switch (kind_) {
        case Kind::centroid:
          cross.add(static_cast<Extended>(
                        weightProduct(weight(sizes[i], first.size), weight(sizes[j], second.size))) *
                    cell);
          break;
        case Kind::ward: cross.add(static_cast<Extended>(sizes[i] + sizes[j]) * cell); break;
        default: cross.add(cell); break;  // the sums of both averages, and median's
      }
    }
  }
  switch (kind_) {
    case Kind::centroid: return static_cast<double>(cross.value() - first.term - second.term);
    case Kind::median: {
      const Extended mean = cross.value() / (static_cast<Extended>(first.count) * second.count);
      return static_cast<double>(isDissimilarity_ ? mean - first.term - second.term
                                                  : mean + first.term + second.term);
    }
    case Kind::ward:
      return static_cast<double>((cross.value() - second.size * first.term - first.size * second.term) /
                                 (first.size + second.size));
    default: return static_cast<double>(cross.value());
  }
}

double GroupLinkage::joinedWithinSum(const SimilarityMatrix& matrix, const double* withinSums,
                                     const Group& group) const {
  Sum pairs;
  Sum parts;
  for (int a = 0; a < group.count; ++a) {
    parts.add(withinSums[group.parts[a]]);
    for (int b = a + 1; b < group.count; ++b) pairs.add(matrix.getProximity(group.parts[a], group.parts[b]));
  }
  return static_cast<double>(pairs.value() + parts.value());
}

double GroupLinkage::score(const SimilarityMatrix& matrix, const int* sizes, const double* withinSums, int x,
                           int y) const {
  const double cell = matrix.getProximity(x, y);
  if (kind_ == Kind::betweenGroups)
    return static_cast<double>(static_cast<Extended>(cell) / int32Product(sizes[x], sizes[y]));
  if (kind_ == Kind::withinGroups) {
    const std::int32_t count = sizes[x] + sizes[y];
    const std::int32_t pairs = int32Product(count, count - 1) >> 1;
    const double sum = static_cast<double>(cell + (static_cast<Extended>(withinSums[x]) + withinSums[y]));
    return static_cast<double>(static_cast<Extended>(sum) / pairs);
  }
  return cell;
}

}  // namespace korvana
