// The graphics as SVG: the tree's leaves in the text dendrogram's rows, each
// merge's bracket at its coefficient and joined to the right rows, the axis
// direction for distances and similarities, support labels, a 10,000-object
// chain, the curve of distinct solutions and its thinning, and the graphic
// item written through the automation call.
#include "output/DendrogramSvg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>

#include "OutputTestSupport.h"
#include "engine/ClusterMethodFactory.h"
#include "output/Dendrogram.h"
#include "output/OutputGraphics.h"
#include "engine/Hierarchy.h"
#include "engine/PermutationRun.h"
#include "platform/spss/outputdoc/SvgElement.h"

namespace korvana::testing {
namespace {

std::vector<std::smatch> matches(const std::string& text, const std::string& pattern) {
  const std::regex re(pattern);
  std::vector<std::smatch> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    found.push_back(*it);
  return found;
}

std::size_t occurrences(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

double number(const std::ssub_match& m) { return std::stod(m.str()); }

const std::string coordinate = "(-?[0-9.]+)";

// One merge's bracket: from the end of cluster 1's line across to the merge
// and back to the end of cluster 2's line.
struct Bracket {
  double x1, y1, x, y2, x2;
};

std::vector<Bracket> brackets(const std::string& svg) {
  std::vector<Bracket> found;
  for (const auto& m : matches(svg, "<path class=\"node\" d=\"M" + coordinate + " " + coordinate + "H" + coordinate +
                                        "V" + coordinate + "H" + coordinate + "\"/>"))
    found.push_back({number(m[1]), number(m[2]), number(m[3]), number(m[4]), number(m[5])});
  return found;
}

// Eight objects on a line at 0, 1, 2, 3, 5, 6, 7 and 9: distances that tie
// all over, so single linkage finds several trees.
std::vector<double> onALine(const std::vector<double>& at) {
  std::vector<double> lower;
  for (std::size_t i = 1; i < at.size(); ++i)
    for (std::size_t j = 0; j < i; ++j) lower.push_back(std::fabs(at[i] - at[j]));
  return lower;
}
const std::vector<double> eightPositions = {0, 1, 2, 3, 5, 6, 7, 9};
// Trailing blanks, markup and an empty label (shown as the object number).
const std::vector<std::string> eightNames = {"a&b  ", "", "<c>", "d", "e", "f", "g", "h"};
const std::vector<std::string> eightShown = {"a&amp;b", "2", "&lt;c&gt;", "d", "e", "f", "g", "h"};

TEST(DendrogramSvg, LeavesFollowTheTextRowsAndEveryBracketJoinsItsRowsAtItsCoefficient) {
  if (!ClusterMethodFactory::getWard()) ClusterMethodFactory::createClusterMethods();
  const ClusteredMatrix run =
      cluster(*ClusterMethodFactory::getSingleLinkage(), 8, onALine(eightPositions), 40, 99, eightNames);
  ASSERT_GE(run.analysis->getSolutions().size(), 2u) << "the ties should give several trees";
  for (std::size_t k = 0; k < run.analysis->getSolutions().size(); ++k) {
    SCOPED_TRACE("solution " + std::to_string(k + 1));
    const ClusterSolution& solution = run.solution(k);
    std::vector<int> support;
    for (int t = 0; t < solution.getStageCount(); ++t) support.push_back(100 - 7 * t);
    const std::string svg = dendrogramSvg(solution, run.matrix(), &support);
    EXPECT_TRUE(spss::isSvgElement(svg));

    // Leaves: the text dendrogram's rows, top to bottom.
    const Dendrogram text(Dendrogram::scheduleOf(solution));
    std::vector<std::string> expected;
    for (int r = 0; r < 8; ++r) expected.push_back(eightShown[static_cast<std::size_t>(text.objectAtRow(r))]);
    std::vector<std::string> leaves;
    std::vector<double> leafY(8);  // by object
    for (const auto& m : matches(svg, "<text class=\"leaf\" x=\"" + coordinate + "\" y=\"" + coordinate + "\">([^<]*)</text>")) {
      leaves.push_back(m[3].str());
      leafY[static_cast<std::size_t>(text.objectAtRow(static_cast<int>(leaves.size()) - 1))] = number(m[2]) - 4.0;
    }
    EXPECT_EQ(leaves, expected);

    // One bracket per stage, in stage order: a single object's end of the
    // bracket lies on its own row, a cluster's end in the middle of the
    // bracket that formed it; merges move right as the coefficient grows.
    const std::vector<Bracket> nodes = brackets(svg);
    ASSERT_EQ(nodes.size(), 7u);
    const auto expectEnd = [&](int t, int formedAt, int cluster, double x, double y) {
      if (formedAt < 0) {
        EXPECT_DOUBLE_EQ(y, leafY[static_cast<std::size_t>(cluster)]) << "stage " << t << " meets its object's row";
        return;
      }
      const Bracket& former = nodes[static_cast<std::size_t>(formedAt)];
      EXPECT_DOUBLE_EQ(x, former.x) << "stage " << t << " starts where stage " << formedAt << " joined";
      EXPECT_NEAR(y, (former.y1 + former.y2) / 2.0, 0.051) << "stage " << t << " starts mid-bracket";
    };
    for (int t = 0; t < 7; ++t) {
      const Bracket& b = nodes[static_cast<std::size_t>(t)];
      expectEnd(t, solution.getFirstAppears1(t), solution.getCluster1(t), b.x1, b.y1);
      expectEnd(t, solution.getFirstAppears2(t), solution.getCluster2(t), b.x2, b.y2);
      if (t > 0) {
        const double previous = nodes[static_cast<std::size_t>(t - 1)].x;
        if (solution.getCoefficient(t) > solution.getCoefficient(t - 1)) {
          EXPECT_GT(b.x, previous) << t;
        } else {
          EXPECT_DOUBLE_EQ(b.x, previous) << t;
        }
      }
    }

    // Support labels: one per merge below 100 %, in stage order, beside its
    // bracket (stage 1 has 100 % and none), and the line that says so.
    const auto supports = matches(svg, "<text class=\"support\" x=\"" + coordinate + "\" y=\"" + coordinate + "\">([0-9]+)</text>");
    ASSERT_EQ(supports.size(), 6u);
    for (std::size_t t = 1; t < 7; ++t) {
      EXPECT_EQ(supports[t - 1][3].str(), std::to_string(support[t]));
      EXPECT_DOUBLE_EQ(number(supports[t - 1][1]), nodes[t].x + 3.0);
    }
    EXPECT_NE(svg.find("Support (%) is shown where it is below 100"), std::string::npos);

    // The hierarchy: a folded merge is drawn in the bracket of the merge
    // that absorbs it, and carries no support.
    const std::vector<char> folded = foldedStages(solution);
    const std::vector<Bracket> hierarchy = brackets(dendrogramSvg(solution, run.matrix(), &support, &folded));
    ASSERT_EQ(hierarchy.size(), 7u);
    int folds = 0;
    for (int t = 0; t < 7; ++t) {
      if (!folded[static_cast<std::size_t>(t)]) continue;
      ++folds;
      EXPECT_DOUBLE_EQ(hierarchy[static_cast<std::size_t>(t)].x,
                       hierarchy[static_cast<std::size_t>(solution.getNextStage(t))].x) << "folded stage " << t;
    }
    EXPECT_GT(folds, 0) << "the ties should fold some merges";
  }
  EXPECT_EQ(occurrences(dendrogramSvg(run.solution(), run.matrix(), nullptr), "class=\"support\""), 0u);
  const std::vector<int> tooFew(6, 50);
  EXPECT_THROW(dendrogramSvg(run.solution(), run.matrix(), &tooFew), std::invalid_argument);
}

// The axis runs from the first merge's coefficient to the last one's, so the
// tick numbers rise for distances and fall for similarities; either way the
// later merges lie further right, and the ticks stay within the coefficients.
TEST(DendrogramSvg, TheAxisRunsFromTheFirstMergesCoefficientToTheLastOnes) {
  if (!ClusterMethodFactory::getWard()) ClusterMethodFactory::createClusterMethods();
  struct Case {
    const char* name;
    bool dissimilarity;
    std::vector<double> lower;
  };
  const std::vector<Case> cases = {
      {"distances", true, onALine({0, 1, 3, 7, 15})},
      {"similarities", false, {0.9, 0.5, 0.4, 0.2, 0.1, 0.7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClusterAnalysis analysis(*ClusterMethodFactory::getAverageLinkageBetweenGroups(), AnalysisType::matrixFile, 1);
    const int n = c.dissimilarity ? 5 : 4;
    analysis.getMatrix().assignLowerTriangle(n, c.lower);
    analysis.getMatrix().setIsDissimilarity(c.dissimilarity);
    analysis.runPermutations();
    const ClusterSolution& solution = *analysis.getSolutions().at(0);
    const std::string svg = dendrogramSvg(solution, analysis.getMatrix(), nullptr);

    std::vector<std::pair<double, double>> ticks;  // (x, number)
    for (const auto& m : matches(svg, "<text class=\"tick\" x=\"" + coordinate + "\" y=\"[0-9.]+\">([-0-9.e+]+)</text>"))
      ticks.emplace_back(number(m[1]), std::stod(m[2].str()));
    ASSERT_GE(ticks.size(), 3u) << svg;
    std::sort(ticks.begin(), ticks.end());  // left to right
    const double first = solution.getCoefficient(0);
    const double last = solution.getCoefficient(solution.getStageCount() - 1);
    EXPECT_EQ(first < last, c.dissimilarity);
    for (std::size_t i = 1; i < ticks.size(); ++i) {
      EXPECT_GT(ticks[i].first, ticks[i - 1].first);
      EXPECT_EQ(ticks[i].second > ticks[i - 1].second, c.dissimilarity) << "tick " << i;
    }
    for (const auto& [x, value] : ticks) {
      EXPECT_GE(value, std::min(first, last) - 1e-12);
      EXPECT_LE(value, std::max(first, last) + 1e-12);
    }
    const std::vector<Bracket> nodes = brackets(svg);
    ASSERT_EQ(nodes.size(), static_cast<std::size_t>(n - 1));
    for (std::size_t t = 1; t < nodes.size(); ++t) EXPECT_GT(nodes[t].x, nodes[t - 1].x) << "stage " << t;
  }
}

// Labels that several objects share carry the object number; the consensus
// draws each of its clusters as one bracket over its parts, at one level
// above its highest part, with the support below 100 % only.
TEST(DendrogramSvg, RepeatedLabelsAreNumberedAndTheConsensusIsOneBracketPerCluster) {
  ProximityMatrix matrix;
  matrix.assignLowerTriangle(5, std::vector<double>(10, 1.0), {"a", "a", "b", "c ", "c"});
  Consensus consensus;
  consensus.known = true;
  consensus.clusters = {{{0, 1}, 0.6}, {{2, 3, 4}, 1.0}, {{0, 1, 2, 3, 4}, 1.0}};
  const std::string svg = consensusTreeSvg(consensus, matrix);
  EXPECT_TRUE(spss::isSvgElement(svg));
  std::vector<std::string> leaves;
  for (const auto& m : matches(svg, "<text class=\"leaf\"[^>]*>([^<]*)</text>")) leaves.push_back(m[1].str());
  std::sort(leaves.begin(), leaves.end());
  EXPECT_EQ(leaves, (std::vector<std::string>{"a 1", "a 2", "b", "c 4", "c 5"}));
  const std::vector<Bracket> nodes = brackets(svg);
  ASSERT_EQ(nodes.size(), 4u);  // {0,1}; {2,3,4} in two merges; the root
  EXPECT_DOUBLE_EQ(nodes[1].x, nodes[2].x) << "the three parts share one bracket";
  EXPECT_DOUBLE_EQ(nodes[0].x, nodes[1].x) << "both clusters of level 1";
  EXPECT_GT(nodes[3].x, nodes[2].x);
  const auto supports = matches(svg, "<text class=\"support\"[^>]*>([0-9]+)</text>");
  ASSERT_EQ(supports.size(), 1u);
  EXPECT_EQ(supports[0][1].str(), "60");
}

// Object i at distance |i − j| from object j: single linkage joins them one
// after another, a chain 10,000 deep, drawn one row per object.
TEST(DendrogramSvg, AChainOfTenThousandObjectsIsDrawnRowByRow) {
  constexpr int n = 10000;
  if (!ClusterMethodFactory::getWard()) ClusterMethodFactory::createClusterMethods();
  ClusterAnalysis analysis(*ClusterMethodFactory::getSingleLinkage(), AnalysisType::matrixFile, 1);
  ProximityMatrix& matrix = analysis.getMatrix();
  matrix.reserve(n);
  for (int i = 0; i < n; ++i) {
    ProximityMatrixRow& row = matrix.appendRow(std::to_string(i + 1), "PROX");
    for (int j = 0; j < i; ++j) row.setValue(j, i - j);
  }
  matrix.computeSumOfSquares();
  analysis.runPermutations();
  const ClusterSolution& solution = *analysis.getSolutions().at(0);
  for (int t = 1; t < solution.getStageCount(); ++t)
    ASSERT_TRUE(solution.getFirstAppears1(t) == t - 1 || solution.getFirstAppears2(t) == t - 1) << "not a chain at " << t;

  const std::vector<int> support(n - 1, 99);
  const std::string svg = dendrogramSvg(solution, matrix, &support);
  EXPECT_EQ(occurrences(svg, "class=\"leaf\""), static_cast<std::size_t>(n));
  EXPECT_EQ(occurrences(svg, "class=\"node\""), static_cast<std::size_t>(n - 1));
  EXPECT_EQ(occurrences(svg, "class=\"support\""), static_cast<std::size_t>(n - 1));
  EXPECT_NE(svg.find("height=\"" + std::to_string(44 + 16 * n + 16 + 8) + "\""), std::string::npos)
      << "one row per object and the line under the tree";
  EXPECT_LT(svg.size(), static_cast<std::size_t>(n) * 200) << "about a row's worth of text per object";
  EXPECT_TRUE(spss::isSvgElement(svg));
}

struct Vertex {
  double x, y;
};

std::vector<Vertex> polyline(const std::string& svg, const std::string& cls) {
  const auto found = matches(svg, "<polyline class=\"" + cls + "\"[^>]* points=\"([^\"]*)\"/>");
  if (found.size() != 1) return {};
  std::vector<Vertex> vertices;
  const std::string points = found[0][1].str();
  for (const auto& m : matches(points, coordinate + "," + coordinate)) vertices.push_back({number(m[1]), number(m[2])});
  return vertices;
}

TEST(DistinctSolutionsCurve, ShortLinesKeepEveryPointFromTheFirstToTheLastPermutation) {
  const std::string svg = distinctSolutionsCurveSvg({1, 2, 2, 3, 4}, {1, 1, 2, 1, 1});
  EXPECT_TRUE(spss::isSvgElement(svg));
  const std::vector<Vertex> all = polyline(svg, "curve all");
  const std::vector<Vertex> best = polyline(svg, "curve best");
  ASSERT_EQ(all.size(), 5u);
  ASSERT_EQ(best.size(), 5u);
  EXPECT_DOUBLE_EQ(all.front().x, best.front().x);
  EXPECT_DOUBLE_EQ(all.back().x, best.back().x);
  EXPECT_LT(all.front().x, all.back().x);
  EXPECT_LT(all.back().y, all.front().y) << "more solutions are drawn higher";
  EXPECT_DOUBLE_EQ(best[2].y, all[1].y) << "the same count at the same height";
  EXPECT_EQ(occurrences(svg, "All permutations"), 1u);
  EXPECT_EQ(occurrences(svg, "Best-fitting permutations"), 1u);
  EXPECT_EQ(occurrences(distinctSolutionsCurveSvg({1, 2}, {}), "<polyline"), 1u) << "an empty line is not drawn";
}

// 30,000 permutations: the best-fitting count climbs to 40, falls back to 1
// when a better fit is found, and climbs to 3; the thinned line keeps the
// peak, the fall and the last point.
TEST(DistinctSolutionsCurve, LongLinesAreThinnedButKeepPeaksFallsAndTheLastPoint) {
  constexpr int permutations = 30000;
  std::vector<int> all(permutations);
  std::vector<int> best(permutations);
  for (int k = 0; k < permutations; ++k) {
    all[static_cast<std::size_t>(k)] = 1 + k / 100;
    best[static_cast<std::size_t>(k)] = k < 15000 ? 1 + k * 39 / 14999 : 1 + (k - 15000) / 7000;
  }
  const std::string svg = distinctSolutionsCurveSvg(all, best);
  EXPECT_LT(svg.size(), 40000u);
  const std::vector<Vertex> thinAll = polyline(svg, "curve all");
  const std::vector<Vertex> thinBest = polyline(svg, "curve best");
  ASSERT_GE(thinAll.size(), 500u);
  EXPECT_LE(thinAll.size(), maxCurveVertices);
  EXPECT_LE(thinBest.size(), maxCurveVertices);
  // The heights of 1, 40 and 3 on the same scale (up to all's last count, 300).
  const std::vector<Vertex> exact = polyline(distinctSolutionsCurveSvg({1, 40, 3, all.back()}, {}), "curve all");
  ASSERT_EQ(exact.size(), 4u);
  const double y1 = exact[0].y, y40 = exact[1].y, y3 = exact[2].y;
  EXPECT_DOUBLE_EQ(thinAll.back().y, exact[3].y);
  EXPECT_DOUBLE_EQ(thinAll.back().x, exact[3].x) << "the last permutation is drawn";
  EXPECT_DOUBLE_EQ(thinBest.back().y, y3);
  EXPECT_DOUBLE_EQ(thinBest.back().x, thinAll.back().x);
  std::size_t peak = 0;
  while (peak < thinBest.size() && thinBest[peak].y != y40) ++peak;
  ASSERT_LT(peak, thinBest.size()) << "the peak is kept";
  EXPECT_TRUE(std::any_of(thinBest.begin() + static_cast<std::ptrdiff_t>(peak), thinBest.end(),
                          [&](const Vertex& v) { return v.y == y1; }))
      << "the fall after the peak is kept";
  for (std::size_t i = 1; i < thinAll.size(); ++i) EXPECT_GE(thinAll[i].x, thinAll[i - 1].x) << "in order";
}

class OutputGraphicsTest : public PackageOutputTest {};

TEST_F(OutputGraphicsTest, AGraphicIsInsertedAndARefusedOneIsPromptedAndReportedAsMinusOne) {
  const std::string svg = distinctSolutionsCurveSvg({1, 2, 3}, {1, 1, 1});
  const std::int32_t index = OutputGraphics::writeGraphic(doc(), "Distinct Solutions", svg);
  ASSERT_EQ(index, 1);
  EXPECT_EQ(item(index).kind, spss::ItemKind::graphic);
  EXPECT_EQ(item(index).label, "Distinct Solutions");
  EXPECT_EQ(item(index).svg, svg);
  EXPECT_TRUE(boxes_.shown().empty());

  boxes_.scriptAnswer(host::MessageAnswer::no);
  EXPECT_EQ(OutputGraphics::writeGraphic(doc(), "Broken", "<svg>"), -1);
  ASSERT_EQ(boxes_.shown().size(), 1u);
  EXPECT_EQ(boxes_.shown()[0].caption, "HRCHECK: ");
  EXPECT_NE(boxes_.shown()[0].text.find("InsertGraphic"), std::string::npos);
  EXPECT_EQ(addedItems(), 1u);
}

}  // namespace
}  // namespace korvana::testing
