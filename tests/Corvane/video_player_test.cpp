// The video player over the decoder libraries and over scripted decoders.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>

#include "clipgen/clipgen.h"
#include "render_fixture.h"
#include "video/video_player.h"

namespace corvane {
namespace {

using test::DisplayGuard;
using test::TestWindow;

clipgen::Clip makeClip(int w, int h, int frames, clipgen::Codec codec = clipgen::Codec::H264) {
  clipgen::Options o;
  o.codec = codec;
  o.width = w;
  o.height = h;
  o.frames = frames;
  o.gop = 5;
  clipgen::Clip clip;
  EXPECT_TRUE(clipgen::generate(o, &clip));
  return clip;
}

TEST(VideoPlayer, LiveFramesOfBothCodecsDecodeIntoPooledPicturesInOrder) {
  DisplayGuard guard;
  TestWindow w;
  for (auto codec : {clipgen::Codec::H264, clipgen::Codec::Mpeg4}) {
    VideoPlayer player(nullptr);
    std::vector<uint8_t> picture(kPictureBufferSize);
    auto clip = makeClip(352, 288, 8, codec);
    const int c = codec == clipgen::Codec::H264 ? kCodecH264 : kCodecMpeg4;
    auto f0 = clip.frameBytes(0);
    EXPECT_EQ(player.DecodeFrame(f0.data(), f0.size(), c, picture.data()), 0)
        << "no window: nothing decoded";
    player.SetMainWindow(w.handle);
    for (size_t i = 0; i < clip.frames.size(); ++i) {
      auto bytes = clip.frameBytes(i);
      ASSERT_EQ(player.DecodeFrame(bytes.data(), bytes.size(), c, picture.data()), 1) << i;
      PictureHeader h = PictureHeader::read(picture.data());
      ASSERT_EQ(h.width, 352);
      ASSERT_EQ(h.height, 288);
      EXPECT_EQ(clipgen::readFrameIndex(picture.data() + 8, 352, 352, 288), static_cast<int>(i));
      EXPECT_EQ(player.RenderPicture(picture.data(), h.width, h.height), 1);
    }
    EXPECT_EQ(player.pictureWidth(), 352);
    auto shown = w.shown();
    EXPECT_EQ(shown.width, 352);
    EXPECT_EQ(shown.height, 288);
    EXPECT_EQ(player.DecodeFrame(f0.data(), f0.size(), 7, picture.data()), 0) << "unknown codec";
  }
}

TEST(VideoPlayer, FirstPictureOf1280x720LandsAtItsPlaneOffsetsAndRebinds) {
  DisplayGuard guard;
  TestWindow w;
  VideoPlayer player(nullptr);
  EXPECT_EQ(player.pictureWidth(), 720);
  EXPECT_EQ(player.pictureHeight(), 576);
  player.SetMainWindow(w.handle);
  auto clip = makeClip(1280, 720, 1);
  std::vector<uint8_t> picture(kPictureBufferSize, 0x33);
  auto f0 = clip.frameBytes(0);
  ASSERT_EQ(player.DecodeFrame(f0.data(), f0.size(), kCodecH264, picture.data()), 1);
  auto expected = clipgen::patternPicture(1280, 720, 0);
  // Planes at 8, 8 + 921,600 and 8 + 1,152,000, each close to what was encoded.
  auto meanDiff = [&](size_t at, size_t from, size_t n) {
    double sum = 0;
    for (size_t i = 0; i < n; ++i) sum += std::abs(int(picture[at + i]) - int(expected[from + i]));
    return sum / n;
  };
  EXPECT_LT(meanDiff(8, 0, 921600), 6.0);
  EXPECT_LT(meanDiff(8 + 921600, 921600, 230400), 6.0);
  EXPECT_LT(meanDiff(8 + 1152000, 1152000, 230400), 6.0);
  EXPECT_EQ(picture[8 + 1382400], 0x33) << "nothing written past the V plane";
  EXPECT_EQ(player.pictureWidth(), 720) << "the decode thread does not resize";
  player.RenderPicture(picture.data(), 1280, 720);
  EXPECT_EQ(player.pictureWidth(), 1280);
  EXPECT_EQ(player.mainRenderer().width(), 1280);
  EXPECT_EQ(player.mainRenderer().window(), w.handle);
  uint8_t fmt[kBitmapInfoHeaderSize];
  player.GetPictureFormat(fmt);
  EXPECT_EQ(fmt[0], 40);
  EXPECT_EQ(fmt[4] | fmt[5] << 8, 1280);
  EXPECT_EQ(fmt[8] | fmt[9] << 8, 720);
  EXPECT_EQ(fmt[12], 1);
  EXPECT_EQ(fmt[14], 32);
  EXPECT_EQ(w.shown().width, 1280);
}

// A decoder whose answers a test scripts, one per decode call.
struct Script {
  struct Answer {
    int ready, width, height, consumed;
  };
  static inline std::deque<Answer> answers;
  static inline std::vector<std::pair<const uint8_t*, uint32_t>> inputs;
  static inline int opens = 0, closes = 0;
  static inline std::vector<uint8_t> plane = std::vector<uint8_t>(4096 * 4096, 90);
  static void entry(int op, CTDecHandleBlock* b, void* out) {
    if (op == CTDEC_OPEN) {
      ++opens;
      b->handle = 1;
    } else if (op == CTDEC_CLOSE) {
      ++closes;
      b->handle = 0;
    } else if (op == CTDEC_DECODE) {
      auto* o = static_cast<CTDecOutput*>(out);
      *o = CTDecOutput{};
      inputs.emplace_back(b->input, b->length);
      if (answers.empty() || inputs.size() > 50) return;
      Answer a = answers.front();
      answers.pop_front();
      o->pictureReady = a.ready;
      o->width = a.width;
      o->height = a.height;
      o->y = o->u = o->v = plane.data();
      o->yStride = a.width;
      o->uStride = o->vStride = a.width / 2;
      o->bytesConsumed = a.consumed;
    }
  }
  static void reset() {
    answers.clear();
    inputs.clear();
    opens = closes = 0;
  }
};

TEST(VideoPlayer, TheDecodeLoopFollowsBytesConsumedAndEnds) {
  DisplayGuard guard;
  TestWindow w;
  Script::reset();
  std::vector<uint8_t> picture(kPictureBufferSize);
  uint8_t input[100] = {};
  {
    VideoPlayer player(nullptr, DecoderEntries{Script::entry, nullptr});
    EXPECT_EQ(Script::opens, 1);
    player.SetMainWindow(w.handle);
    // Two frames in one input: the second call starts where the first stopped.
    Script::answers = {{1, 64, 32, 60}, {1, 64, 32, 40}};
    EXPECT_EQ(player.DecodeFrame(input, 100, kCodecH264, picture.data()), 1);
    ASSERT_EQ(Script::inputs.size(), 2u);
    EXPECT_EQ(Script::inputs[1].first, input + 60);
    EXPECT_EQ(Script::inputs[1].second, 40u);
    // A picture without consumed input ends the loop instead of spinning.
    Script::inputs.clear();
    Script::answers = {{1, 64, 32, 0}, {1, 64, 32, 0}, {1, 64, 32, 0}};
    EXPECT_EQ(player.DecodeFrame(input, 100, kCodecH264, picture.data()), 1);
    EXPECT_EQ(Script::inputs.size(), 1u);
    // No picture and nothing consumed: result 0.
    Script::inputs.clear();
    Script::answers = {{0, 0, 0, 0}};
    EXPECT_EQ(player.DecodeFrame(input, 100, kCodecH264, picture.data()), 0);
    // Consumed without a picture, twice: no picture, loop ends at the input's end.
    Script::answers = {{0, 0, 0, 50}, {0, 0, 0, 500}};
    EXPECT_EQ(player.DecodeFrame(input, 100, kCodecH264, picture.data()), 0);
    // MPEG-4 entry missing: its frames produce nothing.
    EXPECT_EQ(player.DecodeFrame(input, 100, kCodecMpeg4, picture.data()), 0);
  }
  EXPECT_EQ(Script::closes, 1);
}

TEST(VideoPlayer, PicturesLargerThanThePoolBufferAreDroppedNotOverrun) {
  DisplayGuard guard;
  TestWindow w;
  Script::reset();
  VideoPlayer player(nullptr, DecoderEntries{Script::entry, nullptr});
  player.SetMainWindow(w.handle);
  uint8_t input[10] = {};
  // 3840 x 2160 fits the pooled buffer exactly; 3840 x 2170 and 4096 x 2160 do not.
  std::vector<uint8_t> picture(kPictureBufferSize);
  Script::answers = {{1, 3840, 2160, 10}};
  EXPECT_EQ(player.DecodeFrame(input, 10, kCodecH264, picture.data()), 1);
  Script::answers = {{1, 3840, 2170, 10}};
  EXPECT_EQ(player.DecodeFrame(input, 10, kCodecH264, picture.data()), 0);
  Script::answers = {{1, 4096, 2160, 10}};
  EXPECT_EQ(player.DecodeFrame(input, 10, kCodecH264, picture.data()), 0);
  EXPECT_EQ(player.droppedPictures(), 2);
  // A smaller buffer (exactly sized by ASan's eyes) for a 64 x 32 picture.
  std::vector<uint8_t> small(PictureHeader::bytesFor(64, 32));
  Script::answers = {{1, 64, 32, 10}};
  EXPECT_EQ(player.DecodeFrame(input, 10, kCodecH264, small.data(), small.size()), 1);
  Script::answers = {{1, 66, 32, 10}};
  EXPECT_EQ(player.DecodeFrame(input, 10, kCodecH264, small.data(), small.size()), 0);
}

TEST(VideoPlayer, MissingDecodersNeverDrawAndCloseNothing) {
  DisplayGuard guard;
  TestWindow w;
  auto clip = makeClip(352, 288, 2);
  {
    VideoPlayer player(nullptr, DecoderEntries{});
    player.SetMainWindow(w.handle);
    std::vector<uint8_t> picture(kPictureBufferSize);
    for (size_t i = 0; i < clip.frames.size(); ++i) {
      auto bytes = clip.frameBytes(i);
      EXPECT_EQ(player.DecodeFrame(bytes.data(), bytes.size(), kCodecH264, picture.data()), 0);
      player.DecodeAndShow(bytes.data(), bytes.size(), kCodecH264);
    }
    EXPECT_EQ(player.decodedFrames(), 0);
  }
  // The playback path with no picture ever decoded shows the black picture at most.
  plat::PresentedPicture shown = w.shown();
  for (uint32_t px : shown.pixels) ASSERT_EQ(px, 0u);
}

TEST(VideoPlayer, PlaybackDecodesAndShowsFollowingThePictureSize) {
  DisplayGuard guard;
  TestWindow w, second;
  VideoPlayer player(nullptr);
  player.SetMainWindow(w.handle);
  player.SetSecondWindow(second.handle, 1);
  auto clip = makeClip(320, 240, 4);
  for (size_t i = 0; i < clip.frames.size(); ++i) {
    auto bytes = clip.frameBytes(i);
    player.DecodeAndShow(bytes.data(), bytes.size(), kCodecH264);
  }
  EXPECT_EQ(player.pictureWidth(), 320);
  EXPECT_EQ(player.decodedFrames(), 4);
  EXPECT_EQ(clipgen::readFrameIndex(player.pictureBuffer().data(), 320, 320, 240), 3);
  EXPECT_EQ(w.shown().width, 320);
  EXPECT_EQ(second.shown().width, 320) << "the second window follows the new size too";
  EXPECT_EQ(second.shown().pixels, w.shown().pixels);
  auto serial = second.shown().serial;
  player.SetSecondWindow(second.handle, 0);
  auto bytes = clip.frameBytes(0);
  player.DecodeAndShow(bytes.data(), bytes.size(), kCodecH264);
  EXPECT_EQ(second.shown().serial, serial) << "a hidden second window is not drawn";
  EXPECT_EQ(player.secondRenderer().window(), 0);
}

// Pixels lit in the picture's central band where the status texts go.
int statusPixels(const plat::PresentedPicture& p) {
  int n = 0;
  for (int y = p.height / 2 - 12; y < p.height / 2 + 36; ++y)
    for (int x = 0; x < p.width; ++x) n += p.pixels[y * p.width + x] == 0xFFFFFF;
  return n;
}

TEST(VideoPlayer, StatusTextsShowForConnectingAndFullAndClearForConnected) {
  DisplayGuard guard;
  TestWindow w;
  VideoPlayer player(nullptr, DecoderEntries{});
  player.SetMainWindow(w.handle);
  player.DrawStatusText(kStateConnecting, kStateConnected);
  int videoOnly = statusPixels(w.shown());
  EXPECT_GT(videoOnly, 100);
  player.DrawStatusText(kStateServerFull, kStateConnecting);
  EXPECT_GT(statusPixels(w.shown()), videoOnly);
  player.DrawStatusText(kStateConnected, kStateConnected);
  EXPECT_EQ(statusPixels(w.shown()), 0);
  player.DrawStatusText(kStateConnecting, kStateServerFull);
  player.ClearStatusText();
  player.DrawStatusText(kStateConnected, kStateConnected);
  EXPECT_EQ(statusPixels(w.shown()), 0);
}

TEST(VideoPlayer, StatisticsLineAndIconsFollowTheOsdFlags) {
  DisplayGuard guard;
  TestWindow w;
  Script::reset();
  VideoPlayer player(nullptr, DecoderEntries{Script::entry, nullptr});
  player.SetMainWindow(w.handle);
  std::vector<uint8_t> picture(kPictureBufferSize);
  uint8_t input[4] = {};
  auto frame = [&] {
    Script::answers = {{1, 400, 300, 4}};
    ASSERT_EQ(player.DecodeFrame(input, 4, kCodecH264, picture.data()), 1);
    player.RenderPicture(picture.data(), 400, 300);
  };
  auto lit = [&](int x0, int y0, int x1, int y1) {
    auto p = w.shown();
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += p.pixels[y * p.width + x] != p.pixels[0];
    return n;
  };
  EXPECT_EQ(player.SetOsdText("400x300, 25 fps, 512.00 kbps"), 29);
  frame();
  EXPECT_EQ(lit(40, 270, 400, 300), 0) << "bit 256 clear: no statistics line";
  player.SetOsdFlag(kOsdFlagStatistics, true);
  frame();
  EXPECT_GT(lit(40, 270, 400, 300), 100);
  // Icons change only on every fifth decoded frame.
  player.SetOsdFlag(kOsdFlagAudio, true);
  while (player.decodedFrames() % 5 != 4) frame();  // next frame is a multiple of 5
  frame();
  EXPECT_GT(lit(300, 50, 333, 74), 50) << "audio icon at (width - 100, 50)";
  player.SetOsdFlag(kOsdFlagAudio, false);
  for (int i = 0; i < 4; ++i) {
    frame();
    EXPECT_GT(lit(300, 50, 333, 74), 50) << "icon kept until the fifth frame";
  }
  frame();
  EXPECT_EQ(lit(300, 50, 333, 74), 0);
  EXPECT_EQ(player.SetOsdText(std::string(300, 'x').c_str()), 128);
  EXPECT_EQ(player.SetOsdText(nullptr), 1);
}

}  // namespace
}  // namespace corvane
