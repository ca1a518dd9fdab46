// The preload of xmlsec1's crypto back end: the library loads the back end's module
// itself before xmlsec1 loads it by name, so that xmlsec1 gets the module that ships with
// this library.
#pragma once

#include <string>

#include "proxy/tracer.h"

namespace quillet::proxy {

// Loads the module moduleName, first by its bare name through the system's search order,
// then, if that fails, from the directory of the process's executable. Traces "1st probe "
// + name (code 0); on failure "1st probe failed " + name (code 102, the load's system
// error), "2nd probe " + path (code 0) and, if that fails too, "2nd probe failed " + path
// (code 102, the load's system error). A loaded module is never released. The outcome
// is only traced.
void preloadCryptoBackend(const Tracer& trace, const std::wstring& moduleName);

}  // namespace quillet::proxy
