#include "engine/VariableGroupAgglomeration.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "common/EAnalysisCanceledException.h"
#include "common/EKorvanaError.h"
#include "common/ScientificFormat.h"
#include "engine/AgglomerationState.h"
#include "engine/ExtendedPrecision.h"
#include "engine/GroupLinkage.h"
#include "engine/PermutationRun.h"
#include "engine/ProximityMatrix.h"
#include "engine/SimilarityMatrix.h"

namespace korvana {

namespace {

/// Whether a value is tied with the best one: both round to the same 13
/// significant digits. Two such values differ by at most one unit of the
/// 13th digit, about 1e-12 of the best value, so only values that close are
/// rounded at all.
class TieTest {
 public:
  explicit TieTest(double best)
      : best_(best), rounded_(roundToSignificantDigits(best, 13)), slack_(std::fabs(best) * 2e-12) {}
  bool operator()(double value) const {
    if (value == best_) return true;
    return std::fabs(value - best_) <= slack_ && roundToSignificantDigits(value, 13) == rounded_;
  }

 private:
  double best_;
  double rounded_;
  double slack_;
};

/// The clusters of one step's merge: its parts (working indices, by their
/// lowest object number), the part that keeps its working index, and what
/// GroupLinkage needs.
struct Group {
  int name = 0;
  int keeper = 0;
  std::size_t firstPart = 0;  // into the step's list of parts
  GroupLinkage::Group linkage;
  double withinSum = 0.0;
};

template <Direction dir>
class Run {
 public:
  Run(const ProximityMatrix& matrix, const GroupLinkage& linkage, const int* permutation,
      const std::function<bool()>& canceled)
      : linkage_(linkage),
        canceled_(canceled),
        cells_(matrix.isDissimilarity(), matrix.getNumberOfObjects()),
        state_(matrix.getNumberOfObjects()),
        name_(permutation, permutation + matrix.getNumberOfObjects()),
        parent_(name_.size(), -1),
        groupOf_(name_.size(), -1) {
    cells_.fillFromMatrix(matrix, permutation);
  }

  std::vector<OrderFreeMerge> run() {
    std::vector<OrderFreeMerge> merges;
    while (state_.activeCount() > 1) {
      if (canceled_ && canceled_()) throw EAnalysisCanceledException();
      step(merges);
    }
    return merges;
  }

 private:
  double score(int x, int y) const { return linkage_.score(cells_, state_.sizes(), state_.withinSums(), x, y); }

  int find(int x) {
    while (parent_[static_cast<std::size_t>(x)] != x) {
      int& up = parent_[static_cast<std::size_t>(x)];
      up = parent_[static_cast<std::size_t>(up)];
      x = up;
    }
    return x;
  }

  void link(int x, int y) {
    for (const int c : {x, y})
      if (parent_[static_cast<std::size_t>(c)] < 0) {
        parent_[static_cast<std::size_t>(c)] = c;
        touched_.push_back(c);
      }
    const int rx = find(x);
    const int ry = find(y);
    if (rx != ry) parent_[static_cast<std::size_t>(std::max(rx, ry))] = std::min(rx, ry);
  }

  /// The nearest value of the row at `position` over the active clusters before it.
  void rescan(int position) {
    const int* active = state_.activeList();
    const int x = active[position];
    int nearest = -1;
    double nearestValue = worstValue<dir>();
    if (linkage_.scoreIsCell()) {
      // Independent lanes instead of one chain of comparisons; the values are
      // all numbers, and which of equal values is kept does not matter here.
      constexpr int kLanes = 4;
      const double* row = cells_.rowCells(x);
      double laneValue[kLanes];
      int lanePosition[kLanes];
      for (int l = 0; l < kLanes; ++l) {
        laneValue[l] = worstValue<dir>();
        lanePosition[l] = -1;
      }
      int k = 0;
      for (; k + kLanes <= position; k += kLanes)
        for (int l = 0; l < kLanes; ++l) {
          const double value = row[active[k + l]];
          const bool better = isStrictlyBetter<dir>(value, laneValue[l]);
          laneValue[l] = better ? value : laneValue[l];
          lanePosition[l] = better ? k + l : lanePosition[l];
        }
      for (; k < position; ++k)
        if (isStrictlyBetter<dir>(row[active[k]], laneValue[0])) {
          laneValue[0] = row[active[k]];
          lanePosition[0] = k;
        }
      for (int l = 0; l < kLanes; ++l)
        if (lanePosition[l] >= 0 && isStrictlyBetter<dir>(laneValue[l], nearestValue)) {
          nearest = active[lanePosition[l]];
          nearestValue = laneValue[l];
        }
    } else {
      for (int k = 0; k < position; ++k) {
        const double value = score(x, active[k]);
        if (isStrictlyBetter<dir>(value, nearestValue)) {
          nearest = active[k];
          nearestValue = value;
        }
      }
    }
    cells_.setNearest(x, nearest);
    cells_.setNearestValue(x, nearestValue);
  }

  /// Links every tied pair; false when there is none.
  bool findTies() {
    const int count = state_.activeCount();
    const int* active = state_.activeList();
    double best = worstValue<dir>();
    for (int k = 1; k < count; ++k) {
      const double value = cells_.getNearestValue(active[k]);
      if (isStrictlyBetter<dir>(value, best)) best = value;
    }
    if (best == worstValue<dir>()) return false;
    const TieTest tied(best);
    for (int k = 1; k < count; ++k) {
      const int x = active[k];
      if (!tied(cells_.getNearestValue(x))) continue;
      if (linkage_.scoreIsCell()) {
        const double* row = cells_.rowCells(x);
        for (int j = 0; j < k; ++j)
          if (tied(row[active[j]])) link(x, active[j]);
      } else {
        for (int j = 0; j < k; ++j)
          if (tied(score(x, active[j]))) link(x, active[j]);
      }
    }
    return !touched_.empty();
  }

  /// The step's groups from the linked clusters, each with its parts, in the
  /// order of their lowest object numbers.
  void formGroups() {
    std::vector<std::tuple<int, int, int>> linked;  // (root, name, working index)
    linked.reserve(touched_.size());
    for (const int c : touched_) linked.emplace_back(find(c), name_[static_cast<std::size_t>(c)], c);
    std::sort(linked.begin(), linked.end());
    parts_.clear();
    groups_.clear();
    for (std::size_t k = 0; k < linked.size(); ++k) {
      const auto& [root, name, c] = linked[k];
      if (k == 0 || std::get<0>(linked[k - 1]) != root) {
        Group group;
        group.name = name;  // the lowest of the group: its parts come by name
        group.keeper = c;
        group.firstPart = parts_.size();
        groups_.push_back(group);
      }
      Group& group = groups_.back();
      group.keeper = std::min(group.keeper, c);
      ++group.linkage.count;
      parts_.push_back(c);
    }
    for (Group& group : groups_) {
      group.linkage.parts = parts_.data() + group.firstPart;
      linkage_.prepare(cells_, state_.sizes(), group.linkage);
      if (linkage_.kind() == GroupLinkage::Kind::withinGroups)
        group.withinSum = linkage_.joinedWithinSum(cells_, state_.withinSums(), group.linkage);
    }
    std::sort(groups_.begin(), groups_.end(), [](const Group& a, const Group& b) { return a.name < b.name; });
    for (std::size_t g = 0; g < groups_.size(); ++g)
      for (int k = 0; k < groups_[g].linkage.count; ++k)
        groupOf_[static_cast<std::size_t>(groups_[g].linkage.parts[k])] = static_cast<int>(g);
  }

  OrderFreeMerge mergeOf(const Group& group) const {
    OrderFreeMerge merge;
    const GroupLinkage::Group& parts = group.linkage;
    bool first = true;
    for (int a = 0; a < parts.count; ++a) {
      merge.clusters.push_back(name_[static_cast<std::size_t>(parts.parts[a])]);
      for (int b = a + 1; b < parts.count; ++b) {
        const double value = score(parts.parts[a], parts.parts[b]);
        if (first || value < merge.lowest) merge.lowest = value;
        if (first || value > merge.highest) merge.highest = value;
        first = false;
      }
    }
    merge.height = dir == Direction::dissimilarity ? merge.lowest : merge.highest;
    return merge;
  }

  /// The new working values of every group to every cluster that was not
  /// joined and to every other group, all from the values before the step.
  void combineGroups() {
    const int count = state_.activeCount();
    const int* active = state_.activeList();
    const int* sizes = state_.sizes();
    for (const Group& group : groups_)
      linkage_.combineWithEach(cells_, sizes, group.linkage, group.keeper, active, count, groupOf_.data());
    for (std::size_t g = 0; g < groups_.size(); ++g)
      for (std::size_t h = g + 1; h < groups_.size(); ++h)
        cells_.setProximity(groups_[g].keeper, groups_[h].keeper,
                            linkage_.combine(cells_, sizes, groups_[g].linkage, groups_[h].linkage));
  }

  /// Each group becomes its keeper: sizes, within sums, names and the active list.
  void joinGroups() {
    for (const Group& group : groups_) {
      for (int k = 0; k < group.linkage.count; ++k) {
        const int part = group.linkage.parts[k];
        if (part == group.keeper) continue;
        state_.joinMembers(group.keeper, part);
        const int* active = state_.activeList();
        state_.removeActiveAt(static_cast<int>(std::lower_bound(active, active + state_.activeCount(), part) - active));
      }
      state_.setWithinSum(group.keeper, group.withinSum);
      name_[static_cast<std::size_t>(group.keeper)] = group.name;
    }
  }

  /// Rows whose nearest cluster was joined, and the groups' own rows, are
  /// scanned again; any other row only looks at the new values in it.
  void updateNearest() {
    const int count = state_.activeCount();
    const int* active = state_.activeList();
    for (int k = 1; k < count; ++k) {
      const int x = active[k];
      const int nearest = cells_.getNearest(x);
      const int nearestGroup = nearest >= 0 ? groupOf_[static_cast<std::size_t>(nearest)] : -1;
      if (groupOf_[static_cast<std::size_t>(x)] >= 0) {
        rescan(k);
        continue;
      }
      if (nearestGroup >= 0) {
        // Single linkage only lowers values: the group that took the nearest
        // cluster has the least of its parts' values, at most the row's old
        // best, so unless the group's cell left the row (its keeper lies above
        // x), the new best is there or in another group's new cell.
        const int keeper = groups_[static_cast<std::size_t>(nearestGroup)].keeper;
        if (linkage_.kind() != GroupLinkage::Kind::single || keeper > x) {
          rescan(k);
          continue;
        }
        cells_.setNearest(x, keeper);
        cells_.setNearestValue(x, cells_.cell(x, keeper));
      }
      for (const Group& group : groups_) {
        if (group.keeper > x) continue;
        const double value = score(x, group.keeper);
        if (isStrictlyBetter<dir>(value, cells_.getNearestValue(x))) {
          cells_.setNearest(x, group.keeper);
          cells_.setNearestValue(x, value);
        }
      }
    }
  }

  void step(std::vector<OrderFreeMerge>& merges) {
    if (!findTies())
      throw EKorvanaError("No clusters could be joined after " + std::to_string(merges.size()) +
                          " merges of the order-free tree");
    formGroups();
    for (const Group& group : groups_) merges.push_back(mergeOf(group));
    combineGroups();
    joinGroups();
    updateNearest();
    for (const int c : touched_) {
      parent_[static_cast<std::size_t>(c)] = -1;
      groupOf_[static_cast<std::size_t>(c)] = -1;
    }
    touched_.clear();
  }

  const GroupLinkage& linkage_;
  const std::function<bool()>& canceled_;
  SimilarityMatrix cells_;
  AgglomerationState state_;
  std::vector<int> name_;     // per working index: the lowest object number of its cluster
  std::vector<int> parent_;   // union-find over the step's tied clusters, −1 elsewhere
  std::vector<int> groupOf_;  // per working index: its group in this step, −1 elsewhere
  std::vector<int> touched_;  // the clusters of this step's tied pairs
  std::vector<int> parts_;
  std::vector<Group> groups_;
};

void refuseProximitiesThatAreNotNumbers(const ProximityMatrix& matrix) {
  const int n = matrix.getNumberOfObjects();
  for (int i = 1; i < n; ++i)
    for (int j = 0; j < i; ++j)
      if (std::isnan(matrix.lowerValue(i, j)))
        throw EKorvanaError("The proximity between objects " + std::to_string(j + 1) + " and " +
                            std::to_string(i + 1) + " is not a number; the order-free tree needs every proximity");
}

}  // namespace

OrderFreeTree buildOrderFreeTree(const ProximityMatrix& matrix, const ClusterMethod& method, const int* permutation,
                                 const std::function<bool()>& canceled) {
  checkProximityRange(matrix);
  refuseProximitiesThatAreNotNumbers(matrix);
  const int n = matrix.getNumberOfObjects();
  std::vector<int> identity;
  if (permutation == nullptr) {
    identity.resize(static_cast<std::size_t>(n));
    std::iota(identity.begin(), identity.end(), 0);
    permutation = identity.data();
  }
  const GroupLinkage linkage(GroupLinkage::kindOf(method), matrix.isDissimilarity());
  std::vector<OrderFreeMerge> merges =
      matrix.isDissimilarity() ? Run<Direction::dissimilarity>(matrix, linkage, permutation, canceled).run()
                               : Run<Direction::similarity>(matrix, linkage, permutation, canceled).run();
  return OrderFreeTree(matrix, method, std::move(merges));
}

}  // namespace korvana
