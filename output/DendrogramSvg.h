// Graphics of a run drawn as SVG, for the output document's graphic items:
// a solution's tree, and the curve of distinct solutions over the
// permutations.
//
// Both are self-contained <svg> elements (presentation attributes only, no
// style sheet or script), with the parts a reader may want to count marked by
// class: in the tree "leaf" (an object's label), "node" (a merge) and
// "support" (a merge's support); in the curve "curve" (a line).
#pragma once

#include <string>
#include <vector>

namespace korvana {

class ClusterSolution;
class OrderFreeTree;
class ProximityMatrix;

/// The tree of a solution, drawn left to right in the text dendrogram's
/// order: one row per object, in Dendrogram's row order, labelled with the
/// object's label (trailing blanks trimmed; the object number from 1 when the
/// label is empty); an axis of the merge coefficient along the top, with
/// ticks from the lowest to the highest coefficient; each merge a bracket at
/// its coefficient. For similarities the coefficients fall from left to
/// right, so the merges still read in stage order. supportPercent, when
/// given, holds one value per stage (the support of the cluster formed at
/// that stage, in whole percent), written next to each merge; it must hold at
/// least getStageCount() values (std::invalid_argument otherwise).
/// The drawing takes one row per object and no recursion, so its size and
/// the time it takes grow with the number of objects alone.
std::string dendrogramSvg(const ClusterSolution& solution, const ProximityMatrix& matrix,
                          const std::vector<int>* supportPercent);

/// The order-free tree drawn the same way, along an axis of its heights:
/// each merge one bracket ("node") that joins all of its clusters at its
/// height, over a band ("band") from the lowest to the highest proximity
/// between them where the two differ.
std::string multidendrogramSvg(const OrderFreeTree& tree, const ProximityMatrix& matrix);

/// A line chart of the number of distinct solutions seen so far against the
/// permutations 1 … P: all[k] over all permutations, best[k] over the
/// best-fitting ones, after permutation k + 1. Axes with ticks and a legend.
/// A line of more than maxCurveVertices points is thinned to at most that
/// many vertices: the lowest and highest value of each stretch of
/// permutations, and the last point, are kept. An empty vector draws no line.
std::string distinctSolutionsCurveSvg(const std::vector<int>& all, const std::vector<int>& best);

/// The most vertices a line of the curve has.
inline constexpr std::size_t maxCurveVertices = 1000;

}  // namespace korvana
