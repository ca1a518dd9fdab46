#include "platform/wide_locale.h"

#include <string>

#include "platform/utf16_linux.h"

wchar_t* _wsetlocale(int category, const wchar_t* locale) {
  std::string name;
  if (locale != nullptr && !quillet::platform::utf8FromWide(locale, &name)) return nullptr;
  const char* result = std::setlocale(category, locale != nullptr ? name.c_str() : nullptr);
  if (result == nullptr) return nullptr;
  thread_local std::wstring answer;
  if (!quillet::platform::wideFromUtf8(result, &answer)) return nullptr;
  return answer.data();
}
