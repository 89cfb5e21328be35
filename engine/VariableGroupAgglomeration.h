// The variable-group agglomeration: hierarchical clustering that joins, at
// every step, all clusters tied at the best proximity in one merge, so that
// its tree (a multidendrogram, OrderFreeTree) does not depend on the order of
// the objects.
//
// One step: the best proximity v among all pairs of active clusters is found,
// rounded to 13 significant digits; every pair whose proximity rounds to the
// same value is tied. The tied pairs link clusters into groups (connected
// components: a chain of ties joins its ends too); each group of two or more
// clusters becomes one merge at the height of its best pair, with the range of
// the proximities between all of its clusters. The groups of a step are
// recorded by their lowest object numbers. Then the working proximities of
// the new clusters to every other cluster, and to each other, follow from the
// generalised rules of GroupLinkage, all computed from the values before the
// step.
//
// Ties are decided on the rounded value (the precision of the fit
// comparison), so that a difference in the last bits from the order of a sum
// cannot split them; every sum runs over the clusters in the order of their
// lowest object numbers, and every decision looks at values only, never at
// which working index holds them, so the tree is the same to the bit for any
// working order. Without ties the steps are those of the pair-group run with
// the same method (each merge joins the pair it would join, at the value it
// would compute).
//
// Cost: like one permutation's run, O(n²) for the selections (a nearest value
// per row, kept as ClusterMethod keeps it) plus the rescans of rows whose
// nearest cluster was joined, in one working matrix; each tied row is scanned
// once to find its ties.
#pragma once

#include <functional>

#include "engine/OrderFreeTree.h"

namespace korvana {

class ClusterMethod;
class ProximityMatrix;

/// The order-free tree of `matrix` with `method`'s rule, computed in the
/// working order `permutation` (working index → object number; identity when
/// null), which does not change the result. `canceled`, when given, is asked
/// between steps; once it answers true the run throws
/// EAnalysisCanceledException. Throws EKorvanaError for a proximity that is
/// not a number (naming the two objects) or of magnitude 1e50 or more.
OrderFreeTree buildOrderFreeTree(const ProximityMatrix& matrix, const ClusterMethod& method,
                                 const int* permutation = nullptr,
                                 const std::function<bool()>& canceled = {});

}  // namespace korvana
