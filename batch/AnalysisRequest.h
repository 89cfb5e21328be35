// One analysis request as the desktop program's dialog describes it and its
// settings file stores it: every choice, with the defaults that apply when the
// file does not hold a key. Positions are 0-based positions in the dialog's
// lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvana {

struct AnalysisRequest {
  // "General"
  std::int32_t clusterMethod = 0;
  std::int32_t numberOfPermutations = 100;
  std::int32_t analysisType = 2;  // 1: proximity-matrix file, 2: analyze the data
  std::string matrixFilename;
  std::int32_t clusterView = 1;  // 1: cases, 2: variables
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
  std::int32_t seedType = 0;  // 0: random seed (the clock), else the custom seed
  std::int32_t seed = 4000000;
  bool proximityMatrix = false;
  bool permutationFit = false;
  bool objectOrder = false;
  bool agglomerationSchedule = true;
  bool dendrogram = false;
  bool savePermutationFitTable = false;
  // "General", written last
  std::string permutationFitTableFilename;

  bool operator==(const AnalysisRequest&) const = default;
};

}  // namespace korvana
