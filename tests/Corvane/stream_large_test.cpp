// Live streams of large frames and pictures against the camera emulator: key frames of a few
// megabytes and pictures of 4K cameras reach the window whole, and a stream commits memory
// only for the buffers it uses.
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "plat/surface.h"
#include "stream/live_stream.h"
#include "stream_fixture.h"
#include "video/frame_pool.h"
#include "video/video_player.h"

namespace cvtest {
namespace {

// A clip of the test pattern at a camera's size.
clipgen::Clip cameraClip(int width, int height, int frames, int bitrate) {
  clipgen::Options o;
  o.width = width;
  o.height = height;
  o.frames = frames;
  o.gop = frames;
  o.bitrate = bitrate;  // every frame's number blocks are coded, not skipped
  clipgen::Clip clip;
  EXPECT_TRUE(clipgen::generate(o, &clip));
  return clip;
}

class LargeVideo : public MediaTest {
 protected:
  // A test that stopped early leaves its stream open: it is closed before the log and the
  // pictures seen, which its threads write into, go.
  void TearDown() override {
    for (IPC_HANDLE h : opened_) IPC_StreamClose(h);
    MediaTest::TearDown();
  }
  // Opens a displayed stream into `w` and records the frame numbers of the shown pictures.
  IPC_HANDLE openShown(HeadlessWindow& w) {
    plat::setPresentListener(w.handle, [this, &w] {
      plat::PresentedFrame f;
      if (!plat::presentedFrame(w.handle, &f)) return;
      const int index = clipgen::readFrameIndexBgrx(f.bits, f.stride, f.width, f.height, f.pictureWidth, f.pictureHeight);
      std::lock_guard<std::mutex> lk(m);
      seen.insert(index);
      sizes[index] = {f.width, f.height};
    });
    IPC_HANDLE h = IPC_StreamOpen(openSession(), 0, w.handle, 1);
    EXPECT_NE(h, nullptr);
    opened_.push_back(h);
    IPC_SetStreamHook(h, FrameLog::hook, &log);
    return h;
  }
  bool shown(int index) {
    return cam.waitUntil([&] {
      std::lock_guard<std::mutex> lk(m);
      return seen.count(index) > 0;
    });
  }

  std::mutex m;
  std::set<int> seen;
  std::map<int, std::pair<int, int>> sizes;  // of the picture each frame number was seen in
  FrameLog log;
  std::vector<IPC_HANDLE> opened_;
};

TEST_F(LargeVideo, KeyFrameOfFourMebibytesIsShownWhole) {
  auto frames = framesOf(testClip(clipgen::Codec::H264));
  ASSERT_TRUE(frames[0].key);
  frames[0].data = clipgen::padKeyFrame(frames[0].data, kIpcMaxFrameBytes);
  ASSERT_EQ(frames[0].data.size(), kIpcMaxFrameBytes);
  const int last = static_cast<int>(frames.size()) - 1;
  media.setLiveFrames(frames);
  HeadlessWindow w;
  IPC_HANDLE h = openShown(w);
  // The key frame's own picture, and the last frame, which is decoded from it.
  EXPECT_TRUE(shown(0));
  EXPECT_TRUE(shown(last));
  ASSERT_TRUE(cam.waitUntil([&] { return log.size() >= frames.size(); }));
  EXPECT_EQ(log.frames()[0].data, frames[0].data) << "the hook sees the frame uncut";
  auto st = corvane::findLiveStream(h);
  ASSERT_TRUE(st);
  EXPECT_EQ(st->droppedFrames(), 0);
  IPC_StreamClose(h);
  plat::setPresentListener(w.handle, {});
}

TEST_F(LargeVideo, PictureOf3840x2160IsShown) {
  // Sent once: the last picture is the newest, so a slow machine that shows only the newest
  // of a backlog still shows it.
  media.setLiveFrames(framesOf(cameraClip(3840, 2160, 3, 20000000)));
  HeadlessWindow w;
  IPC_HANDLE h = openShown(w);
  ASSERT_TRUE(shown(2));
  {
    std::lock_guard<std::mutex> lk(m);
    EXPECT_EQ(sizes[2], std::make_pair(3840, 2160));
  }
  IPC_StreamClose(h);
  plat::setPresentListener(w.handle, {});
}

TEST_F(LargeVideo, APictureOf1080pIsMadeAtTheWindowsSizeAndNeverCopied) {
  media.setLiveFrames(framesOf(cameraClip(1920, 1080, 25, 6000000)), true);
  HeadlessWindow w;
  // A window of a 4 x 4 grid.
  plat::setWindowClientSize(w.handle, 415, 188);
  IPC_HANDLE h = openShown(w);
  ASSERT_TRUE(shown(24));
  {
    std::lock_guard<std::mutex> lk(m);
    EXPECT_EQ(sizes[24], std::make_pair(415, 188)) << "made at the window's size, painted as it is";
  }
  plat::PresentedFrame f;
  ASSERT_TRUE(plat::presentedFrame(w.handle, &f));
  EXPECT_EQ(f.pictureWidth, 1920);
  EXPECT_EQ(f.pictureHeight, 1080);
  auto st = corvane::findLiveStream(h);
  ASSERT_TRUE(st && st->player());
  EXPECT_EQ(st->player()->mainRenderer().shownWidth(), 415);
  EXPECT_EQ(st->player()->pictureWidth(), 1920) << "pictures are still taken at their own size";
  // Pictures are the decoder's own: the stream copies none (nothing committed for them).
  EXPECT_LT(st->committedBytes(), size_t{4} << 20) << st->committedBytes();
  // The window grows to the picture's size: the next pictures are made at it.
  plat::setWindowClientSize(w.handle, 1920, 1080);
  {
    std::lock_guard<std::mutex> lk(m);
    sizes.clear();
    seen.clear();
  }
  ASSERT_TRUE(shown(10));
  {
    std::lock_guard<std::mutex> lk(m);
    EXPECT_EQ(sizes[10], std::make_pair(1920, 1080));
  }
  IPC_StreamClose(h);
  plat::setPresentListener(w.handle, {});
}

TEST_F(LargeVideo, StreamCommitsMemoryForTheBuffersItUses) {
  media.setLiveFrames(framesOf(testClip(clipgen::Codec::H264)), true);
  HeadlessWindow w;
  IPC_HANDLE h = openShown(w);
  auto st = corvane::findLiveStream(h);
  ASSERT_TRUE(st);
  ASSERT_TRUE(cam.waitUntil([&] { return log.size() >= 60; }));
  // Buffers made up front for every slot at the largest sizes came to over 50 MB; a stream
  // of small frames and pictures makes few buffers, each at the size it needs.
  EXPECT_LT(st->committedBytes(), size_t{16} << 20) << st->committedBytes();
  IPC_StreamClose(h);
  plat::setPresentListener(w.handle, {});
}

}  // namespace
}  // namespace cvtest
