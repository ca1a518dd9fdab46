// Owners of libxml2 and xmlsec1 objects, each released with its library's own function.
#pragma once

#include <memory>

#include <libxml/parser.h>
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
using ScopedXmlDoc = std::unique_ptr<xmlDoc, XmlDocFree>;

struct XmlFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
// Text allocated by libxml2, freed with xmlFree.
using ScopedXmlChar = std::unique_ptr<xmlChar, XmlFree>;

struct XmlBufferFree {
  void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};
// A libxml2 output buffer, freed with its content.
using ScopedXmlBuffer = std::unique_ptr<xmlBuffer, XmlBufferFree>;

struct DSigCtxDestroy {
  void operator()(xmlSecDSigCtxPtr context) const { xmlSecDSigCtxDestroy(context); }
};
// An xmlsec1 signature context, destroyed with xmlSecDSigCtxDestroy (and the signing key
// it holds, unless that was taken out first).
using ScopedDSigCtx = std::unique_ptr<xmlSecDSigCtx, DSigCtxDestroy>;

struct KeyDestroy {
  void operator()(xmlSecKeyPtr key) const { xmlSecKeyDestroy(key); }
};
// An xmlsec1 key with its key data, destroyed with xmlSecKeyDestroy. Release it to a keys
// manager that adopted it: the manager destroys it then.
using ScopedKey = std::unique_ptr<xmlSecKey, KeyDestroy>;

struct KeysMngrDestroy {
  void operator()(xmlSecKeysMngrPtr manager) const { xmlSecKeysMngrDestroy(manager); }
};
// A keys manager, destroyed with the keys it holds.
using ScopedKeysMngr = std::unique_ptr<xmlSecKeysMngr, KeysMngrDestroy>;

struct KeyDataDestroy {
  void operator()(xmlSecKeyDataPtr data) const { xmlSecKeyDataDestroy(data); }
};
// An xmlsec1 key data not yet given to a key, destroyed with xmlSecKeyDataDestroy. Release
// it once a key took it.
using ScopedKeyData = std::unique_ptr<xmlSecKeyData, KeyDataDestroy>;

struct KeyStoreDestroy {
  void operator()(xmlSecKeyStorePtr store) const { xmlSecKeyStoreDestroy(store); }
};
// A key store not yet given to a keys manager, destroyed with xmlSecKeyStoreDestroy.
// Release it once a manager adopted it.
using ScopedKeyStore = std::unique_ptr<xmlSecKeyStore, KeyStoreDestroy>;

struct ParserCtxtFree {
  void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};
// A libxml2 parser context, freed with xmlFreeParserCtxt (not the document it made).
using ScopedParserCtxt = std::unique_ptr<xmlParserCtxt, ParserCtxtFree>;

}  // namespace quillet::proxy
