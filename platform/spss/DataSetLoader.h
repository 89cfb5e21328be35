// Opens a data file by its extension (any case): .sav and .zsav through the
// data-file library, .por .dta .sas7bdat .xpt through ReadStat, .csv as
// comma-separated text with a header row.
#pragma once

#include <string>
#include <vector>

#include "platform/spss/DataSet.h"

namespace korvana::spss {

class DataSetLoader {
 public:
  /// Throws EKorvanaError for an extension no reader handles, and whatever
  /// the reader throws for a file it cannot read. Names that are not valid
  /// variable names are made valid ones (DataSet::addVariable); a reading
  /// note lists them.
  static DataSet load(const std::string& path);

  /// The extensions load() reads, lower case and without their dot: "sav",
  /// "zsav", "por", "dta", "sas7bdat", "xpt", "csv".
  static const std::vector<std::string>& extensions();
  /// True when the path's extension, in any case, is one of them (the file
  /// itself is not looked at).
  static bool readsExtensionOf(const std::string& path);
};

}  // namespace korvana::spss
