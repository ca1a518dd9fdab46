; The per-user Windows installer of Quillet: installs the bundle (QuilletHost.exe,
; QuilletProxy.dll and their DLLs) into the user's program folder without administrator
; rights, places the native messaging manifests beside it, registers the host
; "tavlin.quillet" for Google Chrome, Chromium, Microsoft Edge and Firefox under
; HKEY_CURRENT_USER, and adds an uninstaller entry. The uninstaller removes all of it.
;
; Built by scripts/build-installer.sh, which passes:
;   VERSION    the product version (1.2.0.0)
;   BUNDLE     the bundle directory (build-win/<arch>/bin)
;   GENERATED  the directory holding the manifests and the file lists made from the bundle
;   OUTFILE    the installer to write
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define NAME "tavlin.quillet"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"

Name "Quillet ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Quillet"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Quillet"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Quillet installer"
VIAddVersionKey "LegalCopyright" "tavlin"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The browsers' registry keys for a native messaging host of the current user: the default
; value names the manifest file.
!macro RegisterHost VENDOR_KEY MANIFEST
  WriteRegStr HKCU "Software\${VENDOR_KEY}\NativeMessagingHosts\${NAME}" "" "$INSTDIR\${MANIFEST}"
!macroend
; Deletes the host's key, then each parent the registration may have made when it is left
; empty (never a key that holds anything else).
!macro UnregisterHost VENDOR_KEY
  DeleteRegKey HKCU "Software\${VENDOR_KEY}\NativeMessagingHosts\${NAME}"
  DeleteRegKey /ifempty HKCU "Software\${VENDOR_KEY}\NativeMessagingHosts"
  DeleteRegKey /ifempty HKCU "Software\${VENDOR_KEY}"
!macroend

Section "Quillet"
  SetOutPath "$INSTDIR"
  !include "${GENERATED}/install_files.nsh"
  File "${GENERATED}/${NAME}.chromium.json"
  File "${GENERATED}/${NAME}.firefox.json"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  !insertmacro RegisterHost "Google\Chrome" "${NAME}.chromium.json"
  !insertmacro RegisterHost "Chromium" "${NAME}.chromium.json"
  !insertmacro RegisterHost "Microsoft\Edge" "${NAME}.chromium.json"
  !insertmacro RegisterHost "Mozilla" "${NAME}.firefox.json"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quillet"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "tavlin"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\QuilletHost.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  !insertmacro UnregisterHost "Google\Chrome"
  DeleteRegKey /ifempty HKCU "Software\Google"
  !insertmacro UnregisterHost "Chromium"
  !insertmacro UnregisterHost "Microsoft\Edge"
  !insertmacro UnregisterHost "Mozilla"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ; Only the files the installer placed; a folder holding anything else stays.
  !include "${GENERATED}/uninstall_files.nsh"
  Delete "$INSTDIR\${NAME}.chromium.json"
  Delete "$INSTDIR\${NAME}.firefox.json"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
