// What every object of one running package shares: the failures planted on
// its calls, and whether the package has been shut down. Objects handed out
// before the shutdown stay valid, but their calls fail with
// RPC_E_DISCONNECTED, as calls into a package that is gone do.
#pragma once

#include <memory>
#include <string>

#include "SPSS/AutomationCore.h"
#include "platform/spss/CallFaults.h"

namespace korvana::spss {

class PackageSession {
 public:
  /// Called first by every checked operation: RPC_E_DISCONNECTED after the
  /// shutdown, else a failure planted on the operation, else S_OK.
  automation::HRESULT enter(const std::string& operation);

  CallFaults& faults() { return faults_; }
  void disconnect() { disconnected_ = true; }
  bool disconnected() const { return disconnected_; }

 private:
  CallFaults faults_;
  bool disconnected_ = false;
};

using SharedPackageSession = std::shared_ptr<PackageSession>;

}  // namespace korvana::spss
