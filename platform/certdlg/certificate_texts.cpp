#include "platform/certdlg/certificate_texts.h"

#include <ctime>
#include <vector>

#include "platform/file_time_convert_linux.h"
#include "platform/utf16_linux.h"

namespace quillet::certdlg {
namespace {

// CertGetNameStringW into a string, sized by a first call.
std::string nameText(PCCERT_CONTEXT certificate, DWORD type, DWORD flags) {
  const DWORD size = CertGetNameStringW(certificate, type, flags, nullptr, nullptr, 0);
  std::vector<wchar_t> name(size > 0 ? size : 1, L'\0');
  CertGetNameStringW(certificate, type, flags, nullptr, name.data(),
                     static_cast<DWORD>(name.size()));
  name.back() = L'\0';
  return Utf8FromUtf16(name.data());
}

}  // namespace

std::string Utf8FromUtf16(const wchar_t* text) { return platform::utf8FromWideForDisplay(text); }

std::string OwnerText(PCCERT_CONTEXT certificate) {
  return nameText(certificate, CERT_NAME_FRIENDLY_DISPLAY_TYPE, /*flags=*/0);
}

std::string IssuerText(PCCERT_CONTEXT certificate) {
  return nameText(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, CERT_NAME_ISSUER_FLAG);
}

std::string ValidToText(PCCERT_CONTEXT certificate) {
  const std::time_t until =
      static_cast<std::time_t>(platform::unixFromFileTime(certificate->pCertInfo->NotAfter));
  std::tm local = {};
  if (localtime_r(&until, &local) == nullptr) return std::string();
  char text[32] = {};
  std::strftime(text, sizeof(text), "%d.%m.%Y", &local);
  return text;
}

}  // namespace quillet::certdlg
