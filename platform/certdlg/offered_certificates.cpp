#include "platform/certdlg/offered_certificates.h"

#include <array>

#include "platform/certdlg/certificate_texts.h"

namespace quillet::certdlg {
namespace {

using Sha1 = std::array<BYTE, 20>;

std::optional<Sha1> hashOf(PCCERT_CONTEXT certificate) {
  Sha1 hash = {};
  DWORD size = static_cast<DWORD>(hash.size());
  if (!CertGetCertificateContextProperty(certificate, CERT_SHA1_HASH_PROP_ID, hash.data(), &size) ||
      size != hash.size()) {
    return std::nullopt;
  }
  return hash;
}

bool accepted(const CERT_SELECT_STRUCT_W& request, PCCERT_CONTEXT certificate) {
  if (request.pfnFilter == nullptr) return true;
  return request.pfnFilter(certificate, request.lCustData, /*dwFlags=*/0,
                           /*dwDisplayWell=*/0) != FALSE;
}

OfferedCertificate rowFor(PCCERT_CONTEXT certificate) {
  OfferedCertificate row;
  row.context = CertDuplicateCertificateContext(certificate);
  row.owner = OwnerText(certificate);
  row.issuer = IssuerText(certificate);
  row.validTo = ValidToText(certificate);
  return row;
}

}  // namespace

OfferedCertificates::OfferedCertificates(const CERT_SELECT_STRUCT_W& request) {
  for (DWORD i = 0; i < request.cCertStore && request.arrayCertStore != nullptr; ++i) {
    HCERTSTORE store = request.arrayCertStore[i];
    if (store == nullptr) continue;
    PCCERT_CONTEXT certificate = nullptr;
    while ((certificate = CertEnumCertificatesInStore(store, certificate)) != nullptr) {
      if (accepted(request, certificate)) rows_.push_back(rowFor(certificate));
    }
  }
}

OfferedCertificates::~OfferedCertificates() {
  for (const OfferedCertificate& row : rows_) CertFreeCertificateContext(row.context);
}

std::optional<std::size_t> OfferedCertificates::RowOf(PCCERT_CONTEXT certificate) const {
  if (certificate == nullptr) return std::nullopt;
  const std::optional<Sha1> wanted = hashOf(certificate);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].context == certificate) return i;
    if (wanted && hashOf(rows_[i].context) == wanted) return i;
  }
  return std::nullopt;
}

}  // namespace quillet::certdlg
