// Saving the fit of every permutation as a data file of the statistics
// package, for further analysis there.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <new>
#include <optional>
#include <string>

#include "platform/spssio/SavUtilities.h"
#include "datafile/PermutationFitTableFile.h"
#include "engine/PermutationRun.h"
#include "engine/ProgressMonitor.h"
#include "common/AtomicFile.h"
#include "common/EKorvanaError.h"
#include "common/ScientificFormat.h"

namespace korvana {

namespace {

struct FitVariable {
  const char* name;
  int lengthCode;
  const char* label;
  int type, decimals, width;
};

constexpr int kFormatA = 1, kFormatF = 5, kFormatE = 17;

constexpr FitVariable kVariables[] = {
    {"permu", 0, "permutation", kFormatF, 0, 8},
    {"sid", 32, "solution id", kFormatA, 0, 32},
    {"ssdif", 0, "sum of squared differences", kFormatE, 0, 8},
    {"nssdif", 0, "normalized sum of squared differences", kFormatF, 6, 8},
    {"cophcorr", 0, "cophenetic correlation", kFormatF, 6, 8},
    {"randseed", 0, "random seed", kFormatF, 0, 8},
};

/// A number as the shortest text that reads back to the same double; empty
/// for one that is not a number (the data file's system-missing).
std::string csvNumber(double value) {
  if (!std::isfinite(value)) return {};
  char buffer[32];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, written.ptr);
}

void saveCsvFitTable(const std::string& fileName, const PermutationRecords& records, double sumOfSquares,
                     bool firstPermutationIsIdentity, ProgressMonitor& progress) {
  bool canceled = false;
  try {
    replaceFileAtomically(
        fileName,
        [&](const ContentWriter& write) {
          std::string line;
          for (const FitVariable& v : kVariables) line += (line.empty() ? "" : ",") + std::string(v.name);
          write(line + "\r\n");
          for (int i = 0; i < records.completed; ++i) {
            if (progress.isCanceled()) {
              // A table cut short would pass for a complete one.
              canceled = true;
              throw EKorvanaError("canceled");
            }
            const auto ui = static_cast<std::size_t>(i);
            line = std::to_string(i + 1) + "," + solutionIdText(records.solutionIds[ui]) + "," +
                   csvNumber(roundToSignificantDigits(ssdifOf(records.fitValues[ui], sumOfSquares), 13)) + "," +
                   csvNumber(records.fitValues[ui]) + "," + csvNumber(reportedCorrelation(records.correlations[ui])) +
                   "," + (i == 0 && firstPermutationIsIdentity ? std::string() : std::to_string(records.seeds[ui]));
            write(line + "\r\n");
            progress.stepIt();
          }
        },
        documentFileMode);
  } catch (const EKorvanaError&) {
    if (canceled) return;
    throw;
  }
}

}  // namespace

FitTableFormat fitTableFormatOf(const std::string& fileName) {
  std::string extension = std::filesystem::path(fileName).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  // A name without an extension (one whose full stop is in a folder's name)
  // is saved as a data file, as it always was.
  if (extension == ".sav" || extension.empty()) return FitTableFormat::sav;
  if (extension == ".csv") return FitTableFormat::csv;
  throw EKorvanaError("The fit table '" + fileName + "' cannot be saved in that format: its name must end in .sav "
                      "(a data file of the statistics package) or .csv (comma-separated text)");
}

void savePermutationFitTable(const std::string& fileName, const PermutationRecords& records, double sumOfSquares,
                             bool firstPermutationIsIdentity, ProgressMonitor& progress) {
  if (fitTableFormatOf(fileName) == FitTableFormat::csv) {
    saveCsvFitTable(fileName, records, sumOfSquares, firstPermutationIsIdentity, progress);
    return;
  }
  int handle = -1;
  try {
    handle = savOpenWrite(fileName);
  } catch (const EKorvanaError& error) {
    throw EKorvanaError(error.what());
  }
  try {
    savSetFileLabel(handle, "Korvana Fit Table");
    savSetCompression(handle, 1);
    for (const FitVariable& v : kVariables) {
      savSetVarName(handle, v.name, v.lengthCode);
      savSetVarLabel(handle, v.name, v.label);
      savSetVarWriteFormat(handle, v.name, v.type, v.decimals, v.width);
      savSetVarPrintFormat(handle, v.name, v.type, v.decimals, v.width);
    }
    savCommitHeader(handle);
    double variable[std::size(kVariables)];
    for (std::size_t k = 0; k < std::size(kVariables); ++k) variable[k] = savGetVarHandle(handle, kVariables[k].name);
    const double systemMissing = savSystemMissingValue();

    for (int i = 0; i < records.completed && !progress.isCanceled(); ++i) {
      const auto ui = static_cast<std::size_t>(i);
      savSetValueNumeric(handle, variable[0], i + 1);
      savSetValueChar(handle, variable[1], solutionIdText(records.solutionIds[ui]));
      savSetValueNumeric(handle, variable[2], roundToSignificantDigits(ssdifOf(records.fitValues[ui], sumOfSquares), 13));
      savSetValueNumeric(handle, variable[3], records.fitValues[ui]);
      savSetValueNumeric(handle, variable[4], reportedCorrelation(records.correlations[ui]));
      savSetValueNumeric(handle, variable[5],
                         i == 0 && firstPermutationIsIdentity ? systemMissing : static_cast<double>(records.seeds[ui]));
      savCommitCaseRecord(handle);
      progress.stepIt();
    }
    const int closing = handle;
    handle = -1;
    if (progress.isCanceled()) {
      // A table cut short by a cancellation would pass for a complete one:
      // it is given up, and a file of that name from before stays.
      savDiscardWrite(closing);
      return;
    }
    savCloseWrite(closing);
  } catch (const std::exception& error) {
    // A table cut short by an error is not left behind looking complete: the
    // file is given up, and a file of that name from before stays as it was.
    if (handle >= 0) {
      try {
        savDiscardWrite(handle);
      } catch (const EKorvanaError&) {
      }
    }
    throw EKorvanaError(dynamic_cast<const std::bad_alloc*>(&error) ? "Insufficient memory" : error.what());
  }
}

}  // namespace korvana
