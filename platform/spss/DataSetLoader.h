// Opens a data file by its extension (any case): .sav and .zsav through the
// data-file library, .por .dta .sas7bdat .xpt through ReadStat, .csv as
// comma-separated text with a header row.
#pragma once

#include <string>

#include "platform/spss/DataSet.h"

namespace korvana::spss {

class DataSetLoader {
 public:
  /// Throws EKorvanaError for an extension no reader handles, and whatever
  /// the reader throws for a file it cannot read.
  static DataSet load(const std::string& path);
};

}  // namespace korvana::spss
