// The player's reading of the recorder stream format, its audio coding and BMP files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "StreamPlay.h"
#include "audio_codec.h"
#include "dvremu/stream.h"
#include "stream_format.h"
#include "support/TestFolder.h"

using namespace streamplay;
namespace fs = std::filesystem;

namespace {
dvremu::StreamFrame frame(bool video, uint8_t codec, size_t size, uint32_t ts) {
  dvremu::StreamFrame f;
  f.video = video;
  f.codec = codec;
  f.key = video;
  f.timestamp = ts;
  f.bytes.assign(size, 0x5A);
  return f;
}
}  // namespace

TEST(StreamPlayFormat, HeaderAndFramesAsTheEmulatorWritesThem) {
  EXPECT_EQ(kStreamHeaderSize, dvremu::kStreamHeaderBytes);
  EXPECT_EQ(kFrameHeaderSize, dvremu::kFrameHeaderBytes);
  dvremu::StreamClip clip;
  clip.videoCodec = 2;
  clip.audioCodec = 1;
  clip.width = 352;
  clip.height = 288;
  clip.fps = 25;
  clip.frames = {frame(true, 2, 1000, 0), frame(false, 1, 320, 0), frame(true, 2, 10, 40)};
  const auto bytes = dvremu::streamFile(clip);
  size_t pos = 0;
  StreamInfo info;
  FrameRef f;
  ASSERT_EQ(parseNext(bytes.data(), bytes.size(), pos, &info, &f), ParseResult::StreamHeader);
  EXPECT_EQ(info.videoCodec, 2);
  EXPECT_EQ(info.audioCodec, 1);
  EXPECT_EQ(info.width, 352);
  EXPECT_EQ(info.height, 288);
  EXPECT_EQ(info.fps, 25);
  ASSERT_EQ(parseNext(bytes.data(), bytes.size(), pos, &info, &f), ParseResult::Frame);
  EXPECT_EQ(f.kind, kKindVideo);
  EXPECT_EQ(f.flags & kFlagKey, kFlagKey);
  EXPECT_EQ(f.length, 1000u);
  EXPECT_EQ(f.offset, 32u);
  ASSERT_EQ(parseNext(bytes.data(), bytes.size(), pos, &info, &f), ParseResult::Frame);
  EXPECT_EQ(f.kind, kKindAudio);
  // The last frame cut short waits for more; pos stays.
  const size_t before = pos;
  EXPECT_EQ(parseNext(bytes.data(), bytes.size() - 1, pos, &info, &f), ParseResult::NeedMore);
  EXPECT_EQ(pos, before);
  ASSERT_EQ(parseNext(bytes.data(), bytes.size(), pos, &info, &f), ParseResult::Frame);
  EXPECT_EQ(f.timestamp, 40u);
  EXPECT_EQ(pos, bytes.size());
}

TEST(StreamPlayFormat, GarbageAndInsaneFramesAreSkippedToTheNextHeader) {
  std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7};
  auto bad = dvremu::frameBytes(frame(true, 1, 0, 0));
  bad[12] = 0xFF;  // length far beyond any video frame
  bad[15] = 0x7F;
  bytes.insert(bytes.end(), bad.begin(), bad.end());
  auto good = dvremu::frameBytes(frame(true, 1, 5, 7));
  bytes.insert(bytes.end(), good.begin(), good.end());
  size_t pos = 0;
  FrameRef f;
  int frames = 0;
  for (int guard = 0; guard < 100; ++guard) {
    const ParseResult r = parseNext(bytes.data(), bytes.size(), pos, nullptr, &f);
    if (r == ParseResult::NeedMore) break;
    if (r == ParseResult::Frame) ++frames;
  }
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(f.timestamp, 7u);
  EXPECT_EQ(f.length, 5u);
}

TEST(StreamPlayFormat, MulawRoundTripStaysClose) {
  for (int s = -32000; s <= 32000; s += 500) {
    const int back = mulawToLinear(linearToMulaw(static_cast<int16_t>(s)));
    EXPECT_LE(std::abs(back - s), std::abs(s) / 16 + 16) << s;
  }
  EXPECT_EQ(decodeAudio(kAudioPcm16, std::vector<uint8_t>{0x34, 0x12, 0xFF}.data(), 3),
            std::vector<int16_t>{0x1234});
  EXPECT_TRUE(decodeAudio(9, nullptr, 0).empty());
}

TEST(StreamPlayFormat, BmpFileIsBottomUpWithPaddedRows) {
  const uint32_t w = 3, h = 2;
  std::vector<uint8_t> bgr = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  const std::string path = testsupport::TestFile("streamplay_test.bmp");
  ASSERT_EQ(SPlay_ConvertToBmpFile(bgr.data(), 0, w, h, 0, path.c_str()), 1);
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  ASSERT_EQ(b.size(), 54u + 12u * 2u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[10], 54);
  EXPECT_EQ(b[18], 3);
  EXPECT_EQ(b[22], 2);
  EXPECT_EQ(b[28], 24);
  EXPECT_EQ(b[54], 10);  // the bottom row comes first
  EXPECT_EQ(b[54 + 12], 1);
  EXPECT_EQ(b[54 + 9], 0);  // padding
  // Without a size the buffer is a capture buffer of 1,244,160 bytes: any shape within it is
  // written, a picture larger than it is refused unless the caller says how big its buffer is.
  std::vector<uint8_t> capture(720 * 576 * 3, 7);
  EXPECT_EQ(SPlay_ConvertToBmpFile(capture.data(), 0, 1440, 288, 0, path.c_str()), 1);
  EXPECT_EQ(fs::file_size(path), 54u + 1440u * 3u * 288u);
  EXPECT_EQ(SPlay_ConvertToBmpFile(capture.data(), 0, 1440, 289, 0, path.c_str()), 0);
  EXPECT_EQ(SPlay_ConvertToBmpFile(capture.data(), 0, 721, 577, 0, path.c_str()), 0);
  EXPECT_EQ(SPlay_ConvertToBmpFile(bgr.data(), 17, w, h, 0, path.c_str()), 0);
  EXPECT_EQ(SPlay_ConvertToBmpFile(bgr.data(), 0, w, h, 0, ""), 0);
}
