// The library's exports and lifecycle: what it exports, its version record, InitXmlSec and
// ShutDownXmlSec, and that only the bundled crypto back end is ever used.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "tests/proxy/proxy_fixture.h"

namespace quillet::test {
namespace {

const ProxyLibrary& Proxy() { return ProxyLibrary::Get(); }

TEST(ExportsTest, ExactlyTheInterfaceIsExported) {
  const CliResult nm =
      runProgram("/usr/bin/nm", {"-D", "--defined-only", BinDir() + "/libQuilletProxy.so"});
  ASSERT_EQ(nm.status, 0) << nm.err;
  std::set<std::string> exported;
  std::istringstream lines(nm.out);
  for (std::string address, type, name; lines >> address >> type >> name;) {
    exported.insert(name);
  }
  const std::set<std::string> expected = {
      "InitXmlSec", "ShutDownXmlSec", "PreparePrivateKey", "CreateSignatureTemplate", "Sign",
      "Verify",     "FreeXmlBuffer",  "DestroyKey",        "DestroyTemplate"};
  EXPECT_EQ(exported, expected);
}

TEST(ExportsTest, VersionRecordIs1200) {
  const std::wstring path = Wide(BinDir() + "/libQuilletProxy.so");
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length));
  EXPECT_EQ(info->dwFileVersionMS, 0x00010002u);
  EXPECT_EQ(info->dwFileVersionLS, 0x00000000u);
  EXPECT_EQ(info->dwProductVersionMS, 0x00010002u);
  EXPECT_EQ(info->dwProductVersionLS, 0x00000000u);
  EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST(ExportsTest, ReleasingNothingDoesNothing) {
  Proxy().free_buffer(nullptr);
  Proxy().destroy_key(nullptr);
  Proxy().destroy_template(nullptr);
}

// The shared objects mapped into this process whose file name starts with prefix.
std::set<std::string> MappedFiles(const std::string& prefix) {
  std::ifstream maps("/proc/self/maps");
  std::set<std::string> files;
  for (std::string line; std::getline(maps, line);) {
    const std::string::size_type slash = line.find('/');
    if (slash == std::string::npos) continue;
    const std::string path = line.substr(slash);
    if (path.substr(path.rfind('/') + 1).rfind(prefix, 0) == 0) files.insert(path);
  }
  return files;
}

TEST(LifecycleTest, InitialisesWithOneProbeLineAndStepResultZero) {
  Recorded::Clear();
  int step = -1;
  ASSERT_EQ(Proxy().init(RecordTrace, RecordXmlSecError, &step), 0);
  EXPECT_EQ(step, 0);
  const std::vector<TraceLine> expected = {{L"1st probe libxmlsec1-openssl.so.1", 0, 0}};
  EXPECT_EQ(Recorded::lines(), expected);
  EXPECT_TRUE(Recorded::errors().empty());
  Proxy().shutdown();
}

TEST(LifecycleTest, OnlyTheBundledXmlSecIsEverMapped) {
  int step = -1;
  ASSERT_EQ(Proxy().init(RecordTrace, RecordXmlSecError, &step), 0);
  const std::set<std::string> mapped = MappedFiles("libxmlsec1");
  Proxy().shutdown();
  ASSERT_FALSE(mapped.empty());
  const std::string bin = std::filesystem::canonical(BinDir()).string();
  for (const std::string& file : mapped) {
    EXPECT_EQ(std::filesystem::path(file).parent_path().string(), bin) << file;
  }
}

TEST(LifecycleTest, InitShutDownInitWorksAsTheFirstTime) {
  for (int round = 0; round < 3; ++round) {
    Recorded::Clear();
    int step = -1;
    ASSERT_EQ(Proxy().init(RecordTrace, RecordXmlSecError, &step), 0) << "round " << round;
    EXPECT_EQ(step, 0);
    EXPECT_EQ(Recorded::lines().size(), 1u);
    // The back end works: it can make a GOST template.
    CERT_INFO info = {};
    char oid[] = "1.2.643.7.1.1.1.1";
    info.SubjectPublicKeyInfo.Algorithm.pszObjId = oid;
    CERT_CONTEXT context = {};
    context.pCertInfo = &info;
    _xmlNode* signature_template = nullptr;
    EXPECT_EQ(Proxy().create_template(RecordTrace, &context, &signature_template), 0);
    Proxy().destroy_template(signature_template);
    Proxy().shutdown();
  }
}

TEST(LifecycleTest, XmlSecErrorsReachTheHostsCallback) {
  int step = -1;
  ASSERT_EQ(Proxy().init(RecordTrace, RecordXmlSecError, &step), 0);
  Recorded::Clear();
  // A key without any key data cannot sign: xmlsec1 says why.
  CERT_INFO info = {};
  CERT_CONTEXT context = {};
  context.pCertInfo = &info;
  _xmlNode* signature_template = nullptr;
  ASSERT_EQ(Proxy().create_template(RecordTrace, &context, &signature_template), 0);
  // xmlSecKeyCreate, from the xmlsec1 the library itself uses.
  auto create_key = reinterpret_cast<_xmlSecKey* (*)()>(dlsym(Proxy().handle(), "xmlSecKeyCreate"));
  ASSERT_NE(create_key, nullptr);
  _xmlSecKey* empty_key = create_key();
  wchar_t* result = nullptr;
  EXPECT_EQ(Proxy().sign(RecordTrace, empty_key, signature_template, false, L"<a/>", &result), 214);
  EXPECT_EQ(result, nullptr);
  EXPECT_FALSE(Recorded::errors().empty());
  Proxy().destroy_key(empty_key);
  Proxy().destroy_template(signature_template);
  Proxy().shutdown();
}

// In a copy of the runtime directory without the libtool archive that names the bundled
// back end, libltdl finds the system's xmlsec1 back end (built without GOST): InitXmlSec
// refuses it with 102 and unloads it again. Returns whether all of that held.
bool ForeignBackendIsRefused(const std::string& directory) {
  const ProxyLibrary copy(directory + "/libQuilletProxy.so");
  if (copy.init == nullptr) return false;
  Recorded::Clear();
  int step = -1;
  const int code = copy.init(RecordTrace, RecordXmlSecError, &step);
  const TraceLine refused{L"the loaded crypto back end is not the one bundled with QuilletProxy",
                          102, 0};
  bool ok = code == 102 && !Recorded::lines().empty() && Recorded::lines().back() == refused;
  for (const std::string& file : MappedFiles("libxmlsec1-openssl")) {
    ok = ok && std::filesystem::path(file).parent_path() == directory;
  }
  return ok;
}

TEST(LifecycleDeathTest, ForeignBackendIsNeverUsed) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ScratchDir scratch;
  for (const auto& entry : std::filesystem::directory_iterator(BinDir())) {
    if (entry.path().extension() != ".la") {
      std::filesystem::copy(entry.path(), scratch.path() + "/" + entry.path().filename().string());
    }
  }
  const std::string directory = std::filesystem::canonical(scratch.path()).string();
  EXPECT_EXIT(std::_Exit(ForeignBackendIsRefused(directory) ? 0 : 1), ::testing::ExitedWithCode(0),
              "");
}

}  // namespace
}  // namespace quillet::test
