// PROXIMITIES: the proximities between the cases or the variables of the
// active data set, computed by the core in proximities/ from the command
// text as Korvana writes it (see ProximitiesParser.h).
//
// The data: the cases the filter lets through (a case whose filter value is
// 0, system-missing or user-missing is left out), numbered from 1 in the
// whole data set; a value counts as missing when it is system-missing or one
// of its variable's user-missing values. Case weights are ignored.
//
// The output: a heading, a summary table naming the measure and the number
// of cases used and left out, and with /PRINT=PROXIMITIES the matrix as a
// pivot table (labelled by the item names, or by the ID values of the cases
// with /ID). /MATRIX=OUT('file') writes the matrix file of
// ProximitiesMatrixFile. A command that cannot be run (a text the parser
// rejects, no open data set, split-file processing in force, no case left)
// writes nothing, neither output nor file, and fails with the reason.
#pragma once

#include "platform/spss/PackageCommand.h"

namespace korvana::spss {

class ProximitiesCommand final : public PackageCommand {
 public:
  std::string name() const override { return "PROXIMITIES"; }
  /// Reads the command from context.commandText(), not from the words.
  void run(const std::vector<std::string>& arguments, CommandContext& context) override;
};

}  // namespace korvana::spss
