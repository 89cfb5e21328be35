// Reads data files of the formats ReadStat parses into a DataSet: the
// package's portable files (.por), Stata (.dta), SAS data sets (.sas7bdat)
// and SAS transport files (.xpt), and the dictionary of the package's own
// data files (.sav), whose remaining parts the data-file library reads.
#pragma once

#include <string>

#include "platform/spss/DataSet.h"

namespace korvana::spss {

class ReadStatDataSetReader {
 public:
  enum class Format { sav, por, dta, sas7bdat, xpt };
  enum class Content { dictionaryOnly, everything };

  /// The format for a file name's extension (any case), if ReadStat reads it.
  static bool formatForExtension(const std::string& extension, Format& format);

  /// Reads the file. Variables get their name, label, type (0 numeric, else
  /// the string width: the stored width, or the longest value when the file
  /// gives none), measurement level (nominal for strings and scale for
  /// numbers when the file records none), number of value labels, and the
  /// weight variable the file records, and the user-missing values it
  /// declares. System-missing and the other formats' missing values become
  /// NaN; user-missing values keep their value.
  /// Throws EKorvanaError naming the file when it cannot be read.
  static DataSet read(const std::string& path, Format format, Content content = Content::everything);
};

}  // namespace korvana::spss
