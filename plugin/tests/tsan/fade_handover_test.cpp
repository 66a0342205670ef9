// The timer thread decides resumes and hands each faded one to the player's thread, where the
// fade's steps run too, while the dialog turns the setting on and off and the user changes the
// volume. Built with ThreadSanitizer: any unsynchronised access fails the run.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "fade.h"
#include "fade_fakes.h"
#include "monitor.h"
#include "plugin_fakes.h"

namespace {

// The player's thread: runs what another thread hands it and waits until it is done (as
// SendMessage does); between calls it takes the fade's steps and acts as the user.
struct PlayerThread {
  std::mutex Mutex;
  std::condition_variable Changed;
  const std::function<void()>* Job = nullptr;  // under Mutex
  bool Quit = false;                           // under Mutex

  void Call(const std::function<void()>& job) {
    std::unique_lock<std::mutex> lock(Mutex);
    Job = &job;
    Changed.notify_all();
    Changed.wait(lock, [&] { return Job == nullptr; });
  }
  // Runs a handed job if one waits; false once told to quit.
  bool Serve() {
    std::unique_lock<std::mutex> lock(Mutex);
    Changed.wait_for(lock, std::chrono::microseconds(200), [&] { return Job != nullptr || Quit; });
    if (Job != nullptr) {
      (*Job)();
      Job = nullptr;
      Changed.notify_all();
    }
    return !Quit;
  }
  void Stop() {
    std::lock_guard<std::mutex> lock(Mutex);
    Quit = true;
    Changed.notify_all();
  }
};

// Everything the player's thread owns: the player, the fade and what the user chose.
struct PlayerSide {
  VolumePlayer Player{.Volume = 200, .Playing = true};
  Fade F{};
  bool Fading = false;
  intptr_t UserVolume = 200;
  int Fades = 0, PlainPlays = 0, Steps = 0, AboveUser = 0;
};

struct Rig {
  PluginState S{};
  PlayerThread Thread;
  PlayerSide Side;  // only on Thread
  bool Locked = false;  // the ticker's own

  static Rig& Of(void* c) { return *static_cast<Rig*>(c); }
  static bool ProbeLocked(void* c) { return Of(c).Locked; }
  static bool ProbeNothing(void*) { return false; }
  static bool ProbePlaying(void* c) {
    bool playing = false;
    Of(c).Thread.Call([&] { playing = Of(c).Side.Player.Playing; });
    return playing;
  }
  // The platform's command sender: a faded resume is handed over whole; the hook puts the volume
  // back right after the player handles a pause.
  static void Send(void* c, uint8_t action) {
    Rig& r = Of(c);
    PlayerSide& side = r.Side;
    const bool fades = ResumeFades(action, Get(r.S.ResumeFadeSeconds));
    r.Thread.Call([&] {
      if (fades) {
        side.Fading = PlayResume(side.F, Get(r.S.ResumeFadeSeconds), side.Player.Io());
        ++(side.Fading ? side.Fades : side.PlainPlays);
      } else if (action == ActionPlay) {
        VolumePlayer::Play(&side.Player);
        ++side.PlainPlays;
      } else {
        side.Player.Playing = false;
        StopFade(side.F, side.Player.Io());
      }
    });
  }
  static uint64_t Now(void*) { return 0; }
  static uint32_t Display(void*) { return DisplayOn; }
  MonitorIo Io() { return {this, ProbeLocked, ProbeNothing, ProbePlaying, Send, Now, Display}; }

  // The player's thread between calls: a step when one is due, now and then the user's volume.
  void PlayerLoop() {
    uint64_t round = 0;
    while (Thread.Serve()) {
      PlayerSide& side = Side;
      if (++round % 5 == 0 && side.Fading) {
        side.Player.Now += FadeStepMs;
        side.Fading = StepFade(side.F, Get(S.ResumeFadeSeconds), side.Player.Io());
        ++side.Steps;
      }
      if (round % 997 == 0) {  // always another volume than the one set last, so it is seen
        side.UserVolume = side.Player.Volume == 180 ? 200 : 180;
        side.Player.Volume = side.UserVolume;
      }
      for (const VolumeSet& set : side.Player.Sets) side.AboveUser += set.Volume > 200;
      side.Player.Sets.clear();
    }
  }
};

TEST(FadeHandover, TicksHandResumesToThePlayersThread) {
  Rig rig;
  Store(rig.S, {.LockAction = ActionPause, .LockAutoResume = 1});
  SeedMonitor(rig.S, rig.Io());
  std::thread player([&] { rig.PlayerLoop(); });
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> ticks{0};
  std::thread ticker([&] {
    const MonitorIo io = rig.Io();
    for (uint64_t i = 0; !stop.load(); ++i) {
      rig.Locked = i % 8 == 1;  // a lock now and then, unlocked stretches for the fades
      PollTick(rig.S, io);
      ticks.store(i + 1);
    }
  });
  // The dialog: the setting off, on, and beyond its range, each for a stretch of ticks.
  for (uint64_t t = 0; t < 6000; t = ticks.load()) Put(rig.S.ResumeFadeSeconds, t / 200 % 3 * 6);
  stop.store(true);
  ticker.join();
  // quit: the fade stops on the player's thread, then nothing more runs there.
  rig.Thread.Call([&] { StopFade(rig.Side.F, rig.Side.Player.Io()); });
  rig.Thread.Stop();
  player.join();

  const PlayerSide& side = rig.Side;
  EXPECT_GT(side.Fades, 0);
  EXPECT_GT(side.PlainPlays, 0);
  EXPECT_GT(side.Steps, 0);
  EXPECT_EQ(side.AboveUser, 0) << "a step set the volume above the user's";
  EXPECT_EQ(side.Player.Volume, side.UserVolume) << "the player kept a volume the user did not choose";
}

}  // namespace
