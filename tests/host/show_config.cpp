// Shows the plug-in's configuration dialog for a screenshot: loads gen_hushbell.dll in the
// stand-in host, fills its settings, opens the dialog and holds it open until told to close.
//   show_config.exe INI READY DONE [tip]
// Once the dialog is drawn (with "tip": once the balloon tip of the lock timeout is up) the
// screen rectangle to capture is written to READY as "x y width height"; the dialog closes
// when the file DONE appears, or after a minute.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "resource.h"
#include "standin_host.h"
#include "test_files.h"

namespace {

struct ShowRecord {
  const char* ReadyPath;
  const char* DonePath;
  bool WithTip;
  HWND Dialog;
  int Ticks;
  bool Ready;
} Show;

constexpr UINT TickMs = 100;
constexpr int SettleTicks = 5;  // first paint
constexpr int TipTicks = 30;    // the tip appears 2 s after the pointer rests on a control
constexpr int GiveUpTicks = 600;

void WriteReady() {
  RECT area{};
  GetWindowRect(Show.Dialog, &area);
  for (HWND tooltip : ThreadTooltips(Show.Dialog)) {
    RECT tip{};
    if (IsWindowVisible(tooltip) && GetWindowRect(tooltip, &tip)) UnionRect(&area, &area, &tip);
  }
  FILE* file = fopen(Show.ReadyPath, "w");
  if (file == nullptr) return;
  fprintf(file, "%ld %ld %ld %ld\n", area.left, area.top, area.right - area.left, area.bottom - area.top);
  fclose(file);
  Show.Ready = true;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  ++Show.Ticks;
  if (!Show.Ready && Show.Ticks == SettleTicks && Show.WithTip) {
    // Rest the pointer on the lock timeout's edit; its tip has a title and a line break.
    RECT edit{};
    GetWindowRect(GetDlgItem(Show.Dialog, IDC_LOCK_TIMEOUT), &edit);
    SetCursorPos((edit.left + edit.right) / 2, (edit.top + edit.bottom) / 2);
  }
  if (!Show.Ready && Show.Ticks == (Show.WithTip ? TipTicks : SettleTicks)) WriteReady();
  if (GetFileAttributesA(Show.DonePath) != INVALID_FILE_ATTRIBUTES || Show.Ticks > GiveUpTicks)
    PostMessageA(Show.Dialog, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: show_config INI READY DONE [tip]\n");
    return 2;
  }
  const char* ini = argv[1];
  Show.ReadyPath = argv[2];
  Show.DonePath = argv[3];
  Show.WithTip = argc > 4 && strcmp(argv[4], "tip") == 0;

  // The host registers the common controls, so the dialog gets its tips.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  WriteIniSettings(ini,
                   "LockAction=1 LockAutoResume=1 LockTimeout=30 ScreenSaverAction=2 ScreenSaverAutoResume=1 "
                   "ScreenSaverTimeout=0 StandbyAction=1 Verlift=1 ScreenSaverDisplayOff=1 "
                   "ResumeFadeSeconds=3");
  if (!HostCreate(ini) || HostLoadPlugin("gen_hushbell.dll") == nullptr) {
    fprintf(stderr, "show_config: cannot load gen_hushbell.dll\n");
    return 1;
  }
  // Through the installer's entry: it loads the settings from the file without starting the
  // plug-in (no update check, no timer).
  const int result = WithDialog(
      nullptr, [&] { return HostInstConfig(HostWindowHandle(), ini); },
      [](HWND dialog) {
        Show.Dialog = dialog;
        SetTimer(nullptr, 0, TickMs, Tick);
      });
  HostUnloadPlugin();
  HostDestroy();
  return Show.Ready && result == 0 ? 0 : 1;
}
