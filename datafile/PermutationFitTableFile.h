// The permutation fit table as a data file of the statistics package, for
// further analysis there.
#pragma once

#include <string>

namespace korvana {

class ProgressMonitor;
struct PermutationRecords;

/// Writes one case per completed permutation with its number, solution id,
/// SSDif, normalized SSDif, cophenetic correlation and seed (system-missing
/// for the identity first permutation). Stops before a case once the progress
/// monitor reports a cancellation, one step per case. Raises EKorvanaError on
/// failure; a table cut short by an error is given up, and a file of that
/// name from before stays as it was.
void savePermutationFitTable(const std::string& fileName, const PermutationRecords& records, double sumOfSquares,
                             bool firstPermutationIsIdentity, ProgressMonitor& progress);

}  // namespace korvana
