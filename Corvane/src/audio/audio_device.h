#pragma once
// The sound of one live stream or remote playback: plays PCM, IMA ADPCM and G.711 mu-law
// blocks and captures the microphone for talk.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "Corvane/audio.h"
#include "audio/adpcm.h"
#include "plat/audio.h"

namespace corvane {

// Audio types of a media packet.
constexpr int kAudioPcm6 = 6;
constexpr int kAudioPcm = 7;
constexpr int kAudioImaAdpcm = 8;
constexpr int kAudioG711Mu = 10;

class AudioDevice {
 public:
  static constexpr int kCaptureBlockBytes = 1024;  // 512 samples, 64 ms
  static constexpr int kPlayBuffers = 15;
  static constexpr int kPlayBufferBytes = 4096;

  // The owner's talk feed: (data, length, stamp, audio type); returns 1 when the block was
  // taken, 0 when talk is off or no talk buffer is free. Empty: captured sound goes
  // nowhere (remote playback).
  using TalkSink = std::function<int(const uint8_t* data, int length, uint32_t stamp, int type)>;

  explicit AudioDevice(TalkSink owner = {});
  ~AudioDevice();
  AudioDevice(const AudioDevice&) = delete;
  AudioDevice& operator=(const AudioDevice&) = delete;

  void StartCapture();
  void StopCapture();
  // Plays one block of audio type 6/7 (PCM), 8 (IMA ADPCM) or 10 (mu-law); 1 when it went
  // to the device, 0 when it was refused or could not be decoded.
  int PlayAudio(const uint8_t* data, int length, int audioType);
  // volume 0..0xFFFF on both channels; 1 on success.
  int SetOutputVolume(uint32_t volume);
  // As the device reports it (left low, right high); 0 without an output device.
  uint32_t GetOutputVolume() const;

  // The backend devices, for tests that play the microphone or listen.
  plat::AudioOutput* output() const { return output_.get(); }
  plat::AudioInput* input() const { return input_.get(); }

 private:
  void CaptureCallback(const uint8_t* data, size_t bytes);

  int playPosition_ = 0;
  uint32_t captureSequence_ = 0;  // used on the capture thread only
  std::atomic<int> capturing_{0};
  std::vector<uint8_t> playBuffers_;  // kPlayBuffers x kPlayBufferBytes, allocated once
  TalkSink owner_;
  AdpcmCodecBlock adpcm_;
  G7xCodecBlock g711_{};
  std::unique_ptr<plat::AudioOutput> output_;
  std::unique_ptr<plat::AudioInput> input_;
};

}  // namespace corvane
