#include "video/picture_pool.h"

#include <algorithm>
#include <new>

#include "video/frame_pool.h"

namespace corvane {

namespace {
// Each slot's copy starts on a cache line (the plane copy streams whole lines).
constexpr size_t kSlotStride =
    (kPictureBufferSize + plat::kCacheLine - 1) / plat::kCacheLine * plat::kCacheLine;
}  // namespace

struct PicturePoolState {
  explicit PicturePoolState(int count) : bytes(kSlotStride * static_cast<size_t>(count)) {
    if (count > 0) {
      memory = static_cast<uint8_t*>(plat::allocateZeroedBytes(bytes));
      if (!memory) throw std::bad_alloc();
    }
    for (int i = 0; i < count; ++i) {
      slots.push_back(std::make_unique<PictureSlot>());
      slots.back()->memory_ = memory + kSlotStride * static_cast<size_t>(i);
      free.push_back(slots.back().get());
    }
    free.reserve(slots.size());
    ready.reserve(slots.size());
  }
  ~PicturePoolState() {
    slots.clear();  // their holds go back first
    plat::freeZeroedBytes(memory, bytes);
  }
  const size_t bytes;
  uint8_t* memory = nullptr;
  // Lists of at most the pool's count: reserved once, so they never allocate.
  std::vector<std::unique_ptr<PictureSlot>> slots;
  std::vector<PictureSlot*> free;   // taken from the front
  std::vector<PictureSlot*> ready;  // first in first out
  mutable std::mutex mutex;

  bool owns(const PictureSlot* s) const {
    return std::any_of(slots.begin(), slots.end(), [&](const auto& p) { return p.get() == s; });
  }
  void giveBack(PictureSlot* s) {
    std::lock_guard<std::mutex> lk(mutex);
    free.push_back(s);
  }
};

PictureSlot::~PictureSlot() { clear(); }

void PictureSlot::clear() {
  if (hold_ && release_) {
    DecoderHandleBlock none{};  // a hold names its picture alone
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
  uint8_t* base = memory_;
  if (!base) return nullptr;
  planes.y = base + kPictureHeaderSize;
  planes.u = base + DecodedPicture::uOffset(width, height);
  planes.v = base + DecodedPicture::vOffset(width, height);
  planes.yStride = width;
  planes.uStride = planes.vStride = width / 2;
  planes.width = width;
  planes.height = height;
  DecodedPicture{0, static_cast<uint16_t>(width), static_cast<uint16_t>(height)}.write(base);
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

PicturePool::~PicturePool() = default;

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

void PicturePool::giveFree(PictureSlot* slot) {
  if (!slot || !state_->owns(slot)) return;
  slot->clear();
  state_->giveBack(slot);
}

void PicturePool::putReady(PictureSlot* slot) {
  if (!slot || !state_->owns(slot)) return;
  std::lock_guard<std::mutex> lk(state_->mutex);
  state_->ready.push_back(slot);
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

int PicturePool::readyCount() const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  return static_cast<int>(state_->ready.size());
}

int PicturePool::freeCount() const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  return static_cast<int>(state_->free.size());
}

size_t PicturePool::committedBytes() const { return plat::residentBytes(state_->memory, state_->bytes); }

}  // namespace corvane
