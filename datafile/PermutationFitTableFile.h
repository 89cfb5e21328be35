// The permutation fit table as a data file of the statistics package, for
// further analysis there.
#pragma once

#include <string>

namespace korvana {

class ProgressMonitor;
struct PermutationRecords;

/// Writes one case per completed permutation with its number, solution id,
/// SSDif, normalized SSDif, cophenetic correlation and seed (system-missing
/// for the identity first permutation), one step per case. The table is
/// written whole or not at all: when the progress monitor reports a
/// cancellation before the last case, or an error occurs (EKorvanaError), the
/// file is given up and a file of that name from before stays as it was.
void savePermutationFitTable(const std::string& fileName, const PermutationRecords& records, double sumOfSquares,
                             bool firstPermutationIsIdentity, ProgressMonitor& progress);

}  // namespace korvana
