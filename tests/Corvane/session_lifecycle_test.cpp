// Sessions against the emulated camera: opening with and without connect-now, the start
// events, keep-alive failure and reconnection, the no-reconnect field, closing.
#include <dirent.h>

#include <atomic>
#include <thread>

#include "session/cam_session.h"
#include "session_fixture.h"

using namespace cvtest;

namespace {

int threadCount() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
  }
  return n;
}

bool controlWorks(IPC_HANDLE h) {
  uint8_t v[kIpcVideoParamSize];
  return IPC_GetVideoParam(h, v) == 1;
}

}  // namespace

class SessionLifecycle : public CameraTest {
 protected:
  HookLog hooks;
};

TEST_F(SessionLifecycle, ConnectNowFailsOnAnUnreachableCamera) {
  IpcLoginInfo dead = makeLogin(deadPort(), true);
  EXPECT_EQ(IPC_SessionOpen(&dead), nullptr);
  cam.setRefuse(kIpcChanControl, true);
  IpcLoginInfo li = login(true);
  EXPECT_EQ(IPC_SessionOpen(&li), nullptr);
  EXPECT_EQ(IPC_SessionOpen(nullptr), nullptr);
}

TEST_F(SessionLifecycle, WithoutConnectNowTheControlThreadReportsAndRetries) {
  cam.setRefuse(kIpcChanControl, true);
  IpcLoginInfo li = login(false);
  SessionGuard g{IPC_SessionOpen(&li)};
  ASSERT_NE(g.h, nullptr);
  ASSERT_EQ(IPC_SetSessionHook(g.h, &HookLog::hook, &hooks), 1);
  // The start event came before the hook could be set; it still arrives, once.
  ASSERT_TRUE(hooks.waitCount(kIpcEvControlLost, 1));
  EXPECT_EQ(hooks.events()[0].data, g.h);
  EXPECT_FALSE(controlWorks(g.h));
  // The reconnect timer keeps trying, without further events.
  ASSERT_TRUE(cam.waitUntil([&] { return cam.opens(kIpcChanControl) >= 4; }));
  EXPECT_EQ(hooks.count(kIpcEvControlLost), 1);
  cam.setRefuse(kIpcChanControl, false);
  EXPECT_TRUE(eventually([&] { return controlWorks(g.h); }));
  EXPECT_EQ(hooks.count(kIpcEvControlOpen), 0);
  EXPECT_EQ(hooks.count(kIpcEvControlLost), 1);
}

TEST_F(SessionLifecycle, ConnectedAtOpenReportsEventSixExactlyOnce) {
  IpcLoginInfo li = login(true);
  SessionGuard g{IPC_SessionOpen(&li)};
  ASSERT_NE(g.h, nullptr);
  EXPECT_EQ(cam.opens(kIpcChanControl), 1u);
  ASSERT_EQ(IPC_SetSessionHook(g.h, &HookLog::hook, &hooks), 1);
  ASSERT_TRUE(hooks.waitCount(kIpcEvControlOpen, 1));
  // Several keep-alives later: still once, and nothing else.
  ASSERT_TRUE(cam.waitUntil([&] { return cam.received(kIpcCmdKeepAlive) >= 3; }));
  EXPECT_TRUE(controlWorks(g.h));
  EXPECT_EQ(hooks.count(kIpcEvControlOpen), 1);
  EXPECT_EQ(hooks.count(kIpcEvControlLost), 0);
  EXPECT_EQ(cam.opens(kIpcChanControl), 1u);
  // Setting the hook again does not replay it.
  ASSERT_EQ(IPC_SetSessionHook(g.h, &HookLog::hook, &hooks), 1);
  ASSERT_TRUE(cam.waitUntil([&] { return cam.received(kIpcCmdKeepAlive) >= 5; }));
  EXPECT_EQ(hooks.count(kIpcEvControlOpen), 1);
}

TEST_F(SessionLifecycle, ConnectingLaterSucceedsSilently) {
  IpcLoginInfo li = login(false);
  SessionGuard g{IPC_SessionOpen(&li)};
  ASSERT_NE(g.h, nullptr);
  ASSERT_EQ(IPC_SetSessionHook(g.h, &HookLog::hook, &hooks), 1);
  EXPECT_TRUE(eventually([&] { return controlWorks(g.h); }));
  ASSERT_TRUE(cam.waitUntil([&] { return cam.received(kIpcCmdKeepAlive) >= 2; }));
  EXPECT_EQ(hooks.events().size(), 0u);
}

TEST_F(SessionLifecycle, KeepAliveFailureClosesAndTheReconnectTimerReopens) {
  IpcLoginInfo li = login(true);
  SessionGuard g{IPC_SessionOpen(&li)};
  ASSERT_NE(g.h, nullptr);
  ASSERT_EQ(IPC_SetSessionHook(g.h, &HookLog::hook, &hooks), 1);
  cam.setIgnoreKeepAlive(true);
  ASSERT_TRUE(hooks.waitCount(kIpcEvControlLost, 1));
  for (auto& e : hooks.events())
    if (e.event == kIpcEvControlLost) {
      EXPECT_EQ(e.data, g.h);
    }
  cam.setIgnoreKeepAlive(false);
  ASSERT_TRUE(cam.waitUntil([&] { return cam.opens(kIpcChanControl) >= 2; }));
  EXPECT_TRUE(eventually([&] { return controlWorks(g.h); }));
}

TEST_F(SessionLifecycle, NoControlReconnectLeavesExportsFailing) {
  IpcLoginInfo li = login(true);
  li.noControlReconnect = 1;
  SessionGuard g{IPC_SessionOpen(&li)};
  ASSERT_NE(g.h, nullptr);
  ASSERT_EQ(IPC_SetSessionHook(g.h, &HookLog::hook, &hooks), 1);
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanAlarm) == 1; }));
  EXPECT_TRUE(controlWorks(g.h));
  cam.drop(kIpcChanControl);
  cam.drop(kIpcChanAlarm);
  ASSERT_TRUE(hooks.waitCount(kIpcEvControlLost, 1));
  // Let several reconnect periods pass: nothing is reopened.
  plat::sleepMs(30000);
  uint8_t buf[kIpcAbilityParamSize] = {};
  EXPECT_EQ(IPC_GetVideoParam(g.h, buf), 0);
  EXPECT_EQ(IPC_GetAbilityParam(g.h, buf), 0);
  EXPECT_EQ(IPC_SetPictureParam(g.h, buf), 0);
  EXPECT_EQ(cam.opens(kIpcChanControl), 1u);
  EXPECT_EQ(cam.opens(kIpcChanAlarm), 1u);
}

TEST_F(SessionLifecycle, ConcurrentCallersEachGetTheirOwnReply) {
  IpcLoginInfo li = login(true);
  SessionGuard g{IPC_SessionOpen(&li)};
  ASSERT_NE(g.h, nullptr);
  std::atomic<int> wrong{0};
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([&, t] {
      for (int i = 0; i < 25; ++i) {
        if (t % 2 == 0) {
          uint8_t pic[kIpcPictureParamSize];
          if (IPC_GetPictureParam(g.h, pic) != 1 || pic[0] != 0) ++wrong;
        } else {
          uint8_t ab[kIpcAbilityParamSize];
          if (IPC_GetAbilityParam(g.h, ab) != 1 || IpcAbilityParam::read(ab).pictureClass != 1080)
            ++wrong;
        }
      }
    });
  }
  for (auto& c : callers) c.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(SessionLifecycle, CloseWhileBusyReturnsAndLeavesNoThread) {
  const int before = threadCount();
  IpcLoginInfo li = login(true);
  IPC_HANDLE h = IPC_SessionOpen(&li);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(IPC_SetSessionHook(h, &HookLog::hook, &hooks), 1);
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanAlarm) == 1; }));
  cam.setNoReply(true);  // every exchange now waits for its whole reply time
  std::atomic<bool> stop{false};
  std::thread caller([&] {
    uint8_t buf[kIpcVideoParamSize];
    for (int i = 0; i < 1000 && !stop.load(); ++i) IPC_GetVideoParam(h, buf);
  });
  ASSERT_TRUE(cam.waitUntil([&] { return cam.received(0x0403) >= 1; }));
  EXPECT_EQ(IPC_SessionClose(h), 1);
  stop.store(true);
  caller.join();
  // Every thread of the session has ended and the camera saw both connections close.
  EXPECT_TRUE(cam.waitUntil([&] {
    return cam.connections(kIpcChanControl) == 0 && cam.connections(kIpcChanAlarm) == 0;
  }));
  EXPECT_TRUE(cam.waitUntil([&] { return threadCount() == before; }))
      << threadCount() << " threads, " << before << " before";
}

TEST_F(SessionLifecycle, HandleUsedAfterCloseFailsCleanly) {
  IpcLoginInfo li = login(true);
  IPC_HANDLE h = IPC_SessionOpen(&li);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(IPC_SessionClose(h), 1);
  uint8_t buf[kIpcFirmwareHeaderSize] = {};
  EXPECT_EQ(IPC_GetVideoParam(h, buf), 0);
  EXPECT_EQ(IPC_SetSessionHook(h, &HookLog::hook, &hooks), 0);
  EXPECT_EQ(IPC_CleanSessionHook(h), 0);
  EXPECT_EQ(IPC_FirewareUpdate(h, buf, "/dev/null", nullptr, nullptr), 0);
  EXPECT_EQ(IPC_SessionClose(h), 0);
  EXPECT_EQ(IPC_SessionClose(nullptr), 1);
  EXPECT_EQ(IPC_SetSessionHook(nullptr, &HookLog::hook, &hooks), 0);
  EXPECT_EQ(IPC_CleanSessionHook(nullptr), 0);
  // A new session gets a new handle: the old one never comes back.
  IPC_HANDLE h2 = IPC_SessionOpen(&li);
  ASSERT_NE(h2, nullptr);
  EXPECT_NE(h2, h);
  EXPECT_EQ(IPC_SessionClose(h2), 1);
}

TEST_F(SessionLifecycle, CleanedHookHearsNothingMore) {
  IpcLoginInfo li = login(true);
  SessionGuard g{IPC_SessionOpen(&li)};
  ASSERT_NE(g.h, nullptr);
  ASSERT_EQ(IPC_SetSessionHook(g.h, &HookLog::hook, &hooks), 1);
  ASSERT_TRUE(hooks.waitCount(kIpcEvControlOpen, 1));
  ASSERT_EQ(IPC_CleanSessionHook(g.h), 1);
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanAlarm) == 1; }));
  EXPECT_EQ(cam.pushAlarm(kIpcCmdAlarmPush, 0, {1, 2, 3}), 1);
  cam.setIgnoreKeepAlive(true);
  const size_t opens = cam.opens(kIpcChanControl);
  ASSERT_TRUE(cam.waitUntil([&] { return cam.opens(kIpcChanControl) > opens; }));
  EXPECT_EQ(hooks.events().size(), 1u);
}

namespace {
struct SelfCloser {
  IPC_HANDLE h = nullptr;
  std::atomic<int> result{-1};
  static void hook(int event, void*, int, void* user) {
    auto* self = static_cast<SelfCloser*>(user);
    if (event == kIpcEvControlOpen) self->result.store(IPC_SessionClose(self->h));
  }
};
}  // namespace

TEST_F(SessionLifecycle, HookCannotCloseItsOwnSession) {
  IpcLoginInfo li = login(true);
  SelfCloser closer;
  closer.h = IPC_SessionOpen(&li);
  SessionGuard g{closer.h};
  ASSERT_NE(g.h, nullptr);
  ASSERT_EQ(IPC_SetSessionHook(g.h, &SelfCloser::hook, &closer), 1);
  ASSERT_TRUE(cam.waitUntil([&] { return closer.result.load() != -1; }));
  // Refused on the session's own thread; the session goes on working.
  EXPECT_EQ(closer.result.load(), 0);
  EXPECT_TRUE(controlWorks(g.h));
}

TEST_F(SessionLifecycle, SessionLeftOpenStopsItsThreadsWhenDestroyed) {
  // What the process exit does to a session nobody closed: its threads still end.
  IpcLoginInfo li = login(true);
  IPC_HANDLE h = IPC_SessionOpen(&li);
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanAlarm) == 1; }));
  auto s = corvane::sessions().remove(reinterpret_cast<intptr_t>(h));
  ASSERT_TRUE(s);
  s.reset();
  EXPECT_TRUE(cam.waitUntil([&] {
    return cam.connections(kIpcChanControl) == 0 && cam.connections(kIpcChanAlarm) == 0;
  }));
}
