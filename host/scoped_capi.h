// Owners for the CryptoAPI and kernel handles the host and its tools hold: one
// std::unique_ptr alias per handle type, each released with the platform's own function,
// so that no path releases by hand and none releases twice. The names are the handle
// types' own (ScopedHCERTSTORE owns an HCERTSTORE).
//
// It lives beside the host because the host is its main user and is built for Windows and
// Linux alike: it only names Win32 calls, which platform/win32.h gives from the system's
// headers on Windows and from the platform library on Linux, so it compiles against both.
// The store tool (tools/store) uses it too, so it stays in the global namespace beside the
// Windows names it owns.
#pragma once

#include <cstdlib>
#include <memory>
#include <type_traits>

#include "platform/win32.h"

// Closes a store with flags 0: contexts taken from it that are still held stay valid (they
// keep the store open on both platforms until they are freed themselves).
struct CertStoreCloser {
  void operator()(HCERTSTORE store) const { CertCloseStore(store, /*dwFlags=*/0); }
};
struct CertContextFreer {
  void operator()(PCCERT_CONTEXT context) const { CertFreeCertificateContext(context); }
};
// Modules stay loaded as long as any owner or LoadLibraryW reference holds them.
struct ModuleFreer {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
struct LocalFreer {
  void operator()(void* block) const { LocalFree(block); }
};
struct MallocFreer {
  void operator()(void* block) const { std::free(block); }
};

// An open certificate store (CertOpenStore), closed with CertCloseStore(store, 0).
using ScopedHCERTSTORE = std::unique_ptr<std::remove_pointer_t<HCERTSTORE>, CertStoreCloser>;
// A certificate context the holder must release, freed with CertFreeCertificateContext.
using ScopedPCCERT_CONTEXT =
    std::unique_ptr<std::remove_pointer_t<PCCERT_CONTEXT>, CertContextFreer>;
// A module loaded with LoadLibraryW, released with FreeLibrary.
using ScopedHMODULE = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;
// A block the system allocated with LocalAlloc for the caller (FormatMessageW with
// FORMAT_MESSAGE_ALLOCATE_BUFFER), released with LocalFree.
template <typename T>
using ScopedLocalAlloc = std::unique_ptr<T, LocalFreer>;
// A block from malloc (StringToBinary's buffer), released with free.
template <typename T>
using ScopedMallocBlock = std::unique_ptr<T, MallocFreer>;
