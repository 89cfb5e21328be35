// The result of one agglomeration run: the agglomeration schedule in the
// numbering of the proximity matrix (0-based; a cluster is numbered by its
// lowest object number), the fit of the hierarchy to the proximities
// (normalized sum of squared differences and cophenetic correlation), the
// permutation and seed that produced it, and a 16-byte solution id: the MD5
// digest of the merge sequence, so that runs with the same merges in the same
// order are the same solution whatever their coefficients.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvana {

class AgglomerationState;
class ByteReader;
class ByteWriter;
class MemberLists;
class ProximityMatrix;

using SolutionId = std::array<std::uint8_t, 16>;

/// A solution id as 32 lowercase hexadecimal digits.
std::string solutionIdText(const SolutionId& id);

/// The SSDif of a fit: the normalized SSDif times the matrix's sum of
/// squares, in extended precision. 0 when the sum of squares is 0: every
/// proximity is 0, and so is every height, though the normalized SSDif is not
/// a number.
double ssdifOf(double normalizedSSDif, double sumOfSquares);

/// A cophenetic correlation as it is reported: clamped to [-1, 1], since
/// rounding in its sums can carry a perfect one just past 1 (not a number
/// stays not a number). The value kept and compared is the computed one.
double reportedCorrelation(double correlation);

/// Which running sums of the fit one call adds to. The two shares touch
/// disjoint sums, so two threads may accumulate them at once, each in stage
/// order; together they do exactly what `all` does.
enum class FitShare {
  all,
  differencesAndProducts,  ///< the squared differences and the mean of p × h
  moments,                 ///< the means of p, h, p × p and h × h
};

class ClusterSolution {
 public:
  /// A solution of n objects with stageCount = n − 1 stages (0 for n ≤ 1); it
  /// takes the permutation (working index → object number) over.
  ClusterSolution(int objectCount, double sumOfSquares, int stageCount, std::vector<int> permutation,
                  std::int32_t seed, bool isIdentity);

  /// Records stage t, before clusters d < b (working indices) are merged:
  /// the schedule entry, the first-appearance and next-stage links, and the fit
  /// over every pair of objects that meets here, at cophenetic height h.
  void recordStage(int t, int b, int d, const ProximityMatrix& matrix, const AgglomerationState& state,
                   double coefficient, double height);
  /// The schedule part of recordStage, with the stage's fitting height.
  /// Stages are recorded in order.
  void recordMerge(int t, int b, int d, const MemberLists& members, double coefficient, double height);
  /// The fit part of recordStage, with the member lists as they are before
  /// the merge; with FitShare::all it also sets the correlation after the last
  /// stage. Stages are accumulated in order, and may be accumulated on another
  /// thread than the one recording the merges: the two parts share no data.
  void accumulateFit(int t, int b, int d, const ProximityMatrix& matrix, const MemberLists& members,
                     double height, FitShare share = FitShare::all);
  /// Sets the cophenetic correlation from the running means: after the last
  /// stage, when the fit was accumulated in shares.
  void computeCorrelation();

  /// Rounds the normalized SSDif to 13 significant digits by writing it as
  /// scientific text and reading it back; a text that does not read back (not
  /// a number) leaves the value unrounded.
  void computeRoundedFit();
  /// The MD5 digest of the text "(c1+1,c2+1)" repeated over the stages.
  void computeSolutionId();

  /// The rounded normalized SSDif (after computeRoundedFit).
  double getNormalizedSSDif() const { return roundedNormalizedSSDif_; }
  /// The running, unrounded value.
  double getUnroundedNormalizedSSDif() const { return normalizedSSDif_; }
  double getCopheneticCorrelation() const { return copheneticCorrelation_; }
  const SolutionId& getSolutionId() const { return solutionId_; }
  bool isSameSolution(const ClusterSolution& other) const { return solutionId_ == other.solutionId_; }

  int getObjectCount() const { return objectCount_; }
  bool isIdentityPermutation() const { return isIdentity_; }
  std::int32_t getSeed() const { return seed_; }
  /// The permutation that produced the solution, from 0 in the run's sequence.
  int getPermutationIndex() const { return permutationIndex_; }
  void setPermutationIndex(int index) { permutationIndex_ = index; }
  const std::vector<int>& getPermutation() const { return permutation_; }
  int getStageCount() const { return stageCount_; }
  double getSumOfSquares() const { return sumOfSquares_; }

  /// Everything the solution holds, as bytes, and a solution made from them:
  /// the same to the bit.
  void encode(ByteWriter& out) const;
  static std::unique_ptr<ClusterSolution> decode(ByteReader& in);

  int getCluster1(int t) const { return cluster1_[static_cast<std::size_t>(t)]; }
  int getCluster2(int t) const { return cluster2_[static_cast<std::size_t>(t)]; }
  /// Every stage's clusters at once (stage order).
  const std::vector<int>& getClusters1() const { return cluster1_; }
  const std::vector<int>& getClusters2() const { return cluster2_; }
  double getCoefficient(int t) const { return coefficient_[static_cast<std::size_t>(t)]; }
  /// The height the fit uses for the cluster stage t forms: the coefficient,
  /// or for a method that accumulates its coefficients the stage's own merge
  /// value.
  double getHeight(int t) const { return height_[static_cast<std::size_t>(t)]; }
  int getFirstAppears1(int t) const { return firstAppears1_[static_cast<std::size_t>(t)]; }
  int getFirstAppears2(int t) const { return firstAppears2_[static_cast<std::size_t>(t)]; }
  int getNextStage(int t) const { return nextStage_[static_cast<std::size_t>(t)]; }

 private:
  template <FitShare share>
  void accumulatePairs(int b, int d, const ProximityMatrix& matrix, const MemberLists& members, double height);

  int objectCount_;
  bool isIdentity_;
  std::int32_t seed_;
  int permutationIndex_ = 0;
  std::vector<int> permutation_;
  int stageCount_;
  double sumOfSquares_;

  std::vector<int> cluster1_;
  std::vector<int> cluster2_;
  std::vector<double> coefficient_;
  std::vector<double> height_;
  std::vector<int> firstAppears1_;
  std::vector<int> firstAppears2_;
  std::vector<int> nextStage_;
  std::vector<int> clusterOf_;  // per object: its current cluster number
  std::vector<int> lastStage_;  // per cluster number: the stage that last formed it

  double normalizedSSDif_ = 0.0;
  double roundedNormalizedSSDif_ = 0.0;
  std::int32_t pairCount_;
  double meanP_ = 0.0;
  double meanH_ = 0.0;
  double meanPH_ = 0.0;
  double meanPP_ = 0.0;
  double meanHH_ = 0.0;
  double copheneticCorrelation_ = 0.0;
  SolutionId solutionId_{};
};

}  // namespace korvana
