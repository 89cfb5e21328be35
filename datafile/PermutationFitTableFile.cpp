// Saving the fit of every permutation as a data file of the statistics
// package, for further analysis there.
#include <new>
#include <optional>
#include <string>

#include "platform/spssio/SavUtilities.h"
#include "datafile/PermutationFitTableFile.h"
#include "engine/PermutationRun.h"
#include "engine/ProgressMonitor.h"
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

}  // namespace

void savePermutationFitTable(const std::string& fileName, const PermutationRecords& records, double sumOfSquares,
                             bool firstPermutationIsIdentity, ProgressMonitor& progress) {
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
