#include "host/engine/vekt_quillet_impl.h"

#include <clocale>
#include <iomanip>
#include <sstream>
#include <vector>

#include "host/engine/binding_steps.h"
#include "host/escaped_value.h"
#include "host/host_platform.h"
#include "host/text_conversion.h"
#include "host/trace.h"

namespace quillet::host {

namespace {

constexpr DWORD kModulePathUnits = 261;

// Prints a handle or address as the standard stream prints a pointer here: upper-case hex,
// zero-filled to the platform's pointer width.
std::wstring pointerText(const void* pointer) {
  std::wostringstream text;
  text << std::uppercase << std::hex << std::setfill(L'0')
       << std::setw(static_cast<int>(sizeof(void*) * 2))
       << reinterpret_cast<std::uintptr_t>(pointer);
  return text.str();
}

template <typename Slot>
const void* slotAddress(Slot slot) {
  return reinterpret_cast<const void*>(slot);
}

template <typename Slot>
bool bindExport(HMODULE module, const char* name, Slot& slot) {
  // Through void*: FARPROC's own function type differs from every export's on Windows.
  slot = reinterpret_cast<Slot>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return slot != nullptr;
}

std::wstring hostModulePath() {
  std::vector<wchar_t> buffer(kModulePathUnits, L'\0');
  GetModuleFileNameW(nullptr, buffer.data(), kModulePathUnits);
  return std::wstring(buffer.data());
}

// Converts a text of xmlsec1's report; bytes that are not UTF-8 must not fail the report.
std::wstring reportText(const char* text) {
  try {
    return Utf8ToWide(text);
  } catch (...) {
    std::wstring wide;
    for (const char* c = text; *c != '\0'; ++c) {
      const auto byte = static_cast<unsigned char>(*c);
      wide += byte < 0x80 ? static_cast<wchar_t>(byte) : L'\xFFFD';
    }
    return wide;
  }
}

}  // namespace

VektQuilletImpl::VektQuilletImpl() {
  _wsetlocale(LC_CTYPE, userLocaleName().c_str());
  std::wstring path = hostModulePath();
  traceFileVersion(path);
  initCode = Ok;
  if (preloadDependencies(path) != 0) {
    initCode = DependencyLoadFailed;
  }
  bindProxy(path + proxyLibrarySuffix());
}

void VektQuilletImpl::bindProxy(const std::wstring& proxyPath) {
  HMODULE proxy = LoadLibraryW(proxyPath.c_str());
  if (proxy == nullptr) {
    initCode = ProxyLoadFailed;
  } else {
    bool all = true;
    all &= bindExport(proxy, "InitXmlSec", InitXmlSec);
    all &= bindExport(proxy, "ShutDownXmlSec", ShutDownXmlSec);
    all &= bindExport(proxy, "Verify", Verify);
    all &= bindExport(proxy, "PreparePrivateKey", PreparePrivateKey);
    all &= bindExport(proxy, "CreateSignatureTemplate", CreateSignatureTemplate);
    all &= bindExport(proxy, "Sign", Sign);
    all &= bindExport(proxy, "FreeXmlBuffer", FreeXmlBuffer);
    if (!all) {
      initCode = ProxyEntryMissing;
    }
    bindExport(proxy, "DestroyKey", DestroyKey);
    bindExport(proxy, "DestroyTemplate", DestroyTemplate);
  }
  traceBindingLine(proxy, proxyPath);
}

void VektQuilletImpl::traceBindingLine(HMODULE proxy, const std::wstring& proxyPath) const {
  std::wostringstream line;
  line << L"Initialization: " << initCode << L" (" << pointerText(proxy) << L", " << proxyPath
       << L")" << L" [";
  for (const void* slot :
       {slotAddress(InitXmlSec), slotAddress(ShutDownXmlSec), slotAddress(Verify),
        slotAddress(PreparePrivateKey), slotAddress(CreateSignatureTemplate), slotAddress(Sign),
        slotAddress(FreeXmlBuffer)}) {
    line << L" " << pointerText(slot);
  }
  line << L"]";
  trace(line.str(), Ok, 0);
}

int VektQuilletImpl::ensureInitialized() {
  if (initCode != Ok) {
    trace(L"1) Initialization failed: " + std::to_wstring(initCode), Ok, 0);
    return initCode;
  }
  int status = 0;
  initCode = InitXmlSec(&trace, &xmlSecErrorToTrace, &status);
  if (initCode != Ok) {
    trace(L"2) Initialization failed: " + std::to_wstring(initCode), Ok, 0);
  }
  return initCode;
}

}  // namespace quillet::host

extern "C" void xmlSecErrorToTrace(const char* file, int line, const char* func,
                                   const char* errorObject, const char* errorSubject, int reason,
                                   const char* msg) {
  try {
    std::wostringstream text;
    auto put = [&text](const char* part) {
      if (part != nullptr) {
        text << quillet::host::escapedValue(quillet::host::reportText(part));
      }
    };
    text << L"[";
    put(file);
    text << L" (" << line << L") ";
    put(func);
    text << L"(";
    put(errorObject);
    text << L", ";
    put(errorSubject);
    text << L") " << reason << L"] ";
    put(msg);
    quillet::host::trace(text.str(), Ok, 0);
  } catch (...) {
    // The report runs inside xmlsec1's C code: nothing may leave it.
  }
}
