// One evening at the computer, played through the real gen_hushbell.dll inside the stand-in
// player: the screen saver comes and goes, the machine sleeps, the user locks the workstation
// three times: once noticed by the poll, once announced by Windows' session notification, and
// once for longer than the resume limit. Prints what happened when and what the plug-in sent,
// and exits 0 only if every expected command came and nothing else did.
#include <windows.h>
#include <wtsapi32.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "presence_sim.h"
#include "standin_host.h"
#include "test_files.h"

namespace {
constexpr UINT Play = HostCommandPlay, Pause = HostCommandPause, Stop = HostCommandStop;
// A tick comes every second; a command due at the next tick gets three.
constexpr DWORD CommandDeadlineMs = 3000;
constexpr DWORD TickDeadlineMs = 3000;
constexpr uint32_t SilentTicks = 2;
constexpr uint64_t LongAbsenceMs = 2 * 60 * 1000;
constexpr size_t MaxFaults = 16;
constexpr size_t FaultLength = 200;

void StartPlaying() { HostSetPlayState(HostPlaying); }
void ScreenSaverStarts() { SetScreenSaverRunning(true); }
void ScreenSaverEnds() { SetScreenSaverRunning(false); }
void StandbyCycle() {
  SendMessageA(HostWindowHandle(), WM_POWERBROADCAST, 4, 0);  // suspend
  SendMessageA(HostWindowHandle(), WM_POWERBROADCAST, 7, 0);  // resume
}
void Lock() { SimSetLocked(true); }
void Unlock() { SimSetLocked(false); }
// The desktop changes, then Windows tells the plug-in's window.
void LockAnnounced() {
  SimSetLocked(true);
  SimAnnounce(WTS_SESSION_LOCK);
}
void UnlockAnnounced() {
  SimSetLocked(false);
  SimAnnounce(WTS_SESSION_UNLOCK);
}
void TimePasses() { SimAdvanceClock(LongAbsenceMs); }

enum class Expect : uint8_t {
  Scene,    // something the user does; the plug-in is not meant to answer it
  Command,  // exactly this command, at once or by the next tick
  Silence,  // no command over the next ticks
  Instant,  // exactly this command, from the session notification alone (the timer held back)
};

struct Step {
  const char* What;
  void (*Act)();
  Expect Kind;
  uint32_t Command;
  int StateAfter;
};

constexpr Step Evening[] = {
    {"player playing", StartPlaying, Expect::Scene, 0, HostPlaying},
    {"screen saver started", ScreenSaverStarts, Expect::Command, Pause, HostPaused},
    {"screen saver ended", ScreenSaverEnds, Expect::Command, Play, HostPlaying},
    {"standby and back (suspend, resume)", StandbyCycle, Expect::Command, Stop, HostStopped},
    {"player started again by the user", StartPlaying, Expect::Scene, 0, HostPlaying},
    {"workstation locked", Lock, Expect::Command, Pause, HostPaused},
    {"workstation unlocked a moment later", Unlock, Expect::Command, Play, HostPlaying},
    {"workstation locked, Windows announces it", LockAnnounced, Expect::Instant, Pause, HostPaused},
    {"workstation unlocked, Windows announces it", UnlockAnnounced, Expect::Instant, Play, HostPlaying},
    {"workstation locked again", Lock, Expect::Command, Pause, HostPaused},
    {"two minutes pass (the plug-in's clock is moved on)", TimePasses, Expect::Scene, 0, HostPaused},
    {"workstation unlocked after more than the 1-minute limit", Unlock, Expect::Silence, 0, HostPaused},
};

struct Report {
  ULONGLONG StartMs;
  size_t Handled;  // commands already attributed to a step
  int Expected;
  int Seen;
  char Faults[MaxFaults][FaultLength];
  size_t FaultCount;
} Run;

double Seconds(ULONGLONG ms) { return ms >= Run.StartMs ? (ms - Run.StartMs) / 1000.0 : 0.0; }

const char* CommandName(uint32_t command) {
  switch (command) {
    case Play: return "Play";
    case Pause: return "Pause";
    case Stop: return "Stop";
    default: return "an unknown command";
  }
}

const char* StateName(int state) {
  switch (state) {
    case HostPlaying: return "playing";
    case HostPaused: return "paused";
    case HostStopped: return "stopped";
    default: return "in an unknown state";
  }
}

// Remembers "<problem> after "<step>"" for the closing list.
void Fault(const char* problem, const char* command, const Step& step) {
  if (Run.FaultCount >= MaxFaults) return;
  snprintf(Run.Faults[Run.FaultCount], FaultLength, "%s%s after \"%s\"", problem, command, step.What);
  ++Run.FaultCount;
}

// Prints and judges the commands that arrived since the previous step; true when they are
// exactly the one expected (or none, when none is).
bool TakeCommands(const Step& step) {
  const bool expects = step.Kind == Expect::Command || step.Kind == Expect::Instant;
  bool expectedSeen = false, unexpected = false;
  for (; Run.Handled < HostCommandCount(); ++Run.Handled) {
    const HostCommand c = HostCommandAt(Run.Handled);
    const bool wanted = expects && !expectedSeen && c.Command == step.Command &&
                        c.StateAfter == step.StateAfter && !c.Restarted;
    printf("%5.1f s  %s -> %s sent, player was %s -> now %s%s%s\n", Seconds(c.AtMs), step.What,
           CommandName(c.Command), StateName(c.StateBefore), StateName(c.StateAfter),
           c.Restarted ? " (track restarted)" : "", wanted ? "" : "   <-- UNEXPECTED");
    if (wanted) {
      expectedSeen = true;
    } else {
      unexpected = true;
      Fault("unexpected ", CommandName(c.Command), step);
    }
  }
  if (expects && !expectedSeen) {
    printf("%5.1f s  %s -> no %s arrived   <-- MISSING\n", Seconds(GetTickCount64()), step.What,
           CommandName(step.Command));
    Fault("missing ", CommandName(step.Command), step);
  }
  return !unexpected && (!expects || expectedSeen);
}

void RunStep(const Step& step) {
  // No tick of the timer until the command is in: it can only come from the notification.
  if (step.Kind == Expect::Instant) SimHoldTicks(true);
  const ULONGLONG actedAt = GetTickCount64();
  const size_t before = HostCommandCount();
  step.Act();
  switch (step.Kind) {
    case Expect::Scene:
      printf("%5.1f s  %s\n", Seconds(actedAt), step.What);
      TakeCommands(step);
      return;
    case Expect::Command: {
      ++Run.Expected;
      HostWaitForCommands(before + 1, CommandDeadlineMs);
      // One more whole tick: an extra command would show here, and the plug-in has looked
      // at the new situation once more before the next step changes it.
      const bool ticked = SimWaitForFreshTicks(1, TickDeadlineMs);
      if (TakeCommands(step) && ticked) ++Run.Seen;
      if (!ticked) Fault("no tick of the plug-in's timer", "", step);
      return;
    }
    case Expect::Instant: {
      ++Run.Expected;
      const bool arrived = HostWaitForCommands(before + 1, CommandDeadlineMs);
      const bool exact = TakeCommands(step);  // judged before any tick may add to it
      if (arrived)
        printf("         (%llu ms after the notification, before any tick of the poll)\n",
               static_cast<unsigned long long>(HostCommandAt(before).AtMs - actedAt));
      SimHoldTicks(false);
      // One more whole tick: an extra command would show here.
      const bool ticked = SimWaitForFreshTicks(1, TickDeadlineMs);
      if (TakeCommands(Step{step.What, step.Act, Expect::Scene, 0, step.StateAfter}) && exact && ticked)
        ++Run.Seen;
      if (!ticked) Fault("no tick of the plug-in's timer", "", step);
      return;
    }
    case Expect::Silence: {
      ++Run.Expected;
      // Silence only counts if the plug-in did look: the ticks must have run.
      const bool ticked = SimWaitForFreshTicks(SilentTicks, TickDeadlineMs * SilentTicks);
      if (HostCommandCount() != before) {
        TakeCommands(step);
      } else if (!ticked) {
        printf("%5.1f s  %s -> no tick ran   <-- TIMER STOPPED\n", Seconds(actedAt), step.What);
        Fault("no tick of the plug-in's timer", "", step);
      } else {
        printf("%5.1f s  %s -> nothing sent over %u ticks, music stays %s\n", Seconds(actedAt), step.What,
               SilentTicks, StateName(HostGetPlayState()));
        ++Run.Seen;
      }
      return;
    }
  }
}

int PlayEvening(const std::string& ini, const char* plugin) {
  WriteIniSettings(ini,
                   "LockAction=1 LockAutoResume=1 LockTimeout=1 ScreenSaverAction=1 ScreenSaverAutoResume=1 "
                   "StandbyAction=2 Verlift=0");  // no update check in the middle of the evening
  if (IniValue(ini, "StandbyAction") != "2") {
    printf("demo: cannot write the settings to %s\n", ini.c_str());
    return 1;
  }
  if (!HostCreate(ini.c_str())) {
    printf("demo: cannot create the stand-in player's window\n");
    return 1;
  }
  if (HostLoadPlugin(plugin) == nullptr) {
    printf("demo: cannot load %s\n", plugin);
    return 1;
  }
  if (!SimInstall(HostPluginModule())) {
    printf("demo: cannot put the simulated lock and clock under the plug-in\n");
    return 1;
  }
  HostSetPlayState(HostPlaying);
  if (HostInitPlugin() != 0) {
    printf("demo: the plug-in's init failed\n");
    return 1;
  }
  printf("Hushbell demo: an evening with the real gen_hushbell.dll in a stand-in player\n");
  printf(
      "settings: lock -> pause, resume on unlock unless locked over 1 minute;\n"
      "          screen saver -> pause, resume when it ends; standby -> stop\n\n");
  Run.StartMs = GetTickCount64();
  for (const Step& step : Evening) RunStep(step);
  // Anything that came after the last step is unexpected too.
  TakeCommands(Step{"the end of the evening", [] {}, Expect::Scene, 0, 0});
  return 0;
}
}  // namespace

int main() {
  setvbuf(stdout, nullptr, _IONBF, 0);
  SetScreenSaverRunning(false);
  const std::string ini = UniqueTempPath("hbd");
  char plugin[MAX_PATH];
  if (ini.empty() || !HostPluginBesideProgram(plugin, sizeof plugin)) {
    printf("demo: no temporary file for the settings, or no plug-in path\n");
    DeleteFileA(ini.c_str());
    return 1;
  }

  const int setup = PlayEvening(ini, plugin);

  SetScreenSaverRunning(false);
  HostStop();
  DeleteFileA(ini.c_str());
  if (setup != 0) return setup;

  printf("\ndemo: %d of %d expected events seen\n", Run.Seen, Run.Expected);
  for (size_t i = 0; i < Run.FaultCount; ++i) printf("demo: %s\n", Run.Faults[i]);
  return Run.Seen == Run.Expected && Run.FaultCount == 0 ? 0 : 1;
}
