// Parameter exchanges through the exports against the emulated camera.
#include <cstring>
#include <vector>

#include "session_fixture.h"

using namespace cvtest;

namespace {

using Export = int (*)(IPC_HANDLE, void*);

struct Pair {
  Export set;
  Export get;
  size_t size;
};

}  // namespace

class ParamsExchange : public CameraTest {
 protected:
  void SetUp() override {
    CameraTest::SetUp();
    IpcLoginInfo li = login();
    guard.h = IPC_SessionOpen(&li);
    ASSERT_NE(guard.h, nullptr);
  }
  IPC_HANDLE h() const { return guard.h; }
  SessionGuard guard;
};

TEST_F(ParamsExchange, EveryPairStoresAndReadsBack) {
  const Pair pairs[] = {
      {IPC_SetNetParam, IPC_GetNetParam, kIpcNetParamSize},
      {IPC_SetVideoParam, IPC_GetVideoParam, kIpcVideoParamSize},
      {IPC_SetPictureParam, IPC_GetPictureParam, kIpcPictureParamSize},
      {IPC_SetAudioParam, IPC_GetAudioParam, kIpcAudioParamSize},
      {IPC_SetModParam, IPC_GetModParam, kIpcMotionParamSize},
      {IPC_SetMaskParam, IPC_GetMaskParam, kIpcMaskParamSize},
      {IPC_SetPtzParam, IPC_GetPtzParam, kIpcPtzParamSize},
      {IPC_SetAlarmParam, IPC_GetAlarmParam, kIpcAlarmParamSize},
      {IPC_SetTimeParam, IPC_GetTimeParam, kIpcTimeParamSize},
      {IPC_SetOsdParam, IPC_GetOsdParam, kIpcOsdParamSize},
  };
  int salt = 1;
  for (const Pair& p : pairs) {
    std::vector<uint8_t> out(p.size), in(p.size, 0xCC);
    for (size_t i = 0; i < p.size; ++i) out[i] = static_cast<uint8_t>(i * 7 + salt);
    ++salt;
    std::vector<uint8_t> sent = out;
    ASSERT_EQ(p.set(h(), out.data()), 1) << p.size;
    ASSERT_EQ(p.get(h(), in.data()), 1) << p.size;
    EXPECT_EQ(in, sent) << p.size;
  }
  // The alarm and OSD pairs run the other way round: the set went out as 0x0A03 and 0x2203.
  EXPECT_EQ(cam.received(0x0A03), 1u);
  EXPECT_EQ(cam.received(0x0A01), 1u);
  EXPECT_EQ(cam.received(0x2203), 1u);
  EXPECT_EQ(cam.received(0x2201), 1u);
}

TEST_F(ParamsExchange, GetOnlyAndCommandExports) {
  uint8_t factory[kIpcFactoryParamSize] = {};
  ASSERT_EQ(IPC_GetFactoryParam(h(), factory), 1);
  EXPECT_EQ(IpcFactoryParam::read(factory).model, "EMU-IPC100");
  uint8_t ability[kIpcAbilityParamSize] = {};
  ASSERT_EQ(IPC_GetAbilityParam(h(), ability), 1);
  EXPECT_EQ(IpcAbilityParam::read(ability).pictureClass, 1080);
  uint8_t ptz[kIpcPtzCommandSize] = {0, 0, 0x15, 0, 0, 0, 0, 0};
  ASSERT_EQ(IPC_SetPtzCommand(h(), ptz), 1);
  EXPECT_EQ(cam.record(0x0905)[kIpcPtzCommandByteOffset], 0x15);
  uint8_t close[kIpcAlarmCloseSize] = {1, 0};
  ASSERT_EQ(IPC_SetAlarmClose(h(), close), 1);
  EXPECT_EQ(IPC_RebootParam(h(), nullptr), 1);
  EXPECT_EQ(cam.reboots(), 1);
  // Requests carry argument 0 and leave length, status and option 0.
  for (const auto& r : cam.requests()) {
    if (r.open || r.code == kIpcCmdKeepAlive) continue;
    EXPECT_EQ(r.argument, 0) << r.code;
    EXPECT_EQ(r.length, 0) << r.code;
    EXPECT_EQ(r.option, 0) << r.code;
  }
}

TEST_F(ParamsExchange, SetRuleAcceptsStatusZeroWithAnyCode) {
  uint8_t mod[kIpcMotionParamSize] = {};
  cam.forceNextReply(0x1234, 0);
  EXPECT_EQ(IPC_SetModParam(h(), mod), 1);
  cam.forceNextReply(0x0602, 1);
  EXPECT_EQ(IPC_SetModParam(h(), mod), 1);
  cam.forceNextReply(0x0604, 1);  // status 1 needs the exact code
  EXPECT_EQ(IPC_SetModParam(h(), mod), 0);
  cam.forceNextReply(-1, 3);  // exact code, unknown status
  EXPECT_EQ(IPC_SetModParam(h(), mod), 0);
}

TEST_F(ParamsExchange, GetRuleNeedsTheExactCodeAndKeepsTheBufferOnFailure) {
  std::vector<uint8_t> buf(kIpcMotionParamSize, 0x5A);
  cam.forceNextReply(0x1234, 0);
  EXPECT_EQ(IPC_GetModParam(h(), buf.data()), 0);
  EXPECT_EQ(buf, std::vector<uint8_t>(kIpcMotionParamSize, 0x5A));
  cam.forceNextReply(-1, 2);
  EXPECT_EQ(IPC_GetModParam(h(), buf.data()), 0);
  EXPECT_EQ(buf, std::vector<uint8_t>(kIpcMotionParamSize, 0x5A));
  cam.forceNextReply(-1, 0);  // status 0 with the exact code is accepted by a get
  EXPECT_EQ(IPC_GetModParam(h(), buf.data()), 1);
  EXPECT_EQ(buf, std::vector<uint8_t>(kIpcMotionParamSize, 0));
  // A set export that uses the get exchange needs the exact code too.
  uint8_t osd[kIpcOsdParamSize] = {};
  cam.forceNextReply(0x1234, 0);
  EXPECT_EQ(IPC_SetOsdParam(h(), osd), 0);
}

TEST_F(ParamsExchange, SplitRepliesAndStrayBytesDoNotBreakTheExchange) {
  uint8_t video[kIpcVideoParamSize] = {};
  cam.splitNextReply();
  EXPECT_EQ(IPC_GetVideoParam(h(), video), 1);
  EXPECT_EQ(video[2], 3);
  // Junk left behind a reply is drained before the next request goes out.
  cam.strayAfterNextReply(37);
  EXPECT_EQ(IPC_GetVideoParam(h(), video), 1);
  std::memset(video, 0, sizeof video);
  EXPECT_EQ(IPC_GetVideoParam(h(), video), 1);
  EXPECT_EQ(video[2], 3);
}

TEST_F(ParamsExchange, UnansweredRequestFailsWithinTheReplyWait) {
  uint8_t pic[kIpcPictureParamSize];
  std::memset(pic, 0x11, sizeof pic);
  cam.setNoReply(true);
  EXPECT_EQ(IPC_GetPictureParam(h(), pic), 0);
  EXPECT_EQ(pic[0], 0x11);
  cam.setNoReply(false);
}

TEST_F(ParamsExchange, NullAndForeignHandlesAndBuffersFail) {
  uint8_t buf[kIpcAbilityParamSize] = {};
  EXPECT_EQ(IPC_GetVideoParam(nullptr, buf), 0);
  EXPECT_EQ(IPC_GetVideoParam(reinterpret_cast<IPC_HANDLE>(0x1234), buf), 0);
  EXPECT_EQ(IPC_GetVideoParam(h(), nullptr), 0);
  EXPECT_EQ(IPC_FirewareUpdate(nullptr, buf, "/nonexistent", nullptr, nullptr), 0);
}
