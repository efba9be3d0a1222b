#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "audio/adpcm.h"

namespace {

// A plain IMA ADPCM encoder, kept here only to make blocks whose decoded samples are
// known: it tracks the same predictor the decoder must reproduce.
struct RefEncoder {
  int predicted = 0;
  int index = 0;
  std::vector<int16_t> reconstructed;

  uint8_t encode(int16_t sample) {
    int step = corvane::adpcmStep(index);
    int diff = sample - predicted;
    int code = 0;
    if (diff < 0) {
      code = 8;
      diff = -diff;
    }
    if (diff >= step) { code |= 4; diff -= step; }
    if (diff >= step / 2) { code |= 2; diff -= step / 2; }
    if (diff >= step / 4) code |= 1;
    int d = step >> 1;
    if (code & 4) d += step << 2;
    if (code & 2) d += step << 1;
    if (code & 1) d += step;
    d >>= 2;
    predicted = std::clamp((code & 8) ? predicted - d : predicted + d, -32768, 32767);
    index = std::clamp(index + corvane::adpcmIndexAdjust(code), 0, 88);
    reconstructed.push_back(static_cast<int16_t>(predicted));
    return static_cast<uint8_t>(code);
  }

  // One block: header with the given (or the current) state, then codes.
  std::vector<uint8_t> block(const std::vector<int16_t>& samples, int hdrPredicted, int hdrIndex) {
    std::vector<uint8_t> b(8 + samples.size() / 2);
    std::memcpy(b.data(), "ADPC", 4);
    b[4] = static_cast<uint8_t>(hdrPredicted & 0xFF);
    b[5] = static_cast<uint8_t>((hdrPredicted >> 8) & 0xFF);
    b[6] = static_cast<uint8_t>(hdrIndex);
    b[7] = 0;
    for (size_t i = 0; i < samples.size(); i += 2)
      b[8 + i / 2] = static_cast<uint8_t>(encode(samples[i]) << 4 | encode(samples[i + 1]));
    return b;
  }
};

std::vector<int16_t> tone(size_t n, size_t offset) {
  std::vector<int16_t> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = static_cast<int16_t>(12000 * std::sin((i + offset) * 0.07) + 3000 * std::sin((i + offset) * 0.9));
  return v;
}

std::vector<int16_t> samplesOf(const uint8_t* p, int bytes) {
  std::vector<int16_t> v(bytes / 2);
  for (int i = 0; i < bytes / 2; ++i) v[i] = static_cast<int16_t>(p[2 * i] | p[2 * i + 1] << 8);
  return v;
}

struct Adpcm : ::testing::Test {
  void SetUp() override { ASSERT_EQ(corvane::AdpcmCodec(corvane::kAdpcmOpen, &codec, nullptr), 1); }
  void TearDown() override { corvane::AdpcmCodec(corvane::kAdpcmClose, &codec, nullptr); }
  int decode(const std::vector<uint8_t>& block) {
    codec.data = block.data();
    codec.length = static_cast<int>(block.size());
    out.data = buf.data();
    out.capacity = static_cast<int>(buf.size());
    return corvane::AdpcmCodec(corvane::kAdpcmDecode, &codec, &out);
  }
  corvane::AdpcmCodecBlock codec;
  std::vector<uint8_t> buf = std::vector<uint8_t>(4096);
  corvane::AdpcmOutputBlock out;
};

TEST_F(Adpcm, OpenMakesTheTaggedState) {
  EXPECT_EQ(std::memcmp(codec.state, "ADPC\0\0\0\0", 8), 0);
}

TEST_F(Adpcm, AFullBlockDecodesTo2032SamplesMatchingTheEncoder) {
  RefEncoder enc;
  auto block = enc.block(tone(2032, 0), 0, 0);
  ASSERT_EQ(block.size(), 1024u);
  ASSERT_EQ(decode(block), 1);
  EXPECT_EQ(out.length, 4064);
  EXPECT_EQ(samplesOf(buf.data(), out.length), enc.reconstructed);
}

TEST_F(Adpcm, StateCarriesAcrossBlocksAndLaterHeadersAreIgnored) {
  RefEncoder enc;
  auto first = enc.block(tone(400, 0), 0, 0);
  auto firstSamples = enc.reconstructed;
  enc.reconstructed.clear();
  // The camera's second header would restart the predictor: it must not be read.
  auto second = enc.block(tone(400, 400), 12345, 88);
  ASSERT_EQ(decode(first), 1);
  EXPECT_EQ(samplesOf(buf.data(), out.length), firstSamples);
  ASSERT_EQ(decode(second), 1);
  EXPECT_EQ(samplesOf(buf.data(), out.length), enc.reconstructed);
  EXPECT_EQ(codec.state[7], 1);
}

TEST_F(Adpcm, FirstHeaderSeedsPredictorAndAnOversizedIndexIsCapped) {
  std::vector<uint8_t> block = {'A', 'D', 'P', 'C', 0x10, 0x27, 200, 0, 0x77, 0x77};
  ASSERT_EQ(decode(block), 1);
  ASSERT_EQ(out.length, 8);
  auto s = samplesOf(buf.data(), out.length);
  // index 88 (step 32767): code 7 adds (16383 + 131068 + 65534 + 32767) >> 2, clipped.
  EXPECT_EQ(s[0], 32767);
  EXPECT_EQ(s[3], 32767);
  std::vector<uint8_t> down = {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  ASSERT_EQ(decode(down), 1);
  EXPECT_EQ(samplesOf(buf.data(), out.length).back(), -32768);
}

TEST_F(Adpcm, BlocksThatDoNotFitAreRefused) {
  std::vector<uint8_t> shortBlock = {'A', 'D', 'P', 'C', 0, 0};
  out.length = 99;
  EXPECT_EQ(decode(shortBlock), 0);
  EXPECT_EQ(out.length, 0);
  std::vector<uint8_t> tooLong(8 + 1025, 0);  // 4,100 bytes of samples into 4,096
  EXPECT_EQ(decode(tooLong), 0);
  EXPECT_EQ(out.length, 0);
  EXPECT_EQ(codec.state[7], 0);  // refused blocks do not seed the decoder
  std::vector<uint8_t> exact(8 + 1024, 0);
  EXPECT_EQ(decode(exact), 1);
  EXPECT_EQ(out.length, 4096);
  EXPECT_EQ(corvane::AdpcmCodec(1, &codec, &out), 0);
}

}  // namespace
