// Verlift: one update check for one product, described by an INI file, then the end.
#include "verlift.h"

#include <commctrl.h>
#include <shellapi.h>

#include <span>

#include "resource.h"
#include "schedule.h"
#include "system_library.h"

int32_t ForceCheck;
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
  ForceCheck = 0;
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

int ParseCommandLine() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return 0;
  CommandLine parsed;
  const std::span<const char16_t* const> list(reinterpret_cast<const char16_t* const*>(arguments),
                                              count > 0 ? static_cast<size_t>(count) : 0);
  const int found = ParseArguments(list, FileExists, nullptr, parsed);
  LocalFree(arguments);

  ForceCheck = parsed.ForceCheck;
  OwnerWindow = reinterpret_cast<HWND>(static_cast<intptr_t>(parsed.OwnerWindow));
  if (found == 0) return 0;
  for (size_t i = 0; i < IniPathCapacity; ++i) IniPath[i] = parsed.IniPath[i];
  IniPath[IniPathCapacity - 1] = u'\0';
  return 1;
}

int IsCheckDue() {
  const int32_t interval = ReadInt(L"Update", L"interval");
  const int32_t lo = ReadInt(L"LastCheck", L"lo");
  const int32_t hi = ReadInt(L"LastCheck", L"hi");
  return IsDueAt(interval, lo, hi, Now());
}

void WriteLastCheck() {
  char16_t lo[64], hi[64];
  FormatLastCheck(Now(), lo, hi);
  WritePrivateProfileStringW(L"LastCheck", L"lo", Wide(lo), Wide(IniPath));
  WritePrivateProfileStringW(L"LastCheck", L"hi", Wide(hi), Wide(IniPath));
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  ClearGlobals();
  if (ParseCommandLine() != 0 && (ForceCheck != 0 || IsCheckDue() != 0)) {
    WriteLastCheck();
    if (GetPrivateProfileStringW(L"Update", L"homepage", L"", Wide(Homepage), HomepageCapacity,
                                 Wide(IniPath)) != 0 &&
        QueryVersions() == 1)
      ShowUpdateDialog(instance);
  }
  if (AppIcon != nullptr) DestroyIcon(AppIcon);
  return 0;
}
