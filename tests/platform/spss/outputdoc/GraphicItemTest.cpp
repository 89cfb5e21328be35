// The graphic item: which texts InsertGraphic takes, and how the three
// renderings show what it took.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/HtmlRenderer.h"
#include "platform/spss/outputdoc/JsonRenderer.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "platform/spss/outputdoc/TextRenderer.h"

namespace korvana::spss {
namespace {

using namespace korvana::automation;

struct SvgCase {
  const char* why;
  std::string svg;
  bool taken;
};

const std::vector<SvgCase> svgCases = {
    {"empty element", "<svg/>", true},
    {"white space around, attributes in both quotes, references, comment, processing instruction",
     " \n<svg xmlns=\"http://www.w3.org/2000/svg\" width='4'><g class=\"a\"><rect x=\"0\" /></g>"
     "<text>a &lt; b &#60; &#x3C;</text><!-- a < note --><?pi x?></svg>\n",
     true},
    {"CDATA may hold markup characters", "<svg><style><![CDATA[ a > b { } <]]></style></svg>", true},
    {"empty text", "", false},
    {"white space only", " \t\n", false},
    {"plain text", "a tree", false},
    {"another element", "<div></div>", false},
    {"name differs in case", "<SVG></SVG>", false},
    {"longer name", "<svgx></svgx>", false},
    {"longer name, closed at once", "<svgx/>", false},
    {"never closed", "<svg>", false},
    {"child never closed", "<svg><g></svg>", false},
    {"crossed tags", "<svg><g><a></g></a></svg>", false},
    {"text after the element", "<svg></svg>tail", false},
    {"a second element", "<svg/><svg/>", false},
    {"comment before the element", "<!-- c --><svg/>", false},
    {"declaration before the element", "<?xml version=\"1.0\"?><svg/>", false},
    {"unquoted attribute", "<svg width=4></svg>", false},
    {"attributes not separated", "<svg a=\"1\"b=\"2\"/>", false},
    {"'<' in an attribute value", "<svg a=\"<\"/>", false},
    {"'<' in text", "<svg>a < b</svg>", false},
    {"'&' that is no reference", "<svg>a & b</svg>", false},
    {"reference without ';'", "<svg>&amp</svg>", false},
    {"comment never closed", "<svg><!-- x </svg>", false},
    {"document type", "<svg><!DOCTYPE svg></svg>", false},
};

TEST(GraphicItem, InsertTakesOneWellFormedSvgElementAndRefusesEverythingElse) {
  for (const SvgCase& c : svgCases) {
    SCOPED_TRACE(c.why);
    auto doc = OutputDocument::create();
    std::int32_t index = -7;
    const HRESULT result = doc->InsertGraphic("Tree", c.svg, &index);
    if (c.taken) {
      ASSERT_EQ(result, S_OK);
      EXPECT_EQ(index, 1);
      ASSERT_EQ(doc->model().count(), 2u);
      EXPECT_EQ(doc->model().item(1).kind, ItemKind::graphic);
      EXPECT_EQ(doc->model().item(1).svg, c.svg) << "kept as it was given";
    } else {
      EXPECT_EQ(result, E_INVALIDARG);
      EXPECT_EQ(index, -7) << "the out value is left as it was";
      EXPECT_EQ(doc->model().count(), 1u) << "nothing is inserted";
    }
  }
  auto doc = OutputDocument::create();
  EXPECT_EQ(doc->InsertGraphic("Tree", "<svg/>", nullptr), E_POINTER);
}

TEST(GraphicItem, TakesItsLevelAsTitlesDo) {
  auto doc = OutputDocument::create();
  std::int32_t index = 0;
  ASSERT_EQ(doc->InsertHeading("Solution", &index), S_OK);
  ASSERT_EQ(doc->InsertGraphic("Tree", "<svg/>", &index), S_OK);
  ASSERT_EQ(doc->InsertGraphic("Curve", "<svg/>", &index), S_OK);
  EXPECT_EQ(index, 3);
  EXPECT_EQ(doc->model().item(2).level, 3) << "one below the heading before it";
  EXPECT_EQ(doc->model().item(3).level, 3) << "beside the graphic before it";
}

// A graphic between two titles, with markup characters that are already
// escaped inside the SVG and must reach each rendering as they are.
TEST(GraphicItem, EachRenderingShowsTheGraphicInItsOwnWay) {
  const std::string svg = "<svg width=\"20\" height=\"10\"><text class=\"leaf\">a &lt; b &amp; c</text></svg>";
  auto doc = OutputDocument::create();
  std::int32_t index = 0;
  ASSERT_EQ(doc->InsertTitle("Title", "Before", &index), S_OK);
  ASSERT_EQ(doc->InsertGraphic("Tree <1>", svg, &index), S_OK);
  ASSERT_EQ(doc->InsertTitle("Title", "After", &index), S_OK);

  struct Rendering {
    const char* name;
    std::string text;
    std::vector<std::string> expected;  // fragments, in this order
  };
  const std::vector<Rendering> renderings = {
      {"text",
       renderText(doc->model()),
       {"Before\n\nAfter\n"}},  // a drawing has no text form
      {"html",
       renderHtml(doc->model()),
       {"<li class=\"outline-item kind-graphic\" data-level=\"2\"", "<a href=\"#item-2\">Tree &lt;1&gt;</a></li>",
        "<section class=\"item item-graphic\" id=\"item-2\" data-level=\"2\" style=\"margin-left:16px\">"
        "<div class=\"item-body\"><div class=\"graphic\">" + svg + "</div></div></section>"}},
      {"json",
       renderJson(doc->model()),
       {"      \"kind\": \"graphic\",\n      \"label\": \"Tree <1>\",\n      \"level\": 2,\n      \"svg\": " +
            nlohmann::json(svg).dump() + ",\n      \"visible\": true,"}},
  };
  for (const Rendering& r : renderings) {
    SCOPED_TRACE(r.name);
    std::size_t at = 0;
    for (const std::string& fragment : r.expected) {
      const std::size_t found = r.text.find(fragment, at);
      ASSERT_NE(found, std::string::npos) << "missing or out of order: " << fragment << "\nin\n" << r.text;
      at = found + fragment.size();
    }
  }
  // The streamed JSON keeps the whole document's dump layout.
  EXPECT_EQ(renderJson(doc->model()), documentJson(doc->model()).dump(2) + "\n");
}

}  // namespace
}  // namespace korvana::spss
