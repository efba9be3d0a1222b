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

// Pictures as the live decode thread makes them: each decode into a free slot of a pool.
struct Pictures {
  PicturePool pool{3};
  PictureRef decode(VideoPlayer& player, const std::vector<uint8_t>& bytes, int codec) {
    return decode(player, bytes.data(), static_cast<uint32_t>(bytes.size()), codec);
  }
  PictureRef decode(VideoPlayer& player, const uint8_t* data, uint32_t length, int codec) {
    PictureSlot* slot = pool.takeFree();
    if (!slot) return {};
    if (!player.DecodeFrame(data, length, codec, slot)) {
      pool.giveFree(slot);
      return {};
    }
    return pool.share(slot);
  }
};

int frameIndex(const PictureRef& p) {
  return p ? clipgen::readFrameIndex(p->planes.y, p->planes.yStride, p->width(), p->height()) : -2;
}

TEST(VideoPlayer, LiveFramesOfBothCodecsDecodeIntoPooledPicturesInOrder) {
  DisplayGuard guard;
  TestWindow w;
  for (auto codec : {clipgen::Codec::H264, clipgen::Codec::Mpeg4}) {
    VideoPlayer player(nullptr);
    Pictures pictures;
    auto clip = makeClip(352, 288, 8, codec);
    const int c = codec == clipgen::Codec::H264 ? kCodecH264 : kCodecMpeg4;
    auto f0 = clip.frameBytes(0);
    EXPECT_FALSE(pictures.decode(player, f0, c)) << "no window: nothing decoded";
    player.SetMainWindow(w.handle);
    PictureRef previous;
    for (size_t i = 0; i < clip.frames.size(); ++i) {
      PictureRef picture = pictures.decode(player, clip.frameBytes(i), c);
      ASSERT_TRUE(picture) << i;
      ASSERT_EQ(picture->width(), 352);
      ASSERT_EQ(picture->height(), 288);
      EXPECT_EQ(frameIndex(picture), static_cast<int>(i));
      // The decoder keeps its own picture for the pool: nothing is copied, and a picture
      // still referenced is not changed by the next decode.
      EXPECT_TRUE(static_cast<const PictureSlot*>(picture.get())->held());
      if (previous) {
        EXPECT_EQ(frameIndex(previous), static_cast<int>(i) - 1);
      }
      EXPECT_EQ(player.RenderPicture(picture), 1);
      previous = picture;
    }
    EXPECT_EQ(player.pictureWidth(), 352);
    auto shown = w.shown();
    EXPECT_EQ(shown.width, 352);
    EXPECT_EQ(shown.height, 288);
    EXPECT_FALSE(pictures.decode(player, f0, 7)) << "unknown codec";
  }
}

TEST(VideoPlayer, FirstPictureOf1280x720IsDecodedWholeAndTheRenderThreadRebinds) {
  DisplayGuard guard;
  TestWindow w;
  VideoPlayer player(nullptr);
  EXPECT_EQ(player.pictureWidth(), 720);
  EXPECT_EQ(player.pictureHeight(), 576);
  player.SetMainWindow(w.handle);
  auto clip = makeClip(1280, 720, 1);
  Pictures pictures;
  PictureRef picture = pictures.decode(player, clip.frameBytes(0), kCodecH264);
  ASSERT_TRUE(picture);
  auto expected = clipgen::patternPicture(1280, 720, 0);
  // Each plane close to what was encoded, read at the decoder's strides.
  auto meanDiff = [&](const uint8_t* plane, int stride, int width, int height, size_t from) {
    double sum = 0;
    for (int r = 0; r < height; ++r)
      for (int c = 0; c < width; ++c)
        sum += std::abs(int(plane[size_t(r) * stride + c]) - int(expected[from + size_t(r) * width + c]));
    return sum / (double(width) * height);
  };
  const plat::I420Planes& p = picture->planes;
  EXPECT_LT(meanDiff(p.y, p.yStride, 1280, 720, 0), 6.0);
  EXPECT_LT(meanDiff(p.u, p.uStride, 640, 360, 921600), 6.0);
  EXPECT_LT(meanDiff(p.v, p.vStride, 640, 360, 1152000), 6.0);
  EXPECT_EQ(player.pictureWidth(), 720) << "the decode thread does not resize";
  player.RenderPicture(picture);
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
  static inline std::vector<uint8_t> yPlane = std::vector<uint8_t>(4096 * 4096, 90);
  static inline std::vector<uint8_t> uPlane = std::vector<uint8_t>(2048 * 2048, 60);
  static inline std::vector<uint8_t> vPlane = std::vector<uint8_t>(2048 * 2048, 200);
  // When set, the decoder keeps its pictures on request (operation 4) and counts what is
  // kept and given back.
  static inline bool holding = false;
  static inline std::vector<intptr_t> held;
  static inline intptr_t nextHold = 0;
  static void entry(int op, DecoderHandleBlock* b, void* out) {
    if (op == CTDEC_HOLD) {
      *static_cast<intptr_t*>(out) = holding ? ++nextHold : 0;
      if (holding) held.push_back(nextHold);
    } else if (op == CTDEC_RELEASE) {
      std::erase(held, *static_cast<intptr_t*>(out));
    } else if (op == CTDEC_OPEN) {
      ++opens;
      b->handle = 1;
    } else if (op == CTDEC_CLOSE) {
      ++closes;
      b->handle = 0;
    } else if (op == CTDEC_DECODE) {
      auto* o = static_cast<DecoderOutput*>(out);
      *o = DecoderOutput{};
      inputs.emplace_back(b->input, b->length);
      if (answers.empty() || inputs.size() > 50) return;
      Answer a = answers.front();
      answers.pop_front();
      o->pictureReady = a.ready;
      o->width = a.width;
      o->height = a.height;
      o->y = yPlane.data();
      o->u = uPlane.data();
      o->v = vPlane.data();
      o->yStride = a.width;
      o->uStride = o->vStride = a.width / 2;
      o->bytesConsumed = a.consumed;
    }
  }
  static void reset() {
    answers.clear();
    inputs.clear();
    opens = closes = 0;
    holding = false;
    held.clear();
  }
};

TEST(VideoPlayer, PicturesAreKeptAsTheDecoderGaveThemOrCopiedToTheirOffsets) {
  DisplayGuard guard;
  TestWindow w;
  Script::reset();
  uint8_t input[4] = {};
  {
    VideoPlayer player(nullptr, DecoderEntries{Script::entry, nullptr});
    player.SetMainWindow(w.handle);
    Pictures pictures;
    // A decoder that cannot keep its pictures: the planes are copied into the slot at the
    // offsets of a decoded picture (8, 8 + 921,600 and 8 + 1,152,000 for 1280 x 720).
    Script::answers = {{1, 1280, 720, 4}};
    PictureRef copied = pictures.decode(player, input, 4, kCodecH264);
    ASSERT_TRUE(copied);
    const auto* slot = static_cast<const PictureSlot*>(copied.get());
    ASSERT_FALSE(slot->held());
    const uint8_t* bytes = slot->copyBytes();
    EXPECT_EQ(DecodedPicture::read(bytes).width, 1280);
    EXPECT_EQ(DecodedPicture::read(bytes).height, 720);
    EXPECT_EQ(copied->planes.y, bytes + 8);
    EXPECT_EQ(copied->planes.u, bytes + 8 + 921600);
    EXPECT_EQ(copied->planes.v, bytes + 8 + 1152000);
    EXPECT_EQ(bytes[8 + 921599], 90);
    EXPECT_EQ(bytes[8 + 921600], 60);
    EXPECT_EQ(bytes[8 + 1152000], 200);
    EXPECT_EQ(bytes[8 + 1382399], 200);
    player.RenderPicture(copied);
    copied.reset();
    // One that can: its planes are shown where the decoder keeps them, and every picture it
    // kept is given back once nothing refers to it (the renderer lets go of the last one
    // when it draws the next).
    Script::holding = true;
    for (int i = 0; i < 6; ++i) {
      Script::answers = {{1, 1280, 720, 4}};
      PictureRef kept = pictures.decode(player, input, 4, kCodecH264);
      ASSERT_TRUE(kept) << i;
      EXPECT_EQ(kept->planes.y, Script::yPlane.data());
      EXPECT_EQ(kept->planes.uStride, 640);
      player.RenderPicture(kept);
    }
    EXPECT_EQ(Script::held.size(), 1u) << "only the picture the window shows is kept";
  }
  EXPECT_TRUE(Script::held.empty()) << "the player's end gives the last picture back";
}

TEST(VideoPlayer, TheDecodeLoopFollowsBytesConsumedAndEnds) {
  DisplayGuard guard;
  TestWindow w;
  Script::reset();
  uint8_t input[100] = {};
  {
    VideoPlayer player(nullptr, DecoderEntries{Script::entry, nullptr});
    EXPECT_EQ(Script::opens, 1);
    player.SetMainWindow(w.handle);
    Pictures pictures;
    auto decoded = [&](int codec) { return pictures.decode(player, input, 100, codec) ? 1 : 0; };
    // Two frames in one input: the second call starts where the first stopped.
    Script::answers = {{1, 64, 32, 60}, {1, 64, 32, 40}};
    EXPECT_EQ(decoded(kCodecH264), 1);
    ASSERT_EQ(Script::inputs.size(), 2u);
    EXPECT_EQ(Script::inputs[1].first, input + 60);
    EXPECT_EQ(Script::inputs[1].second, 40u);
    // A picture without consumed input ends the loop instead of spinning.
    Script::inputs.clear();
    Script::answers = {{1, 64, 32, 0}, {1, 64, 32, 0}, {1, 64, 32, 0}};
    EXPECT_EQ(decoded(kCodecH264), 1);
    EXPECT_EQ(Script::inputs.size(), 1u);
    // No picture and nothing consumed: result 0.
    Script::inputs.clear();
    Script::answers = {{0, 0, 0, 0}};
    EXPECT_EQ(decoded(kCodecH264), 0);
    // Consumed without a picture, twice: no picture, loop ends at the input's end.
    Script::answers = {{0, 0, 0, 50}, {0, 0, 0, 500}};
    EXPECT_EQ(decoded(kCodecH264), 0);
    // MPEG-4 entry missing: its frames produce nothing.
    EXPECT_EQ(decoded(kCodecMpeg4), 0);

    // The playback path: a frame that consumed input without a picture counts and draws
    // the picture before again; one that consumed nothing neither counts nor draws.
    Script::answers = {{1, 64, 32, 100}};
    player.DecodeAndShow(input, 100, kCodecH264);
    const int counted = player.decodedFrames();
    const auto drawn = w.shown().serial;
    Script::answers = {{0, 0, 0, 100}};
    player.DecodeAndShow(input, 100, kCodecH264);
    EXPECT_EQ(player.decodedFrames(), counted + 1);
    EXPECT_GT(w.shown().serial, drawn);
    EXPECT_EQ(w.shown().width, 64);
    const auto redrawn = w.shown().serial;
    Script::answers = {{0, 0, 0, 0}};
    player.DecodeAndShow(input, 100, kCodecH264);
    EXPECT_EQ(player.decodedFrames(), counted + 1);
    EXPECT_EQ(w.shown().serial, redrawn);
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
  Pictures pictures;
  // 3840 x 2160 is the largest picture kept; 3840 x 2170 and 4096 x 2160 are dropped, copied
  // or held alike.
  for (bool holding : {false, true}) {
    Script::holding = holding;
    Script::answers = {{1, 3840, 2160, 10}};
    EXPECT_TRUE(pictures.decode(player, input, 10, kCodecH264));
    Script::answers = {{1, 3840, 2170, 10}};
    EXPECT_FALSE(pictures.decode(player, input, 10, kCodecH264));
    Script::answers = {{1, 4096, 2160, 10}};
    EXPECT_FALSE(pictures.decode(player, input, 10, kCodecH264));
  }
  EXPECT_EQ(player.droppedPictures(), 4);
  EXPECT_TRUE(Script::held.empty()) << "a dropped picture is not kept";
}

TEST(VideoPlayer, MissingDecodersNeverDrawAndCloseNothing) {
  DisplayGuard guard;
  TestWindow w;
  auto clip = makeClip(352, 288, 2);
  {
    VideoPlayer player(nullptr, DecoderEntries{});
    player.SetMainWindow(w.handle);
    Pictures pictures;
    for (size_t i = 0; i < clip.frames.size(); ++i) {
      auto bytes = clip.frameBytes(i);
      EXPECT_FALSE(pictures.decode(player, bytes, kCodecH264));
      player.DecodeAndShow(bytes.data(), bytes.size(), kCodecH264);
    }
    // Only the playback path counts its frames without a decoder: each still draws.
    EXPECT_EQ(player.decodedFrames(), static_cast<int>(clip.frames.size()));
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
  EXPECT_EQ(frameIndex(player.shownPicture()), 3);
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

// The first and last rows of the picture that hold lit pixels, -1 when none does.
std::pair<int, int> litRows(const plat::PresentedPicture& p) {
  int first = -1, last = -1;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (p.pixels[y * p.width + x] == 0xFFFFFF) {
        if (first < 0) first = y;
        last = y;
        break;
      }
  return {first, last};
}

TEST(VideoPlayer, TheVideoAndAudioStatusTextsDoNotOverlap) {
  DisplayGuard guard;
  TestWindow w;
  VideoPlayer player(nullptr, DecoderEntries{});
  player.SetMainWindow(w.handle);
  // Each text alone, then both: a blank band of a quarter line at least lies between them, so
  // that they stay apart when the picture is scaled down to a small window.
  for (int video : {kStateConnecting, kStateServerFull})
    for (int audio : {kStateConnecting, kStateServerFull}) {
      player.DrawStatusText(video, kStateConnected);
      const auto [videoTop, videoBottom] = litRows(w.shown());
      player.DrawStatusText(kStateConnected, audio);
      const auto [audioTop, audioBottom] = litRows(w.shown());
      ASSERT_GE(videoTop, 0);
      ASSERT_GE(audioTop, 0);
      EXPECT_GE(audioTop - videoBottom - 1, 24 / 4) << video << " over " << audio;
      player.DrawStatusText(video, audio);
      EXPECT_EQ(litRows(w.shown()), std::make_pair(videoTop, audioBottom));
    }
}

TEST(VideoPlayer, StatisticsLineAndIconsFollowTheOsdFlags) {
  DisplayGuard guard;
  TestWindow w;
  Script::reset();
  VideoPlayer player(nullptr, DecoderEntries{Script::entry, nullptr});
  player.SetMainWindow(w.handle);
  Pictures pictures;
  uint8_t input[4] = {};
  auto frame = [&] {
    Script::answers = {{1, 400, 300, 4}};
    PictureRef picture = pictures.decode(player, input, 4, kCodecH264);
    ASSERT_TRUE(picture);
    player.RenderPicture(picture);
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
