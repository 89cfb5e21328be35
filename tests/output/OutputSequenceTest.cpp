// The whole output of an analysis of five objects with ties, written in the
// run's order into the package's output document: the outline with its
// levels, and the plain-text and JSON renderings compared with golden files
// checked by hand; the HTML rendering draws each dendrogram as a tree.
#include <gtest/gtest.h>

#include <regex>

#include "AnalysisOutputExample.h"
#include "OutputTestSupport.h"
#include "engine/ClusterMethodFactory.h"
#include "output/OutputFactory.h"
#include "output/Verdict.h"
#include "platform/spss/outputdoc/HtmlRenderer.h"
#include "platform/spss/outputdoc/JsonRenderer.h"
#include "platform/spss/outputdoc/TextRenderer.h"

namespace korvana::testing {
namespace {

class OutputSequenceTest : public PackageOutputTest {
 protected:
  // The Notes table's creation time is the one value that changes per run.
  void fixCreationTime() {
    for (std::size_t i = 0; i < model().count(); ++i) {
      spss::OutputItem& found = model().item(i);
      if (found.label == "Notes" && found.table) found.table->cell(0, 0).value = "(date and time)";
    }
  }

  std::vector<std::string> outline() const {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < model().count(); ++i) {
      const spss::OutputItem& found = model().item(i);
      const std::string shown = found.kind == spss::ItemKind::title && found.text.size() ? found.text : found.label;
      lines.push_back(std::to_string(found.level) + " " + std::string(spss::itemKindName(found.kind)) + " " + shown);
    }
    return lines;
  }
};

TEST_F(OutputSequenceTest, SeveralSolutionsStandNumberedUnderMultipleSolutions) {
  auto analysis = analyzeTiedFiveObjects(*ClusterMethodFactory::getSingleLinkage());
  ASSERT_EQ(analysis->getSolutions().size(), 2u);
  writeAnalysisOutput(doc(), *analysis, "/data/ties.sav");
  EXPECT_TRUE(boxes_.shown().empty());
  const std::vector<std::string> expected = {
      "1 heading Output",
      "1 heading Korvana",
      "2 title Korvana",
      "2 table Credit",
      "2 table Notes",
      "2 heading Single Linkage",
      "3 title Single Linkage",
      "3 table Start Seed",
      "3 table Permutation Fit",
      "3 heading Multiple Solutions",
      "4 title Multiple Solutions",
      "4 heading Solution 1",
      "5 title Solution 1",
      "5 table Fit",
      "5 table Object Order",
      "5 table Agglomeration Schedule",
      "5 title Dendrogram",
      "5 title Dendrogram",
      "5 graphic Dendrogram",
      "4 heading Solution 2",
      "5 title Solution 2",
      "5 table Fit",
      "5 table Object Order",
      "5 table Agglomeration Schedule",
      "5 title Dendrogram",
      "5 title Dendrogram",
      "5 graphic Dendrogram",
  };
  EXPECT_EQ(outline(), expected);
  fixCreationTime();
  expectGolden("analysis-multiple-solutions.txt", spss::renderText(model()));
  expectGolden("analysis-multiple-solutions.json", spss::renderJson(model()));
}

// The verdict and support tables of the tied five objects: their layout is
// the golden file's; the shares themselves are checked against brute force
// elsewhere.
TEST_F(OutputSequenceTest, TheSupportTablesShowTheAccountingAndEachStage) {
  auto analysis = analyzeTiedFiveObjects(*ClusterMethodFactory::getSingleLinkage(), true);
  ASSERT_TRUE(analysis->getSupportReport());
  const SupportReport& report = *analysis->getSupportReport();
  OutputFactory::writeVerdict(doc(), verdictText(report));
  OutputFactory::writeDistinctSolutionsTable(doc(), report);
  OutputFactory::writeConsensusTable(doc(), report.consensusAll, report.hierarchiesAll.permutations, false);
  for (std::size_t k = 0; k < analysis->getSolutions().size(); ++k)
    OutputFactory::writeClusterSupportTable(doc(), *analysis->getSolutions()[k], report.hierarchySupport[k],
                                            report.folded[k]);
  EXPECT_TRUE(boxes_.shown().empty());
  expectGolden("support-tables.txt", spss::renderText(model()));
}

TEST_F(OutputSequenceTest, OneSolutionStandsUnnumberedAfterTheWarning) {
  auto analysis = analyzeTiedFiveObjects(*ClusterMethodFactory::getWard());
  ASSERT_EQ(analysis->getSolutions().size(), 1u);
  writeAnalysisOutput(doc(), *analysis, "/data/ties.sav");
  const std::vector<std::string> expected = {
      "1 heading Output",
      "1 heading Korvana",
      "2 title Korvana",
      "2 table Credit",
      "2 table Notes",
      "2 heading Ward Linkage",
      "3 title Ward Linkage",
      "3 table Warning",
      "3 table Start Seed",
      "3 table Permutation Fit",
      "3 heading Solution",
      "4 title Solution",
      "4 table Fit",
      "4 table Object Order",
      "4 table Agglomeration Schedule",
      "4 title Dendrogram",
      "4 title Dendrogram",
      "4 graphic Dendrogram",
  };
  EXPECT_EQ(outline(), expected);
  fixCreationTime();
  expectGolden("analysis-single-solution.txt", spss::renderText(model()));
  expectGolden("analysis-single-solution.json", spss::renderJson(model()));
}

// The text of every dendrogram block of the page, tags removed.
std::vector<std::vector<std::string>> dendrogramBlocks(const std::string& html) {
  std::vector<std::vector<std::string>> blocks;
  const std::string open = "<pre class=\"rich-text has-glyphs\">";
  for (std::size_t at = html.find(open); at != std::string::npos; at = html.find(open, at + 1)) {
    const std::size_t end = html.find("</pre>", at);
    std::string text = std::regex_replace(html.substr(at + open.size(), end - at - open.size()), std::regex("<[^>]*>"), "");
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
      lines.push_back(text.substr(start, nl - start));
    blocks.push_back(lines);
  }
  return blocks;
}

std::string times(const std::string& text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

TEST_F(OutputSequenceTest, TheHtmlPageDrawsEachDendrogramAsATree) {
  auto analysis = analyzeTiedFiveObjects(*ClusterMethodFactory::getSingleLinkage());
  writeAnalysisOutput(doc(), *analysis, "/data/ties.sav");
  const std::string html = spss::renderHtml(model());
  const auto blocks = dendrogramBlocks(html);
  ASSERT_EQ(blocks.size(), 2u);
  for (const auto& lines : blocks) {
    ASSERT_GE(lines.size(), 15u);
    EXPECT_EQ(lines[0], "* * * * * * H I E R A R C H I C A L  C L U S T E R   A N A L Y S I S * * * * * *");
    EXPECT_EQ(lines[3], " Dendrogram using Single Linkage");
    EXPECT_EQ(lines[7], "    C A S E     0         5        10        15        20        25");
    EXPECT_EQ(lines[8], "  Label    Num  +---------+---------+---------+---------+---------+");
  }
  // Solution 1: (3,4) and (1,2) at 1, then (3,4) with 5 and last (1,2) with
  // that cluster, both at 2: one vertical line joins all three in the last
  // column. Solution 2: (3,4) and (1,2) at 1, the two pairs at 2, then 5 at 2.
  const std::vector<std::string> first = {
      "  charlie    3   ─┬" + times("──", 23) + "─┐",
      "  delta      4   ─┘" + times("  ", 23) + " │",
      "  echo       5   " + times("──", 24) + "─┤",
      "  alpha      1   ─┬" + times("──", 23) + "─┘",
      "  bravo      2   ─┘" + times("  ", 24),
  };
  const std::vector<std::string> second = {
      "  charlie    3   ─┬" + times("──", 23) + "─┐",
      "  delta      4   ─┘" + times("  ", 23) + " │",
      "  alpha      1   ─┬" + times("──", 23) + "─┤",
      "  bravo      2   ─┘" + times("  ", 23) + " │",
      "  echo       5   " + times("──", 24) + "─┘",
  };
  // Rows 10 to 14: after the scale and one blank line.
  EXPECT_EQ(std::vector<std::string>(blocks[0].begin() + 10, blocks[0].begin() + 15), first);
  EXPECT_EQ(std::vector<std::string>(blocks[1].begin() + 10, blocks[1].begin() + 15), second);
  // The glyphs are drawn in their own spans, the labels in Courier New.
  EXPECT_NE(html.find("<span class=\"glyphs\""), std::string::npos);
}

}  // namespace
}  // namespace korvana::testing
