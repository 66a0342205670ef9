// The display's power state, as Windows Vista and later report it to the plug-in's own window:
// GUID_CONSOLE_DISPLAY_STATE from Windows 8 on, GUID_MONITOR_POWER_ON before. Both are
// registered, since Windows 7 may accept the first and never report it. Resolved at run time:
// Windows XP has no such notification, and the DLL must still load there.
#include "plugin.h"

#include <atomic>
#include <cstring>

#include "resolve.h"

namespace {

using RegisterFn = decltype(&RegisterPowerSettingNotification);
using UnregisterFn = decltype(&UnregisterPowerSettingNotification);

// Off or on, whichever GUID said so last; written on the UI thread, read by the timer's ticks.
std::atomic<uint32_t> Reported{DisplayOn};
HPOWERNOTIFY Registrations[2];  // console display, monitor power (UI thread only)
bool Refused;                   // the last registration failed for both (UI thread only)

}  // namespace

HMODULE User32() { return GetModuleHandleA("user32.dll"); }

uint32_t ReportedDisplayState() { return Get(Reported); }

bool DisplayNotificationAvailable() {
  return !Refused && Resolved<RegisterFn>(User32(), "RegisterPowerSettingNotification") != nullptr;
}

bool DisplayNotificationRegistered() { return Registrations[0] != nullptr || Registrations[1] != nullptr; }

bool RegisterDisplayNotification(HWND window) {
  auto registerFn = Resolved<RegisterFn>(User32(), "RegisterPowerSettingNotification");
  // Windows answers each at once with the current state.
  if (registerFn != nullptr) {
    Registrations[0] = registerFn(window, &GUID_CONSOLE_DISPLAY_STATE, DEVICE_NOTIFY_WINDOW_HANDLE);
    Registrations[1] = registerFn(window, &GUID_MONITOR_POWER_ON, DEVICE_NOTIFY_WINDOW_HANDLE);
  }
  Refused = !DisplayNotificationRegistered();
  return !Refused;
}

void UnregisterDisplayNotification() {
  auto unregisterFn = Resolved<UnregisterFn>(User32(), "UnregisterPowerSettingNotification");
  for (HPOWERNOTIFY& registration : Registrations) {
    if (registration != nullptr && unregisterFn != nullptr) unregisterFn(registration);
    registration = nullptr;
  }
  // No more reports: a display last seen off must not keep the music paused.
  Put(Reported, DisplayOn);
}

bool TakeDisplayChange(WPARAM wParam, LPARAM lParam) {
  const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
  if (wParam != PBT_POWERSETTINGCHANGE || setting == nullptr || setting->DataLength < sizeof(DWORD))
    return false;
  const bool display = IsEqualGUID(setting->PowerSetting, GUID_CONSOLE_DISPLAY_STATE) ||
                       IsEqualGUID(setting->PowerSetting, GUID_MONITOR_POWER_ON);
  DWORD state;
  memcpy(&state, setting->Data, sizeof state);
  return display && TakeDisplayReport(Reported, state);
}
