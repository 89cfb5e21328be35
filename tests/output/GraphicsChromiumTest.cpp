// The graphics in the saved HTML page, opened in headless Chromium: a probe
// appended to the page counts, in the DOM the browser built, the SVG elements
// of a 12-object tree with its support labels and of the curve of distinct
// solutions, and measures that each was laid out with a size. Set
// KORVANA_SCREENSHOT_DIR to keep a screenshot of the page.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "HeadlessChromium.h"
#include "OutputTestSupport.h"
#include "engine/ClusterMethodFactory.h"
#include "output/DendrogramSvg.h"
#include "output/OutputFactory.h"
#include "output/OutputGraphics.h"

namespace korvana::testing {
namespace {

namespace fs = std::filesystem;

// Reads the page's DOM after it was laid out, into <pre id="probe"> as JSON.
constexpr const char* probe = R"(<pre id="probe"></pre><script>
const svgNs = "http://www.w3.org/2000/svg";
const all = (selector) => Array.from(document.querySelectorAll(selector));
const drawn = (elements) => elements.filter((e) => e.namespaceURI === svgNs && e.getBBox().width > 0).length;
const tree = document.querySelector("svg.dendrogram");
document.getElementById("probe").textContent = JSON.stringify({
  trees: all("svg.dendrogram").length,
  leaves: all("svg.dendrogram text.leaf").length,
  leavesDrawn: drawn(all("svg.dendrogram text.leaf")),
  leafOrder: all("svg.dendrogram text.leaf").map((e) => e.textContent),
  nodes: all("svg.dendrogram path.node").length,
  nodesDrawn: drawn(all("svg.dendrogram path.node")),
  supports: all("svg.dendrogram text.support").length,
  supportsDrawn: drawn(all("svg.dendrogram text.support")),
  curves: all("svg.distinct-solutions polyline.curve").length,
  curveVertices: all("svg.distinct-solutions polyline.curve").map((e) => e.points.numberOfItems),
  curvesDrawn: drawn(all("svg.distinct-solutions polyline.curve")),
  treeHeight: tree ? tree.getBoundingClientRect().height : 0,
  treeInOpenFold: !!(tree && tree.closest("details.fold[open]")),
});
</script>
)";

TEST(GraphicsChromium, TheTreeAndTheCurveAreDrawnElementByElement) {
  const std::string chromium = findChromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed (apt-get install chromium)";
  std::string pattern = (fs::temp_directory_path() / "korvana-graphics-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;

  // Twelve objects on a line, ties and all; the support values are made up.
  constexpr int n = 12;
  std::vector<double> lower;
  std::vector<std::string> names;
  for (int i = 0; i < n; ++i) {
    names.push_back("object " + std::to_string(i + 1));
    for (int j = 0; j < i; ++j) lower.push_back(std::floor((i - j + 1) / 2.0));
  }
  if (!ClusterMethodFactory::getWard()) ClusterMethodFactory::createClusterMethods();
  const ClusteredMatrix run = cluster(*ClusterMethodFactory::getAverageLinkageBetweenGroups(), n, lower, 1, 7, names);
  std::vector<int> support;
  for (int t = 0; t < n - 1; ++t) support.push_back(99 - 9 * t);
  std::vector<int> allSeen;
  std::vector<int> bestSeen;
  std::vector<int> hierarchiesSeen;
  const std::vector<int> oneHierarchy(2500, 1);
  for (int k = 0; k < 2500; ++k) {
    allSeen.push_back(1 + k / 40);
    bestSeen.push_back(1 + k / 600);
    hierarchiesSeen.push_back(1 + k / 200);
  }

  auto doc = spss::OutputDocument::create();
  OutputFactory::insertHeading(doc.get(), "Solution 1");
  ASSERT_GE(OutputGraphics::writeGraphic(doc.get(), "Tree", dendrogramSvg(run.solution(), run.matrix(), &support)), 0);
  ASSERT_GE(OutputGraphics::writeGraphic(doc.get(), "Distinct Solutions", distinctSolutionsCurveSvg(allSeen, bestSeen, &hierarchiesSeen, &oneHierarchy)),
            0);
  doc->setSaveLocation(dir / "output");
  doc->save();
  std::stringstream page;
  page << std::ifstream(dir / "output.html").rdbuf();
  std::string html = page.str();
  const std::size_t end = html.rfind("</body>");
  ASSERT_NE(end, std::string::npos);
  html.insert(end, probe);
  std::ofstream(dir / "probed.html") << html;

  int status = 0;
  const std::string dom = runChromium(chromium, dir, "profile-dom", "--dump-dom", dir / "probed.html", &status);
  ASSERT_EQ(status, 0) << "chromium failed; see its log in " << dir;
  std::smatch found;
  ASSERT_TRUE(std::regex_search(dom, found, std::regex("<pre id=\"probe\">([^<]*)</pre>"))) << dom.substr(0, 2000);
  std::string text = found[1].str();
  for (const auto& [escaped, character] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
    for (std::size_t at = text.find(escaped); at != std::string::npos; at = text.find(escaped, at + 1))
      text.replace(at, std::string(escaped).size(), character);
  const nlohmann::json counts = nlohmann::json::parse(text);

  EXPECT_EQ(counts.at("trees"), 1);
  EXPECT_EQ(counts.at("leaves"), n);
  EXPECT_EQ(counts.at("leavesDrawn"), n);
  EXPECT_EQ(counts.at("nodes"), n - 1);
  EXPECT_EQ(counts.at("nodesDrawn"), n - 1);
  EXPECT_EQ(counts.at("supports"), n - 1);
  EXPECT_EQ(counts.at("supportsDrawn"), n - 1);
  EXPECT_EQ(counts.at("curves"), 4);
  EXPECT_EQ(counts.at("curvesDrawn"), 4);
  for (const auto& vertices : counts.at("curveVertices")) {
    EXPECT_GT(vertices.get<int>(), 100);
    EXPECT_LE(vertices.get<std::size_t>(), maxCurveVertices);
  }
  EXPECT_GE(counts.at("treeHeight").get<double>(), 16.0 * n) << "a row per object";
  EXPECT_TRUE(counts.at("treeInOpenFold").get<bool>());
  const Dendrogram rows(Dendrogram::scheduleOf(run.solution()));
  std::vector<std::string> order;
  for (int r = 0; r < n; ++r) order.push_back(names[static_cast<std::size_t>(rows.objectAtRow(r))]);
  EXPECT_EQ(counts.at("leafOrder").get<std::vector<std::string>>(), order);

  if (const char* keep = std::getenv("KORVANA_SCREENSHOT_DIR")) {
    runChromium(chromium, dir, "profile-shot",
                "--hide-scrollbars --window-size=1200,1000 --screenshot='" + (fs::path(keep) / "graphics.png").string() +
                    "'",
                dir / "output.html", &status);
    EXPECT_EQ(status, 0);
  }
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

}  // namespace
}  // namespace korvana::testing
