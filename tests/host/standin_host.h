// A stand-in for the host player: a main window that answers the plug-in's queries, acts on
// its commands with the real player's semantics and records them, and loads a plug-in the
// way the player does. Everything runs on the thread that called HostCreate.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "host_protocol.h"

enum HostPlayState : int { HostStopped = 0, HostPlaying = 1, HostPaused = 3 };

struct HostCommand {
  uint32_t Command;  // HostCommandPlay, HostCommandPause or HostCommandStop
  uint64_t AtMs;     // GetTickCount64 when it arrived
  int StateBefore, StateAfter;
  bool Restarted;  // play reached a playing player and started the track again
};

// A volume set that reached the player (query 122), with when it came.
struct HostVolumeSet {
  intptr_t Volume;
  uint64_t AtMs;          // GetTickCount64 when it arrived
  size_t CommandsBefore;  // how many commands had arrived by then
};

// The plug-in's record as the host sees it.
using HostPluginRecord = PluginRecordLayout<HWND, HINSTANCE>;

bool HostCreate(const char* iniPath);
void HostDestroy();
HWND HostWindowHandle();

void HostSetPlayState(int state);
int HostGetPlayState();
// How often query 104 was asked.
int HostPlayQueries();
// Answers query 1334 with this UTF-16 path from now on, and 334 with it narrowed.
void HostAnswerWideIniQuery(const wchar_t* path);
// How often the host was asked for its INI path (queries 334 and 1334).
int HostIniQueries();
// How often WM_HELP reached the main window (a dialog passes it on to its owner).
int HostHelpMessages();

// The player's version (query 0) and volume (0 to 255, query 122: wParam -666 reads it, any other
// sets it). A player older than HostVolumeReadsFrom takes -666 as a volume to set, as any other.
inline constexpr intptr_t HostInitialVolume = 200;
void HostSetVersion(uintptr_t version);
void HostSetVolume(intptr_t volume);
intptr_t HostGetVolume();
// Messages of query 122, reads and sets alike.
int HostVolumeMessages();
std::vector<HostVolumeSet> HostVolumeSets();
// The volume the player saved when its window last closed or the session ended (WM_CLOSE,
// WM_QUERYENDSESSION, WM_ENDSESSION); -1 before that. The user's volume: HostSetVolume.
intptr_t HostSavedVolume();

size_t HostCommandCount();
HostCommand HostCommandAt(size_t index);
// Pumps messages until `done()` holds or `timeoutMs` has passed; false on the time-out.
bool HostPumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Pumps messages until `count` commands have arrived or `timeoutMs` has passed.
bool HostWaitForCommands(size_t count, DWORD timeoutMs);
void HostPump(DWORD milliseconds);

// The function `name` that `module` exports, as a pointer of type Fn; null when either is missing.
template <class Fn>
Fn ExportOf(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(module != nullptr ? GetProcAddress(module, name) : nullptr));
}

// Plug-in binding: load, fetch the record, fill the two handles; then the record calls.
HostPluginRecord* HostLoadPlugin(const char* dllPath);
// The path of gen_hushbell.dll beside this program; false when it does not fit `size`.
bool HostPluginBesideProgram(char* path, size_t size);
// init, then the messages it left for the player's loop (the record's own init leaves them queued).
int HostInitPlugin();
void HostConfigPlugin();
// The plug-in's instConfig export, as an installer calls it; -1 when it has none.
int HostInstConfig(HWND window, const char* iniPath);
void HostQuitPlugin();
void HostUnloadPlugin();
HMODULE HostPluginModule();
// The end of the player: quits and unloads a loaded plug-in, then closes the main window.
void HostStop();

// The player's preferences window: a "#32770" top-level window owned by the main window,
// with a "SysTreeView32" child titled "Tree1".
HWND HostOpenPreferences();
void HostClosePreferences();
