// Verlift's global values and the steps of its single run.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "command_line.h"
#include "version_reply.h"
#include "wide.h"

inline constexpr size_t HomepageCapacity = 2084;  // 2083 characters + terminator
inline constexpr wchar_t UserAgent[] = L"Tavo Verlift v/2.0";

// Where the time of a check is kept for the user when the INI file cannot be written: a REG_QWORD
// value named after the INI file's full path.
inline constexpr wchar_t LastCheckKey[] = L"Software\\Brennick\\Verlift\\LastCheck";

// One set per process, cleared at start. AppIcon is loaded only for the dialog.
extern bool ForceCheck;
extern HWND OwnerWindow;
extern char16_t IniPath[IniPathCapacity];
extern char16_t Homepage[HomepageCapacity];
extern char16_t NewVersion[NewVersionCapacity];
extern char16_t DownloadUrl[DownloadUrlCapacity];
extern HICON AppIcon;

// Start-up (main.cpp).
bool ParseCommandLine();
bool IsCheckDue();
void WriteLastCheck();

// Version query (query.cpp): true when an installed file is older than advertised.
bool QueryVersions();

// Notification dialog (dialog.cpp).
INT_PTR CALLBACK UpdateDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int InitUpdateDialog(HWND window);
