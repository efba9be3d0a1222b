#include "video/frame_pool.h"

#include <algorithm>
#include <cstring>

#include "plat/aligned_bytes.h"
#include "plat/bytes.h"
#include "plat/clock.h"

namespace corvane {

bool FramePool::Ring::push(uint8_t* p) {
  if (size == cells.size()) return false;
  cells[(head + size) % cells.size()] = p;
  ++size;
  return true;
}

uint8_t* FramePool::Ring::pop() {
  if (size == 0) return nullptr;
  uint8_t* p = cells[head];
  head = (head + 1) % cells.size();
  --size;
  return p;
}

namespace {
// Zero-filled, like every pool buffer.
uint8_t* lineAligned(size_t bytes) {
  void* p = plat::allocatePictureBytes(bytes);
  if (!p) throw std::bad_alloc();
  std::memset(p, 0, bytes);
  return static_cast<uint8_t*>(p);
}
}  // namespace

void FramePool::LineFree::operator()(uint8_t* p) const noexcept { plat::freePictureBytes(p); }

FramePool::FramePool(int count, size_t size, size_t limit)
    : count_(count < 0 ? 0 : count), size_(size), limit_(limit < size ? size : limit) {
  slots_.reserve(count_);
  free_.cells.assign(count_, nullptr);
  ready_.cells.assign(count_, nullptr);
}

FramePool::Slot* FramePool::slotOf(const uint8_t* p) {
  for (Slot& s : slots_)
    if (s.memory.get() == p) return &s;
  return nullptr;
}

const FramePool::Slot* FramePool::slotOf(const uint8_t* p) const {
  return const_cast<FramePool*>(this)->slotOf(p);
}

uint8_t* FramePool::takeFreeLocked() {
  if (uint8_t* p = free_.pop()) return p;
  if (static_cast<int>(slots_.size()) >= count_) return nullptr;
  // Committed when first needed; a stream that keeps up never makes most of its buffers.
  slots_.push_back(Slot{std::unique_ptr<uint8_t[], LineFree>(lineAligned(size_)), size_});
  return slots_.back().memory.get();
}

uint8_t* FramePool::takeFree() {
  std::lock_guard<std::mutex> lk(mutex_);
  return takeFreeLocked();
}

// A buffer that is not the pool's own is refused rather than stored: a ring can never hold
// more than the buffers the pool made.
void FramePool::giveFree(uint8_t* buffer) {
  if (!buffer) return;
  {
    std::lock_guard<std::mutex> lk(mutex_);
    if (!slotOf(buffer)) return;
    free_.push(buffer);
  }
  freeCv_.notify_one();
}

void FramePool::putReady(uint8_t* buffer) {
  if (!buffer) return;
  {
    std::lock_guard<std::mutex> lk(mutex_);
    if (!slotOf(buffer)) return;
    ready_.push(buffer);
  }
  readyCv_.notify_one();
}

uint8_t* FramePool::takeReady() {
  std::lock_guard<std::mutex> lk(mutex_);
  return ready_.pop();
}

uint8_t* FramePool::takeFreeWait(int productMs) {
  std::unique_lock<std::mutex> lk(mutex_);
  uint8_t* p = nullptr;
  freeCv_.wait_for(lk, plat::scaledDuration(productMs),
                   [&] { return cancelled_ || (p = takeFreeLocked()) != nullptr; });
  return p;
}

uint8_t* FramePool::takeReadyWait(int productMs) {
  return takeReadyUntil(std::chrono::steady_clock::now() + plat::scaledDuration(productMs));
}

uint8_t* FramePool::takeReadyUntil(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> lk(mutex_);
  uint8_t* p = nullptr;
  readyCv_.wait_until(lk, deadline, [&] { return cancelled_ || (p = ready_.pop()) != nullptr; });
  return p;
}

void FramePool::cancelWaits() {
  {
    std::lock_guard<std::mutex> lk(mutex_);
    cancelled_ = true;
  }
  freeCv_.notify_all();
  readyCv_.notify_all();
}

void FramePool::resumeWaits() {
  std::lock_guard<std::mutex> lk(mutex_);
  cancelled_ = false;
}

uint8_t* FramePool::grow(uint8_t* buffer, size_t bytes) {
  std::lock_guard<std::mutex> lk(mutex_);
  Slot* s = slotOf(buffer);
  if (!s) return nullptr;
  if (bytes <= s->size) return buffer;
  if (bytes > limit_) return nullptr;
  // Grown in steps, so a stream whose frames creep up does not reallocate every time.
  const size_t size = std::min(limit_, std::max(bytes, s->size + s->size / 2));
  s->memory.reset(lineAligned(size));
  s->size = size;
  return s->memory.get();
}

size_t FramePool::capacity(const uint8_t* buffer) const {
  std::lock_guard<std::mutex> lk(mutex_);
  const Slot* s = slotOf(buffer);
  return s ? s->size : 0;
}

int FramePool::readyCount() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return static_cast<int>(ready_.size);
}

int FramePool::freeCount() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return static_cast<int>(free_.size) + count_ - static_cast<int>(slots_.size());
}

int FramePool::madeCount() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return static_cast<int>(slots_.size());
}

size_t FramePool::committedBytes() const {
  std::lock_guard<std::mutex> lk(mutex_);
  size_t n = 0;
  for (const Slot& s : slots_) n += s.size;
  return n;
}

void MediaHeader::write(uint8_t* b) const {
  std::memset(b, 0, kMediaHeaderSize);
  plat::putLe32(b + 0, stamp);
  plat::putLe32(b + 4, length);
  plat::putLe16(b + 8, width);
  plat::putLe16(b + 10, height);
  plat::putLe16(b + 12, codec);
  plat::putLe16(b + 14, keyFrame);
  plat::putLe32(b + 16, seconds);
  plat::putLe32(b + 20, microseconds);
}

MediaHeader MediaHeader::read(const uint8_t* b) {
  MediaHeader h;
  h.stamp = plat::getLe32(b + 0);
  h.length = plat::getLe32(b + 4);
  h.width = plat::getLe16(b + 8);
  h.height = plat::getLe16(b + 10);
  h.codec = plat::getLe16(b + 12);
  h.keyFrame = plat::getLe16(b + 14);
  h.seconds = plat::getLe32(b + 16);
  h.microseconds = plat::getLe32(b + 20);
  return h;
}

void PictureHeader::write(uint8_t* b) const {
  plat::putLe32(b + 0, time);
  plat::putLe16(b + 4, width);
  plat::putLe16(b + 6, height);
}

PictureHeader PictureHeader::read(const uint8_t* b) {
  PictureHeader h;
  h.time = plat::getLe32(b + 0);
  h.width = plat::getLe16(b + 4);
  h.height = plat::getLe16(b + 6);
  return h;
}

size_t PictureHeader::uOffset(int width, int height) {
  return kPictureHeaderSize + static_cast<size_t>(width) * height;
}

size_t PictureHeader::vOffset(int width, int height) {
  return uOffset(width, height) + static_cast<size_t>(width / 2) * (height / 2);
}

size_t PictureHeader::bytesFor(int width, int height) {
  return vOffset(width, height) + static_cast<size_t>(width / 2) * (height / 2);
}

}  // namespace corvane
