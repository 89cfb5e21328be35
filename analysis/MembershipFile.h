// The cluster memberships saved with the data: a variable CLUk_s per number
// of clusters k and shown solution s, beside every variable of the active
// data set (the objects are its cases), or beside the objects' numbers and
// labels (the objects come from a matrix file, or are variables).
#pragma once

#include <string>
#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "datafile/CaseTable.h"

namespace korvana {

class ClusterSolution;
class ProximityMatrix;

/// The memberships of the shown solutions for k = from … to.
struct MembershipColumns {
  std::vector<const ClusterSolution*> solutions;
  int from = 0;
  int to = 0;
  /// How the solutions are called in the variable labels ("solution",
  /// "hierarchy").
  std::string solutionWord = "solution";
};

/// "CLUk_s".
std::string membershipVariableName(int k, int solution);

/// One case per object: its number, its label (when the matrix has labels)
/// and the memberships.
CaseTable objectMembershipTable(const ProximityMatrix& matrix, const MembershipColumns& columns);

/// The data document's cases in their order with every variable, and the
/// memberships at the cases the matrix's objects are (by their case
/// numbers), system-missing at the others. Throws EKorvanaError when the
/// data cannot be read or already has a variable of a membership's name.
CaseTable caseMembershipTable(Spsswin_tlb::ISpssDataDoc& data, const ProximityMatrix& matrix,
                              const MembershipColumns& columns);

}  // namespace korvana
