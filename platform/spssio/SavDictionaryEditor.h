// Corrections to the dictionary ReadStat writes, made on its bytes before they
// reach the file.
//
// ReadStat makes up the 8-byte short names of the variable records itself,
// and can give two variables the same one (a short name it derives for one
// variable can be the name of another), which makes other readers rename or
// mix up variables; and it writes one format as both the print and the write
// format. The writer therefore hands ReadStat the short names of
// SavShortNameTable as the variables' names, and this editor then
//   - sets each variable record's short name, print format and write format,
//   - replaces the long-name record (extension subtype 13) with one that maps
//     every short name to the variable's full name,
//   - names the variables of the long string value label records (subtype
//     21) by their full names, under which readers look them up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvana::sav {

class SavDictionaryEditor {
 public:
  struct Variable {
    std::string shortName;
    std::string name;
    std::int32_t printFormat = 0;
    std::int32_t writeFormat = 0;
    std::int32_t width = 0;  // of a string variable (0: numeric or not given)
  };

  // bytes: what ReadStat wrote, from the file header through the dictionary
  // termination record (data may follow). False, with bytes unchanged, if they
  // are not a complete dictionary of exactly these variables.
  static bool rewrite(std::vector<unsigned char>& bytes, const std::vector<Variable>& variables);
};

}  // namespace korvana::sav
