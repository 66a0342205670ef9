; Installer of Tavo Hushbell: the plug-in and its updater INI into Winamp's Plugins folder,
; the update checker into Program Files, and the registry value through which the plug-in
; finds the checker.
; makensis -DSOURCE_DIR=<repo> -DBIN_DIR=<built binaries> -DOUT_FILE=<setup.exe> -DHOMEPAGE=<site>

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef HOMEPAGE
  !define HOMEPAGE "https://www.brennick.com/hushbell"
!endif

; The product version comes from the plug-in's version header, like its version resource.
!searchparse /file "${SOURCE_DIR}/plugin/src/version.h" "#define HUSHBELL_VERSION_MAJOR " V_MAJOR
!searchparse /file "${SOURCE_DIR}/plugin/src/version.h" "#define HUSHBELL_VERSION_MINOR " V_MINOR
!searchparse /file "${SOURCE_DIR}/plugin/src/version.h" "#define HUSHBELL_VERSION_PATCH " V_PATCH
!searchparse /file "${SOURCE_DIR}/plugin/src/version.h" "#define HUSHBELL_VERSION_BUILD " V_BUILD
!define VERSION "${V_MAJOR}.${V_MINOR}.${V_PATCH}.${V_BUILD}"

!define PRODUCT "Tavo Hushbell"
!define CHECKER_DIR "$PROGRAMFILES\Brennick\Verlift"
!define CHECKER_KEY "SOFTWARE\Brennick\Verlift"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TavoHushbell"
!define UNINSTALLER "uninstall-hushbell.exe"
; Winamp's main window: while it exists, Winamp holds the plug-in loaded.
!define PLAYER_WINDOW "Winamp v1.x"

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
; Winamp records its folder for the current user; else its usual place. The user may change it.
InstallDir "$PROGRAMFILES\Winamp"
InstallDirRegKey HKCU "Software\Winamp" ""
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "CompanyName" "Brennick"
VIAddVersionKey "LegalCopyright" "Brennick"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will install ${PRODUCT} into the Plugins folder of this Winamp installation. To use another Winamp installation, choose its folder."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Configure now"
!define MUI_FINISHPAGE_RUN_FUNCTION ConfigureNow
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A loaded plug-in can be neither replaced nor removed, and a half-done upgrade would claim a
; version that is not there. So nothing is written or removed while Winamp runs: the user closes
; it and retries, or cancels; a silent run ends at once with exit code 2.
!macro REQUIRE_PLAYER_CLOSED
  player_check:
  FindWindow $0 "${PLAYER_WINDOW}"
  StrCmp $0 0 player_closed
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Winamp is running. Close Winamp, then click Retry." \
    /SD IDCANCEL IDRETRY player_check
  SetErrorLevel 2
  Abort "Winamp is running."
  player_closed:
!macroend

Section "Install"
  !insertmacro REQUIRE_PLAYER_CLOSED
  SetOutPath "$INSTDIR\Plugins"
  File "${BIN_DIR}\gen_hushbell.dll"
  ; The checker's description of this product. Keys are written one by one so that an
  ; earlier install's "LastCheck" section is kept.
  WriteINIStr "$INSTDIR\Plugins\gen_hushbell.ini" "Update" "Name" "${PRODUCT}"
  WriteINIStr "$INSTDIR\Plugins\gen_hushbell.ini" "Update" "homepage" "${HOMEPAGE}"
  WriteINIStr "$INSTDIR\Plugins\gen_hushbell.ini" "Update" "interval" "7"
  WriteINIStr "$INSTDIR\Plugins\gen_hushbell.ini" "Files" "gen_hushbell" "$INSTDIR\Plugins\gen_hushbell.dll"

  SetOutPath "${CHECKER_DIR}"
  File "${BIN_DIR}\Verlift.exe"
  WriteRegStr HKLM "${CHECKER_KEY}" "2.0" "${CHECKER_DIR}\Verlift.exe"

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} (Winamp plug-in)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Brennick"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Opens the plug-in's own configuration dialog on Winamp's INI file, owned by this window.
; Never reached in a silent install, which shows no finish page.
Function ConfigureNow
  System::Call '"$INSTDIR\Plugins\gen_hushbell.dll"::instConfig(p $HWNDPARENT, m "$INSTDIR\winamp.ini") i .r0 ?u'
FunctionEnd

Section "Uninstall"
  !insertmacro REQUIRE_PLAYER_CLOSED
  Delete "$INSTDIR\Plugins\gen_hushbell.dll"
  Delete "$INSTDIR\Plugins\gen_hushbell.ini"
  Delete "${CHECKER_DIR}\Verlift.exe"
  RMDir "${CHECKER_DIR}"
  RMDir "$PROGRAMFILES\Brennick"
  DeleteRegValue HKLM "${CHECKER_KEY}" "2.0"
  DeleteRegKey /ifempty HKLM "${CHECKER_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\Brennick"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\${UNINSTALLER}"
SectionEnd
