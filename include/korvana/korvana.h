// Korvana as a library: the permutation run of one proximity matrix, its fit
// records, the kept solutions with their support, the accounting of distinct
// merge orders and hierarchies, the consensus trees, the verdict and the
// order-free tree; and the proximities of data rows by measure keyword. The
// same engine computes korvana-batch's results, so a request gives the same
// numbers to the bit as korvana-batch's results file for the same matrix.
//
// Objects are numbered from 0 here; permutations from 1, as in the results
// file. Only the standard library appears in this header.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvana::api {

/// A request or an input the library refuses; the message names the value
/// and the problem.
class InvalidInput : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

/// A proximity matrix of n objects: the strict lower triangle row by row,
/// (1,0), (2,0), (2,1), (3,0), …, and optional labels (none, or one per
/// object).
struct Matrix {
  int objects = 0;
  std::vector<double> lower;
  bool similarity = false;
  std::vector<std::string> labels;
};

/// The matrix from scipy's condensed vector (the upper triangle row by row:
/// (0,1), (0,2), …, (0,n−1), (1,2), …). Refuses a length that is no
/// n(n − 1)/2 with n ≥ 2, a value that is not a finite number, and labels
/// of the wrong count.
Matrix matrixFromCondensed(const double* values, std::size_t count, bool similarity = false,
                           std::vector<std::string> labels = {});

/// The matrix from a square n × n array in row-major order. Refuses n < 2, a
/// value off the diagonal that is not a finite number, and a matrix that is
/// not symmetric (naming the first cell that differs from its mirror); the
/// diagonal is not used.
Matrix matrixFromSquare(const double* values, std::size_t n, bool similarity = false,
                        std::vector<std::string> labels = {});

/// The matrix as scipy's condensed vector.
std::vector<double> condensedOf(const Matrix& matrix);

/// How proximities are computed from data: korvana-batch's --measure,
/// --power, --root, --present, --absent, --standardize, --standardize-by and
/// --transform, by the same keywords (any case).
struct ProximitiesRequest {
  std::string measure = "SEUCLID";
  std::string standardize = "NONE";  ///< NONE, Z, RANGE, RANGE1, MAX, MEAN, SD
  std::string by = "variables";      ///< the standardization's direction: "variables" or "cases"
  int power = 2;                     ///< MINKOWSKI and POWER
  int root = 2;                      ///< POWER
  int present = 1;                   ///< binary measures
  int absent = 0;
  bool absolute = false;
  bool reverse = false;
  bool rescale = false;
};

/// The proximities between the rows of a rows × columns data array
/// (row-major): the cases are the objects, the columns the variables. The
/// matrix says whether the measure gives similarities. Refuses an unknown
/// keyword (listing the known ones), fewer than two rows, and a value that
/// is not a finite number.
Matrix proximities(const double* data, std::size_t rows, std::size_t columns, const ProximitiesRequest& request);

/// The keywords proximities() takes for its measure.
std::vector<std::string> measureKeywords();

/// Whether the measure gives similarities (turned round by REVERSE).
/// Refuses an unknown keyword.
bool givesSimilarities(const std::string& measure, bool reverse = false);

enum class SolutionsShown { orders, hierarchies };

/// What the permutation run does.
struct Request {
  /// "average", "within", "single", "complete", "centroid", "median" or "ward".
  std::string method = "average";
  int permutations = 1000;
  /// The start seed (a 32-bit integer); none: the clock's seconds, as the
  /// program's random seed. Result::seed says which was used.
  std::optional<std::int64_t> seed;
  /// The first permutation is the objects in their given order.
  bool identity = true;
  /// Permutations run at once; 0: one per hardware thread. The results do not
  /// depend on it.
  int jobs = 0;
  /// Each kept solution carries the support of its clusters.
  bool support = false;
  /// Every kept merge order, or one solution per hierarchy (the first kept
  /// merge order that has it, with the others that share it listed).
  SolutionsShown solutions = SolutionsShown::orders;
  /// Builds the order-free tree as well.
  bool orderFree = false;
  /// Called as permutations complete (from the calling thread).
  std::function<void(int completed, int total)> progress;
  /// Once set, the run stops: the permutation in progress is given up and
  /// the result holds the completed ones (Result::canceled).
  const std::atomic<bool>* cancel = nullptr;
};

/// One column per field, one entry per completed permutation, in
/// permutation order.
struct Permutations {
  std::vector<int> permutation;  ///< from 1
  std::vector<char> identity;
  std::vector<std::int32_t> seed;  ///< 0 for the identity
  std::vector<std::string> solution;   ///< the solution id, 32 hexadecimal digits
  std::vector<std::string> hierarchy;  ///< the hierarchy id
  std::vector<double> ssdif;
  std::vector<double> normalizedSSDif;  ///< rounded to 13 significant digits
  std::vector<double> copheneticCorrelation;
};

/// A kept merge order that shares a shown solution's hierarchy.
struct SameHierarchy {
  std::string id;
  int permutation = 0;
  bool identity = false;
  std::int32_t seed = 0;
};

/// A kept solution: its agglomeration schedule, fit, trees and support.
struct Solution {
  std::string id;
  std::string hierarchy;
  int permutation = 0;  ///< from 1
  bool identity = false;
  std::int32_t seed = 0;
  double ssdif = 0.0;
  double normalizedSSDif = 0.0;
  double copheneticCorrelation = 0.0;
  /// Per stage (n − 1 of them): the merged clusters, each named by its
  /// lowest object, cluster1 < cluster2; the coefficient; the height of the
  /// cluster the stage forms (the coefficient, or for Ward's method the
  /// stage's own merge value rather than the accumulated coefficient); and
  /// whether that cluster is folded into the one that absorbs it.
  std::vector<int> cluster1;
  std::vector<int> cluster2;
  std::vector<double> coefficient;
  std::vector<double> height;
  std::vector<char> folded;
  /// With Request::support, per stage: the share of all and of the
  /// best-fitting permutations whose tree holds the stage's cluster, and the
  /// same over hierarchies (not a number where the stage is folded).
  std::vector<double> supportAll;
  std::vector<double> supportBest;
  std::vector<double> hierarchySupportAll;
  std::vector<double> hierarchySupportBest;
  std::string newick;           ///< support labels in whole percent
  std::string hierarchyNewick;  ///< multifurcations, with support labels
  /// With SolutionsShown::hierarchies: the other kept merge orders of this
  /// hierarchy.
  std::vector<SameHierarchy> others;

  /// scipy's linkage matrix: per stage [a, b, height, count], a < b, the
  /// leaves 0 … n−1 and the cluster formed at stage i numbered n + i.
  std::vector<std::array<double, 4>> linkage() const;
  /// The leaves in the order a drawing places them: each merge's first
  /// cluster (the one with the lower object) before its second.
  std::vector<int> leafOrder() const;
  /// The cluster (1 … k) of every object (matrix order) when the tree is cut
  /// into k clusters: the partition its first n − k merges leave, the
  /// clusters numbered by their first object, as korvana-batch's Cluster
  /// Membership table gives it. Throws InvalidInput for k outside 1 … n.
  std::vector<int> membership(int k) const;
};

/// How many different trees the permutations found (the Chao1 estimate of
/// the total; the distinct count after each permutation).
struct Accounting {
  int permutations = 0;
  int distinct = 0;
  int seenOnce = 0;
  int seenTwice = 0;
  double estimatedTotal = 0.0;
  std::vector<int> curve;
};

struct ConsensusCluster {
  std::vector<int> objects;
  double support = 0.0;
};

/// A majority-rule consensus tree: its clusters (smallest first) and Newick
/// text; not known when the run could not tell.
struct Consensus {
  bool known = false;
  std::vector<ConsensusCluster> clusters;
  std::string newick;
};

struct BestFitRecord {
  int permutation = 0;  ///< from 1
  double normalizedSSDif = 0.0;
};

/// Where the best fit changed over the run.
struct BestFit {
  double value = 0.0;
  int firstReachedAt = 0;  ///< from 1; 0 without a completed permutation
  int reachedBy = 0;
  std::vector<BestFitRecord> records;
};

struct OrderFreeMerge {
  std::vector<int> clusters;  ///< the joined clusters by their lowest objects, ascending
  double height = 0.0;
  double lowest = 0.0;
  double highest = 0.0;
};

/// The order-free tree (a multidendrogram) and its binary form: each merge
/// of k clusters as k − 1 stages at its height.
struct OrderFreeTree {
  std::vector<OrderFreeMerge> merges;
  double ssdif = 0.0;
  double normalizedSSDif = 0.0;
  double copheneticCorrelation = 0.0;
  std::string hierarchy;
  std::string newick;
  Solution binaryForm;
};

struct Result {
  std::string method;
  bool similarity = false;
  int objects = 0;
  std::vector<std::string> labels;
  std::int32_t seed = 0;  ///< the start seed used
  Permutations permutations;
  std::vector<Solution> solutions;
  Accounting distinctSolutionsAll, distinctSolutionsBest;
  Accounting distinctHierarchiesAll, distinctHierarchiesBest;
  Consensus consensusAll, consensusBest;
  BestFit bestFit;
  /// The verdict in words.
  std::string verdict;
  std::optional<OrderFreeTree> orderFree;
  /// Why no order-free tree was built when one was asked for.
  std::string orderFreeProblem;
  int completed = 0;
  bool canceled = false;
};

/// The method keywords run() takes.
std::vector<std::string> methodKeywords();

/// Clusters the matrix once per permutation. Throws InvalidInput for a
/// request or matrix it refuses (an unknown method, fewer than one
/// permutation, a seed outside 32 bits, proximities of magnitude 1e50 or
/// more) and std::bad_alloc when the run does not fit the memory.
Result run(const Matrix& matrix, const Request& request);

/// run() on a thread of its own, while the calling thread calls `watch`
/// every 50 ms and once more at the end; once `watch` returns true the run
/// is canceled (request.cancel is replaced). For callers whose thread must
/// stay responsive (an interpreter checking for Ctrl-C). Errors are thrown
/// as run() throws them, on the calling thread.
Result runWatched(const Matrix& matrix, Request request, const std::function<bool()>& watch);

}  // namespace korvana::api
