#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "Corvane.h"
#include "audio/g711.h"

namespace g711 = corvane::g711;

namespace {

TEST(G711, KnownCodes) {
  EXPECT_EQ(g711::alawEncode(0), 0xD5);
  EXPECT_EQ(g711::alawEncode(-8), 0x55);
  EXPECT_EQ(g711::alawEncode(32767), 0xAA);  // largest positive code
  EXPECT_EQ(g711::alawEncode(-32768), 0x2A);
  for (int s = -7; s <= -1; ++s) EXPECT_EQ(g711::alawEncode(static_cast<int16_t>(s)), 0x55) << s;
  EXPECT_EQ(g711::alawDecode(0xD5), 8);
  EXPECT_EQ(g711::alawDecode(0x55), -8);
  EXPECT_EQ(g711::alawDecode(0xAA), 32256);
  EXPECT_EQ(g711::ulawDecode(0xFF), 0);
  EXPECT_EQ(g711::ulawDecode(0x00), -32124);
  EXPECT_EQ(g711::ulawDecode(0x80), 32124);
  EXPECT_EQ(g711::ulawEncode(0), 0xFF);
  EXPECT_EQ(g711::ulawEncode(32767), 0x80);   // beyond the last segment: clipped
  EXPECT_EQ(g711::ulawEncode(-32768), 0x00);
}

TEST(G711, EveryCodeSurvivesDecodeThenEncode) {
  for (int c = 0; c < 256; ++c) {
    auto code = static_cast<uint8_t>(c);
    EXPECT_EQ(g711::alawEncode(g711::alawDecode(code)), code) << c;
    // mu-law has two zeros; 0x7F (negative zero) comes back as 0xFF.
    EXPECT_EQ(g711::ulawEncode(g711::ulawDecode(code)), c == 0x7F ? 0xFF : code) << c;
  }
}

TEST(G711, QuantisationErrorStaysWithinTheSegmentStep) {
  for (int s = -32768; s <= 32767; ++s) {
    auto v = static_cast<int16_t>(s);
    int a = g711::alawDecode(g711::alawEncode(v));
    int u = g711::ulawDecode(g711::ulawEncode(v));
    ASSERT_LE(std::abs(a - s), std::abs(s) / 16 + 16) << s;
    if (s < 32124 && s > -32124) {  // mu-law clips at its largest magnitude
      ASSERT_LE(std::abs(u - s), (std::abs(s) + 132) / 16 + 8) << s;
    }
    ASSERT_EQ(a >= 0, s >= 0) << s;
  }
}

std::vector<uint8_t> pcm(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> v;
  for (int16_t s : samples) {
    v.push_back(static_cast<uint8_t>(s & 0xFF));
    v.push_back(static_cast<uint8_t>((static_cast<uint16_t>(s) >> 8) & 0xFF));
  }
  return v;
}

TEST(G7XEncode, EncodesHalfAsManyBytesByTheEncodeLaw) {
  std::vector<int16_t> samples(160);
  for (int i = 0; i < 160; ++i) samples[i] = static_cast<int16_t>(i * 400 - 32000);
  auto in = pcm(samples);
  ASSERT_EQ(in.size(), 320u);
  std::vector<uint8_t> out(400, 0xEE);
  G7xCodecBlock block{nullptr, in.data(), 320, 0, G7X_LAW_MU};
  G7xOutputBlock ob{out.data(), -1};
  ASSERT_EQ(G7X_Encode(G7X_ENCODE, &block, &ob), 1);
  EXPECT_EQ(ob.length, 160);
  for (int i = 0; i < 160; ++i) EXPECT_EQ(out[i], g711::ulawEncode(samples[i]));
  EXPECT_EQ(out[160], 0xEE);  // nothing past the output

  auto zeroAndMinus8 = pcm({0, -8});
  block = {nullptr, zeroAndMinus8.data(), 4, 0, G7X_LAW_A};
  ASSERT_EQ(G7X_Encode(G7X_ENCODE, &block, &ob), 1);
  EXPECT_EQ(ob.length, 2);
  EXPECT_EQ(out[0], 0xD5);
  EXPECT_EQ(out[1], 0x55);
}

TEST(G7XEncode, OpenKeepsTheLawsAndDecodeDoublesTheLength) {
  G7xCodecBlock block{nullptr, nullptr, 0, G7X_LAW_A, 0};
  ASSERT_EQ(G7X_Encode(G7X_OPEN, &block, nullptr), 1);
  ASSERT_NE(block.state, nullptr);
  block.decodeLaw = 99;  // the state's law holds after open
  uint8_t codes[3] = {0xD5, 0x55, 0xAA};
  uint8_t out[6];
  block.data = codes;
  block.length = 3;
  G7xOutputBlock ob{out, 0};
  ASSERT_EQ(G7X_Encode(G7X_DECODE, &block, &ob), 1);
  EXPECT_EQ(ob.length, 6);
  EXPECT_EQ(static_cast<int16_t>(out[0] | out[1] << 8), 8);
  EXPECT_EQ(static_cast<int16_t>(out[2] | out[3] << 8), -8);
  EXPECT_EQ(static_cast<int16_t>(out[4] | out[5] << 8), 32256);
  block.length = 0;
  ASSERT_EQ(G7X_Encode(G7X_DECODE, &block, &ob), 1);
  EXPECT_EQ(ob.length, 0);
  ASSERT_EQ(G7X_Encode(G7X_CLOSE, &block, nullptr), 1);
  EXPECT_EQ(block.state, nullptr);
  EXPECT_EQ(G7X_Encode(G7X_CLOSE, &block, nullptr), 1);  // twice is harmless
}

TEST(G7XEncode, UnknownLawOrOperationWritesNothing) {
  uint8_t codes[4] = {1, 2, 3, 4};
  uint8_t out[8] = {};
  G7xCodecBlock block{nullptr, codes, 4, 5, 5};
  G7xOutputBlock ob{out, 1234};  // a stale length from an earlier call
  EXPECT_EQ(G7X_Encode(G7X_DECODE, &block, &ob), 1);
  EXPECT_EQ(ob.length, 0);
  ob.length = 77;
  EXPECT_EQ(G7X_Encode(G7X_ENCODE, &block, &ob), 1);
  EXPECT_EQ(ob.length, 77) << "an unknown encode law leaves the output length";
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(G7X_Encode(4, &block, &ob), 0);
  EXPECT_EQ(G7X_Encode(G7X_ENCODE, nullptr, &ob), 0);
  EXPECT_EQ(G7X_Encode(G7X_DECODE, &block, nullptr), 0);
}

}  // namespace
