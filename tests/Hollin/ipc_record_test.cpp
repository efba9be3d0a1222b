// Recording a camera preview onto a disk that fills up: the recording ends with a playable
// file, its flag clears and the user gets a notice.
#include <chrono>
#include <filesystem>
#include <thread>
#include <mutex>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "camera_common/CameraPreview.h"
#include "ipc_fixture.h"
#include "localplay_fixture.h"
#include "support/FileSizeLimit.h"

namespace hotest {
namespace {

std::mutex g_mutex;
std::vector<std::string> g_notices;
void KeepNotice(HWND, const char* text, const char*) {
  std::lock_guard<std::mutex> lk(g_mutex);
  g_notices.push_back(text);
}

int VideoPackets(const std::string& path) {
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return -1;
  int packets = 0;
  AVPacket* pkt = av_packet_alloc();
  while (av_read_frame(ctx, pkt) >= 0) {
    if (ctx->streams[pkt->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) ++packets;
    av_packet_unref(pkt);
  }
  av_packet_free(&pkt);
  avformat_close_input(&ctx);
  return packets;
}

class IpcRecord : public CameraTest {
 protected:
  void SetUp() override {
    CameraTest::SetUp();
    g_notices.clear();
    SetDevNoticeSink(&KeepNotice);
  }
  void TearDown() override {
    SetDevNoticeSink(nullptr);
    CameraTest::TearDown();
  }
};

TEST_F(IpcRecord, AFullDiskEndsTheRecordingWithAPlayableFileAFlagClearedAndANotice) {
  Device dev(DEV_TYPE_IPC);
  clipgen::Options o;
  o.width = 160;
  o.height = 120;
  o.frames = 20;
  o.gop = 5;
  clipgen::Clip clip;
  std::string err;
  ASSERT_TRUE(clipgen::generate(o, &clip, &err)) << err;
  std::vector<camemu::MediaFrame> frames;
  for (size_t i = 0; i < clip.frames.size(); ++i) {
    camemu::MediaFrame f;
    f.data = clip.frameBytes(i);
    f.key = clip.frames[i].key;
    f.width = 160;
    f.height = 120;
    frames.push_back(std::move(f));
  }
  dev.media.setLiveFrames(frames, true);
  dev.media.setFrameInterval(40);
  LoginGuard g{dev.makeLogin()};
  PlayWindow w;
  PreviewGuard p{CDevPreviewFactory::CreateDevPreview(g.login, 1), g.login};
  ASSERT_NE(p.preview, nullptr);
  p.preview->SetPlayWnd(w.handle);
  ASSERT_TRUE(p.preview->StartPreview());
  localplay_test::TempDir dir;

  {
    testsupport::FileSizeLimit disk(64 * 1024);
    ASSERT_TRUE(disk.ok());
    ASSERT_TRUE(p.preview->StartRecord(0, dir.file("cam").c_str()));
    ASSERT_TRUE(p.preview->IsRecording());
    // The stream writes until the disk refuses; the flag clears on the library's thread.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (p.preview->IsRecording() && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(p.preview->IsRecording());
  }
  ASSERT_TRUE(w.pumpUntil([&] { return w.recordFailures == 1; }));
  {
    std::lock_guard<std::mutex> lk(g_mutex);
    ASSERT_EQ(g_notices.size(), 1u);
    EXPECT_EQ(g_notices[0], hollin::kRecordFailedText);
  }
  EXPECT_FALSE(p.preview->StopRecord());  // nothing left to stop
  EXPECT_TRUE(p.preview->IsPreviewing());  // the preview goes on

  // The recording's file (beside the empty one the first frame's size change may leave)
  // plays what reached the disk.
  int best = -1;
  for (const auto& e : std::filesystem::directory_iterator(dir.path)) {
    EXPECT_LE(e.file_size(), 64u * 1024);
    best = std::max(best, VideoPackets(e.path()));
  }
  EXPECT_GT(best, 5);
}

}  // namespace
}  // namespace hotest
