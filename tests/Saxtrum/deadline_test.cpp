// Every request to a recorder ends within its reply wait counted from when it was sent,
// however slowly the device's bytes come: against peers that accept and then trickle, say
// nothing, cut a reply short or answer with another command.
#include "Saxtrum.h"
#include "fixture.h"
#include "support/FakePeers.h"

using namespace saxtrum_test;

namespace {

Counter g_lost;

void onException(uint32_t type, int32_t, intptr_t, void*) {
  if (type == QX_DVR_EXCEPTION_DISCONNECT) g_lost.hit();
}

deadpeer::Options recorderPeer(deadpeer::Mode mode, int answerFirst, int productIntervalMs = 250) {
  return testsupport::PeerOptions(deadpeer::Device::Recorder, mode, answerFirst, productIntervalMs);
}

class RecorderDeadlines : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::setTimeScale(0.2);  // the 4 s reply wait in 0.8 s
    QX_DVR_Init();
    ASSERT_EQ(QX_DVR_SetExceptionCallBack(0, 0, &onException, nullptr), 1);
  }
  void TearDown() override {
    QX_DVR_Cleanup();
    plat::setTimeScale(1.0);
  }
  static testsupport::Bounded<int32_t> Login(deadpeer::Peer& peer) {
    return testsupport::CallWithin(
        [&] { return QX_DVR_Login("127.0.0.1", peer.port(), "admin", "12345", nullptr); }, peer);
  }
};

}  // namespace

TEST_F(RecorderDeadlines, TricklingLoginAndRequestEndAtTheReplyWait) {
  // One byte every 0.25 s and every 1 s of product time.
  for (int interval : {250, 1000}) {
    SCOPED_TRACE(interval);
    deadpeer::Peer logins(recorderPeer(deadpeer::Mode::Trickle, 0, interval));
    ASSERT_TRUE(logins.start());
    const auto login = Login(logins);
    EXPECT_TRUE(login.ended);
    EXPECT_EQ(login.value, -1);

    // Logged in; the next request's reply trickles: it fails, and the login is lost.
    deadpeer::Peer requests(recorderPeer(deadpeer::Mode::Trickle, 1, interval));
    ASSERT_TRUE(requests.start());
    const int lostBefore = g_lost.value();
    const int32_t id = QX_DVR_Login("127.0.0.1", requests.port(), "admin", "12345", nullptr);
    ASSERT_GE(id, 0);
    uint8_t outputs[96] = {};
    const auto read = testsupport::CallWithin([&] { return QX_DVR_GetAlarmOut(id, outputs); },
                                              requests);
    EXPECT_TRUE(read.ended);
    EXPECT_EQ(read.value, 0);
    EXPECT_TRUE(g_lost.waitFor(lostBefore + 1)) << "reported lost";
    EXPECT_EQ(QX_DVR_Logout(id), 1);
  }
}

TEST_F(RecorderDeadlines, SilentCutShortAndWrongCommandLoginsFail) {
  for (deadpeer::Mode mode :
       {deadpeer::Mode::Silent, deadpeer::Mode::CutShort, deadpeer::Mode::WrongCode}) {
    SCOPED_TRACE(static_cast<int>(mode));
    deadpeer::Peer peer(recorderPeer(mode, 0));
    ASSERT_TRUE(peer.start());
    const auto login = Login(peer);
    EXPECT_TRUE(login.ended);
    EXPECT_EQ(login.value, -1);
  }
  // A refusal is an answer: with product time stretched far past the test's patience (the
  // reply wait lasts 400 s), the login still ends at once. The first login takes user 0,
  // slot 0.
  plat::setTimeScale(100);
  deadpeer::Options refusing = recorderPeer(deadpeer::Mode::CutShort, 0);
  refusing.bytes = deadpeer::recorderPacket(1, 0, 300);
  deadpeer::Peer peer(refusing);
  ASSERT_TRUE(peer.start());
  const auto login = Login(peer);
  EXPECT_TRUE(login.ended);
  EXPECT_EQ(login.value, -1);
}
