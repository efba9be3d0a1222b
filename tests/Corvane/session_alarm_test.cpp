// The alarm channel: pushed messages reach the hook with their payload; the channel comes
// back after the camera drops it, and also when its first open failed.
#include "session_fixture.h"

using namespace cvtest;

namespace {
std::vector<uint8_t> marked(uint8_t mark) {
  std::vector<uint8_t> p(kIpcMsgPayloadSize);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(mark + i);
  return p;
}
}  // namespace

class SessionAlarm : public CameraTest {
 protected:
  void open(bool connectNow = true) {
    IpcLoginInfo li = login(connectNow);
    guard.h = IPC_SessionOpen(&li);
    ASSERT_NE(guard.h, nullptr);
    ASSERT_EQ(IPC_SetSessionHook(guard.h, &HookLog::hook, &hooks), 1);
  }
  std::vector<HookLog::Event> alarms() {
    std::vector<HookLog::Event> out;
    for (auto& e : hooks.events())
      if (e.event == kIpcEvAlarm) out.push_back(e);
    return out;
  }
  HookLog hooks;
  SessionGuard guard;
};

TEST_F(SessionAlarm, AlarmMessagesReachTheHookWithTheirPayload) {
  open();
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanAlarm) == 1; }));
  ASSERT_EQ(cam.pushAlarm(kIpcCmdAlarmPush, 0, marked(10)), 1);
  ASSERT_EQ(cam.pushAlarm(kIpcCmdAlarmPush2, 0, marked(20)), 1);
  ASSERT_EQ(cam.pushAlarm(0x1111, 1, marked(30)), 1);  // status 1: any code
  ASSERT_EQ(cam.pushAlarm(0x1111, 0, marked(40)), 1);  // neither: dropped
  ASSERT_EQ(cam.pushAlarm(kIpcCmdAlarmPush, 0, marked(50)), 1);
  ASSERT_TRUE(hooks.waitCount(kIpcEvAlarm, 4));
  auto got = alarms();
  ASSERT_EQ(got.size(), 4u);
  const uint8_t marks[] = {10, 20, 30, 50};
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].payload, marked(marks[i])) << i;
}

TEST_F(SessionAlarm, DroppedAlarmChannelIsReopened) {
  open();
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanAlarm) == 1; }));
  cam.drop(kIpcChanAlarm);
  ASSERT_TRUE(cam.waitUntil(
      [&] { return cam.opens(kIpcChanAlarm) >= 2 && cam.connections(kIpcChanAlarm) == 1; }));
  ASSERT_EQ(cam.pushAlarm(kIpcCmdAlarmPush, 0, marked(7)), 1);
  ASSERT_TRUE(hooks.waitCount(kIpcEvAlarm, 1));
  EXPECT_EQ(alarms()[0].payload, marked(7));
}

TEST_F(SessionAlarm, AlarmChannelWhoseFirstOpenFailedIsRetried) {
  cam.setRefuse(kIpcChanAlarm, true);
  open();
  ASSERT_TRUE(cam.waitUntil([&] { return cam.opens(kIpcChanAlarm) >= 2; }));
  cam.setRefuse(kIpcChanAlarm, false);
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanAlarm) == 1; }));
  ASSERT_EQ(cam.pushAlarm(kIpcCmdAlarmPush2, 0, marked(3)), 1);
  ASSERT_TRUE(hooks.waitCount(kIpcEvAlarm, 1));
}

TEST_F(SessionAlarm, BackToBackAlarmMessagesArriveWhole) {
  open();
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanAlarm) == 1; }));
  // Two pushes back to back arrive as one stream; each is still handed on whole.
  ASSERT_EQ(cam.pushAlarm(kIpcCmdAlarmPush, 0, marked(1)), 1);
  ASSERT_EQ(cam.pushAlarm(kIpcCmdAlarmPush, 0, marked(2)), 1);
  ASSERT_TRUE(hooks.waitCount(kIpcEvAlarm, 2));
  auto got = alarms();
  EXPECT_EQ(got[0].payload, marked(1));
  EXPECT_EQ(got[1].payload, marked(2));
}
