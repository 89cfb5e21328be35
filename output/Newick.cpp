#include "output/Newick.h"

#include <charconv>
#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "common/Utf8.h"
#include "engine/ClusterSolution.h"
#include "engine/OrderFreeTree.h"
#include "engine/PermutationRun.h"
#include "engine/ProximityMatrix.h"
#include "common/ScientificFormat.h"

namespace korvana {

std::string shortestText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

int wholePercent(double share) { return std::isnan(share) ? 0 : static_cast<int>(std::floor(share * 100.0 + 0.5)); }

namespace {

/// Unicode's blanks beyond ASCII: readers split names at some of them.
bool isWideBlank(char32_t c) {
  return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
         c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

/// An ASCII character a Newick reader takes as part of an unquoted name.
bool isBareAscii(unsigned char c) {
  if (c <= 0x20 || c >= 0x7F) return false;
  switch (c) {
    case '(': case ')': case '[': case ']': case '\'': case '"': case ':': case ';': case ',': case '%':
      return false;
    default:
      return true;
  }
}

void appendEncoded(std::string& out, std::string_view bytes) {
  static const char* const hex = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    out += '%';
    out += hex[u >> 4];
    out += hex[u & 15];
  }
}

}  // namespace

std::string newickLeafName(const std::string& label, int objectNumber) {
  const std::size_t end = label.find_last_not_of(' ');
  if (end == std::string::npos) return std::to_string(objectNumber);
  const std::string_view text(label.data(), end + 1);
  std::string name;
  for (std::size_t at = 0; at < text.size();) {
    const auto first = static_cast<unsigned char>(text[at]);
    if (first < 0x80) {
      if (isBareAscii(first)) name += text[at];
      else appendEncoded(name, text.substr(at, 1));
      ++at;
      continue;
    }
    const utf8::Decoded decoded = utf8::decode(text, at);
    const std::string_view bytes = text.substr(at, decoded.length);
    if (decoded.valid && decoded.codePoint >= 0xA0 && !isWideBlank(decoded.codePoint)) name += bytes;
    else appendEncoded(name, bytes);  // a C1 control, a wide blank or bytes that are no character
    at += decoded.length;
  }
  return name;
}

namespace {

/// A tree to write: leaves 0 … n − 1, internal nodes from n on, each with
/// its children in the order written, a label and the length of the branch
/// above it (none for the root, or when lengths is false).
struct NewickTree {
  int leaves = 0;
  std::vector<std::vector<int>> children;  // of node leaves + i
  std::vector<std::string> labels;         // of every node; a leaf's is its name
  std::vector<double> heights;             // of every node
  bool lengths = false;
  /// Similarities: the heights fall towards the root, and the lengths are
  /// those of the distances (highest height) − height.
  bool similarity = false;
  /// Lengths rounded to 13 significant digits (differences of rounded
  /// heights, without the noise their subtraction leaves).
  bool roundedLengths = false;
};

/// Written without recursion: a node is entered ("(" written and its first
/// child pushed), then, between its children, a ",", and when all are
/// written, ")" with its label.
std::string writeNewick(const NewickTree& tree, int root) {
  struct Frame {
    int node;
    int parent;  // −1 for the root
    std::size_t childrenDone;
  };
  double top = 0.0;
  if (tree.similarity)
    for (std::size_t i = static_cast<std::size_t>(tree.leaves); i < tree.heights.size(); ++i)
      top = i == static_cast<std::size_t>(tree.leaves) ? tree.heights[i] : std::max(top, tree.heights[i]);
  const auto distance = [&](int node) {
    if (node < tree.leaves) return 0.0;
    const double height = tree.heights[static_cast<std::size_t>(node)];
    return tree.similarity ? top - height : height;
  };
  std::string text;
  std::vector<Frame> stack{{root, -1, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const auto node = static_cast<std::size_t>(frame.node);
    if (frame.node < tree.leaves) {
      text += tree.labels[node];
    } else {
      const std::vector<int>& children = tree.children[node - static_cast<std::size_t>(tree.leaves)];
      if (frame.childrenDone < children.size()) {
        text += frame.childrenDone == 0 ? "(" : ",";
        const int child = children[frame.childrenDone++];
        stack.push_back({child, frame.node, 0});
        continue;
      }
      text += ")" + tree.labels[node];
    }
    if (tree.lengths && frame.parent >= 0) {
      // Half the difference of the heights, as a tree whose leaves are all
      // at its tips' depth makes the path between two leaves their height.
      const double length = (distance(frame.parent) - distance(frame.node)) / 2.0;
      text += ":" + shortestText(tree.roundedLengths ? roundToSignificantDigits(length, 13) : length);
    }
    stack.pop_back();
  }
  return text + ";";
}

NewickTree leavesOf(const ProximityMatrix& matrix, int n) {
  NewickTree tree;
  tree.leaves = n;
  tree.lengths = true;
  tree.similarity = !matrix.isDissimilarity();
  // A label several objects share gets the object's number beside it, so
  // that every leaf has a name of its own (programs match trees by them).
  std::map<std::string, int> uses;
  const auto trimmed = [&](int o) {
    std::string label = matrix.getObjectLabel(o);
    while (!label.empty() && label.back() == ' ') label.pop_back();
    return label;
  };
  for (int o = 0; o < n; ++o) ++uses[trimmed(o)];
  for (int o = 0; o < n; ++o) {
    const std::string label = trimmed(o);
    tree.labels.push_back(
        newickLeafName(!label.empty() && uses[label] > 1 ? label + "_" + std::to_string(o + 1) : label, o + 1));
  }
  tree.heights.assign(static_cast<std::size_t>(n), 0.0);
  return tree;
}

}  // namespace

std::string newickOf(const ClusterSolution& solution, const ProximityMatrix& matrix,
                     const std::vector<StageSupport>& support) {
  const int n = solution.getObjectCount();
  const int stages = solution.getStageCount();
  if (stages == 0) return n == 1 ? newickLeafName(matrix.getObjectLabel(0), 1) + ";" : std::string(";");
  NewickTree tree = leavesOf(matrix, n);
  std::vector<int> nodeOf(static_cast<std::size_t>(n));
  for (int o = 0; o < n; ++o) nodeOf[static_cast<std::size_t>(o)] = o;
  for (int t = 0; t < stages; ++t) {
    const auto c1 = static_cast<std::size_t>(solution.getCluster1(t));
    const auto c2 = static_cast<std::size_t>(solution.getCluster2(t));
    tree.children.push_back({nodeOf[c1], nodeOf[c2]});
    tree.labels.push_back(std::to_string(wholePercent(support.at(static_cast<std::size_t>(t)).all)));
    tree.heights.push_back(solution.getHeight(t));
    nodeOf[c1] = n + t;
  }
  return writeNewick(tree, n + stages - 1);
}

std::string hierarchyNewickOf(const ClusterSolution& solution, const ProximityMatrix& matrix,
                              const std::vector<char>& folded, const std::vector<StageSupport>* support) {
  const int n = solution.getObjectCount();
  const int stages = solution.getStageCount();
  if (stages == 0) return n == 1 ? newickLeafName(matrix.getObjectLabel(0), 1) + ";" : std::string(";");
  NewickTree tree = leavesOf(matrix, n);
  tree.roundedLengths = true;
  // A folded stage's parts belong to the node of the first stage above it
  // that is not folded; the root never is.
  std::vector<int> nodeOfStage(static_cast<std::size_t>(stages), -1);
  for (int t = stages - 1; t >= 0; --t) {
    const int parent = solution.getNextStage(t);
    if (folded.at(static_cast<std::size_t>(t)) && parent > t) {
      nodeOfStage[static_cast<std::size_t>(t)] = nodeOfStage[static_cast<std::size_t>(parent)];
    } else {
      nodeOfStage[static_cast<std::size_t>(t)] = n + static_cast<int>(tree.children.size());
      tree.children.emplace_back();
      const double share = support ? support->at(static_cast<std::size_t>(t)).all : std::nan("");
      tree.labels.push_back(support ? std::to_string(wholePercent(share)) : std::string());
      tree.heights.push_back(roundToSignificantDigits(solution.getHeight(t), 13));
    }
  }
  // The parts of each node with the lowest object each holds, to write them
  // in the order of their first objects.
  std::vector<std::vector<std::pair<int, int>>> parts(tree.children.size());
  std::vector<int> partOf(static_cast<std::size_t>(n));  // the node or leaf each cluster name stands for
  for (int o = 0; o < n; ++o) partOf[static_cast<std::size_t>(o)] = o;
  for (int t = 0; t < stages; ++t) {
    const int node = nodeOfStage[static_cast<std::size_t>(t)];
    for (const int cluster : {solution.getCluster1(t), solution.getCluster2(t)}) {
      const int part = partOf[static_cast<std::size_t>(cluster)];
      if (part != node) parts[static_cast<std::size_t>(node - n)].push_back({cluster, part});
    }
    partOf[static_cast<std::size_t>(solution.getCluster1(t))] = node;
  }
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::sort(parts[i].begin(), parts[i].end());
    for (const auto& [first, part] : parts[i]) tree.children[i].push_back(part);
  }
  return writeNewick(tree, nodeOfStage[static_cast<std::size_t>(stages - 1)]);
}

std::string consensusNewickOf(const Consensus& consensus, const ProximityMatrix& matrix) {
  const int n = matrix.getNumberOfObjects();
  NewickTree tree = leavesOf(matrix, n);
  tree.lengths = false;
  std::vector<int> partOf(static_cast<std::size_t>(n));  // each object's outermost node so far
  for (int o = 0; o < n; ++o) partOf[static_cast<std::size_t>(o)] = o;
  const auto join = [&](const std::vector<int>& objects, const std::string& label) {
    std::vector<std::pair<int, int>> parts;  // (first object, node)
    for (const int object : objects) {
      const int part = partOf[static_cast<std::size_t>(object)];
      bool seen = false;
      for (const auto& known : parts) seen = seen || known.second == part;
      if (!seen) parts.push_back({object, part});
    }
    const int node = n + static_cast<int>(tree.children.size());
    tree.children.emplace_back();
    for (const auto& [first, part] : parts) tree.children.back().push_back(part);
    tree.labels.push_back(label);
    tree.heights.push_back(0.0);
    for (const int object : objects) partOf[static_cast<std::size_t>(object)] = node;
    return node;
  };
  if (n == 0) return ";";
  if (n == 1) return tree.labels.front() + ";";
  std::string rootLabel;
  for (const ConsensusCluster& cluster : consensus.clusters) {
    if (cluster.objects.size() < 2) continue;
    if (cluster.objects.size() == static_cast<std::size_t>(n)) rootLabel = std::to_string(wholePercent(cluster.support));
    else join(cluster.objects, std::to_string(wholePercent(cluster.support)));
  }
  std::vector<int> all(static_cast<std::size_t>(n));
  for (int o = 0; o < n; ++o) all[static_cast<std::size_t>(o)] = o;
  return writeNewick(tree, join(all, rootLabel));
}

std::string newickOf(const OrderFreeTree& tree, const ProximityMatrix& matrix) {
  const int n = tree.getObjectCount();
  const auto& merges = tree.getMerges();
  if (merges.empty()) return n == 1 ? newickLeafName(matrix.getObjectLabel(0), 1) + ";" : std::string(";");
  NewickTree written = leavesOf(matrix, n);
  // Node n + m is the one merge m forms, over the clusters it joins.
  std::vector<int> nodeOf(static_cast<std::size_t>(n));
  for (int o = 0; o < n; ++o) nodeOf[static_cast<std::size_t>(o)] = o;
  for (std::size_t m = 0; m < merges.size(); ++m) {
    written.children.emplace_back();
    for (const int c : merges[m].clusters) written.children.back().push_back(nodeOf[static_cast<std::size_t>(c)]);
    written.labels.emplace_back();
    written.heights.push_back(merges[m].height);
    nodeOf[static_cast<std::size_t>(merges[m].clusters.front())] = n + static_cast<int>(m);
  }
  return writeNewick(written, n + static_cast<int>(merges.size()) - 1);
}

}  // namespace korvana
