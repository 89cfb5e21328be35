// One analysis request as the desktop program's dialog describes it and its
// settings file stores it: every choice, with the defaults that apply when the
// file does not hold a key. Positions are 0-based positions in the dialog's
// lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "proximity/ProximitiesCommand.h"

namespace korvana {

/// Where the proximities come from (the settings file stores the numbers).
enum class AnalysisType : std::int32_t {
  matrixFile = 1,  // read a proximity-matrix file
  data = 2,        // the statistics package computes them from the open data
};

/// How the permutation generator is started (the settings file stores the
/// numbers).
enum class SeedType : std::int32_t {
  random = 0,  // from the clock
  custom = 1,  // the request's seed
};

/// Which kept solutions the output shows (the settings file stores the
/// numbers).
enum class SolutionsShown : std::int32_t {
  orders = 0,       // every distinct merge order
  hierarchies = 1,  // one per hierarchy: the first kept merge order that has it
};

struct AnalysisRequest {
  // "General"
  std::int32_t clusterMethod = 0;
  std::int32_t numberOfPermutations = 100;
  AnalysisType analysisType = AnalysisType::data;
  std::string matrixFilename;
  ClusterView clusterView = ClusterView::cases;
  std::vector<std::string> clusterVariables;
  std::string labelVariable;
  std::int32_t selectedMeasure = 0;  // 0 interval, 1 counts, 2 binary
  std::int32_t intervalMeasure = 0;
  std::int32_t intervalMeasurePower = 1;  // position: entries "1" to "4"
  std::int32_t intervalMeasureRoot = 1;
  std::int32_t countsMeasure = 0;
  std::int32_t binaryMeasure = 0;
  std::int32_t binaryMeasurePresent = 1;
  std::int32_t binaryMeasureAbsent = 0;
  bool absoluteValues = false;
  bool changeSign = false;
  bool rescale = false;
  std::int32_t standardiseMethod = 0;
  std::int32_t standardiseView = 1;  // 1: by variable, else by case
  // "Options"
  bool firstPermutationIdentity = true;
  SeedType seedType = SeedType::random;
  std::int32_t seed = 4000000;
  bool proximityMatrix = false;
  bool permutationFit = false;
  bool objectOrder = false;
  bool agglomerationSchedule = true;
  bool dendrogram = false;
  bool savePermutationFitTable = false;
  bool clusterSupport = false;
  SolutionsShown solutionsShown = SolutionsShown::orders;
  /// Stop once neither the best fit nor the best-fitting hierarchies changed
  /// in this many permutations; 0: run them all.
  std::int32_t stopWhenStable = 0;
  bool orderFreeTree = false;
  // "General", written last
  std::string permutationFitTableFilename;

  bool operator==(const AnalysisRequest&) const = default;
};

}  // namespace korvana
