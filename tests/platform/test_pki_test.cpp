// The test PKI itself: what it makes must be what the other tests believe they get.
#include "tests/support/test_pki.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include "platform/win32.h"

namespace quillet::test {
namespace {

std::string SignatureOid(const Credential& credential) {
  char text[80] = {};
  OBJ_obj2txt(text, sizeof(text), X509_get0_tbs_sigalg(credential.cert.get())->algorithm, 1);
  return text;
}

TEST(TestPki, SignatureAlgorithmFollowsTheIssuersKey) {
  TestPki pki;
  const struct {
    KeyType issuer_key;
    const char* oid;
  } cases[] = {
      {KeyType::kGost2001, "1.2.643.2.2.3"},
      {KeyType::kGost2012_256, "1.2.643.7.1.1.3.2"},
      {KeyType::kGost2012_512, "1.2.643.7.1.1.3.3"},
      {KeyType::kRsa, "1.2.840.113549.1.1.11"},
  };
  for (const auto& row : cases) {
    const Credential leaf = pki.Issue(CertOptions(), pki.CaWithKey(row.issuer_key));
    EXPECT_EQ(SignatureOid(leaf), row.oid) << row.oid;
    EXPECT_EQ(X509_verify(leaf.cert.get(), pki.CaWithKey(row.issuer_key).key.get()), 1) << row.oid;
  }
}

TEST(TestPki, ChainVerifiesUpToTheRoot) {
  TestPki pki;
  const struct {
    KeyType type;
    int nid;
  } keys[] = {{KeyType::kGost2001, NID_id_GostR3410_2001},
              {KeyType::kGost2012_256, NID_id_GostR3410_2012_256},
              {KeyType::kGost2012_512, NID_id_GostR3410_2012_512}};
  for (const auto& key : keys) {
    CertOptions options;
    options.key_type = key.type;
    const Credential leaf = pki.Issue(options);
    EXPECT_EQ(EVP_PKEY_get_base_id(leaf.key.get()), key.nid);
    X509_STORE* trusted = X509_STORE_new();
    X509_STORE_add_cert(trusted, pki.root().cert.get());
    STACK_OF(X509)* untrusted = sk_X509_new_null();
    sk_X509_push(untrusted, pki.intermediate().cert.get());
    X509_STORE_CTX* context = X509_STORE_CTX_new();
    X509_STORE_CTX_init(context, trusted, leaf.cert.get(), untrusted);
    EXPECT_EQ(X509_verify_cert(context), 1)
        << X509_verify_cert_error_string(X509_STORE_CTX_get_error(context));
    X509_STORE_CTX_free(context);
    sk_X509_free(untrusted);
    X509_STORE_free(trusted);
  }
}

TEST(TestPki, PatchedOidGivesTheGost94SignatureAlgorithm) {
  TestPki pki;
  const Credential leaf = pki.Issue(CertOptions(), pki.CaWithKey(KeyType::kGost2001));
  const Bytes patched = TestPki::PatchOid(leaf.Der(), "1.2.643.2.2.3", "1.2.643.2.2.4");
  PCCERT_CONTEXT context = CertCreateCertificateContext(X509_ASN_ENCODING, patched.data(),
                                                        static_cast<DWORD>(patched.size()));
  ASSERT_NE(context, nullptr);
  EXPECT_STREQ(context->pCertInfo->SignatureAlgorithm.pszObjId, "1.2.643.2.2.4");
  CertFreeCertificateContext(context);
}

}  // namespace
}  // namespace quillet::test
