// The PROXIMITIES command that has the statistics package compute the
// proximity matrix of the chosen variables and write it to a matrix file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvana {

class Measure;
class StandardizeMethod;

/// What is clustered (the settings file stores the numbers).
enum class ClusterView : std::int32_t {
  cases = 1,
  variables = 2,
};

struct ProximitiesCommandSettings {
  std::vector<std::string> variableNames;  // at least two, in this order
  ClusterView view = ClusterView::cases;
  const Measure* measure = nullptr;
  const StandardizeMethod* standardizeMethod = nullptr;
  std::string labelVariableName;  // empty: no /ID
  bool printProximityMatrix = false;
  std::string matrixFileName;
};

/// "PROXIMITIES v1,v2 /VIEW=CASE <measure part> [/ID=label ]/PRINT=NONE
/// /MATRIX=OUT('file')." with the file name quoted as common/SyntaxName.h
/// says (apostrophes doubled). Throws EKorvanaError without a measure or a
/// standardization method, for a variable name that is not a valid name and
/// for a file name with a control character: nothing from outside can end
/// the command or add another.
std::string proximitiesCommandText(const ProximitiesCommandSettings& settings);

}  // namespace korvana
