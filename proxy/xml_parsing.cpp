#include "proxy/xml_parsing.h"

#include <climits>
#include <cstring>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include "host/result_codes.h"

namespace quillet::proxy {
namespace {

// The parser options: entity substitution, ID detection and default attributes (what the
// global defaults of InitXmlSec ask for), no network, no printed errors. The external
// subset that ID detection and default attributes would load is refused by the entity
// loader, so only the document's internal subset counts.
constexpr int kParseOptions = XML_PARSE_NOENT | XML_PARSE_DTDLOAD | XML_PARSE_DTDATTR |
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// The parse under way on this thread, if it is one of parseDocument's.
struct ActiveParse {
  xmlParserCtxtPtr context = nullptr;
  std::string refusedEntity;
  bool refused = false;
};
thread_local ActiveParse* currentParse = nullptr;

// libxml2's external entity loader that loads nothing. A load asked for by another parser
// context than the document's own is an external entity of the content: libxml2 parses
// those in a context of their own, and would otherwise go on without their text.
xmlParserInputPtr refuseEverything(const char* url, const char* /*id*/, xmlParserCtxtPtr context) {
  if (currentParse != nullptr && context != currentParse->context && !currentParse->refused) {
    currentParse->refused = true;
    currentParse->refusedEntity = url != nullptr && *url != '\0' ? url : "(no system identifier)";
  }
  return nullptr;
}

}  // namespace

void refuseExternalResources() { xmlSetExternalEntityLoader(refuseEverything); }

ScopedXmlDoc parseDocument(const char* text, std::string* refusedEntity,
                           DeclaredEncoding encoding) {
  xmlResetLastError();
  const std::size_t length = std::strlen(text);
  if (length == 0 || length > static_cast<std::size_t>(INT_MAX)) return nullptr;
  ScopedParserCtxt context(xmlCreateMemoryParserCtxt(text, static_cast<int>(length)));
  if (!context) return nullptr;
  xmlCtxtUseOptions(context.get(), encoding == DeclaredEncoding::kIgnore
                                       ? kParseOptions | XML_PARSE_IGNORE_ENC
                                       : kParseOptions);
  ActiveParse parse;
  parse.context = context.get();
  currentParse = &parse;
  xmlParseDocument(context.get());
  currentParse = nullptr;
  ScopedXmlDoc doc(context->myDoc);
  context->myDoc = nullptr;
  if (parse.refused) {
    *refusedEntity = parse.refusedEntity;
    return nullptr;
  }
  if (!context->wellFormed) return nullptr;
  return doc;
}

void traceParseFailure(const Tracer& trace, const std::string& refusedEntity) {
  if (!refusedEntity.empty()) {
    trace.line(L"external entity refused: " + bytesAsWide(refusedEntity.c_str()), XmlParseFailed);
    return;
  }
  const xmlError* error = xmlGetLastError();
  if (error != nullptr && error->message != nullptr) {
    trace.line(bytesAsWide(error->message), XmlParseFailed);
  }
}

}  // namespace quillet::proxy
