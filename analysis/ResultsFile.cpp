#include "analysis/ResultsFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string_view>
#include <vector>

#include "analysis/ClusterAnalysis.h"
#include "common/AtomicFile.h"
#include "common/EKorvanaError.h"
#include "common/ScientificFormat.h"
#include "engine/BestFitHistory.h"
#include "engine/ClusterMethod.h"
#include "output/Newick.h"
#include "output/Version.h"

namespace korvana {

namespace {

/// Writes JSON text piece by piece through the file writer, buffered.
class JsonOut {
 public:
  explicit JsonOut(const ContentWriter& write) : write_(write) { buffer_.reserve(kBuffer); }
  ~JsonOut() = default;
  JsonOut(const JsonOut&) = delete;
  JsonOut& operator=(const JsonOut&) = delete;

  JsonOut& raw(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kBuffer) flush();
    return *this;
  }
  JsonOut& number(double value) { return std::isfinite(value) ? raw(shortestText(value)) : raw("null"); }
  JsonOut& integer(long long value) { return raw(std::to_string(value)); }
  JsonOut& boolean(bool value) { return raw(value ? "true" : "false"); }
  JsonOut& string(std::string_view text) {
    buffer_ += '"';
    for (const char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') {
        buffer_ += '\\';
        buffer_ += c;
      } else if (byte < 0x20) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", byte);
        buffer_ += escape;
      } else {
        buffer_ += c;
      }
    }
    buffer_ += '"';
    return raw("");
  }
  /// "key": (followed by its value)
  JsonOut& key(std::string_view name) { return string(name).raw(": "); }
  void flush() {
    if (!buffer_.empty()) write_(buffer_);
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kBuffer = 1 << 16;
  const ContentWriter& write_;
  std::string buffer_;
};

std::string trimmed(const std::string& text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

void writeAccounting(JsonOut& out, const DistinctSolutions& d) {
  out.raw("{").key("permutations").integer(d.permutations);
  out.raw(", ").key("distinct").integer(d.distinct);
  out.raw(", ").key("seenOnce").integer(d.seenOnce);
  out.raw(", ").key("seenTwice").integer(d.seenTwice);
  out.raw(", ").key("estimatedTotal").number(d.estimatedTotal);
  out.raw(", ").key("curve").raw("[");
  for (std::size_t k = 0; k < d.curve.size(); ++k) out.raw(k > 0 ? ", " : "").integer(d.curve[k]);
  out.raw("]}");
}

void writeConsensus(JsonOut& out, const Consensus& consensus, const ProximityMatrix& matrix) {
  if (!consensus.known) {
    out.raw("null");
    return;
  }
  out.raw("{").key("clusters").raw("[");
  for (std::size_t c = 0; c < consensus.clusters.size(); ++c) {
    const ConsensusCluster& cluster = consensus.clusters[c];
    out.raw(c > 0 ? ",\n      " : "\n      ").raw("{").key("objects").raw("[");
    for (std::size_t m = 0; m < cluster.objects.size(); ++m) out.raw(m > 0 ? ", " : "").integer(cluster.objects[m] + 1);
    out.raw("], ").key("support").number(cluster.support).raw("}");
  }
  out.raw(consensus.clusters.empty() ? "]" : "\n    ]");
  out.raw(", ").key("newick").string(consensusNewickOf(consensus, matrix)).raw("}");
}

void writeMerges(JsonOut& out, const ClusterSolution& solution, const std::vector<StageSupport>& support,
                 const std::vector<char>& folded, const std::vector<StageSupport>& hierarchySupport) {
  const int n = solution.getObjectCount();
  // The members of the cluster each object number names, kept sorted.
  std::vector<std::vector<int>> members(static_cast<std::size_t>(n));
  for (int o = 0; o < n; ++o) members[static_cast<std::size_t>(o)] = {o};
  std::vector<int> merged;
  out.raw("[");
  for (int t = 0; t < solution.getStageCount(); ++t) {
    auto& first = members[static_cast<std::size_t>(solution.getCluster1(t))];
    auto& second = members[static_cast<std::size_t>(solution.getCluster2(t))];
    merged.clear();
    std::merge(first.begin(), first.end(), second.begin(), second.end(), std::back_inserter(merged));
    first.swap(merged);
    std::vector<int>().swap(second);
    out.raw(t > 0 ? ",\n      " : "\n      ").raw("{").key("stage").integer(t + 1);
    out.raw(", ").key("cluster1").integer(solution.getCluster1(t) + 1);
    out.raw(", ").key("cluster2").integer(solution.getCluster2(t) + 1);
    out.raw(", ").key("coefficient").number(solution.getCoefficient(t));
    out.raw(", ").key("height").number(solution.getHeight(t));
    out.raw(", ").key("objects").raw("[");
    for (std::size_t m = 0; m < first.size(); ++m) out.raw(m > 0 ? ", " : "").integer(first[m] + 1);
    out.raw("], ").key("supportAll").number(support.at(static_cast<std::size_t>(t)).all);
    out.raw(", ").key("supportBest").number(support.at(static_cast<std::size_t>(t)).best);
    const bool isFolded = folded.at(static_cast<std::size_t>(t)) != 0;
    out.raw(", ").key("folded").boolean(isFolded);
    out.raw(", ").key("hierarchySupport");
    if (isFolded) {
      out.raw("null");
    } else {
      const StageSupport& share = hierarchySupport.at(static_cast<std::size_t>(t));
      out.raw("{").key("all").number(share.all).raw(", ").key("best").number(share.best).raw("}");
    }
    out.raw("}");
  }
  out.raw(solution.getStageCount() > 0 ? "\n    ]" : "]");
}

/// The order-free tree: its merges with their clusters and objects (numbered
/// from 1), height and range, its fit and its Newick text.
void writeOrderFreeTree(JsonOut& out, const OrderFreeTree& tree, const ProximityMatrix& matrix) {
  const int n = tree.getObjectCount();
  std::vector<std::vector<int>> members(static_cast<std::size_t>(n));
  for (int o = 0; o < n; ++o) members[static_cast<std::size_t>(o)] = {o};
  std::vector<int> merged;
  const auto& merges = tree.getMerges();
  out.raw("{\n    ").key("merges").raw("[");
  for (std::size_t m = 0; m < merges.size(); ++m) {
    const OrderFreeMerge& merge = merges[m];
    auto& first = members[static_cast<std::size_t>(merge.clusters.front())];
    for (std::size_t k = 1; k < merge.clusters.size(); ++k) {
      auto& other = members[static_cast<std::size_t>(merge.clusters[k])];
      merged.clear();
      std::merge(first.begin(), first.end(), other.begin(), other.end(), std::back_inserter(merged));
      first.swap(merged);
      std::vector<int>().swap(other);
    }
    out.raw(m > 0 ? ",\n      " : "\n      ").raw("{").key("stage").integer(static_cast<long long>(m) + 1);
    out.raw(", ").key("clusters").raw("[");
    for (std::size_t k = 0; k < merge.clusters.size(); ++k) out.raw(k > 0 ? ", " : "").integer(merge.clusters[k] + 1);
    out.raw("], ").key("objects").raw("[");
    for (std::size_t k = 0; k < first.size(); ++k) out.raw(k > 0 ? ", " : "").integer(first[k] + 1);
    out.raw("], ").key("height").number(merge.height);
    out.raw(", ").key("range").raw("[").number(merge.lowest).raw(", ").number(merge.highest).raw("]}");
  }
  out.raw(merges.empty() ? "]" : "\n    ]");
  const double fit = tree.getNormalizedSSDif();
  out.raw(",\n    ").key("ssdif").number(
      roundToSignificantDigits(static_cast<double>(static_cast<Extended>(fit) * tree.getSumOfSquares()), 13));
  out.raw(",\n    ").key("normalizedSSDif").number(fit);
  out.raw(",\n    ").key("copheneticCorrelation").number(tree.getCopheneticCorrelation());
  out.raw(",\n    ").key("hierarchy").string(solutionIdText(tree.hierarchyId()));
  out.raw(",\n    ").key("newick").string(newickOf(tree, matrix));
  out.raw("\n  }");
}

}  // namespace

void writeResultsFile(const std::string& path, const ClusterAnalysis& analysis) {
  // A run canceled before its permutations began has counted nothing.
  const std::optional<SupportReport>& counted = analysis.getSupportReport();
  if (!counted && analysis.getCompletedPermutations() > 0)
    throw EKorvanaError("The results of '" + path + "' were not counted: the clusters were not tallied");
  const SupportReport none;
  const SupportReport& support = counted ? *counted : none;
  const ProximityMatrix& matrix = analysis.getMatrix();
  const PermutationRecords& records = analysis.getRecords();
  const double sumOfSquares = matrix.getSumOfSquares();

  // A file for other programs: its mode follows the user's umask, as the
  // output renderings' do.
  replaceFileAtomically(path, [&](const ContentWriter& write) {
    JsonOut out(write);
    out.raw("{\n  ").key("program").string(Version::productName);
    out.raw(",\n  ").key("version").string(Version::getVersionText());
    out.raw(",\n  ").key("method").string(analysis.getMethod().getKeyword());
    out.raw(",\n  ").key("proximities");
    if (matrix.getNumberOfObjects() == 0) out.raw("null");  // canceled before the matrix was read
    else out.string(matrix.isDissimilarity() ? "dissimilarity" : "similarity");
    out.raw(",\n  ").key("startSeed").integer(analysis.getSeed());
    out.raw(",\n  ").key("startSeedFromClock").boolean(analysis.getSeedFromClock());

    out.raw(",\n  ").key("objects").raw("[");
    for (int i = 0; i < matrix.getNumberOfObjects(); ++i) {
      out.raw(i > 0 ? ",\n    " : "\n    ").raw("{").key("number").integer(i + 1).raw(", ").key("label");
      const std::string label = trimmed(matrix.getObjectLabel(i));
      if (matrix.hasObjectLabels() && !label.empty()) out.string(label);
      else out.raw("null");
      out.raw("}");
    }
    out.raw(matrix.getNumberOfObjects() > 0 ? "\n  ]" : "]");

    out.raw(",\n  ").key("permutations").raw("[");
    for (int k = 0; k < records.completed; ++k) {
      const auto uk = static_cast<std::size_t>(k);
      const bool identity = k == 0 && analysis.getFirstPermutationIsIdentity();
      const double fit = records.fitValues[uk];
      const double ssdif = roundToSignificantDigits(ssdifOf(fit, sumOfSquares), 13);
      out.raw(k > 0 ? ",\n    " : "\n    ").raw("{").key("permutation").integer(k + 1);
      out.raw(", ").key("identity").boolean(identity);
      out.raw(", ").key("seed");
      if (identity) out.raw("null");
      else out.integer(records.seeds[uk]);
      out.raw(", ").key("solution").string(solutionIdText(records.solutionIds[uk]));
      out.raw(", ").key("hierarchy").string(solutionIdText(records.hierarchyIds[uk]));
      out.raw(", ").key("normalizedSSDif").number(fit);
      out.raw(", ").key("ssdif").number(ssdif);
      out.raw(", ").key("copheneticCorrelation").number(reportedCorrelation(records.correlations[uk]));
      out.raw("}");
    }
    out.raw(records.completed > 0 ? "\n  ]" : "]");

    out.raw(",\n  ").key("solutions").raw("[");
    const auto& solutions = analysis.getSolutions();
    for (std::size_t s = 0; s < solutions.size(); ++s) {
      const ClusterSolution& solution = *solutions[s];
      const std::vector<StageSupport>& stages = support.solutions.at(s);
      out.raw(s > 0 ? ",\n  {" : "\n  {").raw("\n    ").key("solution");
      out.string(solutionIdText(solution.getSolutionId()));
      out.raw(",\n    ").key("permutation").integer(solution.getPermutationIndex() + 1);
      out.raw(",\n    ").key("seed");
      if (solution.isIdentityPermutation()) out.raw("null");
      else out.integer(solution.getSeed());
      out.raw(",\n    ").key("normalizedSSDif").number(solution.getNormalizedSSDif());
      out.raw(",\n    ").key("copheneticCorrelation").number(reportedCorrelation(solution.getCopheneticCorrelation()));
      out.raw(",\n    ").key("hierarchy").string(solutionIdText(support.solutionHierarchies.at(s)));
      out.raw(",\n    ").key("merges");
      writeMerges(out, solution, stages, support.folded.at(s), support.hierarchySupport.at(s));
      out.raw(",\n    ").key("newick").string(newickOf(solution, matrix, stages));
      out.raw(",\n    ").key("hierarchyNewick")
          .string(hierarchyNewickOf(solution, matrix, support.folded.at(s), &support.hierarchySupport.at(s)));
      out.raw("\n  }");
    }
    out.raw(solutions.empty() ? "]" : "\n  ]");

    out.raw(",\n  ").key("distinctSolutions").raw("{\n    ").key("all");
    writeAccounting(out, support.all);
    out.raw(",\n    ").key("best");
    writeAccounting(out, support.best);
    out.raw("\n  }");
    out.raw(",\n  ").key("distinctHierarchies").raw("{\n    ").key("all");
    writeAccounting(out, support.hierarchiesAll);
    out.raw(",\n    ").key("best");
    writeAccounting(out, support.hierarchiesBest);
    out.raw("\n  }");
    out.raw(",\n  ").key("consensus").raw("{\n    ").key("all");
    writeConsensus(out, support.consensusAll, matrix);
    out.raw(",\n    ").key("best");
    writeConsensus(out, support.consensusBest, matrix);
    out.raw("\n  }");
    const BestFitHistory history = bestFitHistoryOf(records);
    out.raw(",\n  ").key("bestFit").raw("{").key("value").number(history.value);
    out.raw(", ").key("firstReachedAt");
    if (history.firstReachedAt < 0) out.raw("null");
    else out.integer(history.firstReachedAt + 1);
    out.raw(", ").key("reachedBy").integer(history.reachedBy);
    out.raw(", ").key("records").raw("[");
    for (std::size_t r = 0; r < history.records.size(); ++r)
      out.raw(r > 0 ? ", " : "").raw("{").key("permutation").integer(history.records[r].permutation + 1)
          .raw(", ").key("normalizedSSDif").number(history.records[r].normalizedSSDif).raw("}");
    out.raw("]}");
    if (const OrderFreeTree* tree = analysis.getOrderFreeTree()) {
      out.raw(",\n  ").key("orderFreeTree");
      writeOrderFreeTree(out, *tree, matrix);
    }
    out.raw(",\n  ").key("completed").integer(records.completed);
    out.raw(",\n  ").key("stoppedWhenStable");
    if (analysis.getStoppedAfter() < 0)
      out.raw("null");
    else
      out.raw("{").key("after").integer(analysis.getStoppedAfter() + 1).raw(", ").key("window")
          .integer(analysis.getStopWhenStable()).raw("}");
    out.raw(",\n  ").key("canceled")
        .boolean(records.completed < analysis.getPermutationCount() && analysis.getStoppedAfter() < 0);
    out.raw("\n}\n");
    out.flush();
  }, documentFileMode);
}

}  // namespace korvana
