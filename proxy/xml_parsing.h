// How the library parses the documents it is given: they come from web pages, so nothing
// outside a document may reach the parser.
#pragma once

#include <string>

#include "proxy/tracer.h"
#include "proxy/xml_handles.h"

namespace quillet::proxy {

// Installs, for the whole process, libxml2's external entity loader that refuses every
// resource: external DTDs and external entities, whether named by file, URL or public
// identifier, are never read. Part of the global parser set-up of InitXmlSec.
void refuseExternalResources();

// What the parser makes of a document's declared encoding.
enum class DeclaredEncoding {
  kHonour,  // the text is read in the encoding its XML declaration names
  kIgnore,  // the text is read as UTF-8 whatever its declaration names
};

// Parses a NUL-terminated UTF-8 document, reading it in its declared encoding or as UTF-8
// alone as `encoding` says. Entities declared in its internal subset are
// substituted, its ID attributes recognised and its default attributes completed; nothing
// is loaded from outside it and the network is never used. An external DTD or external
// parameter entity is left out (its declarations do not count); a reference in the content
// to an external entity, whose text would be part of the document, fails the parse with
// *refusedEntity its system identifier. An entity expansion that grows out of all
// proportion fails. Errors are not printed: libxml2 keeps the last one (xmlGetLastError,
// cleared before parsing). Returns NULL when the text is not a well-formed document.
ScopedXmlDoc parseDocument(const char* text, std::string* refusedEntity,
                           DeclaredEncoding encoding = DeclaredEncoding::kHonour);

// Traces why parseDocument gave no document, or one without a root element, with code 209:
// "external entity refused: " and the entity's system identifier when refusedEntity is not
// empty, otherwise libxml2's last message if it has one (each byte one UTF-16 unit).
void traceParseFailure(const Tracer& trace, const std::string& refusedEntity);

}  // namespace quillet::proxy
