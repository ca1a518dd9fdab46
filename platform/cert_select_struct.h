// cryptdlg's certificate selection structure and its callback types, with the Windows SDK
// names and layout, for both platforms: on Linux for the dialog library's
// CertSelectCertificateW (platform/cert_select.h), on Windows because MinGW-w64 has neither
// cryptdlg.h nor an import library (CertSelectCertificateW is bound by name from
// cryptdlg.dll at run time: host/host_platform_win.cpp). The Windows types come
// first: from windows.h and wincrypt.h, or from the Linux platform's type headers.
#pragma once

// Filter: TRUE shows the certificate in the list.
typedef BOOL(WINAPI* PFNCMFILTERPROC)(PCCERT_CONTEXT pCertContext, LPARAM lCustData, DWORD dwFlags,
                                      DWORD dwDisplayWell);
// Hook of the dialog's window procedure (not called on Linux).
typedef UINT(WINAPI* PFNCMHOOKPROC)(HWND hwndDialog, UINT message, WPARAM wParam, LPARAM lParam);

typedef struct tagCSSW {
  DWORD dwSize;
  HWND hwndParent;
  HINSTANCE hInstance;
  LPCWSTR pTemplateName;
  DWORD dwFlags;
  LPCWSTR szTitle;
  DWORD cCertStore;
  HCERTSTORE* arrayCertStore;
  LPCSTR szPurposeOid;
  DWORD cCertContext;
  PCCERT_CONTEXT* arrayCertContext;
  LPARAM lCustData;
  PFNCMHOOKPROC pfnHook;
  PFNCMFILTERPROC pfnFilter;
  LPCWSTR szHelpFileName;
  DWORD dwHelpId;
  HCRYPTPROV hprov;
} CERT_SELECT_STRUCT_W, *PCERT_SELECT_STRUCT_W;
