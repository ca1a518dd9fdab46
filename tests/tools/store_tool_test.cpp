// quillet-store, the real binary, against real store directories; what it imports is
// checked through the platform layer the host uses.
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/key_container_linux.h"
#include "platform/win32.h"
#include "tests/support/run_program.h"
#include "tests/support/test_stores.h"

namespace quillet::test {
namespace {

// The platform's CRYPT_STRING_HEX layout of 20 bytes: two lines, CRLF after each.
std::string WindowsHexText(const Bytes& bytes) {
  std::string text;
  static const char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 != 0) text += (i % 16 == 8) ? "  " : " ";
    text += {kDigits[bytes[i] >> 4], kDigits[bytes[i] & 0x0F]};
    if (i % 16 == 15 || i + 1 == bytes.size()) text += "\r\n";
  }
  return text;
}

class StoreToolTest : public ::testing::Test {
 protected:
  CliResult Tool(const std::vector<std::string>& args) {
    return runProgram(std::string(QUILLET_TEST_BIN_DIR) + "/quillet-store", args);
  }

  // The store's certificate with this thumbprint, through the host's own calls.
  PCCERT_CONTEXT Find(const wchar_t* store_name, const Credential& credential) {
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                      CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, store_name);
    const Bytes hash = credential.sha1();
    CRYPT_HASH_BLOB blob{20, const_cast<BYTE*>(hash.data())};
    PCCERT_CONTEXT context = CertFindCertificateInStore(
        store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &blob, nullptr);
    CertCloseStore(store, 0);
    return context;
  }

  // True when the context's key container opens with the PIN and holds the key.
  static bool UnlocksWith(PCCERT_CONTEXT context, const std::string& pin,
                          const Credential& credential) {
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE provider = 0;
    if (!CryptAcquireCertificatePrivateKey(context, 0, nullptr, &provider, nullptr, nullptr)) {
      return false;
    }
    bool ok = pin.empty() || CryptSetProvParam(provider, PP_KEYEXCHANGE_PIN,
                                               reinterpret_cast<const BYTE*>(pin.c_str()), 0);
    EVP_PKEY* key = ok ? QuilletKeyContainerGetKey(provider) : nullptr;
    ok = key != nullptr && EVP_PKEY_eq(key, credential.key.get()) == 1;
    EVP_PKEY_free(key);
    CryptReleaseContext(provider, 0);
    return ok;
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = stores_.home() + "/" + name;
    writeFileOrFail(path, bytes);
    return path;
  }
  std::string Write(const std::string& name, const Bytes& bytes) {
    return Write(name, std::string(bytes.begin(), bytes.end()));
  }

  std::vector<std::string> StoreFiles(const std::string& store) {
    std::vector<std::string> names;
    const std::string dir = stores_.home() + "/tavlin.quillet/stores/" + store;
    if (!std::filesystem::exists(dir)) return names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  TestStores stores_;
  TestPki pki_;
};

TEST_F(StoreToolTest, ImportsGostPfxFoundByThumbprintWithPasswordAsPin) {
  for (KeyType type : {KeyType::kGost2012_256, KeyType::kGost2012_512, KeyType::kGost2001}) {
    CertOptions options;
    options.keyType = type;
    const Credential signer = pki_.issue(options);
    const std::string pfx =
        Write("signer.pfx", TestPki::makePfx(signer, "pfx-пароль-1", "Подпись из PFX"));
    // The password is not ASCII: the host could never pass it, so the tool wants a PIN.
    CliResult result = Tool({"import-pfx", "My", pfx, "--password", "pfx-пароль-1"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("printable ASCII"), std::string::npos) << result.err;
    EXPECT_EQ(Find(L"My", signer), nullptr);

    result = Tool({"import-pfx", "My", pfx, "--password", "pfx-пароль-1", "--pin", "7890"});
    ASSERT_EQ(result.status, 0) << result.err;
    PCCERT_CONTEXT context = Find(L"my", signer);
    ASSERT_NE(context, nullptr);
    EXPECT_TRUE(UnlocksWith(context, "7890", signer));
    EXPECT_FALSE(UnlocksWith(context, "pfx-пароль-1", signer));
    wchar_t name[64] = {};
    CertGetNameStringW(context, CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, name, 64);
    EXPECT_EQ(std::wstring(name), L"Подпись из PFX");
    CertFreeCertificateContext(context);
  }
}

TEST_F(StoreToolTest, PfxPasswordBecomesThePin) {
  const Credential signer = pki_.issue(CertOptions());
  const std::string pin = pinOfLength(40);
  const std::string pfx = Write("signer.pfx", TestPki::makePfx(signer, pin));
  const CliResult result = Tool({"import-pfx", "Личные", pfx, "--password", pin});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find(WindowsHexText(signer.sha1()).substr(0, 23)), std::string::npos);
  PCCERT_CONTEXT context = Find(L"ЛИЧНЫЕ", signer);
  ASSERT_NE(context, nullptr);
  EXPECT_TRUE(UnlocksWith(context, pin, signer));
  CertFreeCertificateContext(context);
}

TEST_F(StoreToolTest, RefusedImportsLeaveTheStoreAsItWas) {
  const Credential signer = pki_.issue(CertOptions());
  const Credential other = pki_.issue(CertOptions());
  const std::string pfx = Write("signer.pfx", TestPki::makePfx(signer, "right"));
  const std::string cert = Write("signer.cer", signer.der());
  const std::string other_key = Write("other.key", TestPki::keyPem(other.key.get(), ""));
  const std::string long_pin = pinOfLength(45);
  const std::vector<std::vector<std::string>> refused = {
      {"import-pfx", "My", pfx, "--password", "wrong"},
      {"import-pfx", "My", pfx, "--password", "right", "--pin", long_pin},
      {"import", "My", cert, "--key", other_key},
      {"import", "My", Write("garbage.cer", std::string("garbage"))},
      {"import", "../escape", cert},
  };
  for (const auto& args : refused) {
    const CliResult result = Tool(args);
    EXPECT_EQ(result.status, 1) << args[0] << " " << args.back();
    EXPECT_FALSE(result.err.empty());
    EXPECT_EQ(StoreFiles("My"), std::vector<std::string>()) << args.back();
  }
  EXPECT_FALSE(std::filesystem::exists(stores_.home() + "/tavlin.quillet/escape"));
}

// Regression: a refused file reaches the user with the reason OpenSSL gave for it. The
// reason must be taken off OpenSSL's error queue right after the failing call, before the
// tool releases what it read (a release may clear or extend the queue).
TEST_F(StoreToolTest, RefusedFilesNameOpenSslReason) {
  const Credential signer = pki_.issue(CertOptions());
  const std::string pfx = Write("signer.pfx", TestPki::makePfx(signer, "right"));
  const std::string junk = Write("junk.bin", std::string("garbage"));
  const std::string cert = Write("signer.cer", signer.der());
  const std::string key = Write("signer.key", TestPki::keyPem(signer.key.get(), "right"));
  const std::string not_enough = "(error:0680008E:asn1 encoding routines::not enough data)\n";
  const std::string wrong_key_password =
      "quillet-store: cannot read the private key in " + key + " (wrong password, or not a key: ";
  struct Case {
    std::vector<std::string> args;
    // Any of these texts is right: a wrong password decrypts the key to noise, and about one
    // time in 256 that noise ends in valid padding, so OpenSSL fails the decoding after it
    // instead of the decryption.
    std::vector<std::string> errs;
  };
  const std::vector<Case> cases = {
      {{"import-pfx", "My", pfx, "--password", "wrong"},
       {"quillet-store: cannot open " + pfx +
        ": wrong password? (error:11800071:PKCS12 routines::mac verify failure)\n"}},
      {{"import-pfx", "My", junk, "--password", "right"},
       {"quillet-store: " + junk + " is not a PKCS#12 file " + not_enough}},
      {{"import", "My", junk}, {"quillet-store: " + junk + " holds no certificate " + not_enough}},
      {{"import", "My", cert, "--key", key, "--key-password", "wrong"},
       {wrong_key_password + "error:11800074:PKCS12 routines::pkcs12 cipherfinal error)\n",
        wrong_key_password + "error:11800065:PKCS12 routines::decode error)\n"}},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.args[0] + " " + row.args[2]);
    const CliResult result = Tool(row.args);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(std::find(row.errs.begin(), row.errs.end(), result.err), row.errs.end())
        << result.err;
  }
  EXPECT_EQ(StoreFiles("My"), std::vector<std::string>());
}

TEST_F(StoreToolTest, ImportsCertificateWithKeyListsAndRemovesIt) {
  CertOptions options;
  options.subject = {{"C", "RU"}, {"CN", "Сидоров Пётр"}};
  const Credential signer = pki_.issue(options);
  const std::string cert = Write("signer.pem", signer.pem());
  const std::string key = Write("signer.key", TestPki::keyPem(signer.key.get(), "old-secret"));
  CliResult result = Tool({"import", "My", cert, "--key", key, "--key-password", "old-secret",
                           "--pin", "1234", "--name", "Рабочая подпись"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Tool({"import", "My", cert}).status, 1) << "the same certificate twice";
  // A certificate without a key (a root, say) goes in too.
  ASSERT_EQ(Tool({"import", "Root", Write("root.cer", pki_.root().der())}).status, 0);

  result = Tool({"list", "My"});
  ASSERT_EQ(result.status, 0) << result.err;
  std::string one_line = WindowsHexText(signer.sha1());
  one_line.replace(one_line.find("  "), 2, " ");
  one_line.replace(one_line.find("\r\n"), 2, " ");
  one_line.resize(one_line.size() - 2);
  EXPECT_NE(result.out.find("Thumbprint: " + one_line + "\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Owner:    Рабочая подпись\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Issuer:   Quillet Test Issuing CA\n"), std::string::npos);
  EXPECT_NE(result.out.find("Key:      yes, with PIN\n"), std::string::npos);
  result = Tool({"list", "Root"});
  EXPECT_NE(result.out.find("Key:      no\n"), std::string::npos) << result.out;
  result = Tool({"stores"});
  EXPECT_NE(result.out.find("  My (1 certificate)\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("  Root (1 certificate)\n"), std::string::npos) << result.out;

  PCCERT_CONTEXT context = Find(L"My", signer);
  ASSERT_NE(context, nullptr);
  EXPECT_TRUE(UnlocksWith(context, "1234", signer));
  CertFreeCertificateContext(context);

  // The thumbprint as the host answers it (two lines, CRLF) removes all three files.
  result = Tool({"remove", "MY", WindowsHexText(signer.sha1())});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(StoreFiles("My"), std::vector<std::string>());
  EXPECT_EQ(Find(L"My", signer), nullptr);
  result = Tool({"remove", "My", WindowsHexText(signer.sha1())});
  EXPECT_EQ(result.status, 1);
}

TEST_F(StoreToolTest, UsageErrorsExitWith2) {
  for (const auto& args :
       std::vector<std::vector<std::string>>{{},
                                             {"frobnicate"},
                                             {"import", "My"},
                                             {"list", "My", "extra"},
                                             {"import", "My", "x", "--bogus", "1"}}) {
    EXPECT_EQ(Tool(args).status, 2);
  }
  EXPECT_EQ(Tool({"remove", "My", "not hex"}).status, 1);
  EXPECT_EQ(Tool({"list", "Empty"}).status, 0);
}

// The thumbprint of "remove" is read as the platform reads hex text: every layout a "sign"
// request accepts passes (the empty store then holds no such certificate), anything else is
// refused before the store is looked at.
TEST_F(StoreToolTest, RemoveReadsThumbprintLayoutsAsThePlatformDoes) {
  const std::string pairs = "000102030405060708090a0b0c0d0e0f10111213";
  std::string spaced, dashed, upper;
  for (std::size_t i = 0; i < pairs.size(); i += 2) {
    spaced += (i ? " " : "") + pairs.substr(i, 2);
    dashed += (i ? "-" : "") + pairs.substr(i, 2);
  }
  for (char c : pairs) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string not_found = "holds no certificate 00 01 02 03";
  const std::string refused = "a thumbprint is 20 bytes of hex text";
  const struct {
    std::string thumbprint;
    const std::string& expected;
  } cases[] = {
      {pairs, not_found},
      {upper, not_found},
      {spaced, not_found},
      {dashed, not_found},
      {"\t" + spaced + "\r\n", not_found},
      {pairs.substr(0, 20) + "," + pairs.substr(20), not_found},
      {pairs.substr(0, 38), refused},               // 19 bytes
      {pairs + "14", refused},                      // 21 bytes
      {pairs.substr(0, 39), refused},               // odd run of digits
      {"0" + spaced.substr(0, 58), refused},        // digits split across a separator
      {pairs.substr(0, 38) + "zz", refused},        // not hex
      {pairs.substr(0, 38) + "\xd0\xb0", refused},  // not ASCII
      {"  - ,", refused},                           // separators only
      {"", refused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("thumbprint \"" + c.thumbprint + "\"");
    const CliResult result = Tool({"remove", "My", c.thumbprint});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
  }
}

}  // namespace
}  // namespace quillet::test
