// An independent, deliberately plain implementation of the agglomeration run —
// a full n × n matrix, member vectors, every score recomputed — written from
// the tie rules alone. The engine must produce the same merges, coefficients
// and fit bit for bit under every method, both directions and many
// permutations of tie-rich matrices.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "EngineTestSupport.h"
#include "engine/ClusterMethodFactory.h"
#include "common/EKorvanaError.h"
#include "engine/RandomPermutationGenerator.h"

namespace korvana {
namespace {

using LD = long double;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct ReferenceResult {
  std::vector<int> cluster1, cluster2;
  std::vector<double> coefficient;
  double nssdif = 0, correlation = 0;
};

enum Method { between = 0, within, single, complete, centroid, median, ward };

class Reference {
 public:
  Reference(const ProximityMatrix& p, std::vector<int> permutation, Method m)
      : P(p), perm(std::move(permutation)), method(m), n(p.getNumberOfObjects()), s(p.isDissimilarity() ? 1 : -1) {}

  ReferenceResult run() {
    M.assign(n, std::vector<double>(n, 0.0));
    nearest.assign(n, -1);
    nearestValue.assign(n, 0.0);
    for (int i = 0; i < n; ++i) {
      nearest[i] = -1;
      nearestValue[i] = s * 1e50;
      for (int j = 0; j < i; ++j) {
        double v = P.getProximity(perm[i], perm[j]);
        M[i][j] = M[j][i] = v;
        if (!(s * ((LD)v - nearestValue[i]) > 0)) {
          nearest[i] = j;
          nearestValue[i] = v;
        }
      }
    }
    active.clear();
    for (int i = 0; i < n; ++i) active.push_back(i);
    members.assign(n, {});
    for (int i = 0; i < n; ++i) members[i] = {i};
    sizes.assign(n, 1);
    withinSums.assign(n, 0.0);
    clusterOf.resize(n);
    for (int o = 0; o < n; ++o) clusterOf[o] = o;
    lastStage.assign(n, -1);
    double acc = 0;
    double v = 0;
    ReferenceResult r;
    for (int t = 0; t + 1 < n; ++t) {
      double prev = v;
      v = s * 1e50;
      int pos = -1, b = -1;
      for (std::size_t k = 1; k < active.size(); ++k) {
        int c = active[k];
        if (!(s * ((LD)nearestValue[c] - v) > 0)) {
          pos = (int)k;
          b = c;
          v = nearestValue[c];
        }
      }
      int d = nearest[b];
      if (method == ward) {
        acc = (double)(acc + (LD)v * 0.5);
        v = acc;
      }
      double h = method == ward ? (double)(((LD)v - prev) * 2) : v;
      record(r, b, d, v, h);
      active.erase(active.begin() + pos);
      merge(d, b);
    }
    r.nssdif = nssdif;
    r.correlation = correlation;
    return r;
  }

 private:
  bool strictlyBetter(double x, double y) const { return !(s * ((LD)x - y) >= 0); }
  bool atLeastAsGood(double x, double y) const { return !(s * ((LD)x - y) > 0); }

  double score(int x, int y) const {
    if (method == between) return (double)((LD)M[x][y] / (int)(sizes[x] * sizes[y]));
    if (method == within) {
      int N = sizes[x] + sizes[y];
      int pairs = (N * (N - 1)) >> 1;
      double sum = (double)(M[x][y] + ((LD)withinSums[x] + withinSums[y]));
      return (double)((LD)sum / pairs);
    }
    return M[x][y];
  }

  void set(int x, int y, double value) { M[x][y] = M[y][x] = value; }

  void merge(int d, int b) {
    int nd = sizes[d], nb = sizes[b];
    auto bookkeeping = [&] {
      std::vector<int> joined = members[d];
      joined.insert(joined.end(), members[b].begin(), members[b].end());
      members[d] = joined;
      members[b].clear();
      sizes[d] = nd + nb;
      sizes[b] = 0;
    };
    if (method == within) withinSums[d] = (double)(M[b][d] + ((LD)withinSums[d] + withinSums[b]));
    if (method == between || method == within || method == centroid) bookkeeping();
    double pb = (double)((LD)nb / (nb + nd)), pd = (double)((LD)nd / (nb + nd)), q = (double)((LD)pb * pd);
    for (int x : active) {
      if (x == d) continue;
      double xd = M[x][d], xb = M[x][b], bd = M[b][d];
      switch (method) {
        case between:
        case within: set(x, d, (double)((LD)xd + xb)); break;
        case single: {
          if (strictlyBetter(xb, xd)) {
            set(x, d, xb);
            if (x < d) {
              if (atLeastAsGood(xb, nearestValue[d])) { nearest[d] = x; nearestValue[d] = xb; }
            } else if (x < b) {
              if (strictlyBetter(xb, nearestValue[x])) { nearest[x] = d; nearestValue[x] = xb; }
            } else if (nearest[x] == b) {
              nearest[x] = d;
              nearestValue[x] = xb;
            }
          } else if (x > b && nearest[x] == b) {
            nearest[x] = d;
            nearestValue[x] = xd;
          }
          break;
        }
        case complete: set(x, d, s * ((LD)xb - xd) > 0 ? xb : xd); break;
        case centroid: set(x, d, (double)((LD)pb * xb + (LD)pd * xd - (LD)q * bd)); break;
        case median:
          if (s > 0) set(x, d, (double)(((LD)xd + xb) * 0.5 - (LD)bd * 0.25));
          else set(x, d, (double)(((LD)xd + xb) * 0.5 + (1 - (LD)bd) * 0.25));
          break;
        case ward: {
          int nx = sizes[x];
          set(x, d, (double)(((LD)(nx + nd) * xd + (LD)(nx + nb) * xb - (LD)nx * bd) / (nb + nd + nx)));
          break;
        }
      }
    }
    if (!(method == between || method == within || method == centroid)) bookkeeping();
    if (method == single) return;
    for (std::size_t k = 0; k < active.size(); ++k) {
      int x = active[k];
      if (x < d) continue;
      if (x == d || nearest[x] == b || nearest[x] == d) {
        nearest[x] = -1;
        nearestValue[x] = s * 1e50;
        for (std::size_t j = 0; j < k; ++j) {
          int y = active[j];
          if (strictlyBetter(score(x, y), nearestValue[x])) {
            nearest[x] = y;
            nearestValue[x] = score(x, y);
          }
        }
      } else if (strictlyBetter(score(x, d), nearestValue[x])) {
        nearest[x] = d;
        nearestValue[x] = score(x, d);
      }
    }
  }

  void record(ReferenceResult& r, int b, int d, double v, double h) {
    int t = (int)r.cluster1.size();
    int cb = clusterOf[perm[b]], cd = clusterOf[perm[d]];
    int c1 = std::min(cb, cd), c2 = std::max(cb, cd);
    r.cluster1.push_back(c1);
    r.cluster2.push_back(c2);
    r.coefficient.push_back(v);
    lastStage[c1] = t;
    for (int o = 0; o < n; ++o)
      if (clusterOf[o] == c2) clusterOf[o] = c1;
    int N = (n * (n - 1)) / 2;
    double S = P.getSumOfSquares();
    for (int i : members[b])
      for (int j : members[d]) {
        double p = P.getProximity(perm[i], perm[j]);
        if (std::fabs(S) <= 1e-12) nssdif = kNaN;
        else nssdif = (double)(nssdif + std::fabs((LD)p - h) * std::fabs((LD)p - h) / S);
        mp = (double)(mp + (LD)p / N);
        mh = (double)(mh + (LD)h / N);
        mph = (double)(mph + ((LD)p * h) / N);
        mpp = (double)(mpp + ((LD)p * p) / N);
        mhh = (double)(mhh + ((LD)h * h) / N);
      }
    double varP = (double)(mpp - (LD)mp * mp);
    double varH = (double)(mhh - (LD)mh * mh);
    LD prod = (LD)varP * varH;
    double rr = prod < 0 ? kNaN : (double)std::sqrt(prod);
    correlation = std::fabs(rr) <= 1e-12 ? kNaN : (double)((mph - (LD)mp * mh) / rr);
  }

  const ProximityMatrix& P;
  std::vector<int> perm;
  Method method;
  int n, s;
  std::vector<std::vector<double>> M;
  std::vector<int> nearest, active, sizes, clusterOf, lastStage;
  std::vector<double> nearestValue, withinSums;
  std::vector<std::vector<int>> members;
  double nssdif = 0, mp = 0, mh = 0, mph = 0, mpp = 0, mhh = 0, correlation = 0;
};

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

void compareWithReference(const ProximityMatrix& matrix, ClusterMethod& method, Method index,
                          const std::vector<int>& permutation, const std::string& context,
                          RunThreads threads = RunThreads::one) {
  const ReferenceResult expected = Reference(matrix, permutation, index).run();
  // The working matrix in either layout.
  for (const WorkingLayout layout : {WorkingLayout::triangle, WorkingLayout::square}) {
  const auto solution = test::cluster(matrix, method, permutation, threads, layout);
  ASSERT_EQ(solution->getStageCount(), static_cast<int>(expected.cluster1.size())) << context;
  for (int t = 0; t < solution->getStageCount(); ++t) {
    ASSERT_EQ(solution->getCluster1(t), expected.cluster1[t]) << context << " layout " << static_cast<int>(layout) << " stage " << t;
    ASSERT_EQ(solution->getCluster2(t), expected.cluster2[t]) << context << " stage " << t;
    ASSERT_TRUE(sameBits(solution->getCoefficient(t), expected.coefficient[t]))
        << context << " stage " << t << ": " << solution->getCoefficient(t) << " vs " << expected.coefficient[t];
  }
  EXPECT_TRUE(sameBits(solution->getUnroundedNormalizedSSDif(), expected.nssdif))
      << context << ": " << solution->getUnroundedNormalizedSSDif() << " vs " << expected.nssdif;
  EXPECT_TRUE(sameBits(solution->getCopheneticCorrelation(), expected.correlation))
      << context << ": " << solution->getCopheneticCorrelation() << " vs " << expected.correlation;
  }
}

struct Case {
  const char* name;
  int values;  // proximities are drawn from 0 … values − 1 (few values: many ties)
  bool fractional;
};

class ReferenceClustering : public ::testing::TestWithParam<Case> {};

TEST_P(ReferenceClustering, EngineMatchesThePlainImplementationBitForBit) {
  const Case c = GetParam();
  test::MethodsFixture methods;
  const unsigned seed = 20261207;
  std::mt19937 random(seed);
  for (int trial = 0; trial < 12; ++trial) {
    const int n = 2 + static_cast<int>(random() % 23);
    std::vector<double> lower(static_cast<std::size_t>(n * (n - 1) / 2));
    for (double& v : lower) {
      v = static_cast<double>(random() % static_cast<unsigned>(c.values));
      if (c.fractional) v = v / 7.0 + 0.1;
    }
    for (bool dissimilarity : {true, false}) {
      const auto matrix = test::makeMatrix(n, lower, dissimilarity);
      for (int m = 0; m < 7; ++m) {
        RandomPermutationGenerator generator(static_cast<std::int32_t>(random()), n);
        for (int p = 0; p < 6; ++p) {
          const auto permutation = generator.nextPermutation(p == 0);
          // Odd permutations run with the second thread: same results.
          compareWithReference(*matrix, *methods.all()[static_cast<std::size_t>(m)], static_cast<Method>(m),
                               permutation,
                               std::string(c.name) + " seed " + std::to_string(seed) + " trial " +
                                   std::to_string(trial) + " n " + std::to_string(n) + " method " +
                                   std::to_string(m) + (dissimilarity ? " dis" : " sim") + " perm " +
                                   std::to_string(p),
                               p % 2 == 1 ? RunThreads::two : RunThreads::one);
          if (HasFatalFailure()) return;
        }
      }
    }
  }
}

// Large enough for the second thread to matter (long fits at the end, the
// fill split in two): a two-thread run gives the one-thread results to the bit.
TEST(TwoThreadRun, GivesTheOneThreadResultsBitForBit) {
  test::MethodsFixture methods;
  std::mt19937 random(20261208);
  const int n = 600;
  std::vector<double> lower(static_cast<std::size_t>(n * (n - 1) / 2));
  for (double& v : lower) v = static_cast<double>(random() % 9) / 7.0;
  for (bool dissimilarity : {true, false}) {
    const auto matrix = test::makeMatrix(n, lower, dissimilarity);
    for (int m = 0; m < 7; ++m) {
      ClusterMethod& method = *methods.all()[static_cast<std::size_t>(m)];
      const auto permutation = RandomPermutationGenerator(1000 + m, n).nextPermutation(false);
      const auto one = test::cluster(*matrix, method, permutation, RunThreads::one);
      // Two threads with square working matrices: the fill of each half mirrors its own rows.
      const auto two = test::cluster(*matrix, method, permutation, RunThreads::two, m % 2 ? WorkingLayout::square
                                                                                         : WorkingLayout::triangle);
      const std::string context = "method " + std::to_string(m) + (dissimilarity ? " dis" : " sim");
      for (int t = 0; t < n - 1; ++t) {
        ASSERT_EQ(two->getCluster1(t), one->getCluster1(t)) << context << " stage " << t;
        ASSERT_EQ(two->getCluster2(t), one->getCluster2(t)) << context << " stage " << t;
        ASSERT_TRUE(sameBits(two->getCoefficient(t), one->getCoefficient(t))) << context << " stage " << t;
      }
      EXPECT_TRUE(sameBits(two->getUnroundedNormalizedSSDif(), one->getUnroundedNormalizedSSDif())) << context;
      EXPECT_TRUE(sameBits(two->getCopheneticCorrelation(), one->getCopheneticCorrelation())) << context;
    }
  }
}

// Ward's update can leave the range of the search (here 1.5e50 after the
// first merge): the run stops with an error, and a second thread that waits
// for stages is let go rather than left hanging.
TEST(TwoThreadRun, ARunThatCannotGoOnThrowsWithEitherThreadCount) {
  test::MethodsFixture methods;
  const auto matrix = test::makeMatrix(3, {-9e49, 9e49, 9e49});
  for (RunThreads threads : {RunThreads::one, RunThreads::two})
    EXPECT_THROW(test::cluster(*matrix, *ClusterMethodFactory::getWard(), {}, threads), EKorvanaError);
}

INSTANTIATE_TEST_SUITE_P(TieRichMatrices, ReferenceClustering,
                         ::testing::Values(Case{"binary", 2, false}, Case{"fourLevels", 4, false},
                                           Case{"sevenths", 5, true}, Case{"manyValues", 1000, false}),
                         [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace korvana
