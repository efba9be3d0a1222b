#pragma once
// Shared by the session, parameter and firmware tests: an emulated camera on 127.0.0.1, the
// product time-outs shrunk by the clock's scale, and a recorder for session hook events.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

#include "Corvane.h"
#include "camemu/camera.h"
#include "plat/clock.h"

namespace cvtest {

constexpr double kScale = 0.5;  // 5 s replies in 2.5 s (room for a busy machine)

inline IpcLoginInfo makeLogin(uint16_t port, bool connectNow, const char* user = "admin",
                              const char* password = "admin") {
  IpcLoginInfo li{};
  li.address = INADDR_LOOPBACK;
  li.port = port;
  std::strncpy(li.user, user, sizeof li.user);
  std::strncpy(li.password, password, sizeof li.password);
  li.connectNow = connectNow ? 1 : 0;
  return li;
}

// Records hook events; waits are bounded and only guard against a hang.
class HookLog {
 public:
  struct Event {
    int event;
    void* data;
    std::vector<uint8_t> payload;  // event 9 only
  };
  static void hook(int event, void* data, int length, void* user) {
    auto* self = static_cast<HookLog*>(user);
    EXPECT_EQ(length, 0);
    Event e{event, data, {}};
    if (event == kIpcEvAlarm && data)
      e.payload.assign(static_cast<uint8_t*>(data),
                       static_cast<uint8_t*>(data) + kIpcMsgPayloadSize);
    {
      std::lock_guard<std::mutex> lk(self->m_);
      self->events_.push_back(std::move(e));
    }
    self->cv_.notify_all();
  }
  int count(int event) const {
    std::lock_guard<std::mutex> lk(m_);
    int n = 0;
    for (auto& e : events_) n += e.event == event;
    return n;
  }
  std::vector<Event> events() const {
    std::lock_guard<std::mutex> lk(m_);
    return events_;
  }
  bool waitCount(int event, int n, int realMs = 20000) const {
    std::unique_lock<std::mutex> lk(m_);
    return cv_.wait_for(lk, std::chrono::milliseconds(realMs), [&] {
      int c = 0;
      for (auto& e : events_) c += e.event == event;
      return c >= n;
    });
  }

 private:
  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  std::vector<Event> events_;
};

// Closes the session on the way out, before the camera stops.
struct SessionGuard {
  IPC_HANDLE h = nullptr;
  ~SessionGuard() {
    if (h) IPC_SessionClose(h);
  }
};

// Retries a call until it succeeds, a bounded number of times (the control connection may be
// reopening); the pause between tries is a slice of product time.
inline bool eventually(const std::function<bool()>& f, int tries = 400) {
  for (int i = 0; i < tries; ++i) {
    if (f()) return true;
    plat::sleepMs(250);
  }
  return false;
}

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::setTimeScale(kScale);
    ASSERT_TRUE(cam.start());
  }
  void TearDown() override {
    cam.stop();
    plat::setTimeScale(1.0);
  }
  IpcLoginInfo login(bool connectNow = true) { return makeLogin(cam.port(), connectNow); }

  camemu::Camera cam;
};

// A port on 127.0.0.1 where nothing listens.
uint16_t deadPort();

}  // namespace cvtest
