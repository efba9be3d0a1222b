// The LAN search library against the camera and recorder emulators, over UDP on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Farlook.h"
#include "camemu/camera.h"
#include "dvremu/emulator.h"
#include "plat/clock.h"
#include "support/TimeScale.h"
#include "targets.h"

namespace {

struct Collector {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<tagDEVICEINFO> found;
  int done = 0;
  int afterCleanup = 0;
  bool cleanedUp = false;
  int delayMs = 0;

  static int OnEvent(int type, tagDEVICEINFO* info, void* user) {
    auto* c = static_cast<Collector*>(user);
    if (c->delayMs) std::this_thread::sleep_for(std::chrono::milliseconds(c->delayMs));
    std::lock_guard<std::mutex> lk(c->mutex);
    if (c->cleanedUp) ++c->afterCleanup;
    if (type == CAMSEARCH_EVENT_FOUND && info) c->found.push_back(*info);
    if (type == CAMSEARCH_EVENT_DONE) ++c->done;
    c->changed.notify_all();
    return type;
  }
  bool WaitDone(int count) {
    std::unique_lock<std::mutex> lk(mutex);
    return changed.wait_for(lk, std::chrono::seconds(30), [&] { return done >= count; });
  }
  int CountMac(const std::string& mac) {
    std::lock_guard<std::mutex> lk(mutex);
    int n = 0;
    for (auto& r : found) n += std::string(r.szMac) == mac;
    return n;
  }
  const tagDEVICEINFO* ByMac(const std::string& mac) {
    for (auto& r : found)
      if (std::string(r.szMac) == mac) return &r;
    return nullptr;
  }
};

class ScopedTargets {
 public:
  explicit ScopedTargets(const std::string& text) { setenv(FARLOOK_TARGETS_VARIABLE, text.c_str(), 1); }
  ~ScopedTargets() { unsetenv(FARLOOK_TARGETS_VARIABLE); }
};

TEST(FarlookSearch, FindsTheCameraAndTheRecorderEmulatorsAndEndsCleanly) {
  testsupport::ScopedTimeScale quick(0.2);
  camemu::Camera camera;
  ASSERT_TRUE(camera.start());
  const char* gbkName = "\xC3\xC5\xBF\xDA\xC9\xE3\xCF\xF1\xBB\xFA";  // a Chinese name, in GBK
  ASSERT_TRUE(camera.startDiscovery(0, gbkName));
  dvremu::Emulator recorder;
  ASSERT_TRUE(recorder.start());
  ASSERT_TRUE(recorder.startDiscovery(0));
  // The recorder is reached through a small loopback network entry.
  ScopedTargets targets("127.0.0.1:" + std::to_string(camera.discoveryPort()) + ", 127.0.0.0/30:" +
                        std::to_string(recorder.discoveryPort()));

  intptr_t handle = 0;
  ASSERT_EQ(CAMSEARCh_Startup(&handle), 1);
  ASSERT_NE(handle, 0);
  Collector c;
  ASSERT_EQ(CAMSEARCh_SearchCma(handle, &Collector::OnEvent, &c), 1);
  ASSERT_TRUE(c.WaitDone(1));

  const std::string camMac = lanprobe::MacFor(camera.port());
  const std::string dvrMac = lanprobe::MacFor(0x10000u + recorder.port());
  // Each device answers every round of probes: the same MAC comes more than once.
  EXPECT_GE(c.CountMac(camMac), 2);
  EXPECT_GE(c.CountMac(dvrMac), 2);
  const tagDEVICEINFO* cam = c.ByMac(camMac);
  const tagDEVICEINFO* dvr = c.ByMac(dvrMac);
  ASSERT_TRUE(cam && dvr);
  EXPECT_EQ(cam->nPort, camera.port());
  EXPECT_STREQ(cam->szIP, "127.0.0.1");
  EXPECT_EQ(cam->nChannels, 1);
  EXPECT_STREQ(cam->szName, gbkName);
  EXPECT_EQ(dvr->nPort, recorder.port());
  EXPECT_EQ(dvr->nChannels, 4);
  EXPECT_EQ(std::string(dvr->szName), "DVR-EMU-" + std::to_string(recorder.port()));
  // The record's bytes at the offsets the program reads.
  const auto* bytes = reinterpret_cast<const uint8_t*>(dvr);
  int32_t port;
  std::memcpy(&port, bytes, 4);
  EXPECT_EQ(port, recorder.port());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 56)), dvrMac);
  EXPECT_EQ(static_cast<int8_t>(bytes[278]), 4);
  // Each says its family: a recorder (device type 1), a camera (2).
  EXPECT_EQ(bytes[279], 1);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(cam)[279], 2);

  // A second search on the same handle starts over.
  ASSERT_EQ(CAMSEARCh_SearchCma(handle, &Collector::OnEvent, &c), 1);
  ASSERT_TRUE(c.WaitDone(2));
  EXPECT_EQ(CAMSEARCh_Cleanup(handle), 1);
  EXPECT_EQ(CAMSEARCh_Cleanup(handle), 0);  // a stale handle fails cleanly
  EXPECT_EQ(CAMSEARCh_SearchCma(handle, &Collector::OnEvent, &c), 0);
}

TEST(FarlookSearch, NoCallbackRunsAfterCleanupReturns) {
  camemu::Camera camera;
  ASSERT_TRUE(camera.start());
  ASSERT_TRUE(camera.startDiscovery(0));
  ScopedTargets targets("127.0.0.1:" + std::to_string(camera.discoveryPort()));
  intptr_t handle = 0;
  ASSERT_EQ(CAMSEARCh_Startup(&handle), 1);
  Collector c;
  c.delayMs = 50;  // a slow receiver: Cleanup comes while a callback runs
  ASSERT_EQ(CAMSEARCh_SearchCma(handle, &Collector::OnEvent, &c), 1);
  {
    std::unique_lock<std::mutex> lk(c.mutex);
    ASSERT_TRUE(c.changed.wait_for(lk, std::chrono::seconds(30), [&] { return !c.found.empty(); }));
  }
  ASSERT_EQ(CAMSEARCh_Cleanup(handle), 1);
  {
    std::lock_guard<std::mutex> lk(c.mutex);
    c.cleanedUp = true;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::lock_guard<std::mutex> lk(c.mutex);
  EXPECT_EQ(c.afterCleanup, 0);
  EXPECT_EQ(c.done, 0);  // the search was ended, not finished
}

TEST(FarlookSearch, TargetsNeverBroadcastUnlessAsked) {
  using farlook::PlanTargets;
  auto has = [](const farlook::Plan& p, uint32_t a, uint16_t port) {
    return std::find(p.targets.begin(), p.targets.end(), farlook::Target{a, port}) != p.targets.end();
  };
  farlook::Plan local = PlanTargets("");
  EXPECT_FALSE(local.broadcast);
  ASSERT_EQ(local.targets.size(), 8u);  // 127.0.0.1 on the search ports only
  for (auto& t : local.targets) EXPECT_EQ(t.address, 0x7F000001u);

  farlook::Plan p = PlanTargets("10.1.2.0/30:9000 bad/99 10.9.9.9:0 10.3.3.3;10.1.2.1:9000");
  EXPECT_FALSE(p.broadcast);
  EXPECT_TRUE(has(p, 0x0A010201, 9000));
  EXPECT_TRUE(has(p, 0x0A010202, 9000));
  EXPECT_FALSE(has(p, 0x0A010203, 9000));  // the network's broadcast address
  EXPECT_FALSE(has(p, 0x0A010200, 9000));
  EXPECT_TRUE(has(p, 0x0A030303, FARLOOK_SEARCH_PORT));
  EXPECT_EQ(p.targets.size(), 8u + 3u);  // bad entries skipped, repeats once
  EXPECT_FALSE(has(p, 0xFFFFFFFF, FARLOOK_SEARCH_PORT));
  EXPECT_TRUE(PlanTargets("10.0.0.0/16").targets.size() == 8u);  // too large a network

  farlook::Plan b = PlanTargets("10.1.2.0/30:9000,broadcast");
  EXPECT_TRUE(b.broadcast);
  EXPECT_TRUE(has(b, 0xFFFFFFFF, FARLOOK_SEARCH_PORT));
  EXPECT_TRUE(has(b, 0x0A010203, 9000));
}

}  // namespace
