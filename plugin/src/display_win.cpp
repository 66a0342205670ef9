// The display's power state, as Windows Vista and later report it to the plug-in's own window.
// Resolved at run time: Windows XP has no such notification, and the DLL must still load there.
#include "plugin.h"

#include <atomic>
#include <cstring>

#include "resolve.h"

namespace {

using RegisterFn = decltype(&RegisterPowerSettingNotification);
using UnregisterFn = decltype(&UnregisterPowerSettingNotification);

// Written on the UI thread, read by the timer's ticks.
std::atomic<uint32_t> Reported{DisplayOn};
HPOWERNOTIFY Registration;  // UI thread only
bool Refused;               // the last registration failed (UI thread only)

template <typename Function>
Function User32Function(const char* name) {
  return Resolved<Function>(GetModuleHandleA("user32.dll"), name);
}

}  // namespace

uint32_t ReportedDisplayState() { return Get(Reported); }

bool DisplayNotificationAvailable() {
  return !Refused && User32Function<RegisterFn>("RegisterPowerSettingNotification") != nullptr;
}

bool RegisterDisplayNotification(HWND window) {
  auto registerFn = User32Function<RegisterFn>("RegisterPowerSettingNotification");
  // Windows answers at once with the current state.
  Registration = window != nullptr && registerFn != nullptr
                     ? registerFn(window, &GUID_CONSOLE_DISPLAY_STATE, DEVICE_NOTIFY_WINDOW_HANDLE)
                     : nullptr;
  Refused = Registration == nullptr;
  return !Refused;
}

void UnregisterDisplayNotification() {
  auto unregisterFn = User32Function<UnregisterFn>("UnregisterPowerSettingNotification");
  if (Registration != nullptr && unregisterFn != nullptr) unregisterFn(Registration);
  Registration = nullptr;
  // No more reports: a display last seen off must not keep the music paused.
  Put(Reported, DisplayOn);
}

bool TakeDisplayChange(UINT message, WPARAM wParam, LPARAM lParam) {
  const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
  if (message != WM_POWERBROADCAST || wParam != PBT_POWERSETTINGCHANGE || setting == nullptr ||
      memcmp(&setting->PowerSetting, &GUID_CONSOLE_DISPLAY_STATE, sizeof(GUID)) != 0 ||
      setting->DataLength < sizeof(DWORD))
    return false;
  DWORD state;
  memcpy(&state, setting->Data, sizeof state);
  Put(Reported, state);
  return true;
}
