// Every request to a camera ends, answered or not, within its reply time counted from when it
// was sent, however slowly the camera's bytes come: against peers that accept and then
// trickle, say nothing, cut a reply short or answer with a code not asked for.
#include <cstring>

#include "protocol/channel.h"
#include "protocol/exchange.h"
#include "session/cam_session.h"
#include "session_fixture.h"
#include "support/FakePeers.h"

using namespace corvane;
using namespace cvtest;

namespace {

// Product intervals between the trickled bytes, each far inside the 5 s that one wait allows.
constexpr int kTrickles[] = {250, 1000};

deadpeer::Options cameraPeer(deadpeer::Mode mode, int answerFirst, int productIntervalMs = 250) {
  return testsupport::PeerOptions(deadpeer::Device::Camera, mode, answerFirst, productIntervalMs);
}

// A control connection to the peer on a session without threads: no keep-alive shares it.
void openControl(CamSession& s, const deadpeer::Peer& peer) {
  s.login = makeLogin(peer.port(), true);
  s.control = OpenChannel(kIpcChanControl, kIpcChanDefaultArg, s.login, kNoOption,
                          kReplyTimeoutSec, nullptr);
}

void searchRecord(int kind, const void*, void* user) { static_cast<int*>(user)[kind]++; }

class CameraDeadlines : public ::testing::Test {
 protected:
  void SetUp() override { plat::setTimeScale(0.2); }  // the 5 s reply time in 1 s
  void TearDown() override { plat::setTimeScale(1.0); }
};

}  // namespace

TEST_F(CameraDeadlines, TricklingRepliesEndAtTheReplyTime) {
  for (int interval : kTrickles) {
    SCOPED_TRACE(interval);
    // The login: the control channel's accepting reply comes a byte at a time.
    deadpeer::Peer opening(cameraPeer(deadpeer::Mode::Trickle, 0, interval));
    ASSERT_TRUE(opening.start());
    IpcLoginInfo li = makeLogin(opening.port(), true);
    const auto session = testsupport::CallWithin([&] { return IPC_SessionOpen(&li); }, opening);
    EXPECT_TRUE(session.ended);
    EXPECT_EQ(session.value, nullptr);
    if (session.value) IPC_SessionClose(session.value);

    // A parameter read on an open control connection: its accepting reply trickles.
    deadpeer::Peer answering(cameraPeer(deadpeer::Mode::Trickle, 1, interval));
    ASSERT_TRUE(answering.start());
    CamSession s;
    openControl(s, answering);
    ASSERT_TRUE(s.control.valid());
    uint8_t video[kIpcVideoParamSize] = {7, 7, 7, 7, 7};
    const auto read = testsupport::CallWithin(
        [&] { return GetParam(s, 0x0403, 0, video, sizeof video, 0x0404); }, answering);
    EXPECT_TRUE(read.ended);
    EXPECT_FALSE(read.value);
    EXPECT_EQ(video[0], 7) << "a failed read leaves the caller's record";
  }

  // A file search: the channel opens, the search's accepting reply trickles; the call returns
  // with no record and no end mark.
  deadpeer::Peer files(cameraPeer(deadpeer::Mode::Trickle, 1, 1000));
  ASSERT_TRUE(files.start());
  IpcLoginInfo li = makeLogin(files.port(), true);
  SessionGuard guard;
  guard.h = IPC_SessionOpen(&li);
  ASSERT_NE(guard.h, nullptr);
  IPC_HANDLE task = IPC_DvrFilOpen(guard.h);
  ASSERT_NE(task, nullptr);
  int calls[2] = {0, 0};
  const auto search = testsupport::CallWithin(
      [&] { return IPC_DvrSearchFil(task, IpcFileSearchCond{}, &searchRecord, calls); }, files);
  EXPECT_TRUE(search.ended);
  EXPECT_EQ(calls[kIpcSearchRecord] + calls[kIpcSearchEnd], 0);
  EXPECT_EQ(IPC_DvrFilClose(task), 1);
}

TEST_F(CameraDeadlines, SilentAndCutShortRepliesFail) {
  deadpeer::Peer silent(cameraPeer(deadpeer::Mode::Silent, 0));
  ASSERT_TRUE(silent.start());
  IpcLoginInfo li = makeLogin(silent.port(), true);
  const auto session = testsupport::CallWithin([&] { return IPC_SessionOpen(&li); }, silent);
  EXPECT_TRUE(session.ended);
  EXPECT_EQ(session.value, nullptr);

  // Half a reply, then nothing: the read fails, the record stays.
  deadpeer::Peer cut(cameraPeer(deadpeer::Mode::CutShort, 1));
  ASSERT_TRUE(cut.start());
  CamSession s;
  openControl(s, cut);
  ASSERT_TRUE(s.control.valid());
  uint8_t picture[kIpcPictureParamSize];
  std::memset(picture, 0x5A, sizeof picture);
  const auto read = testsupport::CallWithin(
      [&] { return GetParam(s, 0x0407, 0, picture, sizeof picture, 0x0408); }, cut);
  EXPECT_TRUE(read.ended);
  EXPECT_FALSE(read.value);
  EXPECT_EQ(picture[0], 0x5A);
}

TEST_F(CameraDeadlines, AWrongCodeFailsWithoutWaitingForTheRest) {
  // Product time stretched far past the test's patience (the 5 s reply time lasts 500 s): a
  // call ends in time only when the header alone decides it. Each peer sends a header and
  // never the rest of its message.
  plat::setTimeScale(100);
  const auto headerOf = [](uint16_t code, uint16_t status) {
    deadpeer::Bytes m = deadpeer::cameraMessage(code, status);
    m.resize(kIpcMsgHeaderSize);
    return m;
  };

  // A parameter read answered with another code.
  deadpeer::Options wrong = cameraPeer(deadpeer::Mode::CutShort, 1);
  wrong.bytes = headerOf(0x0406, 1);
  deadpeer::Peer answering(wrong);
  ASSERT_TRUE(answering.start());
  CamSession s;
  openControl(s, answering);
  ASSERT_TRUE(s.control.valid());
  uint8_t picture[kIpcPictureParamSize] = {3};
  const auto read = testsupport::CallWithin(
      [&] { return GetParam(s, 0x0407, 0, picture, sizeof picture, 0x0408); }, answering);
  EXPECT_TRUE(read.ended);
  EXPECT_FALSE(read.value);
  EXPECT_EQ(picture[0], 3);

  // A channel refused as full: the opener learns the code from the header.
  deadpeer::Options full = cameraPeer(deadpeer::Mode::CutShort, 0);
  full.bytes = headerOf(kIpcServerFull, 0);
  deadpeer::Peer refusing(full);
  ASSERT_TRUE(refusing.start());
  const IpcLoginInfo login = makeLogin(refusing.port(), true);
  uint16_t code = 0;
  const auto open = testsupport::CallWithin(
      [&] {
        return OpenChannel(kIpcChanVideo, 0, login, 1, kReplyTimeoutSec, &code).valid();
      },
      refusing);
  EXPECT_TRUE(open.ended);
  EXPECT_FALSE(open.value);
  EXPECT_EQ(code, kIpcServerFull);
}
