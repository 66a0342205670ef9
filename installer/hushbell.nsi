; Installer of Tavo Hushbell: the plug-in and its updater INI into Winamp's Plugins folder,
; the update checker into Program Files, and the registry value through which the plug-in
; finds the checker.
; makensis -DSOURCE_DIR=<repo> -DBIN_DIR=<built binaries> -DOUT_FILE=<setup.exe> -DHOMEPAGE=<site>

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
; A file that cannot be written stops setup (Retry or Cancel; silent: exit code 2) instead of
; keeping the old file behind a successful end.
AllowSkipFiles off

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
; The registry value through which the plug-in finds the checker, from the header the plug-in
; reads it by: there it is a C literal, so each "\\" becomes one "\" here.
!searchparse /file "${SOURCE_DIR}/plugin/core/checker_registry.h" 'CheckerRegistryKey[] = L"' CHECKER_KEY_C '"'
!searchparse /file "${SOURCE_DIR}/plugin/core/checker_registry.h" 'CheckerRegistryValue[] = L"' CHECKER_VALUE '"'
!searchreplace CHECKER_KEY "${CHECKER_KEY_C}" "\\" "\"
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
; Where the machine, not a user's profile, records Winamp's folder.
!define PLAYER_APP_PATH "Software\Microsoft\Windows\CurrentVersion\App Paths\winamp.exe"
!define PLAYER_UNINSTALL "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp"

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
; The product's own name and look, not the packaging tool's: its version under the buttons, the
; checker's icon (ICON) for setup and the uninstaller, a plain picture (WIZARD_BITMAP) beside the
; finish page.
BrandingText "${PRODUCT} ${VERSION}"
; .onInit finds Winamp's folder (DefaultPlayerFolder); the user may choose another.
InstallDir "$PROGRAMFILES\Winamp"
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "CompanyName" "Brennick"
VIAddVersionKey "LegalCopyright" "Brennick"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WinCore.nsh"
!define /ifndef OPEN_EXISTING 3
!define MUI_ABORTWARNING
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD_BITMAP}"
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will install ${PRODUCT} into the Plugins folder of this Winamp installation. To use another Winamp installation, choose its folder."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Configure now"
!define MUI_FINISHPAGE_RUN_FUNCTION ConfigureNow
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
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

!macro FIND_UNINSTALL_KEY un
; $R0 as the one spelling of its folder: the full long path (an 8.3, "." or ".." spelling names
; the same folder), without a trailing separator. A part that does not exist yet keeps its
; spelling; it has no other.
Function ${un}LongPath
  System::Call 'kernel32::GetFullPathNameW(w R0, i ${NSIS_MAX_STRLEN}, w .R1, p 0) i .R2'
  ${If} $R2 > 0
  ${AndIf} $R2 < ${NSIS_MAX_STRLEN}
    StrCpy $R0 $R1
  ${EndIf}
  StrCpy $R3 ""
  ${Do}
    System::Call 'kernel32::GetLongPathNameW(w R0, w .R1, i ${NSIS_MAX_STRLEN}) i .R2'
    ${If} $R2 > 0
    ${AndIf} $R2 < ${NSIS_MAX_STRLEN}
      StrCpy $R0 "$R1$R3"
      ${Break}
    ${EndIf}
    ; Not there (yet): the longest part that exists, then the rest as given.
    ${GetFileName} $R0 $R1
    ${GetParent} $R0 $R2
    ${If} $R2 == $R0
    ${OrIf} $R2 == ""
      StrCpy $R0 "$R0$R3"
      ${Break}
    ${EndIf}
    StrCpy $R3 "\$R1$R3"
    StrCpy $R0 $R2
  ${Loop}
  StrCpy $R1 $R0 1 -1
  StrLen $R2 $R0
  ${If} $R1 == "\"
  ${AndIf} $R2 > 3
    StrCpy $R0 $R0 -1
  ${EndIf}
FunctionEnd

; Finds the uninstall entry whose InstallLocation is $INSTDIR, else the first free one ($HasEntry
; 0; $UninstallKey empty when all are taken). Both are compared as LongPath gives them, without
; case (==).
Function ${un}FindUninstallKey
  StrCpy $R0 $INSTDIR
  Call ${un}LongPath
  StrCpy $INSTDIR $R0
  StrCpy $UninstallKey ""
  StrCpy $HasEntry 0
  StrCpy $0 1
  ${Do}
    StrCpy $1 "${UNINSTALL_KEY}"
    ${If} $0 > 1
      StrCpy $1 "${UNINSTALL_KEY}.$0"
    ${EndIf}
    ReadRegStr $R0 HKLM $1 "InstallLocation"
    StrCpy $2 $R0
    ${If} $R0 != ""
      Call ${un}LongPath
    ${EndIf}
    ${If} $R0 == $INSTDIR
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

; Stops setup, before it writes anything, when a file it is going to replace ($R0) is in use: the
; checker may be running without a window (a check under way), and a player in another user's
; session holds the plug-in where the window check cannot see it. The file is opened for writing
; as File opens it, so what would fail there fails here first. Retry or Cancel; silent: exit 2.
Function RequireWritable
  retry:
  ${If} ${FileExists} $R0
    System::Call 'kernel32::CreateFileW(w R0, i ${GENERIC_WRITE}, i ${FILE_SHARE_READ}, p 0, i ${OPEN_EXISTING}, i 0, p 0) p .R1'
    ${If} $R1 == ${INVALID_HANDLE_VALUE}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$R0 is in use. Close the program that uses it, then click Retry." \
        /SD IDCANCEL IDRETRY retry
      SetErrorLevel 2
      Abort "$R0 is in use."
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p R1)'
  ${EndIf}
FunctionEnd

; Adds the size of a file in KiB, rounded up, to $0.
!macro ADD_KIB path
  ClearErrors
  FileOpen $1 "${path}" r
  ${IfNot} ${Errors}
    FileSeek $1 0 END $2
    FileClose $1
    IntOp $2 $2 + 1023
    IntOp $2 $2 / 1024
    IntOp $0 $0 + $2
  ${EndIf}
!macroend

Var Uses             ; the checker's count of uses once this install is in place
Var ReplaceChecker   ; 1: this setup's checker is not older than the one there

Section "Install"
  !insertmacro REQUIRE_PLAYER_CLOSED
  Call FindUninstallKey
  ${If} $UninstallKey == ""
    MessageBox MB_ICONSTOP "${PRODUCT} is installed in ${MAX_INSTALLS} Winamp folders already. Uninstall one first." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}

  ; Everything is decided before anything is written. The checker is shared with Brennick's
  ; other products. Each install folder counts once (a reinstall into the same folder does not
  ; count again); a copy nobody counted is in use by someone. An older checker never replaces a
  ; newer one.
  ReadRegDWORD $Uses HKLM "${SHARED_DLLS}" "${CHECKER}"
  IntOp $Uses $Uses + 0
  ${If} ${FileExists} "${CHECKER}"
  ${OrIf} $HasEntry = 1
  ${AndIf} $Uses = 0
    StrCpy $Uses 1
  ${EndIf}
  ${If} $HasEntry = 0
    IntOp $Uses $Uses + 1
  ${EndIf}
  GetDLLVersionLocal "${BIN_DIR}\Verlift.exe" $1 $2
  ClearErrors
  GetDLLVersion "${CHECKER}" $3 $4
  ${If} ${Errors}  ; no checker there, or one without a version
    StrCpy $3 0
    StrCpy $4 0
  ${EndIf}
  StrCpy $ReplaceChecker 1
  ${If} $3 U> $1
    StrCpy $ReplaceChecker 0
  ${ElseIf} $3 = $1
  ${AndIf} $4 U> $2
    StrCpy $ReplaceChecker 0
  ${EndIf}
  ${If} $ReplaceChecker = 1
    StrCpy $R0 "${CHECKER}"
    Call RequireWritable
  ${EndIf}
  StrCpy $R0 "$INSTDIR\Plugins\gen_hushbell.dll"
  Call RequireWritable
  StrCpy $R0 "${UPDATER_INI}"
  Call RequireWritable
  StrCpy $R0 "$INSTDIR\${UNINSTALLER}"
  Call RequireWritable

  SetOutPath "$INSTDIR\Plugins"
  File "${BIN_DIR}\gen_hushbell.dll"
  ; The checker's description of this product, in a file that starts as UTF-16: the profile
  ; functions keep a file's encoding, and an 8-bit file would hold a folder name outside the
  ; ANSI code page as "?"s, so the checker would never find the plug-in's version. The time of
  ; the checker's last check survives the rewrite.
  ReadINIStr $5 "${UPDATER_INI}" "LastCheck" "lo"
  ReadINIStr $6 "${UPDATER_INI}" "LastCheck" "hi"
  ClearErrors
  FileOpen $0 "${UPDATER_INI}" w
  ${If} ${Errors}
    SetErrorLevel 2
    Abort "${UPDATER_INI} cannot be written."
  ${EndIf}
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
  ${If} $ReplaceChecker = 1
    SetOutPath "${CHECKER_DIR}"
    File "${BIN_DIR}\Verlift.exe"
  ${EndIf}
  ClearErrors
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    SetErrorLevel 2
    Abort "$INSTDIR\${UNINSTALLER} cannot be written."
  ${EndIf}

  ; Every file is in place: now the use is counted, together with the entry that ends it, so an
  ; abort before this point leaves neither.
  WriteRegDWORD HKLM "${SHARED_DLLS}" "${CHECKER}" $Uses
  WriteRegStr HKLM "${CHECKER_KEY}" "${CHECKER_VALUE}" "${CHECKER}"
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
  ; What Windows' list of programs shows and management tools use: the uninstaller holds the
  ; product's icon, the size is this folder's files and the shared checker once.
  WriteRegStr HKLM $UninstallKey "DisplayIcon" "$INSTDIR\${UNINSTALLER},0"
  WriteRegStr HKLM $UninstallKey "URLInfoAbout" "${HOMEPAGE}"
  WriteRegStr HKLM $UninstallKey "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  StrCpy $0 0
  !insertmacro ADD_KIB "$INSTDIR\Plugins\gen_hushbell.dll"
  !insertmacro ADD_KIB "${UPDATER_INI}"
  !insertmacro ADD_KIB "$INSTDIR\${UNINSTALLER}"
  !insertmacro ADD_KIB "${CHECKER}"
  WriteRegDWORD HKLM $UninstallKey "EstimatedSize" $0
SectionEnd

Var OtherUser  ; 1: elevated as another account than the desktop's user

; Sets $OtherUser: when a standard user's setup was elevated with an administrator's password,
; this process's HKCU and application data are the administrator's, not those of the user whose
; Winamp this is. The process's account (domain\user) is compared with the session's.
Function DetectOtherUser
  StrCpy $OtherUser 0
  System::Call '"$SYSDIR\secur32.dll"::GetUserNameExW(i 2, w .r0, *i ${NSIS_MAX_STRLEN}) i .r1'
  ${If} $1 = 0
    Return
  ${EndIf}
  !ifdef TEST_SESSION_USER
    StrCpy $2 "${TEST_SESSION_USER}"
  !else
    StrCpy $2 ""
    System::Call '"$SYSDIR\wtsapi32.dll"::WTSQuerySessionInformationW(p 0, i -1, i 7, *p .r3, *i .r4) i .r5'
    ${If} $5 <> 0
      System::Call '*$3(&w${NSIS_MAX_STRLEN} .r6)'
      System::Call '"$SYSDIR\wtsapi32.dll"::WTSFreeMemory(p r3)'
      System::Call '"$SYSDIR\wtsapi32.dll"::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .r3, *i .r4) i .r5'
    ${EndIf}
    ${If} $5 <> 0
      System::Call '*$3(&w${NSIS_MAX_STRLEN} .r7)'
      System::Call '"$SYSDIR\wtsapi32.dll"::WTSFreeMemory(p r3)'
      StrCpy $2 "$6\$7"
    ${EndIf}
  !endif
  ; No session user (a service, no desktop): nobody else to act for.
  ${If} $2 != "\"
  ${AndIf} $2 != ""
  ${AndIf} $2 != $0
    StrCpy $OtherUser 1
  ${EndIf}
FunctionEnd

; $0: Winamp's folder as this machine records it: the user's own record (not when acting for
; another account), Winamp's App Paths or uninstall entry, else its usual place.
Function DefaultPlayerFolder
  StrCpy $0 ""
  ${If} $OtherUser = 0
    ReadRegStr $0 HKCU "Software\Winamp" ""
  ${EndIf}
  ${If} $0 == ""
    ReadRegStr $1 HKLM "${PLAYER_APP_PATH}" ""
    ${If} $1 == ""
      ReadRegStr $1 HKLM "${PLAYER_UNINSTALL}" "UninstallString"
    ${EndIf}
    ${If} $1 != ""
      StrCpy $2 $1 1
      ${If} $2 == '"'
        StrCpy $1 $1 "" 1
        StrCpy $1 $1 -1
      ${EndIf}
      ${GetParent} $1 $0
    ${EndIf}
  ${EndIf}
  ${If} $0 == ""
    StrCpy $0 "$PROGRAMFILES\Winamp"
  ${EndIf}
FunctionEnd

; Unless /D= names a folder, setup goes to Winamp's. A silent setup that finds no Winamp there
; writes nothing and ends with exit code 2, rather than install into an empty folder.
Function .onInit
  Call DetectOtherUser
  System::Call 'kernel32::GetCommandLineW() w .r0'
  ClearErrors
  ${GetOptionsS} $0 " /D=" $1
  ${If} ${Errors}
    Call DefaultPlayerFolder
    StrCpy $INSTDIR $0
    ${If} ${Silent}
    ${AndIfNot} ${FileExists} "$INSTDIR\winamp.exe"
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

Var PlayerIni  ; Winamp's settings file as instConfig takes it, 8-bit; empty when it cannot

; Replaces each {N} in $R0 with the shell's special folder number N (a CSIDL), as Winamp reads
; paths.ini: {26} is the application data folder. Anything else stays as written.
Function ExpandFolderTokens
  StrCpy $R1 ""
  ${Do}
    StrCpy $R2 $R0 1
    ${If} $R2 == ""
      ${Break}
    ${EndIf}
    StrCpy $R0 $R0 "" 1
    ${If} $R2 == "{"
      StrCpy $R3 0
      ${Do}
        StrCpy $R4 $R0 1 $R3
        ${If} $R4 == "}"
        ${OrIf} $R4 == ""
          ${Break}
        ${EndIf}
        IntOp $R3 $R3 + 1
      ${Loop}
      StrCpy $R5 $R0 $R3
      IntOp $R6 $R5 + 0
      ${If} $R4 == "}"
      ${AndIf} $R6 == $R5
        System::Call 'shell32::SHGetSpecialFolderPathW(p 0, w .R7, i R6, i 0) i .R8'
        ${If} $R8 <> 0
          StrCpy $R1 "$R1$R7"
          IntOp $R3 $R3 + 1
          StrCpy $R0 $R0 "" $R3
          ${Continue}
        ${EndIf}
      ${EndIf}
    ${EndIf}
    StrCpy $R1 "$R1$R2"
  ${Loop}
  StrCpy $R0 $R1
FunctionEnd

; Empties $R0 unless it survives the conversion to the ANSI code page that instConfig's 8-bit
; argument goes through.
Function KeepIfAnsi
  System::Call 'kernel32::lstrcpynA(m .R9, m R0, i ${NSIS_MAX_STRLEN})'
  ${IfNot} $R0 S== $R9
    StrCpy $R0 ""
  ${EndIf}
FunctionEnd

; Finds Winamp's settings file where Winamp does: in the folder that inidir of section
; [Winamp] in its paths.ini names (relative to Winamp's folder), else in Winamp's folder. A path
; the ANSI code page cannot hold goes by its short (8.3) form, if it has one.
Function ResolvePlayerIni
  ReadINIStr $R0 "$INSTDIR\paths.ini" "Winamp" "inidir"
  ${If} $R0 == ""
    StrCpy $R0 $INSTDIR
  ${Else}
    Call ExpandFolderTokens
    StrCpy $R1 $R0 1 1
    StrCpy $R2 $R0 1
    ${If} $R1 != ":"
    ${AndIf} $R2 != "\"
      StrCpy $R0 "$INSTDIR\$R0"
    ${EndIf}
    CreateDirectory $R0
  ${EndIf}
  System::Call 'kernel32::GetFullPathNameW(w "$R0\winamp.ini", i ${NSIS_MAX_STRLEN}, w .R0, p 0)'
  StrCpy $R8 $R0
  Call KeepIfAnsi
  ${If} $R0 == ""
    ; Only a file that exists has a short name.
    ${IfNot} ${FileExists} $R8
      FileOpen $R1 $R8 w
      FileClose $R1
    ${EndIf}
    System::Call 'kernel32::GetShortPathNameW(w R8, w .R0, i ${NSIS_MAX_STRLEN}) i .R1'
    ${If} $R1 = 0
      StrCpy $R0 ""
    ${EndIf}
    Call KeepIfAnsi
  ${EndIf}
  StrCpy $PlayerIni $R0
FunctionEnd

; Without a path instConfig can take, the box stays unticked and says where to configure. Acting
; for another account, setup looks at none of its files: they would be that account's, not the
; user's.
Function FinishPageShow
  StrCpy $PlayerIni ""
  ${If} $OtherUser = 0
    Call ResolvePlayerIni
  ${EndIf}
  ${If} $PlayerIni == ""
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
    EnableWindow $mui.FinishPage.Run 0
    SendMessage $mui.FinishPage.Run ${WM_SETTEXT} 0 "STR:Configure it in Winamp: Preferences, Plug-ins, General Purpose"
  ${EndIf}
FunctionEnd

; Opens the plug-in's own configuration dialog on Winamp's settings file, owned by this window.
; The plug-in comes from this installer's own copy: the one in Winamp's folder may be open to
; processes that are not elevated. Never reached in a silent install, which has no finish page.
Function ConfigureNow
  ${If} $PlayerIni != ""
    InitPluginsDir
    File "/oname=$PLUGINSDIR\gen_hushbell.dll" "${BIN_DIR}\gen_hushbell.dll"
    System::Call '"$PLUGINSDIR\gen_hushbell.dll"::instConfig(p $HWNDPARENT, m "$PlayerIni") i .r0 ?u'
  ${EndIf}
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
      ReadRegStr $1 HKLM "${CHECKER_KEY}" "${CHECKER_VALUE}"
      ${If} $1 == "${CHECKER}"
        DeleteRegValue HKLM "${CHECKER_KEY}" "${CHECKER_VALUE}"
      ${EndIf}
      DeleteRegKey /ifempty HKLM "${CHECKER_KEY}"
      DeleteRegKey /ifempty HKLM "SOFTWARE\Brennick"
    ${EndIf}
    DeleteRegKey HKLM $UninstallKey
  ${EndIf}
  Delete "$INSTDIR\${UNINSTALLER}"
SectionEnd
