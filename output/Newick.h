// A kept solution's tree in the Newick format, for other programs: the object
// labels as leaf names (a label several objects share followed by "_" and the
// object's number), each internal node labelled with the share of all
// permutations whose tree holds its cluster (in whole percent), and a length
// on every branch: half the difference of the heights of the nodes it joins
// (a leaf's height is 0), so that the path between two leaves is the height
// at which they join, as in R's as.phylo of an hclust tree. For similarities
// the heights are first turned into distances: the highest merge height less
// each height. One line ending in ";".
#pragma once

#include <string>
#include <vector>

namespace korvana {

class ClusterSolution;
class OrderFreeTree;
class ProximityMatrix;
struct StageSupport;
struct Consensus;

/// A leaf name: the label without its trailing blanks, written bare so that
/// readers return it as it is (R's ape, Biopython): letters, digits, non-ASCII
/// characters and ASCII punctuation stay; a blank, a control character, a
/// Unicode blank, bytes that are no UTF-8 character and ( ) [ ] ' " : ; , %
/// are written as %XX of their bytes (URLdecode in R, urllib.parse.unquote in
/// Python give the label back). The object's number (from 1) when the label
/// is empty.
std::string newickLeafName(const std::string& label, int objectNumber);

/// A share from 0 to 1 in whole percent, halves rounded up.
int wholePercent(double share);

/// The tree of the solution: the first merged cluster's subtree before the
/// second's. `support` holds one entry per stage. Written without recursion.
std::string newickOf(const ClusterSolution& solution, const ProximityMatrix& matrix,
                     const std::vector<StageSupport>& support);

/// The hierarchy of the solution: the parts of every folded merge written
/// in the node of the merge that absorbs it (a multifurcation), each node's
/// parts in the order of their first objects, so that the same hierarchy
/// reads the same whatever the merge order. Lengths as above,
/// from the fitting heights rounded to 13 significant digits; each node
/// labelled with its support (whole percent of all permutations) when given,
/// one entry per stage.
std::string hierarchyNewickOf(const ClusterSolution& solution, const ProximityMatrix& matrix,
                              const std::vector<char>& folded, const std::vector<StageSupport>* support = nullptr);

/// The majority-rule consensus: each cluster a node over its parts, labelled
/// with its support in whole percent; no branch lengths.
std::string consensusNewickOf(const Consensus& consensus, const ProximityMatrix& matrix);
/// The order-free tree: each merge one node whose children are the clusters
/// it joins, in the order of their lowest object numbers; no node labels;
/// branch lengths as above, from the merges' heights.
/// Written without recursion.
std::string newickOf(const OrderFreeTree& tree, const ProximityMatrix& matrix);

/// The shortest decimal text that reads back as the same double.
std::string shortestText(double value);

}  // namespace korvana
