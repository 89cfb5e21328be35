#include "engine/ClusterSolution.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>

#include "engine/AgglomerationState.h"
#include "engine/ExtendedPrecision.h"
#include "common/ByteCodec.h"
#include "common/EKorvanaError.h"
#include "engine/MemberLists.h"
#include "engine/ProximityMatrix.h"
#include "common/ScientificFormat.h"

namespace korvana {

std::string solutionIdText(const SolutionId& id) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * id.size());
  for (const std::uint8_t byte : id) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDenominatorEpsilon = 1e-12;

}  // namespace

double ssdifOf(double normalizedSSDif, double sumOfSquares) {
  if (sumOfSquares == 0.0) return 0.0;
  return static_cast<double>(static_cast<Extended>(normalizedSSDif) * sumOfSquares);
}

double reportedCorrelation(double correlation) {
  if (std::isnan(correlation)) return correlation;
  return std::clamp(correlation, -1.0, 1.0);
}

ClusterSolution::ClusterSolution(int objectCount, double sumOfSquares, int stageCount,
                                 std::vector<int> permutation, std::int32_t seed, bool isIdentity)
    : objectCount_(objectCount),
      isIdentity_(isIdentity),
      seed_(seed),
      permutation_(std::move(permutation)),
      stageCount_(stageCount),
      sumOfSquares_(sumOfSquares),
      pairCount_(int32Product(objectCount, objectCount - 1) >> 1) {
  if (objectCount < 0 || stageCount < 0 || permutation_.size() != static_cast<std::size_t>(objectCount))
    throw EKorvanaError("A cluster solution of " + std::to_string(objectCount) + " objects needs a permutation of " +
                        std::to_string(objectCount) + " entries and a non-negative stage count");
  const auto stages = static_cast<std::size_t>(stageCount);
  cluster1_.resize(stages);
  cluster2_.resize(stages);
  coefficient_.resize(stages);
  height_.resize(stages);
  firstAppears1_.resize(stages);
  firstAppears2_.resize(stages);
  nextStage_.assign(stages, -1);
  clusterOf_.resize(static_cast<std::size_t>(objectCount));
  std::iota(clusterOf_.begin(), clusterOf_.end(), 0);
  lastStage_.assign(static_cast<std::size_t>(objectCount), -1);
}

void ClusterSolution::recordStage(int t, int b, int d, const ProximityMatrix& matrix,
                                  const AgglomerationState& state, double coefficient, double height) {
  recordMerge(t, b, d, state.members(), coefficient, height);
  accumulateFit(t, b, d, matrix, state.members(), height);
}

void ClusterSolution::recordMerge(int t, int b, int d, const MemberLists& members, double coefficient,
                                  double height) {
  const auto st = static_cast<std::size_t>(t);
  const int* permutation = permutation_.data();
  const int clusterB = clusterOf_[static_cast<std::size_t>(permutation[b])];
  const int clusterD = clusterOf_[static_cast<std::size_t>(permutation[d])];
  const int c1 = std::min(clusterB, clusterD);
  const int c2 = std::max(clusterB, clusterD);
  cluster1_[st] = c1;
  cluster2_[st] = c2;
  coefficient_[st] = coefficient;
  height_[st] = height;
  firstAppears2_[st] = lastStage_[static_cast<std::size_t>(c2)];
  firstAppears1_[st] = lastStage_[static_cast<std::size_t>(c1)];
  lastStage_[static_cast<std::size_t>(c1)] = t;
  if (firstAppears1_[st] >= 0) nextStage_[static_cast<std::size_t>(firstAppears1_[st])] = t;
  if (firstAppears2_[st] >= 0) nextStage_[static_cast<std::size_t>(firstAppears2_[st])] = t;

  // The objects of cluster c2 are exactly those of whichever of b and d it
  // names; they now belong to c1.
  members.forEach(clusterB == c2 ? b : d,
                  [&](int member) { clusterOf_[static_cast<std::size_t>(permutation[member])] = c1; });
}

void ClusterSolution::accumulateFit(int t, int b, int d, const ProximityMatrix& matrix, const MemberLists& members,
                                    double height, FitShare share) {
  switch (share) {
    case FitShare::all:
      accumulatePairs<FitShare::all>(b, d, matrix, members, height);
      // The correlation only depends on the running means, so its value after
      // the last stage is the same whether or not it is updated after every
      // stage.
      if (t == stageCount_ - 1) computeCorrelation();
      break;
    case FitShare::differencesAndProducts:
      accumulatePairs<FitShare::differencesAndProducts>(b, d, matrix, members, height);
      break;
    case FitShare::moments:
      accumulatePairs<FitShare::moments>(b, d, matrix, members, height);
      break;
  }
}

template <FitShare share>
void ClusterSolution::accumulatePairs(int b, int d, const ProximityMatrix& matrix, const MemberLists& members,
                                      double height) {
  constexpr bool differencesAndProducts = share != FitShare::moments;
  constexpr bool moments = share != FitShare::differencesAndProducts;
  const int* permutation = permutation_.data();

  // Fit over the pairs that meet at this stage: members of b (outer) against
  // members of d (inner), both in list order. Terms that do not depend on the
  // pair are the same extended values for every pair. Each thread that sums a
  // share has its own list of the objects of d.
  thread_local std::vector<int> objectsOfD;
  objectsOfD.clear();
  members.forEach(d, [&](int member) { objectsOfD.push_back(permutation[member]); });
  const Extended pairs = pairCount_;
  const Extended h = height;
  const Extended hOverPairs = h / pairs;
  const Extended hhOverPairs = (h * h) / pairs;
  const bool ssdifUndefined = std::fabs(sumOfSquares_) <= kDenominatorEpsilon;
  const Extended sumOfSquares = sumOfSquares_;
  // Only the sums of this share are read and written: the other share may be
  // summed by another thread meanwhile.
  double nssdif = 0, meanPH = 0, meanP = 0, meanH = 0, meanPP = 0, meanHH = 0;
  const auto forShare = [&](auto&& apply) {
    if constexpr (differencesAndProducts) {
      apply(normalizedSSDif_, nssdif);
      apply(meanPH_, meanPH);
    }
    if constexpr (moments) {
      apply(meanP_, meanP);
      apply(meanH_, meanH);
      apply(meanPP_, meanPP);
      apply(meanHH_, meanHH);
    }
  };
  forShare([](const double& field, double& running) { running = field; });
  const auto add = [&](Extended p) {
    if constexpr (differencesAndProducts) {
      if (ssdifUndefined) {
        nssdif = kNaN;
      } else {
        const Extended diff = std::fabs(p - h);
        nssdif = static_cast<double>(nssdif + diff * diff / sumOfSquares);
      }
      meanPH = static_cast<double>(meanPH + (p * h) / pairs);
    }
    if constexpr (moments) {
      meanP = static_cast<double>(meanP + p / pairs);
      meanH = static_cast<double>(meanH + hOverPairs);
      meanPP = static_cast<double>(meanPP + (p * p) / pairs);
      meanHH = static_cast<double>(meanHH + hhOverPairs);
    }
  };
  const std::size_t countD = objectsOfD.size();
  const int* objectsD = objectsOfD.data();
  if (const double* square = matrix.squareRows()) {
    // A member of b against the members of d: one row of the proximities.
    const auto n = static_cast<std::size_t>(matrix.getNumberOfObjects());
    members.forEach(b, [&](int member) {
      const double* row = square + static_cast<std::size_t>(permutation[member]) * n;
      for (std::size_t k = 0; k < countD; ++k) add(row[objectsD[k]]);
    });
  } else {
    constexpr std::size_t kAhead = 16;  // prefetch distance for the scattered reads
    members.forEach(b, [&](int member) {
      const int objectB = permutation[member];
      for (std::size_t k = 0; k < countD; ++k) {
        if (k + kAhead < countD) {
          const int ahead = objectsD[k + kAhead];
          __builtin_prefetch(objectB > ahead ? &matrix.lowerValueRef(objectB, ahead)
                                             : &matrix.lowerValueRef(ahead, objectB));
        }
        const int objectD = objectsD[k];
        add(objectB > objectD ? matrix.lowerValue(objectB, objectD) : matrix.lowerValue(objectD, objectB));
      }
    });
  }
  forShare([](double& field, const double& running) { field = running; });
}

void ClusterSolution::computeCorrelation() {
  const double varP = static_cast<double>(meanPP_ - static_cast<Extended>(meanP_) * meanP_);
  const double varH = static_cast<double>(meanHH_ - static_cast<Extended>(meanH_) * meanH_);
  const Extended product = static_cast<Extended>(varP) * varH;
  const double r = product < 0 ? kNaN : static_cast<double>(std::sqrt(product));
  if (std::fabs(r) <= kDenominatorEpsilon)
    copheneticCorrelation_ = kNaN;
  else
    copheneticCorrelation_ = static_cast<double>((meanPH_ - static_cast<Extended>(meanP_) * meanH_) / r);
}

void ClusterSolution::computeRoundedFit() {
  roundedNormalizedSSDif_ = roundToSignificantDigits(normalizedSSDif_, 13);
}

void ClusterSolution::computeSolutionId() {
  std::string text;
  text.reserve(static_cast<std::size_t>(stageCount_) * 12);
  for (int t = 0; t < stageCount_; ++t) {
    text += '(';
    text += std::to_string(getCluster1(t) + 1);
    text += ',';
    text += std::to_string(getCluster2(t) + 1);
    text += ')';
  }
  unsigned int length = 0;
  if (EVP_Digest(text.data(), text.size(), solutionId_.data(), &length, EVP_md5(), nullptr) != 1 ||
      length != solutionId_.size())
    throw EKorvanaError("The MD5 digest of a solution could not be computed");
}

void ClusterSolution::encode(ByteWriter& out) const {
  out.put(objectCount_);
  out.put(isIdentity_);
  out.put(seed_);
  out.put(permutationIndex_);
  out.put(permutation_);
  out.put(stageCount_);
  out.put(sumOfSquares_);
  for (const auto* ints : {&cluster1_, &cluster2_, &firstAppears1_, &firstAppears2_, &nextStage_, &clusterOf_, &lastStage_})
    out.put(*ints);
  out.put(coefficient_);
  out.put(height_);
  for (const double value : {normalizedSSDif_, roundedNormalizedSSDif_, meanP_, meanH_, meanPH_, meanPP_, meanHH_,
                             copheneticCorrelation_})
    out.put(value);
  out.put(pairCount_);
  out.put(solutionId_);
}

std::unique_ptr<ClusterSolution> ClusterSolution::decode(ByteReader& in) {
  const auto objectCount = in.take<int>();
  const auto isIdentity = in.take<bool>();
  const auto seed = in.take<std::int32_t>();
  const auto permutationIndex = in.take<int>();
  auto permutation = in.take<std::vector<int>>();
  const auto stageCount = in.take<int>();
  const auto sumOfSquares = in.take<double>();
  auto solution =
      std::make_unique<ClusterSolution>(objectCount, sumOfSquares, stageCount, std::move(permutation), seed, isIdentity);
  solution->permutationIndex_ = permutationIndex;
  for (auto* ints : {&solution->cluster1_, &solution->cluster2_, &solution->firstAppears1_, &solution->firstAppears2_,
                     &solution->nextStage_, &solution->clusterOf_, &solution->lastStage_})
    in.get(*ints);
  in.get(solution->coefficient_);
  in.get(solution->height_);
  for (double* value : {&solution->normalizedSSDif_, &solution->roundedNormalizedSSDif_, &solution->meanP_,
                        &solution->meanH_, &solution->meanPH_, &solution->meanPP_, &solution->meanHH_,
                        &solution->copheneticCorrelation_})
    in.get(*value);
  in.get(solution->pairCount_);
  in.get(solution->solutionId_);
  return solution;
}

}  // namespace korvana
