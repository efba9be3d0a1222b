#include "video/frame_pool.h"

#include <cstring>
#include <new>

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

FramePool::FramePool(int count, size_t size) : count_(count < 0 ? 0 : count), size_(size) {
  // Each buffer starts on a cache line: pictures and frames written into them stream whole
  // lines (plat/aligned_bytes.h).
  stride_ = (size_ + plat::kCacheLine - 1) / plat::kCacheLine * plat::kCacheLine;
  bytes_ = stride_ * static_cast<size_t>(count_);
  free_.cells.assign(count_, nullptr);
  ready_.cells.assign(count_, nullptr);
  if (count_ == 0) return;
  memory_ = static_cast<uint8_t*>(plat::allocateZeroedBytes(bytes_));
  if (!memory_) throw std::bad_alloc();
  for (int i = 0; i < count_; ++i) free_.push(memory_ + stride_ * static_cast<size_t>(i));
}

FramePool::~FramePool() { plat::freeZeroedBytes(memory_, bytes_); }

bool FramePool::owns(const uint8_t* p) const {
  if (!memory_ || p < memory_ || p >= memory_ + bytes_) return false;
  return static_cast<size_t>(p - memory_) % stride_ == 0;
}

uint8_t* FramePool::takeFree() {
  std::lock_guard<std::mutex> lk(mutex_);
  return free_.pop();
}

// A buffer that is not the pool's own is refused rather than stored: a ring can never hold
// more than the pool's buffers.
void FramePool::giveFree(uint8_t* buffer) {
  if (!owns(buffer)) return;
  std::lock_guard<std::mutex> lk(mutex_);
  free_.push(buffer);
}

void FramePool::putReady(uint8_t* buffer) {
  if (!owns(buffer)) return;
  {
    std::lock_guard<std::mutex> lk(mutex_);
    ready_.push(buffer);
  }
  readyCv_.notify_one();
}

uint8_t* FramePool::takeReady() {
  std::lock_guard<std::mutex> lk(mutex_);
  return ready_.pop();
}

uint8_t* FramePool::takeReadyWait(int productMs) {
  std::unique_lock<std::mutex> lk(mutex_);
  uint8_t* p = nullptr;
  readyCv_.wait_for(lk, plat::scaledDuration(productMs),
                    [&] { return cancelled_ || (p = ready_.pop()) != nullptr; });
  return p;
}

void FramePool::cancelWaits() {
  {
    std::lock_guard<std::mutex> lk(mutex_);
    cancelled_ = true;
  }
  readyCv_.notify_all();
}

void FramePool::resumeWaits() {
  std::lock_guard<std::mutex> lk(mutex_);
  cancelled_ = false;
}

int FramePool::readyCount() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return static_cast<int>(ready_.size);
}

int FramePool::freeCount() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return static_cast<int>(free_.size);
}

size_t FramePool::committedBytes() const { return plat::residentBytes(memory_, bytes_); }

void MediaBuffer::write(uint8_t* b) const {
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

MediaBuffer MediaBuffer::read(const uint8_t* b) {
  MediaBuffer h;
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

void DecodedPicture::write(uint8_t* b) const {
  plat::putLe32(b + 0, time);
  plat::putLe16(b + 4, width);
  plat::putLe16(b + 6, height);
}

DecodedPicture DecodedPicture::read(const uint8_t* b) {
  DecodedPicture h;
  h.time = plat::getLe32(b + 0);
  h.width = plat::getLe16(b + 4);
  h.height = plat::getLe16(b + 6);
  return h;
}

size_t DecodedPicture::uOffset(int width, int height) {
  return kPictureHeaderSize + static_cast<size_t>(width) * height;
}

size_t DecodedPicture::vOffset(int width, int height) {
  return uOffset(width, height) + static_cast<size_t>(width / 2) * (height / 2);
}

size_t DecodedPicture::bytesFor(int width, int height) {
  return vOffset(width, height) + static_cast<size_t>(width / 2) * (height / 2);
}

}  // namespace corvane
