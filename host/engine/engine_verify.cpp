// VektQuilletImpl::verify: the signature library does the work inside a "verify" scope.
#include "host/certs/certificate_checks.h"
#include "host/engine/impl_call_scope.h"
#include "host/engine/vekt_quillet_impl.h"
#include "host/trace.h"

namespace quillet::host {

int VektQuilletImpl::verify(const std::string& document, const std::string& certificateBody) {
  int result = Ok;
  {
    ImplCallScope scope(*this, L"verify");
    result = scope.initResult;
    if (result == Ok) {
      result = Verify(&trace, &CheckIfCertificateValid, &document, &certificateBody);
      if (result == RevocationCheckFailed) {
        result = Ok;
      }
    }
  }
  return result;
}

}  // namespace quillet::host
