#include "output/Newick.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "common/PrintableText.h"
#include "engine/ClusterSolution.h"
#include "engine/PermutationRun.h"
#include "engine/ProximityMatrix.h"

namespace korvana {

std::string shortestText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

int wholePercent(double share) { return std::isnan(share) ? 0 : static_cast<int>(std::floor(share * 100.0 + 0.5)); }

std::string newickLeafName(const std::string& label, int objectNumber) {
  // One line whatever the label holds.
  const std::string printable = printableText(label);
  const std::size_t end = printable.find_last_not_of(' ');
  const std::string trimmed = end == std::string::npos ? std::string() : printable.substr(0, end + 1);
  if (trimmed.empty()) return std::to_string(objectNumber);
  bool plain = true;
  for (const char c : trimmed) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                         c == '.' || c == '-';
    plain = plain && allowed;
  }
  if (plain) return trimmed;
  std::string quoted = "'";
  for (const char c : trimmed) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

std::string newickOf(const ClusterSolution& solution, const ProximityMatrix& matrix,
                     const std::vector<StageSupport>& support) {
  const int n = solution.getObjectCount();
  const int stages = solution.getStageCount();
  if (stages == 0) return n == 1 ? newickLeafName(matrix.getObjectLabel(0), 1) + ";" : std::string(";");
  // Nodes: objects 0 … n − 1 are leaves, n + t is the node stage t forms.
  std::vector<std::pair<int, int>> children(static_cast<std::size_t>(stages));
  std::vector<int> nodeOf(static_cast<std::size_t>(n));
  for (int o = 0; o < n; ++o) nodeOf[static_cast<std::size_t>(o)] = o;
  for (int t = 0; t < stages; ++t) {
    const auto c1 = static_cast<std::size_t>(solution.getCluster1(t));
    const auto c2 = static_cast<std::size_t>(solution.getCluster2(t));
    children[static_cast<std::size_t>(t)] = {nodeOf[c1], nodeOf[c2]};
    nodeOf[c1] = n + t;
  }
  const bool lengths = matrix.isDissimilarity();
  const auto height = [&](int node) { return node < n ? 0.0 : solution.getCoefficient(node - n); };

  // A walk with its own stack: a node is entered (its "(" written and its
  // first child pushed), then, between its children, a ",", and when both are
  // written, ")" with its label.
  struct Frame {
    int node;
    int parent;  // −1 for the root
    int childrenDone;
  };
  std::string text;
  std::vector<Frame> stack{{n + stages - 1, -1, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.node < n) {
      text += newickLeafName(matrix.getObjectLabel(frame.node), frame.node + 1);
    } else if (frame.childrenDone < 2) {
      const auto& [first, second] = children[static_cast<std::size_t>(frame.node - n)];
      text += frame.childrenDone == 0 ? "(" : ",";
      const int child = frame.childrenDone == 0 ? first : second;
      ++frame.childrenDone;
      stack.push_back({child, frame.node, 0});
      continue;
    } else {
      text += ")" + std::to_string(wholePercent(support.at(static_cast<std::size_t>(frame.node - n)).all));
    }
    if (lengths && frame.parent >= 0) text += ":" + shortestText(height(frame.parent) - height(frame.node));
    stack.pop_back();
  }
  return text + ";";
}

}  // namespace korvana
