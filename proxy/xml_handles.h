// Owners of libxml2 and xmlsec1 objects, each released with its library's own function.
#pragma once

#include <memory>

#include <libxml/tree.h>
#include <libxml/xmlmemory.h>
#include <xmlsec/keys.h>
#include <xmlsec/keysmngr.h>
#include <xmlsec/xmldsig.h>

namespace quillet::proxy {

struct XmlDocFree {
  void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
// A parsed document, freed with xmlFreeDoc (and every node in it).
using XmlDocHandle = std::unique_ptr<xmlDoc, XmlDocFree>;

struct XmlTextFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
// Text allocated by libxml2, freed with xmlFree.
using XmlTextHandle = std::unique_ptr<xmlChar, XmlTextFree>;

struct XmlBufferFree {
  void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};
// A libxml2 output buffer, freed with its content.
using XmlBufferHandle = std::unique_ptr<xmlBuffer, XmlBufferFree>;

struct DSigCtxDestroy {
  void operator()(xmlSecDSigCtxPtr context) const { xmlSecDSigCtxDestroy(context); }
};
// An xmlsec1 signature context, destroyed with xmlSecDSigCtxDestroy (and the signing key
// it holds, unless that was taken out first).
using DSigCtxHandle = std::unique_ptr<xmlSecDSigCtx, DSigCtxDestroy>;

struct KeyDestroy {
  void operator()(xmlSecKeyPtr key) const { xmlSecKeyDestroy(key); }
};
// An xmlsec1 key with its key data, destroyed with xmlSecKeyDestroy. Release it to a keys
// manager that adopted it: the manager destroys it then.
using KeyHandle = std::unique_ptr<xmlSecKey, KeyDestroy>;

struct KeysMngrDestroy {
  void operator()(xmlSecKeysMngrPtr manager) const { xmlSecKeysMngrDestroy(manager); }
};
// A keys manager, destroyed with the keys it holds.
using KeysMngrHandle = std::unique_ptr<xmlSecKeysMngr, KeysMngrDestroy>;

}  // namespace quillet::proxy
