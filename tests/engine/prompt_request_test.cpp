// "promptCertificate" requests, and "sign" requests without a thumbprint, through the real
// QuilletHost showing the real selection dialog on a private Xvfb display, played by
// xdotool as a user would.
#include <openssl/evp.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/selection_dialog_buttons.h"
#include "tests/support/x_display.h"

namespace quillet::test {
namespace {

constexpr char kStandInDir[] = QUILLET_TEST_STAND_IN_DIR;
constexpr char kDialogLibrary[] = "libQuilletCertDialog.so";
constexpr char kTitle[] = "Укажите сертификат для формирования подписи";
// The cancel text has a Cyrillic "с" (U+0441) where the empty confirmation has a Latin "s".
// Both misspellings are the host's real trace texts, kept on purpose: do not correct them
// here or in the host.
constexpr char kCancelled[] = "ERROR=1 (promptUserForCertificate: can\u0441elled by user";
constexpr char kNothingChosen[] = "ERROR=1 (promptUserForCertificate: canselled by user";
constexpr char kPromptFailed[] = "Ошибка запроса сертификата";

using Script = std::function<void(WindowDriver&, unsigned long)>;

const Script kClickOk = [](WindowDriver& driver, unsigned long window) {
  clickButton(driver, window, kOkFromRight);
};

nlohmann::json PromptRequest() { return {{"actionCode", "promptCertificate"}}; }

nlohmann::json PromptRequest(const std::string& store) {
  return {{"actionCode", "promptCertificate"}, {"storeName", store}};
}

// The platform's hexadecimal text of the bytes (CRYPT_STRING_HEX), in UTF-8.
std::string PlatformHexText(const Bytes& bytes) {
  DWORD length = 0;
  if (!CryptBinaryToStringW(bytes.data(), static_cast<DWORD>(bytes.size()), CRYPT_STRING_HEX,
                            nullptr, &length)) {
    ADD_FAILURE() << "CryptBinaryToStringW failed";
    return "";
  }
  std::wstring text(length, L'\0');
  CryptBinaryToStringW(bytes.data(), static_cast<DWORD>(bytes.size()), CRYPT_STRING_HEX,
                       text.data(), &length);
  text.resize(length);
  return host::WideToUtf8(text);
}

// Base64 of the bytes in one line.
std::string Base64(const Bytes& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                     static_cast<int>(bytes.size()));
  text.resize(length);
  return text;
}

// The text without blanks and line breaks.
std::string Squeezed(const std::string& text) {
  std::string squeezed;
  for (char c : text) {
    if (c != ' ' && c != '\n' && c != '\r' && c != '\t') squeezed.push_back(c);
  }
  return squeezed;
}

// A certificate that expired yesterday.
CertOptions Expired() {
  CertOptions options;
  options.notBefore = -10 * kDay;
  options.notAfter = -kDay;
  return options;
}

// A certificate for digital signatures without non-repudiation: not fit for signing.
CertOptions NotForSigning() {
  CertOptions options;
  options.keyUsage = kDigitalSignature;
  return options;
}

class PromptRequestTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(SharedDisplay().name().empty()); }

  // One server for the whole program; each host connects to it afresh.
  static XvfbDisplay& SharedDisplay() {
    static XvfbDisplay display;
    return display;
  }

  // Sends the request to a host of its own while `script` plays the user in the dialog
  // once it is shown. dialog_shown_ and title_ tell what the user saw.
  nlohmann::json AskWithDialog(const nlohmann::json& request, const Script& script,
                               const std::string& program = "") {
    dialog_shown_ = false;
    title_.clear();
    nlohmann::json answer;
    runWithDriver(
        [&] {
          answer = session_.ask(request, program);
          return 0;
        },
        [&](WindowDriver& driver) {
          const unsigned long window = driver.waitForProgramWindow("QuilletHost");
          if (window == 0) return;
          dialog_shown_ = true;
          title_ = driver.title(window);
          script(driver, window);
        });
    return answer;
  }

  // A certificate fit for signing under the name `common_name`, enumerated in the order of
  // `stem`.
  Credential addSigner(const std::string& stem, const std::string& common_name) {
    CertOptions options;
    options.subject = {{"CN", common_name}};
    return session_.addCertificate(options, TestStores::AddOptions().withStem(stem));
  }

  HostSession session_;
  bool dialog_shown_ = false;
  std::string title_;
};

// The browser's window given as --parent-window owns the dialog: a window manager keeps the
// dialog above it.
TEST_F(PromptRequestTest, TheParentWindowOwnsTheDialog) {
  addSigner("a", "Первый Подписант");
  OwnerWindow owner;
  ASSERT_NE(owner.id(), 0u);
  session_.setHostArguments({"--parent-window=" + std::to_string(owner.id())});
  unsigned long transient_for = 0;
  const nlohmann::json answer =
      AskWithDialog(PromptRequest(), [&](WindowDriver& driver, unsigned long window) {
        transient_for = driver.transientFor(window);
        driver.pressKeys(window, {"Escape"});
      });
  EXPECT_TRUE(dialog_shown_);
  EXPECT_EQ(transient_for, owner.id());
  EXPECT_EQ(answer, ErrorOf(1));
}

TEST_F(PromptRequestTest, ConfirmAnswersWithThePlatformsThumbprintTextAndTheOwner) {
  const Credential signer = addSigner("a", "Сидорова Анна Петровна");
  const nlohmann::json answer = AskWithDialog(PromptRequest(), kClickOk);
  EXPECT_EQ(title_, kTitle);
  const std::string thumbprint = PlatformHexText(signer.sha1());
  // The platform's layout, not bare hex: nothing is trimmed or joined.
  EXPECT_NE(thumbprint.find(' '), std::string::npos) << thumbprint;
  EXPECT_EQ(answer,
            (nlohmann::json{
                {"success", true},
                {"content", {{"thumbprint", thumbprint}, {"owner", "Сидорова Анна Петровна"}}},
            }));

  const std::vector<std::string> log = session_.logTexts();
  EXPECT_TRUE(containsInOrder(
      log, {">>> VektQuilletImpl::promptCertificate", ">>> promptUserForCertificate",
            "promptUserForCertificate: got certificate", "<<< promptUserForCertificate",
            "<<< VektQuilletImpl::promptCertificate"}));
  EXPECT_EQ(session_.logText().find(kPromptFailed), std::string::npos);

  // The very text of the answer finds the certificate for signing.
  EXPECT_EQ(ContentOf(session_.ask(signRequest({SampleDocument(1)}, thumbprint))).size(), 1u);
}

TEST_F(PromptRequestTest, SignWithoutThumbprintSignsWithTheCertificateChosenInTheDialog) {
  const Credential first = addSigner("a", "Первый Подписант");
  const Credential second = addSigner("b", "Второй Подписант");
  const nlohmann::json answer =
      AskWithDialog(signRequest({SampleDocument(1), SampleDocument(2)}, ""),
                    [](WindowDriver& driver, unsigned long window) {
                      driver.pressKeys(window, {"Down"});
                      clickButton(driver, window, kOkFromRight);
                    });
  const nlohmann::json content = ContentOf(answer);
  ASSERT_EQ(content.size(), 2u);
  for (const nlohmann::json& signedXml : content) {
    const std::string squeezed = Squeezed(signedXml.get<std::string>());
    EXPECT_NE(squeezed.find(Base64(second.der())), std::string::npos);
    EXPECT_EQ(squeezed.find(Base64(first.der())), std::string::npos);
  }
  EXPECT_TRUE(
      containsInOrder(session_.logTexts(),
                      {">>> VektQuilletImpl::sign", "Prompt user for certificate",
                       ">>> promptUserForCertificate", "promptUserForCertificate: got certificate",
                       "<<< promptUserForCertificate", "> CheckIfCertificateValid",
                       "< PreparePrivateKey", ">Sign", ">Sign", "<<< VektQuilletImpl::sign"}));
}

TEST_F(PromptRequestTest, CancellingTheDialogInAnyWayAnswersCodeOne) {
  addSigner("a", "Первый Подписант");
  addSigner("b", "Второй Подписант");
  const struct {
    const char* how;
    nlohmann::json request;
    Script script;
    const char* failure_line;
  } cases[] = {
      {"Cancel button", PromptRequest(),
       [](WindowDriver& driver, unsigned long window) {
         clickButton(driver, window, kCancelFromRight);
       },
       "ERROR=1 (Ошибка запроса сертификата"},
      {"Escape", PromptRequest(),
       [](WindowDriver& driver, unsigned long window) { driver.pressKeys(window, {"Escape"}); },
       "ERROR=1 (Ошибка запроса сертификата"},
      {"window closed", PromptRequest(),
       [](WindowDriver& driver, unsigned long window) { driver.close(window); },
       "ERROR=1 (Ошибка запроса сертификата"},
      {"signing, Escape", signRequest({SampleDocument(1)}, ""),
       [](WindowDriver& driver, unsigned long window) { driver.pressKeys(window, {"Escape"}); },
       "ERROR=1 (ошибка подписания документа"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.how);
    session_.clearLog();
    EXPECT_EQ(AskWithDialog(row.request, row.script), ErrorOf(1));
    const std::vector<std::string> log = session_.logTexts();
    EXPECT_TRUE(containsInOrder(
        log, {kCancelled, "ERROR=1 (<<< promptUserForCertificate", row.failure_line}));
    EXPECT_EQ(countLines(log, kNothingChosen), 0);
    EXPECT_EQ(countLines(log, "promptUserForCertificate: got certificate"), 0);
  }
}

TEST_F(PromptRequestTest, AStoreWithNothingSuitableShowsTheDialogAndConfirmingChoosesNothing) {
  const CertOptions expired = Expired();
  const CertOptions not_for_signing = NotForSigning();
  session_.addCertificate(expired, TestStores::AddOptions().withStem("a"));
  session_.addCertificate(not_for_signing, TestStores::AddOptions().withStem("b"));
  const struct {
    const char* how;
    Script script;
  } cases[] = {
      {"OK button", kClickOk},
      {"Enter",
       [](WindowDriver& driver, unsigned long window) { driver.pressKeys(window, {"Return"}); }},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.how);
    session_.clearLog();
    EXPECT_EQ(AskWithDialog(PromptRequest(), row.script), ErrorOf(1));
    EXPECT_TRUE(dialog_shown_);
    const std::vector<std::string> log = session_.logTexts();
    EXPECT_TRUE(containsInOrder(log, {kNothingChosen, "ERROR=1 (<<< promptUserForCertificate",
                                      "ERROR=1 (Ошибка запроса сертификата"}));
    EXPECT_EQ(countLines(log, kCancelled), 0);
  }
}

TEST_F(PromptRequestTest, OnlyStaticallySuitableCertificatesAreOfferedRevokedOnesAmongThem) {
  const CertOptions expired = Expired();
  const CertOptions not_for_signing = NotForSigning();
  session_.addCertificate(expired, TestStores::AddOptions().withStem("a"));
  const Credential revoked = addSigner("b", "Отозванный Подписант");
  session_.stores().addCrl(
      "CA", session_.pki().makeCrl(session_.pki().intermediate(), {{revoked.serial(), 1}}),
      "intermediate");
  session_.stores().add(
      "My", session_.pki().issue(CertOptions(), session_.pki().caWithKey(KeyType::kRsa)),
      TestStores::AddOptions().withStem("c"));
  session_.addCertificate(not_for_signing, TestStores::AddOptions().withStem("d"));
  // The revoked certificate is the only row: the first and the last row are both it.
  for (const char* key : {"Home", "End"}) {
    SCOPED_TRACE(key);
    const nlohmann::json answer =
        AskWithDialog(PromptRequest(), [key](WindowDriver& driver, unsigned long window) {
          driver.pressKeys(window, {key});
          clickButton(driver, window, kOkFromRight);
        });
    EXPECT_EQ(ContentOf(answer).value("thumbprint", ""), PlatformHexText(revoked.sha1()));
  }
}

TEST_F(PromptRequestTest, AnAbsentOrEmptyStoreNamePromptsFromMy) {
  const Credential mine = addSigner("a", "Мой Подписант");
  CertOptions options;
  options.subject = {{"CN", "Рабочий Подписант"}};
  const Credential work = session_.addCertificate(options, {}, "Work");
  const struct {
    const char* what;
    nlohmann::json request;
    const Credential* expected;
  } cases[] = {
      {"absent", PromptRequest(), &mine},
      {"empty", PromptRequest(""), &mine},
      {"named", PromptRequest("Work"), &work},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    const nlohmann::json content = ContentOf(AskWithDialog(row.request, kClickOk));
    EXPECT_EQ(content.value("thumbprint", ""), PlatformHexText(row.expected->sha1()));
  }
  EXPECT_EQ(session_.ask({{"actionCode", "promptCertificate"}, {"storeName", 5}}),
            errorAnswer("type must be string, but is number"));
}

TEST_F(PromptRequestTest, AnEmptyStoreAnswersThreeWithoutTheDialogLibrary) {
  // Without the dialog library in the runtime directory, 3 rather than 1003 shows that the
  // library was never loaded.
  RuntimeCopy runtime;
  runtime.remove(kDialogLibrary);
  const struct {
    const char* what;
    nlohmann::json request;
    const char* failure_line;
  } cases[] = {
      {"prompt", PromptRequest(), "ERROR=3 (Ошибка запроса сертификата"},
      {"prompt from a store that does not exist", PromptRequest("Nowhere"),
       "ERROR=3 (Ошибка запроса сертификата"},
      {"sign", signRequest({SampleDocument(1)}, ""), "ERROR=3 (ошибка подписания документа"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    session_.clearLog();
    EXPECT_EQ(session_.ask(row.request, runtime.host()), ErrorOf(3));
    const std::vector<std::string> log = session_.logTexts();
    EXPECT_TRUE(containsInOrder(log, {">>> promptUserForCertificate",
                                      "ERROR=3 (promptUserForCertificate: has no certificates",
                                      "ERROR=3 (<<< promptUserForCertificate", row.failure_line}));
    EXPECT_EQ(session_.logText().find("can't load"), std::string::npos);
  }
}

TEST_F(PromptRequestTest, LibraryFaultsAnswerWithTheirCodes) {
  addSigner("a", "Первый Подписант");
  const struct {
    const char* what;
    std::function<void(const RuntimeCopy&)> change;
    int code;
    const char* trace;
  } cases[] = {
      {"dialog library missing", [](const RuntimeCopy& runtime) { runtime.remove(kDialogLibrary); },
       1003, "ERROR=1003 (promptUserForCertificate: can't load cryptdlg.dll"},
      {"dialog library without its entry point",
       [](const RuntimeCopy& runtime) {
         runtime.replace(kDialogLibrary,
                         std::string(kStandInDir) + "/libstand_in_proxy_init_fails.so");
       },
       1004, "ERROR=1004 (promptUserForCertificate: can't bind CertSelectCertificate"},
      {"dialog confirms with an empty slot",
       [](const RuntimeCopy& runtime) {
         runtime.replace(kDialogLibrary, std::string(kStandInDir) + "/libstand_in_dialog.so");
       },
       1, kNothingChosen},
      // The prompt does not use the signature library, but the engine needs it loaded.
      {"signature library missing",
       [](const RuntimeCopy& runtime) { runtime.remove("libQuilletProxy.so"); }, 105,
       "1) Initialization failed: 105"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    RuntimeCopy runtime;
    row.change(runtime);
    session_.clearLog();
    EXPECT_EQ(session_.ask(PromptRequest(), runtime.host()), ErrorOf(row.code));
    const std::vector<std::string> log = session_.logTexts();
    EXPECT_TRUE(containsInOrder(log, {">>> VektQuilletImpl::promptCertificate", row.trace}));
    EXPECT_EQ(countLines(log, "promptUserForCertificate: got certificate"), 0);
    if (row.code == 105) {
      EXPECT_EQ(countLines(log, ">>> promptUserForCertificate"), 0);
      EXPECT_EQ(session_.logText().find(kPromptFailed), std::string::npos);
    } else {
      EXPECT_TRUE(containsInOrder(
          log, {"ERROR=" + std::to_string(row.code) + " (Ошибка запроса сертификата"}));
    }
  }
}

}  // namespace
}  // namespace quillet::test
