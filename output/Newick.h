// A kept solution's tree in the Newick format, for other programs: the object
// labels as leaf names, each internal node labelled with the share of all
// permutations whose tree holds its cluster (in whole percent), and for
// dissimilarities a length on every branch: the parent merge's coefficient
// less the child's (a leaf's own height is 0). One line ending in ";".
#pragma once

#include <string>
#include <vector>

namespace korvana {

class ClusterSolution;
class ProximityMatrix;
struct StageSupport;

/// A leaf name: the label neutralised as common/PrintableText.h does (a line
/// break or an escape becomes a blank) with its trailing blanks removed, in
/// single quotes (inner quotes doubled) unless it holds only ASCII letters,
/// digits, '_', '.' and '-'; the object's number (from 1) when the label is
/// empty.
std::string newickLeafName(const std::string& label, int objectNumber);

/// A share from 0 to 1 in whole percent, halves rounded up.
int wholePercent(double share);

/// The tree of the solution: the first merged cluster's subtree before the
/// second's. `support` holds one entry per stage. Written without recursion.
std::string newickOf(const ClusterSolution& solution, const ProximityMatrix& matrix,
                     const std::vector<StageSupport>& support);

/// The shortest decimal text that reads back as the same double.
std::string shortestText(double value);

}  // namespace korvana
