// How the library parses the documents it is given: they come from web pages, so nothing
// outside a document may reach the parser.
#pragma once

#include <string>

#include "proxy/xml_handles.h"

namespace quillet::proxy {

// Installs, for the whole process, libxml2's external entity loader that refuses every
// resource: external DTDs and external entities, whether named by file, URL or public
// identifier, are never read. Part of the global parser set-up of InitXmlSec.
void refuseExternalResources();

// Parses a NUL-terminated UTF-8 document. Entities declared in its internal subset are
// substituted, its ID attributes recognised and its default attributes completed; nothing
// is loaded from outside it and the network is never used. An external DTD or external
// parameter entity is left out (its declarations do not count); a reference in the content
// to an external entity, whose text would be part of the document, fails the parse with
// *refusedEntity its system identifier. An entity expansion that grows out of all
// proportion fails. Errors are not printed: libxml2 keeps the last one (xmlGetLastError,
// cleared before parsing). Returns NULL when the text is not a well-formed document.
XmlDocHandle parseDocument(const char* text, std::string* refusedEntity);

}  // namespace quillet::proxy
