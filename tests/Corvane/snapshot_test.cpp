// Snapshots: BMP layout, the JPEG encoder read back by an independent decoder, and the
// export's choice of format.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "Corvane.h"
#include "render_fixture.h"
#include "video/display_stream.h"
#include "video/jpeg_encoder.h"
#include "video/video_player.h"
#include "support/TestFolder.h"

namespace corvane {
namespace {

using test::DisplayGuard;
using test::TestPictures;
using test::TestWindow;

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

uint32_t u32(const std::vector<uint8_t>& d, size_t at) {
  return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | static_cast<uint32_t>(d[at + 3]) << 24;
}

std::string tempPath(const char* name) { return testsupport::TestFile(name); }

// A player showing a picture with colour and detail in its main window.
struct ShowingPlayer {
  TestWindow w;
  TestPictures pictures;
  VideoPlayer player{nullptr, DecoderEntries{}};
  ShowingPlayer(int width, int height, int shownWidth = 0, int shownHeight = 0) {
    if (shownWidth > 0) plat::setWindowClientSize(w.handle, shownWidth, shownHeight);
    player.SetMainWindow(w.handle);
    PictureRef picture = pictures.make(width, height, [&](uint8_t* luma, uint8_t* u, uint8_t* v) {
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          luma[y * width + x] = static_cast<uint8_t>(
              (x / 40 + y / 24) % 2 ? 70 + 50 * std::sin(x / 9.0) * std::cos(y / 7.0) : 180);
      // Chroma in smooth ramps, as camera pictures have it.
      const int cw = width / 2, ch = height / 2;
      for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x) {
          u[y * cw + x] = static_cast<uint8_t>(90 + (x * 80) / cw);
          v[y * cw + x] = static_cast<uint8_t>(170 - (y * 80) / (ch ? ch : 1));
        }
    });
    player.RenderPicture(picture);
  }
};

TEST(Snapshot, BmpHasTheHeaderAndTheShownPixelsBottomRowFirst) {
  DisplayGuard guard;
  ShowingPlayer s(36, 20);
  std::string path = tempPath("snap_layout.bmp");
  // A larger older file at the path must not leave its tail behind.
  { std::ofstream(path, std::ios::binary) << std::string(100000, 'z'); }
  ASSERT_EQ(s.player.SaveBmp(path.c_str()), 1);
  auto d = readFile(path);
  ASSERT_EQ(d.size(), 54u + 36 * 20 * 4);
  EXPECT_EQ(d[0], 'B');
  EXPECT_EQ(d[1], 'M');
  EXPECT_EQ(u32(d, 2), d.size());
  EXPECT_EQ(u32(d, 6), 0u);
  EXPECT_EQ(u32(d, 10), 54u);
  EXPECT_EQ(u32(d, 14), 40u);
  EXPECT_EQ(u32(d, 18), 36u);
  EXPECT_EQ(u32(d, 22), 20u);
  EXPECT_EQ(d[26] | d[27] << 8, 1);
  EXPECT_EQ(d[28] | d[29] << 8, 32);
  EXPECT_EQ(u32(d, 30), 0u);
  EXPECT_EQ(u32(d, 34), 36u * 20 * 4);
  auto shown = s.w.shown();
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 36; ++x) {
      size_t at = 54 + (static_cast<size_t>(19 - y) * 36 + x) * 4;
      uint32_t bgr = d[at] | d[at + 1] << 8 | d[at + 2] << 16;
      ASSERT_EQ(bgr, shown.pixels[y * 36 + x]) << x << "," << y;
      ASSERT_EQ(d[at + 3], 0);
    }
  unlink(path.c_str());
  EXPECT_EQ(s.player.SaveBmp("/nonexistent-dir/x.bmp"), 0);
}

TEST(Snapshot, SnapshotsOfSixteenBitDisplaysHoldThePicturesOwnColoursAndNoSurfaceMeansNoFile) {
  DisplayGuard guard;
  plat::setDisplayFormat(plat::SurfaceFormat::rgb565());
  ShowingPlayer s(16, 8);
  std::string path = tempPath("snap_565.bmp");
  ASSERT_EQ(s.player.SaveBmp(path.c_str()), 1);
  auto d = readFile(path);
  ASSERT_EQ(d.size(), 54u + 16 * 8 * 4);
  // The window shows each colour in 5 bits (green's low bit left clear); the snapshot holds
  // the picture's 8 bits, which those are the top of.
  const auto shown = s.w.shown();
  int finer = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      const uint32_t snap = u32(d, 54 + (static_cast<size_t>(7 - y) * 16 + x) * 4) & 0xFFFFFF;
      const uint32_t r = snap >> 16, g = snap >> 8 & 255, b = snap & 255;
      const uint32_t widened = (r >> 3) * 255 / 31 << 16 | ((g >> 3) << 1) * 255 / 63 << 8 | (b >> 3) * 255 / 31;
      ASSERT_EQ(widened, shown.pixels[y * 16 + x]) << x << "," << y;
      finer += snap != widened;
    }
  EXPECT_GT(finer, 0);
  unlink(path.c_str());
  s.player.mainRenderer().ReleaseSurfaces();
  EXPECT_EQ(s.player.SaveJpeg(tempPath("snap_none.jpg").c_str()), 0);
}

TEST(Snapshot, AWindowSmallerThanThePictureGetsItScaledAndTheSnapshotKeepsItsFullSize) {
  DisplayGuard guard;
  // The same picture with its statistics line, in a window of its own size and in one of a
  // third of it.
  ShowingPlayer whole(352, 288), small(352, 288, 117, 96);
  for (ShowingPlayer* s : {&whole, &small}) {
    s->player.SetOsdFlag(kOsdFlagStatistics, true);
    s->player.SetOsdText("352x288, 25 fps");
    s->player.UpdateOsd();
  }
  // Drawn again with the OSD now set.
  for (ShowingPlayer* s : {&whole, &small}) {
    PictureRef again = s->player.mainRenderer().lastPicture();
    ASSERT_TRUE(again);
    s->player.RenderPicture(again);
  }
  EXPECT_EQ(whole.w.shown().width, 352);
  const auto shownSmall = small.w.shown();
  EXPECT_EQ(shownSmall.width, 117);
  EXPECT_EQ(shownSmall.height, 96);
  EXPECT_EQ(shownSmall.pictureWidth, 352);
  EXPECT_EQ(shownSmall.pictureHeight, 288);
  const std::string a = tempPath("snap_whole.bmp"), b = tempPath("snap_small.bmp");
  ASSERT_EQ(whole.player.SaveBmp(a.c_str()), 1);
  ASSERT_EQ(small.player.SaveBmp(b.c_str()), 1);
  const auto da = readFile(a), db = readFile(b);
  ASSERT_EQ(db.size(), 54u + 352 * 288 * 4) << "a snapshot has the picture's size";
  EXPECT_EQ(da, db) << "and what a window of the picture's size shows";
  // The statistics line is in it, at (50, height - 30) of the picture.
  int white = 0;
  for (int y = 288 - 30; y < 288 - 6; ++y)
    for (int x = 50; x < 200; ++x)
      white += (u32(db, 54 + (static_cast<size_t>(287 - y) * 352 + x) * 4) & 0xFFFFFF) == 0xFFFFFF;
  EXPECT_GT(white, 100);
  unlink(a.c_str());
  unlink(b.c_str());
}

// Decodes a JPEG with libavcodec's own decoder into packed RGB.
bool decodeJpeg(const std::vector<uint8_t>& data, int* w, int* h, std::vector<uint8_t>* rgb) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
  if (!codec) return false;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  bool ok = avcodec_open2(ctx, codec, nullptr) == 0 && av_new_packet(pkt, static_cast<int>(data.size())) == 0;
  if (ok) {
    std::memcpy(pkt->data, data.data(), data.size());
    ok = avcodec_send_packet(ctx, pkt) == 0 && avcodec_receive_frame(ctx, frame) == 0;
  }
  if (ok) {
    *w = frame->width;
    *h = frame->height;
    rgb->resize(static_cast<size_t>(*w) * *h * 3);
    // 4:4:4 planar from the decoder; convert with the full-range JFIF equations.
    for (int y = 0; y < *h; ++y)
      for (int x = 0; x < *w; ++x) {
        double Y = frame->data[0][y * frame->linesize[0] + x];
        double Cb = frame->data[1][y * frame->linesize[1] + x] - 128.0;
        double Cr = frame->data[2][y * frame->linesize[2] + x] - 128.0;
        uint8_t* o = &(*rgb)[(static_cast<size_t>(y) * *w + x) * 3];
        o[0] = static_cast<uint8_t>(std::clamp(Y + 1.402 * Cr, 0.0, 255.0));
        o[1] = static_cast<uint8_t>(std::clamp(Y - 0.344136 * Cb - 0.714136 * Cr, 0.0, 255.0));
        o[2] = static_cast<uint8_t>(std::clamp(Y + 1.772 * Cb, 0.0, 255.0));
      }
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&ctx);
  return ok;
}

double psnr(const plat::PresentedPicture& shown, const std::vector<uint8_t>& rgb) {
  double se = 0;
  for (size_t i = 0; i < shown.pixels.size(); ++i) {
    uint32_t p = shown.pixels[i];
    int ref[3] = {int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255)};
    for (int c = 0; c < 3; ++c) se += std::pow(ref[c] - rgb[i * 3 + c], 2);
  }
  double mse = se / (shown.pixels.size() * 3.0);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Offsets of a marker's segment in a JPEG file (scans markers up to the scan).
size_t findMarker(const std::vector<uint8_t>& d, uint8_t marker) {
  for (size_t i = 2; i + 4 <= d.size();) {
    if (d[i] != 0xFF) return 0;
    if (d[i + 1] == marker) return i;
    if (d[i + 1] == 0xDA) return 0;
    i += 2 + (d[i + 2] << 8 | d[i + 3]);
  }
  return 0;
}

TEST(Snapshot, JpegDecodesElsewhereAtGoodQualityWithItsTables) {
  DisplayGuard guard;
  ShowingPlayer s(716, 96);  // not a multiple of 8 wide
  std::string path = tempPath("snap_quality.jpg");
  ASSERT_EQ(s.player.SaveJpeg(path.c_str()), 1);
  auto d = readFile(path);
  ASSERT_GT(d.size(), 600u);
  EXPECT_EQ(d[0], 0xFF);
  EXPECT_EQ(d[1], 0xD8);
  EXPECT_EQ(d[2], 0xFF);
  EXPECT_EQ(d[3], 0xDB) << "no APP0 segment";
  EXPECT_EQ(d[d.size() - 2], 0xFF);
  EXPECT_EQ(d[d.size() - 1], 0xD9);
  size_t sof = findMarker(d, 0xC0);
  ASSERT_NE(sof, 0u);
  EXPECT_EQ(d[sof + 5] << 8 | d[sof + 6], 96);
  EXPECT_EQ(d[sof + 7] << 8 | d[sof + 8], 716);
  size_t dqt = findMarker(d, 0xDB);
  ASSERT_EQ(dqt, 2u);
  EXPECT_EQ(d[dqt + 5], 16) << "16 + 5, then - 5 for the odd chrominance 17";
  EXPECT_EQ(d[dqt + 4 + 67 + 2 + 1], 12) << "chrominance 17 - 5";
  size_t dht = findMarker(d, 0xC4);
  ASSERT_NE(dht, 0u);
  EXPECT_EQ(d[dht + 2] << 8 | d[dht + 3], 418);
  // Every 0xFF in the coded data is stuffed.
  size_t sos = findMarker(d, 0xDA);
  ASSERT_NE(sos, 0u);
  for (size_t i = sos + 14; i + 2 < d.size(); ++i)
    if (d[i] == 0xFF) {
      ASSERT_EQ(d[i + 1], 0x00) << "at " << i;
    }

  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(decodeJpeg(d, &w, &h, &rgb));
  EXPECT_EQ(w, 716);
  EXPECT_EQ(h, 96);
  EXPECT_GT(psnr(s.w.shown(), rgb), 30.0);
  unlink(path.c_str());
}

TEST(Snapshot, EncoderCodesSmallValuesAndFullBlocks) {
  uint8_t lum[64], chr[64];
  JpegEncoder::adjustedTables(5, lum, chr);
  EXPECT_EQ(lum[0], 16);
  EXPECT_EQ(chr[0], 12);
  EXPECT_EQ(lum[1], 11) << "11 is odd, the chrominance 18 even: 11 stays";
  // Flat grey, a single edge and random noise all decode to what went in.
  for (int kind = 0; kind < 3; ++kind) {
    const int W = 24, H = 16;
    std::vector<uint8_t> bgr(W * H * 3);
    uint32_t seed = 1;
    for (int i = 0; i < W * H; ++i) {
      int x = i % W;
      uint8_t v = kind == 0 ? 127 : kind == 1 ? (x < 11 ? 20 : 230) : static_cast<uint8_t>(seed = seed * 1103515245 + 12345) ;
      bgr[i * 3] = bgr[i * 3 + 1] = bgr[i * 3 + 2] = v;
    }
    JpegEncoder enc;
    std::vector<uint8_t> out;
    ASSERT_TRUE(enc.encodeToMemory(&out, W, H, bgr.data(), W * 3, 5));
    int w, h;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(decodeJpeg(out, &w, &h, &rgb)) << kind;
    double se = 0;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        se += std::pow(rgb[(y * W + x) * 3 + 1] - bgr[((H - 1 - y) * W + x) * 3 + 1], 2);
    double mse = se / (W * H);
    EXPECT_LT(mse, kind == 2 ? 2000.0 : 40.0) << kind;
  }
  JpegEncoder enc;
  std::vector<uint8_t> out;
  uint8_t px[3] = {};
  EXPECT_FALSE(enc.encodeToMemory(&out, 0, 1, px, 3, 5));
  EXPECT_FALSE(enc.encodeToMemory(&out, 2, 1, px, 3, 5)) << "stride shorter than a row";
}

struct FakeStream : DisplayStream {
  VideoPlayer* p = nullptr;
  int state = 0, osd = -1;
  VideoPlayer* player() override { return p; }
  int videoState() override { return state; }
  void setOsdOn(int on) override { osd = on; }
};

TEST(Snapshot, ExportsFindTheStreamAndChooseTheFormatByPath) {
  DisplayGuard guard;
  ShowingPlayer s(40, 30);
  FakeStream stream;
  stream.p = &s.player;
  int tag;
  IPC_HANDLE h = &tag;
  EXPECT_EQ(IPC_Snapshot(h, tempPath("x.bmp").c_str()), 0) << "unknown handle";
  registerDisplayStream(h, &stream);
  std::string bmp = tempPath("snap_export.bmp"), upper = tempPath("snap_export.BMP"),
              jpg = tempPath("snap_export.jpg");
  ASSERT_EQ(IPC_Snapshot(h, bmp.c_str()), 1);
  ASSERT_EQ(IPC_Snapshot(h, upper.c_str()), 1);
  ASSERT_EQ(IPC_Snapshot(h, jpg.c_str()), 1);
  EXPECT_EQ(readFile(bmp)[0], 'B');
  EXPECT_EQ(readFile(upper)[0], 0xFF) << "upper-case BMP gives a JPEG";
  EXPECT_EQ(readFile(jpg)[1], 0xD8);

  uint16_t w = 0, hgt = 0;
  EXPECT_EQ(IPC_VideoResolution(h, &w, nullptr), 0);
  stream.state = 1;
  EXPECT_EQ(IPC_VideoResolution(h, &w, &hgt), 0) << "video not connected";
  stream.state = 0;
  ASSERT_EQ(IPC_VideoResolution(h, &w, &hgt), 1);
  EXPECT_EQ(w, 40);
  EXPECT_EQ(hgt, 30);
  EXPECT_EQ(IPC_StartOSD(h, 1), 1);
  EXPECT_EQ(stream.osd, 1);
  EXPECT_TRUE(s.player.osdFlags() & kOsdFlagStatistics);
  EXPECT_EQ(IPC_StartOSD(h, 0), 1);
  EXPECT_FALSE(s.player.osdFlags() & kOsdFlagStatistics);
  TestWindow second;
  EXPECT_EQ(IPC_ShowSecVideoWnd(h, second.handle, 1), 1);
  EXPECT_EQ(s.player.secondRenderer().window(), second.handle);
  EXPECT_EQ(IPC_ResetVideoWnd(h, second.handle), 1);

  stream.p = nullptr;  // a stream that does not display
  EXPECT_EQ(IPC_Snapshot(h, bmp.c_str()), 0);
  EXPECT_EQ(IPC_ResetVideoWnd(h, 0), 0);
  EXPECT_EQ(IPC_ShowSecVideoWnd(h, 0, 0), 0);
  EXPECT_EQ(IPC_VideoResolution(h, &w, &hgt), 0);
  unregisterDisplayStream(h);
  EXPECT_EQ(IPC_StartOSD(h, 1), 0);
  for (auto& p : {bmp, upper, jpg}) unlink(p.c_str());
}

}  // namespace
}  // namespace corvane
