// Reads comma-separated text with a header row into a DataSet. Fields may be
// quoted ("a, b" and "say ""hi""" are one field each; a quoted field may span
// lines); lines end with LF or CR LF; a UTF-8 byte order mark is skipped.
// A column is numeric when every non-empty field in it is a number (an empty
// field there is system-missing); any other column is a string variable as
// wide as its longest value (at least 1). Numbers are read in the C locale
// ("1.5", "-2e3"); surrounding blanks are ignored. A header that is not a
// valid variable name (a blank, a full stop at its end, a line break, ...) is
// made one by the data set, the header as written kept as its label.
#pragma once

#include <string>

#include "platform/spss/DataSet.h"

namespace korvana::spss {

class CsvDataSetReader {
 public:
  /// Throws EKorvanaError naming the file when it cannot be opened, has no
  /// header row, names a column twice with a valid name or leaves a name
  /// empty, or has a row with more or fewer fields than the header.
  static DataSet read(const std::string& path);
  /// The same for text already in memory (sourceName names it in messages).
  static DataSet parse(const std::string& text, const std::string& sourceName);
};

}  // namespace korvana::spss
