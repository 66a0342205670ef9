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
!define CHECKER "${CHECKER_DIR}\Verlift.exe"
!define CHECKER_KEY "SOFTWARE\Brennick\Verlift"
; Windows' count of the installs that use a shared file, by the file's path.
!define SHARED_DLLS "Software\Microsoft\Windows\CurrentVersion\SharedDLLs"
; Each player folder has an uninstall entry of its own: this one, or this one followed by
; ".2", ".3" ... up to ".${MAX_INSTALLS}".
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TavoHushbell"
!define MAX_INSTALLS 16
!define UNINSTALLER "uninstall-hushbell.exe"
!define UPDATER_INI "$INSTDIR\Plugins\gen_hushbell.ini"
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

Var UninstallKey  ; the uninstall entry of the install in $INSTDIR
Var HasEntry      ; 1: that entry exists, and with it this folder's one use of the checker

; Finds the uninstall entry whose InstallLocation is $INSTDIR, else the first free one ($HasEntry
; 0; $UninstallKey empty when all are taken).
!macro FIND_UNINSTALL_KEY un
Function ${un}FindUninstallKey
  StrCpy $UninstallKey ""
  StrCpy $HasEntry 0
  StrCpy $0 1
  ${Do}
    StrCpy $1 "${UNINSTALL_KEY}"
    ${If} $0 > 1
      StrCpy $1 "${UNINSTALL_KEY}.$0"
    ${EndIf}
    ReadRegStr $2 HKLM $1 "InstallLocation"
    ${If} $2 == $INSTDIR
      StrCpy $UninstallKey $1
      StrCpy $HasEntry 1
      ${Break}
    ${ElseIf} $2 == ""
    ${AndIf} $UninstallKey == ""
      StrCpy $UninstallKey $1
    ${EndIf}
    IntOp $0 $0 + 1
  ${LoopWhile} $0 <= ${MAX_INSTALLS}
FunctionEnd
!macroend
!insertmacro FIND_UNINSTALL_KEY ""
!insertmacro FIND_UNINSTALL_KEY "un."

Section "Install"
  !insertmacro REQUIRE_PLAYER_CLOSED
  Call FindUninstallKey
  ${If} $UninstallKey == ""
    MessageBox MB_ICONSTOP "${PRODUCT} is installed in ${MAX_INSTALLS} Winamp folders already. Uninstall one first." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  SetOutPath "$INSTDIR\Plugins"
  File "${BIN_DIR}\gen_hushbell.dll"
  ; The checker's description of this product, in a file that starts as UTF-16: the profile
  ; functions keep a file's encoding, and an 8-bit file would hold a folder name outside the
  ; ANSI code page as "?"s, so the checker would never find the plug-in's version. The time of
  ; the checker's last check survives the rewrite.
  ReadINIStr $5 "${UPDATER_INI}" "LastCheck" "lo"
  ReadINIStr $6 "${UPDATER_INI}" "LastCheck" "hi"
  FileOpen $0 "${UPDATER_INI}" w
  FileWriteWord $0 0xFEFF
  FileClose $0
  WriteINIStr "${UPDATER_INI}" "Update" "Name" "${PRODUCT}"
  WriteINIStr "${UPDATER_INI}" "Update" "homepage" "${HOMEPAGE}"
  WriteINIStr "${UPDATER_INI}" "Update" "interval" "7"
  WriteINIStr "${UPDATER_INI}" "Files" "gen_hushbell" "$INSTDIR\Plugins\gen_hushbell.dll"
  ${If} $5 != ""
    WriteINIStr "${UPDATER_INI}" "LastCheck" "lo" $5
  ${EndIf}
  ${If} $6 != ""
    WriteINIStr "${UPDATER_INI}" "LastCheck" "hi" $6
  ${EndIf}

  ; The checker is shared with Brennick's other products. Each install folder counts once (a
  ; reinstall into the same folder does not count again); a copy nobody counted is in use by
  ; someone. An older checker never replaces a newer one.
  ReadRegDWORD $0 HKLM "${SHARED_DLLS}" "${CHECKER}"
  IntOp $0 $0 + 0
  ${If} ${FileExists} "${CHECKER}"
  ${OrIf} $HasEntry = 1
  ${AndIf} $0 = 0
    StrCpy $0 1
  ${EndIf}
  ${If} $HasEntry = 0
    IntOp $0 $0 + 1
  ${EndIf}
  WriteRegDWORD HKLM "${SHARED_DLLS}" "${CHECKER}" $0
  GetDLLVersionLocal "${BIN_DIR}\Verlift.exe" $1 $2
  ClearErrors
  GetDLLVersion "${CHECKER}" $3 $4
  ${If} ${Errors}  ; no checker there, or one without a version
    StrCpy $3 0
    StrCpy $4 0
  ${EndIf}
  ${If} $3 U> $1
  ${ElseIf} $3 = $1
  ${AndIf} $4 U> $2
  ${Else}  ; not newer than this one
    SetOutPath "${CHECKER_DIR}"
    File "${BIN_DIR}\Verlift.exe"
  ${EndIf}
  WriteRegStr HKLM "${CHECKER_KEY}" "2.0" "${CHECKER}"

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ${If} $UninstallKey == "${UNINSTALL_KEY}"
    WriteRegStr HKLM $UninstallKey "DisplayName" "${PRODUCT} (Winamp plug-in)"
  ${Else}
    WriteRegStr HKLM $UninstallKey "DisplayName" "${PRODUCT} (Winamp plug-in in $INSTDIR)"
  ${EndIf}
  WriteRegStr HKLM $UninstallKey "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM $UninstallKey "Publisher" "Brennick"
  WriteRegStr HKLM $UninstallKey "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM $UninstallKey "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM $UninstallKey "NoModify" 1
  WriteRegDWORD HKLM $UninstallKey "NoRepair" 1
SectionEnd

; Opens the plug-in's own configuration dialog on Winamp's INI file, owned by this window.
; Never reached in a silent install, which shows no finish page.
Function ConfigureNow
  System::Call '"$INSTDIR\Plugins\gen_hushbell.dll"::instConfig(p $HWNDPARENT, m "$INSTDIR\winamp.ini") i .r0 ?u'
FunctionEnd

Section "Uninstall"
  !insertmacro REQUIRE_PLAYER_CLOSED
  Delete "$INSTDIR\Plugins\gen_hushbell.dll"
  Delete "${UPDATER_INI}"
  ; This folder's use of the shared checker ends with its uninstall entry, so a second run
  ; counts nothing. The last user takes the checker and the value naming it away.
  Call un.FindUninstallKey
  ${If} $HasEntry = 1
    ReadRegDWORD $0 HKLM "${SHARED_DLLS}" "${CHECKER}"
    IntOp $0 $0 - 1
    ${If} $0 > 0
      WriteRegDWORD HKLM "${SHARED_DLLS}" "${CHECKER}" $0
    ${Else}
      DeleteRegValue HKLM "${SHARED_DLLS}" "${CHECKER}"
      Delete "${CHECKER}"
      RMDir "${CHECKER_DIR}"
      RMDir "$PROGRAMFILES\Brennick"
      ReadRegStr $1 HKLM "${CHECKER_KEY}" "2.0"
      ${If} $1 == "${CHECKER}"
        DeleteRegValue HKLM "${CHECKER_KEY}" "2.0"
      ${EndIf}
      DeleteRegKey /ifempty HKLM "${CHECKER_KEY}"
      DeleteRegKey /ifempty HKLM "SOFTWARE\Brennick"
    ${EndIf}
    DeleteRegKey HKLM $UninstallKey
  ${EndIf}
  Delete "$INSTDIR\${UNINSTALLER}"
SectionEnd
