#include "video/picture_pool.h"

#include <algorithm>

#include "plat/clock.h"
#include "video/frame_pool.h"

namespace corvane {

struct PicturePoolState {
  explicit PicturePoolState(int count) {
    for (int i = 0; i < count; ++i) {
      slots.push_back(std::make_unique<PictureSlot>());
      free.push_back(slots.back().get());
    }
    ready.reserve(slots.size());
  }
  // Lists of at most the pool's count: reserved once, so they never allocate.
  std::vector<std::unique_ptr<PictureSlot>> slots;
  std::vector<PictureSlot*> free;   // taken from the front
  std::vector<PictureSlot*> ready;  // first in first out
  mutable std::mutex mutex;
  std::condition_variable freeCv, readyCv;
  bool cancelled = false;

  bool owns(const PictureSlot* s) const {
    return std::any_of(slots.begin(), slots.end(), [&](const auto& p) { return p.get() == s; });
  }
  void giveBack(PictureSlot* s) {
    {
      std::lock_guard<std::mutex> lk(mutex);
      free.push_back(s);
    }
    freeCv.notify_one();
  }
};

PictureSlot::~PictureSlot() { clear(); }

void PictureSlot::clear() {
  if (hold_ && release_) {
    CTDecHandleBlock none{};  // a hold names its picture alone
    release_(CTDEC_RELEASE, &none, &hold_);
  }
  hold_ = 0;
  release_ = nullptr;
  planes = {};
  time = 0;
}

void PictureSlot::keepHeld(CTDecEntry release, intptr_t hold, const plat::I420Planes& p) {
  clear();
  release_ = release;
  hold_ = hold;
  planes = p;
}

uint8_t* PictureSlot::copyInto(int width, int height) {
  clear();
  if (width <= 0 || height <= 0 || width > kPictureMaxWidth || height > kPictureMaxHeight) return nullptr;
  const size_t bytes = PictureHeader::bytesFor(width, height);
  if (memory_.size() < bytes) {
    memory_.resize(bytes);
    committed_.store(memory_.capacity(), std::memory_order_relaxed);
  }
  uint8_t* base = memory_.data();
  planes.y = base + kPictureHeaderSize;
  planes.u = base + PictureHeader::uOffset(width, height);
  planes.v = base + PictureHeader::vOffset(width, height);
  planes.yStride = width;
  planes.uStride = planes.vStride = width / 2;
  planes.width = width;
  planes.height = height;
  PictureHeader{0, static_cast<uint16_t>(width), static_cast<uint16_t>(height)}.write(base);
  return base;
}

void PictureSlot::released() {
  // Keeps the pool, and with it this slot, alive until the slot is back on its list.
  std::shared_ptr<PicturePoolState> home = std::move(home_);
  clear();
  if (home) home->giveBack(this);
}

PicturePool::PicturePool(int count)
    : count_(std::max(count, 0)), state_(std::make_shared<PicturePoolState>(count_)) {}

PicturePool::~PicturePool() { cancelWaits(); }

PictureSlot* PicturePool::takeFree() {
  PictureSlot* s = nullptr;
  {
    std::lock_guard<std::mutex> lk(state_->mutex);
    if (state_->free.empty()) return nullptr;
    s = state_->free.front();
    state_->free.erase(state_->free.begin());
  }
  s->clear();
  return s;
}

PictureSlot* PicturePool::takeFreeWait(int productMs) {
  if (PictureSlot* s = takeFree()) return s;
  {
    std::unique_lock<std::mutex> lk(state_->mutex);
    state_->freeCv.wait_for(lk, plat::scaledDuration(productMs),
                            [&] { return state_->cancelled || !state_->free.empty(); });
  }
  return takeFree();
}

void PicturePool::giveFree(PictureSlot* slot) {
  if (!slot || !state_->owns(slot)) return;
  slot->clear();
  state_->giveBack(slot);
}

void PicturePool::putReady(PictureSlot* slot) {
  if (!slot || !state_->owns(slot)) return;
  {
    std::lock_guard<std::mutex> lk(state_->mutex);
    state_->ready.push_back(slot);
  }
  state_->readyCv.notify_one();
}

PictureRef PicturePool::share(PictureSlot* slot) {
  if (!slot || !state_->owns(slot)) return {};
  slot->home_ = state_;
  return PictureRef(slot);
}

PictureRef PicturePool::takeReady() {
  PictureSlot* s = nullptr;
  {
    std::lock_guard<std::mutex> lk(state_->mutex);
    if (state_->ready.empty()) return {};
    s = state_->ready.front();
    state_->ready.erase(state_->ready.begin());
  }
  return share(s);
}

PictureRef PicturePool::takeReadyUntil(std::chrono::steady_clock::time_point deadline) {
  {
    std::unique_lock<std::mutex> lk(state_->mutex);
    state_->readyCv.wait_until(lk, deadline, [&] { return state_->cancelled || !state_->ready.empty(); });
  }
  return takeReady();
}

PictureRef PicturePool::takeReadyWait(int productMs) {
  return takeReadyUntil(std::chrono::steady_clock::now() + plat::scaledDuration(productMs));
}

void PicturePool::cancelWaits() {
  {
    std::lock_guard<std::mutex> lk(state_->mutex);
    state_->cancelled = true;
  }
  state_->freeCv.notify_all();
  state_->readyCv.notify_all();
}

void PicturePool::resumeWaits() {
  std::lock_guard<std::mutex> lk(state_->mutex);
  state_->cancelled = false;
}

int PicturePool::readyCount() const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  return static_cast<int>(state_->ready.size());
}

int PicturePool::freeCount() const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  return static_cast<int>(state_->free.size());
}

size_t PicturePool::committedBytes() const {
  size_t bytes = 0;
  for (const auto& s : state_->slots) bytes += s->committed_.load(std::memory_order_relaxed);
  return bytes;
}

}  // namespace corvane
