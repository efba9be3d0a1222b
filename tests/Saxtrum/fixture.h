#pragma once
// A recorder emulator on loopback and the library started, with product time-outs shrunk.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "StreamPlay.h"
#include "Saxtrum.h"
#include "dvremu/emulator.h"
#include "plat/clock.h"
#include "support/Wait.h"

namespace saxtrum_test {

// Collects the player calls in order.
struct CallLog {
  std::mutex mu;
  std::vector<std::string> calls;
  static void observe(const char* fn, int32_t, void* user) {
    auto* self = static_cast<CallLog*>(user);
    std::lock_guard<std::mutex> lock(self->mu);
    self->calls.emplace_back(fn);
  }
  std::vector<std::string> take() {
    std::lock_guard<std::mutex> lock(mu);
    auto out = calls;
    calls.clear();
    return out;
  }
};

// Counts a callback and lets a test wait for it (bounded).
struct Counter {
  std::mutex mu;
  std::condition_variable cv;
  int count = 0;
  void hit() {
    std::lock_guard<std::mutex> lock(mu);
    ++count;
    cv.notify_all();
  }
  bool waitFor(int n) {
    std::unique_lock<std::mutex> lock(mu);
    return cv.wait_for(lock, testsupport::Patience(), [&] { return count >= n; });
  }
  int value() {
    std::lock_guard<std::mutex> lock(mu);
    return count;
  }
};

class SaxtrumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::setTimeScale(0.5);  // 5 s replies in 2.5 s: room for a busy machine
    dvremu::Options o;
    o.pace = false;
    o.maxClipLoops = 2;
    emu = std::make_unique<dvremu::Emulator>(o);
    ASSERT_TRUE(emu->start(0));
    QX_DVR_Init();
  }
  void TearDown() override {
    // A test's call log is gone by now; clean-up still gives players back.
    StreamPlay_SetCallObserver(nullptr, nullptr);
    QX_DVR_Cleanup();
    emu->stop();
    plat::setTimeScale(1.0);
  }
  int32_t login(const char* user = "admin", const char* password = "12345",
                QX_DVR_DEVICEINFO* info = nullptr) {
    return QX_DVR_Login("127.0.0.1", emu->port(), user, password, info);
  }
  std::unique_ptr<dvremu::Emulator> emu;
};

}  // namespace saxtrum_test
