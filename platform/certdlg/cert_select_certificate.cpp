// CertSelectCertificateW of the dialog library (contract in platform/cert_select.h).
#include <cstdint>

#include "platform/certdlg/certificate_texts.h"
#include "platform/certdlg/gtk_session.h"
#include "platform/certdlg/offered_certificates.h"
#include "platform/certdlg/selection_window.h"
#include "platform/win32.h"

namespace {

using namespace quillet::certdlg;

constexpr char kDefaultTitle[] = "Выбор сертификата";

bool validRequest(const CERT_SELECT_STRUCT_W* request) {
  return request != nullptr && request->dwSize >= sizeof(CERT_SELECT_STRUCT_W) &&
         request->cCertContext >= 1 && request->arrayCertContext != nullptr;
}

SelectionRequest windowRequest(const CERT_SELECT_STRUCT_W& request,
                               const OfferedCertificates& offered) {
  SelectionRequest window;
  window.title = request.szTitle != nullptr ? Utf8FromUtf16(request.szTitle) : kDefaultTitle;
  window.rows = &offered.rows();
  window.preselected = offered.RowOf(request.arrayCertContext[0]);
  window.parent = reinterpret_cast<std::uintptr_t>(request.hwndParent);
  return window;
}

// Puts the chosen certificate into slot 0, releasing the one it replaces.
void handOver(CERT_SELECT_STRUCT_W* request, PCCERT_CONTEXT chosen) {
  PCCERT_CONTEXT replaced = request->arrayCertContext[0];
  request->arrayCertContext[0] = CertDuplicateCertificateContext(chosen);
  CertFreeCertificateContext(replaced);
  request->cCertContext = 1;
}

}  // namespace

BOOL WINAPI CertSelectCertificateW(PCERT_SELECT_STRUCT_W pCertSelectInfo) {
  if (!validRequest(pCertSelectInfo)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!startGtk()) return FALSE;
  const OfferedCertificates offered(*pCertSelectInfo);
  const Selection selection = runSelectionWindow(windowRequest(*pCertSelectInfo, offered));
  if (!selection.confirmed) return FALSE;
  if (selection.row) {
    handOver(pCertSelectInfo, offered.rows()[*selection.row].context);
  } else {
    pCertSelectInfo->cCertContext = 0;
  }
  return TRUE;
}
