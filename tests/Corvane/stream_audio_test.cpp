// Live audio, talk and closing a busy stream, against the camera emulator.
#include "audio/audio_device.h"
#include "audio/stream_media.h"
#include "stream/live_stream.h"
#include "stream_fixture.h"
#include "video/video_player.h"

namespace cvtest {
namespace {

using camemu::AudioFault;

class LiveAudio : public MediaTest {
 protected:
  plat::NullAudioOutput* output(IPC_HANDLE h) {
    auto m = corvane::findStreamMedia(h);
    return m.audio ? dynamic_cast<plat::NullAudioOutput*>(m.audio->output()) : nullptr;
  }
  plat::NullAudioInput* input(IPC_HANDLE h) {
    auto m = corvane::findStreamMedia(h);
    return m.audio ? dynamic_cast<plat::NullAudioInput*>(m.audio->input()) : nullptr;
  }
};

TEST_F(LiveAudio, AudioOfEachTypeReachesTheHookAndTheNullDevice) {
  for (uint16_t type : {7, 8, 10}) {
    SCOPED_TRACE(type);
    media.setAudioType(type);
    IpcLoginInfo li = login(true);
    HookLog ev;  // outlives the session
    SessionGuard g{IPC_SessionOpen(&li)};
    IPC_SetSessionHook(g.h, HookLog::hook, &ev);
    HeadlessWindow w;
    IPC_HANDLE h = IPC_StreamOpen(g.h, 0, w.handle, 1);
    FrameLog log;
    IPC_SetStreamHook(h, FrameLog::hook, &log);
    ASSERT_EQ(IPC_StreamAudio(h, 1), 1);
    ASSERT_TRUE(ev.waitCount(kIpcEvAudioConnected, 1));
    plat::NullAudioOutput* out = output(h);
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(cam.waitUntil([&] { return out->stats().playedBlocks >= 3; }));
    // Audio blocks reach the hook beside the video frames, each at most a packet's data.
    ASSERT_TRUE(cam.waitUntil([&] {
      for (const auto& f : log.frames())
        if (f.codec == type) return true;
      return false;
    }));
    for (const auto& f : log.frames())
      if (f.codec == type) {
        EXPECT_EQ(f.data.size(), kIpcMediaPacketDataSize);
      }
    auto st = corvane::findLiveStream(h);
    EXPECT_TRUE(st->player()->osdFlags() & corvane::kOsdFlagAudio);
    ASSERT_EQ(IPC_StreamAudio(h, 0), 1);
    EXPECT_FALSE(st->player()->osdFlags() & corvane::kOsdFlagAudio);
    EXPECT_EQ(IPC_StreamClose(h), 1);
  }
}

TEST_F(LiveAudio, LengthsFromTheWireAreCutAndBadPacketsReconnect) {
  media.setLiveFrames({});
  IPC_HANDLE s = openSession();
  IPC_HANDLE h = IPC_StreamOpen(s, 0, 0, 0);
  FrameLog log;
  IPC_SetStreamHook(h, FrameLog::hook, &log);
  media.injectAudioFault(AudioFault::OverLength);
  IPC_StreamAudio(h, 1);
  ASSERT_TRUE(cam.waitUntil([&] { return log.size() >= 2; }));
  for (const auto& f : log.frames()) {
    EXPECT_EQ(f.codec, 7);
    EXPECT_LE(f.data.size(), kIpcMediaPacketDataSize);
  }
  media.injectAudioFault(AudioFault::BadMagic);
  ASSERT_TRUE(events.waitCount(kIpcEvAudioLost, 1));
  ASSERT_TRUE(events.waitCount(kIpcEvAudioConnected, 2));
  // The stream connects again at once; the camera's side of the refused connection may still
  // be sending, and would take the next fault into a connection nobody reads.
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(0xFF03) == 1; }));
  media.injectAudioFault(AudioFault::EndStatus);
  ASSERT_TRUE(events.waitCount(kIpcEvAudioLost, 2));
  ASSERT_TRUE(events.waitCount(kIpcEvAudioConnected, 3));
  // A second start while audio runs is ignored.
  EXPECT_EQ(IPC_StreamAudio(h, 1), 1);
  IPC_StreamClose(h);
  EXPECT_EQ(events.count(kIpcEvAudioFull), 0);
}

TEST_F(LiveAudio, TalkCaptureReachesTheCameraAsWellFormedPackets) {
  IPC_HANDLE s = openSession();
  HeadlessWindow w;
  IPC_HANDLE h = IPC_StreamOpen(s, 0, w.handle, 1);
  ASSERT_EQ(IPC_StartSpeak(h, 1), 1);
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(0xFF06) == 1; }));
  plat::NullAudioInput* in = input(h);
  ASSERT_NE(in, nullptr);
  std::vector<uint8_t> voice(300, 0x5A);
  ASSERT_TRUE(cam.waitUntil([&] { return in->started(); }));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(in->inject(voice.data(), voice.size()));
  ASSERT_TRUE(cam.waitUntil([&] { return media.talkPackets().size() >= 5; }));
  for (const auto& p : media.talkPackets()) {
    EXPECT_EQ(p.size, kIpcMediaPacketSize);
    EXPECT_EQ(p.magic, 0);
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.type, corvane::kAudioPcm);
    EXPECT_LE(p.length, kIpcMediaPacketDataSize);
    EXPECT_GT(p.length, 0u);
  }
  auto st = corvane::findLiveStream(h);
  EXPECT_TRUE(st->talking());
  EXPECT_TRUE(st->player()->osdFlags() & corvane::kOsdFlagTalk);
  ASSERT_EQ(IPC_StartSpeak(h, 0), 1);
  EXPECT_FALSE(st->talking());
  EXPECT_FALSE(st->player()->osdFlags() & corvane::kOsdFlagTalk);
  // Stopped: the microphone goes nowhere.
  EXPECT_EQ(st->talkFeed(voice.data(), 300, 1, 7), 0);
  IPC_StreamClose(h);
}

TEST_F(LiveAudio, ARefusedTalkGivesEventThirteenAndTheNextStartTalksAgain) {
  cam.setRefuse(0xFF06, true);
  IPC_HANDLE s = openSession();
  IPC_HANDLE h = IPC_StreamOpen(s, 0, 0, 0);
  IPC_StartSpeak(h, 1);
  ASSERT_TRUE(events.waitCount(kIpcEvTalkFailed, 1));
  auto st = corvane::findLiveStream(h);
  EXPECT_FALSE(st->talking());
  // The failed talk stays stopped until the caller starts it again; then it talks.
  cam.setRefuse(0xFF06, false);
  ASSERT_EQ(IPC_StartSpeak(h, 1), 1);
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(0xFF06) == 1; }));
  EXPECT_TRUE(st->talking());
  // A start while it talks keeps the one connection.
  ASSERT_EQ(IPC_StartSpeak(h, 1), 1);
  plat::NullAudioInput* in = input(h);
  ASSERT_NE(in, nullptr);
  std::vector<uint8_t> voice(200, 0x33);
  ASSERT_TRUE(cam.waitUntil([&] { return in->started(); }));
  EXPECT_TRUE(in->inject(voice.data(), voice.size()));
  ASSERT_TRUE(cam.waitUntil([&] { return media.talkPackets().size() >= 1; }));
  EXPECT_EQ(cam.connections(0xFF06), 1);
  EXPECT_EQ(events.count(kIpcEvTalkFailed), 1);
  IPC_StreamClose(h);
}

TEST_F(LiveAudio, ClosingABusyStreamEndsEveryThreadAndRaisesNothingAfter) {
  IPC_HANDLE s = openSession();
  media.setLiveFrames(framesOf(testClip(clipgen::Codec::H264)), true);
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(0xFF04) == 1; }));
  const int baseline = threadCount();
  {
    HeadlessWindow w;
    IPC_HANDLE h = IPC_StreamOpen(s, 0, w.handle, 1);
    IPC_StreamAudio(h, 1);
    IPC_StartSpeak(h, 1);
    ASSERT_TRUE(events.waitCount(kIpcEvVideoConnected, 1));
    ASSERT_TRUE(events.waitCount(kIpcEvAudioConnected, 1));
    ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(0xFF06) == 1; }));
    ASSERT_TRUE(cam.waitUntil([&] { return w.presentedIndex() >= 0; }));
    ASSERT_EQ(IPC_StreamClose(h), 1);
    const size_t after = events.events().size();
    EXPECT_EQ(corvane::findLiveStream(h), nullptr);
    EXPECT_EQ(IPC_StreamAudio(h, 0), 0);
    // The camera sees every connection end; the process is back to its threads.
    ASSERT_TRUE(cam.waitUntil([&] {
      return cam.connections(0xFF02) + cam.connections(0xFF03) + cam.connections(0xFF06) == 0;
    }));
    ASSERT_TRUE(cam.waitUntil([&] { return threadCount() <= baseline; }))
        << threadCount() << " > " << baseline;
    for (size_t i = after; i < events.events().size(); ++i)
      EXPECT_EQ(events.events()[i].data, s) << events.events()[i].event;
  }
}

TEST_F(LiveAudio, ClosingTheSessionFreesItsStreams) {
  IpcLoginInfo li = login(true);
  IPC_HANDLE s = IPC_SessionOpen(&li);
  IPC_HANDLE a = IPC_StreamOpen(s, 0, 0, 0);
  HeadlessWindow w;
  IPC_HANDLE b = IPC_StreamOpen(s, 1, w.handle, 1);
  IPC_StreamAudio(b, 1);
  IPC_HANDLE task = IPC_DvrFilOpen(s);
  IPC_HANDLE play = IPC_DvrPlayBackOpen(s, w.handle, nullptr);
  ASSERT_TRUE(a && b && task && play);
  EXPECT_EQ(IPC_SessionClose(s), 1);
  EXPECT_EQ(IPC_StreamClose(a), 0);
  EXPECT_EQ(IPC_StreamClose(b), 0);
  EXPECT_EQ(IPC_DvrFilClose(task), 0);
  EXPECT_EQ(IPC_DvrPlayBackClose(play), 0);
}

}  // namespace
}  // namespace cvtest
