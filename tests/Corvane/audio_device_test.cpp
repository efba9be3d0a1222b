#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "Corvane.h"
#include "audio/audio_device.h"
#include "audio/g711.h"
#include "audio/stream_media.h"

namespace {

using corvane::AudioDevice;

struct TalkBlock {
  std::vector<uint8_t> data;
  uint32_t stamp;
  int type;
};

struct AudioDeviceTest : ::testing::Test {
  void SetUp() override { plat::setAudioBackend(plat::AudioBackendKind::Null); }
  static plat::NullAudioOutput& speaker(AudioDevice& d) {
    return dynamic_cast<plat::NullAudioOutput&>(*d.output());
  }
  static plat::NullAudioInput& microphone(AudioDevice& d) {
    return dynamic_cast<plat::NullAudioInput&>(*d.input());
  }
};

TEST_F(AudioDeviceTest, PlaysPcmInOrderAndCutsOversizedBlocks) {
  AudioDevice dev;
  std::vector<uint8_t> expect;
  // More blocks than play buffers: the ring wraps and order is kept.
  for (int i = 0; i < 20; ++i) {
    std::vector<uint8_t> blk(1024);
    for (size_t j = 0; j < blk.size(); ++j) blk[j] = static_cast<uint8_t>(i * 31 + j);
    EXPECT_EQ(dev.PlayAudio(blk.data(), 1024, i % 2 ? 7 : 6), 1);
    expect.insert(expect.end(), blk.begin(), blk.end());
  }
  EXPECT_EQ(speaker(dev).played(), expect);
  speaker(dev).clearPlayed();
  std::vector<uint8_t> big(5000, 0x11);
  EXPECT_EQ(dev.PlayAudio(big.data(), 5000, 7), 1);
  EXPECT_EQ(speaker(dev).played().size(), 4096u);
  EXPECT_EQ(dev.output()->stats().playedBlocks, 21u);
}

TEST_F(AudioDeviceTest, DecodesMuLawAndAdpcmAndIgnoresOtherTypes) {
  AudioDevice dev;
  uint8_t codes[4] = {0xFF, 0x00, 0x80, 0x7F};
  ASSERT_EQ(dev.PlayAudio(codes, 4, corvane::kAudioG711Mu), 1);
  auto played = speaker(dev).played();
  ASSERT_EQ(played.size(), 8u);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(static_cast<int16_t>(played[2 * i] | played[2 * i + 1] << 8),
              corvane::g711::ulawDecode(codes[i]));

  speaker(dev).clearPlayed();
  std::vector<uint8_t> adpcm(1024, 0x11);
  std::memcpy(adpcm.data(), "ADPC\0\0\0\0", 8);
  ASSERT_EQ(dev.PlayAudio(adpcm.data(), 1024, corvane::kAudioImaAdpcm), 1);
  EXPECT_EQ(speaker(dev).played().size(), 4064u);
  EXPECT_EQ(dev.PlayAudio(adpcm.data(), 6, corvane::kAudioImaAdpcm), 0);     // shorter than its header
  EXPECT_EQ(dev.PlayAudio(adpcm.data(), 1040, corvane::kAudioImaAdpcm), 0);  // would not fit
  std::vector<uint8_t> muLong(2049, 0xFF);
  EXPECT_EQ(dev.PlayAudio(muLong.data(), 2049, corvane::kAudioG711Mu), 0);
  EXPECT_EQ(dev.PlayAudio(codes, 4, 9), 0);
  EXPECT_EQ(dev.PlayAudio(codes, 4, 11), 0);
  EXPECT_EQ(speaker(dev).played().size(), 4064u);
}

TEST_F(AudioDeviceTest, VolumeIsClampedAndSetOnBothChannels) {
  AudioDevice dev;
  EXPECT_EQ(dev.SetOutputVolume(0x12345), 1);
  EXPECT_EQ(dev.GetOutputVolume(), 0xFFFFFFFFu);
  EXPECT_EQ(dev.SetOutputVolume(0x1234), 1);
  EXPECT_EQ(dev.GetOutputVolume(), 0x12341234u);
  EXPECT_EQ(dev.SetOutputVolume(0), 1);
  uint8_t pcm[4] = {0x00, 0x40, 0x00, 0xC0};
  ASSERT_EQ(dev.PlayAudio(pcm, 4, 7), 1);
  auto played = speaker(dev).played();
  EXPECT_EQ(played, std::vector<uint8_t>(4, 0));  // silent at volume 0
}

TEST_F(AudioDeviceTest, VolumeExportsReachTheStreamsDevice) {
  auto dev = std::make_shared<AudioDevice>();
  int streamTag = 0;
  IPC_HANDLE stream = &streamTag;
  EXPECT_EQ(IPC_SetVolume(stream, 0x100), 0);  // not bound yet
  EXPECT_EQ(IPC_GetVolume(stream), 0u);
  corvane::bindStreamMedia(stream, {dev, nullptr});
  EXPECT_EQ(IPC_SetVolume(stream, 0x100), 1);
  EXPECT_EQ(IPC_GetVolume(stream), 0x01000100u);
  corvane::unbindStreamMedia(stream);
  EXPECT_EQ(IPC_GetVolume(stream), 0u);
  EXPECT_EQ(IPC_SetVolume(nullptr, 1), 0);
}

TEST_F(AudioDeviceTest, CapturedBlocksReachTheTalkQueueOnlyWhileTalking) {
  std::mutex m;
  std::vector<TalkBlock> talk;
  bool talkOn = true;
  AudioDevice dev([&](const uint8_t* d, int n, uint32_t stamp, int type) {
    std::lock_guard lock(m);
    if (!talkOn) return 0;
    talk.push_back({std::vector<uint8_t>(d, d + n), stamp, type});
    return 1;
  });
  std::vector<uint8_t> voice(1024);
  for (size_t i = 0; i < voice.size(); ++i) voice[i] = static_cast<uint8_t>(i);
  EXPECT_FALSE(microphone(dev).inject(voice.data(), voice.size()));  // capture not started
  dev.StartCapture();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(microphone(dev).inject(voice.data(), voice.size()));
  {
    std::lock_guard lock(m);
    talkOn = false;  // the stream's talk was switched off: the block is dropped there
  }
  EXPECT_TRUE(microphone(dev).inject(voice.data(), voice.size()));
  {
    std::lock_guard lock(m);
    talkOn = true;
  }
  EXPECT_TRUE(microphone(dev).inject(voice.data(), voice.size()));
  dev.StopCapture();
  EXPECT_FALSE(microphone(dev).inject(voice.data(), voice.size()));
  std::lock_guard lock(m);
  ASSERT_EQ(talk.size(), 4u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(talk[i].stamp, i);
    EXPECT_EQ(talk[i].type, 7);
    EXPECT_EQ(talk[i].data, voice);
  }
  EXPECT_EQ(talk[3].stamp, 4u);  // every captured block takes a number
}

TEST_F(AudioDeviceTest, WithoutOwnerCaptureGoesNowhereAndCloseWhileCapturing) {
  auto dev = std::make_unique<AudioDevice>();
  dev->StartCapture();
  std::vector<uint8_t> voice(1024, 3);
  EXPECT_TRUE(microphone(*dev).inject(voice.data(), voice.size()));
  dev.reset();
}

}  // namespace
