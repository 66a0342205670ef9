// Queries and commands to the host player.
#include "plugin.h"

#include <atomic>

namespace {
// Written on the host's thread by init, read by ticks on the timer thread.
std::atomic<HWND> PlayerWindow;
static_assert(HostQueryMessage == WM_USER);
}  // namespace

void BindPlayerWindow(HWND window) { PlayerWindow.store(window, std::memory_order_relaxed); }

intptr_t AskPlayer(intptr_t wParam, uintptr_t lParam) {
  return SendMessageA(PlayerWindow.load(std::memory_order_relaxed), HostQueryMessage, wParam, lParam);
}

bool QueryIsPlaying() { return AskPlayer(0, HostQueryPlayState) == 1; }

const wchar_t* QueryWideIniPath() {
  LRESULT result = SendMessageA(Record.HostWindow, HostQueryMessage, 0, HostQueryWideIniPath);
  if (static_cast<ULONG_PTR>(result) < HostSmallestAddress) return nullptr;
  return reinterpret_cast<const wchar_t*>(result);
}

const char* QueryIniPath() {
  LRESULT result = SendMessageA(Record.HostWindow, HostQueryMessage, 0, HostQueryIniPath);
  if (static_cast<ULONG_PTR>(result) < HostSmallestAddress) return "winamp.ini";
  return reinterpret_cast<const char*>(result);
}

void SendPlayerCommand(uint8_t action) {
  const uint32_t command = HostCommandFor(action);
  if (command != 0) SendMessageA(PlayerWindow.load(std::memory_order_relaxed), WM_COMMAND, command, 0);
}
