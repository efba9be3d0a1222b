// Live video against the camera emulator: frames reach the hook whole and in order, faults
// on the wire end the connection cleanly and the stream comes back.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>

#include "plat/surface.h"
#include "stream/live_stream.h"
#include "video/frame_pacer.h"
#include "stream_fixture.h"
#include "video/video_player.h"
#include "support/TestFolder.h"
#include "support/TimeScale.h"

namespace cvtest {
namespace {

using camemu::VideoFault;

class LiveVideo : public MediaTest {
 protected:
  IPC_HANDLE open(FrameLog& log, intptr_t window = 0, int display = 0) {
    IPC_HANDLE s = openSession();
    IPC_HANDLE h = IPC_StreamOpen(s, 0, window, display);
    EXPECT_NE(h, nullptr);
    EXPECT_EQ(IPC_SetStreamHook(h, FrameLog::hook, &log), 1);
    return h;
  }
  // Waits until every frame of the clip reached the log.
  bool waitFrames(const FrameLog& log, size_t n) {
    return cam.waitUntil([&] { return log.size() >= n; });
  }
};

TEST_F(LiveVideo, EveryFrameReachesTheHookInOrderWithItsLengthCodecAndTime) {
  FrameLog log;
  // The hook is set after the open: a few leading frames may pass before it.
  media.setFrameInterval(400);
  IPC_HANDLE h = open(log);
  const auto clip = framesOf(testClip(clipgen::Codec::H264));
  ASSERT_TRUE(waitFrames(log, 1));
  ASSERT_TRUE(cam.waitUntil([&] { return media.sentFrames().size() >= clip.size(); }));
  ASSERT_TRUE(cam.waitUntil([&] {
    auto got = log.frames();
    return !got.empty() && got.back().stamp == media.sentFrames().back().stamp;
  }));
  const auto got = log.frames();
  const auto sent = media.sentFrames();
  ASSERT_GE(got.size(), clip.size() - 2);
  const size_t skip = sent.size() - got.size();
  for (size_t i = 0; i < got.size(); ++i) {
    const auto& s = sent[skip + i];
    EXPECT_EQ(got[i].stamp, s.stamp) << i;
    EXPECT_EQ(got[i].codec, 2);
    EXPECT_EQ(got[i].seconds, s.seconds);
    EXPECT_EQ(got[i].microseconds, s.microseconds);
    EXPECT_EQ(got[i].data, clip[skip + i].data) << i;
  }
  EXPECT_EQ(events.count(kIpcEvVideoConnected), 1);
  EXPECT_EQ(events.count(kIpcEvVideoLost), 0);
  EXPECT_EQ(IPC_StreamClose(h), 1);
  EXPECT_EQ(IPC_StreamClose(h), 0);
}

TEST_F(LiveVideo, MpegFourFramesCarryTheirCodec) {
  media.setLiveFrames(framesOf(testClip(clipgen::Codec::Mpeg4)));
  FrameLog log;
  IPC_HANDLE h = open(log);
  ASSERT_TRUE(waitFrames(log, 3));
  for (const auto& f : log.frames()) EXPECT_EQ(f.codec, 1);
  IPC_StreamClose(h);
}

TEST_F(LiveVideo, AFrameLargerThanAStreamKeepsIsDroppedWholeAndTheNextStillParses) {
  media.injectVideoFault(VideoFault::Oversize);
  media.setFrameInterval(400);
  FrameLog log;
  IPC_HANDLE h = open(log);
  const auto clip = framesOf(testClip(clipgen::Codec::H264));
  ASSERT_TRUE(cam.waitUntil([&] { return media.sentFrames().size() >= 4; }));
  ASSERT_TRUE(waitFrames(log, 2));
  const auto sent = media.sentFrames();
  ASSERT_GT(sent[0].length, kIpcMaxFrameBytes);
  // Nobody gets any part of the first frame; the frames behind it are whole and in step, on
  // the same connection.
  const auto got = log.frames();
  EXPECT_EQ(got[0].stamp, sent[1].stamp);
  EXPECT_EQ(got[0].data, clip[1].data);
  EXPECT_EQ(got[1].stamp, sent[2].stamp);
  EXPECT_EQ(events.count(kIpcEvVideoLost), 0);
  EXPECT_EQ(events.count(kIpcEvVideoConnected), 1);
  EXPECT_EQ(corvane::findLiveStream(h)->droppedFrames(), 1);
  IPC_StreamClose(h);
}

TEST_F(LiveVideo, BrokenHeadersEndTheConnectionAndTheStreamReconnects) {
  for (VideoFault fault : {VideoFault::BadMagic, VideoFault::WrongFlag}) {
    SCOPED_TRACE(static_cast<int>(fault));
    HookLog ev;
    IpcLoginInfo li = login(true);
    SessionGuard g{IPC_SessionOpen(&li)};
    IPC_SetSessionHook(g.h, HookLog::hook, &ev);
    FrameLog log;
    media.setFrameInterval(100);
    IPC_HANDLE h = IPC_StreamOpen(g.h, 0, 0, 0);
    IPC_SetStreamHook(h, FrameLog::hook, &log);
    ASSERT_TRUE(ev.waitCount(kIpcEvVideoConnected, 1));
    media.injectVideoFault(fault);
    ASSERT_TRUE(ev.waitCount(kIpcEvVideoLost, 1));
    ASSERT_TRUE(ev.waitCount(kIpcEvVideoConnected, 2));
    ASSERT_TRUE(cam.waitUntil([&] { return log.size() >= 2; }));
    // Nothing of the refused frame reached the hook: every frame is one of the clip's.
    const auto clip = framesOf(testClip(clipgen::Codec::H264));
    for (const auto& f : log.frames()) {
      bool known = false;
      for (const auto& c : clip) known = known || c.data == f.data;
      EXPECT_TRUE(known) << f.data.size();
    }
    EXPECT_EQ(IPC_StreamClose(h), 1);
  }
}

TEST_F(LiveVideo, ServerFullStatusAndStallGiveTheirEventsThenARetry) {
  IPC_HANDLE s = openSession();
  media.setFrameInterval(100);
  IPC_HANDLE h = IPC_StreamOpen(s, 0, 0, 0);
  ASSERT_TRUE(events.waitCount(kIpcEvVideoConnected, 1));
  media.injectVideoFault(VideoFault::ServerFull);
  ASSERT_TRUE(events.waitCount(kIpcEvVideoFull, 1));
  ASSERT_TRUE(events.waitCount(kIpcEvVideoConnected, 2));
  media.injectVideoFault(VideoFault::Stall);
  ASSERT_TRUE(events.waitCount(kIpcEvVideoLost, 1));
  ASSERT_TRUE(events.waitCount(kIpcEvVideoConnected, 3));
  IPC_StreamClose(h);
}

// Records the stream's video state when event 3 arrives (on the receive thread).
struct StateAtLoss {
  HookLog log;
  std::atomic<int> state{-1};
  static void hook(int event, void* data, int length, void* user) {
    auto* self = static_cast<StateAtLoss*>(user);
    if (event == kIpcEvVideoLost && self->state.load() < 0)
      if (auto st = corvane::findLiveStream(data)) self->state.store(st->videoState());
    HookLog::hook(event, data, length, &self->log);
  }
};

TEST_F(LiveVideo, TruncatedFrameGivesEventThreeAndAKeepAliveNow) {
  IPC_HANDLE s = openSession();
  StateAtLoss at;
  IPC_SetSessionHook(s, StateAtLoss::hook, &at);
  media.setFrameInterval(100);
  IPC_HANDLE h = IPC_StreamOpen(s, 0, 0, 0);
  ASSERT_TRUE(at.log.waitCount(kIpcEvVideoConnected, 1));
  const size_t keepAlives = cam.received(kIpcCmdKeepAlive);
  media.injectVideoFault(VideoFault::Truncated);
  ASSERT_TRUE(at.log.waitCount(kIpcEvVideoLost, 1));
  EXPECT_EQ(at.state.load(), corvane::kMediaRefused);
  EXPECT_TRUE(cam.waitUntil([&] { return cam.received(kIpcCmdKeepAlive) > keepAlives; }));
  ASSERT_TRUE(at.log.waitCount(kIpcEvVideoConnected, 2));
  IPC_StreamClose(h);
}

TEST(LiveVideoRefusal, RefusalGivesEventElevenThenARetrySucceeds) {
  testsupport::ScopedTimeScale scale(kScale);
  camemu::Config cfg;
  cfg.otherLimit = 1;
  camemu::Camera cam(cfg);
  ASSERT_TRUE(cam.start());
  camemu::Media media(cam);
  media.setLiveFrames(framesOf(testClip(clipgen::Codec::H264)), true);
  media.setFrameInterval(100);
  {
    IpcLoginInfo li = makeLogin(cam.port(), true);
    HookLog ev;  // outlives the session
    SessionGuard g{IPC_SessionOpen(&li)};
    IPC_SetSessionHook(g.h, HookLog::hook, &ev);
    IPC_HANDLE first = IPC_StreamOpen(g.h, 0, 0, 0);
    ASSERT_TRUE(ev.waitCount(kIpcEvVideoConnected, 1));
    IPC_HANDLE second = IPC_StreamOpen(g.h, 1, 0, 0);
    ASSERT_TRUE(ev.waitCount(kIpcEvVideoFull, 1));
    for (const auto& e : ev.events())
      if (e.event == kIpcEvVideoFull) {
        EXPECT_EQ(e.data, second);
      }
    // The retry waits; once the first stream leaves, the second gets in.
    EXPECT_EQ(IPC_StreamClose(first), 1);
    ASSERT_TRUE(ev.waitCount(kIpcEvVideoConnected, 2));
    EXPECT_GE(cam.opens(0xFF02), 3u);
    EXPECT_EQ(IPC_StreamClose(second), 1);
  }
  cam.stop();
}

TEST_F(LiveVideo, DecodedPicturesReachTheWindow) {
  HeadlessWindow w;
  media.setLiveFrames(framesOf(testClip(clipgen::Codec::H264)), true);
  // Every presented picture is read back for the frame number it shows.
  std::mutex m;
  std::set<int> seen;
  plat::setPresentListener(w.handle, [&] {
    const int index = w.presentedIndex();
    std::lock_guard<std::mutex> lk(m);
    seen.insert(index);
  });
  FrameLog log;
  IPC_HANDLE h = open(log, w.handle, 1);
  ASSERT_TRUE(cam.waitUntil([&] {
    std::lock_guard<std::mutex> lk(m);
    return seen.size() >= 20;
  }));
  auto st = corvane::findLiveStream(h);
  ASSERT_TRUE(st && st->player());
  // The presentation clock follows the camera's times: 40 ms a frame from the first.
  const uint32_t clock = st->presentationClock();
  EXPECT_GT(clock, 0u);
  EXPECT_EQ(clock % 40, 0u) << clock;
  uint16_t width = 0, height = 0;
  EXPECT_EQ(IPC_VideoResolution(h, &width, &height), 1);
  EXPECT_EQ(width, 352);
  EXPECT_EQ(height, 288);
  IPC_StreamClose(h);
  plat::setPresentListener(w.handle, {});
  std::lock_guard<std::mutex> lk(m);
  // Only pictures of the clip were shown: frame numbers 0 to 24 (a black picture before the
  // first decode reads as no number).
  for (int index : seen) EXPECT_TRUE(index >= -1 && index <= 24) << index;
}

TEST_F(LiveVideo, EveryFrameOfADisplayedStreamIsDecoded) {
  HeadlessWindow w;
  FrameLog log;
  IPC_HANDLE h = open(log, w.handle, 1);
  auto st = corvane::findLiveStream(h);
  ASSERT_TRUE(st && st->player());
  const int frames = static_cast<int>(testClip(clipgen::Codec::H264).frames.size());
  ASSERT_TRUE(cam.waitUntil([&] { return st->player()->decodedFrames() >= frames; }))
      << st->player()->decodedFrames();
  EXPECT_EQ(st->player()->decodedFrames(), frames);
  ASSERT_TRUE(cam.waitUntil([&] { return w.presentedIndex() == frames - 1; }));
  IPC_StreamClose(h);
}

// A stream's video threads as the system lists them, by name.
struct VideoThreads {
  int receive = threadsNamed("live-video");
  int decode = threadsNamed("live-decode");
  int render = threadsNamed("live-render");
  bool operator==(const VideoThreads& o) const {
    return receive == o.receive && decode == o.decode && render == o.render;
  }
};

TEST_F(LiveVideo, ADisplayedStreamDecodesAndDrawsEveryPictureInOrderAtItsPacersAdaptingTicks) {
  // A tenth of the product's time: the camera sends a frame every 4 ms, the pacer ticks
  // every 3.5 ms at first.
  testsupport::ScopedTimeScale scale(0.1);
  media.setLiveFrames(framesOf(testClip(clipgen::Codec::H264)), true);
  const VideoThreads before;
  // Without display: the receive thread alone, reusing its two frame buffers for far more
  // frames, every one of which still reaches the hook; nothing to draw.
  FrameLog headlessLog;
  IPC_HANDLE headless = open(headlessLog);
  ASSERT_TRUE(waitFrames(headlessLog, 60));
  {
    auto st = corvane::findLiveStream(headless);
    ASSERT_TRUE(st);
    EXPECT_EQ(st->player(), nullptr);
    EXPECT_EQ(st->pacer(), nullptr);
    EXPECT_EQ(st->picturePool(), nullptr);
    EXPECT_EQ(st->framePool().count(), 2);
    // (A thread takes its name as it starts running.)
    VideoThreads expected = before;
    ++expected.receive;
    EXPECT_TRUE(cam.waitUntil([&] { return VideoThreads{} == expected; }));
  }
  // Displayed: receive, decode and render threads, and the pools of a displaying stream.
  HeadlessWindow w;
  std::mutex m;
  std::vector<int> shown;  // the frame number of every picture presented, in order
  plat::setPresentListener(w.handle, [&] {
    const int index = w.presentedIndex();
    std::lock_guard<std::mutex> lk(m);
    shown.push_back(index);
  });
  IPC_HANDLE h = IPC_StreamOpen(guard.h, 0, w.handle, 1);
  ASSERT_NE(h, nullptr);
  auto st = corvane::findLiveStream(h);
  ASSERT_TRUE(st && st->player() && st->pacer() && st->picturePool());
  EXPECT_EQ(st->framePool().count(), 50);
  EXPECT_EQ(st->picturePool()->count(), 8);
  EXPECT_EQ(st->audioPool().count(), 10);
  EXPECT_EQ(st->talkPool().count(), 10);
  VideoThreads expected = before;
  expected.receive += 2;
  ++expected.decode;
  ++expected.render;
  EXPECT_TRUE(cam.waitUntil([&] { return VideoThreads{} == expected; }));
  // The render thread adapts the pacer to the pictures that wait: a camera that sends
  // slower than the first ticks leaves few waiting, so the period moves off 35 ms.
  ASSERT_TRUE(cam.waitUntil([&] { return st->pacer()->period() != corvane::FramePacer::kInitialPeriod; }));
  EXPECT_GE(st->pacer()->period(), corvane::FramePacer::kMinPeriod);
  EXPECT_LE(st->pacer()->period(), corvane::FramePacer::kMaxPeriod);
  ASSERT_TRUE(cam.waitUntil([&] {
    std::lock_guard<std::mutex> lk(m);
    return shown.size() >= 80;
  }));
  EXPECT_EQ(IPC_StreamClose(h), 1);
  EXPECT_EQ(IPC_StreamClose(headless), 1);
  plat::setPresentListener(w.handle, {});
  EXPECT_TRUE(cam.waitUntil([&] { return VideoThreads{} == before; }));
  // Nothing is dropped on the way: a consumer that falls behind holds the receive thread
  // back through the pools rather than losing frames, so every frame received is drawn, the
  // oldest first, the clip's 25 frames over and over. Only a new connection breaks the run
  // (one that a busy machine let time out): the camera starts its clip anew there, so the
  // run picks up at the clip's first frame, after any status pictures (which, like a picture
  // before the first decode, read as no number), and no more often than the stream told of a
  // lost or refused connection.
  int reconnects = 0;
  for (const auto& e : events.events())
    reconnects += e.data == h && (e.event == kIpcEvVideoLost || e.event == kIpcEvVideoFull);
  std::lock_guard<std::mutex> lk(m);
  size_t first = 0;
  while (first < shown.size() && shown[first] < 0) ++first;
  ASSERT_LT(first + 50, shown.size());
  int restarts = 0;
  for (size_t i = first + 1, last = first; i < shown.size(); last = i++) {
    while (i < shown.size() && shown[i] < 0) ++i;  // status pictures in between
    if (i == shown.size()) break;
    if (shown[i] == (shown[last] + 1) % 25) continue;
    ASSERT_EQ(shown[i], 0) << "present " << i << " after " << shown[last] << ": a picture skipped or out of order";
    ++restarts;
  }
  EXPECT_LE(restarts, reconnects) << "the run broke while the connection held";
}

struct OsdCalls {
  std::atomic<int> calls{0};
  std::atomic<int> width{0};
  static void hook(IpcOsdItems*, int width, int, void* user) {
    auto* self = static_cast<OsdCalls*>(user);
    self->width.store(width);
    ++self->calls;
  }
};

TEST_F(LiveVideo, OsdHookSeesDrawnPicturesAndRecordingWritesAFile) {
  HeadlessWindow w;
  media.setLiveFrames(framesOf(testClip(clipgen::Codec::H264)), true);
  FrameLog log;
  IPC_HANDLE h = open(log, w.handle, 1);
  OsdCalls osd;
  ASSERT_EQ(IPC_SetOSDHook(h, OsdCalls::hook, &osd), 1);
  ASSERT_TRUE(cam.waitUntil([&] { return osd.calls.load() >= 3; }));
  EXPECT_EQ(osd.width.load(), 352);
  ASSERT_EQ(IPC_CleanOSDHook(h), 1);

  const std::string base = testsupport::TestFile("stream_rec");
  ASSERT_EQ(IPC_StartRecord(h, base.c_str()), 1);
  const size_t from = log.size();
  ASSERT_TRUE(cam.waitUntil([&] { return log.size() >= from + 30; }));
  ASSERT_EQ(IPC_StopRecord(h), 1);
  // The first frame closed the file the start opened, empty; the frames went into the next
  // (under the same name within the same second).
  ASSERT_TRUE(events.waitCount(kIpcEvRecordClosed, 2));
  // The closed-file record is valid during the call only: the files are found by their prefix.
  std::vector<uintmax_t> sizes;
  for (const auto& f : std::filesystem::directory_iterator(testsupport::ProcessFolder().path())) {
    const std::string n = f.path().filename().string();
    if (n.rfind("stream_rec_", 0) == 0 && f.path().extension() == ".avi") {
      sizes.push_back(std::filesystem::file_size(f.path()));
      std::filesystem::remove(f.path());
    }
  }
  std::sort(sizes.begin(), sizes.end());
  ASSERT_FALSE(sizes.empty());
  ASSERT_LE(sizes.size(), 2u);
  EXPECT_GT(sizes.back(), 2048u + 1000u);
  if (sizes.size() == 2) {
    EXPECT_LT(sizes[0], 2048u + 100u) << "only an empty first file beside it";
  }
  IPC_StreamClose(h);
}

TEST_F(LiveVideo, ClipFilesServeLiveVideoAndTheFileList) {
  const auto& clip = testClip(clipgen::Codec::Mpeg4);
  const std::string path = testsupport::TestFile("stream_clip.m4v");
  ASSERT_TRUE(clipgen::writeClip(clip, path));
  ASSERT_TRUE(media.loadClip(path));
  EXPECT_FALSE(media.loadClip(path + ".missing"));
  FrameLog log;
  IPC_HANDLE h = open(log);
  ASSERT_TRUE(waitFrames(log, 3));
  const auto got = log.frames();
  const auto sent = media.sentFrames();
  for (size_t i = 0; i < got.size(); ++i) {
    const size_t at = got[i].stamp - sent.front().stamp;
    EXPECT_EQ(got[i].codec, 1);
    EXPECT_EQ(got[i].data, clip.frameBytes(at % clip.frames.size())) << i;
  }
  IPC_StreamClose(h);
  struct Names {
    std::vector<std::string> names;
    static void cb(int kind, const void* record, void* user) {
      if (kind == kIpcSearchRecord)
        static_cast<Names*>(user)->names.push_back(static_cast<const char*>(record) + 16);
    }
  } found;
  IPC_HANDLE task = IPC_DvrFilOpen(guard.h);
  EXPECT_EQ(IPC_DvrSearchFil(task, IpcFileSearchCond{}, Names::cb, &found), 0);
  EXPECT_EQ(found.names, std::vector<std::string>{"stream_clip.m4v"});
  std::filesystem::remove(path);
  std::filesystem::remove(path + ".idx");
}

TEST_F(LiveVideo, AStreamThatStopsSendingShowsItsStatusInPlaceOfTheLastPicture) {
  // The status is due 2,000 empty passes of 5 ms (scaled) after the last frame: 10 s, which
  // this scale makes 2 s. The camera sends no more, however often the stream connects again.
  testsupport::ScopedTimeScale scale(0.2);
  HeadlessWindow w;
  FrameLog log;
  IPC_HANDLE h = open(log, w.handle, 1);
  ASSERT_TRUE(waitFrames(log, 3));
  media.setLiveFrames({});
  // The status picture is the player's own black one with the state texts in its middle.
  auto rowBrightness = [&] {
    plat::PresentedFrame pic;
    if (!plat::presentedFrame(w.handle, &pic) || pic.width <= 0) return -1;
    const uint8_t* row = pic.bits + static_cast<size_t>(pic.height / 4) * pic.stride;
    int sum = 0;
    for (int c = 0; c < pic.width; ++c) sum += row[c * 4] + row[c * 4 + 1] + row[c * 4 + 2];
    return sum;
  };
  ASSERT_TRUE(cam.waitUntil([&] { return rowBrightness() > 0; }));
  ASSERT_TRUE(cam.waitUntil([&] { return rowBrightness() == 0; }));
  // Every empty pass sleeps its 5 ms: the status is never early.
  EXPECT_GE(std::chrono::steady_clock::now() - log.lastAt(), plat::scaledDuration(10000));
  EXPECT_LE(log.size(), framesOf(testClip(clipgen::Codec::H264)).size());
  IPC_StreamClose(h);
}

TEST_F(LiveVideo, StreamExportsRefuseUnknownHandles) {
  IPC_HANDLE bogus = reinterpret_cast<IPC_HANDLE>(intptr_t{12345678});
  uint8_t info[kIpcLoginInfoSize];
  EXPECT_EQ(IPC_StreamOpen(nullptr, 0, 0, 0), nullptr);
  EXPECT_EQ(IPC_StreamOpen(bogus, 0, 0, 0), nullptr);
  EXPECT_EQ(IPC_StreamClose(bogus), 0);
  EXPECT_EQ(IPC_StreamGetNet(bogus, info), 0);
  EXPECT_EQ(IPC_StreamAudio(bogus, 1), 0);
  EXPECT_EQ(IPC_StartSpeak(bogus, 1), 0);
  EXPECT_EQ(IPC_SetStreamHook(bogus, nullptr, nullptr), 0);
  EXPECT_EQ(IPC_SetOSDHook(bogus, nullptr, nullptr), 0);
  IPC_HANDLE s = openSession();
  IPC_HANDLE h = IPC_StreamOpen(s, 0, 0, 0);
  ASSERT_EQ(IPC_StreamGetNet(h, info), 1);
  IpcLoginInfo li = login(true);
  EXPECT_EQ(std::memcmp(info, &li, sizeof info), 0);
  IPC_StreamClose(h);
}

TEST_F(LiveVideo, AStreamsCloseWaitsForTheChildListWithinItsBoundAndThenGoesOn) {
  IPC_HANDLE s = openSession();
  IPC_HANDLE h = IPC_StreamOpen(s, 0, 0, 0);
  ASSERT_NE(h, nullptr);
  const auto session = corvane::findSession(s);
  ASSERT_TRUE(session);
  // Another close holds the session's child list and does not give it back.
  ASSERT_TRUE(session->childListEvent.wait(0));
  {
    testsupport::ScopedTimeScale fast(0.005);  // the 40 s bound becomes 200 ms
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(IPC_StreamClose(h), 1) << "the close goes on once its wait ran out";
    EXPECT_GE(std::chrono::steady_clock::now() - begun, std::chrono::milliseconds(190))
        << "the close did not wait for the child list";
  }
  EXPECT_EQ(IPC_StreamClose(h), 0) << "the stream is gone";
  EXPECT_FALSE(session->childListEvent.isSet()) << "a close that never took the event gave it back";
  // Free again, the event is taken for a close and given back after it.
  session->childListEvent.set();
  IPC_HANDLE next = IPC_StreamOpen(s, 0, 0, 0);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(IPC_StreamClose(next), 1);
  EXPECT_TRUE(session->childListEvent.isSet());
}

}  // namespace
}  // namespace cvtest
