#include "proxy/signature_shape.h"

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

// xmlsec1's base types come before its other headers.
#include <xmlsec/xmlsec.h>

#include <xmlsec/errors.h>
#include <xmlsec/strings.h>
#include <xmlsec/xmltree.h>

#include "proxy/verification_limits.h"
#include "proxy/xml_handles.h"

namespace quillet::proxy {
namespace {

void refuse(const char* subject, int reason, const std::string& message) {
  xmlSecError(__FILE__, __LINE__, "signatureShapeAccepted", /*errorObject=*/nullptr, subject,
              reason, "%s", message.c_str());
}

const char* text(const xmlChar* value) {
  return value != nullptr ? reinterpret_cast<const char*>(value) : "";
}

bool isDsig(xmlNodePtr node, const xmlChar* name) {
  return xmlSecCheckNodeName(node, name, xmlSecDSigNs) != 0;
}

// True when the element's Algorithm names an algorithm accepted for the use.
bool algorithmOk(xmlNodePtr element, AlgorithmUse use) {
  const ScopedXmlChar href(xmlGetProp(element, xmlSecAttrAlgorithm));
  if (algorithmAccepted(use, href.get())) return true;
  refuse(text(href.get()), XMLSEC_ERRORS_R_TRANSFORM_DISABLED,
         std::string("algorithm not accepted in ") + text(element->name));
  return false;
}

// True when the element is a Signature element or lies inside one.
bool insideSignature(xmlNodePtr node) {
  for (xmlNodePtr at = node; at != nullptr && at->type == XML_ELEMENT_NODE; at = at->parent) {
    if (isDsig(at, xmlSecNodeSignature)) return true;
  }
  return false;
}

// True for "" and for "#" followed by a bare ID whose element is outside every signature.
bool uriOk(xmlNodePtr reference) {
  if (!xmlHasProp(reference, xmlSecAttrURI)) {
    refuse(nullptr, XMLSEC_ERRORS_R_INVALID_URI_TYPE, "uri=(none)");
    return false;
  }
  const ScopedXmlChar uri(xmlGetProp(reference, xmlSecAttrURI));
  const std::string value = text(uri.get());
  if (value.empty()) return true;
  if (value[0] != '#' || value.size() == 1 || value.find_first_of("()/ ") != std::string::npos) {
    refuse(nullptr, XMLSEC_ERRORS_R_INVALID_URI_TYPE, "uri=" + value);
    return false;
  }
  xmlAttrPtr id = xmlGetID(reference->doc, reinterpret_cast<const xmlChar*>(value.c_str() + 1));
  if (id != nullptr && id->parent != nullptr && insideSignature(id->parent)) {
    refuse(nullptr, XMLSEC_ERRORS_R_INVALID_DATA,
           "uri=" + value + " names an element of a Signature");
    return false;
  }
  return true;
}

bool referenceOk(xmlNodePtr reference) {
  if (!uriOk(reference)) return false;
  for (xmlNodePtr child = xmlSecGetNextElementNode(reference->children); child != nullptr;
       child = xmlSecGetNextElementNode(child->next)) {
    if (isDsig(child, xmlSecNodeTransforms)) {
      int count = 0;
      for (xmlNodePtr transform = xmlSecGetNextElementNode(child->children); transform != nullptr;
           transform = xmlSecGetNextElementNode(transform->next)) {
        if (++count > kMaxTransformsPerReference) {
          refuse(nullptr, XMLSEC_ERRORS_R_INVALID_SIZE, "too many transforms");
          return false;
        }
        if (!algorithmOk(transform, AlgorithmUse::kTransform)) return false;
      }
    } else if (isDsig(child, xmlSecNodeDigestMethod)) {
      if (!algorithmOk(child, AlgorithmUse::kDigest)) return false;
    }
  }
  return true;
}

// True when the attribute can serve as an ID for a "#value" reference, here or in another
// verifier that takes Id, ID and id for IDs.
bool mayBeId(xmlDocPtr doc, xmlNodePtr element, xmlAttrPtr attribute) {
  if (attribute->ns == nullptr &&
      (xmlStrEqual(attribute->name, BAD_CAST "Id") || xmlStrEqual(attribute->name, BAD_CAST "ID") ||
       xmlStrEqual(attribute->name, BAD_CAST "id"))) {
    return true;
  }
  return attribute->atype == XML_ATTRIBUTE_ID || xmlIsID(doc, element, attribute) != 0;
}

// The number of prefixes the InclusiveNamespaces elements inside SignedInfo list, all
// together (each exclusive canonicalization searches its own list at every element).
unsigned long long inclusivePrefixes(xmlNodePtr signedInfo) {
  unsigned long long prefixes = 0;
  xmlNodePtr node = signedInfo->children;
  while (node != nullptr && node != signedInfo) {
    if (node->type == XML_ELEMENT_NODE &&
        xmlSecCheckNodeName(node, xmlSecNodeInclusiveNamespaces, xmlSecNsExcC14N)) {
      const ScopedXmlChar list(xmlGetProp(node, xmlSecAttrPrefixList));
      const char* at = text(list.get());
      while (*at != '\0') {
        at += std::strspn(at, " \t\r\n");
        if (*at == '\0') break;
        ++prefixes;
        at += std::strcspn(at, " \t\r\n");
      }
    }
    if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
      node = node->children;
      continue;
    }
    while (node != signedInfo && node->next == nullptr) node = node->parent;
    if (node != signedInfo) node = node->next;
  }
  return prefixes;
}

// How many times verification walks the document: once per reference and per transform
// of each, and once for SignedInfo.
unsigned long long passes(xmlNodePtr signedInfo) {
  unsigned long long count = 1;
  for (xmlNodePtr reference = xmlSecGetNextElementNode(signedInfo->children); reference != nullptr;
       reference = xmlSecGetNextElementNode(reference->next)) {
    if (!isDsig(reference, xmlSecNodeReference)) continue;
    ++count;
    xmlNodePtr transforms = xmlSecFindChild(reference, xmlSecNodeTransforms, xmlSecDSigNs);
    if (transforms == nullptr) continue;
    for (xmlNodePtr transform = xmlSecGetNextElementNode(transforms->children);
         transform != nullptr; transform = xmlSecGetNextElementNode(transform->next)) {
      ++count;
    }
  }
  return count;
}

unsigned long long declarations(xmlNodePtr element) {
  unsigned long long count = 0;
  for (xmlNsPtr ns = element->nsDef; ns != nullptr; ns = ns->next) ++count;
  return count;
}

}  // namespace

bool signatureShapeAccepted(xmlNodePtr signature) {
  // xmlSecDSigCtxVerify makes every Id attribute of the signature an ID before it reads a
  // reference; without the same here, "#id" of an element in the signature's Object would
  // find nothing now and that element then.
  static const xmlChar* const kSignatureIds[] = {xmlSecAttrId, nullptr};
  xmlSecAddIDs(signature->doc, signature, const_cast<const xmlChar**>(kSignatureIds));
  xmlNodePtr signedInfo = xmlSecGetNextElementNode(signature->children);
  if (signedInfo == nullptr || !isDsig(signedInfo, xmlSecNodeSignedInfo)) return true;
  int references = 0;
  for (xmlNodePtr child = xmlSecGetNextElementNode(signedInfo->children); child != nullptr;
       child = xmlSecGetNextElementNode(child->next)) {
    if (isDsig(child, xmlSecNodeCanonicalizationMethod)) {
      if (!algorithmOk(child, AlgorithmUse::kCanonicalization)) return false;
    } else if (isDsig(child, xmlSecNodeSignatureMethod)) {
      if (!algorithmOk(child, AlgorithmUse::kSignature)) return false;
    } else if (isDsig(child, xmlSecNodeReference)) {
      if (++references > kMaxReferences) {
        refuse(nullptr, XMLSEC_ERRORS_R_INVALID_SIZE, "too many references");
        return false;
      }
      if (!referenceOk(child)) return false;
    }
  }
  return true;
}

bool idsAreUnique(xmlDocPtr doc) {
  std::set<std::string> seen;
  xmlNodePtr node = xmlDocGetRootElement(doc);
  while (node != nullptr) {
    if (node->type == XML_ELEMENT_NODE) {
      for (xmlAttrPtr attribute = node->properties; attribute != nullptr;
           attribute = attribute->next) {
        if (!mayBeId(doc, node, attribute)) continue;
        const ScopedXmlChar value(xmlNodeListGetString(doc, attribute->children, 1));
        if (!seen.insert(text(value.get())).second) {
          refuse(text(attribute->name), XMLSEC_ERRORS_R_INVALID_DATA,
                 std::string("duplicate ID value=") + text(value.get()));
          return false;
        }
      }
    }
    // Depth first, document order, without recursion.
    if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
      node = node->children;
      continue;
    }
    while (node != nullptr && node->next == nullptr) {
      node = node->parent;
      if (node != nullptr && node->type == XML_DOCUMENT_NODE) node = nullptr;
    }
    if (node != nullptr) node = node->next;
  }
  return true;
}

bool namespaceWorkBounded(xmlNodePtr signature) {
  xmlNodePtr signedInfo = xmlSecGetNextElementNode(signature->children);
  if (signedInfo == nullptr) return true;  // xmlsec1 refuses it
  const unsigned long long prefixes = inclusivePrefixes(signedInfo);
  const unsigned long long walks = passes(signedInfo);
  unsigned long long work = 0;
  // The declarations in scope of each open ancestor; its size is the depth.
  std::vector<unsigned long long> inScope;
  xmlNodePtr node = xmlDocGetRootElement(signature->doc);
  while (node != nullptr) {
    if (node->type == XML_ELEMENT_NODE) {
      const unsigned long long scope = (inScope.empty() ? 0 : inScope.back()) + declarations(node);
      work += (scope + prefixes + 1) * (scope + inScope.size() + 1) * walks;
      if (work > kMaxNamespaceWork) {
        refuse(nullptr, XMLSEC_ERRORS_R_INVALID_SIZE, "too much namespace work");
        return false;
      }
      if (node->children != nullptr) {
        inScope.push_back(scope);
        node = node->children;
        continue;
      }
    }
    // Depth first, document order, without recursion.
    while (node != nullptr && node->next == nullptr) {
      node = node->parent;
      if (node != nullptr && node->type == XML_DOCUMENT_NODE) node = nullptr;
      if (node != nullptr) inScope.pop_back();
    }
    if (node != nullptr) node = node->next;
  }
  return true;
}

}  // namespace quillet::proxy
