// The presence monitor's decisions: each tick's screen-saver and lock steps and the standby
// notifications, over the flags of PluginState and the probes MonitorIo supplies.
#include "monitor.h"

namespace {

// How a step ends: the tick goes on, or it ends here and leaves ScreenSaverSeen as it is.
enum class Outcome : uint8_t { Continue, KeepSaverSeen };

constexpr uint64_t MsPerMinute = 60000;

bool IsSet(const std::atomic<int32_t>& flag) { return Get(flag) != 0; }

// The host's pause toggles (a paused player would start playing) and its play restarts a
// playing track, so each command only goes to a player in the state it is meant for.
bool SuitsPlayer(uint8_t action, bool playing) {
  switch (action) {
    case ActionPause: return playing;
    case ActionStop: return true;
    case ActionPlay: return !playing;
    default: return false;
  }
}

void SendIfSuits(const MonitorIo& io, uint8_t action, bool playing) {
  if (SuitsPlayer(action, playing)) io.SendAction(io.Context, action);
}

// Asks the player right before sending; stop and the codes that send nothing need no answer.
void SendChecked(const MonitorIo& io, uint8_t action) {
  if (action != ActionPause && action != ActionPlay) {
    SendIfSuits(io, action, false);
    return;
  }
  SendIfSuits(io, action, io.ProbePlaying(io.Context));
}

// Music coming back after a long absence is unwelcome: past the configured number of minutes
// since the take-over the path ends without resuming. Zero or negative means no limit.
bool TimedOut(const MonitorIo& io, uint64_t engagedAtMs, int32_t minutes) {
  if (minutes <= 0) return false;
  const uint64_t now = io.NowMs(io.Context);
  return now > engagedAtMs && now - engagedAtMs > static_cast<uint64_t>(minutes) * MsPerMinute;
}

void Resume(const MonitorIo& io, uint64_t engagedAtMs, int32_t timeoutMinutes) {
  if (!TimedOut(io, engagedAtMs, timeoutMinutes)) SendChecked(io, ActionPlay);
}

// What one tick has seen of the desktop: each probe is asked at most once per tick and its
// answer reused by the later steps (-1: not asked yet).
struct TickProbes {
  const PluginState& S;
  const MonitorIo& Io;
  int8_t Locked = -1;
  int8_t Saver = -1;
};

bool LockedThisTick(TickProbes& t) {
  if (t.Locked < 0) t.Locked = t.Io.ProbeLocked(t.Io.Context) ? 1 : 0;
  return t.Locked != 0;
}

// With the user's choice the display being off stands for a running screen saver everywhere,
// so a screen saver that outlasts the display keeps the path engaged until both have ended. The
// choice belongs to the screen-saver action: without one it does nothing.
bool DisplayOffCounts(const TickProbes& t) {
  return IsSet(t.S.ScreenSaverDisplayOff) && Get(t.S.ScreenSaverAction) != 0 &&
         t.Io.DisplayState(t.Io.Context) == DisplayOff;
}

bool ScreenSaverThisTick(TickProbes& t) {
  if (t.Saver < 0) t.Saver = DisplayOffCounts(t) || t.Io.ProbeScreenSaver(t.Io.Context) ? 1 : 0;
  return t.Saver != 0;
}

Outcome ScreenSaverStep(PluginState& s, TickProbes& t) {
  const MonitorIo& io = t.Io;
  if (IsSet(s.LockEngaged) || Get(s.ScreenSaverAction) == 0) return Outcome::Continue;
  if (ScreenSaverThisTick(t)) {
    if (IsSet(s.ScreenSaverEngaged)) return Outcome::Continue;
    Put(s.ScreenSaverEngaged, 1);
    s.ScreenSaverEngagedAtMs = io.NowMs(io.Context);  // start of the screen-saver timeout
    const bool playing = io.ProbePlaying(io.Context);
    Put(s.WasPlaying, playing);
    // Every non-zero action pauses here; a pause to a player that is not playing would start it.
    SendIfSuits(io, ActionPause, playing);
    return Outcome::KeepSaverSeen;
  }
  // Ended into a locked desktop (password-protected screen saver): wait for the unlock.
  if (IsSet(s.ScreenSaverSeen) && LockedThisTick(t)) return Outcome::KeepSaverSeen;
  if (!IsSet(s.ScreenSaverEngaged)) return Outcome::Continue;
  Put(s.ScreenSaverEngaged, 0);
  if (!IsSet(s.ScreenSaverAutoResume) || !IsSet(s.WasPlaying)) return Outcome::Continue;
  Resume(io, s.ScreenSaverEngagedAtMs, Get(s.ScreenSaverTimeout));
  // The screen saver is gone on this tick: a lock after it is a lock of its own, not the screen
  // saver's, even when it comes before another tick has looked.
  Put(s.ScreenSaverSeen, 0);
  return Outcome::KeepSaverSeen;
}

Outcome LockStep(PluginState& s, TickProbes& t) {
  const MonitorIo& io = t.Io;
  if (LockedThisTick(t)) {
    if (IsSet(s.ScreenSaverSeen)) return Outcome::KeepSaverSeen;  // the lock belongs to the screen saver
    if (!IsSet(s.LockEngaged)) {
      Put(s.LockEngaged, 1);
      s.LockEngagedAtMs = io.NowMs(io.Context);  // start of the lock timeout
      const bool playing = io.ProbePlaying(io.Context);
      Put(s.WasPlaying, playing);
      // Only a playing player is acted on; the answer just read is reused, and the
      // command is still checked against it (play to a playing player would restart it).
      if (playing) SendIfSuits(io, Get(s.LockAction), playing);
    }
    return Outcome::Continue;
  }
  if (IsSet(s.LockEngaged) && !ScreenSaverThisTick(t)) {
    Put(s.LockEngaged, 0);
    if (IsSet(s.LockAutoResume) && IsSet(s.WasPlaying)) Resume(io, s.LockEngagedAtMs, Get(s.LockTimeout));
  }
  return Outcome::Continue;
}

}  // namespace

bool AnyTriggerEnabled(const PluginState& s) {
  return Get(s.LockAction) != 0 || Get(s.ScreenSaverAction) != 0;
}

void SeedMonitor(PluginState& s, const MonitorIo& io) {
  Put(s.LockEngaged, io.ProbeLocked(io.Context));
  const bool running = io.ProbeScreenSaver(io.Context);
  Put(s.ScreenSaverSeen, running);
  Put(s.ScreenSaverEngaged, running);
  Put(s.WasPlaying, 0);
  Put(s.StandbyPending, 0);
  const uint64_t now = io.NowMs(io.Context);
  s.LockEngagedAtMs = now;
  s.ScreenSaverEngagedAtMs = now;
}

void PollTick(PluginState& s, const MonitorIo& io) {
  // The clock is read every tick, even when nothing is decided: a clock built from a 32-bit count
  // sees its wraps (one every 49.7 days) only when read at least that often, also through a lock.
  io.NowMs(io.Context);
  if (IsSet(s.StandbyPending)) return;  // nothing is polled between suspend and resume
  TickProbes probes{s, io};
  if (ScreenSaverStep(s, probes) == Outcome::KeepSaverSeen) return;
  if (!IsSet(s.ScreenSaverEngaged) && LockStep(s, probes) == Outcome::KeepSaverSeen) return;
  Put(s.ScreenSaverSeen, ScreenSaverThisTick(probes));
}

void SendIfPlaying(const MonitorIo& io, uint8_t action) {
  if (SuitsPlayer(action, true) && io.ProbePlaying(io.Context)) SendIfSuits(io, action, true);
}

void OnPowerBroadcast(PluginState& s, const MonitorIo& io, uint32_t message, uintptr_t wParam) {
  const uint8_t action = Get(s.StandbyAction);
  if (action == 0 || message != WmPowerBroadcast) return;
  switch (wParam) {
    case PbtApmSuspend: Put(s.StandbyPending, 1); break;
    case PbtApmResumeCritical:
    case PbtApmResumeSuspend:
    case PbtApmResumeAutomatic:
      // The first resume for a suspend acts, however many ways it is heard; the command must
      // suit the player's state. The standby action is the user's last word: a lock, screen saver
      // or display-off taken over before the suspend no longer resumes (modern standby locks and
      // turns the display off first). Cleared before the ticks run again.
      if (IsSet(s.StandbyPending)) {
        Put(s.WasPlaying, 0);
        Put(s.StandbyPending, 0);
        SendChecked(io, action);
      }
      break;
    default: break;
  }
}

bool TakeDisplayReport(std::atomic<uint32_t>& shown, uint32_t reported) {
  const uint32_t state = reported == DisplayOff ? DisplayOff : DisplayOn;
  return shown.exchange(state, std::memory_order_relaxed) != state;
}

bool RetrySessionRegistration(uint64_t refusedAtMs, uint64_t nowMs, bool servicesReady) {
  return !servicesReady && nowMs - refusedAtMs < SessionRetryMs;
}
