#include "host/trace.h"

#include <iomanip>
#include <sstream>

#include "host/log.h"
#include "host/result_message.h"
#include "host/scoped_capi.h"

namespace quillet::host {

int trace(const wchar_t* text, int code, DWORD systemError) {
  if (code == 0) {
    logLine(std::wstring(text));
    return 0;
  }
  std::wostringstream line;
  line << L"ERROR=" << code << L" (" << text << L")";
  logLine(line.str());
  if (systemError != 0) {
    std::wostringstream detail;
    detail << L"\tGetLastError(" << std::hex << std::setw(8) << std::setfill(L'0') << systemError
           << L"h): " << systemErrorText(systemError);
    logLine(detail.str());
  }
  return 0;
}

int trace(const std::wstring& text, int code, DWORD systemError) {
  return trace(text.c_str(), code, systemError);
}

void traceResult(const std::wstring& text, int code, DWORD systemError) {
  if (code == 0) {
    trace(text, code, systemError);
    return;
  }
  trace(text + L" " + resultMessage(code), code, systemError);
}

std::wstring systemErrorText(DWORD systemError) {
  if (systemError == 0) return std::wstring();
  LPWSTR buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      /*source=*/nullptr, systemError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPWSTR>(&buffer), /*size=*/0, /*arguments=*/nullptr);
  const ScopedLocalAlloc<wchar_t> owned(buffer);
  if (length == 0 || buffer == nullptr) return std::wstring();
  return std::wstring(buffer, length);
}

}  // namespace quillet::host
