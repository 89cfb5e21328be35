// Failures planted on the package's automation calls: the next call of a
// named operation returns the planted code instead of doing its work. Every
// object of one package shares its CallFaults, so a failure can be planted on
// a data document the caller has not obtained yet.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "SPSS/AutomationCore.h"

namespace korvana::spss {

class CallFaults {
 public:
  /// The operations a failure can be planted on (ISpssApp, ISpssDocuments and
  /// ISpssDataDoc operations, by their interface names).
  static const std::vector<std::string>& operationNames();

  /// The next call of operation returns code. Planting twice on one operation
  /// fails its next two calls, in order. Throws std::invalid_argument for an
  /// operation not in operationNames() or a code that is not a failure.
  void failNextCall(const std::string& operation, automation::HRESULT code);

  /// Called first by each operation: the planted code (consumed), if any.
  std::optional<automation::HRESULT> take(const std::string& operation);

  /// Drops every planted failure.
  void clear() { planted_.clear(); }

 private:
  std::map<std::string, std::vector<automation::HRESULT>> planted_;
};

}  // namespace korvana::spss
