// The host player's side of the plug-in interface: the numbers of its queries and commands and
// the record a plug-in hands it. The plug-in, the stand-in host, the demo and the tests share it.
#pragma once
#include <cstddef>
#include <cstdint>

// A query is a synchronous message WM_USER with wParam 0 and the query's number as lParam.
inline constexpr uint32_t HostQueryMessage = 0x400;
inline constexpr uintptr_t HostQueryPlayState = 104;  // exactly 1: playing
inline constexpr uintptr_t HostQueryIniPath = 334;    // the address of the host's INI path, 8-bit
// The same path in UTF-16: a profile folder outside the ANSI code page has no 8-bit name. Older
// players answer 1 or 0 (not supported).
inline constexpr uintptr_t HostQueryWideIniPath = 1334;
// Answers to the path queries below this are no address: the host did not answer.
inline constexpr uintptr_t HostSmallestAddress = 0x10000;
// The player's version, as 0x5091 for 5.91; 1 or 0 from a player that does not know it.
inline constexpr uintptr_t HostQueryVersion = 0;
// With wParam 0 to 255 sets the volume; with HostVolumeRead answers it (0 to 255). Players before
// HostVolumeReadsFrom take every wParam as a volume to set, so they are never asked.
inline constexpr uintptr_t HostQueryVolume = 122;
inline constexpr intptr_t HostVolumeRead = -666;
inline constexpr intptr_t HostVolumeMax = 255;
inline constexpr uintptr_t HostVolumeReadsFrom = 0x5000;

// A command is a synchronous WM_COMMAND with the command's number as wParam and lParam 0.
inline constexpr uint32_t HostCommandPlay = 40045;
inline constexpr uint32_t HostCommandPause = 40046;
inline constexpr uint32_t HostCommandStop = 40047;

// The host's command for an action code (1 pause, 2 stop, 3 play); 0 for every code that
// sends nothing.
constexpr uint32_t HostCommandFor(uint8_t action) {
  switch (action) {
    case 1: return HostCommandPause;
    case 2: return HostCommandStop;
    case 3: return HostCommandPlay;
    default: return 0;
  }
}

inline constexpr int32_t PluginRecordVersion = 16;

// The record a plug-in hands the host, over the platform's window and module handle types.
template <class Window, class Module>
struct PluginRecordLayout {
  int32_t version;
  const char* description;
  int (*init)();
  void (*config)();
  void (*quit)();
  Window HostWindow;
  Module ModuleInstance;
};

// The 32-bit host reads a 28-byte record with the two handles at offsets 20 and 24.
using PointerRecord = PluginRecordLayout<void*, void*>;
static_assert(sizeof(void*) != 4 ||
                  (sizeof(PointerRecord) == 28 && offsetof(PointerRecord, HostWindow) == 20 &&
                   offsetof(PointerRecord, ModuleInstance) == 24),
              "the host expects a 28-byte record");
