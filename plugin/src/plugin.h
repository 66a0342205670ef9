// Win32 layer of gen_hushbell.dll: the host binding, the global records and the operations
// that the layer's files share.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "host_protocol.h"
#include "monitor.h"
#include "plugin_state.h"

// The record handed to the host; its layout is the host's binary interface.
using PluginRecord = PluginRecordLayout<HWND, HINSTANCE>;
static_assert(sizeof(PluginRecord) == sizeof(PointerRecord));

inline constexpr char PluginDescription[] = "Tavo Hushbell";

extern PluginRecord Record;
extern PluginState State;

// This module's handle: its own base, which the linker names.
extern "C" IMAGE_DOS_HEADER __ImageBase;
inline HMODULE ThisModule() { return reinterpret_cast<HMODULE>(&__ImageBase); }
// One more reference on this module (`flags` may add GET_MODULE_HANDLE_EX_FLAG_PIN), for code
// that must stay mapped after the host's FreeLibrary; null when none was taken.
inline HMODULE AddModuleReference(DWORD flags = 0) {
  HMODULE self = nullptr;
  GetModuleHandleExW(flags | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&__ImageBase),
                     &self);
  return self;
}

// Host queries and commands (synchronous messages). The path queries go to the record's window,
// which instConfig points at its caller's; the player's state and commands go to the player
// window that init binds, which ticks read on the timer thread.
bool QueryIsPlaying();
// The host's INI path in UTF-16, or null when the host does not give it.
const wchar_t* QueryWideIniPath();
const char* QueryIniPath();
void SendPlayerCommand(uint8_t action);
// Any other query to the player window: WM_USER with these wParam and lParam, and its answer.
intptr_t AskPlayer(intptr_t wParam, uintptr_t lParam);
void BindPlayerWindow(HWND window);

// Settings in section "Hushbell" of the host's INI file, or of an installer's file.
void LoadSettings();
void SaveSettings();
// Loading and saving use this installer's 8-bit path instead of asking the host, until it is
// set back to null.
void UseInstallerIni(const char* path);

// The presence monitor's probes, the player and the clock (probes_win.cpp).
extern const MonitorIo WinMonitorIo;
// The poll timer (poll_timer.cpp): starts or stops it; whether it runs; a tick at once, through
// the same gate, for a notification (nothing once the timer is stopped).
void SetPolling(bool run);
bool PollingRuns();
void RunEarlyTick();
// The plug-in's own window for Windows' notifications (notification_window.cpp): the session's
// (lock, unlock, user switch) and the display's take a tick at once, suspend and resume act on
// standby. Opened when the player's start is over and closed by quit, on the host's thread.
void OpenNotificationWindow();
void CloseNotificationWindow();
bool NotificationWindowOpen();
HWND NotificationWindowHandle();  // null while closed
// Closes the window when nothing needs it any more.
void CloseNotificationWindowIfUnused();
// Called by each tick: has the host's thread try a refused session registration again, while
// that is still worth it.
void AskForSessionRetry();
// Holds a reference on this module while the timer or the window runs (lifecycle.cpp).
void HoldModuleWhileRunning();
// The display's power state, reported to that window where Windows can (Vista and later).
// Registered and unregistered with the window; a report is stored for the ticks to read.
bool RegisterDisplayNotification(HWND window);  // false where unavailable or refused
void UnregisterDisplayNotification();
bool DisplayNotificationRegistered();
bool DisplayNotificationAvailable();  // what the dialog tells the user
// Stores the state a WM_POWERBROADCAST carries; true when it was a display report that changed
// the display from off to on or back.
bool TakeDisplayChange(WPARAM wParam, LPARAM lParam);
uint32_t ReportedDisplayState();
// user32, where functions older Windows versions lack are looked up (with Resolved).
HMODULE User32();

// The fade-in of the plug-in's resumes. SendMonitorAction, from any thread, sends what the monitor
// decided, and hands a resume's play to the window set (the plug-in's own) when the setting asks
// for a fade; the rest runs on the player's thread. TakeFadeMessage is the window's part: true,
// with the message's result, for the messages it took.
void SetFadeWindow(HWND window);
void SendMonitorAction(uint8_t action);
bool TakeFadeMessage(HWND window, UINT message, WPARAM wParam, LRESULT& result);
// Puts the volume the fade read back at once and stops its steps; nothing when none runs.
void EndFade();
// The sound output's news, watched by a COM thread of the plug-in's own while UnplugAction is set
// (player's thread only). Watching keeps the notification window open, where the news is posted
// as OutputNewsMessage; stopping unregisters and releases everything.
inline constexpr UINT OutputNewsMessage = WM_APP + 0x10;
void SetOutputWatch(bool on);
bool OutputWatchWanted();
// Handles OutputNewsMessage on the player's thread; false for any other message.
bool TakeOutputNews(UINT message, WPARAM slot);
bool OutputWatchAvailable();  // false where the audio API is missing or refused: the tip says so
// Watches while UnplugAction is set, but only inside an initialised host.
void UpdateOutputWatch();

int ShowConfigDialog();
// Polls while a trigger is set, but only inside an initialised host.
void UpdatePolling();

// Starts the update checker when the user asked for weekly checks.
void LaunchUpdater();
