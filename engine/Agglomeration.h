// One hierarchical agglomerative clustering of a proximity matrix in a given
// object order.
//
// Stage by stage the run selects, among the active clusters in ascending order
// (the first never has a lower neighbour), the last one whose nearest-neighbour
// value is at least as good as the best so far; it merges that cluster b into
// its nearest neighbour d < b, records the stage in the solution and lets the
// method update the working matrix. Ward's coefficient is the accumulated half
// of the merge values, and its fitting height the merge value given back from
// the difference of two coefficients (ClusterMethod::fittingHeight).
//
// A run may use a second thread (FitWorker) for filling the working matrix and
// summing the fit; the results are the same to the bit either way.
#pragma once

#include <atomic>

namespace korvana {

/// Thrown by agglomerate when it was told to give its run up.
struct RunAbandoned {};

class AgglomerationState;
class ClusterMethod;
class ClusterSolution;
class ProximityMatrix;
class SimilarityMatrix;

/// How many threads one agglomeration run uses.
enum class RunThreads { one, two };

/// The threads worth using for a run of n objects on this machine: two from
/// kTwoThreadObjects objects on, where the machine runs two threads at once.
RunThreads preferredRunThreads(int n);
/// Below this many objects a run is too short to repay starting a thread.
inline constexpr int kTwoThreadObjects = 500;

/// Clusters `matrix` in the order `permutation` with `method` into `solution`,
/// reusing the working matrix and the state (both sized for the matrix).
/// With RunThreads::two the run uses a second thread when one can be started.
/// Throws EKorvanaError when no merge can be selected, which only happens
/// with proximities outside ±1e50. With `abandon`, the run looks at it before
/// every stage and throws RunAbandoned once it is set.
void agglomerate(const ProximityMatrix& matrix, const int* permutation, ClusterMethod& method,
                 SimilarityMatrix& workingMatrix, AgglomerationState& state, ClusterSolution& solution,
                 RunThreads threads = RunThreads::one, const std::atomic<bool>* abandon = nullptr);

}  // namespace korvana
