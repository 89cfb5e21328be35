// Everything a run writes into the statistics package's output document:
// outline headings and titles, one-cell message tables, the report tables
// (credit, Notes, permutation fit, solution fit, object order, agglomeration
// schedule) and the text dendrogram.
//
// The module keeps no state. Every operation takes the output document first
// and goes through the automation interfaces only, each call guarded by the
// automation call checks: an empty interface reference prompts before it is
// used, a failed call prompts after it. A property setter (put_...) is not
// checked. When the user lets a failed call go on, the operation gives up the
// rest of its work quietly (an item it could not insert is reported as index
// -1), so that one failure is prompted once.
//
// Cell and label values are always handed over as text; numbers are written
// by formatScientific or as decimal integers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "engine/BestFitHistory.h"
#include "engine/ClusterSolution.h"
#include "engine/OrderFreeTree.h"
#include "engine/PermutationRun.h"
#include "output/Dendrogram.h"
#include "proximity/ProximitiesCommand.h"
#include "common/ScientificFormat.h"

namespace korvana {
class ClusterMethod;
class ProgressMonitor;
class ProximityMatrix;
}  // namespace korvana

namespace korvana::OutputFactory {

using Spsswin_tlb::ISpssDataDoc;
using Spsswin_tlb::ISpssOutputDoc;
using korvana::formatScientific;

/// The product name: the first heading and title and the credit table's first line.
inline constexpr const char* productName = "Korvana";
/// The outline label of every title item.
inline constexpr const char* titleLabel = "Title";

/// The credit table's lines below "by": who makes the program.
inline constexpr const char* creditLines[3] = {"The Korvana developers", "Korvana project",
                                               "Hierarchical cluster analysis of permuted proximities"};

/// Deactivates every item in index order and makes the last one the current
/// item, so that the output of this run follows it.
void prepareOutputDocument(ISpssOutputDoc* document);

/// A heading labelled with the text; its item index.
std::int32_t insertHeading(ISpssOutputDoc* document, const std::string& label);
/// A title item labelled "Title" showing the text; its item index.
std::int32_t insertTitle(ISpssOutputDoc* document, const std::string& titleText);
/// Selects the item and promotes it until its level is at most `level`.
void promoteToLevel(ISpssOutputDoc* document, std::int32_t itemIndex, std::int32_t level);

/// One-cell tables labelled "Warning", "Error" and "Canceled"; the item index.
std::int32_t writeWarning(ISpssOutputDoc* document, const std::string& message);
std::int32_t writeError(ISpssOutputDoc* document, const std::string& message);
std::int32_t writeCanceled(ISpssOutputDoc* document, const std::string& message);

/// The one rich-text envelope of the output (fonts Courier New, the marker
/// font and Arial; 10 points) around the text, which is taken as it is.
std::string rtfText(const std::string& text);

/// The greatest length in characters of the matrix's object labels; 0 for none.
int maxObjectLabelLength(const ProximityMatrix& matrix);

/// The visible credit table: product, version, "by" and creditLines.
void writeCreditTable(ISpssOutputDoc* document);

/// The run's input and settings, as the hidden Notes table records them.
struct NotesTableSettings {
  ISpssOutputDoc* document = nullptr;
  /// The active data set; used only when the data are analyzed.
  ISpssDataDoc* dataDocument = nullptr;
  /// True when the data set is analyzed, false when a matrix file is read.
  bool analyzesData = false;
  std::string matrixFileName;
  /// The matrix's object count as it stands when the table is written.
  int matrixObjectCount = 0;
  const ClusterMethod* clusterMethod = nullptr;
  int permutationCount = 0;
  /// The PROXIMITIES command (UTF-8); empty when a matrix file is read.
  std::string syntax;
  ClusterView view = ClusterView::cases;
  bool firstPermutationIsIdentity = true;
  std::int32_t startSeed = 0;
  bool saveFitTable = false;
  std::string fitTableFileName;
};

/// The hidden Notes table.
void writeNotesTable(const NotesTableSettings& settings);

/// The current local date and time as the Notes table shows it: the user's
/// (LC_TIME) date and time representations, "%x %X".
std::string outputCreatedText();

/// One row per permutation: solution id, SSDif, normalized SSDif, cophenetic
/// correlation and seed. Before each row the progress monitor is asked
/// whether the user canceled; if so, the table is finished with the rows
/// written so far. After each row pending user-interface events are let run,
/// so that a Cancel can reach the monitor: by processMessages when given,
/// else by the monitor's own processMessages. Rows for which an array holds
/// no value are left empty as well.
void writePermutationFitTable(ISpssOutputDoc* document, int permutationCount,
                              const std::vector<double>& normalizedSSDif,
                              const std::vector<double>& copheneticCorrelation, double sumOfSquares,
                              bool firstPermutationIsIdentity, const std::vector<std::int32_t>& seeds,
                              const std::vector<SolutionId>& solutionIds, ProgressMonitor& progress,
                              const std::function<void()>& processMessages = {}, const std::string& note = {});

/// The one-row "Fit" table of a solution, with `note` under it.
void writeSolutionFitTable(ISpssOutputDoc* document, const ClusterSolution& solution, double sumOfSquares,
                           const std::string& note = {});

/// The note under the fit tables: what the normalized SSDif is measured
/// against, what Ward's heights are, and how a permutation is reproduced.
std::string fitTableNote(bool wardHeights);

/// The order-free tree's "Agglomeration Schedule": per merge the clusters
/// joined (two or more, numbers from 1), its height, the lowest and highest
/// proximity between the joined clusters and the number of objects.
void writeOrderFreeSchedule(ISpssOutputDoc* document, const OrderFreeTree& tree);
/// The order-free tree's one-row "Fit" table (SSDif, normalized SSDif,
/// cophenetic correlation) with the comparison as its caption.
void writeOrderFreeFitTable(ISpssOutputDoc* document, const OrderFreeTree& tree, const std::string& comparison);
/// The sentence that compares the order-free tree's rounded normalized SSDif
/// with the best-fitting permutations' (not a number when none completed).
std::string orderFreeComparison(double treeFit, double bestFit);
/// The sentence that says whether the order-free tree's hierarchy is among
/// the permutations': of how many of the best-fitting ones and of all.
std::string orderFreeHierarchySentence(int bestWithIt, int bestCount, int allWithIt, int allCount);

/// The permutation the solution was found under, as object numbers from 1.
void writeObjectOrderTable(ISpssOutputDoc* document, const ClusterSolution& solution);

/// The merges stage by stage, numbers from 1 (0 for none).
void writeAgglomerationSchedule(ISpssOutputDoc* document, const ClusterSolution& solution);

/// The text dendrogram of a solution in a text item labelled "Dendrogram".
/// Needs at least one stage; a solution of one object writes nothing.
/// The "Distinct Solutions" table: for the merge orders and for the
/// hierarchies, over all permutations and over the best-fitting ones, the
/// permutations, distinct ones, those seen once and twice, and the estimated
/// total.
void writeDistinctSolutionsTable(ISpssOutputDoc* document, const SupportReport& report);

/// The "Cluster Support" table of a solution: per stage the two clusters, the
/// coefficient, the number of objects of the merged cluster, whether it is
/// folded, and (when it is not) its support over the hierarchies of all and
/// of the best-fitting permutations, in percent.
void writeClusterSupportTable(ISpssOutputDoc* document, const ClusterSolution& solution,
                              const std::vector<StageSupport>& hierarchySupport, const std::vector<char>& folded);

/// Objects (from 0) as numbers from 1, runs of three or more as ranges:
/// "1-50, 52, 53".
std::string objectRangesText(const std::vector<int>& objects);

/// A "Consensus Tree" table: its clusters, smallest first, with their number
/// of objects, support and objects; of the hierarchies of all or of the
/// best-fitting permutations (`hierarchies` of them).
void writeConsensusTable(ISpssOutputDoc* document, const Consensus& consensus, int hierarchies, bool bestFitting);

/// The kept solutions that share the shown solution's hierarchy: their ids,
/// permutations and seeds.
void writeOtherMergeOrdersTable(ISpssOutputDoc* document, const std::vector<const ClusterSolution*>& others);

/// The "Best Fit" table: the permutations at which the best fit improved,
/// with the fit each reached; its caption says where the final best was
/// first reached and by how many permutations.
void writeBestFitTable(ISpssOutputDoc* document, const BestFitHistory& history);

/// How many decimals show a value's own digits when it is written with
/// `digits` significant digits: none of the zeros at the end are padding
/// (2730.324710836 → 9; 0.5 → 1; 1200 → 0).
int storedDecimals(double value, int digits);

/// A one-cell table with the label as its title, holding the message.
std::int32_t writeMessage(ISpssOutputDoc* document, const std::string& label, const std::string& message);

/// The run's verdict in words, a one-cell table labelled "Verdict".
std::int32_t writeVerdict(ISpssOutputDoc* document, const std::string& verdict);

void writeDendrogram(ISpssOutputDoc* document, const ClusterMethod& method, const ProximityMatrix& matrix,
                     const ClusterSolution& solution);
/// The same from a laid-out dendrogram: when its walk failed, an "Error"
/// text item comes first. labels: the object labels by identifier, or null.
void writeDendrogram(ISpssOutputDoc* document, const std::string& methodDisplayName,
                     const std::vector<std::string>* labels, const Dendrogram& dendrogram);

/// The text of the "Error" item written when the walk fails.
inline constexpr const char* walkFailureText = "Error: Could not backtrack to the root of the dendrogram";

}  // namespace korvana::OutputFactory
