// Queries and commands to the host player.
#include "plugin.h"

namespace {
constexpr UINT HostQueryMessage = WM_USER;
constexpr LPARAM QueryPlayState = 104;
constexpr LPARAM QueryIniFile = 334;
}  // namespace

bool QueryIsPlaying() {
  return SendMessageA(Record.HostWindow, HostQueryMessage, 0, QueryPlayState) == 1;
}

const char* QueryIniPath() {
  LRESULT result = SendMessageA(Record.HostWindow, HostQueryMessage, 0, QueryIniFile);
  // Small results are not addresses: the host did not answer.
  if (static_cast<ULONG_PTR>(result) < 0x10000) return "winamp.ini";
  return reinterpret_cast<const char*>(result);
}

void SendPlayerCommand(uint8_t action) {
  uint32_t command = PlayerCommandFor(action);
  if (command != 0) SendMessageA(Record.HostWindow, WM_COMMAND, command, 0);
}
