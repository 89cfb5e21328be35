#include "proximity/ProximitiesCommand.h"

#include "common/EKorvanaError.h"
#include "common/PrintableText.h"
#include "common/SyntaxName.h"
#include "proximity/Measure.h"
#include "proximity/StandardizeMethod.h"

namespace korvana {

namespace {

/// A variable name as the command takes it; anything else is refused, so
/// that no name can end the command or start another.
const std::string& checkedName(const std::string& name) {
  if (!isSyntaxName(name))
    throw EKorvanaError("'" + printableText(name) +
                        "' is not a variable name that command syntax can take: the PROXIMITIES command cannot be "
                        "built");
  return name;
}

}  // namespace

std::string proximitiesCommandText(const ProximitiesCommandSettings& settings) {
  if (settings.measure == nullptr) throw EKorvanaError("No proximity measure has been chosen");
  if (settings.standardizeMethod == nullptr) throw EKorvanaError("No standardization method has been chosen");
  std::string command = "PROXIMITIES ";
  for (std::size_t i = 0; i < settings.variableNames.size(); ++i) {
    if (i > 0) command += ',';
    command += checkedName(settings.variableNames[i]);
  }
  command += settings.view == ClusterView::variables ? " /VIEW=VARIABLE" : " /VIEW=CASE";
  command += ' ';
  command += settings.measure->syntaxText(*settings.standardizeMethod);
  command += ' ';
  if (!settings.labelVariableName.empty()) command += "/ID=" + checkedName(settings.labelVariableName) + " ";
  command += settings.printProximityMatrix ? "/PRINT=PROXIMITIES" : "/PRINT=NONE";
  command += " /MATRIX=OUT(" + quotedSyntaxText(settings.matrixFileName, "The matrix file name") + ").";
  return command;
}

}  // namespace korvana
