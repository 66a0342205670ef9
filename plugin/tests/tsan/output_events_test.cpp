// The audio service's threads queue output news while the player's thread takes them and a stop
// clears them. Built with ThreadSanitizer: any unsynchronised access fails the run.
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "output_loss.h"

namespace {

// The player's message queue: slot numbers posted from any thread.
struct Mailbox {
  std::mutex Mutex;
  std::condition_variable Ready;
  std::deque<uint32_t> Slots;
  static bool Post(void* c, uint32_t slot) {
    auto& m = *static_cast<Mailbox*>(c);
    std::lock_guard<std::mutex> guard(m.Mutex);
    m.Slots.push_back(slot);
    m.Ready.notify_one();
    return true;
  }
};

// Every event carries its number twice, in its time and its id: a torn copy cannot match.
TEST(OutputEvents, CallbacksQueueWhileThePlayerTakes) {
  static OutputEventQueue queue;
  Mailbox mailbox;
  constexpr int Producers = 3, PerProducer = 3000;
  std::vector<std::thread> producers;
  for (int p = 0; p < Producers; ++p) {
    producers.emplace_back([&, p] {
      for (int i = 0; i < PerProducer; ++i) {
        const uint64_t n = uint64_t(p) * PerProducer + i;
        const std::u16string id(n % 100 + 1, char16_t(u'a' + n % 26));
        OutputEvent e{OutputChange::State, FlowRender, RoleConsole, 8, n, false, {}};
        SetEventId(e, id.c_str());
        while (!QueueOutputEvent(queue, e, Mailbox::Post, &mailbox)) std::this_thread::yield();
      }
    });
  }
  int taken = 0, cleared = 0;
  while (taken + cleared < Producers * PerProducer) {
    std::unique_lock<std::mutex> lock(mailbox.Mutex);
    mailbox.Ready.wait(lock, [&] { return !mailbox.Slots.empty(); });
    const uint32_t slot = mailbox.Slots.front();
    mailbox.Slots.pop_front();
    lock.unlock();
    OutputEvent e;
    // Now and then a stop drops what is waiting; the numbers still posted then find nothing.
    if ((taken + cleared) % 500 == 499) ClearOutputEvents(queue);
    if (!TakeOutputEvent(queue, slot, e)) {
      ++cleared;
      continue;
    }
    ++taken;
    ASSERT_EQ(std::u16string(e.Id), std::u16string(e.AtMs % 100 + 1, char16_t(u'a' + e.AtMs % 26)));
  }
  for (std::thread& t : producers) t.join();
  EXPECT_GT(taken, Producers * PerProducer / 2);
}

}  // namespace
