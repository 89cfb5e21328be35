// Raised when the user cancels a running analysis; the analysis run catches it
// itself and records the cancellation in the output.
#pragma once

#include "common/EKorvanaError.h"

namespace korvana {

class EAnalysisCanceledException : public EKorvanaError {
 public:
  EAnalysisCanceledException() : EKorvanaError("Analysis canceled by user!") {}
};

}  // namespace korvana
