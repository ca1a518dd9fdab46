#include "host/engine/impl_call_scope.h"

#include <utility>

#include "host/engine/vekt_quillet_impl.h"
#include "host/trace.h"

namespace quillet::host {

ImplCallScope::ImplCallScope(VektQuilletImpl& engine, std::wstring name)
    : initResult(Ok), engine_(engine), name_(std::move(name)) {
  trace(L">>> VektQuilletImpl::" + name_, Ok, 0);
  initResult = engine_.ensureInitialized();
}

ImplCallScope::~ImplCallScope() {
  if (initResult == Ok) {
    engine_.ShutDownXmlSec();
  }
  try {
    trace(L"<<< VektQuilletImpl::" + name_, Ok, 0);
  } catch (...) {
    // A scope may end while an error is already on its way out; the exit line is lost then.
  }
}

}  // namespace quillet::host
