// The dialog library as the host uses it: loaded by file name from the runtime
// directory, CertSelectCertificateW bound by name, unloaded when done.
#pragma once

#include <dlfcn.h>

#include <string>

#include "platform/win32.h"

namespace quillet::test {

class DialogLibrary {
 public:
  DialogLibrary() {
    handle_ = dlopen((std::string(QUILLET_TEST_BIN_DIR) + "/libQuilletCertDialog.so").c_str(),
                     RTLD_NOW);
    if (handle_ != nullptr) {
      select_ = reinterpret_cast<SelectFn>(dlsym(handle_, "CertSelectCertificateW"));
    }
  }
  ~DialogLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  DialogLibrary(const DialogLibrary&) = delete;
  DialogLibrary& operator=(const DialogLibrary&) = delete;

  // True when the library is loaded and exports the entry point.
  bool loaded() const { return select_ != nullptr; }
  BOOL Select(CERT_SELECT_STRUCT_W* request) const { return select_(request); }

 private:
  using SelectFn = BOOL(WINAPI*)(PCERT_SELECT_STRUCT_W);
  void* handle_ = nullptr;
  SelectFn select_ = nullptr;
};

}  // namespace quillet::test
