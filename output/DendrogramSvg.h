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

#include "output/Dendrogram.h"

namespace korvana {

class ClusterSolution;
class OrderFreeTree;
class ProximityMatrix;
struct Consensus;

/// A tree to draw: a schedule of merges (each named as the text dendrogram's,
/// its coefficient the place along the axis), and optionally per merge its
/// support in whole percent (-1 for none) and whether it is folded: drawn in
/// the bracket of the merge that absorbs it, so that a multifurcation is one
/// bracket.
struct TreeDrawing {
  int objectCount = 0;
  std::vector<DendrogramStage> stages;
  std::vector<int> supportPercent;
  std::vector<char> folded;
  std::string axisTitle = "Coefficient";
  /// Ticks at whole numbers only (an axis of levels).
  bool wholeTicks = false;
};

/// The tree drawn left to right in the text dendrogram's order: one row per
/// object, in Dendrogram's row order, labelled with `labels` (one per
/// object); an axis of the coefficient along the top, with ticks from the
/// lowest to the highest coefficient; each merge a bracket at its
/// coefficient. For similarities the coefficients fall from left to right,
/// so the merges still read in stage order. With support, a merge's support
/// is written next to it where it is below 100 %, and a line under the tree
/// says so. The drawing takes one row per object and no recursion, so its
/// size and the time it takes grow with the number of objects alone.
std::string treeSvg(const TreeDrawing& drawing, const std::vector<std::string>& labels);

/// The tree of a solution: its leaves labelled with the objects' labels
/// (trailing blanks trimmed; the object number from 1 when the label is
/// empty, and beside every label that several objects share). supportPercent
/// and folded, when given, hold a value per stage (std::invalid_argument
/// otherwise); with folded the drawing is the solution's hierarchy.
std::string dendrogramSvg(const ClusterSolution& solution, const ProximityMatrix& matrix,
                          const std::vector<int>* supportPercent, const std::vector<char>* folded = nullptr);

/// The majority-rule consensus drawn as a tree: each consensus cluster one
/// bracket over its parts, at the level one above its highest part (the
/// objects at level 0), with its support where it is below 100 %. Empty for
/// a consensus of no objects.
std::string consensusTreeSvg(const Consensus& consensus, const ProximityMatrix& matrix);

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
/// With the hierarchies' curves as well, four lines (the hierarchies' dashed).
std::string distinctSolutionsCurveSvg(const std::vector<int>& all, const std::vector<int>& best,
                                      const std::vector<int>* hierarchiesAll = nullptr,
                                      const std::vector<int>* hierarchiesBest = nullptr);

/// The best normalized SSDif so far against the permutations 1 … P, a step
/// line with a vertex where it changes (values that are not numbers are left
/// out).
std::string bestFitCurveSvg(const std::vector<double>& bestSoFar);

/// The most vertices a line of the curve has.
inline constexpr std::size_t maxCurveVertices = 1000;

}  // namespace korvana
