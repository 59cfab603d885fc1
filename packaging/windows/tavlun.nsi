; The Windows installer: tavlun.exe into Program Files, a Start-menu entry,
; an entry in the installed programs with its uninstaller. Built by CMake
; (packaging/windows/CMakeLists.txt), which defines VERSION (1.0.4),
; FILE_VERSION (1.0.0.4), YEAR, DESCRIPTION, EXE, ICON and OUTFILE.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavlun"

Name "Tavlun ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tavlun"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "Tavlun"
VIAddVersionKey /LANG=0 "FileDescription" "${DESCRIPTION}"
VIAddVersionKey /LANG=0 "FileVersion" "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "© ${YEAR} Tavlun"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\tavlun.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Turkish"
!insertmacro MUI_LANGUAGE "English"

Section "Tavlun"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "/oname=tavlun.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Tavlun.lnk" "$INSTDIR\tavlun.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tavlun"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tavlun.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Tavlun.lnk"
  Delete "$INSTDIR\tavlun.exe"
  ; This runs from a copy of the uninstaller, which the original started
  ; and may still be ending: its file is taken once it has.
  StrCpy $0 0
  retry:
    Delete "$INSTDIR\uninstall.exe"
    IfFileExists "$INSTDIR\uninstall.exe" 0 deleted
    IntOp $0 $0 + 1
    IntCmp $0 100 deleted
    Sleep 100
    Goto retry
  deleted:
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
