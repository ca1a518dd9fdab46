// "sign" requests through the real QuilletHost, its signature library and the user's
// stores; signed documents are checked by the bundled xmlsec1 tool.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/engine_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xmlsec_cli.h"

namespace quillet::test {
namespace {

class SignRequestTest : public ::testing::Test {
 protected:
  // True when xmlsec1 verifies the signed document against the session's PKI.
  ::testing::AssertionResult VerifiedByXmlsec1(const std::string& signedXml) {
    std::string report;
    if (verifyWithXmlsec1(signedXml, session_.pki().root(), {session_.pki().intermediate()},
                          work_.path(), &report)) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << report << "\n" << signedXml;
  }

  HostSession session_;
  TempDir work_;
};

TEST_F(SignRequestTest, SignsEveryDocumentInOrderAndTracesTheSteps) {
  const Credential signer = session_.addSigner();
  const nlohmann::json answer =
      session_.ask(signRequest({SampleDocument(1), SampleDocument(2)}, signer.sha1Hex()));
  ASSERT_EQ(answer.value("success", false), true) << answer.dump();
  const nlohmann::json content = ContentOf(answer);
  ASSERT_EQ(content.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    const std::string signedXml = content[i].get<std::string>();
    EXPECT_NE(signedXml.find("Прошу принять документ " + std::to_string(i + 1)), std::string::npos);
    EXPECT_TRUE(VerifiedByXmlsec1(signedXml));
  }
  EXPECT_EQ(session_.exitCode(), 0);

  const std::vector<std::string> log = session_.logTexts();
  EXPECT_TRUE(containsInOrder(
      log, {"Plugin version (NM): 1.2.0.0", "Initialization: 0 (", ">>> VektQuilletImpl::sign",
            "Store opened", "Sign using certificate: " + signer.sha1Hex(),
            "> CheckIfCertificateValid", "< CheckIfCertificateValid", "> PreparePrivateKey",
            "< PreparePrivateKey", "> CreateSignatureTemplate", "< CreateSignatureTemplate",
            ">Sign", "<Sign", ">Sign", "<Sign", "<<< VektQuilletImpl::sign"}));
  EXPECT_EQ(countLines(log, ">Sign"), 2);
  EXPECT_EQ(session_.logText().find("ошибка подписания документа"), std::string::npos);
}

TEST_F(SignRequestTest, SignsWithEveryGostKeyType) {
  for (KeyType type : {KeyType::kGost2001, KeyType::kGost2012_256, KeyType::kGost2012_512}) {
    SCOPED_TRACE(static_cast<int>(type));
    const Credential signer = session_.addSigner(type);
    const nlohmann::json content =
        ContentOf(session_.ask(signRequest({SampleDocument(7)}, signer.sha1Hex())));
    ASSERT_EQ(content.size(), 1u);
    EXPECT_TRUE(VerifiedByXmlsec1(content[0].get<std::string>()));
  }
}

TEST_F(SignRequestTest, FindsTheCertificateByThePlatformsThumbprintText) {
  const Credential signer = session_.addSigner();
  // The layout the promptCertificate answer carries: byte pairs with blanks, any case.
  std::string spaced;
  const std::string hex = signer.sha1Hex();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    spaced += (i == 0 ? "" : " ") + hex.substr(i, 2);
  }
  for (char& c : spaced) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const nlohmann::json content =
      ContentOf(session_.ask(signRequest({SampleDocument(1)}, spaced + "\r\n")));
  EXPECT_EQ(content.size(), 1u);
  // The text's line break is the request's, not the trace's: it stays on the record's line.
  EXPECT_TRUE(
      containsInOrder(session_.logTexts(), {"Sign using certificate: " + spaced + "\\x0D\\x0A"}));
}

TEST_F(SignRequestTest, EmptyDocumentListStillPreparesKeyAndTemplate) {
  const Credential signer = session_.addSigner();
  const nlohmann::json answer = session_.ask(signRequest({}, signer.sha1Hex()));
  EXPECT_EQ(answer, (nlohmann::json{{"success", true}, {"content", nlohmann::json::array()}}));
  EXPECT_TRUE(containsInOrder(session_.logTexts(),
                              {"< CheckIfCertificateValid", "< PreparePrivateKey",
                               "< CreateSignatureTemplate", "<<< VektQuilletImpl::sign"}));
  EXPECT_EQ(countLines(session_.logTexts(), ">Sign"), 0);
}

TEST_F(SignRequestTest, OnlyTheTextOneAsksForTheSignatureAlone) {
  const Credential signer = session_.addSigner();
  struct Case {
    nlohmann::json flag;
    bool signature_only;
  };
  const std::vector<Case> cases = {{"1", true}, {"0", false}, {"true", false}, {"", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flag.dump());
    nlohmann::json request = signRequest({SampleDocument(3)}, signer.sha1Hex());
    request["returnSignatureOnly"] = c.flag;
    const nlohmann::json content = ContentOf(session_.ask(request));
    ASSERT_EQ(content.size(), 1u);
    const std::string text = content[0].get<std::string>();
    const bool whole = text.find("<Заявление") != std::string::npos;
    EXPECT_EQ(whole, !c.signature_only) << text;
    EXPECT_NE(text.find("SignatureValue"), std::string::npos);
  }
  nlohmann::json boolean = signRequest({SampleDocument(3)}, signer.sha1Hex());
  boolean["returnSignatureOnly"] = true;
  EXPECT_EQ(session_.ask(boolean), errorAnswer("type must be string, but is boolean"));
}

TEST_F(SignRequestTest, RefusesADocumentListThatIsNotStringsBeforeTheEngine) {
  const Credential signer = session_.addSigner();
  for (const nlohmann::json& xmls :
       {nlohmann::json("<a/>"), nlohmann::json::object({{"a", "<a/>"}}), nlohmann::json(nullptr),
        nlohmann::json::array({"<a/>", 5})}) {
    SCOPED_TRACE(xmls.dump());
    session_.clearLog();
    nlohmann::json request = signRequest({}, signer.sha1Hex());
    request["xmls"] = xmls;
    EXPECT_EQ(session_.ask(request), errorAnswer("Параметр 'xmls' должен быть массивом строк"));
    const std::vector<std::string> log = session_.logTexts();
    EXPECT_EQ(countLines(log, "Sign with parameters:"), 1);
    EXPECT_EQ(countLines(log, "Initialization: "), 0);
  }
}

TEST_F(SignRequestTest, AbsentAndEmptyPasswordAreAlike) {
  const Credential signer = session_.addSigner();
  nlohmann::json with_empty = signRequest({SampleDocument(1)}, signer.sha1Hex());
  with_empty["password"] = "";
  const std::vector<nlohmann::json> answers =
      session_.askAll({signRequest({SampleDocument(1)}, signer.sha1Hex()), with_empty});
  EXPECT_EQ(ContentOf(answers[0]).size(), 1u);
  EXPECT_EQ(ContentOf(answers[1]).size(), 1u);
}

TEST_F(SignRequestTest, ThePinUnlocksTheKeyAndNeverReachesTheLog) {
  const std::string pin = "Pin-4711-secret";
  const Credential signer =
      session_.addSigner(KeyType::kGost2012_256, TestStores::AddOptions().withPin(pin));
  const std::vector<nlohmann::json> answers =
      session_.askAll({signRequest({SampleDocument(1)}, signer.sha1Hex(), "", pin),
                       signRequest({SampleDocument(1)}, signer.sha1Hex(), "", "wrong-pin"),
                       signRequest({SampleDocument(1)}, signer.sha1Hex())});
  EXPECT_EQ(ContentOf(answers[0]).size(), 1u);
  EXPECT_EQ(answers[1], ErrorOf(201));
  // No PIN for a protected key: the key cannot be made at all.
  EXPECT_EQ(answers[2], ErrorOf(202));
  const std::string log = session_.logText();
  EXPECT_EQ(log.find(pin), std::string::npos);
  EXPECT_EQ(log.find("wrong-pin"), std::string::npos);
  EXPECT_TRUE(containsInOrder(session_.logTexts(),
                              {"ERROR=201 (невозможно использовать ключ для подписания",
                               "ERROR=201 (ошибка подписания документа"}));
}

TEST_F(SignRequestTest, RevocationThatCannotBeCheckedStillSigns) {
  // Issued by a CA that is in none of the stores: no CRL can be found for it, the check
  // answers 11 and signing goes on.
  session_.trustPki();
  const Credential unknown =
      session_.pki().issue(CertOptions(), session_.pki().caWithKey(KeyType::kGost2012_256));
  session_.stores().add("My", unknown);
  EXPECT_EQ(ContentOf(session_.ask(signRequest({SampleDocument(1)}, unknown.sha1Hex()))).size(),
            1u);
  EXPECT_TRUE(containsInOrder(session_.logTexts(), {"ERROR=11 (< CheckIfCertificateValid"}));
}

TEST_F(SignRequestTest, CertificateChecksRefuseOrLetThrough) {
  session_.trustPki();
  const Credential fine = session_.addSigner();
  const Credential revoked = session_.addSigner();
  session_.stores().addCrl(
      "CA", session_.pki().makeCrl(session_.pki().intermediate(), {{revoked.serial(), 1}}),
      "intermediate");

  CertOptions signing_only;
  signing_only.keyUsage = kDigitalSignature;
  CertOptions expired;
  expired.notBefore = -10 * kDay;
  expired.notAfter = -kDay;
  CertOptions early;
  early.notBefore = kDay;
  early.notAfter = 10 * kDay;
  const Credential rsa_issued =
      session_.pki().issue(CertOptions(), session_.pki().caWithKey(KeyType::kRsa));
  session_.stores().add("My", rsa_issued);

  struct Case {
    const char* what;
    std::string thumbprint;
    nlohmann::json answer;
  };
  const std::vector<Case> cases = {
      {"non-GOST issuer", rsa_issued.sha1Hex(), ErrorOf(5)},
      {"digital signature only", session_.addCertificate(signing_only).sha1Hex(), ErrorOf(6)},
      {"expired", session_.addCertificate(expired).sha1Hex(), ErrorOf(7)},
      {"not yet valid", session_.addCertificate(early).sha1Hex(), ErrorOf(8)},
      {"revoked for key compromise", revoked.sha1Hex(), ErrorOf(13)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(session_.ask(signRequest({SampleDocument(1)}, c.thumbprint)), c.answer);
  }
  session_.clearLog();
  EXPECT_EQ(ContentOf(session_.ask(signRequest({SampleDocument(1)}, fine.sha1Hex()))).size(), 1u);
  EXPECT_TRUE(containsInOrder(session_.logTexts(), {"< CheckIfCertificateValid"}));
}

TEST_F(SignRequestTest, FailuresAnswerWithTheirCodeAndSignNothing) {
  const Credential signer = session_.addSigner();
  const Credential keyless =
      session_.addSigner(KeyType::kGost2012_256, TestStores::AddOptions().noKey());
  const std::string thumbprint = signer.sha1Hex();
  struct Case {
    const char* what;
    nlohmann::json request;
    nlohmann::json answer;
    const char* trace;
  };
  const std::vector<Case> cases = {
      {"unknown thumbprint", signRequest({SampleDocument(1)}, std::string(40, 'a')), ErrorOf(10),
       "ERROR=10 (Error: "},
      {"thumbprint not hex", signRequest({SampleDocument(1)}, "zz-not-hex"), ErrorOf(1002),
       // "StrngToBinary" (sic): the host's trace text, kept on purpose.
       "ERROR=1002 (Error calling StrngToBinary"},
      {"no key container", signRequest({SampleDocument(1)}, keyless.sha1Hex()), ErrorOf(200),
       "ERROR=200 (невозможно использовать ключ для подписания"},
      {"second of three malformed",
       signRequest({SampleDocument(1), "<a><b></a>", SampleDocument(3)}, thumbprint), ErrorOf(209),
       "ERROR=209 (ошибка подписания документа"},
      {"other declared encoding",
       signRequest({"<?xml version=\"1.0\" encoding=\"windows-1251\"?><a/>"}, thumbprint),
       ErrorOf(210), "ERROR=210 (ошибка подписания документа"},
      {"missing store is empty", signRequest({SampleDocument(1)}, thumbprint, "Nowhere"),
       ErrorOf(10), "ERROR=10 (Error: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    session_.clearLog();
    EXPECT_EQ(session_.ask(c.request), c.answer);
    EXPECT_TRUE(containsInOrder(session_.logTexts(), {c.trace, "<<< VektQuilletImpl::sign"}));
  }
  // The malformed document ended the request after the first was signed: one key, one
  // template, two documents tried.
  session_.clearLog();
  session_.ask(cases[3].request);
  const std::vector<std::string> log = session_.logTexts();
  EXPECT_EQ(countLines(log, "> PreparePrivateKey"), 1);
  EXPECT_EQ(countLines(log, ">Sign"), 2);
  EXPECT_EQ(countLines(log, "<Sign"), 1);
}

TEST_F(SignRequestTest, StoreNamesMatchInAnyCase) {
  const Credential signer = session_.addSigner();
  const nlohmann::json answer =
      session_.ask(signRequest({SampleDocument(1)}, signer.sha1Hex(), "mY"));
  EXPECT_EQ(ContentOf(answer).size(), 1u) << answer.dump();
}

TEST_F(SignRequestTest, AnUnreadableStoreIsRefused) {
  const Credential signer = session_.addSigner();
  // A file where the store's directory should be.
  ASSERT_TRUE(
      writeFile(session_.stores().home() + "/tavlin.quillet/stores/Blocked", "not a store"));
  const nlohmann::json answer =
      session_.ask(signRequest({SampleDocument(1)}, signer.sha1Hex(), "Blocked"));
  EXPECT_EQ(answer, ErrorOf(4));
  EXPECT_TRUE(containsInOrder(session_.logTexts(),
                              {"CertOpenStore: Access denied", "ERROR=4 (ошибка подписания"}));
}

}  // namespace
}  // namespace quillet::test
