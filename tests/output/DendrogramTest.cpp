// The text dendrogram: columns from the coefficients, the walk that orders
// the rows, the cell states of each join, the label column, the exact rich
// text (golden files, one paragraph per line) and the items it is written to.
#include "output/Dendrogram.h"

#include <gtest/gtest.h>

#include "OutputTestSupport.h"
#include "engine/ClusterMethodFactory.h"
#include "output/OutputFactory.h"

namespace korvana::testing {
namespace {

namespace Of = OutputFactory;

// The 25 cell states of a display row as digits.
std::string row(const Dendrogram& d, int r) {
  std::string states;
  for (int c = 0; c < Dendrogram::gridColumns; ++c) states += static_cast<char>('0' + d.cell(r, c));
  return states;
}

std::string repeat(char c, int count) { return std::string(static_cast<std::size_t>(count), c); }

std::vector<int> rowsOf(const Dendrogram& d) {
  std::vector<int> objects;
  for (int r = 0; r < d.objectCount(); ++r) objects.push_back(d.objectAtRow(r));
  return objects;
}

// Five objects: (3,4) and (1,2) at 1, then the two pairs and object 5 both at
// 2, so the last two merges share the last column.
const std::vector<DendrogramStage> sameColumn = {
    {2, 3, 1.0, -1, -1, 2},
    {0, 1, 1.0, -1, -1, 2},
    {0, 2, 2.0, 1, 0, 3},
    {0, 4, 2.0, 2, -1, -1},
};

// Three objects by similarity: (1,2) at 10, then object 3 at 5.
const std::vector<DendrogramStage> similarities = {
    {0, 1, 10.0, -1, -1, 1},
    {0, 2, 5.0, 0, -1, -1},
};

const std::vector<DendrogramStage> twoObjects = {{0, 1, 3.0, -1, -1, -1}};

TEST(DendrogramLayout, TwoObjectsJoinInColumnZeroOnAdjacentRows) {
  const Dendrogram d(twoObjects);
  EXPECT_FALSE(d.walkFailed());
  EXPECT_EQ(d.columnOfStage(0), 0);
  EXPECT_EQ(rowsOf(d), (std::vector<int>{0, 1}));
  EXPECT_EQ(row(d, 0), "1" + repeat('9', 24));
  EXPECT_EQ(row(d, 1), "3" + repeat('9', 24));
}

TEST(DendrogramLayout, AMergeInTheColumnOfAnEarlierMergeJoinsItsVerticalLine) {
  const Dendrogram d(sameColumn);
  EXPECT_FALSE(d.walkFailed());
  EXPECT_EQ(d.columnOfStage(0), 0);
  EXPECT_EQ(d.columnOfStage(1), 0);
  EXPECT_EQ(d.columnOfStage(2), 24);
  EXPECT_EQ(d.columnOfStage(3), 24);
  // The walk goes down the earlier branch first: objects 3 and 4, then 1 and 2.
  EXPECT_EQ(rowsOf(d), (std::vector<int>{2, 3, 0, 1, 4}));
  EXPECT_EQ(row(d, 0), "2" + repeat('8', 23) + "1");
  EXPECT_EQ(row(d, 1), "3" + repeat('9', 23) + "6");
  // The earlier lower end on row 2 becomes a join; row 1 already reached the
  // column and draws nothing more.
  EXPECT_EQ(row(d, 2), "2" + repeat('8', 23) + "4");
  EXPECT_EQ(row(d, 3), "3" + repeat('9', 23) + "6");
  EXPECT_EQ(row(d, 4), repeat('8', 24) + "3");
}

TEST(DendrogramLayout, FallingCoefficientsRunFromColumnZeroToTheLastColumn) {
  const Dendrogram d(similarities);
  EXPECT_EQ(d.columnOfStage(0), 0);
  EXPECT_EQ(d.columnOfStage(1), 24);
  EXPECT_EQ(row(d, 0), "2" + repeat('8', 23) + "1");
  EXPECT_EQ(row(d, 1), "3" + repeat('9', 23) + "6");
  EXPECT_EQ(row(d, 2), repeat('8', 24) + "3");
}

TEST(DendrogramLayout, ColumnsNeverGoBackForCoefficientsThatAreNotMonotone) {
  // Coefficients 1, 3, 2, 4 (as centroid or median can give): the third
  // merge stays in the column of the second.
  const Dendrogram d({{0, 1, 1.0, -1, -1, 1}, {0, 2, 3.0, 0, -1, 3}, {3, 4, 2.0, -1, -1, 3}, {0, 3, 4.0, 1, 2, -1}});
  EXPECT_FALSE(d.walkFailed());
  EXPECT_EQ(d.columnOfStage(0), 0);
  EXPECT_EQ(d.columnOfStage(1), 16);
  EXPECT_EQ(d.columnOfStage(2), 16);
  EXPECT_EQ(d.columnOfStage(3), 24);
  EXPECT_EQ(rowsOf(d), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(row(d, 0), "2" + repeat('8', 15) + "1" + repeat('9', 8));
  EXPECT_EQ(row(d, 1), "3" + repeat('9', 15) + "7" + repeat('8', 7) + "1");
  EXPECT_EQ(row(d, 2), repeat('8', 16) + "3" + repeat('9', 7) + "6");
  EXPECT_EQ(row(d, 3), repeat('8', 16) + "2" + repeat('8', 7) + "3");
  EXPECT_EQ(row(d, 4), repeat('8', 16) + "3" + repeat('9', 8));
}

TEST(DendrogramLayout, EqualCoefficientsAllLandInColumnZero) {
  const Dendrogram d({{0, 1, 2.0, -1, -1, 1}, {0, 2, 2.0, 0, -1, -1}});
  EXPECT_EQ(d.columnOfStage(0), 0);
  EXPECT_EQ(d.columnOfStage(1), 0);
  // Row 0 reached column 0 already; the join passes row 1's lower end.
  EXPECT_EQ(row(d, 0), "1" + repeat('9', 24));
  EXPECT_EQ(row(d, 1), "4" + repeat('9', 24));
  EXPECT_EQ(row(d, 2), "3" + repeat('9', 24));
}

TEST(DendrogramLayout, ABranchThatLeadsNowhereFailsTheWalk) {
  // Stage 2 claims its second cluster was formed by a stage that does not
  // exist: the walk stops with the first merge drawn, the third row empty.
  const Dendrogram d({{0, 1, 1.0, -1, -1, 1}, {0, 2, 2.0, 0, 4, -1}});
  EXPECT_TRUE(d.walkFailed());
  EXPECT_EQ(rowsOf(d), (std::vector<int>{0, 1, -1}));
  EXPECT_EQ(row(d, 0), "1" + repeat('9', 24));
  EXPECT_EQ(row(d, 2), repeat('9', 25));
}

TEST(DendrogramLayout, LinksThatLoopBackFailInsteadOfRunningForever) {
  EXPECT_TRUE(Dendrogram({{0, 1, 1.0, -1, -1, 0}}).walkFailed());
  EXPECT_TRUE(Dendrogram({{0, 1, 1.0, -1, -1, 1}, {0, 2, 2.0, 0, -1, 0}}).walkFailed());
  EXPECT_TRUE(Dendrogram({{0, 7, 1.0, -1, -1, -1}}).walkFailed());
  EXPECT_THROW(Dendrogram(std::vector<DendrogramStage>{}), std::invalid_argument);
}

TEST(DendrogramLayout, TheScheduleOfASolutionIsDrawnAsTheEngineGivesIt) {
  if (!ClusterMethodFactory::getCompleteLinkage()) ClusterMethodFactory::createClusterMethods();
  auto clustered = cluster(*ClusterMethodFactory::getCompleteLinkage(), 5, {1, 2, 2, 2, 2, 1, 3, 3, 2, 2});
  const auto schedule = Dendrogram::scheduleOf(clustered.solution());
  ASSERT_EQ(schedule.size(), 4u);
  // The identity order: (3,4) and (1,2) at 1, 5 joins (3,4) at 2, all at 3.
  EXPECT_EQ(schedule[2].cluster1, 2);
  EXPECT_EQ(schedule[2].cluster2, 4);
  EXPECT_EQ(schedule[2].coefficient, 2.0);
  EXPECT_EQ(schedule[2].firstAppears1, 0);
  EXPECT_EQ(schedule[2].firstAppears2, -1);
  EXPECT_EQ(schedule[2].nextStage, 3);
  EXPECT_EQ(schedule[3].firstAppears1, 1);
  EXPECT_EQ(schedule[3].firstAppears2, 2);
  EXPECT_EQ(schedule[3].nextStage, -1);
  const Dendrogram d(schedule);
  EXPECT_FALSE(d.walkFailed());
  // Up from the first merge to the one that adds 5, then down the branch of
  // (1,2) before the root.
  EXPECT_EQ(rowsOf(d), (std::vector<int>{2, 3, 4, 0, 1}));
}

// ------------------------------------------------------------ labels, text

TEST(DendrogramText, TheLabelColumnFitsTheLabelsBetweenFiveAndTwentyCharacters) {
  EXPECT_EQ(Dendrogram::labelFieldWidth(nullptr), 5);
  const std::vector<std::string> shortLabels = {"ab", ""};
  EXPECT_EQ(Dendrogram::labelFieldWidth(&shortLabels), 5);
  const std::vector<std::string> twelve = {"a", "twelve chars"};
  EXPECT_EQ(Dendrogram::labelFieldWidth(&twelve), 12);
  const std::vector<std::string> accented = {"Z\xC3\xBCrich-Oerlikon"};  // 15 characters, 16 bytes
  EXPECT_EQ(Dendrogram::labelFieldWidth(&accented), 15);
  const std::vector<std::string> longer = {"a", "a label of twenty-five ch"};
  EXPECT_EQ(Dendrogram::labelFieldWidth(&longer), 20);
}

TEST(DendrogramText, LabelsAreEscapedForRichText) {
  EXPECT_EQ(rtfEscaped("a{b}\\c"), "a\\{b\\}\\\\c");
  EXPECT_EQ(rtfEscaped("Z\xC3\xBCrich"), "Z\\u252?rich");
  EXPECT_EQ(rtfEscaped("\xE2\x82\xAC"), "\\u8364?");
  EXPECT_EQ(rtfEscaped("\xF0\x9F\x98\x80"), "\\u-10179?\\u-8704?");  // a surrogate pair
  EXPECT_EQ(rtfEscaped("tab\there"), "tab here");
  EXPECT_EQ(rtfEscaped("\xE2\x82x"), "\\u-3?x");  // a cut sequence is one U+FFFD
}

TEST(DendrogramText, TwoObjectsWithoutLabels) {
  const Dendrogram d(twoObjects);
  expectGolden("dendrogram-two-objects.rtf", paragraphsOnLines(d.richText("Single Linkage", nullptr)));
}

TEST(DendrogramText, SharedColumnWithShortLabels) {
  const std::vector<std::string> labels = {"one", "two", "three", "four", "five"};
  const Dendrogram d(sameColumn);
  expectGolden("dendrogram-same-column.rtf", paragraphsOnLines(d.richText("Single Linkage", &labels)));
}

TEST(DendrogramText, SimilaritiesWithoutLabels) {
  const Dendrogram d(similarities);
  expectGolden("dendrogram-similarities.rtf", paragraphsOnLines(d.richText("Average Linkage (Between Groups)", nullptr)));
}

TEST(DendrogramText, LabelsLongerThanTwentyCharactersWidenOnlyTheirLine) {
  const std::vector<std::string> labels = {"fifteen letters", "a label of twenty-five ch", "x"};
  const Dendrogram d(similarities);
  const std::string rtf = d.richText("Ward Linkage", &labels);
  expectGolden("dendrogram-long-labels.rtf", paragraphsOnLines(rtf));
  // The label field is 20 wide: the long label's line is 5 characters longer.
  EXPECT_NE(rtf.find("  fifteen letters         1   \\f1"), std::string::npos);
  EXPECT_NE(rtf.find("  a label of twenty-five ch    2   \\f1"), std::string::npos);
  EXPECT_NE(rtf.find("  x                       3   \\f1"), std::string::npos);
}

TEST(DendrogramText, AFailedWalkShowsEmptyRowsNumberedZero) {
  const Dendrogram d({{0, 1, 1.0, -1, -1, 1}, {0, 2, 2.0, 0, 4, -1}});
  const std::vector<std::string> labels = {"p", "q", "r"};
  const std::string rtf = d.richText("Centroid Linkage", &labels);
  expectGolden("dendrogram-walk-failure.rtf", paragraphsOnLines(rtf));
  std::string emptyRow = "\\par            0   \\f1";
  for (int c = 0; c < Dendrogram::gridColumns; ++c) emptyRow += "\\f0   \\f1";
  EXPECT_NE(rtf.find(emptyRow + "\\f0\\par \\par }"), std::string::npos);
}

// ---------------------------------------------------------- document items

class DendrogramItemTest : public PackageOutputTest {};

TEST_F(DendrogramItemTest, TheDrawingGoesIntoATextItemSizedToTheObjects) {
  auto clustered = cluster(*ClusterMethodFactory::getCompleteLinkage(), 5, {1, 2, 2, 2, 2, 1, 3, 3, 2, 2}, 1, 7,
                           {"a", "b", "c", "d", "e"});
  Of::writeDendrogram(doc(), *ClusterMethodFactory::getCompleteLinkage(), clustered.matrix(), clustered.solution());
  ASSERT_EQ(addedItems(), 1u);
  const spss::OutputItem& written = item(1);
  EXPECT_EQ(written.kind, spss::ItemKind::title);
  EXPECT_EQ(written.label, "Dendrogram");
  EXPECT_EQ(written.text, "");
  EXPECT_EQ(written.height, 20 * (5 + 10));
  EXPECT_EQ(written.width, 800);
  EXPECT_FALSE(written.active);
  EXPECT_TRUE(written.richTextReadable);
  const std::vector<std::string> labels = {"a", "b", "c", "d", "e"};
  const Dendrogram expected(Dendrogram::scheduleOf(clustered.solution()));
  ASSERT_TRUE(written.richText.has_value());
  EXPECT_EQ(*written.richText, expected.richText("Complete Linkage", &labels));
  EXPECT_NE(written.richText->find(" Dendrogram using Complete Linkage\\par "), std::string::npos);
}

TEST_F(DendrogramItemTest, WithoutObjectLabelsTheLabelFieldsAreBlank) {
  auto clustered = cluster(*ClusterMethodFactory::getWard(), 2, {4.0});
  Of::writeDendrogram(doc(), *ClusterMethodFactory::getWard(), clustered.matrix(), clustered.solution());
  const std::string& rtf = *item(1).richText;
  // Two blanks, one blank padded to five, the number in five.
  EXPECT_NE(rtf.find("\\par \\par " + std::string(11, ' ') + "1   \\f1\\'f2\\'f8"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\f0\\par " + std::string(11, ' ') + "2   \\f1\\'f2\\'f7"), std::string::npos) << rtf;
}

TEST_F(DendrogramItemTest, AFailedWalkIsReportedBeforeTheDrawing) {
  const Dendrogram broken({{0, 1, 1.0, -1, -1, 1}, {0, 2, 2.0, 0, 4, -1}});
  Of::writeDendrogram(doc(), "Median Linkage", nullptr, broken);
  ASSERT_EQ(addedItems(), 2u);
  EXPECT_EQ(item(1).kind, spss::ItemKind::title);
  EXPECT_EQ(item(1).label, "Error");
  EXPECT_EQ(item(1).richText, Of::rtfText("Error: Could not backtrack to the root of the dendrogram"));
  EXPECT_FALSE(item(1).active);
  EXPECT_EQ(item(2).label, "Dendrogram");
  EXPECT_EQ(item(2).richText, broken.richText("Median Linkage", nullptr));
  EXPECT_EQ(item(2).height, 20 * (3 + 10));
}

TEST_F(DendrogramItemTest, ASolutionOfOneObjectWritesNothing) {
  auto clustered = cluster(*ClusterMethodFactory::getWard(), 1, {});
  Of::writeDendrogram(doc(), *ClusterMethodFactory::getWard(), clustered.matrix(), clustered.solution());
  EXPECT_EQ(addedItems(), 0u);
}

}  // namespace
}  // namespace korvana::testing
