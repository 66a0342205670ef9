// Win32 layer of gen_hushbell.dll: the host binding, the global records and the operations
// that the exports, the window hook, the timer and the dialog share.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "monitor.h"
#include "plugin_state.h"

// The record handed to the host; its layout is the host's binary interface.
struct PluginRecord {
  int32_t version;
  const char* description;
  int (*init)();
  void (*config)();
  void (*quit)();
  HWND HostWindow;
  HINSTANCE ModuleInstance;
};
// The 32-bit host reads a 28-byte record with the two handles at offsets 20 and 24.
static_assert(sizeof(void*) != 4 || (sizeof(PluginRecord) == 28 && offsetof(PluginRecord, HostWindow) == 20 &&
                                     offsetof(PluginRecord, ModuleInstance) == 24),
              "host expects a 28-byte record");

inline constexpr char PluginDescription[] = "Tavo Hushbell";

extern PluginRecord Record;
extern PluginState State;

// Host queries and commands (synchronous messages to the host window).
bool QueryIsPlaying();
const char* QueryIniPath();
void SendPlayerCommand(uint8_t action);

// Settings in section "Hushbell" of the host's INI file, or of an installer's file.
const char* SettingsIniPath();
void LoadSettings();
void SaveSettings();

// Presence monitor around the portable state machine.
bool IsDesktopLocked();
bool IsScreenSaverRunning();
const MonitorIo& WinMonitorIo();
void StartPolling();
void StopPolling();
// The plug-in's own window for the session's notifications (lock, unlock, user switch), each
// of which takes a tick at once. Opened by init and closed by quit, on the host's thread.
void OpenSessionWindow();
void CloseSessionWindow();
// Starts or stops the poll timer; while it runs it holds a reference on the module, so the
// module cannot be unloaded under it.
void SetPolling(bool run);

// Record operations.
int init();
void quit();
int ShowConfigDialog();
LRESULT CALLBACK HostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Starts the update checker when the user asked for weekly checks.
void LaunchUpdater();
