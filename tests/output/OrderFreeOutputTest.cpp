// The order-free tree in the output: its schedule, fit and text dendrogram
// (a golden file owns their layout), the sentence that compares its fit with
// the best-fitting permutations, and its drawing with one bracket and one
// band per merge.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>

#include "AnalysisOutputExample.h"
#include "OutputTestSupport.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/VariableGroupAgglomeration.h"
#include "output/DendrogramSvg.h"
#include "output/OutputFactory.h"
#include "platform/spss/outputdoc/TextRenderer.h"

namespace korvana::testing {
namespace {

class OrderFreeOutputTest : public PackageOutputTest {};

// The tied five objects with single linkage: the two pairs at 1, then one
// merge of the pairs and echo at 2 with its range 2 to 3; the permutations'
// best fit is the same (single linkage's hierarchy does not depend on the
// order), so the caption says so.
TEST_F(OrderFreeOutputTest, TheScheduleFitAndDendrogramOfTheTiedFiveObjects) {
  useCLocaleForNumbers();
  auto analysis = analyzeTiedFiveObjects(*ClusterMethodFactory::getSingleLinkage());
  analysis->computeOrderFreeTree();
  ASSERT_NE(analysis->getOrderFreeTree(), nullptr);
  const OrderFreeTree& tree = *analysis->getOrderFreeTree();
  OutputFactory::writeOrderFreeSchedule(doc(), tree);
  OutputFactory::writeOrderFreeFitTable(
      doc(), tree,
      OutputFactory::orderFreeComparison(tree.getNormalizedSSDif(), analysis->getSolutions().front()->getNormalizedSSDif()));
  OutputFactory::writeDendrogram(doc(), analysis->getMethod(), analysis->getMatrix(), tree.getBinaryForm());
  EXPECT_TRUE(boxes_.shown().empty());
  expectGolden("order-free-tree.txt", spss::renderText(model()));
}

// A matrix the tree cannot be built for leaves no tree and says why, for the
// section's warning; the permutations are not affected.
TEST_F(OrderFreeOutputTest, AProximityThatIsNotANumberLeavesTheReasonInPlaceOfTheTree) {
  ClusterAnalysis analysis(*ClusterMethodFactory::getSingleLinkage(), AnalysisType::matrixFile, 3);
  analysis.getMatrix().assignLowerTriangle(3, {1, std::nan(""), 2});
  analysis.runPermutations();
  analysis.computeOrderFreeTree();
  EXPECT_EQ(analysis.getOrderFreeTree(), nullptr);
  EXPECT_EQ(analysis.getOrderFreeTreeProblem(),
            "The proximity between objects 1 and 3 is not a number; the order-free tree needs every proximity");
  EXPECT_EQ(analysis.getCompletedPermutations(), 3);
}

TEST(OrderFreeComparison, SaysHowTheFitsCompareWithTheDigitsThatShowIt) {
  useCLocaleForNumbers();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double tree, best;
    const char* sentence;
  } cases[] = {
      {0.25, 0.25,
       "The order-free tree fits the proximities as well as the best-fitting permutations: normalized SSDif "
       "2.5000000E-001 for both."},
      {0.3, 0.25,
       "The order-free tree fits the proximities worse than the best-fitting permutations: normalized SSDif "
       "3.0000000E-001 against 2.5000000E-001."},
      {0.1234567890123, 0.1234567890124,
       "The order-free tree fits the proximities better than every permutation: normalized SSDif "
       "1.234567890123E-001 against 1.234567890124E-001 for the best-fitting ones."},
      {0.25, nan,
       "The fit of the order-free tree cannot be compared with the best-fitting permutations': a normalized SSDif "
       "is not a number."},
  };
  for (const auto& c : cases) EXPECT_EQ(OutputFactory::orderFreeComparison(c.tree, c.best), c.sentence) << c.tree;
  EXPECT_EQ(OutputFactory::orderFreeHierarchySentence(3, 5, 7, 40),
            "Its hierarchy is that of 3 of the 5 best-fitting permutations (7 of the 40 permutations).");
  EXPECT_EQ(OutputFactory::orderFreeHierarchySentence(0, 5, 2, 40),
            "Its hierarchy is none of the best-fitting permutations', but that of 2 of the 40 permutations.");
  EXPECT_EQ(OutputFactory::orderFreeHierarchySentence(0, 5, 0, 40), "Its hierarchy is none of the 40 permutations'.");
}

std::size_t count(const std::string& text, const std::string& needle) {
  std::size_t found = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++found;
  return found;
}

// Every merge is one bracket: a horizontal line from each joined cluster to
// the merge's height and one vertical line; a merge whose clusters are not all
// equally near has a band from its lowest to its highest proximity.
TEST(MultidendrogramSvg, EachMergeIsOneBracketOverItsBand) {
  ClusterMethodFactory::createClusterMethods();
  for (const bool dissimilarity : {true, false}) {
    ProximityMatrix matrix;
    matrix.setIsDissimilarity(dissimilarity);
    matrix.assignLowerTriangle(5, tiedFiveObjects, tiedFiveObjectLabels);
    matrix.setHasObjectLabels(true);
    const OrderFreeTree tree = buildOrderFreeTree(matrix, *ClusterMethodFactory::getCompleteLinkage());
    const std::string svg = multidendrogramSvg(tree, matrix);
    EXPECT_EQ(count(svg, "class=\"leaf\""), 5u);
    ASSERT_EQ(count(svg, "<path class=\"node\""), tree.getMerges().size());
    std::size_t bands = 0;
    for (const OrderFreeMerge& merge : tree.getMerges()) bands += merge.lowest != merge.highest ? 1 : 0;
    EXPECT_EQ(count(svg, "<rect class=\"band\""), bands);
    ASSERT_GE(bands, 1u);
    // The last merge, of three: a line from each cluster, all ending at the
    // bracket's x.
    const std::regex last("<path class=\"node\" d=\"([^\"]*)M([0-9.]+) [0-9.]+V[0-9.]+\"/></g>");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(svg, m, last)) << svg;
    const std::string lines = m[1].str();
    const std::regex line("M[0-9.]+ [0-9.]+H([0-9.]+)");
    std::size_t arms = 0;
    for (auto it = std::sregex_iterator(lines.begin(), lines.end(), line); it != std::sregex_iterator(); ++it, ++arms)
      EXPECT_EQ((*it)[1].str(), m[2].str());
    EXPECT_EQ(arms, 3u);
    EXPECT_EQ(tree.getMerges().back().clusters.size(), 3u);
  }
  ClusterMethodFactory::destroyClusterMethods();
}

}  // namespace
}  // namespace korvana::testing
