// The whole output of one analysis written through the output operations in
// the order the analysis run keeps (product heading and title, credit and
// Notes tables, method heading and title, the warning, the permutation fit
// table, then per solution its heading, fit, object order, schedule and
// dendrogram), for a small matrix of five objects with ties.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "analysis/ClusterAnalysis.h"

namespace korvana::testing {

/// The five objects: dissimilarities
///        1  2  3  4
///   2    1
///   3    2  2
///   4    2  2  1
///   5    3  3  2  2
/// labelled alpha, bravo, charlie, delta, echo, not squared Euclidean.
extern const std::vector<double> tiedFiveObjects;
extern const std::vector<std::string> tiedFiveObjectLabels;

/// The analysis of the five objects with a method: 6 permutations (the first
/// the identity), seed 12345, every output option on; the permutations are run.
std::unique_ptr<ClusterAnalysis> analyzeTiedFiveObjects(ClusterMethod& method, bool clusterSupport = false);

/// Writes the analysis's whole output as read from the matrix file name.
void writeAnalysisOutput(Spsswin_tlb::ISpssOutputDoc* document, ClusterAnalysis& analysis,
                         const std::string& matrixFileName);

}  // namespace korvana::testing
