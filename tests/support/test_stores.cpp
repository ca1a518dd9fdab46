#include "tests/support/test_stores.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quillet::test {
namespace {

void SaveVariable(const char* name, std::string* value, bool* had) {
  const char* current = std::getenv(name);
  *had = current != nullptr;
  if (*had) *value = current;
}

void RestoreVariable(const char* name, const std::string& value, bool had) {
  if (had) {
    setenv(name, value.c_str(), 1);
  } else {
    unsetenv(name);
  }
}

}  // namespace

TestStores::TestStores() {
  const std::filesystem::path base =
      std::filesystem::path(QUILLET_TEST_BIN_DIR).parent_path() / "test-homes";
  std::filesystem::create_directories(base);
  std::string pattern = (base / "home-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "cannot make a temporary home under " << base;
    throw std::runtime_error("no temporary home");
  }
  home_ = pattern;
  SaveVariable("HOME", &oldHome_, &hadHome_);
  SaveVariable("XDG_DATA_HOME", &oldDataHome_, &hadDataHome_);
  setenv("HOME", home_.c_str(), 1);
  setenv("XDG_DATA_HOME", home_.c_str(), 1);
}

TestStores::~TestStores() {
  RestoreVariable("HOME", oldHome_, hadHome_);
  RestoreVariable("XDG_DATA_HOME", oldDataHome_, hadDataHome_);
  std::error_code ignored;
  // Tests may have taken permissions away; give them back so that everything goes.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(
           home_, std::filesystem::directory_options::skip_permission_denied, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(home_, ignored);
}

std::string TestStores::storeDir(const std::string& store) const {
  const std::string dir = home_ + "/tavlin.quillet/stores/" + store;
  std::filesystem::create_directories(dir);
  return dir;
}

std::string TestStores::add(const std::string& store, const Credential& credential) {
  return add(store, credential, AddOptions());
}

std::string TestStores::add(const std::string& store, const Credential& credential,
                            const AddOptions& options) {
  const std::string stem = options.stem.empty() ? credential.sha1Hex() : options.stem;
  const std::string base = storeDir(store) + "/" + stem;
  if (options.pem) {
    writeFileOrFail(base + ".pem", credential.pem());
  } else {
    writeFileOrFail(base + ".cer", credential.der());
  }
  if (options.withKey)
    writeFileOrFail(base + ".key", TestPki::keyPem(credential.key.get(), options.pin));
  if (!options.friendlyName.empty()) writeFileOrFail(base + ".name", options.friendlyName + "\n");
  return stem;
}

void TestStores::addCrl(const std::string& store, const Bytes& crl, const std::string& stem) {
  writeFileOrFail(storeDir(store) + "/" + stem + ".crl", crl);
}

}  // namespace quillet::test
