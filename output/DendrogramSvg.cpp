#include "output/DendrogramSvg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "common/MarkupText.h"
#include "common/PrintableText.h"
#include "common/Utf8.h"
#include "engine/ClusterSolution.h"
#include "engine/ProximityMatrix.h"
#include "output/Dendrogram.h"

namespace korvana {

namespace {

// A coordinate or size in pixels: at most one decimal, none when it is whole.
std::string px(double value) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, std::round(value * 10.0) / 10.0 + 0.0,
                                 std::chars_format::fixed, 1).ptr;
  std::string text(buffer, end);
  if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) text.resize(text.size() - 2);
  return text;
}

// Text for an SVG text node or attribute: printable (common/PrintableText.h),
// markup characters as references.
std::string xmlEscaped(const std::string& text) { return escapeMarkup(printableText(text)); }

// Ticks at round numbers (1, 2 or 5 times a power of ten) from lo to hi, about
// `target` of them; one tick when lo equals hi.
struct Ticks {
  double step = 0.0;
  std::vector<double> values;
};

Ticks roundTicks(double lo, double hi, int target, double smallestStep = 0.0) {
  Ticks ticks;
  if (!(hi > lo)) {
    ticks.values.push_back(lo);
    return ticks;
  }
  const double raw = (hi - lo) / target;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double normalized = raw / magnitude;
  ticks.step = std::max(smallestStep, (normalized < 1.5 ? 1.0 : normalized < 3.5 ? 2.0 : normalized < 7.5 ? 5.0 : 10.0) *
                                          magnitude);
  const double first = std::ceil(lo / ticks.step - 1e-9);
  for (double k = first; k * ticks.step <= hi + ticks.step * 1e-9 && ticks.values.size() < 50; k += 1.0)
    ticks.values.push_back(k * ticks.step);
  return ticks;
}

// A tick's number: with as many decimals as the step needs, in scientific
// notation for magnitudes a fixed form would make long.
std::string tickText(double value, double step) {
  value += 0.0;  // no "-0"
  char buffer[64];
  std::to_chars_result written{};
  if (step <= 0.0) {
    written = std::to_chars(buffer, buffer + sizeof buffer, value);
  } else if (std::fabs(value) < 1e7 && step >= 1e-6) {
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  } else {
    const double digits = std::ceil(std::log10(std::max(std::fabs(value), step) / step)) + 1.0;
    written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general,
                            static_cast<int>(std::clamp(digits, 1.0, 17.0)));
  }
  std::string text(buffer, written.ptr);
  return text == "-0" ? "0" : text;
}

std::string objectLabel(const ProximityMatrix& matrix, int object) {
  std::string label = object < matrix.getNumberOfObjects() ? matrix.getObjectLabel(object) : std::string();
  while (!label.empty() && label.back() == ' ') label.pop_back();
  return label.empty() ? std::to_string(object + 1) : label;
}

// The object on every display row: the text dendrogram's order, with any row
// its walk left empty (a broken schedule) given an object it did not place.
std::vector<int> rowObjects(const Dendrogram& layout) {
  const int n = layout.objectCount();
  std::vector<int> objects(static_cast<std::size_t>(n), -1);
  std::vector<bool> placed(static_cast<std::size_t>(n), false);
  for (int r = 0; r < n; ++r) {
    const int object = layout.objectAtRow(r);
    if (object >= 0 && object < n && !placed[static_cast<std::size_t>(object)]) {
      objects[static_cast<std::size_t>(r)] = object;
      placed[static_cast<std::size_t>(object)] = true;
    }
  }
  int next = 0;
  for (int& object : objects) {
    if (object >= 0) continue;
    while (placed[static_cast<std::size_t>(next)]) ++next;
    object = next;
    placed[static_cast<std::size_t>(next)] = true;
  }
  return objects;
}

constexpr double margin = 8.0;
constexpr double rowHeight = 16.0;
constexpr double characterWidth = 7.0;  // of a 12-pixel label, about
constexpr double plotWidth = 560.0;
constexpr double axisY = 30.0;
constexpr double firstRowY = 44.0;

std::string svgOpen(const std::string& cls, double width, double height) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"" + cls + "\" width=\"" + px(width) + "\" height=\"" +
         px(height) + "\" viewBox=\"0 0 " + px(width) + " " + px(height) +
         "\" font-family=\"Arial, 'Liberation Sans', sans-serif\" font-size=\"12\">";
}

}  // namespace

std::string dendrogramSvg(const ClusterSolution& solution, const ProximityMatrix& matrix,
                          const std::vector<int>* supportPercent) {
  const int n = std::max(solution.getObjectCount(), 0);
  const int stages = solution.getStageCount();
  if (supportPercent && supportPercent->size() < static_cast<std::size_t>(std::max(stages, 0)))
    throw std::invalid_argument("A support value is needed for every stage of the tree");

  std::vector<int> objects(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) objects[static_cast<std::size_t>(i)] = i;
  if (stages >= 1 && stages == n - 1) objects = rowObjects(Dendrogram(Dendrogram::scheduleOf(solution)));

  std::vector<std::string> labels(static_cast<std::size_t>(n));
  std::size_t longest = 1;
  for (int i = 0; i < n; ++i) {
    labels[static_cast<std::size_t>(i)] = objectLabel(matrix, i);
    longest = std::max(longest, utf8::characterCount(labels[static_cast<std::size_t>(i)]));
  }
  // Room for the longest label, and at least for the axis title beside the ticks.
  const double labelRight = margin + std::max(static_cast<double>(longest) * characterWidth, 64.0);
  const double leafX = labelRight + 6.0;
  const double plotLeft = labelRight + 16.0;
  const double width = plotLeft + plotWidth + 40.0;
  const double height = firstRowY + n * rowHeight + margin;
  const auto rowY = [](int row) { return firstRowY + (row + 0.5) * rowHeight; };

  std::string svg = svgOpen("dendrogram", width, height);
  svg.reserve(static_cast<std::size_t>(n) * (supportPercent ? 150 : 100) + 2048);

  // The axis: from the first stage's coefficient on the left to the last
  // one's on the right, so that falling coefficients (similarities) also put
  // the later merges further right.
  double lo = 0.0;
  double hi = 0.0;
  bool anyFinite = false;
  for (int t = 0; t < stages; ++t) {
    const double c = solution.getCoefficient(t);
    if (!std::isfinite(c)) continue;
    lo = anyFinite ? std::min(lo, c) : c;
    hi = anyFinite ? std::max(hi, c) : c;
    anyFinite = true;
  }
  const bool falling = stages >= 1 && solution.getCoefficient(stages - 1) < solution.getCoefficient(0);
  const auto xOf = [&](double c) {
    if (!(hi > lo)) return plotLeft + plotWidth / 2.0;
    const double share = falling ? (hi - c) / (hi - lo) : (c - lo) / (hi - lo);
    return plotLeft + share * plotWidth;
  };
  if (anyFinite) {
    svg += "<g class=\"axis\" stroke=\"#000\"><line x1=\"" + px(xOf(falling ? hi : lo)) + "\" y1=\"" + px(axisY) +
           "\" x2=\"" + px(xOf(falling ? lo : hi)) + "\" y2=\"" + px(axisY) + "\"/>";
    const Ticks ticks = roundTicks(lo, hi, 5);
    std::string tickLabels;
    for (double value : ticks.values) {
      const std::string x = px(xOf(value));
      svg += "<line x1=\"" + x + "\" y1=\"" + px(axisY - 4.0) + "\" x2=\"" + x + "\" y2=\"" + px(axisY) + "\"/>";
      tickLabels += "<text class=\"tick\" x=\"" + x + "\" y=\"" + px(axisY - 7.0) + "\">" +
                    tickText(value, ticks.step) + "</text>";
    }
    svg += "</g><g class=\"axis-labels\" font-size=\"11\" text-anchor=\"middle\">" + tickLabels +
           "</g><text class=\"axis-title\" x=\"" + px(labelRight) + "\" y=\"" + px(axisY - 7.0) +
           "\" font-size=\"11\" text-anchor=\"end\">Coefficient</text>";
  }

  svg += "<g class=\"leaves\" text-anchor=\"end\">";
  // Where each cluster's line ends, by the cluster's name (its lowest object).
  std::vector<double> lineX(static_cast<std::size_t>(n), leafX);
  std::vector<double> lineY(static_cast<std::size_t>(n), 0.0);
  for (int r = 0; r < n; ++r) {
    const int object = objects[static_cast<std::size_t>(r)];
    lineY[static_cast<std::size_t>(object)] = rowY(r);
    svg += "<text class=\"leaf\" x=\"" + px(labelRight) + "\" y=\"" + px(rowY(r) + 4.0) + "\">" +
           xmlEscaped(labels[static_cast<std::size_t>(object)]) + "</text>";
  }
  svg += "</g><g class=\"nodes\" fill=\"none\" stroke=\"#000\">";

  // The merges in stage order: every cluster a stage joins was formed by an
  // earlier stage, or is a single object.
  std::string supports;
  for (int t = 0; t < stages; ++t) {
    const int c1 = solution.getCluster1(t);
    const int c2 = solution.getCluster2(t);
    if (c1 < 0 || c1 >= n || c2 < 0 || c2 >= n || c1 == c2) continue;
    const auto a = static_cast<std::size_t>(c1);
    const auto b = static_cast<std::size_t>(c2);
    const double c = solution.getCoefficient(t);
    const double x = std::isfinite(c) ? xOf(c) : std::max(lineX[a], lineX[b]);
    svg += "<path class=\"node\" d=\"M" + px(lineX[a]) + " " + px(lineY[a]) + "H" + px(x) + "V" + px(lineY[b]) + "H" +
           px(lineX[b]) + "\"/>";
    lineX[a] = x;
    lineY[a] = (lineY[a] + lineY[b]) / 2.0;
    if (supportPercent)
      supports += "<text class=\"support\" x=\"" + px(x + 3.0) + "\" y=\"" + px(lineY[a] - 3.0) + "\">" +
                  std::to_string((*supportPercent)[static_cast<std::size_t>(t)]) + "</text>";
  }
  svg += "</g>";
  if (supportPercent) svg += "<g class=\"supports\" font-size=\"9\" fill=\"#b03020\">" + supports + "</g>";
  return svg + "</svg>";
}

namespace {

// The points of a line that are drawn: all of them up to maxCurveVertices;
// beyond that, the first lowest and first highest value of each of
// (maxCurveVertices − 1) / 2 stretches, in order, and the last point.
std::vector<std::size_t> curveVertices(const std::vector<int>& values) {
  const std::size_t count = values.size();
  std::vector<std::size_t> kept;
  if (count <= maxCurveVertices) {
    for (std::size_t k = 0; k < count; ++k) kept.push_back(k);
    return kept;
  }
  const std::size_t stretches = (maxCurveVertices - 1) / 2;
  const std::size_t body = count - 1;  // the last point is kept on its own
  for (std::size_t s = 0; s < stretches; ++s) {
    const std::size_t begin = s * body / stretches;
    const std::size_t end = (s + 1) * body / stretches;
    if (begin == end) continue;
    std::size_t low = begin;
    std::size_t high = begin;
    for (std::size_t k = begin + 1; k < end; ++k) {
      if (values[k] < values[low]) low = k;
      if (values[k] > values[high]) high = k;
    }
    kept.push_back(std::min(low, high));
    if (low != high) kept.push_back(std::max(low, high));
  }
  kept.push_back(count - 1);
  return kept;
}

}  // namespace

std::string distinctSolutionsCurveSvg(const std::vector<int>& all, const std::vector<int>& best) {
  constexpr double width = 520.0;
  constexpr double height = 290.0;
  constexpr double left = 56.0;
  constexpr double right = width - 16.0;
  constexpr double top = 44.0;
  constexpr double bottom = height - 48.0;

  const std::size_t permutations = std::max(all.size(), best.size());
  int highest = 1;
  for (int v : all) highest = std::max(highest, v);
  for (int v : best) highest = std::max(highest, v);
  const double lastPermutation = static_cast<double>(std::max<std::size_t>(permutations, 1));
  const auto xOf = [&](double permutation) {
    if (lastPermutation <= 1.0) return (left + right) / 2.0;
    return left + (permutation - 1.0) / (lastPermutation - 1.0) * (right - left);
  };
  const auto yOf = [&](double solutions) { return bottom - solutions / highest * (bottom - top); };

  std::string svg = svgOpen("distinct-solutions", width, height);
  svg += "<g class=\"axes\" stroke=\"#000\"><line x1=\"" + px(left) + "\" y1=\"" + px(bottom) + "\" x2=\"" + px(right) +
         "\" y2=\"" + px(bottom) + "\"/><line x1=\"" + px(left) + "\" y1=\"" + px(top) + "\" x2=\"" + px(left) +
         "\" y2=\"" + px(bottom) + "\"/>";
  const Ticks xTicks = roundTicks(1.0, lastPermutation, 6, 1.0);
  const Ticks yTicks = roundTicks(0.0, highest, 5, 1.0);
  std::string text;
  for (double p : xTicks.values) {
    const std::string x = px(xOf(p));
    svg += "<line x1=\"" + x + "\" y1=\"" + px(bottom) + "\" x2=\"" + x + "\" y2=\"" + px(bottom + 4.0) + "\"/>";
    text += "<text x=\"" + x + "\" y=\"" + px(bottom + 16.0) + "\" text-anchor=\"middle\">" + tickText(p, 1.0) +
            "</text>";
  }
  for (double s : yTicks.values) {
    const std::string y = px(yOf(s));
    svg += "<line x1=\"" + px(left - 4.0) + "\" y1=\"" + y + "\" x2=\"" + px(left) + "\" y2=\"" + y + "\"/>";
    text += "<text x=\"" + px(left - 7.0) + "\" y=\"" + px(yOf(s) + 4.0) + "\" text-anchor=\"end\">" +
            tickText(s, 1.0) + "</text>";
  }
  svg += "</g><g class=\"tick-labels\" font-size=\"11\">" + text + "</g>";
  svg += "<text class=\"axis-title\" x=\"" + px((left + right) / 2.0) + "\" y=\"" + px(height - 10.0) +
         "\" text-anchor=\"middle\">Permutations</text>";
  svg += "<text class=\"axis-title\" transform=\"translate(14 " + px((top + bottom) / 2.0) +
         ") rotate(-90)\" text-anchor=\"middle\">Distinct solutions</text>";

  struct Line {
    const std::vector<int>* values;
    const char* cls;
    const char* color;
    const char* name;
  };
  const Line lines[] = {{&all, "curve all", "#1f5fa8", "All permutations"},
                        {&best, "curve best", "#c0392b", "Best-fitting permutations"}};
  double legendX = left;
  for (const Line& line : lines) {
    if (!line.values->empty()) {
      std::string points;
      for (std::size_t k : curveVertices(*line.values)) {
        if (!points.empty()) points += ' ';
        points += px(xOf(static_cast<double>(k + 1))) + "," + px(yOf((*line.values)[k]));
      }
      svg += "<polyline class=\"" + std::string(line.cls) + "\" fill=\"none\" stroke=\"" + line.color +
             "\" stroke-width=\"1.5\" points=\"" + points + "\"/>";
    }
    svg += "<g class=\"legend\"><line x1=\"" + px(legendX) + "\" y1=\"16\" x2=\"" + px(legendX + 20.0) +
           "\" y2=\"16\" stroke=\"" + line.color + "\" stroke-width=\"1.5\"/><text x=\"" + px(legendX + 26.0) +
           "\" y=\"20\">" + line.name + "</text></g>";
    legendX += 190.0;
  }
  return svg + "</svg>";
}

}  // namespace korvana
