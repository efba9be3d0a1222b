// The control exchange itself on a session without threads, so that no keep-alive shares the
// connection with the case under test.
#include "protocol/channel.h"
#include "protocol/exchange.h"
#include "session/cam_session.h"
#include "session_fixture.h"

using namespace cvtest;
using namespace corvane;

class ProtocolExchange : public CameraTest {
 protected:
  void SetUp() override {
    CameraTest::SetUp();
    s.login = login();
    s.control = OpenChannel(kIpcChanControl, kIpcChanDefaultArg, s.login, kNoOption,
                            kReplyTimeoutSec, nullptr);
    ASSERT_TRUE(s.control.valid());
    ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanControl) == 1; }));
  }
  CamSession s;
};

TEST_F(ProtocolExchange, LateReplyIsDrainedBeforeTheNextRequest) {
  uint8_t video[kIpcVideoParamSize] = {9, 9, 9, 9, 9};
  cam.delayNextReply(8000);  // beyond the 5 s reply wait
  EXPECT_FALSE(GetParam(s, 0x0403, 0, video, sizeof video, 0x0404));
  EXPECT_EQ(video[0], 9);
  ASSERT_TRUE(cam.waitUntil([&] { return cam.repliesSent() >= 1; }));
  // The late reply now waits on the connection; it must not be taken for the next one.
  uint8_t pic[kIpcPictureParamSize] = {};
  EXPECT_TRUE(GetParam(s, 0x0407, 0, pic, sizeof pic, 0x0408));
  EXPECT_TRUE(SetParam(s, kIpcCmdKeepAlive, 0, nullptr, 0, kIpcCmdKeepAliveReply,
                       kReplyTimeoutSec));
}

TEST_F(ProtocolExchange, ClosedConnectionFailsAtOnceAndPeerCloseFailsTheSend) {
  cam.drop(kIpcChanControl);
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanControl) == 0; }));
  // The drain sees the end of the stream: nothing is sent.
  const size_t before = cam.requests().size();
  Message m = buildMessage(MsgHeader{kIpcMagic, kIpcCmdKeepAlive, 0, 0, 0, 0}, nullptr, 0);
  EXPECT_FALSE(SendRequest(s, m, plat::Deadline::after(5000)));
  EXPECT_EQ(cam.requests().size(), before);
  EXPECT_TRUE(s.closeControl());
  Message reply{};
  EXPECT_EQ(ReceiveReply(s, reply, plat::Deadline::after(5000), nullptr), ReplyRead::Short);
  EXPECT_FALSE(SetParam(s, kIpcCmdKeepAlive, 0, nullptr, 0, kIpcCmdKeepAliveReply, 5));
}

TEST_F(ProtocolExchange, ChannelOpenOutcomes) {
  uint16_t code = 0;
  // A reply split over two writes still opens the channel.
  cam.splitOpenReplies(true);
  plat::Socket a = OpenChannel(kIpcChanAlarm, kIpcChanDefaultArg, s.login, kNoOption, 5, &code);
  EXPECT_TRUE(a.valid());
  EXPECT_EQ(code, kIpcChanAlarm);
  cam.splitOpenReplies(false);
  // Wrong password: refused with the channel's own code.
  IpcLoginInfo bad = makeLogin(cam.port(), true, "admin", "wrong");
  EXPECT_FALSE(OpenChannel(kIpcChanControl, kIpcChanDefaultArg, bad, kNoOption, 5, &code).valid());
  EXPECT_EQ(code, kIpcChanControl);
  // Nobody listening.
  IpcLoginInfo dead = makeLogin(deadPort(), true);
  EXPECT_FALSE(OpenChannel(kIpcChanControl, kIpcChanDefaultArg, dead, kNoOption, 5, &code).valid());
  EXPECT_EQ(code, 0);
}

TEST_F(ProtocolExchange, ServerFullReportsItsCode) {
  // The fixture's camera allows 4 alarm connections.
  std::vector<plat::Socket> held;
  uint16_t code = 0;
  for (int i = 0; i < 4; ++i) {
    held.push_back(OpenChannel(kIpcChanAlarm, kIpcChanDefaultArg, s.login, kNoOption, 5, &code));
    ASSERT_TRUE(held.back().valid());
  }
  EXPECT_FALSE(OpenChannel(kIpcChanAlarm, kIpcChanDefaultArg, s.login, kNoOption, 5, &code).valid());
  EXPECT_EQ(code, kIpcServerFull);
}

TEST_F(ProtocolExchange, LongUserNameIsCutInTheOpenRequest) {
  camemu::Config cfg;
  cfg.user = std::string(15, 'a');
  camemu::Camera cam2(cfg);
  ASSERT_TRUE(cam2.start());
  IpcLoginInfo li = makeLogin(cam2.port(), true);
  std::memset(li.user, 'a', sizeof li.user);  // 16 characters, no room for a zero
  EXPECT_TRUE(OpenChannel(kIpcChanControl, kIpcChanDefaultArg, li, kNoOption, 5, nullptr).valid());
  auto log = cam2.requests();
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(log[0].open);
  EXPECT_EQ(log[0].length, 44);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(log[0].payload.data())), cfg.user);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(log[0].payload.data() + 16)), "admin");
}
