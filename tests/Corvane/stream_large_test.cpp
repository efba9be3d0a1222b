// Live streams of large frames and pictures against the camera emulator: key frames of a few
// megabytes and pictures of 4K cameras reach the window whole, and a stream commits memory
// only for the buffers it uses.
#include <map>
#include <mutex>
#include <set>

#include "plat/surface.h"
#include "stream/live_stream.h"
#include "stream_fixture.h"
#include "video/frame_pool.h"
#include "video/video_player.h"

namespace cvtest {
namespace {

class LargeVideo : public MediaTest {
 protected:
  // Opens a displayed stream into `w` and records the frame numbers of the shown pictures.
  IPC_HANDLE openShown(HeadlessWindow& w) {
    plat::setPresentListener(w.handle, [this, &w] {
      plat::PresentedFrame f;
      if (!plat::presentedFrame(w.handle, &f)) return;
      const int index = clipgen::readFrameIndexBgrx(f.bits, f.stride, f.width, f.height);
      std::lock_guard<std::mutex> lk(m);
      seen.insert(index);
      sizes[index] = {f.width, f.height};
    });
    IPC_HANDLE h = IPC_StreamOpen(openSession(), 0, w.handle, 1);
    EXPECT_NE(h, nullptr);
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
  EXPECT_EQ(st->cutFrames(), 0);
  IPC_StreamClose(h);
  plat::setPresentListener(w.handle, {});
}

TEST_F(LargeVideo, PictureOf3840x2160IsShown) {
  clipgen::Options o;
  o.width = 3840;
  o.height = 2160;
  o.frames = 3;
  o.gop = 3;
  o.bitrate = 20000000;  // every frame's number blocks are coded, not skipped
  clipgen::Clip clip;
  ASSERT_TRUE(clipgen::generate(o, &clip));
  media.setLiveFrames(framesOf(clip), true);
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
