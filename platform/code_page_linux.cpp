#include "platform/code_page.h"

#include <string>

#include "platform/last_error.h"
#include "platform/utf16_linux.h"

namespace {

using quillet::platform::Malformed;
using quillet::platform::UnitSink;

// Checks the arguments both directions share; sets ERROR_INVALID_PARAMETER when they fail.
bool argumentsValid(UINT codePage, DWORD flags, DWORD allowedFlags, const void* input,
                    int inputLength, int outputSize) {
  if (codePage != CP_UTF8 || (flags & ~allowedFlags) != 0 || input == nullptr || inputLength == 0 ||
      inputLength < -1 || outputSize < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

// Runs convert (which returns false for a character it refuses) once to count and check,
// then, when there is an output buffer, again to store: the count when only the size was
// asked for, else the units if they fit, else ERROR_INSUFFICIENT_BUFFER after storing what
// fits. A refused character leaves the output untouched.
template <typename Unit, typename Convert>
int deliver(Convert convert, Unit* output, int outputSize) {
  UnitSink<Unit> counted;
  if (!convert(&counted)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  const int needed = static_cast<int>(counted.count());
  if (outputSize == 0) return needed;
  UnitSink<Unit> stored(output, static_cast<std::size_t>(outputSize), needed <= outputSize);
  convert(&stored);
  if (needed > outputSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  return needed;
}

// The number of input units the caller gave: -1 means up to and including the NUL.
template <typename Unit>
std::size_t inputUnits(const Unit* input, int length) {
  return length == -1 ? std::char_traits<Unit>::length(input) + 1
                      : static_cast<std::size_t>(length);
}

// A malformed character is refused when the caller's flag asks for it, else replaced.
Malformed modeFor(DWORD flags, DWORD refuseFlag) {
  return (flags & refuseFlag) != 0 ? Malformed::kRefuse : Malformed::kReplace;
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  if (!argumentsValid(CodePage, dwFlags, MB_ERR_INVALID_CHARS, lpMultiByteStr, cbMultiByte,
                      cchWideChar)) {
    return 0;
  }
  const std::size_t end = inputUnits(lpMultiByteStr, cbMultiByte);
  const Malformed mode = modeFor(dwFlags, MB_ERR_INVALID_CHARS);
  auto convert = [&](UnitSink<WCHAR>* out) {
    return quillet::platform::convertUtf8ToUtf16(lpMultiByteStr, end, mode, out);
  };
  return deliver(convert, lpWideCharStr, cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
  if (!argumentsValid(CodePage, dwFlags, WC_ERR_INVALID_CHARS, lpWideCharStr, cchWideChar,
                      cbMultiByte)) {
    return 0;
  }
  if (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::size_t end = inputUnits(lpWideCharStr, cchWideChar);
  const Malformed mode = modeFor(dwFlags, WC_ERR_INVALID_CHARS);
  auto convert = [&](UnitSink<char>* out) {
    return quillet::platform::convertUtf16ToUtf8(lpWideCharStr, end, mode, out);
  };
  return deliver(convert, lpMultiByteStr, cbMultiByte);
}
