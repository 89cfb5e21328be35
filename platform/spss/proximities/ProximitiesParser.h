// Reads the text of a PROXIMITIES command in the form Korvana writes it:
//
//   PROXIMITIES a,b,c /VIEW=CASE /STANDARDIZE=VARIABLE Z /MEASURE=SEUCLID
//     /ID=id /PRINT=NONE /MATRIX=OUT('C:\TEMP\kvana0').
//
// Accepted:
//   - the command name first; a full stop at the very end is optional;
//   - a variable list of names separated by commas and/or blanks, matched
//     against the dictionary without regard to case and reported as the
//     dictionary spells them; every variable numeric, none named twice;
//   - the subcommands VIEW=CASE|VARIABLE, STANDARDIZE=[VARIABLE|CASE] [method],
//     MEASURE=keyword[(p[,r])] followed by ABSOLUTE, REVERSE, RESCALE in any
//     order, ID=variable, PRINT=PROXIMITIES|NONE, MATRIX=OUT('file'), each at
//     most once, in any order; the "=" may be left out;
//   - keywords in any case.
// Defaults: VIEW=CASE, no standardization (a STANDARDIZE without a method
// means Z, without a direction VARIABLE), MEASURE=EUCLID, PRINT=PROXIMITIES,
// no matrix file.
//
// The file name of MATRIX=OUT is a quoted text: between apostrophes (or
// quotation marks), a doubled quote inside standing for one.
//
// Anything else raises EProximitiesError with a message that names the
// offending token and its position (in bytes, from 1) in the text; so does
// STANDARDIZE together with a binary measure.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/spss/proximities/ProximitiesRequest.h"

namespace korvana::spss {

/// One variable of the data set's dictionary as the parser needs it.
struct ProximitiesVariable {
  std::string name;
  bool isNumeric = true;
};

class ProximitiesParser {
 public:
  static ProximitiesRequest parse(std::string_view command, const std::vector<ProximitiesVariable>& dictionary);
};

}  // namespace korvana::spss
