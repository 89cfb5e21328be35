// The analysis' proximities command: the temporary file the package writes the
// matrix into, and the command text that asks it to.
#include <string>

#include "SPSS/AutomationText.h"
#include "engine/ClusterAnalysis.h"
#include "engine/KorvanaError.h"
#include "engine/Variable.h"
#include "platform/windows/TemporaryFiles.h"
#include "proximity/Measure.h"
#include "proximity/StandardizeMethod.h"

namespace korvana {

std::string ClusterAnalysis::makeTemporaryMatrixFileName() {
  // The name is reserved by creating the file (owner-only, exclusively), so
  // that nobody can put a file or a link under it before the package writes
  // the matrix there.
  return windows::reserveTemporaryFile("kvana");
}

std::wstring ClusterAnalysis::buildProximitiesCommand() const {
  if (measure_ == nullptr) throw EKorvanaError("No proximity measure has been chosen");
  if (standardizeMethod_ == nullptr) throw EKorvanaError("No standardization method has been chosen");
  std::string command = "PROXIMITIES ";
  for (std::size_t i = 0; i < clusterVariables_.size(); ++i) {
    if (i > 0) command += ',';
    command += clusterVariables_[i]->getName();
  }
  command += view_ == 2 ? " /VIEW=VARIABLE" : " /VIEW=CASE";
  command += ' ';
  command += measure_->syntaxText(*standardizeMethod_);
  command += ' ';
  if (labelVariable_ != nullptr) command += "/ID=" + labelVariable_->getName() + " ";
  command += printProximityMatrix_ ? "/PRINT=PROXIMITIES" : "/PRINT=NONE";
  command += " /MATRIX=OUT('" + matrixFileName_ + "').";
  return automation::wideText(command);
}

}  // namespace korvana
