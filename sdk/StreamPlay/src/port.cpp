#include "port.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "audio_codec.h"
#include "bmp.h"
#include "plat/audio.h"
#include "plat/bytes.h"
#include "plat/clock.h"
#include "renderer.h"

namespace streamplay {

namespace {
constexpr int kIdleWaitMs = 50;
constexpr int kMaxFrameWaitMs = 1000;  // a time stamp jump never stalls the play thread longer
constexpr int kMaxSpeed = 4;
constexpr size_t kDefaultBuffer = 1u << 20;
}  // namespace

Port::~Port() { stopThread(); }

bool Port::setStreamOpenMode(uint32_t mode) {
  if (mode != SPLAY_STREAME_REALTIME && mode != SPLAY_STREAME_FILE) return false;
  std::lock_guard<std::mutex> lock(mu_);
  mode_ = mode;
  return true;
}

bool Port::openStream(const uint8_t* header, uint32_t headerSize, uint32_t bufferSize) {
  std::lock_guard<std::mutex> lock(mu_);
  if (open_) return false;
  open_ = true;
  file_ = false;
  data_.clear();
  readPos_ = 0;
  held_.reset();
  capacity_ = bufferSize ? bufferSize : kDefaultBuffer;
  info_ = StreamInfo{};
  streamPlayed_ = 0;
  streamLength_ = 0;
  if (mode_ == SPLAY_STREAME_FILE && header && headerSize == 0) {
    // The recorded file's size field: its bytes after the stream header fed first.
    const uint32_t size = plat::getLe32(header);
    streamLength_ = size ? uint64_t{size} + kStreamHeaderSize : 0;
  }
  if (header && headerSize >= kStreamHeaderSize) {
    size_t pos = 0;
    parseNext(header, headerSize, pos, &info_, nullptr);
  }
  return true;
}

bool Port::closeStream() {
  stopThread();
  std::lock_guard<std::mutex> lock(mu_);
  if (!open_ || file_) return false;
  open_ = false;
  data_.clear();
  data_.shrink_to_fit();
  readPos_ = 0;
  held_.reset();
  return true;
}

bool Port::inputData(const uint8_t* data, uint32_t size) {
  if (!data && size) return false;
  std::lock_guard<std::mutex> lock(mu_);
  if (!open_ || file_) return false;
  if (readPos_ > 0 && readPos_ >= data_.size() / 2) {
    data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(readPos_));
    readPos_ = 0;
  }
  if (data_.size() - readPos_ + size > capacity_) return false;  // full: the caller retries
  data_.insert(data_.end(), data, data + size);
  cv_.notify_all();
  return true;
}

bool Port::openFile(const std::string& path) {
  std::unique_ptr<FileSource> source = FileSource::Open(path);
  if (!source) return false;  // unreadable, or not a recording of ours
  std::lock_guard<std::mutex> lock(mu_);
  if (open_) return false;
  open_ = true;
  file_ = true;
  mode_ = SPLAY_STREAME_FILE;
  info_ = source->info();
  source_ = std::move(source);
  cursor_ = 0;
  return true;
}

bool Port::closeFile() {
  stopThread();
  std::lock_guard<std::mutex> lock(mu_);
  if (!open_ || !file_) return false;
  open_ = false;
  file_ = false;
  source_.reset();
  cursor_ = 0;
  return true;
}

bool Port::play(intptr_t window) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!open_) return false;
  window_ = window;
  paused_ = false;
  steps_ = 0;
  speed_ = 0;
  rebase_ = true;
  playing_ = true;
  if (!thread_.joinable()) {
    stopFlag_ = false;
    inFlight_ = false;  // an older thread's frame no longer holds a pause up
    thread_ = std::thread([self = shared_from_this(), g = ++generation_] { self->run(g); });
  }
  cv_.notify_all();
  return true;
}

void Port::stopThread() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopFlag_ = true;
    playing_ = false;
    cv_.notify_all();
  }
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id())
      thread_.detach();  // stopped from a draw callback: the loop ends on return
    else
      thread_.join();
  }
  std::lock_guard<std::mutex> lock(decodeMu_);
  audio_.reset();
}

bool Port::stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!playing_ && !thread_.joinable()) return open_;
  }
  stopThread();
  std::lock_guard<std::mutex> lock(mu_);
  if (file_) {
    source_->seek(0);
    cursor_ = 0;
  }
  return true;
}

bool Port::pause(bool on) {
  std::unique_lock<std::mutex> lock(mu_);
  if (!playing_) return false;
  paused_ = on;
  steps_ = 0;
  rebase_ = true;
  cv_.notify_all();
  // Once paused, the picture stays: a frame already on its way is shown before returning.
  // Decoding and drawing it is real work, not paced by the stream's clock: the bound is real time.
  if (on && thread_.get_id() != std::this_thread::get_id())
    cv_.wait_for(lock, std::chrono::milliseconds(kMaxFrameWaitMs), [&] { return !inFlight_; });
  return true;
}

bool Port::fast() {
  std::lock_guard<std::mutex> lock(mu_);
  if (!playing_ || speed_ >= kMaxSpeed) return false;
  ++speed_;
  rebase_ = true;
  return true;
}

bool Port::slow() {
  std::lock_guard<std::mutex> lock(mu_);
  if (!playing_ || speed_ <= -kMaxSpeed) return false;
  --speed_;
  rebase_ = true;
  return true;
}

bool Port::oneByOne() {
  std::lock_guard<std::mutex> lock(mu_);
  if (!playing_) return false;
  paused_ = true;
  ++steps_;
  cv_.notify_all();
  return true;
}

bool Port::oneByOneBack() {
  std::lock_guard<std::mutex> lock(mu_);
  if (!playing_ || !file_) return false;
  // cursor_ is the frame after the one shown: show the video frame before that one.
  const size_t shown = videoFrameBefore(cursor_);
  const size_t target = shown < cursor_ ? videoFrameBefore(shown) : shown;
  if (target >= shown) {
    seekToFrame(cursor_);  // nothing before it: the reading place goes back where it was
    return false;
  }
  paused_ = true;
  steps_ = 0;
  seekToFrame(target);
  ++steps_;
  cv_.notify_all();
  return true;
}

size_t Port::videoFrameBefore(size_t before) {
  uint64_t offset = 0, number = 0;
  source_->keyFrameBefore(before == 0 ? 0 : before - 1, offset, number);
  source_->seek(offset);
  size_t found = before;
  FrameRef f;
  std::vector<uint8_t> payload;
  for (; number < before && source_->next(f, payload); ++number)
    if (f.kind == kKindVideo) found = static_cast<size_t>(number);
  return found;
}

void Port::seekToFrame(size_t target) {
  // Frames from the key frame before the target are decoded without being shown, so the
  // target's picture is whole.
  uint64_t offset = 0, number = 0;
  source_->keyFrameBefore(target, offset, number);
  source_->seek(offset);
  std::lock_guard<std::mutex> dl(decodeMu_);
  Picture pic;
  FrameRef f;
  std::vector<uint8_t> payload;
  for (; number < target; ++number) {
    if (!source_->next(f, payload)) break;
    if (f.kind == kKindVideo) decoder_.decode(f.codec, payload.data(), f.length, pic);
  }
  cursor_ = static_cast<size_t>(number);
  rebase_ = true;
}

bool Port::setPlayPos(float position) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!file_ || !(position >= 0.0f) || position > 1.0f) return false;
  const uint64_t frames = source_->frames();
  const size_t target = static_cast<size_t>(
      std::min<uint64_t>(frames - 1, static_cast<uint64_t>(position * static_cast<double>(frames))));
  seekToFrame(target);
  return true;
}

bool Port::getPlayPos(float* position) {
  if (!position) return false;
  std::lock_guard<std::mutex> lock(mu_);
  if (!open_) return false;
  if (file_)
    *position = static_cast<float>(static_cast<double>(cursor_) / static_cast<double>(source_->frames()));
  else if (streamLength_ > 0)
    *position = static_cast<float>(std::min(1.0, static_cast<double>(streamPlayed_) / static_cast<double>(streamLength_)));
  else
    *position = 0.0f;
  return true;
}

void Port::setSound(bool on) {
  std::lock_guard<std::mutex> lock(mu_);
  sound_ = on;
}

bool Port::setVolume(uint16_t volume) {
  std::lock_guard<std::mutex> lock(mu_);
  volume_ = volume;
  std::lock_guard<std::mutex> dl(decodeMu_);
  if (audio_) audio_->setVolume(static_cast<uint32_t>(volume) | static_cast<uint32_t>(volume) << 16);
  return true;
}

void Port::setDrawFun(SPlayDrawFun fun, void* user) {
  std::unique_lock<std::mutex> lock(mu_);
  drawFun_ = fun;
  drawUser_ = user;
  // A call of the old routine in progress ends first, so its user data may go once this
  // returns; asked from that routine itself, nothing waits.
  drawCalls_.waitIdle(lock);
}

uint64_t Port::picturesShown() const {
  std::lock_guard<std::mutex> lock(decodeMu_);
  return shown_;
}

bool Port::capture(uint8_t* buffer, uint32_t* width, uint32_t* height) {
  if (!buffer || !width || !height) return false;
  std::lock_guard<std::mutex> lock(decodeMu_);
  if (last_.empty()) return false;
  // Pictures larger than the capture buffer are scaled down to fit it.
  const double scale = std::min({1.0, double(kMaxCaptureWidth) / last_.width,
                                 double(kMaxCaptureHeight) / last_.height});
  const uint32_t w = std::max(1u, static_cast<uint32_t>(last_.width * scale));
  const uint32_t h = std::max(1u, static_cast<uint32_t>(last_.height * scale));
  for (uint32_t r = 0; r < h; ++r) {
    const int sr = static_cast<int>(r * last_.height / h);
    for (uint32_t c = 0; c < w; ++c) {
      const int sc = static_cast<int>(c * last_.width / w);
      uint8_t R, G, B;
      yuvToRgb(last_.y(sc, sr), last_.u(sc, sr), last_.v(sc, sr), R, G, B);
      uint8_t* px = buffer + (static_cast<size_t>(r) * w + c) * 3;
      px[0] = B;
      px[1] = G;
      px[2] = R;
    }
  }
  *width = w;
  *height = h;
  return true;
}

bool Port::takeFrame(Work& w) {
  if (file_) {
    if (!source_->next(w.frame, w.payload)) return false;
    ++cursor_;
    return true;
  }
  if (held_) {
    w = std::move(*held_);
    held_.reset();
    return true;
  }
  for (;;) {
    size_t pos = readPos_;
    const ParseResult r = parseNext(data_.data(), data_.size(), pos, &info_, &w.frame);
    if (r == ParseResult::NeedMore) return false;
    streamPlayed_ += pos - readPos_;
    readPos_ = pos;
    if (r != ParseResult::Frame) continue;
    w.payload.assign(data_.begin() + static_cast<std::ptrdiff_t>(w.frame.offset),
                     data_.begin() + static_cast<std::ptrdiff_t>(w.frame.offset + w.frame.length));
    return true;
  }
}

void Port::pace(uint32_t timestamp, std::unique_lock<std::mutex>& lock) {
  if (mode_ != SPLAY_STREAME_FILE || paused_) return;
  const int64_t now = plat::monotonicMs();
  if (rebase_ || timestamp < baseStamp_) {
    rebase_ = false;
    baseWall_ = now;
    baseStamp_ = timestamp;
    return;
  }
  const double factor = std::ldexp(1.0, speed_);
  const int64_t dueMs = static_cast<int64_t>((timestamp - baseStamp_) / factor);
  const int64_t waitMs = static_cast<int64_t>(dueMs * plat::timeScale()) - (now - baseWall_);
  if (waitMs <= 0) return;
  const int64_t bounded = std::min<int64_t>(waitMs, plat::scaled(kMaxFrameWaitMs));
  cv_.wait_for(lock, std::chrono::milliseconds(bounded), [&] { return stopFlag_ || rebase_; });
}

void Port::run(uint64_t generation) {
  std::unique_ptr<Renderer> renderer;
  std::unique_lock<std::mutex> lock(mu_);
  // A thread stopped from its own draw callback may find a newer one started meanwhile.
  while (!stopFlag_ && generation == generation_) {
    Work w;
    const bool canAdvance = playing_ && (!paused_ || steps_ > 0);
    if (!canAdvance || !takeFrame(w)) {
      cv_.wait_for(lock, plat::scaledDuration(kIdleWaitMs));
      continue;
    }
    if (w.frame.kind == kKindVideo) {
      const size_t taken = cursor_;
      pace(w.frame.timestamp, lock);
      if (stopFlag_ || generation != generation_) break;
      if (file_ && cursor_ != taken) continue;  // a seek meanwhile: the frame is not next
      if (paused_ && steps_ == 0) {
        // Paused while waiting for the frame's time: the picture stays, the frame is next.
        if (file_) {
          source_->seek(w.frame.offset - kFrameHeaderSize);
          cursor_ = taken - 1;
        } else {
          held_ = std::make_unique<Work>(std::move(w));
        }
        continue;
      }
      if (paused_) --steps_;
      const intptr_t window = window_;
      SPlayDrawFun draw = drawFun_;
      void* drawUser = drawUser_;
      if (draw) drawCalls_.enter();
      inFlight_ = true;
      lock.unlock();
      show(w);
      bool converted = false;
      if (window) {
        std::lock_guard<std::mutex> dl(decodeMu_);
        if (!renderer || renderer->window() != window) renderer = std::make_unique<Renderer>(window);
        // A draw routine draws in picture pixels: its port shows the picture at its own size.
        converted = !last_.empty() && renderer->convert(last_, draw != nullptr);
      }
      // The callback draws into the picture before it is shown (outside the decode lock, so
      // it may capture or stop its own port); without a window it is told with no context.
      if (converted && draw)
        renderer->paint([&](plat::PaintContext& dc) { draw(id_, dc.dc(), drawUser); });
      else if (draw)
        draw(id_, 0, drawUser);
      if (converted) renderer->present();
      lock.lock();
      if (draw) drawCalls_.leave();
      if (generation != generation_) break;  // the frame in flight is the new thread's
      inFlight_ = false;
      cv_.notify_all();
    } else if (w.frame.kind == kKindAudio) {
      const bool sound = sound_;
      lock.unlock();
      if (sound) playAudio(w);
      lock.lock();
    }
  }
}

void Port::show(const Work& w) {
  std::lock_guard<std::mutex> dl(decodeMu_);
  Picture pic;
  if (decoder_.decode(w.frame.codec, w.payload.data(), w.frame.length, pic)) {
    last_ = std::move(pic);
    ++shown_;
  }
}

void Port::playAudio(const Work& w) {
  const std::vector<int16_t> pcm = decodeAudio(w.frame.codec, w.payload.data(), w.payload.size());
  if (pcm.empty()) return;
  std::lock_guard<std::mutex> dl(decodeMu_);
  if (!audio_) {
    plat::AudioFormat f;
    f.channels = 1;
    f.bitsPerSample = 16;
    f.samplesPerSecond = kAudioRate;
    audio_ = plat::AudioOutput::open(f);
    if (!audio_) return;
    const uint32_t v = volume_.load();
    audio_->setVolume(v | v << 16);
  }
  audio_->write(pcm.data(), pcm.size() * sizeof(int16_t));
}

}  // namespace streamplay
