// The HTML page opened in headless Chromium: the rendered DOM holds the
// outline, a table's labels and cells, a footnote and the dendrogram, and a
// screenshot is taken. Set KORVANA_SCREENSHOT_DIR to keep the screenshot.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "ExampleOutput.h"
#include "HeadlessChromium.h"
#include "platform/spss/outputdoc/DocumentFiles.h"
#include "platform/spss/outputdoc/OutputDocument.h"

namespace korvana::spss {
namespace {

namespace fs = std::filesystem;
using korvana::testing::findChromium;

class ChromiumRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    chromium = findChromium();
    if (chromium.empty()) GTEST_SKIP() << "chromium is not installed (apt-get install chromium)";
    std::string pattern = (fs::temp_directory_path() / "korvana-chromium-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    auto doc = OutputDocument::create();
    example::writeExampleOutput(*doc);
    doc->setSaveLocation(dir / "output");
    doc->save();
  }
  void TearDown() override {
    std::error_code ignored;
    if (!dir.empty()) fs::remove_all(dir, ignored);
  }
  std::string run(const std::string& profile, const std::string& arguments, int* status) const {
    return korvana::testing::runChromium(chromium, dir, profile, arguments, dir / "output.html", status);
  }

  std::string chromium;
  fs::path dir;
};

TEST_F(ChromiumRenderTest, RenderedDomHoldsOutlineTablesFootnoteAndDendrogram) {
  int status = 0;
  const std::string dom = run("profile-dom", "--dump-dom", &status);
  ASSERT_EQ(status, 0) << "chromium failed; see its log";
  ASSERT_FALSE(dom.empty());
  // Chromium serializes the DOM it built, not the file: these are parsed elements.
  EXPECT_NE(dom.find("<nav id=\"outline\">"), std::string::npos);
  EXPECT_TRUE(std::regex_search(dom, std::regex("<li class=\"outline-item kind-heading selected\" data-level=\"1\"[^>]*>"
                                                "<span class=\"kind-icon\">[^<]*</span><a href=\"#item-1\">Korvana</a>")));
  EXPECT_TRUE(std::regex_search(dom, std::regex("<li class=\"outline-item kind-title\" data-level=\"4\"[^>]*>"
                                                "<span class=\"kind-icon\">T</span><a href=\"#item-12\">Dendrogram</a>")));
  EXPECT_NE(dom.find("<th class=\"outer column-label\" colspan=\"5\">Fit</th>"), std::string::npos);
  EXPECT_NE(dom.find(">Cophenetic Correlation</th>"), std::string::npos);
  EXPECT_NE(dom.find(">0.931250</td>"), std::string::npos);
  EXPECT_NE(dom.find(">1.40E+01</td>"), std::string::npos);
  EXPECT_NE(dom.find(" 1<sup class=\"footnote-marker\">a</sup></th>"), std::string::npos);
  EXPECT_NE(dom.find("</sup> Identity permutation</div>"), std::string::npos);
  EXPECT_NE(dom.find("<details class=\"hidden-item\"><summary>Notes (hidden)</summary>"), std::string::npos);
  EXPECT_NE(dom.find("<pre class=\"rich-text has-glyphs\">"), std::string::npos);
  EXPECT_NE(dom.find("<span class=\"glyphs\" style=\"font-size:10pt;\">─┬───"), std::string::npos);
}

TEST_F(ChromiumRenderTest, ScreenshotIsTaken) {
  const fs::path shot = dir / "output.png";
  int status = 0;
  run("profile-shot", "--hide-scrollbars --window-size=1200,900 --screenshot='" + shot.string() + "'", &status);
  ASSERT_EQ(status, 0) << "chromium failed; see its log";
  ASSERT_TRUE(fs::exists(shot));
  std::ifstream in(shot, std::ios::binary);
  std::array<unsigned char, 24> head{};
  in.read(reinterpret_cast<char*>(head.data()), head.size());
  const std::array<unsigned char, 8> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_TRUE(std::equal(signature.begin(), signature.end(), head.begin())) << "not a PNG file";
  const auto be32 = [&](std::size_t at) {
    return (std::uint32_t{head[at]} << 24) | (std::uint32_t{head[at + 1]} << 16) | (std::uint32_t{head[at + 2]} << 8) |
           head[at + 3];
  };
  EXPECT_EQ(be32(16), 1200u) << "width";
  EXPECT_EQ(be32(20), 900u) << "height";
  if (const char* keep = std::getenv("KORVANA_SCREENSHOT_DIR"))
    fs::copy_file(shot, fs::path(keep) / "output-document.png", fs::copy_options::overwrite_existing);
}

}  // namespace
}  // namespace korvana::spss
