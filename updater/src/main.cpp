// Verlift: one update check for one product, described by an INI file, then the end.
#include "verlift.h"

#include <commctrl.h>
#include <shellapi.h>

#include <span>

#include "resource.h"
#include "schedule.h"
#include "common_controls.h"
#include "resolve.h"

bool ForceCheck;
HWND OwnerWindow;
char16_t IniPath[IniPathCapacity];
char16_t Homepage[HomepageCapacity];
char16_t NewVersion[NewVersionCapacity];
char16_t DownloadUrl[DownloadUrlCapacity];
HICON AppIcon;

namespace {

template <size_t N>
void Clear(char16_t (&text)[N]) {
  for (char16_t& unit : text) unit = u'\0';
}

void ClearGlobals() {
  ForceCheck = false;
  OwnerWindow = nullptr;
  Clear(IniPath);
  Clear(NewVersion);
  Clear(Homepage);
  Clear(DownloadUrl);
  AppIcon = nullptr;
}

// A find-first-file search: directories and matching wildcard patterns count as existing.
bool FileExists(void*, const char16_t* path) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(Wide(path), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

uint64_t Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

int32_t ReadInt(const wchar_t* section, const wchar_t* key) {
  return static_cast<int32_t>(GetPrivateProfileIntW(section, key, 0, Wide(IniPath)));
}

// The time kept for this user where the INI file cannot be written, 0 when there is none. Only a
// value of the type and size written below counts.
uint64_t ReadUserLastCheck() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, LastCheckKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
  uint64_t time = 0;
  DWORD type = 0, size = sizeof time;
  if (RegQueryValueExW(key, Wide(IniPath), nullptr, &type, reinterpret_cast<BYTE*>(&time), &size) !=
          ERROR_SUCCESS ||
      type != REG_QWORD || size != sizeof time)
    time = 0;
  RegCloseKey(key);
  return time;
}

// A user cannot write beside a plug-in under Program Files, and the checker asks for no
// virtualisation: without a time kept elsewhere every start would check, and show any update
// again. REG_QWORD holds the 64-bit time whole, in one value, as the number it is.
void WriteUserLastCheck(uint64_t now) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, LastCheckKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, Wide(IniPath), 0, REG_QWORD, reinterpret_cast<const BYTE*>(&now), sizeof now);
  RegCloseKey(key);
}

// Everything only the dialog needs is had here, not at start: most runs find no check due.
void ShowUpdateDialog(HINSTANCE instance) {
  // The manifest asks for the version 6 controls; registering them first is what makes the
  // dialog's buttons and statics come from that version on every Windows release. Without the
  // library the dialog still works, in the old look.
  const HMODULE controls = LoadCommonControls();
  decltype(&::InitCommonControlsEx) initControls = nullptr;
  if (controls != nullptr && Resolve(controls, "InitCommonControlsEx", initControls)) {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_STANDARD_CLASSES};
    initControls(&classes);
  }
  AppIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
  // The controls stay loaded: their classes stay registered, and the program ends right after.
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_UPDATE), OwnerWindow, UpdateDialogProc, 0);
}

}  // namespace

bool ParseCommandLine() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return false;
  CommandLine parsed;
  const std::span<const char16_t* const> list(reinterpret_cast<const char16_t* const*>(arguments),
                                              count > 0 ? static_cast<size_t>(count) : 0);
  const bool found = ParseArguments(list, FileExists, nullptr, parsed);
  LocalFree(arguments);

  ForceCheck = parsed.ForceCheck;
  OwnerWindow = reinterpret_cast<HWND>(static_cast<intptr_t>(parsed.OwnerWindow));
  if (!found) return false;
  // The profile functions look for a bare file name in the Windows folder, the existence test in
  // the current folder: the full path makes both mean the file that was found. One that does not
  // fit is refused, never cut.
  const DWORD length = GetFullPathNameW(Wide(parsed.IniPath), IniPathCapacity, Wide(IniPath), nullptr);
  if (length == 0 || length >= IniPathCapacity) {
    IniPath[0] = u'\0';
    return false;
  }
  return true;
}

bool IsCheckDue() {
  const int32_t interval = ReadInt(L"Update", L"interval");
  const int32_t lo = ReadInt(L"LastCheck", L"lo");
  const int32_t hi = ReadInt(L"LastCheck", L"hi");
  return IsDueAt(interval, lo, hi, ReadUserLastCheck(), Now());
}

void WriteLastCheck() {
  const uint64_t now = Now();
  char16_t lo[64], hi[64];
  FormatLastCheck(now, lo, hi);
  const BOOL loWritten = WritePrivateProfileStringW(L"LastCheck", L"lo", Wide(lo), Wide(IniPath));
  const BOOL hiWritten = WritePrivateProfileStringW(L"LastCheck", L"hi", Wide(hi), Wide(IniPath));
  if (!loWritten || !hiWritten) WriteUserLastCheck(now);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  ClearGlobals();
  if (ParseCommandLine() && (ForceCheck || IsCheckDue())) {
    WriteLastCheck();
    if (GetPrivateProfileStringW(L"Update", L"homepage", L"", Wide(Homepage), HomepageCapacity,
                                 Wide(IniPath)) != 0 &&
        QueryVersions())
      ShowUpdateDialog(instance);
  }
  if (AppIcon != nullptr) DestroyIcon(AppIcon);
  return 0;
}
