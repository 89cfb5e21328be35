// The drawings saved as standalone SVG files: named by place and heading,
// each a document Chromium parses and draws; an earlier run's drawings go,
// other files stay.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "HeadlessChromium.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/GraphicFiles.h"

namespace korvana::spss {
namespace {

namespace fs = std::filesystem;

void add(DocumentModel& document, ItemKind kind, const std::string& label, int level, const std::string& svg = {}) {
  OutputItem item;
  item.kind = kind;
  item.label = label;
  item.svg = svg;
  const std::size_t index = document.insert(std::move(item));
  document.item(index).level = level;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(GraphicFiles, EachDrawingStandsAloneUnderItsHeading) {
  DocumentModel document;
  const std::string curve = R"(<svg class="curve" width="200" height="100" viewBox="0 0 200 100" )"
                            R"(font-family="Arial, sans-serif"><text x="10" y="50">A &amp; B</text></svg>)";
  add(document, ItemKind::heading, "Average Linkage (Between Groups)", 2);
  add(document, ItemKind::graphic, "Best Fit", 3, curve);
  add(document, ItemKind::heading, "Multiple Hierarchies", 3);
  add(document, ItemKind::heading, "Hierarchy 2", 4);
  add(document, ItemKind::graphic, "Dendrogram", 5,
      R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10" viewBox="0 0 10 10"/>)");
  const std::vector<GraphicFile> files = standaloneGraphics(document);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].name, "01-best-fit.svg");
  EXPECT_EQ(files[1].name, "02-hierarchy-2-dendrogram.svg");
  EXPECT_EQ(files[1].title, "Hierarchy 2: Dendrogram");
  EXPECT_EQ(files[1].content.rfind("<?xml version=\"1.0\"", 0), 0u);
  EXPECT_NE(files[1].content.find("viewBox=\"0 0 10 10\"><title>Hierarchy 2: Dendrogram</title></svg>"),
            std::string::npos)
      << files[1].content;
  EXPECT_NE(files[0].content.find("<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"curve\""), std::string::npos);

  char pattern[] = "/tmp/korvana-graphics-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const fs::path folder = fs::path(pattern) / "drawings";
  fs::create_directories(folder);
  // An earlier run's third drawing, and a file of the user's named alike.
  std::ofstream(folder / "03-consensus-tree.svg") << files[0].content;
  std::ofstream(folder / "04-mine.svg") << "<svg/>";
  const auto written = saveGraphics(document, folder);
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(readFile(written[0]), files[0].content);
  EXPECT_FALSE(fs::exists(folder / "03-consensus-tree.svg"));
  EXPECT_TRUE(fs::exists(folder / "04-mine.svg"));

  const std::string chromium = testing::findChromium();
  if (chromium.empty()) {
    fs::remove_all(pattern);
    GTEST_SKIP() << "chromium is not installed (apt-get install chromium)";
  }
  // Parsed as XML and drawn: the text is in the DOM, no parser error page.
  int status = -1;
  const std::string dom = testing::runChromium(chromium, pattern, "profile", "--dump-dom", written[0], &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(dom.find("A &amp; B"), std::string::npos) << dom;
  EXPECT_NE(dom.find("<title>Best Fit</title>"), std::string::npos) << dom;
  EXPECT_EQ(dom.find("parsererror"), std::string::npos) << dom;
  fs::remove_all(pattern);
}

}  // namespace
}  // namespace korvana::spss
