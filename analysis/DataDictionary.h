// The variable dictionary of the statistics package's first data document,
// as the dialog lists it and a request names its variables.
#pragma once

#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "analysis/Variable.h"

namespace korvana {

/// The variables of the first data document in dictionary order; none when
/// the package has no data document. Every call is checked (HRCHECK); a
/// failed one raises EKorvanaError, as does a data set split into groups
/// ("Split File is not supported.").
std::vector<Variable> readDataDictionary(Spsswin_tlb::ISpssApp& application);

}  // namespace korvana
