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

namespace {

/// combine for one rule, with the rule known when compiled.
template <GroupLinkage::Kind kind>
double combineAs(bool isDissimilarity, const SimilarityMatrix& matrix, const int* sizes,
                 const GroupLinkage::Group& first, const GroupLinkage::Group& second) {
  using Kind = GroupLinkage::Kind;
  if constexpr (kind == Kind::single || kind == Kind::complete) {
    bool any = false;
    double chosen = 0.0;
    for (int a = 0; a < first.count; ++a)
      for (int b = 0; b < second.count; ++b) {
        const double cell = matrix.getProximity(first.parts[a], second.parts[b]);
        const double difference = isDissimilarity ? cell - chosen : chosen - cell;
        if (!any || (kind == Kind::single ? difference < 0 : difference > 0)) chosen = cell;
        any = true;
      }
    return chosen;
  } else {
    Sum cross;
    for (int a = 0; a < first.count; ++a) {
      const int i = first.parts[a];
      for (int b = 0; b < second.count; ++b) {
        const int j = second.parts[b];
        const Extended cell = matrix.getProximity(i, j);
        if constexpr (kind == Kind::centroid)
          cross.add(static_cast<Extended>(weightProduct(weight(sizes[i], first.size), weight(sizes[j], second.size))) *
                    cell);
        else if constexpr (kind == Kind::ward)
          cross.add(static_cast<Extended>(sizes[i] + sizes[j]) * cell);
        else
          cross.add(cell);  // the sums of both averages, and median's
      }
    }
    if constexpr (kind == Kind::centroid) {
      return static_cast<double>(cross.value() - first.term - second.term);
    } else if constexpr (kind == Kind::median) {
      const Extended mean = cross.value() / (static_cast<Extended>(first.count) * second.count);
      return static_cast<double>(isDissimilarity ? mean - first.term - second.term : mean + first.term + second.term);
    } else if constexpr (kind == Kind::ward) {
      return static_cast<double>((cross.value() - second.size * first.term - first.size * second.term) /
                                 (first.size + second.size));
    } else {
      return static_cast<double>(cross.value());
    }
  }
}

/// Calls f.template operator()<kind>() with the rule's kind.
template <class F>
decltype(auto) withKind(GroupLinkage::Kind kind, F&& f) {
  using Kind = GroupLinkage::Kind;
  switch (kind) {
    case Kind::betweenGroups: return f.template operator()<Kind::betweenGroups>();
    case Kind::withinGroups: return f.template operator()<Kind::withinGroups>();
    case Kind::single: return f.template operator()<Kind::single>();
    case Kind::complete: return f.template operator()<Kind::complete>();
    case Kind::centroid: return f.template operator()<Kind::centroid>();
    case Kind::median: return f.template operator()<Kind::median>();
    default: return f.template operator()<Kind::ward>();
  }
}

}  // namespace

double GroupLinkage::combine(const SimilarityMatrix& matrix, const int* sizes, const Group& first,
                             const Group& second) const {
  return withKind(kind_, [&]<Kind kind>() { return combineAs<kind>(isDissimilarity_, matrix, sizes, first, second); });
}

void GroupLinkage::combineWithEach(SimilarityMatrix& matrix, const int* sizes, const Group& group, int keeper,
                                   const int* others, int count, const int* joined) const {
  withKind(kind_, [&]<Kind kind>() {
    for (int k = 0; k < count; ++k) {
      const int other = others[k];
      if (joined[other] >= 0) continue;
      const Group single{&others[k], 1, sizes[other], 0};
      matrix.setProximity(keeper, other, combineAs<kind>(isDissimilarity_, matrix, sizes, group, single));
    }
  });
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
