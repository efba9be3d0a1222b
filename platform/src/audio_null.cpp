// The silent device: output is logged instead of played; capture delivers only what a
// test injects. Chosen when the machine has no sound card.
#include <condition_variable>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>

#include "audio_queue.h"
#include "plat/audio.h"
#include "plat/log.h"

namespace plat {

using audio_detail::ByteRing;

struct NullAudioOutput::Impl {
  explicit Impl(const AudioFormat& f)
      : format(f), queue(audio_detail::queueCapacity(f)), logLimit(f.bytesPerSecond() * 4) {}
  AudioFormat format;
  mutable std::mutex mutex;
  ByteRing queue;
  size_t logLimit;
  std::vector<uint8_t> log;
  std::vector<uint8_t> scratch;
  AudioOutputStats stats;
  uint32_t volume = kFullVolume;
  bool held = false;

  void play(const uint8_t* data, size_t bytes) {
    scratch.assign(data, data + bytes);
    audio_detail::applyVolume(scratch.data(), bytes, format, volume);
    log.insert(log.end(), scratch.begin(), scratch.end());
    // Trimmed once it holds twice the limit, so a block costs its own bytes, not the log's.
    if (log.size() > 2 * logLimit) log.erase(log.begin(), log.end() - logLimit);
    stats.playedBlocks++;
    stats.playedBytes += bytes;
    PLAT_LOGD("audio", "null device played %zu bytes", bytes);
  }
};

NullAudioOutput::NullAudioOutput(const AudioFormat& format)
    : AudioOutput(format), impl_(std::make_shared<Impl>(format)) {}

bool NullAudioOutput::write(const void* data, size_t bytes) {
  if (!data || bytes == 0 || bytes % format_.blockAlign()) return false;
  std::lock_guard lock(impl_->mutex);
  if (impl_->held) {
    if (impl_->queue.push(data, bytes)) return true;
    impl_->stats.droppedBlocks++;
    return false;
  }
  impl_->play(static_cast<const uint8_t*>(data), bytes);
  return true;
}

void NullAudioOutput::reset() {
  std::lock_guard lock(impl_->mutex);
  impl_->queue.clear();
}

void NullAudioOutput::setVolume(uint32_t v) {
  std::lock_guard lock(impl_->mutex);
  impl_->volume = v;
}

uint32_t NullAudioOutput::volume() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->volume;
}

AudioOutputStats NullAudioOutput::stats() const {
  std::lock_guard lock(impl_->mutex);
  AudioOutputStats s = impl_->stats;
  s.queuedBytes = static_cast<uint32_t>(impl_->queue.size());
  return s;
}

void NullAudioOutput::hold(bool on) {
  std::lock_guard lock(impl_->mutex);
  impl_->held = on;
  if (on) return;
  std::vector<uint8_t> waiting(impl_->queue.size());
  impl_->queue.pop(waiting.data(), waiting.size());
  if (!waiting.empty()) impl_->play(waiting.data(), waiting.size());
}

std::vector<uint8_t> NullAudioOutput::played() const {
  std::lock_guard lock(impl_->mutex);
  const auto& log = impl_->log;
  return {log.end() - static_cast<std::ptrdiff_t>(std::min(log.size(), impl_->logLimit)), log.end()};
}

void NullAudioOutput::clearPlayed() {
  std::lock_guard lock(impl_->mutex);
  impl_->log.clear();
}

struct NullAudioInput::Impl {
  BlockCallback callback;
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<uint8_t> block;
  bool started = false;
  bool pending = false;    // a block waits for the device thread
  bool inCallback = false;
  bool quit = false;
  uint64_t delivered = 0;  // blocks done with, handed on or discarded
  bool handed = false;     // the last one reached the callback
  std::thread::id worker;
  std::thread thread;

  void run() {
    std::unique_lock lock(mutex);
    worker = std::this_thread::get_id();
    cv.notify_all();
    for (;;) {
      cv.wait(lock, [&] { return quit || pending; });
      if (quit) return;
      handed = started && callback;
      if (handed) {
        inCallback = true;
        lock.unlock();
        callback(block.data(), block.size());
        lock.lock();
        inCallback = false;
      }
      pending = false;
      delivered++;
      cv.notify_all();
    }
  }

  // Ends delivery; waits out a running callback unless it is the caller.
  void halt(std::unique_lock<std::mutex>& lock) {
    started = false;
    if (pending && !inCallback) {  // not yet taken by the device thread
      pending = false;
      handed = false;
      delivered++;
    }
    cv.notify_all();
    if (std::this_thread::get_id() != worker) cv.wait(lock, [&] { return !inCallback; });
  }
};

NullAudioInput::NullAudioInput(const AudioFormat& format, size_t blockBytes,
                               BlockCallback callback)
    : AudioInput(format, blockBytes), impl_(std::make_unique<Impl>()) {
  impl_->callback = std::move(callback);
  impl_->block.resize(blockBytes);
  impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
  std::unique_lock lock(impl_->mutex);
  impl_->cv.wait(lock, [&] { return impl_->worker != std::thread::id(); });
}

NullAudioInput::~NullAudioInput() {
  {
    std::unique_lock lock(impl_->mutex);
    impl_->halt(lock);
    impl_->quit = true;
    impl_->cv.notify_all();
  }
  impl_->thread.join();
}

void NullAudioInput::start() {
  std::lock_guard lock(impl_->mutex);
  impl_->started = true;
}

void NullAudioInput::stop() {
  std::unique_lock lock(impl_->mutex);
  impl_->halt(lock);
}

void NullAudioInput::reset() { stop(); }

bool NullAudioInput::started() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->started;
}

bool NullAudioInput::inject(const void* data, size_t bytes) {
  std::unique_lock lock(impl_->mutex);
  // From the callback itself the device thread is busy: the block could never arrive.
  if (std::this_thread::get_id() == impl_->worker) return false;
  impl_->cv.wait(lock, [&] { return !impl_->pending || !impl_->started; });
  if (!impl_->started) return false;
  size_t n = std::min(bytes, impl_->block.size());
  if (n) std::memcpy(impl_->block.data(), data, n);
  std::memset(impl_->block.data() + n, 0, impl_->block.size() - n);
  impl_->pending = true;
  uint64_t ticket = impl_->delivered + 1;
  impl_->cv.notify_all();
  impl_->cv.wait(lock, [&] { return impl_->delivered >= ticket; });
  return impl_->handed;
}

}  // namespace plat
