// A plug-in that does nothing, with the same record and export as gen_hushbell.dll: what any
// plug-in at all costs the player's start, the yardstick of make bench-start.
#include <windows.h>

#include "host_protocol.h"

namespace {
using Record = PluginRecordLayout<HWND, HINSTANCE>;
int Init() { return 0; }
void Nothing() {}
Record EmptyRecord{PluginRecordVersion, "Empty plug-in", Init, Nothing, Nothing, nullptr, nullptr};
}  // namespace

extern "C" __declspec(dllexport) Record* winampGetGeneralPurposePlugin() { return &EmptyRecord; }
