// Sign and FreeXmlBuffer: one document signed with a prepared key and a copy of the
// template, handed back whole or as its new signature alone.
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <xmlsec/xmldsig.h>

#include <memory>
#include <string>
#include <utility>

#include "host/result_codes.h"
#include "proxy/export_guard.h"
#include "proxy/quillet_proxy.h"
#include "proxy/tracer.h"
#include "proxy/wide_text.h"
#include "proxy/xml_handles.h"
#include "proxy/xml_parsing.h"

namespace quillet::proxy {
namespace {

// A result of Sign until it is handed out.
using WideText = std::unique_ptr<wchar_t[]>;

// What one Sign call works with.
struct Signing {
  const Tracer& trace;
  const xmlChar* utf8Name;  // libxml2's name of UTF-8
  bool signatureOnly;
};

// Traces the out-of-memory line and returns its code.
int outOfMemory(const Tracer& trace) {
  trace.line(L"memory allocation failed", OutOfMemory);
  return OutOfMemory;
}

// True when the document declares an encoding that is not UTF-8 (ASCII case ignored).
bool declaresOtherEncoding(const Signing& signing, xmlDocPtr doc) {
  return doc->encoding != nullptr && xmlStrcasecmp(doc->encoding, signing.utf8Name) != 0;
}

// Serialises the signed document, or only its new signature, as UTF-8 into *text.
// Returns false when libxml2 could not get the memory.
bool serialise(const Signing& signing, xmlDocPtr doc, xmlNodePtr signature, ScopedXmlChar* text) {
  if (signing.signatureOnly) {
    ScopedXmlBuffer buffer(xmlBufferCreate());
    if (!buffer || xmlNodeDump(buffer.get(), doc, signature, /*level=*/0, /*format=*/0) < 0) {
      return false;
    }
    text->reset(xmlBufferDetach(buffer.get()));
  } else {
    xmlChar* dumped = nullptr;
    int size = 0;
    xmlDocDumpMemory(doc, &dumped, &size);
    text->reset(dumped);
  }
  return *text != nullptr;
}

// Serialises the signed document (or its new signature) and converts it to UTF-16 into
// *result.
int prepareResult(const Signing& signing, xmlDocPtr doc, xmlNodePtr signature, WideText* result) {
  signing.trace.line(L"preparing result");
  if (doc->encoding == nullptr) {
    doc->encoding = xmlStrdup(signing.utf8Name);
    if (doc->encoding == nullptr) return outOfMemory(signing.trace);
  }
  ScopedXmlChar text;
  if (!serialise(signing, doc, signature, &text)) return outOfMemory(signing.trace);
  const Conversion converted = utf8ToWide(reinterpret_cast<const char*>(text.get()), result);
  signing.trace.line(L"freeing buffer");
  text.reset();
  return converted == Conversion::kDone ? Ok : outOfMemory(signing.trace);
}

// Appends a copy of the template to the root element, signs it with the key and prepares
// the result.
int signParsed(const Signing& signing, xmlDocPtr doc, xmlSecKeyPtr key,
               xmlNodePtr signatureTemplate, WideText* result) {
  if (key == nullptr || signatureTemplate == nullptr) return SigningFailed;
  xmlNodePtr signature = xmlDocCopyNode(signatureTemplate, doc, /*extended=*/1);
  if (signature == nullptr) return outOfMemory(signing.trace);
  xmlAddChild(xmlDocGetRootElement(doc), signature);
  signing.trace.line(L"creating signature context");
  ScopedDSigCtx context(xmlSecDSigCtxCreate(/*keysMngr=*/nullptr));
  if (!context) return SignatureContextFailed;
  context->signKey = key;
  signing.trace.line(L"signing");
  int code = xmlSecDSigCtxSign(context.get(), signature) != 0
                 ? SigningFailed
                 : prepareResult(signing, doc, signature, result);
  signing.trace.line(L"destroying signature context");
  context->signKey = nullptr;
  context.reset();
  return code;
}

// Parses the UTF-8 document, checks it and signs it.
// The UTF-8 text is released as soon as it is parsed.
int signText(const Signing& signing, std::unique_ptr<char[]> text, xmlSecKeyPtr key,
             xmlNodePtr signatureTemplate, WideText* result) {
  signing.trace.line(L"parsing document");
  std::string refused;
  ScopedXmlDoc doc = parseDocument(text.get(), &refused);
  text.reset();
  signing.trace.line(L"checking root element");
  if (!doc || xmlDocGetRootElement(doc.get()) == nullptr) {
    traceParseFailure(signing.trace, refused);
    return XmlParseFailed;
  }
  signing.trace.line(L"checking encoding");
  const int code = declaresOtherEncoding(signing, doc.get())
                       ? XmlEncodingUnsupported
                       : signParsed(signing, doc.get(), key, signatureTemplate, result);
  signing.trace.line(L"freeing document");
  doc.reset();
  return code;
}

int signDocument(const Tracer& trace, xmlSecKeyPtr key, xmlNodePtr signatureTemplate,
                 bool signatureOnly, const wchar_t* document, WideText* result) {
  const Signing signing{
      trace, reinterpret_cast<const xmlChar*>(xmlGetCharEncodingName(XML_CHAR_ENCODING_UTF8)),
      signatureOnly};
  std::unique_ptr<char[]> text;
  switch (wideToUtf8(document, &text)) {
    case Conversion::kDone:
      return signText(signing, std::move(text), key, signatureTemplate, result);
    case Conversion::kInvalidText:
      trace.line(L"the document is not valid UTF-16 text", XmlParseFailed);
      return XmlParseFailed;
    case Conversion::kOutOfMemory:
      break;
  }
  return outOfMemory(trace);
}

}  // namespace
}  // namespace quillet::proxy

int Sign(TraceCallback trace, xmlSecKeyPtr key, xmlNodePtr signatureTemplate, bool signatureOnly,
         const wchar_t* document, wchar_t** result) {
  const quillet::proxy::Tracer tracer(trace);
  const int code = quillet::proxy::guardedCall([&] {
    tracer.line(L"Sign");
    quillet::proxy::WideText signedText;
    const int signedCode = quillet::proxy::signDocument(tracer, key, signatureTemplate,
                                                        signatureOnly, document, &signedText);
    if (signedCode == Ok && result != nullptr) *result = signedText.release();
    return signedCode;
  });
  quillet::proxy::guardedVoidCall([&] { tracer.line(L"Sign: " + std::to_wstring(code), code); });
  return code;
}

void FreeXmlBuffer(wchar_t* buffer) { delete[] buffer; }
