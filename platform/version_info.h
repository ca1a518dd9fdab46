// Version resources: GetFileVersionInfoSizeW, GetFileVersionInfoW and VerQueryValueW,
// for the fixed-file-info record that quillet_version_record() (cmake/QuilletVersion.cmake)
// puts into a binary.
//
// On Linux the record is the VS_VERSIONINFO block of a Windows version resource
// (wLength, wValueLength, wType, L"VS_VERSION_INFO", VS_FIXEDFILEINFO), kept in the ELF
// section ".quillet_version" of the file and read back from the file itself. Only the
// root block L"\\" (the VS_FIXEDFILEINFO) is answered by VerQueryValueW.
//
// Error codes: ERROR_FILE_NOT_FOUND (no such file), ERROR_ACCESS_DENIED (unreadable),
// ERROR_RESOURCE_TYPE_NOT_FOUND (not an ELF file, no record, or no such value),
// ERROR_RESOURCE_DATA_NOT_FOUND (a record that is not a VS_VERSIONINFO block),
// ERROR_INVALID_PARAMETER.
#pragma once

#include "platform/api.h"
#include "platform/win_types.h"

#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L

#define VS_FFI_SIGNATURE 0xFEEF04BDL
#define VS_FFI_STRUCVERSION 0x00010000L
#define VS_FFI_FILEFLAGSMASK 0x0000003FL
#define VOS_NT_WINDOWS32 0x00040004L
#define VFT_UNKNOWN 0x00000000L
#define VFT_APP 0x00000001L
#define VFT_DLL 0x00000002L

typedef struct tagVS_FIXEDFILEINFO {
  DWORD dwSignature;
  DWORD dwStrucVersion;
  DWORD dwFileVersionMS;
  DWORD dwFileVersionLS;
  DWORD dwProductVersionMS;
  DWORD dwProductVersionLS;
  DWORD dwFileFlagsMask;
  DWORD dwFileFlags;
  DWORD dwFileOS;
  DWORD dwFileType;
  DWORD dwFileSubtype;
  DWORD dwFileDateMS;
  DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

using PUINT = UINT*;

#ifndef HIWORD
#define HIWORD(l) ((WORD)((((DWORD)(l)) >> 16) & 0xffff))
#define LOWORD(l) ((WORD)(((DWORD)(l)) & 0xffff))
#endif

// Returns the size in bytes of the file's version block (0 with the error when it has
// none); *lpdwHandle, when given, is set to 0.
QUILLET_API DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle);

// Copies the file's version block (at most dwLen bytes) into lpData. dwHandle is ignored.
// FALSE with the error when the file has none.
QUILLET_API BOOL WINAPI GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen,
                                            LPVOID lpData);

// Finds a value in a version block. L"\\": *lplpBuffer points at the VS_FIXEDFILEINFO in
// the block and *puLen is its size (0 when the block has none). Any other sub-block:
// FALSE with ERROR_RESOURCE_TYPE_NOT_FOUND.
QUILLET_API BOOL WINAPI VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer,
                                       PUINT puLen);
