// What the portable tests of the plug-in stand in for: the host player, the desktop, and the
// dialog's OK storing the settings.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>

#include "host_protocol.h"
#include "monitor.h"
#include "plugin_state.h"

enum PlayerState : char { Playing = 'P', Paused = 'p', Stopped = 's' };

// The host player as the commands find it: pause toggles playing and paused (a stopped player
// stays stopped), play restarts a playing track, stop stops.
struct FakePlayer {
  PlayerState State = Playing;
  int Restarts = 0;           // plays that reached a playing track
  uint64_t Counts[256] = {};  // commands taken, by action code

  void Take(uint8_t action) {
    ++Counts[action];
    switch (HostCommandFor(action)) {
      case HostCommandPause:
        if (State != Stopped) State = State == Playing ? Paused : Playing;
        break;
      case HostCommandPlay:
        if (State == Playing) ++Restarts;
        State = Playing;
        break;
      case HostCommandStop: State = Stopped; break;
      default: ADD_FAILURE() << "the player was sent code " << int(action);
    }
  }
};

// What the probes read, as bits: Dark is the display reported off, Dim reported dimmed.
enum Desktop : uint8_t { Free, Locked, Saver, SaverLocked, Dark, DarkLocked, DarkSaver, Dim = 8 };

// The host and the desktop as the monitor sees them. The player is the host's, whose UI thread
// serialises every query and command; the desktop and the clock belong to the ticking thread.
struct FakeHost {
  Desktop Desk = Free;
  FakePlayer Player;  // under Mutex
  uint64_t Now = 0;
  std::string Sent;  // one digit per command (under Mutex)
  int ProbeCalls = 0;
  std::mutex Mutex;

  static FakeHost& Of(void* c) { return *static_cast<FakeHost*>(c); }
  static bool Probe(void* c, Desktop bit) {
    ++Of(c).ProbeCalls;
    return Of(c).Desk & bit;
  }
  static bool ProbeLocked(void* c) { return Probe(c, Locked); }
  static bool ProbeSaver(void* c) { return Probe(c, Saver); }
  static bool ProbePlaying(void* c) {
    std::lock_guard<std::mutex> guard(Of(c).Mutex);
    return Of(c).Player.State == Playing;
  }
  static void Send(void* c, uint8_t action) {
    std::lock_guard<std::mutex> guard(Of(c).Mutex);
    Of(c).Sent += static_cast<char>('0' + action);
    Of(c).Player.Take(action);
  }
  static uint64_t NowMs(void* c) { return Of(c).Now; }
  static uint32_t Display(void* c) {
    return Of(c).Desk & Dark ? DisplayOff : Of(c).Desk & Dim ? DisplayDimmed : DisplayOn;
  }
  MonitorIo Io() { return {this, ProbeLocked, ProbeSaver, ProbePlaying, Send, NowMs, Display}; }
};

// The nine settings in the order they are saved; the defaults are those of an empty section.
struct Settings {
  int32_t LockAction = 1, LockAutoResume = 1, LockTimeout = 0;
  int32_t ScreenSaverAction = 0, ScreenSaverAutoResume = 0, ScreenSaverTimeout = 0;
  int32_t StandbyAction = 0, UpdateCheck = 0, ScreenSaverDisplayOff = 0;
  bool operator==(const Settings&) const = default;
};

inline void PrintTo(const Settings& v, std::ostream* out) {
  *out << v.LockAction << ' ' << v.LockAutoResume << ' ' << v.LockTimeout << ' ' << v.ScreenSaverAction << ' '
       << v.ScreenSaverAutoResume << ' ' << v.ScreenSaverTimeout << ' ' << v.StandbyAction << ' '
       << v.UpdateCheck << ' ' << v.ScreenSaverDisplayOff;
}

// One store per field, as the dialog's OK does: a tick meanwhile may see any mix of old and new.
inline void Store(PluginState& s, const Settings& v) {
  Put(s.LockAction, v.LockAction);
  Put(s.LockAutoResume, v.LockAutoResume);
  Put(s.LockTimeout, v.LockTimeout);
  Put(s.ScreenSaverAction, v.ScreenSaverAction);
  Put(s.ScreenSaverAutoResume, v.ScreenSaverAutoResume);
  Put(s.ScreenSaverTimeout, v.ScreenSaverTimeout);
  Put(s.StandbyAction, v.StandbyAction);
  Put(s.UpdateCheck, v.UpdateCheck);
  Put(s.ScreenSaverDisplayOff, v.ScreenSaverDisplayOff);
}

inline Settings Read(const PluginState& s) {
  return {Get(s.LockAction),        Get(s.LockAutoResume),        Get(s.LockTimeout),
          Get(s.ScreenSaverAction), Get(s.ScreenSaverAutoResume), Get(s.ScreenSaverTimeout),
          Get(s.StandbyAction),     Get(s.UpdateCheck),           Get(s.ScreenSaverDisplayOff)};
}
