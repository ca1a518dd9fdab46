// The selection dialog library, loaded as the host loads it, on a private Xvfb display
// and driven with xdotool: what it offers, how keyboard, buttons and closing end it,
// what it hands back in slot 0 and what it releases.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tests/certdlg/dialog_library.h"
#include "tests/support/selection_dialog_buttons.h"
#include "tests/support/test_stores.h"
#include "tests/support/x_display.h"

namespace quillet::test {
namespace {

constexpr wchar_t kTitle[] = L"Укажите сертификат для формирования подписи";
constexpr char kTitleUtf8[] = "Укажите сертификат для формирования подписи";
constexpr DWORD kSystemStoreReadOnly = CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG;

std::string ThumbprintOf(PCCERT_CONTEXT certificate) {
  if (certificate == nullptr) return "(none)";
  std::array<BYTE, 20> hash = {};
  DWORD size = static_cast<DWORD>(hash.size());
  if (!CertGetCertificateContextProperty(certificate, CERT_SHA1_HASH_PROP_ID, hash.data(), &size)) {
    return "(no hash)";
  }
  return hexOf(Bytes(hash.begin(), hash.end()));
}

// Filter of the tests: hides the certificates whose thumbprints are in the set that
// lCustData points at.
BOOL WINAPI HideListed(PCCERT_CONTEXT certificate, LPARAM custom, DWORD, DWORD) {
  const auto* hidden = reinterpret_cast<const std::set<std::string>*>(custom);
  return hidden->count(ThumbprintOf(certificate)) == 0 ? TRUE : FALSE;
}

// What one dialog gave back.
struct Outcome {
  BOOL result = FALSE;
  DWORD count = 0;
  PCCERT_CONTEXT slot0 = nullptr;
  // What slot 0 held before the dialog ran.
  PCCERT_CONTEXT before = nullptr;
};

class SelectionDialog : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(SharedDisplay().name().empty()); }

  // One server for the whole program: GTK keeps the display it opened for the rest of
  // the process and ends the process when that server goes away.
  static XvfbDisplay& SharedDisplay() {
    static XvfbDisplay display;
    return display;
  }

  Credential addSigner(const std::string& stem, const std::string& common_name) {
    CertOptions options;
    options.subject = {{"CN", common_name}, {"O", "ООО «Ромашка»"}};
    Credential signer = pki_.issue(options);
    stores_.add("My", signer, TestStores::AddOptions().withStem(stem));
    return signer;
  }

  // Runs the dialog, moves its selection with `keys` and confirms with the OK button.
  Outcome ConfirmAfter(const std::vector<std::string>& keys) {
    return Prompt([&](WindowDriver& driver, unsigned long window) {
      if (!keys.empty()) driver.pressKeys(window, keys);
      clickButton(driver, window, kOkFromRight);
    });
  }

  // Opens "My", puts its first certificate into slot 0 as the host does, runs the dialog
  // from a freshly loaded library with `script` driving it, and checks that, once the
  // caller has released slot 0, nothing of the store is still held.
  Outcome Prompt(const std::function<void(WindowDriver&, unsigned long)>& script,
                 const std::function<void(CERT_SELECT_STRUCT_W&)>& adjust = nullptr) {
    Outcome outcome;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, kSystemStoreReadOnly, L"My");
    EXPECT_NE(store, nullptr);
    std::array<PCCERT_CONTEXT, 256> slots = {};
    slots[0] = CertEnumCertificatesInStore(store, nullptr);
    outcome.before = slots[0];
    CERT_SELECT_STRUCT_W request = {};
    request.dwSize = sizeof(request);
    request.szTitle = kTitle;
    request.cCertStore = 1;
    request.arrayCertStore = &store;
    request.cCertContext = 1;
    request.arrayCertContext = slots.data();
    request.lCustData = reinterpret_cast<LPARAM>(&hidden_);
    request.pfnFilter = HideListed;
    if (adjust) adjust(request);
    {
      DialogLibrary library;
      EXPECT_TRUE(library.loaded()) << dlerror();
      if (library.loaded()) {
        outcome.result = runWithDriver([&] { return library.Select(&request); },
                                       [&](WindowDriver& driver) {
                                         const unsigned long window =
                                             driver.waitForWindow(getpid());
                                         if (window != 0) script(driver, window);
                                       });
      }
    }
    outcome.count = request.cCertContext;
    outcome.slot0 = slots[0];
    chosen_ = ThumbprintOf(slots[0]);
    CertFreeCertificateContext(slots[0]);
    EXPECT_TRUE(CertCloseStore(store, CERT_CLOSE_STORE_CHECK_FLAG))
        << "the dialog kept or leaked certificate references";
    return outcome;
  }

  TestStores stores_;
  TestPki pki_;
  std::set<std::string> hidden_;
  // Thumbprint of what slot 0 held after the last dialog.
  std::string chosen_;
};

// In the second and later dialog of one process, a Return typed after other keys is at
// times lost under Xvfb (the dialog and its list hold the focus, the earlier keys have
// moved the cursor, and a Return typed by hand afterwards ends the dialog; when the whole
// program runs in one process, a lost Return has been seen to confirm a later test's
// dialog). These tests therefore confirm with the OK button or close the window; Return
// and Enter are covered through the host, which runs one dialog per process
// (tests/engine/prompt_request_test.cpp).
TEST_F(SelectionDialog, KeyboardMovesTheSelection) {
  const Credential first = addSigner("a", "Первый Подписант");
  const Credential second = addSigner("b", "Second Signer");
  const Credential third = addSigner("c", "Третий Подписант");
  const struct {
    std::vector<std::string> keys;
    const Credential* expected;
  } cases[] = {
      {{}, &first},  // slot 0 comes preselected
      {{"Down"}, &second},
      {{"End"}, &third},
      {{"Down", "Down", "Up"}, &second},
      {{"End", "Home"}, &first},
  };
  for (const auto& row : cases) {
    const std::string keys = ::testing::PrintToString(row.keys);
    const Outcome outcome = ConfirmAfter(row.keys);
    EXPECT_EQ(outcome.result, TRUE) << keys;
    EXPECT_EQ(outcome.count, 1u) << keys;
    EXPECT_EQ(chosen_, row.expected->sha1Hex()) << keys;
  }
}

TEST_F(SelectionDialog, OkButtonConfirmsTheSelectedCertificate) {
  const Credential first = addSigner("a", "Первый Подписант");
  const Credential second = addSigner("b", "Второй Подписант");
  const Outcome outcome = ConfirmAfter({"Down"});
  EXPECT_EQ(outcome.result, TRUE);
  EXPECT_EQ(outcome.count, 1u);
  EXPECT_EQ(chosen_, second.sha1Hex());
}

TEST_F(SelectionDialog, CancelEscapeAndClosingReturnFalseAndLeaveSlotZeroAlone) {
  const Credential first = addSigner("a", "Первый Подписант");
  addSigner("b", "Второй Подписант");
  const struct {
    const char* how;
    std::function<void(WindowDriver&, unsigned long)> script;
  } cases[] = {
      {"Cancel button",
       [](WindowDriver& driver, unsigned long window) {
         driver.pressKeys(window, {"Down"});
         clickButton(driver, window, kCancelFromRight);
       }},
      {"Escape",
       [](WindowDriver& driver, unsigned long window) {
         driver.pressKeys(window, {"Down", "Escape"});
       }},
      {"window closed",
       [](WindowDriver& driver, unsigned long window) {
         driver.pressKeys(window, {"Down"});
         driver.close(window);
       }},
  };
  for (const auto& row : cases) {
    const Outcome outcome = Prompt(row.script);
    EXPECT_EQ(outcome.result, FALSE) << row.how;
    EXPECT_EQ(outcome.count, 1u) << row.how;
    EXPECT_EQ(outcome.slot0, outcome.before) << row.how;
    EXPECT_EQ(chosen_, first.sha1Hex()) << row.how;
  }
}

TEST_F(SelectionDialog, CertificatesTheFilterRejectsAreNeverOffered) {
  const Credential first = addSigner("a", "Первый Подписант");
  const Credential hidden = addSigner("b", "Скрытый Подписант");
  const Credential third = addSigner("c", "Третий Подписант");
  const Credential also_hidden = addSigner("d", "Тоже Скрытый");
  hidden_ = {hidden.sha1Hex(), also_hidden.sha1Hex()};
  const struct {
    std::vector<std::string> keys;
    const Credential* expected;
  } cases[] = {
      {{"Down"}, &third},
      {{"End"}, &third},
      {{"End", "Up"}, &first},
  };
  for (const auto& row : cases) {
    const std::string keys = ::testing::PrintToString(row.keys);
    const Outcome outcome = ConfirmAfter(row.keys);
    EXPECT_EQ(outcome.result, TRUE) << keys;
    EXPECT_EQ(chosen_, row.expected->sha1Hex()) << keys;
  }
}

// The list then selects its first row when it takes the focus, as GTK lists do, and OK
// confirms that row: what the user sees selected is what is chosen.
TEST_F(SelectionDialog, PreselectionThatIsFilteredOutFallsBackToTheFirstOfferedRow) {
  const Credential first = addSigner("a", "Скрытый Подписант");
  const Credential second = addSigner("b", "Второй Подписант");
  hidden_ = {first.sha1Hex()};
  const Outcome outcome = ConfirmAfter({});
  EXPECT_EQ(outcome.result, TRUE);
  EXPECT_EQ(outcome.count, 1u);
  EXPECT_EQ(chosen_, second.sha1Hex());
}

TEST_F(SelectionDialog, ConfirmingWithNothingToChooseReturnsNoCertificate) {
  const Credential first = addSigner("a", "Скрытый Подписант");
  const Credential second = addSigner("b", "Тоже Скрытый");
  hidden_ = {first.sha1Hex(), second.sha1Hex()};
  const struct {
    const char* how;
    std::function<void(WindowDriver&, unsigned long)> script;
  } cases[] = {
      {"OK button", [](WindowDriver& driver,
                       unsigned long window) { clickButton(driver, window, kOkFromRight); }},
      {"Enter",
       [](WindowDriver& driver, unsigned long window) {
         driver.pressKeys(window, {"Down", "Return"});
       }},
  };
  for (const auto& row : cases) {
    const Outcome outcome = Prompt(row.script);
    EXPECT_EQ(outcome.result, TRUE) << row.how;
    EXPECT_EQ(outcome.count, 0u) << row.how;
    EXPECT_EQ(outcome.slot0, outcome.before) << row.how;
  }
}

// Also takes the screenshot of the README: a store with Cyrillic names.
TEST_F(SelectionDialog, ShowsTheTitleAndFindsCyrillicOwnersByTyping) {
  addSigner("a", "Иванов Иван Иванович");
  const Credential wanted = addSigner("b", "Сидорова Анна Петровна");
  addSigner("c", "Петров Пётр Петрович");
  const std::string screenshots =
      (std::filesystem::path(QUILLET_TEST_BIN_DIR).parent_path() / "screenshots").string();
  std::filesystem::create_directories(screenshots);
  std::string title;
  bool shot = false;
  const Outcome outcome = Prompt([&](WindowDriver& driver, unsigned long window) {
    title = driver.title(window);
    shot = driver.screenshot(window, screenshots + "/certificate-dialog.png");
    driver.typeText(window, "Сидо");
    driver.pressKeys(window, {"Return"});
  });
  EXPECT_EQ(title, kTitleUtf8);
  EXPECT_TRUE(shot);
  EXPECT_EQ(outcome.result, TRUE);
  EXPECT_EQ(chosen_, wanted.sha1Hex());
}

TEST_F(SelectionDialog, OwnerWindowMakesTheDialogTransientForIt) {
  addSigner("a", "Первый Подписант");
  OwnerWindow owner;
  ASSERT_NE(owner.id(), 0u);
  // An id that names no window: the dialog shows without an owner.
  constexpr std::uintptr_t kNoSuchWindow = 0x3ffffff0;
  const struct {
    std::uintptr_t parent;
    bool owned;
  } cases[] = {{owner.id(), true}, {kNoSuchWindow, false}};
  for (const auto& row : cases) {
    unsigned long transient_for = 0;
    const Outcome outcome = Prompt(
        [&](WindowDriver& driver, unsigned long window) {
          transient_for = driver.transientFor(window);
          driver.close(window);
        },
        [&](CERT_SELECT_STRUCT_W& request) {
          request.hwndParent = reinterpret_cast<HWND>(row.parent);
        });
    EXPECT_EQ(outcome.result, FALSE) << row.parent;
    if (row.owned) {
      EXPECT_EQ(transient_for, owner.id());
    } else {
      EXPECT_NE(transient_for, kNoSuchWindow);
    }
  }
}

// True when GTK already has a display open in this process (an earlier test of this
// program ran a dialog): the no-display case cannot be shown then.
bool GtkDisplayOpen() {
  using DefaultDisplay = void* (*)();
  // GDK was loaded privately by the dialog library: look it up in its own module.
  void* gdk = dlopen("libgdk-3.so.0", RTLD_NOW | RTLD_NOLOAD);
  if (gdk == nullptr) return false;
  auto* get = reinterpret_cast<DefaultDisplay>(dlsym(gdk, "gdk_display_get_default"));
  const bool open = get != nullptr && get() != nullptr;
  dlclose(gdk);
  return open;
}

TEST(SelectionDialogWithoutDisplay, ReturnsFalseAtOnce) {
  if (GtkDisplayOpen()) GTEST_SKIP() << "GTK already has a display in this process";
  TestStores stores;
  TestPki pki;
  stores.add("My", pki.issue(CertOptions()));
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display != nullptr ? display : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, kSystemStoreReadOnly, L"My");
  PCCERT_CONTEXT slots[256] = {};
  slots[0] = CertEnumCertificatesInStore(store, nullptr);
  const PCCERT_CONTEXT before = slots[0];
  CERT_SELECT_STRUCT_W request = {};
  request.dwSize = sizeof(request);
  request.szTitle = kTitle;
  request.cCertStore = 1;
  request.arrayCertStore = &store;
  request.cCertContext = 1;
  request.arrayCertContext = slots;
  DialogLibrary library;
  ASSERT_TRUE(library.loaded());
  EXPECT_EQ(library.Select(&request), FALSE);
  EXPECT_EQ(request.cCertContext, 1u);
  EXPECT_EQ(slots[0], before);
  CertFreeCertificateContext(slots[0]);
  EXPECT_TRUE(CertCloseStore(store, CERT_CLOSE_STORE_CHECK_FLAG));
  if (display != nullptr) setenv("DISPLAY", saved.c_str(), 1);
}

TEST(SelectionDialogRequest, MalformedRequestsAreRefusedWithInvalidParameter) {
  PCCERT_CONTEXT slots[1] = {};
  const auto valid = [&slots] {
    CERT_SELECT_STRUCT_W request = {};
    request.dwSize = sizeof(request);
    request.cCertContext = 1;
    request.arrayCertContext = slots;
    return request;
  };
  CERT_SELECT_STRUCT_W too_small = valid();
  too_small.dwSize = sizeof(CERT_SELECT_STRUCT_W) - 1;
  CERT_SELECT_STRUCT_W no_slots = valid();
  no_slots.cCertContext = 0;
  CERT_SELECT_STRUCT_W no_array = valid();
  no_array.arrayCertContext = nullptr;
  const struct {
    const char* what;
    CERT_SELECT_STRUCT_W* request;
  } cases[] = {{"no structure", nullptr},
               {"dwSize too small", &too_small},
               {"no slot", &no_slots},
               {"no slot array", &no_array}};
  DialogLibrary library;
  ASSERT_TRUE(library.loaded());
  for (const auto& row : cases) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(library.Select(row.request), FALSE) << row.what;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << row.what;
  }
}

}  // namespace
}  // namespace quillet::test
