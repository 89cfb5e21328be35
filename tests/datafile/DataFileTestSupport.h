// Helpers of the data-file tests: a temporary folder, data files made by PSPP
// from syntax (the independent peer), and files made byte by byte.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/common/TestFiles.h"

namespace korvana::test {

/// A fresh temporary folder, removed with the object.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  std::filesystem::path path(const std::string& name) const { return folder_ / name; }

 private:
  std::filesystem::path folder_;
};

bool psppAvailable();

/// Runs PSPP on `syntax` (written to a file in `folder`); returns PSPP's text
/// output, and fails the current test when PSPP reports an error.
std::string runPspp(const TemporaryFolder& folder, const std::string& syntax);

/// The data file as CSV, converted by PSPP (header line, then one line per case).
std::string psppToCsv(const TemporaryFolder& folder, const std::string& dataFile);

}  // namespace korvana::test
