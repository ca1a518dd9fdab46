#include "host/engine/document_text.h"

#include "host/result_codes.h"
#include "host/result_error.h"

namespace quillet::host {

void requireNoNul(const std::string& document) {
  if (document.find('\0') != std::string::npos) throw ResultError(XmlParseFailed);
}

}  // namespace quillet::host
