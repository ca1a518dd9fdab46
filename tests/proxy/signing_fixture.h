// Tests that sign: a signer from the test PKI in a test store, with its key and template
// made by the library, released before the library shuts down.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <string>

#include "tests/proxy/proxy_fixture.h"

namespace quillet::test {

// The XML-Signature namespace.
constexpr char kDsigNamespace[] = "http://www.w3.org/2000/09/xmldsig#";

class SigningTest : public InitializedProxyTest {
 protected:
  void TearDown() override {
    for (_xmlSecKey* key : keys_) proxy_.destroy_key(key);
    for (_xmlNode* made : templates_) proxy_.destroy_template(made);
    InitializedProxyTest::TearDown();
  }

  // A certificate with a key of the type, issued by the PKI's intermediate, in "My".
  Certificate StoredSigner(KeyType type, const TestStores::AddOptions& options = {}) {
    CertOptions certOptions;
    certOptions.keyType = type;
    return Certificate(StoredCertificate(stores_, pki_.issue(certOptions), options));
  }

  // The key of a certificate without PIN (a test failure when the library refuses it).
  _xmlSecKey* KeyFor(PCCERT_CONTEXT certificate) {
    _xmlSecKey* key = nullptr;
    EXPECT_EQ(proxy_.prepare_key(RecordTrace, &key, certificate, nullptr), 0) << DescribeErrors();
    if (key != nullptr) keys_.push_back(key);
    return key;
  }

  // The template for a certificate.
  _xmlNode* TemplateFor(PCCERT_CONTEXT certificate) {
    _xmlNode* made = nullptr;
    EXPECT_EQ(proxy_.create_template(RecordTrace, certificate, &made), 0);
    if (made != nullptr) templates_.push_back(made);
    return made;
  }

  // Key and template of a new signer of the type.
  void UseSigner(KeyType type) {
    signer_ = StoredSigner(type);
    key_ = KeyFor(signer_.get());
    template_ = TemplateFor(signer_.get());
  }

  // Signs UTF-8 text with the current key and template; *code gets the result. Returns the
  // result as UTF-8 (empty unless *code is 0), the trace recorded from this call only.
  std::string SignText(const std::string& document, bool signature_only, int* code) {
    return SignWide(Wide(document), signature_only, code);
  }
  std::string SignWide(const std::wstring& document, bool signature_only, int* code) {
    Recorded::Clear();
    wchar_t* result = nullptr;
    *code = proxy_.sign(RecordTrace, key_, template_, signature_only, document.c_str(), &result);
    if (result == nullptr) return std::string();
    const std::string text = Narrow(result);
    proxy_.free_buffer(result);
    return text;
  }

  // Signs and expects success.
  std::string Signed(const std::string& document, bool signature_only = false) {
    int code = -1;
    std::string result = SignText(document, signature_only, &code);
    EXPECT_EQ(code, 0) << DescribeErrors();
    return result;
  }

  // The serialised form of a node (as the library would write it).
  static std::string Dump(_xmlNode* node) {
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, node->doc, node, 0, 0);
    std::string text(reinterpret_cast<const char*>(xmlBufferContent(buffer)));
    xmlBufferFree(buffer);
    return text;
  }

  // Puts a signature in as the last child of the document's root element, where Sign put
  // it: just before the root's end tag.
  static std::string WithSignature(const std::string& document, const std::string& signature) {
    const std::string::size_type end = document.rfind("</");
    return document.substr(0, end) + signature + document.substr(end);
  }

  TestStores stores_;
  TestPki pki_;
  XmlSecTool verifier_{pki_.root(), pki_.intermediate()};
  Certificate signer_;
  _xmlSecKey* key_ = nullptr;
  _xmlNode* template_ = nullptr;

 private:
  std::vector<_xmlSecKey*> keys_;
  std::vector<_xmlNode*> templates_;
};

// A parsed document for checking results, freed afterwards.
struct ParsedXml {
  explicit ParsedXml(const std::string& text)
      : doc(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                          XML_PARSE_NONET)) {}
  ~ParsedXml() { xmlFreeDoc(doc); }
  ParsedXml(const ParsedXml&) = delete;
  ParsedXml& operator=(const ParsedXml&) = delete;

  // The root element's last child element, or NULL.
  xmlNodePtr LastChildElement() const {
    xmlNodePtr root = doc != nullptr ? xmlDocGetRootElement(doc) : nullptr;
    for (xmlNodePtr child = root != nullptr ? root->last : nullptr; child; child = child->prev) {
      if (child->type == XML_ELEMENT_NODE) return child;
    }
    return nullptr;
  }

  xmlDocPtr doc;
};

// True when the node is a Signature element of the XML-Signature namespace.
inline bool IsSignature(xmlNodePtr node) {
  return node != nullptr && xmlStrEqual(node->name, BAD_CAST "Signature") && node->ns != nullptr &&
         xmlStrEqual(node->ns->href, BAD_CAST kDsigNamespace);
}

}  // namespace quillet::test
