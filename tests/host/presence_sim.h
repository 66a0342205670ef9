// What Wine cannot do for the presence tests, put between a loaded plug-in and the system by
// rewriting its imports: a workstation that can be locked (its OpenInputDesktop fails while
// locked), a clock that can be moved on (its GetTickCount64 reads real time plus an offset), and
// a count of its timer's ticks (its timeSetEvent callback runs inside a counting wrapper).
// Only the plug-in's own calls are affected; the host and Wine carry on as before.
#pragma once
#include <windows.h>

#include <cstdint>

// Patches a freshly loaded plug-in; call it before init, which seeds from the probes and starts
// the timer. Starts unlocked, with no offset and no ticks counted.
bool SimInstall(HMODULE plugin);

void SimSetLocked(bool locked);
bool SimLocked();
void SimAdvanceClock(uint64_t milliseconds);
uint64_t SimClockOffset();

uint32_t SimTicksStarted();
uint32_t SimTicksCompleted();
// Pumps the host's messages until `count` ticks that began after this call have finished, or
// `timeoutMs` has passed. A tick waiting for the host is answered meanwhile.
bool SimWaitForFreshTicks(uint32_t count, DWORD timeoutMs);
