#include "platform/locale_info.h"

#include <cstdlib>
#include <string>

#include "platform/last_error.h"
#include "platform/utf16_linux.h"

namespace {

// The locale name the environment gives the character type.
std::string userLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return "C";
}

struct LocaleParts {
  std::string language;
  std::string territory;
  std::string codeset;
};

LocaleParts splitLocale(std::string name) {
  LocaleParts parts;
  name = name.substr(0, name.find('@'));
  const std::size_t dot = name.find('.');
  if (dot != std::string::npos) {
    parts.codeset = name.substr(dot + 1);
    name.resize(dot);
  }
  const std::size_t underscore = name.find('_');
  if (underscore != std::string::npos) {
    parts.territory = name.substr(underscore + 1);
    name.resize(underscore);
  }
  parts.language = name;
  return parts;
}

// The answer to a query; false for a query this layer does not know.
bool localeAnswer(LCTYPE type, std::string* text) {
  const LocaleParts parts = splitLocale(userLocaleName());
  switch (type) {
    case LOCALE_SENGLANGUAGE:
    case LOCALE_SISO639LANGNAME:
      *text = parts.language;
      return true;
    case LOCALE_SENGCOUNTRY:
    case LOCALE_SISO3166CTRYNAME:
      *text = parts.territory;
      return true;
    case LOCALE_IDEFAULTANSICODEPAGE:
    case LOCALE_IDEFAULTCODEPAGE:
      *text = parts.codeset;
      return true;
    default:
      return false;
  }
}

}  // namespace

int GetLocaleInfoW(LCID Locale, LCTYPE LCType, LPWSTR lpLCData, int cchData) {
  if ((Locale != LOCALE_USER_DEFAULT && Locale != LOCALE_SYSTEM_DEFAULT) || cchData < 0 ||
      (lpLCData == nullptr && cchData != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string text;
  std::wstring wide;
  if (!localeAnswer(LCType & ~static_cast<LCTYPE>(LOCALE_NOUSEROVERRIDE), &text)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (!quillet::platform::wideFromUtf8(text, &wide)) wide.clear();
  const int needed = static_cast<int>(wide.size()) + 1;
  if (cchData == 0) return needed;
  if (cchData < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  wide.copy(lpLCData, wide.size());
  lpLCData[wide.size()] = L'\0';
  return needed;
}
