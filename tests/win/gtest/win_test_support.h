// What the Windows test program shares: the host's trace lines read back from its log in
// C:\tavlin.quillet, the test certificates scripts/test-win.sh made, and the bundle.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

namespace quillet::wintest {

using Bytes = std::vector<BYTE>;
using Lines = std::vector<std::string>;

// Switches the host's log on (its directory exists) and starts it empty; the texts of the
// lines written since, without their time stamps, session headers left out.
class TraceLog {
 public:
  TraceLog();
  ~TraceLog();
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;
  Lines Lines() const;
  void Clear();
};

// The value of an environment variable the test script sets; the test fails without it.
std::string requiredEnvironment(const char* name);

// The DER bytes of a certificate file in QUILLET_WIN_TEST_CERTS (made by the test script
// with OpenSSL and its GOST engine).
Bytes certificateFile(const std::string& name);

// A context of DER bytes; the caller frees it.
PCCERT_CONTEXT contextOf(const Bytes& der);

// The bundle directory (QUILLET_WIN_BIN) as a Windows path, with a trailing backslash.
std::wstring bundleDirectory();

}  // namespace quillet::wintest

namespace quillet::wintest {

// Runs the bundle's QuilletHost.exe with `input` on its standard input (closed after it)
// and returns what it wrote to its standard output; *exitCode receives its exit code.
std::string runHost(const std::string& input, DWORD* exitCode);

// The 4-byte little-endian length and the body.
std::string frame(const std::string& body);

}  // namespace quillet::wintest

namespace quillet::wintest {

// The current user's "My" store with the certificate files given added; removes them again.
class MyStoreWith {
 public:
  explicit MyStoreWith(const std::vector<std::string>& names);
  ~MyStoreWith();
  MyStoreWith(const MyStoreWith&) = delete;
  MyStoreWith& operator=(const MyStoreWith&) = delete;

  // Finds a certificate by the SHA-1 thumbprint of its file in a fresh read-only opening
  // of the store, as the engine does; the caller frees it.
  static PCCERT_CONTEXT Find(const std::string& name);

 private:
  HCERTSTORE store_ = nullptr;
  std::vector<PCCERT_CONTEXT> added_;
};

// The SHA-1 hash of a certificate file.
Bytes thumbprintOf(const std::string& name);

// Runs `program` (Windows path) with `arguments` in `directory` with `input` on its
// standard input and returns its standard output; *exitCode receives its exit code.
std::string runProgram(const std::wstring& directory, const std::wstring& program,
                       const std::wstring& arguments, const std::string& input, DWORD* exitCode);

// A Windows path for a path of the build machine (Wine's drive Z: is its root).
std::wstring windowsPathOf(const std::string& unixPath);

// A copy of the bundle in a temporary directory, with some of its files replaced by
// stand-ins (each a build machine path, copied under its own file name), for the life of
// the object. This program has the original bundle on its search path (it imports
// xmlsec1); while the copy lives the original is off it, so that the host in the copy
// cannot find the original's modules there.
class BundleCopy {
 public:
  BundleCopy(const std::wstring& name, const std::vector<std::string>& standIns);
  ~BundleCopy();
  BundleCopy(const BundleCopy&) = delete;
  BundleCopy& operator=(const BundleCopy&) = delete;

  // The copy's directory, with a trailing backslash.
  std::wstring Directory() const;
  // The answer frames of the copy's QuilletHost.exe to `input`, started with `arguments`.
  std::string RunHost(const std::string& input, const std::wstring& arguments,
                      DWORD* exitCode) const;

 private:
  std::wstring directory_;
  std::wstring saved_path_;
};

}  // namespace quillet::wintest
