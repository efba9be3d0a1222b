// A port stopped, restarted or freed from its own draw callback: the play thread must not run
// on in a port that is gone, nor on beside the play thread that replaced it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "StreamPlay.h"
#include "streamplay_fixture.h"
#include "support/Wait.h"

namespace {

struct DrawProbe {
  std::mutex mu;
  std::condition_variable cv;
  int32_t port = 0;
  int calls = 0;
  void reset() {
    std::lock_guard<std::mutex> lock(mu);
    calls = 0;
  }
  void enter() {
    std::lock_guard<std::mutex> lock(mu);
    ++calls;
    cv.notify_all();
  }
  bool waitCalls(int n) {
    std::unique_lock<std::mutex> lock(mu);
    return cv.wait_for(lock, testsupport::Patience(), [&] { return calls >= n; });
  }
};

class StreamPlayLifecycle : public streamplay_test::PlayerTest {
 protected:
  static std::string WriteClip(const char* name, int frames) { return WriteStreamFile(name, false, 160, 120, frames, false); }
};

TEST_F(StreamPlayLifecycle, PortFreedFromItsDrawCallbackEndsItsPlayThread) {
  const std::string path = WriteClip("pc_free_in_draw.rec", 8);
  static DrawProbe probe;
  probe.reset();
  int32_t port = -1;
  ASSERT_EQ(SPlay_GetPort2(&port), 1);
  probe.port = port;
  ASSERT_EQ(SPlay_OpenFile(port, path.c_str()), 1);
  ASSERT_EQ(SPlay_RigisterDrawFun(port, [](int32_t p, intptr_t, void*) {
              probe.enter();
              SPlay_Stop(p);
              SPlay_CloseFile(p);
              SPlay_FreePort(p);
            }, nullptr), 1);
  ASSERT_EQ(SPlay_Play(port, 0), 1);
  ASSERT_TRUE(probe.waitCalls(1));
  // The port is free again and a new one plays normally (its thread ran on after the free).
  int32_t next = -1;
  ASSERT_EQ(SPlay_GetPort2(&next), 1);
  ASSERT_EQ(SPlay_OpenFile(next, path.c_str()), 1);
  static DrawProbe second;
  second.reset();
  ASSERT_EQ(SPlay_RigisterDrawFun(next, [](int32_t, intptr_t, void*) {
              second.enter();
            }, nullptr), 1);
  ASSERT_EQ(SPlay_Play(next, 0), 1);
  EXPECT_TRUE(second.waitCalls(2));
  EXPECT_EQ(SPlay_Stop(next), 1);
  EXPECT_EQ(SPlay_FreePort(next), 1);
  std::lock_guard<std::mutex> lock(probe.mu);
  EXPECT_EQ(probe.calls, 1);
}

TEST_F(StreamPlayLifecycle, RestartFromTheDrawCallbackKeepsOnePlayThread) {
  const std::string path = WriteClip("pc_restart_in_draw.rec", 40);
  static DrawProbe probe;
  probe.reset();
  static std::thread::id restarter;
  static bool restarterDrewAgain;
  restarter = {};
  restarterDrewAgain = false;
  int32_t port = -1;
  ASSERT_EQ(SPlay_GetPort2(&port), 1);
  ASSERT_EQ(SPlay_OpenFile(port, path.c_str()), 1);
  ASSERT_EQ(SPlay_RigisterDrawFun(port, [](int32_t p, intptr_t, void*) {
              probe.enter();
              bool restart = false;
              {
                std::lock_guard<std::mutex> lock(probe.mu);
                if (restarter == std::thread::id{}) {
                  restarter = std::this_thread::get_id();
                  restart = true;
                } else if (restarter == std::this_thread::get_id()) {
                  restarterDrewAgain = true;
                }
              }
              if (restart) {
                SPlay_Stop(p);
                SPlay_Play(p, 0);
              }
            }, nullptr), 1);
  ASSERT_EQ(SPlay_Play(port, 0), 1);
  ASSERT_TRUE(probe.waitCalls(12));
  EXPECT_EQ(SPlay_Stop(port), 1);
  EXPECT_EQ(SPlay_FreePort(port), 1);
  // The thread that restarted the port played its part out and drew nothing more.
  std::lock_guard<std::mutex> lock(probe.mu);
  EXPECT_FALSE(restarterDrewAgain);
}

}  // namespace

namespace {

// A draw routine that holds on inside its call while the test unregisters it from another
// thread: the unregister returns only after the call, so the routine's data may go then.
struct HeldDraw {
  std::atomic<int> calls{0};
  std::atomic<bool> inside{false}, release{false};
};
std::atomic<int> g_heldDrawCalls{0};

}  // namespace

TEST_F(StreamPlayLifecycle, UnregisteringTheDrawRoutineWaitsForACallInProgress) {
  const std::string path = WriteClip("pc_unregister_draw.rec", 40);
  int32_t port = -1;
  ASSERT_EQ(SPlay_GetPort2(&port), 1);
  ASSERT_EQ(SPlay_OpenFile(port, path.c_str()), 1);
  auto held = std::make_unique<HeldDraw>();
  ASSERT_EQ(SPlay_RigisterDrawFun(port, [](int32_t, intptr_t, void* user) {
              ++g_heldDrawCalls;
              auto* h = static_cast<HeldDraw*>(user);
              if (h->calls.fetch_add(1) == 0) {
                h->inside = true;
                for (int i = 0; i < 2000 && !h->release; ++i)
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
                h->calls += 10;  // still its own data
              }
            }, held.get()), 1);
  ASSERT_EQ(SPlay_Play(port, 0), 1);
  for (int i = 0; i < 2000 && !held->inside; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(held->inside.load());
  std::atomic<bool> cleared{false};
  std::thread clearer([&] {
    SPlay_RigisterDrawFun(port, nullptr, nullptr);
    cleared = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(cleared.load()) << "unregistered while the routine still ran";
  held->release = true;
  clearer.join();
  const int calls = g_heldDrawCalls.load();
  held.reset();  // no call may come now
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(g_heldDrawCalls.load(), calls);
  EXPECT_EQ(SPlay_Stop(port), 1);
  EXPECT_EQ(SPlay_FreePort(port), 1);
}
