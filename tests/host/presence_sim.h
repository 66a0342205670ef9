// What Wine cannot do for the presence tests, put between a loaded plug-in and the system by
// rewriting its imports: a workstation that can be locked (its OpenInputDesktop fails while
// locked), a clock that can be moved on (its GetTickCount, and the GetTickCount64 it looks up,
// read real time plus an offset), a
// count of its timer's ticks (its timeSetEvent callback runs inside a counting wrapper), and a
// record of its registrations for session and display notifications (Wine only pretends to
// register). The session's, the display's and the suspend's functions are looked up at run
// time, so they are reached through the plug-in's GetProcAddress, which hands out recording
// stand-ins for them; Windows only delivers power notifications where asked, and so do they.
// Only the plug-in's own calls are affected; the host and Wine carry on as before.
#pragma once
#include <windows.h>

#include <cstdint>

// Patches a freshly loaded plug-in; call it before init, which seeds from the probes and starts
// the timer. Starts unlocked, with no offset and no ticks counted.
bool SimInstall(HMODULE plugin);

void SimSetLocked(bool locked);
void SimAdvanceClock(uint64_t milliseconds);
// The plug-in's lookup of GetTickCount64 finds nothing, as on Windows XP; call it before init.
void SimWithoutTickCount64();
uint32_t SimTickCountReads();  // of the 32-bit count
uint32_t SimTicksStarted();
// Pumps the host's messages until `count` ticks that began after this call have finished, or
// `timeoutMs` has passed. A tick waiting for the host is answered meanwhile.
bool SimWaitForFreshTicks(uint32_t count, DWORD timeoutMs);

// While held, the timer's ticks reach the plug-in no more (nor are they counted), so whatever
// it sends comes from elsewhere. Holding waits, pumping, until a tick under way has finished.
void SimHoldTicks(bool hold);
// How often the plug-in has asked whether the desktop is locked.
uint32_t SimDesktopProbes();
// The resolution its last timer asked for.
uint32_t SimTimerResolution();

// The plug-in's own top-level window on this thread (its class belongs to the plug-in's
// module), or null; and the same for any module.
HWND SimNotificationWindow();
HWND ModuleWindow(HMODULE module);
// Posts what Windows sends at a session change (WTS_SESSION_LOCK...) to that window.
bool SimAnnounce(WPARAM change);
// Makes the next `count` registrations for session notifications fail, as early in a logon.
void SimRefuseSessionRegistrations(uint32_t count);
// Whether Global\TermSrvReadyEvent, as the plug-in opens it, is set: the session's services
// have started (the event is the simulation's own, so other tests never see it).
void SimSetSessionServicesReady(bool ready);
// The window registered for this session's notifications now, or null; and how often the
// plug-in tried to register one.
HWND SimRegisteredWindow();
uint32_t SimSessionRegistrationAttempts();
// Registrations or unregistrations that were not the plug-in's own window's, for this
// session, the display's state or suspend and resume, at most once each, and before the window
// was destroyed.
uint32_t SimMisdirectedRegistrations();

// Which Windows the plug-in meets: 8 or later sleeping classically (suspend and resume are
// broadcast to top-level windows and sent to registrations), a modern-standby laptop (sent to
// registrations only), or 7 (no RegisterSuspendResumeNotification; GUID_CONSOLE_DISPLAY_STATE
// accepted but never reported, the display reported through GUID_MONITOR_POWER_ON alone).
enum class SimSystem { Classic, ModernStandby, Seven };
void SimSetSystem(SimSystem system);
// How the display's notification fares: registered, refused, or missing from this Windows.
enum class SimDisplay { Available, Refused, Missing };
void SimSetDisplayNotification(SimDisplay mode);
// The plug-in's power registrations, and the window each is registered for now (or null).
enum SimPower { SimConsoleDisplay, SimMonitorPower, SimSuspendResume, SimPowerKinds };
HWND SimPowerRegistered(SimPower kind);
// Sends what the system sends when the display's state changes (0 off, 1 on, 2 dimmed) to each
// registration it reports to.
bool SimAnnounceDisplay(DWORD state);
// Delivers a suspend or resume (PBT_APMSUSPEND...) every way the system delivers it: to the
// player's window and the plug-in's (broadcast), and to the registration.
void SimPowerEvent(WPARAM event);
