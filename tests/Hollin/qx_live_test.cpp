// Live preview, PTZ, alarms and recorder files played locally, against the emulator.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <vector>

#include "dvremu/emulator.h"
#include "qx_fixture.h"

using namespace qx_test;
using localplay_test::Eventually;
using localplay_test::TempDir;
using localplay_test::Window;

namespace {

TEST_F(RecorderTest, PreviewIsDecodedIntoTheWindowAndSavedForLocalPlayback) {
  LoggedIn();
  Window wnd;
  TempDir dir;
  IDevPreview* preview = CDevPreviewFactory::CreateDevPreview(login, 1);
  ASSERT_NE(preview, nullptr);
  EXPECT_FALSE(preview->SetPlayWnd(0));
  ASSERT_TRUE(preview->SetPlayWnd(wnd.handle));
  ASSERT_TRUE(preview->SetStreamType(1));
  EXPECT_FALSE(preview->StartRecord(0, "x"));  // nothing to save yet
  ASSERT_TRUE(preview->StartPreview());
  EXPECT_TRUE(preview->IsPreviewing());
  DevHandle real = -1;
  preview->GetRealHandle(&real);
  EXPECT_NE(real, -1);
  // The sub stream was asked for: the request's third word is 1.
  auto live = emu.requests(3);
  ASSERT_FALSE(live.empty());
  EXPECT_EQ(live.back().payload.at(8), 1);
  EXPECT_TRUE(Eventually([&] { return wnd.FrameShown() >= 0; }));

  // A snapshot is reported saved only when its file was written.
  const std::string liveShot = dir.file("live.bmp");
  EXPECT_TRUE(Eventually([&] { return preview->CapturePicture(liveShot.c_str(), 0); }));
  EXPECT_TRUE(std::filesystem::exists(liveShot));
  EXPECT_FALSE(preview->CapturePicture(dir.file("missing/folder/live.bmp").c_str(), 0));

  const std::string saved = dir.file("saved.dat");
  ASSERT_TRUE(preview->StartRecord(0, saved.c_str()));
  EXPECT_TRUE(preview->IsRecording());
  // Enough of the stream to hold a few key frames.
  EXPECT_TRUE(Eventually([&] {
    std::error_code ec;
    return std::filesystem::file_size(saved, ec) > 60000 && !ec;
  }));
  EXPECT_TRUE(preview->StopRecord());
  EXPECT_FALSE(preview->IsRecording());

  EXPECT_TRUE(preview->SetVideoEffect(5, 6, 7, 8));
  int b = 0, c = 0, s = 0, h = 0;
  EXPECT_TRUE(preview->GetVideoEffect(&b, &c, &s, &h));
  EXPECT_FALSE(preview->SetVideoEffect(0, 6, 7, 8));  // out of range: the SDK says no
  EXPECT_TRUE(preview->OpenSound());
  EXPECT_TRUE(preview->IsSoundOpen());

  // Stopping the view ends saving and sound with it.
  ASSERT_TRUE(preview->StartRecord(0, dir.file("second.dat").c_str()));
  EXPECT_TRUE(preview->StopPreview());
  EXPECT_FALSE(preview->IsPreviewing());
  EXPECT_FALSE(preview->IsRecording());
  EXPECT_FALSE(preview->IsSoundOpen());
  EXPECT_FALSE(preview->CapturePicture("x.bmp", 0));
  CDevPreviewFactory::DeleteDevPreview(preview, login);

  // The saved live data plays back through the recorder's own player.
  Window playWnd;
  IDevLocalPlayback* player = CDevLocalPlaybackFactory::CreateDevLocalPlayback(login);
  ASSERT_NE(player, nullptr);
  EXPECT_FLOAT_EQ(player->GetPlayPos(), 0.0f);  // no port yet
  EXPECT_EQ(player->Play(playWnd.handle), 0);
  ASSERT_NE(player->Open(saved.c_str(), playWnd.handle), 0);
  ASSERT_NE(player->Play(playWnd.handle), 0);
  EXPECT_TRUE(Eventually([&] { return playWnd.FrameShown() >= 0; }));
  EXPECT_NE(player->Pause(1), 0);
  const std::string shot = dir.file("shot.bmp");
  EXPECT_NE(player->CapturePicture(shot.c_str(), 1), 0);
  EXPECT_TRUE(std::filesystem::exists(shot));
  // Stop keeps the port: playing again needs no new Open.
  EXPECT_NE(player->Stop(), 0);
  EXPECT_NE(player->Play(playWnd.handle), 0);
  // Deleting frees the object only: the caller gives the port back first.
  player->Close();
  CDevLocalPlaybackFactory::DeleteDevLocalPlayback(player);
}

TEST_F(RecorderTest, PtzGoesOverTheLiveHandle) {
  LoggedIn();
  Window wnd;
  IDevPreview* preview = CDevPreviewFactory::CreateDevPreview(login, 2);
  ASSERT_NE(preview, nullptr);
  // Without a live view the two-argument factory makes nothing.
  EXPECT_EQ(CDevCtlPtzFactory::CreateDevCtlPtz(login, preview), nullptr);
  preview->SetPlayWnd(wnd.handle);
  ASSERT_TRUE(preview->StartPreview());
  IDevCtlPtz* ptz = CDevCtlPtzFactory::CreateDevCtlPtz(login, 2, preview);
  ASSERT_NE(ptz, nullptr);
  // A recorder's PTZ keeps no value, and its steering carries none.
  ptz->SetStoredValue(5);
  EXPECT_EQ(ptz->GetStoredValue(), 0);
  EXPECT_EQ(ptz->PTZControl(21, 0), 1);
  ASSERT_TRUE(emu.waitForRequests(dvremu::kPtzControl, 1));
  const std::vector<uint8_t> steer = emu.requests(dvremu::kPtzControl)[0].payload;
  ASSERT_EQ(steer.size(), 32u);
  EXPECT_EQ(steer[8], 3) << "up";
  EXPECT_EQ(std::vector<uint8_t>(steer.begin() + 4, steer.begin() + 8),
            std::vector<uint8_t>(4, 0));
  EXPECT_EQ(ptz->PTZPreset(8, 3), 1);
  EXPECT_EQ(ptz->PTZCruise(30, 1, 2, 5), 1);
  std::array<uint8_t, dvremu::kCruiseBytes> cruise{};
  for (int i = 0; i < 32; ++i) {
    cruise[i * 4] = static_cast<uint8_t>(i + 1);
    cruise[i * 4 + 1] = 10;
    cruise[i * 4 + 2] = 3;
    cruise[i * 4 + 3] = 99;
  }
  emu.services().setCruise(2, 1, cruise);
  std::vector<int> points(96, -1);
  ASSERT_EQ(ptz->GetPTZCruise(1, points.data(), 2), 1);
  EXPECT_EQ(points[0], 1);
  EXPECT_EQ(points[1], 10);
  EXPECT_EQ(points[2], 3);
  EXPECT_EQ(points[93], 32);
  EXPECT_EQ(ptz->GetPTZCruise(1, nullptr, 2), 0);
  CDevCtlPtzFactory::DeleteDevCtlPtz(ptz, login);
  // Made without a channel: no login id, no cruise reading.
  IDevCtlPtz* plain = CDevCtlPtzFactory::CreateDevCtlPtz(login, preview);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->GetPTZCruise(1, points.data(), 2), 0);
  CDevCtlPtzFactory::DeleteDevCtlPtz(plain, login);
  CDevPreviewFactory::DeleteDevPreview(preview, login);  // stops the live view
  EXPECT_TRUE(emu.waitForRequests(4, 1));
}

struct AlarmSink {
  static inline std::mutex mu;
  static inline std::vector<MsgAlarmInfo> got;
  static inline MsgAlarmInfo blocks[8];
  static inline std::atomic<int> next{0};
  static void* Alloc() { return &blocks[next++ % 8]; }
  static void Handle(MsgAlarmInfo* m) {
    std::lock_guard<std::mutex> lock(mu);
    got.push_back(*m);
  }
  static size_t Count() {
    std::lock_guard<std::mutex> lock(mu);
    return got.size();
  }
};

TEST_F(RecorderTest, ArmedAlarmsReachTheHandlerAndDisarmingStopsThem) {
  const DevHandle id = LoggedIn();
  AlarmSink::got.clear();
  CQXGlobal::RegisterHandleMessage(reinterpret_cast<void*>(&AlarmSink::Handle));
  CQXGlobal::RegisterAllocator(reinterpret_cast<void*>(&AlarmSink::Alloc));
  CQXGlobal::RegisterAlarmCallback(nullptr, nullptr);
  IDevAlarm* alarm = CDevAlarmFactory::CreateDevAlarm(login);
  ASSERT_NE(alarm, nullptr);
  EXPECT_FALSE(alarm->IsSetup());
  ASSERT_TRUE(alarm->SetupAlarmChan());
  EXPECT_TRUE(alarm->IsSetup());
  auto armed = emu.requests(dvremu::kSetAlarm);
  ASSERT_EQ(armed.size(), 1u);
  std::array<uint8_t, 16> bits{};
  bits[2] = 0x02;  // motion on channel 3
  auto record = dvremu::alarmRecord("DVR-EMU-0001", "front", "127.0.0.1", bits);
  ASSERT_TRUE(emu.pushAlarm(armed[0].handle, record));
  ASSERT_TRUE(Eventually([] { return AlarmSink::Count() >= 1; }));
  {
    std::lock_guard<std::mutex> lock(AlarmSink::mu);
    const MsgAlarmInfo& m = AlarmSink::got[0];
    EXPECT_EQ(m.loginId, id);
    EXPECT_EQ(m.alarmType, ALARM_MOTION);
    EXPECT_EQ(m.flagCount, 64);
    EXPECT_EQ(m.flags[2], 1);
    EXPECT_STREQ(m.deviceName, "front");
    EXPECT_STREQ(m.deviceIP, "127.0.0.1");
  }
  // Disarming closes the device's alarm channel: later alarms stop there.
  ASSERT_TRUE(alarm->CloseAlarmChan());
  EXPECT_FALSE(alarm->IsSetup());
  ASSERT_TRUE(emu.waitForRequests(dvremu::kStopAlarm, 1));
  const size_t before = AlarmSink::Count();
  emu.pushAlarm(armed[0].handle, record);
  // A round trip on the same connection: the alarm, sent first, has been handled by now.
  uint8_t cruise[SDK_PTZCRUISE_SIZE];
  RecNet_GetPTZCruise(static_cast<int32_t>(id), 1, 1, cruise);
  EXPECT_EQ(AlarmSink::Count(), before);
  CDevAlarmFactory::DeleteDevAlarm(alarm, login);
  CQXGlobal::RegisterHandleMessage(nullptr);
  CQXGlobal::RegisterAllocator(nullptr);
}

TEST_F(RecorderTest, DeletingAnArmedAlarmDisarms) {
  LoggedIn();
  IDevAlarm* alarm = CDevAlarmFactory::CreateDevAlarm(login);
  ASSERT_NE(alarm, nullptr);
  ASSERT_TRUE(alarm->SetupAlarmChan());
  // Each set-up asks the recorder (the program asks only while none is set up).
  EXPECT_TRUE(alarm->SetupAlarmChan());
  EXPECT_EQ(emu.requests(dvremu::kSetAlarm).size(), 2u);
  CDevAlarmFactory::DeleteDevAlarm(alarm, login);
  EXPECT_TRUE(emu.waitForRequests(dvremu::kStopAlarm, 1));
}

}  // namespace

namespace {

struct ExceptionSink {
  static inline std::atomic<int> count{0};
  static inline std::atomic<int32_t> loginId{-2};
  static void Handle(uint32_t, int32_t id, int32_t, void*) {
    loginId = id;
    ++count;
  }
};

TEST_F(RecorderTest, ALostConnectionReachesTheExceptionHandler) {
  const DevHandle id = LoggedIn();
  ExceptionSink::count = 0;
  CQXGlobal::RegisterHandleException(reinterpret_cast<void*>(&ExceptionSink::Handle));
  ASSERT_EQ(CQXGlobal::RegisterExceptionCallBack(), 1);
  emu.closeConnections();
  EXPECT_TRUE(Eventually([] { return ExceptionSink::count.load() >= 1; }));
  EXPECT_EQ(ExceptionSink::loginId.load(), id);
  CQXGlobal::RegisterHandleException(nullptr);
  // The program logs the device out after an exception; the login is free again.
  login->Logout();
  EXPECT_EQ(login->GetLoginID(0), -1);
  EXPECT_GE(login->GetLoginID(1), 0);
}

}  // namespace

namespace {

// Each receiver counts the calls that came with another receiver's value.
struct Receiver {
  std::atomic<int> calls{0};
  std::atomic<int> foreign{0};
};
Receiver g_first, g_second;
void ToFirst(intptr_t, uint32_t, const uint8_t*, uint32_t, void* user) {
  ++g_first.calls;
  if (user != &g_first) ++g_first.foreign;
}
void ToSecond(intptr_t, uint32_t, const uint8_t*, uint32_t, void* user) {
  ++g_second.calls;
  if (user != &g_second) ++g_second.foreign;
}

// The live data receiver is changed while the stream delivers: every call pairs a receiver
// with its own value, never the old one with the new value.
TEST_F(RecorderTest, ChangingTheDataReceiverWhileLiveNeverMixesTheTwo) {
  LoggedIn();
  Window wnd;
  IDevPreview* preview = CDevPreviewFactory::CreateDevPreview(login, 1);
  ASSERT_NE(preview, nullptr);
  ASSERT_TRUE(preview->SetPlayWnd(wnd.handle));
  ASSERT_TRUE(preview->StartPreview());
  ASSERT_TRUE(preview->SetRealDataCallBack(&ToFirst, &g_first));
  ASSERT_TRUE(Eventually([] { return g_first.calls > 0; }));
  for (int i = 0; i < 20000 && g_second.calls + g_first.calls < 400; ++i) {
    preview->SetRealDataCallBack(&ToSecond, &g_second);
    preview->SetRealDataCallBack(&ToFirst, &g_first);
  }
  preview->SetRealDataCallBack(nullptr, nullptr);
  CDevPreviewFactory::DeleteDevPreview(preview, login);
  EXPECT_EQ(g_first.foreign.load(), 0);
  EXPECT_EQ(g_second.foreign.load(), 0);
}

}  // namespace
