// The permutation fit table as a data file of the statistics package, for
// further analysis there.
#pragma once

#include <string>

namespace korvana {

class ProgressMonitor;
struct PermutationRecords;

/// The formats the fit table is saved in, chosen by the file's extension.
enum class FitTableFormat { sav, csv };

/// The format of a fit table file from its extension (.sav or none, or .csv,
/// in any case); EKorvanaError naming the file and the extensions allowed for any
/// other.
FitTableFormat fitTableFormatOf(const std::string& fileName);

/// Writes one case per completed permutation with its number, solution id,
/// SSDif, normalized SSDif, cophenetic correlation and seed (system-missing
/// for the identity first permutation), one step per case. The table is
/// written whole or not at all: when the progress monitor reports a
/// cancellation before the last case, or an error occurs (EKorvanaError), the
/// file is given up and a file of that name from before stays as it was.
/// A .csv file gets the same columns as comma-separated text: a header row of
/// the variable names, numbers with the digits that read back to the same
/// double, an empty cell where the data file has system-missing.
void savePermutationFitTable(const std::string& fileName, const PermutationRecords& records, double sumOfSquares,
                             bool firstPermutationIsIdentity, ProgressMonitor& progress);

}  // namespace korvana
