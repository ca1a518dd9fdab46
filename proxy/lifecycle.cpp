// InitXmlSec and ShutDownXmlSec: the libraries' global state, set up and torn down in one
// fixed order.
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxslt/xslt.h>
#include <xmlsec/app.h>
#include <xmlsec/dl.h>
#include <xmlsec/errors.h>
#include <xmlsec/xmlsec.h>

#include <type_traits>

#include "host/result_codes.h"
#include "proxy/backend_preload.h"
#include "proxy/crypto_backend.h"
#include "proxy/export_guard.h"
#include "proxy/quillet_proxy.h"
#include "proxy/tracer.h"
#include "proxy/xml_parsing.h"

static_assert(std::is_same_v<XmlSecErrorsCallback, xmlSecErrorsCallback>,
              "the host's error callback type must be xmlsec1's");

namespace quillet::proxy {
namespace {

// The libxml2 version of the headers the library is written against (2.9.3).
constexpr int kLibxmlHeadersVersion = 20903;
// Recognise ID attributes and complete default attributes (XML_DETECT_IDS |
// XML_COMPLETE_ATTRS).
constexpr int kLoadExtDtdDefault = XML_DETECT_IDS | XML_COMPLETE_ATTRS;
// The oldest xmlsec1 release the library works with: 1.2.25.
constexpr int kXmlSecMajor = 1;
constexpr int kXmlSecMinor = 2;
constexpr int kXmlSecSubminor = 25;

// Sets libxml2's global parser defaults.
void setUpParser() {
  xmlInitParser();
  xmlCheckVersion(kLibxmlHeadersVersion);
  xmlLoadExtDtdDefaultValue = kLoadExtDtdDefault;
  xmlSubstituteEntitiesDefault(1);
  xmlIndentTreeOutput = 1;
}

// Loads xmlsec1's default crypto back end, making sure it is the bundled one. Returns the
// raw value of the load.
int loadCryptoBackend(const Tracer& trace, int* result) {
  preloadCryptoBackend(trace, backendModuleName());
  backendPrepareLoading();
  const int loaded = xmlSecCryptoDLLoadLibrary(xmlSecGetDefaultCrypto());
  *result = loaded;
  if (loaded < 0) return CryptoBackendLoadFailed;
  if (!backendLoadedIsLinked()) {
    trace.line(L"the loaded crypto back end is not the one bundled with QuilletProxy",
               CryptoBackendLoadFailed);
    xmlSecCryptoDLUnloadLibrary(xmlSecGetDefaultCrypto());
    return CryptoBackendLoadFailed;
  }
  return Ok;
}

int initialize(const Tracer& trace, xmlSecErrorsCallback errors, int* result) {
  int ignored = 0;
  if (result == nullptr) result = &ignored;
  setUpParser();
  xmlSecErrorsSetCallback(errors);
  if ((*result = xmlSecInit()) < 0) return XmlSecInitFailed;
  // xmlSecInit installs an entity loader of its own, which still lets a document's own
  // parser read its external DTD and parameter entities; ours, put after it, reads nothing.
  refuseExternalResources();
  *result = xmlSecCheckVersionExt(kXmlSecMajor, kXmlSecMinor, kXmlSecSubminor,
                                  xmlSecCheckVersionABICompatible);
  if (*result != 1) return XmlSecVersionMismatch;
  if (const int code = loadCryptoBackend(trace, result); code != Ok) return code;
  if ((*result = xmlSecCryptoAppInit(/*config=*/nullptr)) < 0) return CryptoAppInitFailed;
  if ((*result = xmlSecCryptoInit()) < 0) return CryptoInitFailed;
  xmlSecErrorsSetCallback(errors);
  return Ok;
}

}  // namespace
}  // namespace quillet::proxy

int InitXmlSec(TraceCallback trace, XmlSecErrorsCallback errors, int* stepResult) {
  return quillet::proxy::guardedCall([&] {
    return quillet::proxy::initialize(quillet::proxy::Tracer(trace), errors, stepResult);
  });
}

void ShutDownXmlSec() {
  quillet::proxy::guardedVoidCall([] {
    xmlSecCryptoShutdown();
    xmlSecCryptoAppShutdown();
    xmlSecShutdown();
    xsltCleanupGlobals();
    xmlCleanupParser();
  });
}
