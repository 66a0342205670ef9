// The timer thread decides resumes and hands each faded one to the player's thread, where the
// steps run too, while the dialog turns the setting on and off and the user changes the volume.
// Built with ThreadSanitizer: any unsynchronised access fails the run.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "fade.h"
#include "fade_fakes.h"
#include "plugin_fakes.h"

namespace {

// The player's thread: runs what the ticks hand it, each waiting until it is done (as
// SendMessage does), and between them the fade's steps and the user. Its fields are its own.
struct PlayerThread {
  std::mutex Mutex;
  std::condition_variable Changed;
  const std::function<void()>* Job = nullptr;  // under Mutex
  bool Quit = false;                           // under Mutex
  VolumePlayer Player{.Playing = true};
  Fade F{};
  bool Fading = false;
  intptr_t UserVolume = Player.Volume;
  int Fades = 0, Steps = 0, AboveUser = 0;

  void Call(const std::function<void()>& job) {
    std::unique_lock<std::mutex> lock(Mutex);
    Job = &job;
    Changed.notify_all();
    Changed.wait(lock, [&] { return Job == nullptr; });
  }
  void Run(const PluginState& s) {
    for (uint64_t round = 1;; ++round) {
      {
        std::unique_lock<std::mutex> lock(Mutex);
        Changed.wait_for(lock, std::chrono::microseconds(200), [&] { return Job != nullptr || Quit; });
        if (Quit) return;
        if (Job != nullptr) {
          (*Job)();
          Job = nullptr;
          Changed.notify_all();
        }
      }
      if (round % 5 == 0 && Fading) {
        Player.Now += FadeStepMs;
        Fading = StepFade(F, Get(s.ResumeFadeSeconds), Player.Io());
        ++Steps;
      }
      if (round % 997 == 0) Player.Volume = UserVolume = Player.Volume == 180 ? 200 : 180;  // always seen
      for (const VolumeSet& set : Player.Sets) AboveUser += set.Volume > 200;
      Player.Sets.clear();
    }
  }
};

struct Rig : FakeHost {
  PluginState S{};
  PlayerThread Thread;
  static Rig& Of(void* c) { return static_cast<Rig&>(FakeHost::Of(c)); }
  static bool Playing(void* c) {
    bool playing = false;
    Of(c).Thread.Call([&] { playing = Of(c).Thread.Player.Playing; });
    return playing;
  }
  // As the platform sends: a faded resume is handed over whole; the hook puts the volume back
  // right after a pause.
  static void Send(void* c, uint8_t action) {
    Rig& r = Of(c);
    PlayerThread& t = r.Thread;
    const bool fades = ResumeFades(action, Get(r.S.ResumeFadeSeconds));
    t.Call([&] {
      if (fades) t.Fades += t.Fading = PlayResume(t.F, Get(r.S.ResumeFadeSeconds), t.Player.Io());
      if (!fades && action == ActionPlay) VolumePlayer::Play(&t.Player);
      if (action == ActionPlay) return;
      t.Player.Playing = false;
      StopFade(t.F, t.Player.Io());
    });
  }
  MonitorIo Io() { return {this, ProbeLocked, ProbeSaver, Playing, Send, NowMs, Display}; }
};

TEST(FadeHandover, TicksHandResumesToThePlayersThread) {
  Rig rig;
  Store(rig.S, {.LockAction = ActionPause, .LockAutoResume = 1});
  SeedMonitor(rig.S, rig.Io());
  std::thread player([&] { rig.Thread.Run(rig.S); });
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> ticks{0};
  std::thread ticker([&] {
    for (uint64_t i = 0; !stop.load(); ticks.store(++i)) {
      rig.Desk = i % 8 == 1 ? Locked : Free;  // unlocked stretches for the fades
      PollTick(rig.S, rig.Io());
    }
  });
  // The dialog: the setting off, on, and beyond its range, each for a stretch of ticks.
  for (uint64_t t = 0; t < 6000; t = ticks.load()) Put(rig.S.ResumeFadeSeconds, t / 200 % 3 * 6);
  stop.store(true);
  ticker.join();
  // quit: the fade stops on the player's thread, then nothing more runs there.
  rig.Thread.Call([&] { StopFade(rig.Thread.F, rig.Thread.Player.Io()); });
  rig.Thread.Call([&] { rig.Thread.Quit = true; });
  player.join();

  const PlayerThread& t = rig.Thread;
  EXPECT_GT(t.Fades, 0);
  EXPECT_GT(t.Steps, 0);
  EXPECT_EQ(t.AboveUser, 0) << "a step set the volume above the user's";
  EXPECT_EQ(t.Player.Volume, t.UserVolume) << "the player kept a volume the user did not choose";
}

}  // namespace
