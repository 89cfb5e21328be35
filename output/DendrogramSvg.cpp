#include "output/DendrogramSvg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <stdexcept>

#include "common/MarkupText.h"
#include "common/PrintableText.h"
#include "common/Utf8.h"
#include "engine/ClusterSolution.h"
#include "engine/OrderFreeTree.h"
#include "engine/PermutationRun.h"
#include "engine/ProximityMatrix.h"
#include "output/Dendrogram.h"
#include "output/Newick.h"

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

// The labels of the leaves: trailing blanks trimmed, the object number from 1
// for an empty label, and the number beside every label that more than one
// object has ("versicolor 53").
std::vector<std::string> leafLabels(const ProximityMatrix& matrix, int n) {
  std::vector<std::string> labels(static_cast<std::size_t>(n));
  std::map<std::string, int> uses;
  for (int i = 0; i < n; ++i) {
    std::string label = i < matrix.getNumberOfObjects() ? matrix.getObjectLabel(i) : std::string();
    while (!label.empty() && label.back() == ' ') label.pop_back();
    labels[static_cast<std::size_t>(i)] = label;
    if (!label.empty()) ++uses[label];
  }
  for (int i = 0; i < n; ++i) {
    std::string& label = labels[static_cast<std::size_t>(i)];
    if (label.empty()) label = std::to_string(i + 1);
    else if (uses[label] > 1) label += " " + std::to_string(i + 1);
  }
  return labels;
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

// What every drawn tree has: one row per object in the text dendrogram's
// order (from a schedule of joins of two), each labelled, and an axis of the
// merge heights along the top. `svg` holds the opened drawing with the axis
// and the leaves; lineX and lineY are where each cluster's line ends, by the
// cluster's name (its lowest object), at first the leaves'.
class TreeFrame {
 public:
  TreeFrame(int n, const std::vector<DendrogramStage>& schedule, const std::vector<std::string>& labels,
            const std::vector<double>& heights, bool falling, const std::string& axisTitle, bool wholeTicks,
            double extraHeight, std::size_t bytesPerObject)
      : n_(std::max(n, 0)), falling_(falling) {
    const int stages = static_cast<int>(schedule.size());
    std::vector<int> objects(static_cast<std::size_t>(n_));
    for (int i = 0; i < n_; ++i) objects[static_cast<std::size_t>(i)] = i;
    if (stages >= 1 && stages == n_ - 1) objects = rowObjects(Dendrogram(schedule));

    std::size_t longest = 1;
    for (int i = 0; i < n_; ++i) longest = std::max(longest, utf8::characterCount(labels[static_cast<std::size_t>(i)]));
    // Room for the longest label, and at least for the axis title beside the ticks.
    labelRight_ = margin + std::max(static_cast<double>(longest) * characterWidth, 64.0);
    const double leafX = labelRight_ + 6.0;
    plotLeft_ = labelRight_ + 16.0;
    const double width = plotLeft_ + plotWidth + 40.0;
    const double height = firstRowY + n_ * rowHeight + extraHeight + margin;
    const auto rowY = [](int row) { return firstRowY + (row + 0.5) * rowHeight; };

    svg = svgOpen("dendrogram", width, height);
    svg.reserve(static_cast<std::size_t>(n_) * bytesPerObject + 2048);

    bool anyFinite = false;
    for (const double c : heights) {
      if (!std::isfinite(c)) continue;
      lo_ = anyFinite ? std::min(lo_, c) : c;
      hi_ = anyFinite ? std::max(hi_, c) : c;
      anyFinite = true;
    }
    if (anyFinite) {
      svg += "<g class=\"axis\" stroke=\"#000\"><line x1=\"" + px(xOf(falling_ ? hi_ : lo_)) + "\" y1=\"" +
             px(axisY) + "\" x2=\"" + px(xOf(falling_ ? lo_ : hi_)) + "\" y2=\"" + px(axisY) + "\"/>";
      const Ticks ticks = roundTicks(lo_, hi_, 5, wholeTicks ? 1.0 : 0.0);
      std::string tickLabels;
      for (double value : ticks.values) {
        const std::string x = px(xOf(value));
        svg += "<line x1=\"" + x + "\" y1=\"" + px(axisY - 4.0) + "\" x2=\"" + x + "\" y2=\"" + px(axisY) + "\"/>";
        tickLabels += "<text class=\"tick\" x=\"" + x + "\" y=\"" + px(axisY - 7.0) + "\">" +
                      tickText(value, ticks.step) + "</text>";
      }
      svg += "</g><g class=\"axis-labels\" font-size=\"11\" text-anchor=\"middle\">" + tickLabels +
             "</g><text class=\"axis-title\" x=\"" + px(labelRight_) + "\" y=\"" + px(axisY - 7.0) +
             "\" font-size=\"11\" text-anchor=\"end\">" + xmlEscaped(axisTitle) + "</text>";
    }

    svg += "<g class=\"leaves\" text-anchor=\"end\">";
    lineX.assign(static_cast<std::size_t>(n_), leafX);
    lineY.assign(static_cast<std::size_t>(n_), 0.0);
    for (int r = 0; r < n_; ++r) {
      const int object = objects[static_cast<std::size_t>(r)];
      lineY[static_cast<std::size_t>(object)] = rowY(r);
      svg += "<text class=\"leaf\" x=\"" + px(labelRight_) + "\" y=\"" + px(rowY(r) + 4.0) + "\">" +
             xmlEscaped(labels[static_cast<std::size_t>(object)]) + "</text>";
    }
    svg += "</g>";
  }

  /// The x of a height on the axis.
  double xOf(double c) const {
    if (!(hi_ > lo_)) return plotLeft_ + plotWidth / 2.0;
    const double share = falling_ ? (hi_ - c) / (hi_ - lo_) : (c - lo_) / (hi_ - lo_);
    return plotLeft_ + share * plotWidth;
  }
  /// The y below the last row.
  double belowRows() const { return firstRowY + n_ * rowHeight; }

  std::string svg;
  std::vector<double> lineX;
  std::vector<double> lineY;

 private:
  int n_;
  bool falling_;
  double labelRight_ = 0.0;
  double plotLeft_ = 0.0;
  double lo_ = 0.0;
  double hi_ = 0.0;
};

}  // namespace

std::string dendrogramSvg(const ClusterSolution& solution, const ProximityMatrix& matrix,
                          const std::vector<int>* supportPercent, const std::vector<char>* folded) {
  const int stages = std::max(solution.getStageCount(), 0);
  if (supportPercent && supportPercent->size() < static_cast<std::size_t>(stages))
    throw std::invalid_argument("A support value is needed for every stage of the tree");
  if (folded && folded->size() < static_cast<std::size_t>(stages))
    throw std::invalid_argument("A folding flag is needed for every stage of the tree");
  TreeDrawing drawing;
  drawing.objectCount = std::max(solution.getObjectCount(), 0);
  drawing.stages = Dendrogram::scheduleOf(solution);
  if (supportPercent) drawing.supportPercent.assign(supportPercent->begin(), supportPercent->begin() + stages);
  if (folded) drawing.folded.assign(folded->begin(), folded->begin() + stages);
  return treeSvg(drawing, leafLabels(matrix, drawing.objectCount));
}

std::string treeSvg(const TreeDrawing& drawing, const std::vector<std::string>& labels) {
  const int n = drawing.objectCount;
  const auto& schedule = drawing.stages;
  const int stages = static_cast<int>(schedule.size());
  const bool withSupport = !drawing.supportPercent.empty();
  const auto isFolded = [&](int t) {
    return static_cast<std::size_t>(t) < drawing.folded.size() && drawing.folded[static_cast<std::size_t>(t)] != 0;
  };
  // A folded merge is drawn at the place of the merge that absorbs it, so
  // that the parts of a multifurcation share one bracket.
  std::vector<double> place(static_cast<std::size_t>(stages));
  for (int t = stages - 1; t >= 0; --t) {
    const int parent = schedule[static_cast<std::size_t>(t)].nextStage;
    place[static_cast<std::size_t>(t)] = isFolded(t) && parent > t && parent < stages
                                             ? place[static_cast<std::size_t>(parent)]
                                             : schedule[static_cast<std::size_t>(t)].coefficient;
  }

  bool anyLabel = false;
  for (int t = 0; t < stages && withSupport; ++t) {
    const int percent = drawing.supportPercent[static_cast<std::size_t>(t)];
    anyLabel = anyLabel || (!isFolded(t) && percent >= 0 && percent < 100);
  }
  // The axis: from the first stage's coefficient on the left to the last
  // one's on the right, so that falling coefficients (similarities) also put
  // the later merges further right.
  std::vector<double> heights;
  for (const DendrogramStage& stage : schedule) heights.push_back(stage.coefficient);
  const bool falling = stages >= 1 && schedule.back().coefficient < schedule.front().coefficient;
  TreeFrame frame(n, schedule, labels, heights, falling, drawing.axisTitle, drawing.wholeTicks,
                  withSupport ? rowHeight : 0.0, withSupport ? 150 : 100);
  std::string& svg = frame.svg;
  std::vector<double>& lineX = frame.lineX;
  std::vector<double>& lineY = frame.lineY;
  const auto xOf = [&frame](double c) { return frame.xOf(c); };
  svg += "<g class=\"nodes\" fill=\"none\" stroke=\"#000\">";

  // The merges in stage order: every cluster a stage joins was formed by an
  // earlier stage, or is a single object.
  std::string supports;
  for (int t = 0; t < stages; ++t) {
    const int c1 = schedule[static_cast<std::size_t>(t)].cluster1;
    const int c2 = schedule[static_cast<std::size_t>(t)].cluster2;
    if (c1 < 0 || c1 >= n || c2 < 0 || c2 >= n || c1 == c2) continue;
    const auto a = static_cast<std::size_t>(c1);
    const auto b = static_cast<std::size_t>(c2);
    const double c = place[static_cast<std::size_t>(t)];
    const double x = std::isfinite(c) ? xOf(c) : std::max(lineX[a], lineX[b]);
    svg += "<path class=\"node\" d=\"M" + px(lineX[a]) + " " + px(lineY[a]) + "H" + px(x) + "V" + px(lineY[b]) + "H" +
           px(lineX[b]) + "\"/>";
    lineX[a] = x;
    lineY[a] = (lineY[a] + lineY[b]) / 2.0;
    const int percent = withSupport ? drawing.supportPercent[static_cast<std::size_t>(t)] : -1;
    if (!isFolded(t) && percent >= 0 && percent < 100)
      supports += "<text class=\"support\" x=\"" + px(x + 3.0) + "\" y=\"" + px(lineY[a] - 3.0) + "\">" +
                  std::to_string(percent) + "</text>";
  }
  svg += "</g>";
  if (withSupport) {
    svg += "<g class=\"supports\" font-size=\"9\" fill=\"#b03020\">" + supports + "</g>";
    svg += "<text class=\"support-note\" x=\"" + px(margin) + "\" y=\"" + px(frame.belowRows() + 12.0) +
           "\" font-size=\"11\">" +
           (anyLabel ? "Support (%) is shown where it is below 100; every other cluster is in every hierarchy."
                     : "Every cluster is in every hierarchy (support 100 %).") +
           "</text>";
  }
  return svg + "</svg>";
}

std::string multidendrogramSvg(const OrderFreeTree& tree, const ProximityMatrix& matrix) {
  const auto& merges = tree.getMerges();
  const int n = std::max(tree.getObjectCount(), 0);
  std::vector<double> heights;
  for (const OrderFreeMerge& merge : merges) heights.insert(heights.end(), {merge.height, merge.lowest, merge.highest});
  const bool falling = !merges.empty() && merges.back().height < merges.front().height;
  TreeFrame frame(n, Dendrogram::scheduleOf(tree.getBinaryForm()), leafLabels(matrix, n), heights, falling, "Height",
                  false, 0.0, 120);
  std::string& svg = frame.svg;
  std::string bands;
  std::string nodes;
  for (const OrderFreeMerge& merge : merges) {
    bool valid = merge.clusters.size() >= 2;
    for (const int c : merge.clusters) valid = valid && c >= 0 && c < n;
    if (!valid) continue;
    double top = frame.lineY[static_cast<std::size_t>(merge.clusters.front())];
    double bottom = top;
    for (const int c : merge.clusters) {
      top = std::min(top, frame.lineY[static_cast<std::size_t>(c)]);
      bottom = std::max(bottom, frame.lineY[static_cast<std::size_t>(c)]);
    }
    const double x = frame.xOf(merge.height);
    if (merge.lowest != merge.highest) {
      const double left = std::min(frame.xOf(merge.lowest), frame.xOf(merge.highest));
      const double right = std::max(frame.xOf(merge.lowest), frame.xOf(merge.highest));
      bands += "<rect class=\"band\" x=\"" + px(left) + "\" y=\"" + px(top - 3.0) + "\" width=\"" +
               px(right - left) + "\" height=\"" + px(bottom - top + 6.0) + "\"/>";
    }
    // One bracket: a line from every joined cluster to the merge's height,
    // and the bracket's back from the first row to the last.
    nodes += "<path class=\"node\" d=\"";
    for (const int c : merge.clusters) {
      const auto u = static_cast<std::size_t>(c);
      nodes += "M" + px(frame.lineX[u]) + " " + px(frame.lineY[u]) + "H" + px(x);
    }
    nodes += "M" + px(x) + " " + px(top) + "V" + px(bottom) + "\"/>";
    const auto first = static_cast<std::size_t>(merge.clusters.front());
    frame.lineX[first] = x;
    frame.lineY[first] = (top + bottom) / 2.0;
  }
  svg += "<g class=\"bands\" fill=\"#c8d8ec\" stroke=\"none\">" + bands +
         "</g><g class=\"nodes\" fill=\"none\" stroke=\"#000\">" + nodes + "</g>";
  return svg + "</svg>";
}

std::string consensusTreeSvg(const Consensus& consensus, const ProximityMatrix& matrix) {
  const int n = matrix.getNumberOfObjects();
  TreeDrawing drawing;
  drawing.objectCount = n;
  drawing.axisTitle = "Level";
  drawing.wholeTicks = true;
  // Each object's cluster so far, by its name (the lowest object), through
  // links to the cluster that took it in; the level and last stage of each.
  std::vector<int> link(static_cast<std::size_t>(n));
  for (int o = 0; o < n; ++o) link[static_cast<std::size_t>(o)] = o;
  const auto top = [&](int o) {
    while (link[static_cast<std::size_t>(o)] != o) o = link[static_cast<std::size_t>(o)];
    return o;
  };
  std::vector<int> level(static_cast<std::size_t>(n), 0);
  std::vector<int> lastStage(static_cast<std::size_t>(n), -1);
  const auto join = [&](const std::vector<int>& parts, int support) {
    int height = 0;
    for (const int part : parts) height = std::max(height, level[static_cast<std::size_t>(part)] + 1);
    const int first = parts.front();
    for (std::size_t j = 1; j < parts.size(); ++j) {
      const int t = static_cast<int>(drawing.stages.size());
      DendrogramStage stage;
      stage.cluster1 = first;
      stage.cluster2 = parts[j];
      stage.coefficient = height;
      stage.firstAppears1 = lastStage[static_cast<std::size_t>(first)];
      stage.firstAppears2 = lastStage[static_cast<std::size_t>(parts[j])];
      for (const int formedBy : {stage.firstAppears1, stage.firstAppears2})
        if (formedBy >= 0) drawing.stages[static_cast<std::size_t>(formedBy)].nextStage = t;
      drawing.stages.push_back(stage);
      drawing.folded.push_back(j + 1 < parts.size() ? 1 : 0);
      drawing.supportPercent.push_back(j + 1 < parts.size() ? -1 : support);
      lastStage[static_cast<std::size_t>(first)] = t;
      link[static_cast<std::size_t>(parts[j])] = first;
    }
    level[static_cast<std::size_t>(first)] = height;
  };
  for (const ConsensusCluster& cluster : consensus.clusters) {
    std::vector<int> parts;
    for (const int object : cluster.objects)
      if (object >= 0 && object < n) parts.push_back(top(object));
    std::sort(parts.begin(), parts.end());
    parts.erase(std::unique(parts.begin(), parts.end()), parts.end());
    if (parts.size() >= 2) join(parts, wholePercent(cluster.support));
  }
  std::vector<int> rest;
  for (int o = 0; o < n; ++o)
    if (top(o) == o) rest.push_back(o);
  if (rest.size() >= 2) join(rest, -1);
  if (drawing.stages.empty()) return {};
  return treeSvg(drawing, leafLabels(matrix, n));
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

std::string distinctSolutionsCurveSvg(const std::vector<int>& all, const std::vector<int>& best,
                                      const std::vector<int>* hierarchiesAll, const std::vector<int>* hierarchiesBest) {
  static const std::vector<int> none;
  const bool withHierarchies = hierarchiesAll != nullptr || hierarchiesBest != nullptr;
  const std::vector<int>& hAll = hierarchiesAll ? *hierarchiesAll : none;
  const std::vector<int>& hBest = hierarchiesBest ? *hierarchiesBest : none;
  constexpr double width = 520.0;
  constexpr double height = 290.0;
  constexpr double left = 56.0;
  constexpr double right = width - 16.0;
  const double top = withHierarchies ? 52.0 : 44.0;
  constexpr double bottom = height - 48.0;

  const std::size_t permutations = std::max({all.size(), best.size(), hAll.size(), hBest.size()});
  int highest = 1;
  for (int v : all) highest = std::max(highest, v);
  for (int v : best) highest = std::max(highest, v);
  for (int v : hAll) highest = std::max(highest, v);
  for (int v : hBest) highest = std::max(highest, v);
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
  const Line orderLines[] = {{&all, "curve all", "#1f5fa8", "All permutations"},
                             {&best, "curve best", "#c0392b", "Best-fitting permutations"}};
  const Line withHierarchyLines[] = {{&all, "curve all", "#1f5fa8", "Merge orders, all"},
                                     {&best, "curve best", "#c0392b", "Merge orders, best-fitting"},
                                     {&hAll, "curve hierarchies-all", "#1f5fa8", "Hierarchies, all"},
                                     {&hBest, "curve hierarchies-best", "#c0392b", "Hierarchies, best-fitting"}};
  const std::vector<Line> lines = withHierarchies ? std::vector<Line>(std::begin(withHierarchyLines), std::end(withHierarchyLines))
                                                  : std::vector<Line>(std::begin(orderLines), std::end(orderLines));
  double legendX = left;
  double legendY = 16.0;
  for (const Line& line : lines) {
    const bool dashed = std::string(line.cls).find("hierarchies") != std::string::npos;
    if (!line.values->empty()) {
      std::string points;
      for (std::size_t k : curveVertices(*line.values)) {
        if (!points.empty()) points += ' ';
        points += px(xOf(static_cast<double>(k + 1))) + "," + px(yOf((*line.values)[k]));
      }
      svg += "<polyline class=\"" + std::string(line.cls) + "\" fill=\"none\" stroke=\"" + line.color +
             "\" stroke-width=\"1.5\"" + (dashed ? " stroke-dasharray=\"5 3\"" : "") + " points=\"" + points + "\"/>";
    }
    svg += "<g class=\"legend\"><line x1=\"" + px(legendX) + "\" y1=\"" + px(legendY) + "\" x2=\"" +
           px(legendX + 20.0) + "\" y2=\"" + px(legendY) + "\" stroke=\"" + line.color + "\" stroke-width=\"1.5\"" +
           (dashed ? " stroke-dasharray=\"5 3\"" : "") + "/><text x=\"" + px(legendX + 26.0) + "\" y=\"" +
           px(legendY + 4.0) + "\">" + line.name + "</text></g>";
    legendX += 190.0;
    if (legendX + 190.0 > width) {
      legendX = left;
      legendY += 16.0;
    }
  }
  return svg + "</svg>";
}

std::string bestFitCurveSvg(const std::vector<double>& bestSoFar) {
  constexpr double width = 520.0;
  constexpr double height = 290.0;
  constexpr double left = 72.0;
  constexpr double right = width - 16.0;
  constexpr double top = 36.0;
  constexpr double bottom = height - 48.0;
  double lo = 0.0;
  double hi = 0.0;
  bool any = false;
  for (const double v : bestSoFar) {
    if (!std::isfinite(v)) continue;
    lo = any ? std::min(lo, v) : v;
    hi = any ? std::max(hi, v) : v;
    any = true;
  }
  if (!(hi > lo)) {
    const double pad = lo == 0.0 ? 1.0 : std::fabs(lo) * 0.05;
    lo -= pad;
    hi += pad;
  }
  const double lastPermutation = static_cast<double>(std::max<std::size_t>(bestSoFar.size(), 1));
  const auto xOf = [&](double permutation) {
    if (lastPermutation <= 1.0) return (left + right) / 2.0;
    return left + (permutation - 1.0) / (lastPermutation - 1.0) * (right - left);
  };
  const auto yOf = [&](double value) { return bottom - (value - lo) / (hi - lo) * (bottom - top); };

  std::string svg = svgOpen("best-fit", width, height);
  svg += "<g class=\"axes\" stroke=\"#000\"><line x1=\"" + px(left) + "\" y1=\"" + px(bottom) + "\" x2=\"" + px(right) +
         "\" y2=\"" + px(bottom) + "\"/><line x1=\"" + px(left) + "\" y1=\"" + px(top) + "\" x2=\"" + px(left) +
         "\" y2=\"" + px(bottom) + "\"/>";
  const Ticks xTicks = roundTicks(1.0, lastPermutation, 6, 1.0);
  const Ticks yTicks = roundTicks(lo, hi, 5);
  std::string text;
  for (double p : xTicks.values) {
    const std::string x = px(xOf(p));
    svg += "<line x1=\"" + x + "\" y1=\"" + px(bottom) + "\" x2=\"" + x + "\" y2=\"" + px(bottom + 4.0) + "\"/>";
    text += "<text x=\"" + x + "\" y=\"" + px(bottom + 16.0) + "\" text-anchor=\"middle\">" + tickText(p, 1.0) +
            "</text>";
  }
  for (double v : yTicks.values) {
    const std::string y = px(yOf(v));
    svg += "<line x1=\"" + px(left - 4.0) + "\" y1=\"" + y + "\" x2=\"" + px(left) + "\" y2=\"" + y + "\"/>";
    text += "<text x=\"" + px(left - 7.0) + "\" y=\"" + px(yOf(v) + 4.0) + "\" text-anchor=\"end\">" +
            tickText(v, yTicks.step) + "</text>";
  }
  svg += "</g><g class=\"tick-labels\" font-size=\"11\">" + text + "</g>";
  svg += "<text class=\"axis-title\" x=\"" + px((left + right) / 2.0) + "\" y=\"" + px(height - 10.0) +
         "\" text-anchor=\"middle\">Permutations</text>";
  svg += "<text class=\"axis-title\" transform=\"translate(14 " + px((top + bottom) / 2.0) +
         ") rotate(-90)\" text-anchor=\"middle\">Best normalized SSDif so far</text>";
  // A step line: a vertex where the best changes and at the last
  // permutation, so its size grows with the improvements, not the run.
  std::string points;
  double previous = std::nan("");
  for (std::size_t k = 0; k < bestSoFar.size(); ++k) {
    const double v = bestSoFar[k];
    if (!std::isfinite(v)) continue;
    const bool changes = !(v == previous);
    if (changes && std::isfinite(previous))
      points += " " + px(xOf(static_cast<double>(k + 1))) + "," + px(yOf(previous));
    if (changes || k + 1 == bestSoFar.size())
      points += (points.empty() ? "" : " ") + px(xOf(static_cast<double>(k + 1))) + "," + px(yOf(v));
    previous = v;
  }
  if (!points.empty())
    svg += "<polyline class=\"curve best-fit\" fill=\"none\" stroke=\"#1f5fa8\" stroke-width=\"1.5\" points=\"" + points +
           "\"/>";
  return svg + "</svg>";
}

}  // namespace korvana
