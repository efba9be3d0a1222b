#include "localplay/FilePlayer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "localplay/BmpFile.h"
#include "plat/clock.h"

namespace hollin::localplay {

namespace {
constexpr double kMinRate = 1.0 / 16;
constexpr double kMaxRate = 16.0;
}  // namespace

FilePlayer::~FilePlayer() { Close(); }

bool FilePlayer::Open(const std::string& path, plat::WindowHandle window) {
  Close();
  auto file = MediaFile::Open(path);
  if (!file) return false;
  Picture first;
  if (!file->Next(first, false)) return false;
  {
    std::lock_guard<std::mutex> lock(media_);
    file_ = std::move(file);
    renderer_ = std::make_unique<PictureRenderer>(window);
    if (file_->Audio()) file_->Audio()->SetVolume(volume_);
    Show(std::move(first));
  }
  {
    std::lock_guard<std::mutex> lock(state_);
    open_ = true;
    quit_ = false;
    atEnd_ = false;
    playState_ = PlayState::Paused;
    rate_ = 1.0;
    ++generation_;
  }
  thread_ = std::thread([this] { Worker(); });
  return true;
}

void FilePlayer::Close() {
  {
    std::lock_guard<std::mutex> lock(state_);
    quit_ = true;
    open_ = false;
    playState_ = PlayState::Stopped;
    ++generation_;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(media_);
  file_.reset();
  renderer_.reset();
  current_ = Picture();
}

bool FilePlayer::IsOpen() const {
  std::lock_guard<std::mutex> lock(state_);
  return open_;
}

void FilePlayer::Show(Picture p) {
  if (renderer_) renderer_->Present(p);
  currentTime_ = p.time;
  current_ = std::move(p);
}

void FilePlayer::Reanchor() {
  anchorMs_ = plat::monotonicMs();
  anchorTime_ = currentTime_.load();
}

bool FilePlayer::Run() {
  std::lock_guard<std::mutex> lock(state_);
  if (!open_) return false;
  if (playState_ != PlayState::Running) {
    playState_ = PlayState::Running;
    ++generation_;
    Reanchor();
  }
  wake_.notify_all();
  return true;
}

bool FilePlayer::Pause() {
  std::lock_guard<std::mutex> lock(state_);
  if (!open_) return false;
  playState_ = PlayState::Paused;
  ++generation_;
  wake_.notify_all();
  return true;
}

bool FilePlayer::Stop() {
  {
    std::lock_guard<std::mutex> lock(state_);
    if (!open_) return false;
    playState_ = PlayState::Stopped;
    ++generation_;
  }
  // A stopped file shows its first picture again.
  std::lock_guard<std::mutex> lock(media_);
  Picture p;
  if (file_ && file_->SeekTo(0, p)) Show(std::move(p));
  std::lock_guard<std::mutex> s(state_);
  atEnd_ = false;
  return true;
}

PlayState FilePlayer::State() const {
  std::lock_guard<std::mutex> lock(state_);
  return playState_;
}

bool FilePlayer::SetRate(double rate) {
  // As a media graph's seeking does, a rate the player cannot follow is refused.
  if (!(rate >= kMinRate && rate <= kMaxRate)) return false;
  std::lock_guard<std::mutex> lock(state_);
  if (!open_) return false;
  rate_ = rate;
  ++generation_;
  Reanchor();
  wake_.notify_all();
  return true;
}

double FilePlayer::Rate() const {
  std::lock_guard<std::mutex> lock(state_);
  return rate_;
}

bool FilePlayer::Step() {
  {
    std::lock_guard<std::mutex> lock(state_);
    if (!open_) return false;
    playState_ = PlayState::Paused;
    ++generation_;
  }
  std::lock_guard<std::mutex> lock(media_);
  Picture p;
  if (!file_ || !file_->Next(p, false)) return false;
  Show(std::move(p));
  return true;
}

bool FilePlayer::StepBack() {
  double target;
  {
    std::lock_guard<std::mutex> lock(state_);
    if (!open_) return false;
    playState_ = PlayState::Paused;
    ++generation_;
  }
  std::lock_guard<std::mutex> lock(media_);
  if (!file_) return false;
  target = current_.time - file_->FrameInterval();
  if (target < -file_->FrameInterval() / 2) return false;  // already on the first picture
  Picture p;
  if (!file_->SeekTo(std::max(0.0, target), p)) return false;
  Show(std::move(p));
  std::lock_guard<std::mutex> s(state_);
  atEnd_ = false;
  return true;
}

bool FilePlayer::Seek(double seconds) {
  {
    std::lock_guard<std::mutex> lock(state_);
    if (!open_) return false;
    ++generation_;
  }
  {
    std::lock_guard<std::mutex> lock(media_);
    Picture p;
    if (!file_ || !file_->SeekTo(seconds, p)) return false;
    Show(std::move(p));
  }
  std::lock_guard<std::mutex> lock(state_);
  atEnd_ = false;
  Reanchor();
  wake_.notify_all();
  return true;
}

double FilePlayer::Position() const {
  std::lock_guard<std::mutex> lock(media_);
  return current_.valid() ? current_.time : 0;
}

bool FilePlayer::AtEnd() const {
  std::lock_guard<std::mutex> lock(state_);
  return atEnd_;
}

double FilePlayer::Duration() const {
  std::lock_guard<std::mutex> lock(media_);
  return file_ ? file_->Duration() : 0;
}

bool FilePlayer::Snapshot(const std::string& path) const {
  Picture copy;
  {
    std::lock_guard<std::mutex> lock(media_);
    copy = current_;
  }
  return WriteBmp(copy, path);
}

void FilePlayer::SetVolume(long centiDb) {
  std::lock_guard<std::mutex> lock(media_);
  volume_ = std::clamp(centiDb, kSilentVolume, 0L);
  if (file_ && file_->Audio()) file_->Audio()->SetVolume(volume_);
}

long FilePlayer::Volume() const {
  std::lock_guard<std::mutex> lock(media_);
  return volume_;
}

plat::AudioOutput* FilePlayer::AudioDevice() const {
  std::lock_guard<std::mutex> lock(media_);
  return file_ && file_->Audio() ? file_->Audio()->Output() : nullptr;
}

void FilePlayer::Worker() {
  for (;;) {
    uint64_t gen;
    double rate;
    {
      std::unique_lock<std::mutex> lock(state_);
      wake_.wait(lock, [&] { return quit_ || (playState_ == PlayState::Running && !atEnd_); });
      if (quit_) return;
      gen = generation_;
      rate = rate_;
    }
    Picture p;
    bool got;
    {
      std::lock_guard<std::mutex> lock(media_);
      // A seek that came first has placed the file anew: its next picture is not taken here
      // only to be dropped.
      if (!Current(gen)) continue;
      // Sound plays at the normal rate only.
      got = file_ && file_->Next(p, std::abs(rate - 1.0) < 1e-9);
    }
    std::unique_lock<std::mutex> lock(state_);
    if (!got) {
      if (gen == generation_) atEnd_ = true;
      continue;
    }
    // Pictures are due at their time from the anchor, at the rate; the wait follows the
    // clock's scale so tests play quickly.
    const double dueMs =
        static_cast<double>(anchorMs_) + (p.time - anchorTime_) / rate * 1000.0 * plat::timeScale();
    for (int guard = 0; guard < 100000; ++guard) {
      if (quit_ || gen != generation_) break;
      const int64_t left = static_cast<int64_t>(std::ceil(dueMs)) - plat::monotonicMs();
      if (left <= 0) break;
      wake_.wait_for(lock, std::chrono::milliseconds(std::min<int64_t>(left, 200)));
    }
    if (quit_) return;
    if (gen != generation_) continue;  // sought, paused or re-rated meanwhile: drop it
    lock.unlock();
    std::lock_guard<std::mutex> media(media_);
    // Checked again under the picture lock: a Stop, Seek or Step that ran between the check
    // above and here has shown its own picture, which a late one must not replace.
    if (Current(gen)) Show(std::move(p));
  }
}

bool FilePlayer::Current(uint64_t gen) const {
  std::lock_guard<std::mutex> lock(state_);
  return !quit_ && gen == generation_;
}

}  // namespace hollin::localplay
