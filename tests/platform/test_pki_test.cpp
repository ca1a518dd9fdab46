// The test PKI itself: what it makes must be what the other tests believe they get.
#include "tests/support/test_pki.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <string>
#include <vector>

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
    const Credential leaf = pki.issue(CertOptions(), pki.caWithKey(row.issuer_key));
    EXPECT_EQ(SignatureOid(leaf), row.oid) << row.oid;
    EXPECT_EQ(X509_verify(leaf.cert.get(), pki.caWithKey(row.issuer_key).key.get()), 1) << row.oid;
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
    options.keyType = key.type;
    const Credential leaf = pki.issue(options);
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
  const Credential leaf = pki.issue(CertOptions(), pki.caWithKey(KeyType::kGost2001));
  const Bytes patched = TestPki::patchOid(leaf.der(), "1.2.643.2.2.3", "1.2.643.2.2.4");
  PCCERT_CONTEXT context = CertCreateCertificateContext(X509_ASN_ENCODING, patched.data(),
                                                        static_cast<DWORD>(patched.size()));
  ASSERT_NE(context, nullptr);
  EXPECT_STREQ(context->pCertInfo->SignatureAlgorithm.pszObjId, "1.2.643.2.2.4");
  CertFreeCertificateContext(context);
}

TEST(TestPki, CrlRevokesWithEveryReasonAndVerifies) {
  TestPki pki;
  std::vector<Revocation> revoked = {{0x5000, kNoReason}};
  for (int reason : {0, 1, 2, 3, 4, 5, 6, 8, 9, 10}) revoked.push_back({0x5001 + reason, reason});
  const Bytes der = pki.makeCrl(pki.intermediate(), revoked);
  const unsigned char* cursor = der.data();
  X509_CRL* crl = d2i_X509_CRL(nullptr, &cursor, static_cast<long>(der.size()));
  ASSERT_NE(crl, nullptr);
  EXPECT_EQ(X509_CRL_verify(crl, pki.intermediate().key.get()), 1);
  EXPECT_EQ(
      X509_NAME_cmp(X509_CRL_get_issuer(crl), X509_get_subject_name(pki.intermediate().cert.get())),
      0);
  STACK_OF(X509_REVOKED)* entries = X509_CRL_get_REVOKED(crl);
  ASSERT_EQ(sk_X509_REVOKED_num(entries), static_cast<int>(revoked.size()));
  for (const Revocation& expected : revoked) {
    bool seen = false;
    for (int i = 0; i < sk_X509_REVOKED_num(entries); ++i) {
      X509_REVOKED* entry = sk_X509_REVOKED_value(entries, i);
      if (ASN1_INTEGER_get(X509_REVOKED_get0_serialNumber(entry)) != expected.serial) continue;
      seen = true;
      auto* reason = static_cast<ASN1_ENUMERATED*>(
          X509_REVOKED_get_ext_d2i(entry, NID_crl_reason, nullptr, nullptr));
      EXPECT_EQ(reason != nullptr ? ASN1_ENUMERATED_get(reason) : kNoReason, expected.reason);
      ASN1_ENUMERATED_free(reason);
    }
    EXPECT_TRUE(seen) << expected.serial;
  }
  X509_CRL_free(crl);
}

TEST(TestPki, CrlDistributionPointCarriesTheUrl) {
  TestPki pki;
  CertOptions options;
  options.crlUrl = "http://127.0.0.1:8080/issuing.crl";
  const Credential leaf = pki.issue(options);
  auto* points = static_cast<CRL_DIST_POINTS*>(
      X509_get_ext_d2i(leaf.cert.get(), NID_crl_distribution_points, nullptr, nullptr));
  ASSERT_NE(points, nullptr);
  ASSERT_EQ(sk_DIST_POINT_num(points), 1);
  const DIST_POINT* point = sk_DIST_POINT_value(points, 0);
  ASSERT_NE(point->distpoint, nullptr);
  const GENERAL_NAME* name = sk_GENERAL_NAME_value(point->distpoint->name.fullname, 0);
  ASSERT_EQ(name->type, GEN_URI);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(
                ASN1_STRING_get0_data(name->d.uniformResourceIdentifier))),
            options.crlUrl);
  CRL_DIST_POINTS_free(points);
}

}  // namespace
}  // namespace quillet::test
