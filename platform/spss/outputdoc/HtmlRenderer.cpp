#include "platform/spss/outputdoc/HtmlRenderer.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/MarkupText.h"
#include "platform/spss/outputdoc/CellText.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/RtfDocument.h"
#include "platform/spss/outputdoc/TableLayout.h"

namespace korvana::spss {

namespace {

constexpr const char* pageStyle = R"css(
* { box-sizing: border-box; }
body { margin: 0; display: flex; font-family: Arial, "Liberation Sans", "DejaVu Sans", sans-serif; font-size: 10pt; color: #000; background: #fff; }
#outline { width: 260px; flex: none; height: 100vh; position: sticky; top: 0; overflow: auto; border-right: 1px solid #b8b8b8; background: #f4f4f4; padding: 8px 4px; }
#outline ul { list-style: none; margin: 0; padding: 0; }
#outline li { white-space: nowrap; padding: 1px 0; }
#outline a { color: #000; text-decoration: none; }
#outline a:hover { text-decoration: underline; }
#outline .kind-icon { display: inline-block; width: 1.3em; color: #555; }
#outline .hidden-item a { color: #888; font-style: italic; }
#content { flex: 1; padding: 12px 20px; overflow: auto; }
.item { margin: 6px 0 14px 0; }
.heading { margin: 10px 0 4px 0; font-weight: bold; }
.title { font-size: 13pt; font-weight: bold; margin: 4px 0; }
details.hidden-item > summary { color: #666; font-style: italic; cursor: pointer; }
table.pivot { border-collapse: collapse; margin: 2px 0; }
table.pivot caption { caption-side: top; text-align: left; font-weight: bold; font-size: 11pt; padding: 2px 0 4px 0; }
table.pivot th, table.pivot td { border: 1px solid #c0c0c0; padding: 2px 6px; vertical-align: top; }
table.pivot th { background: #eef0f4; font-weight: normal; }
table.pivot th.outer { font-weight: bold; }
table.pivot td { white-space: pre-wrap; }
.footnotes { margin: 2px 0; font-size: 9pt; }
.footnote-marker { font-size: 75%; }
.table-caption { margin: 2px 0; font-size: 9pt; }
pre.rich-text, pre.raw-rtf, pre.package-text { margin: 0; font-family: "Courier New", "Liberation Mono", "DejaVu Sans Mono", monospace; line-height: 1.15; }
pre.package-text.error { color: #a00000; }
pre.package-text { white-space: pre-wrap; overflow-wrap: anywhere; }
.item-body { overflow: auto; padding-bottom: 3px; }
.graphic svg { display: block; }
details.fold > summary { display: block; list-style: none; cursor: pointer; }
details.fold > summary::-webkit-details-marker { display: none; }
details.fold > summary .heading::before { content: "\25BE"; position: absolute; margin: 0.38em 0 0 -14px; font-size: 60%; font-weight: normal; color: #777; }
details.fold:not([open]) > summary .heading::before { content: "\25B8"; }
)css";

std::string px(std::int32_t value) { return std::to_string(value) + "px"; }

std::string alignCss(std::int32_t alignment) {
  switch (alignment) {
    case 1: return "text-align:right;";
    case 2: return "text-align:center;";
    case 0: return "text-align:left;";
    default: return "";
  }
}

std::string kindIcon(ItemKind kind) {
  switch (kind) {
    case ItemKind::heading: return "\u25BE";
    case ItemKind::title: return "T";
    case ItemKind::table: return "\u25A6";
    case ItemKind::log: return "\u2261";
    case ItemKind::error: return "!";
    case ItemKind::graphic: return "\u25B3";
  }
  return "";
}

std::string markers(const PivotLabel& label) {
  std::string html;
  for (std::size_t f : label.footnotes)
    html += "<sup class=\"footnote-marker\">" + PivotTableModel::footnoteMarker(f) + "</sup>";
  return html;
}

std::string labelCell(const PivotLabel& label, const std::string& cls, std::int32_t rowSpan, std::int32_t colSpan) {
  std::string style = alignCss(label.alignment);
  if (label.style & 2) style += "font-weight:bold;";
  if (label.style & 1) style += "font-style:italic;";
  if (label.style & 4) style += "text-decoration:underline;";
  if (label.width) style += "min-width:" + px(*label.width) + ";";
  std::string html = "<th class=\"" + cls + "\"";
  if (rowSpan > 1) html += " rowspan=\"" + std::to_string(rowSpan) + "\"";
  if (colSpan > 1) html += " colspan=\"" + std::to_string(colSpan) + "\"";
  if (!style.empty()) html += " style=\"" + style + "\"";
  html += ">" + escapeMarkup(label.text) + markers(label) + "</th>";
  return html;
}

std::string colorCss(std::int32_t bgr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
  return buffer;
}

std::string tableHtml(const PivotTableModel& table) {
  const TableLayout layout = TableLayout::of(table);
  std::string html = "<table class=\"pivot\">";
  html += "<caption>" + escapeMarkup(table.title) + "</caption>";

  html += "<colgroup>";
  for (std::int32_t k = 0; k < 2; ++k) {
    if ((k == 0 && !layout.rowOuter) || (k == 1 && !layout.rowInner)) continue;
    std::int32_t width = 0;
    for (std::int32_t r = 0; r < table.rows(); ++r)
      width = std::max(width, table.label(LabelArray::rows, r, k).width.value_or(0));
    html += width > 0 ? "<col class=\"label-column\" style=\"width:" + px(width) + "\">" : "<col class=\"label-column\">";
  }
  for (std::int32_t c = 0; c < table.columns(); ++c) {
    const auto width = table.columnWidths[static_cast<std::size_t>(c)] ? table.columnWidths[static_cast<std::size_t>(c)]
                                                                       : table.dataCellWidth;
    html += width ? "<col class=\"data-column\" style=\"width:" + px(*width) + "\">" : "<col class=\"data-column\">";
  }
  html += "</colgroup>";

  if (layout.headerRows() > 0) {
    html += "<thead>";
    bool cornerDone = false;
    auto corner = [&]() {
      if (cornerDone || layout.labelColumns() == 0) return std::string();
      cornerDone = true;
      std::string c = "<th class=\"corner\"";
      if (layout.labelColumns() > 1) c += " colspan=\"" + std::to_string(layout.labelColumns()) + "\"";
      if (layout.headerRows() > 1) c += " rowspan=\"" + std::to_string(layout.headerRows()) + "\"";
      return c + "></th>";
    };
    if (layout.columnOuter) {
      html += "<tr>" + corner();
      for (std::int32_t c = 0; c < table.columns(); ++c) {
        const std::int32_t span = layout.columnOuterSpan[static_cast<std::size_t>(c)];
        if (span > 0) html += labelCell(table.label(LabelArray::columns, 0, c), "outer column-label", 1, span);
      }
      html += "</tr>";
    }
    if (layout.columnInner) {
      html += "<tr>" + corner();
      for (std::int32_t c = 0; c < table.columns(); ++c)
        html += labelCell(table.label(LabelArray::columns, 1, c), "column-label", 1, 1);
      html += "</tr>";
    }
    html += "</thead>";
  }

  html += "<tbody>";
  for (std::int32_t r = 0; r < table.rows(); ++r) {
    html += "<tr>";
    if (layout.rowOuter) {
      const std::int32_t span = layout.rowOuterSpan[static_cast<std::size_t>(r)];
      if (span > 0) html += labelCell(table.label(LabelArray::rows, r, 0), "outer row-label", span, 1);
    }
    if (layout.rowInner) html += labelCell(table.label(LabelArray::rows, r, 1), "row-label", 1, 1);
    for (std::int32_t c = 0; c < table.columns(); ++c) {
      const PivotCell& cell = table.cell(r, c);
      const std::string text = cellDisplayText(cell);
      std::int32_t alignment = cell.alignment;
      if (alignment < 0) alignment = readNumber(cell.value) ? 1 : 0;
      std::string style = alignCss(alignment);
      if (cell.color) style += "color:" + colorCss(*cell.color) + ";";
      if (cell.points) style += "font-size:" + std::to_string(*cell.points) + "pt;";
      html += "<td class=\"cell\" style=\"" + style + "\">" + (text.empty() ? "&nbsp;" : escapeMarkup(text)) + "</td>";
    }
    html += "</tr>";
  }
  html += "</tbody></table>";

  if (!table.footnotes.empty()) {
    html += "<div class=\"footnotes\">";
    for (std::size_t f = 0; f < table.footnotes.size(); ++f)
      html += "<div class=\"footnote\"><sup class=\"footnote-marker\">" + PivotTableModel::footnoteMarker(f) +
              "</sup> " + escapeMarkup(table.footnotes[f]) + "</div>";
    html += "</div>";
  }
  if (!table.caption.empty()) html += "<div class=\"table-caption\">" + escapeMarkup(table.caption) + "</div>";
  return html;
}

std::string fontFamilyCss(const RtfFont& font) {
  std::string generic = "sans-serif";
  if (font.fixedPitch())
    generic = "monospace";
  else if (font.family == "roman")
    generic = "serif";
  return "font-family:'" + escapeMarkup(font.name) + "'," + generic + ";";
}

std::string itemBody(const OutputItem& item) {
  switch (item.kind) {
    case ItemKind::heading: {
      const int h = std::clamp(item.level, 1, 6);
      return "<h" + std::to_string(h) + " class=\"heading\">" + escapeMarkup(item.label) + "</h" + std::to_string(h) + ">";
    }
    case ItemKind::table: return tableHtml(*item.table);
    // The program draws the graphic; it is placed as it is.
    case ItemKind::graphic: return item.svg.empty() ? "" : "<div class=\"graphic\">" + item.svg + "</div>";
    case ItemKind::title:
    case ItemKind::log:
    case ItemKind::error: {
      if (item.richText) {
        if (item.richTextReadable)
          if (auto rtf = RtfDocument::parse(*item.richText)) return richTextHtml(*rtf);
        return "<pre class=\"raw-rtf\">" + escapeMarkup(*item.richText) + "</pre>";
      }
      if (item.kind == ItemKind::title) return "<div class=\"title\">" + escapeMarkup(item.text) + "</div>";
      return std::string("<pre class=\"package-text") + (item.kind == ItemKind::error ? " error" : "") + "\">" +
             escapeMarkup(item.text) + "</pre>";
    }
  }
  return "";
}

}  // namespace

std::string richTextHtml(const RtfDocument& rtf) {
  std::string html = std::string("<pre class=\"rich-text") + (rtf.hasGlyphs() ? " has-glyphs" : "") + "\">";
  for (const RtfParagraph& paragraph : rtf.paragraphs) {
    for (const RtfRun& run : paragraph.runs) {
      std::string style;
      if (!run.glyphs)
        if (const RtfFont* font = rtf.font(run.font); font && !font->markerFont()) style += fontFamilyCss(*font);
      style += "font-size:" + std::to_string(run.halfPoints / 2) + (run.halfPoints % 2 ? ".5" : "") + "pt;";
      if (run.bold) style += "font-weight:bold;";
      if (run.italic) style += "font-style:italic;";
      if (run.underline) style += "text-decoration:underline;";
      if (run.color > 0 && static_cast<std::size_t>(run.color) < rtf.colors.size()) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "#%06x", rtf.colors[static_cast<std::size_t>(run.color)]);
        style += std::string("color:") + buffer + ";";
      }
      html += std::string("<span") + (run.glyphs ? " class=\"glyphs\"" : "") + " style=\"" + style + "\">" +
              escapeMarkup(run.text) + "</span>";
    }
    html += "\n";
  }
  return html + "</pre>";
}

std::string renderHtml(const DocumentModel& document) {
  std::string all;
  renderHtml(document, [&all](std::string_view piece) { all += piece; });
  return all;
}

void renderHtml(const DocumentModel& document, const std::function<void(std::string_view)>& write) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Output</title>\n<style>";
  html += pageStyle;
  html += "</style>\n</head>\n<body>\n<nav id=\"outline\"><ul>\n";
  for (std::size_t i = 0; i < document.count(); ++i) {
    const OutputItem& item = document.item(i);
    std::string cls = "outline-item kind-" + std::string(itemKindName(item.kind));
    if (!item.visible) cls += " hidden-item";
    if (document.selected() == i) cls += " selected";
    html += "<li class=\"" + cls + "\" data-level=\"" + std::to_string(item.level) + "\" style=\"padding-left:" +
            std::to_string((item.level - 1) * 16 + 4) + "px\"><span class=\"kind-icon\">" + kindIcon(item.kind) +
            "</span><a href=\"#item-" + std::to_string(i) + "\">" + escapeMarkup(item.label) + "</a></li>\n";
  }
  html += "</ul></nav>\n<main id=\"content\">\n";
  write(html);
  // Each heading opens a fold that holds it and the items below it in the
  // outline (those that follow it at deeper levels); the levels of the open
  // folds, innermost last.
  std::vector<std::int32_t> folds;
  for (std::size_t i = 0; i < document.count(); ++i) {
    const OutputItem& item = document.item(i);
    while (!folds.empty() && item.level <= folds.back()) {
      write("</details>\n");
      folds.pop_back();
    }
    std::string bodyStyle;
    if (item.width) bodyStyle += "width:" + px(*item.width) + ";";
    if (item.height) bodyStyle += "min-height:" + px(*item.height) + ";";
    std::string body = "<div class=\"item-body\"" + (bodyStyle.empty() ? "" : " style=\"" + bodyStyle + "\"") + ">" +
                       itemBody(item) + "</div>";
    if (!item.visible)
      body = "<details class=\"hidden-item\"><summary>" + escapeMarkup(item.label) + " (hidden)</summary>" + body +
             "</details>";
    std::string section = "<section class=\"item item-" + std::string(itemKindName(item.kind)) + "\" id=\"item-" +
                          std::to_string(i) + "\" data-level=\"" + std::to_string(item.level) +
                          "\" style=\"margin-left:" + std::to_string((item.level - 1) * 16) + "px\">" + body +
                          "</section>";
    if (item.kind == ItemKind::heading) {
      section = "<details class=\"fold\" open data-level=\"" + std::to_string(item.level) + "\"><summary>" + section +
                "</summary>";
      folds.push_back(item.level);
    }
    write(section + "\n");
  }
  for (std::size_t open = folds.size(); open > 0; --open) write("</details>\n");
  write("</main>\n</body>\n</html>\n");
}

}  // namespace korvana::spss
