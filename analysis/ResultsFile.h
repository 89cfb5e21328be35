// The results of an analysis as a JSON file for other programs: the method,
// the objects, every completed permutation with its seed, solution id and
// fit, the kept solutions with their merges, cluster support and Newick tree,
// and the distinct-solution accounting. docs/results.md describes the file and
// docs/results.schema.json is its JSON Schema.
#pragma once

#include <string>

namespace korvana {

class ClusterAnalysis;

/// Writes the file atomically, streaming it (the permutations and merges are
/// never held as JSON in memory). The analysis must have run with the
/// clusters counted (setCountClusters), completed or canceled (canceled before
/// the matrix was read, "proximities" is null and nothing was counted). Numbers are
/// written as the shortest text that reads back as the same double;
/// not-a-number as null. Throws EKorvanaError naming the file on failure.
void writeResultsFile(const std::string& path, const ClusterAnalysis& analysis);

}  // namespace korvana
