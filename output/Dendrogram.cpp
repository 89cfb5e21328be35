#include "output/Dendrogram.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "common/PrintableText.h"
#include "common/Utf8.h"
#include "engine/ClusterSolution.h"
#include "output/OutputFactory.h"

namespace korvana {

namespace {

void appendUnicodeEscape(std::string& out, std::uint32_t unit) {
  // "\uN" takes a signed 16-bit number; "?" is the one-character fallback
  // that "\uc1" announces.
  out += "\\u" + std::to_string(static_cast<std::int16_t>(static_cast<std::uint16_t>(unit))) + "?";
}

// Left-aligns text in a field of `width` characters; a longer text is kept whole.
std::string field(const std::string& text, int width) {
  const auto count = static_cast<int>(utf8::characterCount(text));
  return rtfEscaped(text) + (count < width ? std::string(static_cast<std::size_t>(width - count), ' ') : "");
}

}  // namespace

std::string rtfEscaped(const std::string& label) {
  const std::string text = printableText(label);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const utf8::Decoded decoded = utf8::decode(text, i);
    i += decoded.length;
    const auto cp = static_cast<std::uint32_t>(decoded.codePoint);
    if (cp == '\\' || cp == '{' || cp == '}') {
      out += '\\';
      out += static_cast<char>(cp);
    } else if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x10000) {
      appendUnicodeEscape(out, cp);
    } else {
      const std::uint32_t v = cp - 0x10000;
      appendUnicodeEscape(out, 0xD800 + (v >> 10));
      appendUnicodeEscape(out, 0xDC00 + (v & 0x3FF));
    }
  }
  return out;
}

Dendrogram::Dendrogram(std::vector<DendrogramStage> stages)
    : stages_(std::move(stages)), objectCount_(static_cast<int>(stages_.size()) + 1) {
  if (stages_.empty()) throw std::invalid_argument("A dendrogram needs at least one merge");
  const auto n = static_cast<std::size_t>(objectCount_);
  const std::size_t s = stages_.size();
  columnOfStage_.assign(s, 0);
  objectAtRow_.assign(n, -1);
  rowOfCluster_.assign(n, -1);
  lastColumn_.assign(n, -1);
  grid_.assign(n * gridColumns, empty);
  formedAt1_.resize(s);
  formedAt2_.resize(s);
  for (std::size_t t = 0; t < s; ++t) {
    formedAt1_[t] = stages_[t].firstAppears1 + 1;
    formedAt2_[t] = stages_[t].firstAppears2 + 1;
  }
  drawn_.assign(s, false);
  computeColumns();
  walk();
}

std::vector<DendrogramStage> Dendrogram::scheduleOf(const ClusterSolution& solution) {
  std::vector<DendrogramStage> stages(static_cast<std::size_t>(solution.getStageCount()));
  for (int t = 0; t < solution.getStageCount(); ++t)
    stages[static_cast<std::size_t>(t)] = {solution.getCluster1(t),      solution.getCluster2(t),
                                           solution.getCoefficient(t),   solution.getFirstAppears1(t),
                                           solution.getFirstAppears2(t), solution.getNextStage(t)};
  return stages;
}

int Dendrogram::cell(int row, int column) const {
  if (row < 0 || row >= objectCount_ || column < 0 || column >= gridColumns)
    throw std::out_of_range("Dendrogram cell outside the grid");
  return grid_[static_cast<std::size_t>(row) * gridColumns + static_cast<std::size_t>(column)];
}

void Dendrogram::computeColumns() {
  const int last = stageCount() - 1;
  const double first = stages_.front().coefficient;
  const double lastCoefficient = stages_.back().coefficient;
  const double step = (lastCoefficient - first) / gridColumns;
  double thresholds[gridColumns];
  thresholds[0] = first + step;
  for (int j = 1; j < gridColumns - 1; ++j) thresholds[j] = thresholds[j - 1] + step;
  thresholds[gridColumns - 1] = lastCoefficient;

  if (thresholds[0] > thresholds[1]) {
    // Falling coefficients (similarities): placed from the last stage back.
    int column = gridColumns - 1;
    int b = gridColumns - 2;
    for (int s = last; s >= 0; --s) {
      while (b >= 0 && stages_[static_cast<std::size_t>(s)].coefficient >= thresholds[b]) {
        column = b;
        --b;
      }
      columnOfStage_[static_cast<std::size_t>(s)] = column;
    }
  } else {
    int b = 0;
    for (int s = 0; s <= last; ++s) {
      while (b < gridColumns - 1 && stages_[static_cast<std::size_t>(s)].coefficient > thresholds[b]) ++b;
      columnOfStage_[static_cast<std::size_t>(s)] = b;
    }
  }
}

void Dendrogram::drawRowEnd(int row, int column, int endState) {
  const auto r = static_cast<std::size_t>(row);
  int* cells = &grid_[r * gridColumns];
  const int lc = lastColumn_[r];
  if (column <= lc) return;
  if (lc >= 0) {
    int& previous = cells[lc];
    if (previous == upperEnd) previous = upperEndContinued;
    else if (previous == joinFromLeft) previous = joinContinued;
    else if (previous == vertical) previous = verticalContinued;
  }
  for (int c = lc + 1; c < column; ++c) cells[c] = horizontal;
  cells[column] = endState;
  lastColumn_[r] = column;
}

// Draws one stage; false when the stage cannot be drawn (its clusters are no
// objects, or a cluster it joins has no row yet).
bool Dendrogram::draw(int stage) {
  const auto s = static_cast<std::size_t>(stage);
  if (drawn_[s]) return false;
  drawn_[s] = true;
  const int c1 = stages_[s].cluster1;
  const int c2 = stages_[s].cluster2;
  if (c1 < 0 || c1 >= objectCount_ || c2 < 0 || c2 >= objectCount_) return false;
  const auto place = [&](int cluster) {
    if (nextRow_ + 1 >= objectCount_) return false;
    ++nextRow_;
    rowOfCluster_[static_cast<std::size_t>(cluster)] = nextRow_;
    objectAtRow_[static_cast<std::size_t>(nextRow_)] = cluster;
    return true;
  };
  if (formedAt1_[s] == 0 && !place(c1)) return false;
  if (formedAt2_[s] == 0 && !place(c2)) return false;

  const int column = columnOfStage_[s];
  const int r1 = rowOfCluster_[static_cast<std::size_t>(c1)];
  const int r2 = rowOfCluster_[static_cast<std::size_t>(c2)];
  if (r1 < 0 || r2 < 0) return false;
  drawRowEnd(r1, column, r1 <= r2 ? upperEnd : lowerEnd);
  drawRowEnd(r2, column, r2 < r1 ? upperEnd : lowerEnd);

  const int lo = std::min(r1, r2);
  const int hi = std::max(r1, r2);
  if (hi != lo + 1) {
    for (int r = lo + 1; r < hi; ++r) {
      int& cellState = grid_[static_cast<std::size_t>(r) * gridColumns + static_cast<std::size_t>(column)];
      if (cellState == upperEnd || cellState == lowerEnd) {
        cellState = joinFromLeft;
      } else if (cellState != joinFromLeft) {
        cellState = vertical;
        lastColumn_[static_cast<std::size_t>(r)] = column;
      }
    }
    int& lower = grid_[static_cast<std::size_t>(hi) * gridColumns + static_cast<std::size_t>(column)];
    if (lower == upperEnd) lower = joinFromLeft;
  }
  rowOfCluster_[static_cast<std::size_t>(c1)] = (r1 + r2) / 2;
  return true;
}

// Visits the merge tree so that every stage is drawn after the two stages
// that formed its clusters: down the earlier-formed branch first to a merge
// of two single objects, then up along the next stages, and down again into
// a branch not yet drawn. The entries of formedAt1_/formedAt2_ are negated to
// mark the branch already finished.
void Dendrogram::walk() {
  const int stageCount = this->stageCount();
  const auto inRange = [&](int s) { return s >= 0 && s < stageCount; };
  // A schedule that is a tree visits each stage a bounded number of times;
  // anything longer is a cycle in broken links.
  long budget = 16L * (stageCount + 2);
  const auto fail = [&] { walkFailed_ = true; };

  int s = 0;
  if (!draw(s)) return fail();
  for (;;) {
    if (--budget < 0) return fail();
    const int prev = s;
    s = stages_[static_cast<std::size_t>(prev)].nextStage;
    if (!inRange(s)) return;  // the root has been drawn
    const auto t = static_cast<std::size_t>(s);
    if (formedAt1_[t] <= 0) {
      formedAt1_[t] = -formedAt1_[t];
      if (!draw(s)) return fail();
      continue;
    }
    if (formedAt2_[t] <= 0) {
      formedAt2_[t] = -formedAt2_[t];
      if (!draw(s)) return fail();
      continue;
    }
    if (formedAt1_[t] - 1 != prev) {
      formedAt2_[t] = -formedAt2_[t];
      s = formedAt1_[t] - 1;
    } else {
      formedAt1_[t] = -formedAt1_[t];
      s = formedAt2_[t] - 1;
    }
    // Down to the first merge of two single objects.
    for (;;) {
      if (--budget < 0 || !inRange(s)) return fail();
      const auto u = static_cast<std::size_t>(s);
      const int d = formedAt1_[u] - formedAt2_[u];
      if (d == 0) {
        if (!draw(s)) return fail();
        break;
      }
      if (d < 0) s = formedAt1_[u] != 0 ? formedAt1_[u] - 1 : formedAt2_[u] - 1;
      else s = formedAt2_[u] != 0 ? formedAt2_[u] - 1 : formedAt1_[u] - 1;
    }
  }
}

const char* Dendrogram::cellRichText(int state) {
  switch (state) {
    case upperEnd: return "\\'f2\\'f8";
    case upperEndContinued: return "\\'f2\\'fb";
    case lowerEnd: return "\\'f2\\'f7";
    case joinFromLeft: return "\\'f2\\'fa";
    case joinContinued: return "\\'f2\\'f4";
    case vertical: return "\\f0  \\f1\\'f3";
    case verticalContinued: return "\\f0  \\f1\\'f9";
    case horizontal: return "\\'f2\\'f2";
    default: return "\\f0   \\f1";
  }
}

int Dendrogram::labelFieldWidth(const std::vector<std::string>* labels) {
  if (!labels) return 5;
  int longest = 0;
  for (const std::string& label : *labels) longest = std::max(longest, static_cast<int>(utf8::characterCount(label)));
  return std::min(std::max(5, longest), 20);
}

std::string Dendrogram::richText(const std::string& methodDisplayName, const std::vector<std::string>* labels) const {
  const int width = labelFieldWidth(labels);
  const int half = (width - 3) / 2;
  std::string body;
  body += "* * * * * * H I E R A R C H I C A L  C L U S T E R   A N A L Y S I S * * * * * *\\par \\par \\par ";
  body += " Dendrogram using " + rtfEscaped(methodDisplayName) + "\\par \\par ";
  body += std::string(22, ' ') + "Rescaled Distance Cluster Combine\\par \\par ";
  body += "  " + field("", half) + field("C A S E ", width + 5 - half) +
          "  0         5        10        15        20        25\\par ";
  body += "  " + field("Label", width) + "  Num" + "  +---------+---------+---------+---------+---------+\\par \\par ";
  for (int r = 0; r < objectCount_; ++r) {
    const int object = objectAtRow_[static_cast<std::size_t>(r)];
    const bool labelled = labels && object >= 0 && static_cast<std::size_t>(object) < labels->size();
    char number[16];
    std::snprintf(number, sizeof number, "%5d", object + 1);
    body += "  " + field(labelled ? (*labels)[static_cast<std::size_t>(object)] : " ", width) + number + "   \\f1";
    for (int c = 0; c < gridColumns; ++c) body += cellRichText(cell(r, c));
    body += "\\f0\\par ";
  }
  return OutputFactory::rtfText(body);
}

}  // namespace korvana
