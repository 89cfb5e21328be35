// Reads the package's own data files (.sav) into a DataSet: names, types and
// cases through the data-file library, and the parts of the dictionary the
// library does not give (variable labels, measurement levels, numbers of
// value labels, user-missing values, the weight variable) from the file's dictionary as ReadStat
// reads it.
#pragma once

#include <string>

#include "platform/spss/DataSet.h"

namespace korvana::spss {

class SavDataSetReader {
 public:
  /// Throws EKorvanaError naming the file and the library's message when the
  /// file cannot be read.
  static DataSet read(const std::string& path);
};

}  // namespace korvana::spss
