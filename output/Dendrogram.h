// The text dendrogram of one clustering solution: the objects one per display
// row, in the order a walk of the merge tree meets them, and the merges drawn
// with line glyphs on a grid of 25 columns whose horizontal axis is the merge
// coefficient rescaled to 0 to 25.
//
// The layout is computed once from the agglomeration schedule; richText then
// writes the drawing as the rich text the output document's text item holds.
#pragma once

#include <string>
#include <vector>

namespace korvana {

class ClusterSolution;

/// One merge of the schedule, 0-based as ClusterSolution gives it: the two
/// clusters joined (each named by an object identifier; the merged cluster
/// keeps the name of cluster 1), the coefficient, the stages that formed the
/// two clusters (-1 for a single object) and the next stage of the merged
/// cluster (-1 for the last stage).
struct DendrogramStage {
  int cluster1 = 0;
  int cluster2 = 0;
  double coefficient = 0.0;
  int firstAppears1 = -1;
  int firstAppears2 = -1;
  int nextStage = -1;
};

class Dendrogram {
 public:
  static constexpr int gridColumns = 25;

  /// What a grid cell shows (each cell is two characters wide).
  enum CellState : int {
    upperEnd = 1,           // the row's line arrives and turns down
    upperEndContinued = 2,  // upperEnd whose row line goes on to the right
    lowerEnd = 3,           // the row's line arrives and turns up
    joinFromLeft = 4,       // vertical line with a row line arriving from the left
    joinContinued = 5,      // joinFromLeft whose row line goes on to the right
    vertical = 6,           // vertical line passing the row
    verticalContinued = 7,  // vertical whose row line goes on to the right
    horizontal = 8,         // the row line
    empty = 9,
  };

  /// Lays out the tree of a schedule of n - 1 stages over n objects. Needs at
  /// least one stage (std::invalid_argument otherwise). A schedule whose
  /// links do not lead back to the root leaves walkFailed() true and the
  /// layout as far as it was drawn.
  explicit Dendrogram(std::vector<DendrogramStage> stages);
  /// The schedule of a solution.
  static std::vector<DendrogramStage> scheduleOf(const ClusterSolution& solution);

  int objectCount() const { return objectCount_; }
  int stageCount() const { return static_cast<int>(stages_.size()); }
  bool walkFailed() const { return walkFailed_; }
  int columnOfStage(int stage) const { return columnOfStage_.at(static_cast<std::size_t>(stage)); }
  /// The object identifier on a display row, -1 for a row the walk never reached.
  int objectAtRow(int row) const { return objectAtRow_.at(static_cast<std::size_t>(row)); }
  int cell(int row, int column) const;

  /// The label column's width for the given labels (null: no labels).
  static int labelFieldWidth(const std::vector<std::string>* labels);

  /// The whole drawing as one rich-text document. labels holds the object
  /// labels by identifier, or is null when the objects have none.
  std::string richText(const std::string& methodDisplayName, const std::vector<std::string>* labels) const;

  /// The rich text of one cell state.
  static const char* cellRichText(int state);

 private:
  void computeColumns();
  void walk();
  bool draw(int stage);
  void drawRowEnd(int row, int column, int endState);

  std::vector<DendrogramStage> stages_;
  int objectCount_;
  std::vector<int> columnOfStage_;
  std::vector<int> objectAtRow_;
  std::vector<int> rowOfCluster_;
  std::vector<int> lastColumn_;
  std::vector<int> grid_;  // objectCount_ x gridColumns, row by row
  std::vector<int> formedAt1_;
  std::vector<int> formedAt2_;
  std::vector<bool> drawn_;
  int nextRow_ = -1;
  bool walkFailed_ = false;
};

/// Text for a rich-text document: printable (common/PrintableText.h: control
/// and bidirectional formatting characters as blanks), backslash and braces
/// escaped, characters beyond ASCII as "\uN?".
std::string rtfEscaped(const std::string& label);

}  // namespace korvana
