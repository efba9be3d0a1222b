// The sound card through ALSA. All calls on a PCM handle are made on the device's own
// worker thread (the handles are not shared between threads); other threads only queue
// sound or post requests, so reset and stop never race a blocking device call.
#include "audio_queue.h"

#if defined(TARNWICK_HAVE_ALSA)

#include <alsa/asoundlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "plat/log.h"

namespace plat::audio_detail {
namespace {

constexpr int kPollMs = 100;              // longest a worker waits before it looks around
constexpr unsigned kLatencyUs = 200000;   // device buffer

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

snd_pcm_t* openPcm(const AudioFormat& f, snd_pcm_stream_t dir) {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(quietAlsa); });
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", dir, SND_PCM_NONBLOCK) < 0) return nullptr;
  snd_pcm_format_t fmt = f.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  if (snd_pcm_set_params(pcm, fmt, SND_PCM_ACCESS_RW_INTERLEAVED, f.channels,
                         f.samplesPerSecond, 1, kLatencyUs) < 0) {
    snd_pcm_close(pcm);
    return nullptr;
  }
  return pcm;
}

class AlsaOutput : public AudioOutput {
 public:
  AlsaOutput(const AudioFormat& f, snd_pcm_t* pcm)
      : AudioOutput(f), pcm_(pcm), queue_(queueCapacity(f)) {
    thread_ = std::thread([this] { run(); });
  }
  ~AlsaOutput() override {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
    snd_pcm_close(pcm_);
  }

  bool write(const void* data, size_t bytes) override {
    if (!data || bytes == 0 || bytes % format_.blockAlign()) return false;
    std::lock_guard lock(mutex_);
    if (!queue_.push(data, bytes)) {
      stats_.droppedBlocks++;
      return false;
    }
    stats_.playedBlocks++;
    stats_.playedBytes += bytes;
    cv_.notify_all();
    return true;
  }
  void reset() override {
    std::lock_guard lock(mutex_);
    queue_.clear();
    resetWanted_ = true;
    cv_.notify_all();
  }
  void setVolume(uint32_t v) override { volume_.store(v); }
  uint32_t volume() const override { return volume_.load(); }
  AudioOutputStats stats() const override {
    std::lock_guard lock(mutex_);
    AudioOutputStats s = stats_;
    s.queuedBytes = static_cast<uint32_t>(queue_.size());
    return s;
  }
  bool isNull() const override { return false; }

 private:
  void run() {
    const size_t align = format_.blockAlign();
    std::vector<uint8_t> chunk(align * 256);
    std::unique_lock lock(mutex_);
    while (!quit_) {
      if (resetWanted_) {
        resetWanted_ = false;
        lock.unlock();
        snd_pcm_drop(pcm_);
        snd_pcm_prepare(pcm_);
        lock.lock();
        continue;
      }
      size_t n = queue_.pop(chunk.data(), chunk.size());
      if (n == 0) {
        cv_.wait_for(lock, std::chrono::milliseconds(kPollMs));
        continue;
      }
      lock.unlock();
      applyVolume(chunk.data(), n, format_, volume_.load());
      play(chunk.data(), n / align);
      lock.lock();
    }
  }

  void play(const uint8_t* p, snd_pcm_uframes_t frames) {
    const size_t align = format_.blockAlign();
    while (frames > 0) {
      {
        std::lock_guard lock(mutex_);
        if (quit_ || resetWanted_) return;
      }
      snd_pcm_sframes_t r = snd_pcm_writei(pcm_, p, frames);
      if (r == -EAGAIN) {
        snd_pcm_wait(pcm_, kPollMs);
        continue;
      }
      if (r < 0) {
        if (snd_pcm_recover(pcm_, static_cast<int>(r), 1) < 0) {
          PLAT_LOGW("audio", "sound output failed: %s", snd_strerror(static_cast<int>(r)));
          return;
        }
        continue;
      }
      p += static_cast<size_t>(r) * align;
      frames -= static_cast<snd_pcm_uframes_t>(r);
    }
  }

  snd_pcm_t* pcm_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  ByteRing queue_;
  AudioOutputStats stats_;
  std::atomic<uint32_t> volume_{kFullVolume};
  bool quit_ = false;
  bool resetWanted_ = false;
  std::thread thread_;
};

class AlsaInput : public AudioInput {
 public:
  AlsaInput(const AudioFormat& f, size_t blockBytes, BlockCallback cb, snd_pcm_t* pcm)
      : AudioInput(f, blockBytes), pcm_(pcm), callback_(std::move(cb)), block_(blockBytes) {
    thread_ = std::thread([this] { run(); });
  }
  ~AlsaInput() override {
    stop();
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
    snd_pcm_close(pcm_);
  }

  void start() override {
    std::lock_guard lock(mutex_);
    wanted_ = true;
    cv_.notify_all();
  }
  void stop() override {
    std::unique_lock lock(mutex_);
    wanted_ = false;
    cv_.notify_all();
    if (std::this_thread::get_id() == thread_.get_id()) return;
    cv_.wait(lock, [&] { return (!running_ && !inCallback_) || quit_; });
  }
  void reset() override { stop(); }
  bool started() const override {
    std::lock_guard lock(mutex_);
    return wanted_;
  }
  bool isNull() const override { return false; }

 private:
  void run() {
    const size_t align = format_.blockAlign();
    size_t fill = 0;
    std::unique_lock lock(mutex_);
    while (!quit_) {
      if (wanted_ != running_) {
        running_ = wanted_;
        fill = 0;
        lock.unlock();
        if (running_) {
          snd_pcm_prepare(pcm_);
          snd_pcm_start(pcm_);
        } else {
          snd_pcm_drop(pcm_);
        }
        lock.lock();
        cv_.notify_all();
        continue;
      }
      if (!running_) {
        cv_.wait_for(lock, std::chrono::milliseconds(kPollMs));
        continue;
      }
      lock.unlock();
      snd_pcm_wait(pcm_, kPollMs);
      snd_pcm_sframes_t r =
          snd_pcm_readi(pcm_, block_.data() + fill, (block_.size() - fill) / align);
      if (r > 0) {
        fill += static_cast<size_t>(r) * align;
      } else if (r < 0 && r != -EAGAIN && snd_pcm_recover(pcm_, static_cast<int>(r), 1) == 0) {
        snd_pcm_start(pcm_);
      }
      lock.lock();
      if (fill == block_.size()) {
        fill = 0;
        if (wanted_ && callback_) {
          inCallback_ = true;
          lock.unlock();
          callback_(block_.data(), block_.size());
          lock.lock();
          inCallback_ = false;
          cv_.notify_all();
        }
      }
    }
    running_ = false;
    cv_.notify_all();
  }

  snd_pcm_t* pcm_;
  BlockCallback callback_;
  std::vector<uint8_t> block_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool wanted_ = false;
  bool running_ = false;
  bool inCallback_ = false;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<AudioOutput> openAlsaOutput(const AudioFormat& format) {
  snd_pcm_t* pcm = openPcm(format, SND_PCM_STREAM_PLAYBACK);
  if (!pcm) return nullptr;
  return std::make_unique<AlsaOutput>(format, pcm);
}

std::unique_ptr<AudioInput> openAlsaInput(const AudioFormat& format, size_t blockBytes,
                                          AudioInput::BlockCallback callback) {
  snd_pcm_t* pcm = openPcm(format, SND_PCM_STREAM_CAPTURE);
  if (!pcm) return nullptr;
  return std::make_unique<AlsaInput>(format, blockBytes, std::move(callback), pcm);
}

}  // namespace plat::audio_detail

#else  // built without ALSA: only the null device exists

namespace plat::audio_detail {
std::unique_ptr<AudioOutput> openAlsaOutput(const AudioFormat&) { return nullptr; }
std::unique_ptr<AudioInput> openAlsaInput(const AudioFormat&, size_t, AudioInput::BlockCallback) {
  return nullptr;
}
}  // namespace plat::audio_detail

#endif
