// What the signature library's tests share: the real library loaded from the runtime
// directory with dlopen and bound by name as the host binds it, a TraceCallback and an
// xmlsec1 error callback that record what they get, certificates from the test PKI in test
// stores, UTF-8/UTF-16 helpers, and the bundled xmlsec1 command-line tool as an independent
// verifier.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "proxy/quillet_proxy.h"
#include "tests/support/test_pki.h"
#include "tests/support/test_stores.h"
#include "tests/support/xmlsec_cli.h"

namespace quillet::test {

// One line the library passed to its TraceCallback.
struct TraceLine {
  std::wstring text;
  int code;
  DWORD error;

  bool operator==(const TraceLine& other) const {
    return text == other.text && code == other.code && error == other.error;
  }
};

inline void PrintTo(const TraceLine& line, std::ostream* out) {
  *out << "{\"" << std::string(line.text.begin(), line.text.end()) << "\", " << line.code << ", "
       << line.error << "}";
}

// Everything traced since the last Clear, and xmlsec1's error reports.
struct Recorded {
  static std::vector<TraceLine>& lines() {
    static std::vector<TraceLine> recorded;
    return recorded;
  }
  static std::vector<std::string>& errors() {
    static std::vector<std::string> recorded;
    return recorded;
  }
  static void Clear() {
    lines().clear();
    errors().clear();
  }
};

inline int RecordTrace(const wchar_t* text, int code, DWORD error) {
  Recorded::lines().push_back({text, code, error});
  return 0;
}

inline void RecordXmlSecError(const char* /*file*/, int /*line*/, const char* func,
                              const char* errorObject, const char* errorSubject, int reason,
                              const char* msg) {
  std::ostringstream text;
  text << (func ? func : "") << " " << (errorObject ? errorObject : "") << " "
       << (errorSubject ? errorSubject : "") << " " << reason << " " << (msg ? msg : "");
  Recorded::errors().push_back(text.str());
}

// The runtime directory (build/bin or build/asan/bin).
inline std::string BinDir() { return QUILLET_TEST_BIN_DIR; }

// The signature library, loaded once from a directory and never unloaded (as the host
// never unloads it), with its exports bound by name.
class ProxyLibrary {
 public:
  // The library of the runtime directory.
  static const ProxyLibrary& Get() {
    static const ProxyLibrary library(BinDir() + "/libQuilletProxy.so");
    return library;
  }

  explicit ProxyLibrary(const std::string& path)
      : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) {
      ADD_FAILURE() << "cannot load " << path << ": " << dlerror();
      return;
    }
    Bind(&init, "InitXmlSec");
    Bind(&shutdown, "ShutDownXmlSec");
    Bind(&prepare_key, "PreparePrivateKey");
    Bind(&create_template, "CreateSignatureTemplate");
    Bind(&sign, "Sign");
    Bind(&verify, "Verify");
    Bind(&free_buffer, "FreeXmlBuffer");
    Bind(&destroy_key, "DestroyKey");
    Bind(&destroy_template, "DestroyTemplate");
  }

  void* handle() const { return handle_; }

  InitXmlSecFunction init = nullptr;
  ShutDownXmlSecFunction shutdown = nullptr;
  PreparePrivateKeyFunction prepare_key = nullptr;
  CreateSignatureTemplateFunction create_template = nullptr;
  SignFunction sign = nullptr;
  VerifyFunction verify = nullptr;
  FreeXmlBufferFunction free_buffer = nullptr;
  DestroyKeyFunction destroy_key = nullptr;
  DestroyTemplateFunction destroy_template = nullptr;

 private:
  template <typename Function>
  void Bind(Function* function, const char* name) {
    *function = reinterpret_cast<Function>(dlsym(handle_, name));
    if (*function == nullptr) ADD_FAILURE() << "no export " << name;
  }

  void* handle_;
};

// UTF-16 (in wchar_t units) of UTF-8 text.
inline std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int units =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
  return wide;
}

// UTF-8 of UTF-16 text.
inline std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                      nullptr, nullptr);
  return utf8;
}

// A context of a certificate put into the user's "My" store, as the host finds it.
// NULL (with a test failure) when it cannot be found.
inline PCCERT_CONTEXT StoredCertificate(TestStores& stores, const Credential& credential,
                                        const TestStores::AddOptions& options) {
  stores.add("My", credential, options);
  HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                    CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"My");
  const Bytes hash = credential.sha1();
  CRYPT_HASH_BLOB blob{static_cast<DWORD>(hash.size()), const_cast<BYTE*>(hash.data())};
  PCCERT_CONTEXT context =
      CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &blob, nullptr);
  CertCloseStore(store, 0);
  EXPECT_NE(context, nullptr) << "certificate not found in the test store";
  return context;
}

// Owns a certificate context.
struct CertificateFree {
  void operator()(PCCERT_CONTEXT context) const { CertFreeCertificateContext(context); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;

// A scratch directory for files the tests hand to other programs, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern =
        (std::filesystem::path(BinDir()).parent_path() / "proxy-scratch-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    EXPECT_FALSE(path_.empty()) << "cannot make a scratch directory";
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // Writes a file into the directory and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string file = path_ + "/" + name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }
  std::string Write(const std::string& name, const Bytes& bytes) const {
    return Write(name, std::string(bytes.begin(), bytes.end()));
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The bundled xmlsec1 command-line tool as an independent verifier (tests/support/
// xmlsec_cli.h): it checks a signed document against the trusted root and the
// intermediate, taking the signer's certificate from the signature's own KeyInfo.
class XmlSecTool {
 public:
  XmlSecTool(const Credential& root, const Credential& intermediate) {
    root_ = scratch_.Write("root.pem", root.pem());
    intermediate_ = scratch_.Write("intermediate.pem", intermediate.pem());
  }

  // True when xmlsec1 verifies the document's first signature (or the one the XPath
  // expression selects); *output gets what it said.
  bool Verifies(const std::string& document, std::string* output,
                const std::string& signature_xpath = "") const {
    std::vector<std::string> args = {"verify", "--enabled-key-data", "x509",       "--trusted-pem",
                                     root_,    "--untrusted-pem",    intermediate_};
    if (!signature_xpath.empty()) args.insert(args.end(), {"--node-xpath", signature_xpath});
    args.push_back(scratch_.Write("signed.xml", document));
    const CliResult result = runXmlsec1(args, scratch_.path());
    *output = result.out + result.err;
    return result.status == 0 && result.err.find("OK") != std::string::npos;
  }

 private:
  ScratchDir scratch_;
  std::string root_;
  std::string intermediate_;
};

// Tests that run with the library initialised, shut down again afterwards, with the
// initialisation's own trace lines cleared.
class InitializedProxyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Recorded::Clear();
    int step = -1;
    ASSERT_EQ(proxy_.init(RecordTrace, RecordXmlSecError, &step), 0) << DescribeErrors();
    Recorded::Clear();
  }
  void TearDown() override { proxy_.shutdown(); }

  // xmlsec1's error reports, one a line, for failure messages.
  static std::string DescribeErrors() {
    std::string all;
    for (const std::string& error : Recorded::errors()) all += error + "\n";
    return all;
  }

  const ProxyLibrary& proxy_ = ProxyLibrary::Get();
};

}  // namespace quillet::test
