#include "platform/certdlg/certificate_texts.h"

#include <ctime>
#include <vector>

#include "platform/file_time_convert_linux.h"

namespace quillet::certdlg {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool IsHighSurrogate(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(unsigned code_point, std::string* out) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

// CertGetNameStringW into a string, sized by a first call.
std::string NameText(PCCERT_CONTEXT certificate, DWORD type, DWORD flags) {
  const DWORD size = CertGetNameStringW(certificate, type, flags, nullptr, nullptr, 0);
  std::vector<wchar_t> name(size > 0 ? size : 1, L'\0');
  CertGetNameStringW(certificate, type, flags, nullptr, name.data(),
                     static_cast<DWORD>(name.size()));
  name.back() = L'\0';
  return Utf8FromUtf16(name.data());
}

}  // namespace

std::string Utf8FromUtf16(const wchar_t* text) {
  std::string out;
  if (text == nullptr) return out;
  for (const wchar_t* p = text; *p != L'\0'; ++p) {
    const unsigned unit = static_cast<unsigned>(*p) & 0xFFFF;
    const unsigned next = static_cast<unsigned>(p[1]) & 0xFFFF;
    if (IsHighSurrogate(unit) && IsLowSurrogate(next)) {
      AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), &out);
      ++p;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(kReplacement, &out);
    } else {
      AppendUtf8(unit, &out);
    }
  }
  return out;
}

std::string OwnerText(PCCERT_CONTEXT certificate) {
  return NameText(certificate, CERT_NAME_FRIENDLY_DISPLAY_TYPE, /*flags=*/0);
}

std::string IssuerText(PCCERT_CONTEXT certificate) {
  return NameText(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, CERT_NAME_ISSUER_FLAG);
}

std::string ValidToText(PCCERT_CONTEXT certificate) {
  const std::time_t until =
      static_cast<std::time_t>(platform::UnixFromFileTime(certificate->pCertInfo->NotAfter));
  std::tm local = {};
  if (localtime_r(&until, &local) == nullptr) return std::string();
  char text[32] = {};
  std::strftime(text, sizeof(text), "%d.%m.%Y", &local);
  return text;
}

}  // namespace quillet::certdlg
