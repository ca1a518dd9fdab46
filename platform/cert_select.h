// The certificate selection dialog of cryptdlg: CERT_SELECT_STRUCT_W, its callback types
// and CertSelectCertificateW, with the Windows SDK names and layout.
//
// CertSelectCertificateW is not part of the platform library: on Windows it lives in
// cryptdlg.dll, on Linux in the dialog library libQuilletCertDialog.so
// (platform/certdlg/). Both are loaded by name at run time; nothing links them.
//
// Contract (the Linux dialog implements it so):
// - Lists the certificates of the cCertStore stores in arrayCertStore, in enumeration
//   order, that pfnFilter accepts (every certificate when pfnFilter is NULL); the filter
//   gets the context, lCustData and two zero DWORDs, and TRUE shows the certificate.
// - szTitle is the window title; hwndParent, when not NULL, is the owner window (an X11
//   window id on Linux: the dialog is made transient for it when it exists).
// - cCertContext in: the number of slots of arrayCertContext (at least 1); slot 0 in: a
//   preselected certificate or NULL.
// - Returns TRUE when the user confirms. cCertContext out: 1 with the chosen certificate
//   in slot 0 (a new reference the caller releases; the context it replaces is released
//   by the dialog), or 0 when nothing was chosen (slot 0 is then left as it was).
// - Returns FALSE on Cancel, Escape or closing the window, when there is no display, and
//   with ERROR_INVALID_PARAMETER on a bad structure (NULL, dwSize too small, no slot).
//   Slot 0 and cCertContext are then left as they were.
// - pTemplateName, hInstance, dwFlags, szPurposeOid, pfnHook, szHelpFileName, dwHelpId
//   and hprov are accepted and not used on Linux.
#pragma once

#include "platform/crypt_types.h"
#include "platform/win_types.h"
// After the types it uses.
#include "platform/cert_select_struct.h"

#if defined(QUILLET_CERTDLG_BUILD)
#define QUILLET_CERTDLG_API extern "C" __attribute__((visibility("default")))
#else
#define QUILLET_CERTDLG_API extern "C"
#endif

// Shows the modal selection dialog and waits until the user closes it (contract above).
QUILLET_CERTDLG_API BOOL WINAPI CertSelectCertificateW(PCERT_SELECT_STRUCT_W pCertSelectInfo);
