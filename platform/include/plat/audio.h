#pragma once
// Sound output and capture (in place of the waveform-audio devices). PCM only.
//
// Output: blocks are queued and played in order. The queue holds about one second of
// sound; a block that would make it longer is dropped (the newest, so the latency never
// grows). Capture: fixed-size blocks are handed to a callback on the backend's own thread
// between start() and stop()/reset().
//
// Two backends: the sound card (ALSA), and a silent null device that is chosen
// automatically when no sound device opens. TARNWICK_AUDIO=null|alsa|auto or
// setAudioBackend() picks one for the whole process (tests always use null).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace plat {

struct AudioFormat {
  uint16_t channels = 1;
  uint16_t bitsPerSample = 16;
  uint32_t samplesPerSecond = 8000;

  uint32_t blockAlign() const;      // bytes per sample frame, at least 1
  uint32_t bytesPerSecond() const;  // blockAlign * samplesPerSecond
  bool valid() const;               // 8- or 16-bit, 1 or 2 channels, a rate of 1..192000
};

enum class AudioBackendKind { Auto, Alsa, Null };
void setAudioBackend(AudioBackendKind kind);
AudioBackendKind audioBackend();

struct AudioOutputStats {
  uint64_t playedBlocks = 0;   // blocks handed to the device (or to the null log)
  uint64_t playedBytes = 0;
  uint64_t droppedBlocks = 0;  // refused because the queue already held about a second
  uint32_t queuedBytes = 0;    // waiting now
};

// Volume as the system reports it: left channel in the low 16 bits, right in the high.
constexpr uint32_t kFullVolume = 0xFFFFFFFFu;

class AudioOutput {
 public:
  // The backend of audioBackend(); Auto falls back to the null device when no sound
  // device opens. Null only for a format no backend can take.
  static std::unique_ptr<AudioOutput> open(const AudioFormat& format);
  virtual ~AudioOutput() = default;

  // Queues one block; false when it was dropped (queue full, empty or not whole frames).
  virtual bool write(const void* data, size_t bytes) = 0;
  // Drops everything waiting.
  virtual void reset() = 0;
  virtual void setVolume(uint32_t leftLowRightHigh) = 0;
  virtual uint32_t volume() const = 0;
  virtual AudioOutputStats stats() const = 0;
  virtual bool isNull() const = 0;
  const AudioFormat& format() const { return format_; }

 protected:
  explicit AudioOutput(const AudioFormat& f) : format_(f) {}
  AudioFormat format_;
};

class AudioInput {
 public:
  // Called on the backend's thread with one block of exactly blockBytes, valid during
  // the call only.
  using BlockCallback = std::function<void(const uint8_t* data, size_t bytes)>;

  static std::unique_ptr<AudioInput> open(const AudioFormat& format, size_t blockBytes,
                                          BlockCallback callback);
  virtual ~AudioInput() = default;  // stops and waits for a running callback

  virtual void start() = 0;
  // Both end the delivery of blocks; when they return no callback runs any more (unless
  // called from the callback itself). reset() also discards a partly filled block.
  virtual void stop() = 0;
  virtual void reset() = 0;
  virtual bool started() const = 0;
  virtual bool isNull() const = 0;
  size_t blockBytes() const { return blockBytes_; }

 protected:
  AudioInput(const AudioFormat& f, size_t blockBytes) : format_(f), blockBytes_(blockBytes) {}
  AudioFormat format_;
  size_t blockBytes_;
};

// The null device, public so tests can watch what was "played" and feed the microphone.
class NullAudioOutput : public AudioOutput {
 public:
  explicit NullAudioOutput(const AudioFormat& format);
  bool write(const void* data, size_t bytes) override;
  void reset() override;
  void setVolume(uint32_t v) override;
  uint32_t volume() const override;
  AudioOutputStats stats() const override;
  bool isNull() const override { return true; }

  // While held nothing plays and blocks wait in the queue (as on a slow sound card);
  // releasing plays what waits.
  void hold(bool on);
  // The most recent played bytes (the last few seconds at most), oldest first.
  std::vector<uint8_t> played() const;
  void clearPlayed();

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

class NullAudioInput : public AudioInput {
 public:
  NullAudioInput(const AudioFormat& format, size_t blockBytes, BlockCallback callback);
  ~NullAudioInput() override;
  void start() override;
  void stop() override;
  void reset() override;
  bool started() const override;
  bool isNull() const override { return true; }

  // Plays the microphone: hands one block (cut or zero-filled to blockBytes) to the
  // callback on the device's thread and returns once it was delivered. False when capture
  // is not started (the sound is lost, as with a real microphone).
  bool inject(const void* data, size_t bytes);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plat
