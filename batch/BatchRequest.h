// The request of a headless run, read from a settings file and checked before
// anything starts: korvana-batch runs unattended, so a value it cannot honour
// is refused, never replaced by a default as the dialog's restore does.
#pragma once

#include <string>
#include <vector>

#include "analysis/AnalysisRequest.h"

namespace korvana {

struct BatchRequest {
  AnalysisRequest request;
  /// Unknown keys, one line each (they stay in the file and are not used).
  std::vector<std::string> warnings;
};

/// Reads the request; throws EKorvanaError listing every value that cannot
/// be honoured, one per line, each naming the file, the key, the value and
/// what is allowed. The shared instances must have been made (the list
/// positions are checked against their lists).
BatchRequest readBatchRequest(const std::string& settingsPath);

}  // namespace korvana
