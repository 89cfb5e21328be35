// A portable file (.por) read from memory for ReadStat, with its character
// table taken the way the package's own reader takes it.
//
// The table maps 256 positions (the portable character set) to the bytes
// the file uses. Positions 0 to 63 are control characters, and a writer may
// fill positions it has no character for with a byte it uses elsewhere:
// PSPP's EXPORT writes "0" there. ReadStat lets the last position a byte
// appears at decide what it means, so "0" would read as some other
// character and no number would parse. The package's reader skips the
// control positions and lets the first position decide; here every other
// appearance of a byte is taken out of the table (it is given the byte 0,
// which a portable file never holds) before ReadStat reads it.
#pragma once

#include <readstat.h>

#include <cstddef>
#include <string>

namespace korvana::spss {

class PortableFileSource {
 public:
  /// Reads the whole file and mends its table; throws EKorvanaError naming
  /// the file when it cannot be read.
  explicit PortableFileSource(const std::string& path);
  PortableFileSource(const PortableFileSource&) = delete;
  PortableFileSource& operator=(const PortableFileSource&) = delete;

  /// Has the parser read these bytes in place of the file.
  void attachTo(readstat_parser_t* parser);

  const std::string& bytes() const { return bytes_; }

 private:
  void mendCharacterTable();

  std::string bytes_;
  std::size_t position_ = 0;
};

}  // namespace korvana::spss
