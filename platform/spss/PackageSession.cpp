#include "platform/spss/PackageSession.h"

namespace korvana::spss {

automation::HRESULT PackageSession::enter(const std::string& operation) {
  if (disconnected_) return automation::RPC_E_DISCONNECTED;
  if (const auto planted = faults_.take(operation)) return *planted;
  return automation::S_OK;
}

}  // namespace korvana::spss
