// The presence simulations behind presence_sim.h, put in through the plug-in's imports.
#include "presence_sim.h"

#include <mmsystem.h>
#include <wtsapi32.h>

#include <atomic>
#include <cstring>
#include <utility>

#include "import_patch.h"
#include "monitor.h"
#include "standin_host.h"

namespace {
// The plug-in's timer thread reads all of these while the host thread changes them.
std::atomic<decltype(&OpenInputDesktop)> RealOpenInputDesktop{nullptr};
std::atomic<decltype(&GetTickCount)> RealGetTickCount{nullptr};
std::atomic<decltype(&timeSetEvent)> RealTimeSetEvent{nullptr};
std::atomic<decltype(&GetProcAddress)> RealGetProcAddress{nullptr};
std::atomic<bool> Locked{false}, TickCount64Missing{false};
std::atomic<uint64_t> ClockOffset{0};
// The plug-in runs one timer at most, so one slot holds its callback.
std::atomic<LPTIMECALLBACK> PluginCallback{nullptr};
std::atomic<uint32_t> TicksStarted{0}, TicksCompleted{0}, TicksInFlight{0}, DesktopProbes{0},
    TimerResolution{0}, TickCountReads{0};
std::atomic<bool> TicksHeld{false};
// The real functions behind the session's stand-ins and the clock's, which the plug-in looks up
// at run time; its registrations happen on the host's thread only.
std::atomic<void*> RealRegister, RealUnregister, RealGetTickCount64;
std::atomic<decltype(&OpenEventA)> RealOpenEventA{nullptr};
struct Registrations {
  HMODULE Plugin;
  uint32_t Refusals, Attempts;
  SimSystem System;
  SimDisplay DisplayMode;
  HWND Session;
  HWND Power[SimPowerKinds];  // by SimPower
  uint32_t Misdirected;
} Reg;
HANDLE ServicesReady;  // the simulation's own manual-reset event

HDESK WINAPI LockableOpenInputDesktop(DWORD flags, BOOL inherit, ACCESS_MASK access) {
  DesktopProbes.fetch_add(1);
  if (Locked.load()) {
    // What a locked workstation answers: the input desktop is the secure one.
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return RealOpenInputDesktop.load()(flags, inherit, access);
}

// The plug-in's clock, both ways it may read it: the 32-bit count wraps with the offset too.
ULONGLONG WINAPI MovableGetTickCount64() {
  return reinterpret_cast<decltype(&GetTickCount64)>(RealGetTickCount64.load())() + ClockOffset.load();
}
DWORD WINAPI MovableGetTickCount() {
  TickCountReads.fetch_add(1);
  return RealGetTickCount.load()() + static_cast<DWORD>(ClockOffset.load());
}

void CALLBACK CountingTick(UINT id, UINT message, DWORD_PTR user, DWORD_PTR a, DWORD_PTR b) {
  // Counted in flight before the hold is read: SimHoldTicks waits for this count.
  TicksInFlight.fetch_add(1);
  if (!TicksHeld.load()) {
    TicksStarted.fetch_add(1);
    LPTIMECALLBACK callback = PluginCallback.load();
    if (callback != nullptr) callback(id, message, user, a, b);
    TicksCompleted.fetch_add(1);
  }
  TicksInFlight.fetch_sub(1);
}

BOOL CALLBACK TakeIfModules(HWND window, LPARAM search) {
  auto* found = reinterpret_cast<std::pair<HMODULE, HWND>*>(search);
  if (reinterpret_cast<HMODULE>(GetClassLongPtrA(window, GCLP_HMODULE)) != found->first) return TRUE;
  found->second = window;
  return FALSE;
}

BOOL WINAPI TrackedRegister(HWND window, DWORD flags) {
  ++Reg.Attempts;
  if (Reg.Refusals != 0) {
    --Reg.Refusals;
    SetLastError(RPC_S_INVALID_BINDING);  // what a system whose session services are not up says
    return FALSE;
  }
  if (window != SimNotificationWindow() || flags != NOTIFY_FOR_THIS_SESSION || Reg.Session != nullptr)
    ++Reg.Misdirected;
  if (!reinterpret_cast<decltype(&WTSRegisterSessionNotification)>(RealRegister.load())(window, flags))
    return FALSE;
  Reg.Session = window;
  return TRUE;
}

BOOL WINAPI TrackedUnregister(HWND window) {
  if (window != Reg.Session || !IsWindow(window))
    ++Reg.Misdirected;
  else
    Reg.Session = nullptr;
  return reinterpret_cast<decltype(&WTSUnRegisterSessionNotification)>(RealUnregister.load())(window);
}

// Each kind's handle is its own, so an unregistration shows which one it takes back.
HPOWERNOTIFY Track(SimPower kind, HANDLE recipient, DWORD flags) {
  if (recipient != SimNotificationWindow() || flags != DEVICE_NOTIFY_WINDOW_HANDLE ||
      Reg.Power[kind] != nullptr)
    ++Reg.Misdirected;
  Reg.Power[kind] = static_cast<HWND>(recipient);
  return reinterpret_cast<HPOWERNOTIFY>(static_cast<uintptr_t>(kind) + 1);
}

bool Untrack(HPOWERNOTIFY handle, SimPower first, SimPower last) {
  const uintptr_t kind = reinterpret_cast<uintptr_t>(handle) - 1;
  if (kind < first || kind > last || Reg.Power[kind] == nullptr || !IsWindow(Reg.Power[kind])) {
    ++Reg.Misdirected;
    return false;
  }
  Reg.Power[kind] = nullptr;
  return true;
}

HPOWERNOTIFY WINAPI TrackedDisplayRegister(HANDLE recipient, LPCGUID guid, DWORD flags) {
  const bool console = guid != nullptr && IsEqualGUID(*guid, GUID_CONSOLE_DISPLAY_STATE);
  if (!console && (guid == nullptr || !IsEqualGUID(*guid, GUID_MONITOR_POWER_ON))) ++Reg.Misdirected;
  if (Reg.DisplayMode == SimDisplay::Refused) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Track(console ? SimConsoleDisplay : SimMonitorPower, recipient, flags);
}

BOOL WINAPI TrackedDisplayUnregister(HPOWERNOTIFY handle) {
  return Untrack(handle, SimConsoleDisplay, SimMonitorPower);
}

HPOWERNOTIFY WINAPI TrackedSuspendRegister(HANDLE recipient, DWORD flags) {
  return Track(SimSuspendResume, recipient, flags);
}

BOOL WINAPI TrackedSuspendUnregister(HPOWERNOTIFY handle) {
  return Untrack(handle, SimSuspendResume, SimSuspendResume);
}

// The event the session's services set once they have started, as the plug-in opens it.
HANDLE WINAPI SimulatedOpenEventA(DWORD access, BOOL inherit, LPCSTR name) {
  if (name == nullptr || strcmp(name, "Global\\TermSrvReadyEvent") != 0)
    return RealOpenEventA.load()(access, inherit, name);
  HANDLE copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), ServicesReady, GetCurrentProcess(), &copy, access, inherit, 0);
  return copy;
}

// Hands out the stand-ins for the session's two functions, the display's two, the suspend's two
// and the 64-bit clock, or nothing where the simulated Windows has none.
FARPROC WINAPI TrackedGetProcAddress(HMODULE module, LPCSTR name) {
  const FARPROC real = RealGetProcAddress.load()(module, name);
  if (IS_INTRESOURCE(name)) return real;
  const bool noDisplay = Reg.DisplayMode == SimDisplay::Missing, seven = Reg.System == SimSystem::Seven;
  const struct {
    const char* Name;
    void* StandIn;
    bool Missing;
  } standIns[] = {
      {"WTSRegisterSessionNotification", reinterpret_cast<void*>(TrackedRegister), real == nullptr},
      {"WTSUnRegisterSessionNotification", reinterpret_cast<void*>(TrackedUnregister), real == nullptr},
      {"RegisterPowerSettingNotification", reinterpret_cast<void*>(TrackedDisplayRegister), noDisplay},
      {"UnregisterPowerSettingNotification", reinterpret_cast<void*>(TrackedDisplayUnregister), noDisplay},
      {"RegisterSuspendResumeNotification", reinterpret_cast<void*>(TrackedSuspendRegister), seven},
      {"UnregisterSuspendResumeNotification", reinterpret_cast<void*>(TrackedSuspendUnregister), seven},
      {"GetTickCount64", reinterpret_cast<void*>(MovableGetTickCount64), real == nullptr || TickCount64Missing.load()},
  };
  for (const auto& s : standIns) {
    if (strcmp(name, s.Name) != 0) continue;
    if (s.StandIn == reinterpret_cast<void*>(TrackedRegister))
      RealRegister.store(reinterpret_cast<void*>(real));
    if (s.StandIn == reinterpret_cast<void*>(TrackedUnregister))
      RealUnregister.store(reinterpret_cast<void*>(real));
    if (s.StandIn == reinterpret_cast<void*>(MovableGetTickCount64))
      RealGetTickCount64.store(reinterpret_cast<void*>(real));
    return s.Missing ? nullptr : reinterpret_cast<FARPROC>(s.StandIn);
  }
  return real;
}

MMRESULT WINAPI CountingTimeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user,
                                     UINT flags) {
  // Only a function callback can be wrapped; an event to signal is left as it is.
  constexpr UINT CallbackKind = TIME_CALLBACK_EVENT_SET | TIME_CALLBACK_EVENT_PULSE;
  if ((flags & CallbackKind) != 0) return RealTimeSetEvent.load()(delay, resolution, callback, user, flags);
  PluginCallback.store(callback);
  TimerResolution.store(resolution);
  return RealTimeSetEvent.load()(delay, resolution, CountingTick, user, flags);
}

// Keeps the first original: a second install into the same mapping finds the slot already ours.
template <class Fn>
bool Patch(HMODULE plugin, const char* dll, const char* function, Fn replacement, std::atomic<Fn>& real) {
  void* original = reinterpret_cast<void*>(real.load());
  if (!HostPatchImport(plugin, dll, function, reinterpret_cast<void*>(replacement), &original)) return false;
  real.store(reinterpret_cast<Fn>(original));
  return original != nullptr;
}
}  // namespace

bool SimInstall(HMODULE plugin) {
  for (std::atomic<bool>* flag : {&Locked, &TicksHeld, &TickCount64Missing}) flag->store(false);
  for (std::atomic<uint32_t>* count :
       {&TicksStarted, &TicksCompleted, &DesktopProbes, &TimerResolution, &TickCountReads})
    count->store(0);
  ClockOffset.store(0);
  PluginCallback.store(nullptr);
  Reg = Registrations{plugin};
  if (ServicesReady == nullptr) ServicesReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ResetEvent(ServicesReady);
  return Patch(plugin, "kernel32.dll", "GetProcAddress", TrackedGetProcAddress, RealGetProcAddress) &&
         Patch(plugin, "kernel32.dll", "OpenEventA", SimulatedOpenEventA, RealOpenEventA) &&
         Patch(plugin, "user32.dll", "OpenInputDesktop", LockableOpenInputDesktop, RealOpenInputDesktop) &&
         Patch(plugin, "kernel32.dll", "GetTickCount", MovableGetTickCount, RealGetTickCount) &&
         Patch(plugin, "winmm.dll", "timeSetEvent", CountingTimeSetEvent, RealTimeSetEvent);
}

void SimSetLocked(bool locked) { Locked.store(locked); }
void SimAdvanceClock(uint64_t milliseconds) { ClockOffset.fetch_add(milliseconds); }
void SimWithoutTickCount64() { TickCount64Missing.store(true); }
uint32_t SimTickCountReads() { return TickCountReads.load(); }
uint32_t SimTicksStarted() { return TicksStarted.load(); }

bool SimWaitForFreshTicks(uint32_t count, DWORD timeoutMs) {
  // Ticks run one after another on the timer thread, so once this many have completed, the
  // last `count` of them all began after this point.
  const uint32_t target = TicksStarted.load() + count;
  return HostPumpUntil([target] { return static_cast<int32_t>(TicksCompleted.load() - target) >= 0; },
                       timeoutMs);
}

void SimHoldTicks(bool hold) {
  TicksHeld.store(hold);
  // A tick under way may be waiting for this thread.
  while (hold && TicksInFlight.load() != 0) HostPump(1);
}

uint32_t SimDesktopProbes() { return DesktopProbes.load(); }
uint32_t SimTimerResolution() { return TimerResolution.load(); }

HWND ModuleWindow(HMODULE module) {
  std::pair<HMODULE, HWND> found{module, nullptr};
  if (module != nullptr)
    EnumThreadWindows(GetCurrentThreadId(), TakeIfModules, reinterpret_cast<LPARAM>(&found));
  return found.second;
}

HWND SimNotificationWindow() { return ModuleWindow(Reg.Plugin); }

bool SimAnnounce(WPARAM change) {
  DWORD session = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &session);
  HWND window = SimNotificationWindow();
  return window != nullptr && PostMessageA(window, WM_WTSSESSION_CHANGE, change, session);
}

void SimRefuseSessionRegistrations(uint32_t count) { Reg.Refusals = count; }
void SimSetSessionServicesReady(bool ready) {
  if (ready)
    SetEvent(ServicesReady);
  else
    ResetEvent(ServicesReady);
}
HWND SimRegisteredWindow() { return Reg.Session; }
uint32_t SimSessionRegistrationAttempts() { return Reg.Attempts; }
uint32_t SimMisdirectedRegistrations() { return Reg.Misdirected; }

void SimSetSystem(SimSystem system) { Reg.System = system; }
void SimSetDisplayNotification(SimDisplay mode) { Reg.DisplayMode = mode; }
HWND SimPowerRegistered(SimPower kind) { return Reg.Power[kind]; }

bool SimAnnounceDisplay(DWORD state) {
  if (SimNotificationWindow() == nullptr) return false;
  // Windows 7 never reports the console display; the monitor's setting knows no dimmed.
  const struct {
    SimPower Kind;
    GUID Setting;
    DWORD State;
  } reports[] = {
      {SimConsoleDisplay, GUID_CONSOLE_DISPLAY_STATE, Reg.System == SimSystem::Seven ? ~DWORD{0} : state},
      {SimMonitorPower, GUID_MONITOR_POWER_ON, state == DisplayOff ? DisplayOff : DisplayOn},
  };
  for (const auto& r : reports) {
    if (Reg.Power[r.Kind] == nullptr || r.State == ~DWORD{0}) continue;
    // Windows sends it; the setting lives on this side until the plug-in has handled it.
    alignas(POWERBROADCAST_SETTING) BYTE buffer[sizeof(POWERBROADCAST_SETTING) + sizeof(DWORD)] = {};
    auto* setting = reinterpret_cast<POWERBROADCAST_SETTING*>(buffer);
    setting->PowerSetting = r.Setting;
    setting->DataLength = sizeof r.State;
    memcpy(setting->Data, &r.State, sizeof r.State);
    SendMessageA(Reg.Power[r.Kind], WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE,
                 reinterpret_cast<LPARAM>(setting));
  }
  return true;
}

void SimPowerEvent(WPARAM event) {
  HWND ways[] = {HostWindowHandle(), SimNotificationWindow(), Reg.Power[SimSuspendResume]};
  // Modern standby broadcasts nothing: only the registration hears it.
  if (Reg.System == SimSystem::ModernStandby) ways[0] = ways[1] = nullptr;
  for (HWND window : ways)
    if (window != nullptr) SendMessageA(window, WM_POWERBROADCAST, event, 0);
}
