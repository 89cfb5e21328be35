// The matrix data file of PROXIMITIES /MATRIX=OUT('file'), written through
// the data-file library. Variables, in file order:
//   ROWTYPE_   A8, "PROX" in every row; the value PROX is labelled with the
//              measure and SIMILARITY or DISSIMILARITY;
//   the ID variable (cases with /ID only): a string as wide as the ID
//              variable (at most 255 bytes; 20 for a numeric ID), holding the
//              first 20 characters of each case's ID value;
//   CASENO_    F8.0, the case number (cases only);
//   VARNAME_   a string as wide as the longest item name, at least 8;
//   one numeric variable per item: VAR1 … VARn labelled "CASE m" for cases,
//              the variables' names and labels for variables.
// One row per item holds the whole symmetric matrix; a proximity that is not
// defined (NaN) is system-missing. An existing file of that name is
// replaced, keeping its permissions.
//
// The rows are computed a block at a time (ProximitiesMatrix) and written as
// whole cases, so the matrix is never held in memory; a file in the system's
// temporary folder, the scratch file a program reads and removes, is not
// synced to disk.
#pragma once

#include <string>
#include <vector>

#include "platform/spss/proximities/ProximitiesMatrix.h"

namespace korvana::spss {

struct ProximitiesMatrixFileContent {
  const ProximitiesMatrix* matrix = nullptr;
  /// The labels of the matrix variables (one per item; empty: none).
  std::vector<std::string> variableLabels;
  /// Cases only: the ID variable's name (empty: no ID variable), its width in
  /// the file and each item's ID value.
  std::string idName;
  int idWidth = 0;
  std::vector<std::string> idValues;
  /// Whether the items are cases (CASENO_ is written).
  bool withCaseNumbers = true;
};

class ProximitiesMatrixFile {
 public:
  /// The number of characters (not bytes) of an ID value kept in the file.
  static constexpr std::size_t idCharacters = 20;
  /// The widest ID variable written (the data-file library's longest string).
  static constexpr int maxIdWidth = 255;

  /// Writes the file. Throws EKorvanaError with the data-file library's
  /// message when it cannot be written; nothing is then left of it and an
  /// existing file of that name is unchanged.
  static void write(const std::string& path, const ProximitiesMatrixFileContent& content);

  /// Whether a file lies in the system's temporary folder, where nothing needs
  /// to reach the disk.
  static bool isScratchFile(const std::string& path);

  /// The first idCharacters characters of a UTF-8 text.
  static std::string idValue(const std::string& text);
};

}  // namespace korvana::spss
