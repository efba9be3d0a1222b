#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "plat/audio.h"
#include "plat/bytes.h"

namespace {

struct NullBackend : ::testing::Test {
  void SetUp() override { plat::setAudioBackend(plat::AudioBackendKind::Null); }
  plat::AudioFormat fmt;  // 8 kHz mono 16-bit
};

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}

plat::NullAudioOutput& asNull(plat::AudioOutput& out) {
  return dynamic_cast<plat::NullAudioOutput&>(out);
}

TEST_F(NullBackend, FormatsAreCheckedAtOpen) {
  EXPECT_EQ(fmt.blockAlign(), 2u);
  EXPECT_EQ(fmt.bytesPerSecond(), 16000u);
  plat::AudioFormat bad;
  bad.bitsPerSample = 24;
  EXPECT_EQ(plat::AudioOutput::open(bad), nullptr);
  EXPECT_EQ(plat::AudioInput::open(fmt, 1023, {}), nullptr);  // not whole samples
  auto out = plat::AudioOutput::open(fmt);
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(out->isNull());
}

TEST_F(NullBackend, OutputPlaysBlocksInOrderAndRefusesPartialFrames) {
  auto out = plat::AudioOutput::open(fmt);
  auto a = pattern(1024, 1), b = pattern(512, 99);
  EXPECT_TRUE(out->write(a.data(), a.size()));
  EXPECT_TRUE(out->write(b.data(), b.size()));
  EXPECT_FALSE(out->write(a.data(), 3));  // half a sample
  EXPECT_FALSE(out->write(nullptr, 2));
  auto played = asNull(*out).played();
  std::vector<uint8_t> expect = a;
  expect.insert(expect.end(), b.begin(), b.end());
  EXPECT_EQ(played, expect);
  auto st = out->stats();
  EXPECT_EQ(st.playedBlocks, 2u);
  EXPECT_EQ(st.playedBytes, 1536u);
}

// A slow device: about a second may wait; newer blocks are dropped, older ones kept in
// order, also across the end of the ring.
TEST_F(NullBackend, QueueHoldsAboutOneSecondAndDropsTheNewest) {
  auto out = plat::AudioOutput::open(fmt);
  auto& null = asNull(*out);
  for (int round = 0; round < 3; ++round) {
    null.clearPlayed();
    null.hold(true);
    std::vector<uint8_t> accepted;
    int dropped = 0;
    for (int i = 0; i < 10; ++i) {
      auto blk = pattern(4096 + round * 2, static_cast<uint8_t>(i * 13 + round));
      if (out->write(blk.data(), blk.size()))
        accepted.insert(accepted.end(), blk.begin(), blk.end());
      else
        ++dropped;
      EXPECT_LE(out->stats().queuedBytes, fmt.bytesPerSecond());
    }
    EXPECT_EQ(dropped, 7);  // three 4 KiB blocks fit in one second of 8 kHz 16-bit
    EXPECT_TRUE(null.played().empty());
    null.hold(false);
    EXPECT_EQ(null.played(), accepted);
    EXPECT_EQ(out->stats().queuedBytes, 0u);
  }
  EXPECT_EQ(out->stats().droppedBlocks, 21u);
}

TEST_F(NullBackend, ResetDiscardsWaitingSound) {
  auto out = plat::AudioOutput::open(fmt);
  auto& null = asNull(*out);
  null.hold(true);
  auto blk = pattern(2048, 5);
  ASSERT_TRUE(out->write(blk.data(), blk.size()));
  out->reset();
  null.hold(false);
  EXPECT_TRUE(null.played().empty());
}

// Samples and record fields alike: low byte first, the sign in the top bit of the last byte, and a
// write touches its own two or four bytes only.
TEST(LittleEndianFields, LowByteFirstWithinTheirWidth) {
  uint8_t b[8] = {0x11, 0x22, 0x33, 0x44, 0xFE, 0xFF, 0x00, 0x80};
  EXPECT_EQ(plat::getLe16(b), 0x2211u);
  EXPECT_EQ(plat::getLe32(b), 0x44332211u);
  EXPECT_EQ(plat::getLe32(b + 4), 0x8000FFFEu);
  EXPECT_EQ(plat::getLeS16(b + 4), -2);
  EXPECT_EQ(plat::getLeS32(b + 4), -0x7FFF0002);
  std::memset(b, 0xAA, sizeof b);
  plat::putLe32(b + 3, 0x01020304u);
  plat::putLe16(b + 1, static_cast<uint16_t>(int16_t{-300}));
  EXPECT_EQ(std::vector<uint8_t>(b, b + 8),
            (std::vector<uint8_t>{0xAA, 0xD4, 0xFE, 0x04, 0x03, 0x02, 0x01, 0xAA}));
}

TEST_F(NullBackend, VolumeScalesEachChannel) {
  plat::AudioFormat stereo = fmt;
  stereo.channels = 2;
  auto out = plat::AudioOutput::open(stereo);
  EXPECT_EQ(out->volume(), plat::kFullVolume);
  out->setVolume(0x0000FFFF);  // left full, right silent
  int16_t in[4] = {1000, 1000, -2000, -2000};
  uint8_t raw[8];
  for (int i = 0; i < 4; ++i) {
    raw[2 * i] = static_cast<uint8_t>(in[i] & 0xFF);
    raw[2 * i + 1] = static_cast<uint8_t>((static_cast<uint16_t>(in[i]) >> 8) & 0xFF);
  }
  ASSERT_TRUE(out->write(raw, sizeof raw));
  auto played = asNull(*out).played();
  ASSERT_EQ(played.size(), 8u);
  auto sample = [&](int i) { return static_cast<int16_t>(played[2 * i] | (played[2 * i + 1] << 8)); };
  EXPECT_EQ(sample(0), 1000);
  EXPECT_EQ(sample(1), 0);
  EXPECT_EQ(sample(2), -2000);
  EXPECT_EQ(sample(3), 0);
  EXPECT_EQ(out->volume(), 0x0000FFFFu);

  auto mono = plat::AudioOutput::open(fmt);
  mono->setVolume(0x00008000);  // mono follows the left channel
  ASSERT_TRUE(mono->write(raw, 4));
  auto half = asNull(*mono).played();
  EXPECT_EQ(static_cast<int16_t>(half[0] | (half[1] << 8)), 500);
}

TEST_F(NullBackend, CaptureDeliversWholeBlocksOnlyWhileStarted) {
  std::vector<std::vector<uint8_t>> got;
  std::atomic<int> calls{0};
  auto in = plat::AudioInput::open(fmt, 1024, [&](const uint8_t* d, size_t n) {
    got.emplace_back(d, d + n);
    ++calls;
  });
  ASSERT_NE(in, nullptr);
  auto& null = dynamic_cast<plat::NullAudioInput&>(*in);
  auto blk = pattern(1024, 3);
  EXPECT_FALSE(null.inject(blk.data(), blk.size()));  // not started: lost
  in->start();
  EXPECT_TRUE(in->started());
  EXPECT_TRUE(null.inject(blk.data(), blk.size()));
  EXPECT_TRUE(null.inject(blk.data(), 10));     // short: filled with silence
  auto big = pattern(3000, 8);
  EXPECT_TRUE(null.inject(big.data(), big.size()));  // long: cut to one block
  in->stop();
  EXPECT_FALSE(null.inject(blk.data(), blk.size()));
  ASSERT_EQ(calls.load(), 3);
  EXPECT_EQ(got[0], blk);
  ASSERT_EQ(got[1].size(), 1024u);
  EXPECT_TRUE(std::equal(got[1].begin(), got[1].begin() + 10, blk.begin()));
  EXPECT_TRUE(std::all_of(got[1].begin() + 10, got[1].end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(got[2], std::vector<uint8_t>(big.begin(), big.begin() + 1024));
  in->start();  // a restart delivers again
  EXPECT_TRUE(null.inject(blk.data(), blk.size()));
  EXPECT_EQ(calls.load(), 4);
}

TEST_F(NullBackend, CaptureMayStopFromItsOwnCallbackAndCloseWhileStarted) {
  std::unique_ptr<plat::AudioInput> in;
  int calls = 0;
  in = plat::AudioInput::open(fmt, 512, [&](const uint8_t*, size_t) {
    ++calls;
    in->stop();  // must not wait for itself
  });
  auto& null = dynamic_cast<plat::NullAudioInput&>(*in);
  in->start();
  std::vector<uint8_t> blk(512, 1);
  EXPECT_TRUE(null.inject(blk.data(), blk.size()));
  EXPECT_FALSE(in->started());
  EXPECT_FALSE(null.inject(blk.data(), blk.size()));
  EXPECT_EQ(calls, 1);
  in->start();
  in.reset();  // closing a started device ends its thread
}

TEST(AudioBackend, AutoAlwaysGivesAnOutput) {
  plat::setAudioBackend(plat::AudioBackendKind::Auto);
  auto out = plat::AudioOutput::open(plat::AudioFormat{});
  EXPECT_NE(out, nullptr);
  plat::setAudioBackend(plat::AudioBackendKind::Null);
}

}  // namespace
