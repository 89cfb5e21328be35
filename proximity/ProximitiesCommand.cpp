#include "proximity/ProximitiesCommand.h"

#include "common/EKorvanaError.h"
#include "proximity/Measure.h"
#include "proximity/StandardizeMethod.h"

namespace korvana {

std::string proximitiesCommandText(const ProximitiesCommandSettings& settings) {
  if (settings.measure == nullptr) throw EKorvanaError("No proximity measure has been chosen");
  if (settings.standardizeMethod == nullptr) throw EKorvanaError("No standardization method has been chosen");
  std::string command = "PROXIMITIES ";
  for (std::size_t i = 0; i < settings.variableNames.size(); ++i) {
    if (i > 0) command += ',';
    command += settings.variableNames[i];
  }
  command += settings.view == ClusterView::variables ? " /VIEW=VARIABLE" : " /VIEW=CASE";
  command += ' ';
  command += settings.measure->syntaxText(*settings.standardizeMethod);
  command += ' ';
  if (!settings.labelVariableName.empty()) command += "/ID=" + settings.labelVariableName + " ";
  command += settings.printProximityMatrix ? "/PRINT=PROXIMITIES" : "/PRINT=NONE";
  command += " /MATRIX=OUT('" + settings.matrixFileName + "').";
  return command;
}

}  // namespace korvana
