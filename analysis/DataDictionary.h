// The variable dictionary of the statistics package's first data document,
// as the dialog lists it and a request names its variables.
#pragma once

#include <string>
#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "analysis/Variable.h"

namespace korvana {

/// The variables of the first data document in dictionary order; none when
/// the package has no data document. Every call is checked (HRCHECK); a
/// failed one raises EKorvanaError, as does a data set split into groups
/// ("Split File is not supported.").
std::vector<Variable> readDataDictionary(Spsswin_tlb::ISpssApp& application);

/// The variable a request names: the one of that name; else, with anyCase,
/// the one whose name is the same without regard to case (portable files
/// write names in capitals); else, for a text that is not a valid variable
/// name (a CSV header as written, which the package made a valid name and
/// kept as the label), the one variable whose label it is. Null when there
/// is none, or more than one that matches.
const Variable* findNamedVariable(const std::vector<Variable>& dictionary, const std::string& text,
                                  bool anyCase = false);

}  // namespace korvana
