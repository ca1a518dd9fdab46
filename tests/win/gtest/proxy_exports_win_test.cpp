// QuilletProxy.dll of the bundle, loaded and bound by name as the host does, on xmlsec1's
// mscrypto back end over Wine's CryptoAPI: initialisation and shutdown, verification of
// documents without a valid signature, the GOST template of a GOST certificate, and key
// preparation with an RSA key in the user's store (Wine has no GOST provider).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <xmlsec/mscrypto/crypto.h>
#include <xmlsec/templates.h>
#include <xmlsec/transforms.h>
#include <nlohmann/json.hpp>

#include "host/result_codes.h"
#include "host/result_message.h"
#include "host/text_conversion.h"
#include "host/trace.h"
#include "proxy/quillet_proxy.h"
#include "tests/win/gtest/win_test_support.h"

namespace quillet::wintest {

using namespace quillet::host;
namespace {

std::vector<std::string> g_xmlsec_errors;

void recordXmlSecError(const char* /*file*/, int /*line*/, const char* func,
                       const char* /*errorObject*/, const char* /*errorSubject*/, int reason,
                       const char* msg) {
  g_xmlsec_errors.push_back(std::string(func != nullptr ? func : "?") + " " +
                            std::to_string(reason) + " " + (msg != nullptr ? msg : ""));
}

int checkNothing(PCCERT_CONTEXT) { return Ok; }

template <typename Function>
Function bind(HMODULE module, const char* name) {
  auto address = GetProcAddress(module, name);
  EXPECT_NE(address, nullptr) << name;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

// The bundle's proxy, loaded once for the whole program (the host never unloads it).
struct Proxy {
  Proxy() {
    const std::wstring path = bundleDirectory() + L"QuilletProxy.dll";
    module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    EXPECT_NE(module, nullptr) << "GetLastError " << GetLastError();
    if (module == nullptr) return;
    init = bind<InitXmlSecFunction>(module, "InitXmlSec");
    shutDown = bind<ShutDownXmlSecFunction>(module, "ShutDownXmlSec");
    prepare = bind<decltype(&PreparePrivateKey)>(module, "PreparePrivateKey");
    createTemplate = bind<decltype(&CreateSignatureTemplate)>(module, "CreateSignatureTemplate");
    verify = bind<decltype(&Verify)>(module, "Verify");
    sign = bind<decltype(&Sign)>(module, "Sign");
    freeBuffer = bind<decltype(&FreeXmlBuffer)>(module, "FreeXmlBuffer");
    destroyKey = bind<decltype(&DestroyKey)>(module, "DestroyKey");
    destroyTemplate = bind<decltype(&DestroyTemplate)>(module, "DestroyTemplate");
  }
  HMODULE module = nullptr;
  InitXmlSecFunction init = nullptr;
  ShutDownXmlSecFunction shutDown = nullptr;
  decltype(&PreparePrivateKey) prepare = nullptr;
  decltype(&CreateSignatureTemplate) createTemplate = nullptr;
  decltype(&Verify) verify = nullptr;
  decltype(&Sign) sign = nullptr;
  decltype(&FreeXmlBuffer) freeBuffer = nullptr;
  decltype(&DestroyKey) destroyKey = nullptr;
  decltype(&DestroyTemplate) destroyTemplate = nullptr;
};

Proxy& proxy() {
  static Proxy loaded;
  return loaded;
}

class ProxyExportsWinTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(proxy().module, nullptr);
    g_xmlsec_errors.clear();
    int step = -1;
    ASSERT_EQ(proxy().init(&trace, &recordXmlSecError, &step), Ok);
    EXPECT_EQ(step, 0);
  }
  void TearDown() override { proxy().shutDown(); }

  int VerifyText(const std::string& document) {
    const std::string noCertificate;
    return proxy().verify(&trace, &checkNothing, &document, &noCertificate);
  }

  TraceLog log_;
};

TEST_F(ProxyExportsWinTest, InitialisesAgainAfterShutdownAndVerifiesNothingUnsigned) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(VerifyText("<a/>"), SignatureMissing);
    EXPECT_EQ(VerifyText("<a><b></a>"), XmlParseFailed);
    proxy().shutDown();
    int step = -1;
    ASSERT_EQ(proxy().init(&trace, &recordXmlSecError, &step), Ok);
  }
}

TEST_F(ProxyExportsWinTest, GostTemplateForAGostCertificate) {
  PCCERT_CONTEXT certificate = contextOf(certificateFile("gost2012-256.cer"));
  ASSERT_NE(certificate, nullptr);
  _xmlNode* made = nullptr;
  EXPECT_EQ(proxy().createTemplate(&trace, certificate, &made), Ok);
  EXPECT_NE(made, nullptr);
  proxy().destroyTemplate(made);
  CertFreeCertificateContext(certificate);
}

TEST_F(ProxyExportsWinTest, CertificateWithoutPrivateKeyIs200AndNoKey) {
  PCCERT_CONTEXT certificate = contextOf(certificateFile("gost2012-256.cer"));
  ASSERT_NE(certificate, nullptr);
  _xmlSecKey* key = reinterpret_cast<_xmlSecKey*>(&key);  // untouched on 200
  EXPECT_EQ(proxy().prepare(&trace, &key, certificate, L""), KeySelectFailed);
  EXPECT_EQ(key, reinterpret_cast<_xmlSecKey*>(&key));
  CertFreeCertificateContext(certificate);
}

// An RSA key in a key container of Wine's provider, with a self-signed certificate that
// names it, in the user's "My" store for the life of the object.
class RsaKeyInStore {
 public:
  RsaKeyInStore() {
    if (!CryptAcquireContextW(&provider_, kContainer, nullptr, PROV_RSA_AES, CRYPT_NEWKEYSET)) {
      EXPECT_TRUE(CryptAcquireContextW(&provider_, kContainer, nullptr, PROV_RSA_AES, 0));
    }
    HCRYPTKEY key = 0;
    EXPECT_TRUE(CryptGenKey(provider_, AT_KEYEXCHANGE, (2048u << 16) | CRYPT_EXPORTABLE, &key));
    CryptDestroyKey(key);
    BYTE name[256];
    DWORD nameSize = sizeof name;
    EXPECT_TRUE(CertStrToNameW(X509_ASN_ENCODING, L"CN=Quillet Wine RSA signer", CERT_X500_NAME_STR,
                               nullptr, name, &nameSize, nullptr));
    CERT_NAME_BLOB subject{nameSize, name};
    CRYPT_KEY_PROV_INFO info{};
    info.pwszContainerName = const_cast<wchar_t*>(kContainer);
    info.dwProvType = PROV_RSA_AES;
    info.dwKeySpec = AT_KEYEXCHANGE;
    certificate_ = CertCreateSelfSignCertificate(provider_, &subject, 0, &info, nullptr, nullptr,
                                                 nullptr, nullptr);
    EXPECT_NE(certificate_, nullptr) << "GetLastError " << GetLastError();
    // The provider writes the container's keys out when its last handle goes: the proxy
    // acquires the container afresh.
    CryptReleaseContext(provider_, 0);
  }
  ~RsaKeyInStore() {
    CertFreeCertificateContext(certificate_);
    HCRYPTPROV gone = 0;
    CryptAcquireContextW(&gone, kContainer, nullptr, PROV_RSA_AES, CRYPT_DELETEKEYSET);
  }
  RsaKeyInStore(const RsaKeyInStore&) = delete;
  RsaKeyInStore& operator=(const RsaKeyInStore&) = delete;
  PCCERT_CONTEXT certificate() const { return certificate_; }

 private:
  static constexpr const wchar_t* kContainer = L"quillet-wine-test-rsa";
  HCRYPTPROV provider_ = 0;
  PCCERT_CONTEXT certificate_ = nullptr;
};

TEST_F(ProxyExportsWinTest, PreparesTheKeyOfACertificateWithoutXmlSecErrors) {
  RsaKeyInStore rsa;
  ASSERT_NE(rsa.certificate(), nullptr);
  _xmlSecKey* key = nullptr;
  g_xmlsec_errors.clear();
  EXPECT_EQ(proxy().prepare(&trace, &key, rsa.certificate(), L""), Ok);
  EXPECT_NE(key, nullptr);
  // Preparing a key is no error: nothing may reach the user's log through xmlsec1's
  // error callback.
  EXPECT_EQ(g_xmlsec_errors, std::vector<std::string>()) << "xmlsec1 reported errors";
  proxy().destroyKey(key);
}

// The enveloped template of the proxy's own shape (inclusive C14N, one reference to the
// whole document with the enveloped transform, KeyInfo with X509Data) for RSA-SHA1, which
// Wine's provider implements, in place of GOST, which it does not. Test-only.
xmlNodePtr rsaTemplateOfTheSameShape() {
  xmlNodePtr signature = xmlSecTmplSignatureCreate(
      nullptr, xmlSecTransformInclC14NId, xmlSecMSCryptoTransformRsaSha1GetKlass(), nullptr);
  xmlNodePtr reference = xmlSecTmplSignatureAddReference(
      signature, xmlSecMSCryptoTransformSha1GetKlass(), nullptr, BAD_CAST "", nullptr);
  EXPECT_NE(xmlSecTmplReferenceAddTransform(reference, xmlSecTransformEnvelopedId), nullptr);
  EXPECT_NE(xmlSecTmplKeyInfoAddX509Data(xmlSecTmplSignatureEnsureKeyInfo(signature, nullptr)),
            nullptr);
  return signature;
}

// Adds a certificate to the current user's Root store for the life of the object.
class TrustedRoot {
 public:
  explicit TrustedRoot(PCCERT_CONTEXT certificate) {
    store_ = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    EXPECT_TRUE(CertAddCertificateContextToStore(store_, certificate,
                                                 CERT_STORE_ADD_REPLACE_EXISTING, &added_));
    EXPECT_TRUE(CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr));
  }
  ~TrustedRoot() {
    if (added_ != nullptr) CertDeleteCertificateFromStore(added_);
    CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    CertCloseStore(store_, 0);
  }
  TrustedRoot(const TrustedRoot&) = delete;
  TrustedRoot& operator=(const TrustedRoot&) = delete;

 private:
  HCERTSTORE store_ = nullptr;
  PCCERT_CONTEXT added_ = nullptr;
};

// The answer of a host to a "verify" request for the document: the bundle's host, or the
// host of a copy of the bundle.
std::string verifyThroughTheHost(const std::string& document, const BundleCopy* copy = nullptr) {
  const nlohmann::json request = {{"actionCode", "verify"}, {"xml", document}};
  DWORD exitCode = 99;
  const std::string output = copy != nullptr ? copy->RunHost(frame(request.dump()), L"", &exitCode)
                                             : runHost(frame(request.dump()), &exitCode);
  EXPECT_EQ(exitCode, 0u);
  return output.size() >= 4 ? output.substr(4) : output;
}

std::string errorAnswer(int code) {
  const nlohmann::json answer = {
      {"success", false}, {"errorMessage", "QuilletHost: " + WideToUtf8(resultMessage(code))}};
  return answer.dump();
}

TEST_F(ProxyExportsWinTest, SignsWithTheKeyInTheStoreAndTheUnmodifiedHostVerifies) {
  RsaKeyInStore rsa;
  ASSERT_NE(rsa.certificate(), nullptr);
  _xmlSecKey* key = nullptr;
  ASSERT_EQ(proxy().prepare(&trace, &key, rsa.certificate(), L""), Ok);
  xmlNodePtr rsaTemplate = rsaTemplateOfTheSameShape();
  wchar_t* signedText = nullptr;
  const int signedCode =
      proxy().sign(&trace, key, rsaTemplate, false,
                   L"<doc><p>\u041f\u043e\u0434\u043f\u0438\u0441\u044c</p></doc>", &signedText);
  proxy().destroyTemplate(rsaTemplate);
  proxy().destroyKey(key);
  ASSERT_EQ(signedCode, Ok) << testing::PrintToString(g_xmlsec_errors);
  ASSERT_NE(signedText, nullptr);
  const std::string signedDocument = WideToUtf8(signedText);
  proxy().freeBuffer(signedText);
  EXPECT_NE(signedDocument.find("<X509Certificate>"), std::string::npos) << signedDocument;
  proxy().shutDown();  // the host runs on its own; this process stays out of its way

  {
    TrustedRoot root(rsa.certificate());
    // The product accepts GOST signatures only: RSA is refused before any digest.
    EXPECT_EQ(verifyThroughTheHost(signedDocument), errorAnswer(VerificationFailed));
    // The library that also accepts RSA-SHA1, in a copy of the bundle: the signature holds
    // and the host's own check refuses the RSA signer; a change breaks the signature.
    BundleCopy rsaBundle(L"quillet-rsa-bundle", {QUILLET_STAND_IN_RSA_PROXY});
    EXPECT_EQ(verifyThroughTheHost(signedDocument, &rsaBundle), errorAnswer(NotGostCertificate));
    std::string changed = signedDocument;
    const size_t text = changed.find("<p>");
    ASSERT_NE(text, std::string::npos);
    changed.insert(text + 3, "x");
    EXPECT_EQ(verifyThroughTheHost(changed, &rsaBundle), errorAnswer(SignatureInvalid));
  }
  {
    // Untrusted: the signer's chain ends in a root the user does not trust.
    BundleCopy rsaBundle(L"quillet-rsa-bundle", {QUILLET_STAND_IN_RSA_PROXY});
    EXPECT_EQ(verifyThroughTheHost(signedDocument, &rsaBundle), errorAnswer(VerificationFailed));
  }
  int step = -1;
  ASSERT_EQ(proxy().init(&trace, &recordXmlSecError, &step), Ok);
}

}  // namespace
}  // namespace quillet::wintest
