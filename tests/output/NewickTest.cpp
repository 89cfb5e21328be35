// Newick trees read back by a small parser of our own: the leaf names with
// their quoting, the clusters, the support labels, the branch lengths (none
// for similarities), and a chain of 10,000 objects written without recursion.
#include "output/Newick.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <set>
#include <string>
#include <vector>

#include "engine/ClusterMethodFactory.h"
#include "engine/PermutationRun.h"
#include "engine/ProgressMonitor.h"
#include "engine/ProximityMatrix.h"
#include "engine/VariableGroupAgglomeration.h"

namespace korvana {
namespace {

struct Node {
  std::string name;  // a leaf's name, or an internal node's label
  bool hasLength = false;
  double length = 0;
  std::vector<int> children;
};

/// Reads one Newick tree (iteratively); fails the test on a syntax error.
std::vector<Node> parse(const std::string& text) {
  std::vector<Node> nodes;
  std::vector<int> open;
  std::size_t at = 0;
  const auto readName = [&]() {
    std::string name;
    if (at < text.size() && text[at] == '\'') {
      for (++at; at < text.size(); ++at) {
        if (text[at] == '\'') {
          if (at + 1 < text.size() && text[at + 1] == '\'') {
            name += '\'';
            ++at;
            continue;
          }
          ++at;
          break;
        }
        name += text[at];
      }
      return name;
    }
    while (at < text.size() && std::string(":,();").find(text[at]) == std::string::npos) name += text[at++];
    return name;
  };
  const auto readLength = [&](Node& node) {
    if (at < text.size() && text[at] == ':') {
      ++at;
      std::size_t used = 0;
      node.length = std::stod(text.substr(at), &used);
      node.hasLength = true;
      at += used;
    }
  };
  int last = -1;
  while (at < text.size() && text[at] != ';') {
    if (text[at] == '(') {
      nodes.push_back({});
      if (!open.empty()) nodes[static_cast<std::size_t>(open.back())].children.push_back(static_cast<int>(nodes.size()) - 1);
      open.push_back(static_cast<int>(nodes.size()) - 1);
      ++at;
    } else if (text[at] == ',') {
      ++at;
    } else if (text[at] == ')') {
      ++at;
      last = open.back();
      open.pop_back();
      nodes[static_cast<std::size_t>(last)].name = readName();
      readLength(nodes[static_cast<std::size_t>(last)]);
    } else {
      nodes.push_back(Node{readName(), false, 0.0, {}});
      readLength(nodes.back());
      if (!open.empty()) nodes[static_cast<std::size_t>(open.back())].children.push_back(static_cast<int>(nodes.size()) - 1);
      last = static_cast<int>(nodes.size()) - 1;
    }
  }
  EXPECT_TRUE(open.empty()) << text.substr(0, 200);
  EXPECT_EQ(text.back(), ';');
  return nodes;
}

/// The leaf names below a node, by walking with a stack.
std::multiset<std::string> leavesBelow(const std::vector<Node>& nodes, int node) {
  std::multiset<std::string> leaves;
  std::vector<int> stack{node};
  while (!stack.empty()) {
    const Node& n = nodes[static_cast<std::size_t>(stack.back())];
    stack.pop_back();
    if (n.children.empty()) leaves.insert(n.name);
    for (int child : n.children) stack.push_back(child);
  }
  return leaves;
}

TEST(Newick, LeafNamesAreBareAndEncodeWhatReadersWouldSplit) {
  const struct {
    const char* label;
    const char* name;
  } cases[] = {{"setosa", "setosa"},           {"a_b.c-1  ", "a_b.c-1"},       {"two words", "two%20words"},
               {"O'Brien", "O%27Brien"},       {"(x),y:z;", "%28x%29%2Cy%3Az%3B"}, {"caf\xC3\xA9", "caf\xC3\xA9"},
               {"50%", "50%25"},               {"[a]\"b\"", "%5Ba%5D%22b%22"}, {"a+b/c&d", "a+b/c&d"},
               {"", "7"},                      {"   ", "7"},
               // One line whatever the label holds; no escape reaches a terminal.
               {"two\nlines", "two%0Alines"},  {"red\x1b[31m", "red%1B%5B31m"},
               // A no-break space, bytes that are no UTF-8.
               {"a\xC2\xA0" "b", "a%C2%A0b"},      {"x\xFFy", "x%FFy"}};
  for (const auto& c : cases) EXPECT_EQ(newickLeafName(c.label, 7), c.name) << c.label;
  EXPECT_EQ(wholePercent(0.125), 13);
  EXPECT_EQ(wholePercent(0.124999), 12);
  EXPECT_EQ(wholePercent(1.0), 100);
}

// Every internal node of the tree is a cluster of the schedule, labelled with
// its support, and its branch is the difference of the merges' coefficients.
TEST(Newick, TheTreeHoldsTheScheduleSupportAndLengths) {
  ClusterMethodFactory::createClusterMethods();
  for (const bool dissimilarity : {true, false}) {
    ProximityMatrix matrix;
    matrix.setIsDissimilarity(dissimilarity);
    matrix.assignLowerTriangle(6, {1, 4, 4, 4, 4, 2, 5, 5, 3, 3, 6, 6, 6, 6, 1},
                               {"a", "b", "c d", "e", "f'", "g"});
    matrix.setHasObjectLabels(true);
    PermutationSettings settings;
    settings.permutationCount = 1;
    SilentProgress progress;
    const PermutationResults results =
        runPermutations(matrix, *ClusterMethodFactory::getAverageLinkageBetweenGroups(), settings, progress);
    const ClusterSolution& solution = *results.solutions.front();
    std::vector<StageSupport> support;
    for (int t = 0; t < 5; ++t) support.push_back({0.2 * t, 0.5});
    const std::vector<Node> nodes = parse(newickOf(solution, matrix, support));

    // The expected clusters, by leaf names, with their stage.
    std::vector<std::multiset<std::string>> members = {{"a"}, {"b"}, {"c%20d"}, {"e"}, {"f%27"}, {"g"}};
    std::vector<std::pair<std::multiset<std::string>, int>> clusters;
    double top = solution.getHeight(0);
    for (int t = 0; t < 5; ++t) {
      auto& merged = members[static_cast<std::size_t>(solution.getCluster1(t))];
      const auto& absorbed = members[static_cast<std::size_t>(solution.getCluster2(t))];
      merged.insert(absorbed.begin(), absorbed.end());
      clusters.emplace_back(merged, t);
      top = std::max(top, solution.getHeight(t));
    }
    // Depth of every node: the lengths summed from the root (node 0).
    std::vector<double> depth(nodes.size(), 0.0);
    for (std::size_t i = 0; i < nodes.size(); ++i)
      for (int child : nodes[i].children) depth[static_cast<std::size_t>(child)] = depth[i] + nodes[static_cast<std::size_t>(child)].length;
    int internal = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      if (nodes[i].children.empty()) {
        EXPECT_TRUE(nodes[i].hasLength) << nodes[i].name;
        continue;
      }
      ++internal;
      EXPECT_EQ(nodes[i].children.size(), 2u);
      const auto leaves = leavesBelow(nodes, static_cast<int>(i));
      int stage = -1;
      for (const auto& [set, t] : clusters)
        if (set == leaves) stage = t;
      ASSERT_GE(stage, 0) << "a node that is no cluster of the schedule";
      EXPECT_EQ(nodes[i].name, std::to_string(wholePercent(support[static_cast<std::size_t>(stage)].all)));
      // Every leaf below lies half the node's height (as a distance) below
      // it, so that two leaves are their joining height apart.
      const double height = solution.getHeight(stage);
      const double expected = (dissimilarity ? height : top - height) / 2.0;
      for (std::size_t leaf = 0; leaf < nodes.size(); ++leaf) {
        if (!nodes[leaf].children.empty() || !leaves.count(nodes[leaf].name)) continue;
        EXPECT_NEAR(depth[leaf] - depth[i], expected, 1e-12) << nodes[leaf].name << " below stage " << stage;
      }
    }
    EXPECT_EQ(internal, 5);
  }
  ClusterMethodFactory::destroyClusterMethods();
}

// A chain as deep as it is long, written on a thread with a 128 KiB stack: a
// recursive walk would need more than that.
TEST(Newick, ADeepChainIsWrittenWithoutRecursion) {
  ClusterMethodFactory::createClusterMethods();
  const int n = 3000;
  std::vector<double> lower;
  lower.reserve(static_cast<std::size_t>(n) * (n - 1) / 2);
  for (int i = 1; i < n; ++i)
    for (int j = 0; j < i; ++j) lower.push_back(static_cast<double>(i - j));
  ProximityMatrix matrix;
  matrix.assignLowerTriangle(n, lower);
  PermutationSettings settings;
  settings.permutationCount = 1;
  SilentProgress progress;
  const PermutationResults results =
      runPermutations(matrix, *ClusterMethodFactory::getSingleLinkage(), settings, progress);
  struct Work {
    const ClusterSolution* solution;
    const ProximityMatrix* matrix;
    std::vector<StageSupport> support;
    std::string text;
  } work{results.solutions.front().get(), &matrix, std::vector<StageSupport>(n - 1, StageSupport{1.0, 1.0}), {}};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 128 * 1024);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes,
                           [](void* argument) -> void* {
                             auto* w = static_cast<Work*>(argument);
                             w->text = newickOf(*w->solution, *w->matrix, w->support);
                             return nullptr;
                           },
                           &work),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  const std::vector<Node> nodes = parse(work.text);
  EXPECT_EQ(nodes.size(), static_cast<std::size_t>(2 * n - 1));
  EXPECT_EQ(leavesBelow(nodes, 0).size(), static_cast<std::size_t>(n));
  // The tree is as deep as the chain is long.
  int deepest = 0;
  std::vector<std::pair<int, int>> stack{{0, 0}};
  while (!stack.empty()) {
    const auto [node, depth] = stack.back();
    stack.pop_back();
    deepest = std::max(deepest, depth);
    for (int child : nodes[static_cast<std::size_t>(node)].children) stack.emplace_back(child, depth + 1);
  }
  EXPECT_EQ(deepest, n - 1);
  ClusterMethodFactory::destroyClusterMethods();
}


// The order-free tree of five objects (single linkage): {a,b} and {c,d} at 1,
// then both with e at 2. Its root has three children. The same values as
// similarities, complete linkage: a and b are both 3 from e, so {a,b,e} forms
// at 3; c and d are both 2 from it: the root joins it with c and d. As
// distances from the highest merge (3), {a,b,e} is at 0 and the root at 1.
TEST(Newick, TheOrderFreeTreeHasOneNodePerMergeWithEveryClusterItJoins) {
  ClusterMethodFactory::createClusterMethods();
  ProximityMatrix matrix;
  matrix.assignLowerTriangle(5, {1, 2, 2, 2, 2, 1, 3, 3, 2, 2}, {"a", "b", "c", "d", "e"});
  matrix.setHasObjectLabels(true);
  const OrderFreeTree tree = buildOrderFreeTree(matrix, *ClusterMethodFactory::getSingleLinkage());
  // Half the heights' differences: two leaves are their joining height apart.
  EXPECT_EQ(newickOf(tree, matrix), "((a:0.5,b:0.5):0.5,(c:0.5,d:0.5):0.5,e:1);");
  const std::vector<Node> nodes = parse(newickOf(tree, matrix));
  ASSERT_EQ(nodes[0].children.size(), 3u);
  EXPECT_EQ(leavesBelow(nodes, 0).size(), 5u);
  matrix.setIsDissimilarity(false);
  EXPECT_EQ(newickOf(buildOrderFreeTree(matrix, *ClusterMethodFactory::getCompleteLinkage()), matrix),
            "((a:0,b:0,e:0):0.5,c:0.5,d:0.5);");
  ClusterMethodFactory::destroyClusterMethods();
}

}  // namespace
}  // namespace korvana
