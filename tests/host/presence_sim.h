// What Wine cannot do for the presence tests, put between a loaded plug-in and the system by
// rewriting its imports: a workstation that can be locked (its OpenInputDesktop fails while
// locked), a clock that can be moved on (its GetTickCount64 reads real time plus an offset), a
// count of its timer's ticks (its timeSetEvent callback runs inside a counting wrapper), and a
// record of its registrations for session and display notifications (Wine only pretends to
// register). The display's functions are looked up at run time, so they are reached through
// the plug-in's GetProcAddress, which hands out recording stand-ins for them.
// Only the plug-in's own calls are affected; the host and Wine carry on as before.
#pragma once
#include <windows.h>

#include <cstdint>

// Patches a freshly loaded plug-in; call it before init, which seeds from the probes and starts
// the timer. Starts unlocked, with no offset and no ticks counted.
bool SimInstall(HMODULE plugin);

void SimSetLocked(bool locked);
void SimAdvanceClock(uint64_t milliseconds);
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
HWND SimSessionWindow();
HWND ModuleWindow(HMODULE module);
// Posts what Windows sends at a session change (WTS_SESSION_LOCK...) to that window.
bool SimAnnounce(WPARAM change);
// Makes the next registration for session notifications fail, as on a system without them.
void SimRefuseSessionRegistration(bool refuse);
// The window registered for this session's notifications now, or null.
HWND SimRegisteredWindow();
// Registrations or unregistrations that were not the plug-in's own window's, for this
// session (or the display's state), at most once, and before the window was destroyed.
uint32_t SimMisdirectedRegistrations();

// How the display's notification fares: registered, refused, or missing from this Windows.
enum class SimDisplay { Available, Refused, Missing };
void SimSetDisplayNotification(SimDisplay mode);
// The window registered for the display's state now, or null.
HWND SimDisplayRegisteredWindow();
// Sends what Windows sends when the display's state changes (0 off, 1 on, 2 dimmed) to the
// plug-in's window.
bool SimAnnounceDisplay(DWORD state);
