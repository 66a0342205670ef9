// What the portable tests of the plug-in stand in for: the host player, the desktop, and the
// dialog's OK storing the settings.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "host_protocol.h"
#include "monitor.h"
#include "plugin_state.h"
#include "settings.h"

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

// The settings by name, one field per row of the settings table and in its order; a field left
// out stands for its row's default (that of an empty section).
struct Settings {
  std::optional<int32_t> LockAction, LockAutoResume, LockTimeout;
  std::optional<int32_t> ScreenSaverAction, ScreenSaverAutoResume, ScreenSaverTimeout;
  std::optional<int32_t> StandbyAction, UpdateCheck, ScreenSaverDisplayOff, ResumeFadeSeconds, UnplugAction;
};
using SettingFields = std::array<std::optional<int32_t>, std::size(SettingRows)>;
static_assert(sizeof(Settings) == sizeof(SettingFields), "one field per row");

// Each value in table order, a field left out as its row's default.
inline std::array<int32_t, std::size(SettingRows)> Values(const Settings& v) {
  const SettingFields fields = std::bit_cast<SettingFields>(v);
  std::array<int32_t, std::size(SettingRows)> values{};
  for (size_t i = 0; i < values.size(); ++i) values[i] = fields[i].value_or(SettingRows[i].Default);
  return values;
}
inline bool operator==(const Settings& a, const Settings& b) { return Values(a) == Values(b); }

inline void PrintTo(const Settings& v, std::ostream* out) {
  const auto values = Values(v);
  for (size_t i = 0; i < values.size(); ++i) *out << ' ' << SettingRows[i].Key << '=' << values[i];
}

// One store per field, as the dialog's OK does: a tick meanwhile may see any mix of old and new.
inline void Store(PluginState& s, const Settings& v) {
  const auto values = Values(v);
  for (size_t i = 0; i < values.size(); ++i) StoreSetting(s, SettingRows[i], values[i]);
}

inline Settings Read(const PluginState& s) {
  SettingFields fields;
  for (size_t i = 0; i < fields.size(); ++i) fields[i] = SettingValue(s, SettingRows[i]);
  return std::bit_cast<Settings>(fields);
}
