#include "tests/win/gtest/win_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "host/log.h"
#include "host/text_conversion.h"

namespace quillet::wintest {

using namespace quillet::host;
namespace {

const std::filesystem::path kLogDirectory = L"C:\\tavlin.quillet";

bool isSessionHeader(const std::string& line) {
  return line.find(" VektQuilletLog ") != std::string::npos && line.rfind(">>>>", 0) == 0;
}

// "YYYY-MM-DD hh:mm:ss: " at the start of a line.
bool hasStamp(const std::string& line) {
  static const char kShape[] = "dddd-dd-dd dd:dd:dd: ";
  if (line.size() < sizeof kShape - 1) return false;
  for (size_t i = 0; i + 1 < sizeof kShape; ++i) {
    const bool digit = line[i] >= '0' && line[i] <= '9';
    if (kShape[i] == 'd' ? !digit : line[i] != kShape[i]) return false;
  }
  return true;
}

}  // namespace

TraceLog::TraceLog() {
  std::filesystem::create_directories(kLogDirectory);
  Clear();
}

TraceLog::~TraceLog() {
  closeLog();
  std::error_code ignored;
  std::filesystem::remove_all(kLogDirectory, ignored);
}

Lines TraceLog::Lines() const {
  closeLog();
  wintest::Lines texts;
  for (const auto& entry : std::filesystem::directory_iterator(kLogDirectory)) {
    std::ifstream file(entry.path());  // text mode: CR LF becomes LF
    std::string line;
    while (std::getline(file, line)) {
      if (line.empty() || isSessionHeader(line)) continue;
      texts.push_back(hasStamp(line) ? line.substr(21) : line);
    }
  }
  return texts;
}

void TraceLog::Clear() {
  closeLog();
  for (const auto& entry : std::filesystem::directory_iterator(kLogDirectory)) {
    std::filesystem::remove(entry.path());
  }
}

std::string requiredEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    ADD_FAILURE() << name << " is not set (scripts/test-win.sh sets it)";
    return std::string();
  }
  return value;
}

Bytes certificateFile(const std::string& name) {
  const std::string directory = requiredEnvironment("QUILLET_WIN_TEST_CERTS");
  std::ifstream file(std::filesystem::path(Utf8ToWide(directory + "\\" + name)), std::ios::binary);
  EXPECT_TRUE(file.good()) << "no certificate " << name << " in " << directory;
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

PCCERT_CONTEXT contextOf(const Bytes& der) {
  PCCERT_CONTEXT context =
      CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
  EXPECT_NE(context, nullptr) << "GetLastError " << GetLastError();
  return context;
}

std::wstring bundleDirectory() {
  std::wstring directory = Utf8ToWide(requiredEnvironment("QUILLET_WIN_BIN"));
  if (!directory.empty() && directory.back() != L'\\') directory += L'\\';
  return directory;
}

}  // namespace quillet::wintest

namespace quillet::wintest {

std::string frame(const std::string& body) {
  const auto size = static_cast<uint32_t>(body.size());
  std::string framed;
  for (int shift = 0; shift < 32; shift += 8) framed += static_cast<char>((size >> shift) & 0xFF);
  return framed + body;
}

std::string runHost(const std::string& input, DWORD* exitCode) {
  return runProgram(bundleDirectory(), bundleDirectory() + L"QuilletHost.exe", L"", input,
                    exitCode);
}

std::string runProgram(const std::wstring& directory, const std::wstring& program,
                       const std::wstring& arguments, const std::string& input, DWORD* exitCode) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
  EXPECT_TRUE(CreatePipe(&inRead, &inWrite, &inherit, 1 << 16));
  EXPECT_TRUE(CreatePipe(&outRead, &outWrite, &inherit, 1 << 16));
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                      0, nullptr, directory.c_str(), &startup, &process);
  EXPECT_TRUE(started) << "GetLastError " << GetLastError();
  CloseHandle(inRead);
  CloseHandle(outWrite);
  std::string output;
  if (started) {
    // The input goes in from a thread of its own, so that a host answering early never
    // blocks on a full output pipe while this thread still writes.
    HANDLE writeEnd = inWrite;
    inWrite = nullptr;
    std::thread writer([writeEnd, &input] {
      DWORD written = 0;
      WriteFile(writeEnd, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
      CloseHandle(writeEnd);
    });
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(outRead, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      output.append(buffer, got);
    }
    writer.join();
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (inWrite != nullptr) CloseHandle(inWrite);
  CloseHandle(outRead);
  return output;
}

}  // namespace quillet::wintest

namespace quillet::wintest {

MyStoreWith::MyStoreWith(const std::vector<std::string>& names) {
  store_ = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"My");
  EXPECT_NE(store_, nullptr);
  for (const std::string& name : names) {
    const Bytes der = certificateFile(name);
    PCCERT_CONTEXT added = nullptr;
    EXPECT_TRUE(CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING, der.data(),
                                                 static_cast<DWORD>(der.size()),
                                                 CERT_STORE_ADD_REPLACE_EXISTING, &added))
        << name;
    added_.push_back(added);
  }
  // Written through, so that a fresh opening (and another process) sees them.
  EXPECT_TRUE(CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr));
}

MyStoreWith::~MyStoreWith() {
  for (PCCERT_CONTEXT context : added_) {
    // CertDeleteCertificateFromStore releases the context it is given.
    if (context != nullptr) CertDeleteCertificateFromStore(context);
  }
  CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
  CertCloseStore(store_, 0);
}

Bytes thumbprintOf(const std::string& name) {
  const Bytes der = certificateFile(name);
  Bytes hash(20);
  DWORD size = 20;
  EXPECT_TRUE(CryptHashCertificate(0, CALG_SHA1, 0, der.data(), static_cast<DWORD>(der.size()),
                                   hash.data(), &size));
  return hash;
}

PCCERT_CONTEXT MyStoreWith::Find(const std::string& name) {
  Bytes hash = thumbprintOf(name);
  HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                    CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"My");
  CRYPT_HASH_BLOB blob{static_cast<DWORD>(hash.size()), hash.data()};
  PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                                    0, CERT_FIND_SHA1_HASH, &blob, nullptr);
  CertCloseStore(store, 0);
  EXPECT_NE(found, nullptr) << name << " not found in My";
  return found;
}

std::wstring windowsPathOf(const std::string& unixPath) {
  std::wstring path = L"Z:" + Utf8ToWide(unixPath);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

namespace {

// The search path without the bundle's directory.
std::wstring withoutBundle(const std::wstring& path) {
  std::wstring bundle = bundleDirectory();
  bundle.pop_back();  // its trailing backslash
  std::wstring kept;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(L';', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring entry = path.substr(start, end - start);
    if (!entry.empty() && entry.back() == L'\\') entry.pop_back();
    if (!entry.empty() && _wcsicmp(entry.c_str(), bundle.c_str()) != 0) {
      kept += (kept.empty() ? L"" : L";") + entry;
    }
    start = end + 1;
  }
  return kept;
}

}  // namespace

BundleCopy::BundleCopy(const std::wstring& name, const std::vector<std::string>& standIns) {
  namespace fs = std::filesystem;
  const fs::path copy = fs::temp_directory_path() / name;
  fs::remove_all(copy);
  fs::create_directories(copy);
  for (const auto& entry : fs::directory_iterator(bundleDirectory())) {
    fs::copy_file(entry.path(), copy / entry.path().filename());
  }
  for (const std::string& standIn : standIns) {
    const fs::path file = windowsPathOf(standIn);
    fs::copy_file(file, copy / file.filename(), fs::copy_options::overwrite_existing);
  }
  directory_ = copy.wstring() + L"\\";
  wchar_t path[32768];
  const DWORD length = GetEnvironmentVariableW(L"PATH", path, 32768);
  saved_path_.assign(path, length < 32768 ? length : 0);
  SetEnvironmentVariableW(L"PATH", withoutBundle(saved_path_).c_str());
}

BundleCopy::~BundleCopy() {
  SetEnvironmentVariableW(L"PATH", saved_path_.c_str());
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

std::wstring BundleCopy::Directory() const { return directory_; }

std::string BundleCopy::RunHost(const std::string& input, const std::wstring& arguments,
                                DWORD* exitCode) const {
  return runProgram(directory_, directory_ + L"QuilletHost.exe", arguments, input, exitCode);
}

}  // namespace quillet::wintest
