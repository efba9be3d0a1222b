#include "video/frame_pool.h"

#include <cstring>

#include "audio/le.h"

using namespace corvane::le;

namespace corvane {

bool FramePool::Ring::push(uint8_t* p) {
  if (size == slots.size()) return false;
  slots[(head + size) % slots.size()] = p;
  ++size;
  return true;
}

uint8_t* FramePool::Ring::pop() {
  if (size == 0) return nullptr;
  uint8_t* p = slots[head];
  head = (head + 1) % slots.size();
  --size;
  return p;
}

FramePool::FramePool(int count, size_t size) : size_(size) {
  if (count < 0) count = 0;
  storage_.reserve(count);
  free_.slots.assign(count, nullptr);
  ready_.slots.assign(count, nullptr);
  for (int i = 0; i < count; ++i) {
    storage_.emplace_back(new uint8_t[size]());
    free_.push(storage_.back().get());
  }
}

bool FramePool::owns(const uint8_t* p) const {
  for (const auto& b : storage_)
    if (b.get() == p) return true;
  return false;
}

uint8_t* FramePool::takeFree() {
  std::lock_guard<std::mutex> lk(mutex_);
  return free_.pop();
}

// A buffer that is not the pool's own is refused rather than stored: a ring can never hold
// more than the buffers the pool made.
void FramePool::giveFree(uint8_t* buffer) {
  if (!buffer || !owns(buffer)) return;
  std::lock_guard<std::mutex> lk(mutex_);
  free_.push(buffer);
}

void FramePool::putReady(uint8_t* buffer) {
  if (!buffer || !owns(buffer)) return;
  std::lock_guard<std::mutex> lk(mutex_);
  ready_.push(buffer);
}

uint8_t* FramePool::takeReady() {
  std::lock_guard<std::mutex> lk(mutex_);
  return ready_.pop();
}

int FramePool::readyCount() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return static_cast<int>(ready_.size);
}

int FramePool::freeCount() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return static_cast<int>(free_.size);
}

void MediaHeader::write(uint8_t* b) const {
  std::memset(b, 0, kMediaHeaderSize);
  putU32(b + 0, stamp);
  putU32(b + 4, length);
  putU16(b + 8, width);
  putU16(b + 10, height);
  putU16(b + 12, codec);
  putU16(b + 14, keyFrame);
  putU32(b + 16, seconds);
  putU32(b + 20, microseconds);
}

MediaHeader MediaHeader::read(const uint8_t* b) {
  MediaHeader h;
  h.stamp = u32(b + 0);
  h.length = u32(b + 4);
  h.width = u16(b + 8);
  h.height = u16(b + 10);
  h.codec = u16(b + 12);
  h.keyFrame = u16(b + 14);
  h.seconds = u32(b + 16);
  h.microseconds = u32(b + 20);
  return h;
}

void PictureHeader::write(uint8_t* b) const {
  putU32(b + 0, time);
  putU16(b + 4, width);
  putU16(b + 6, height);
}

PictureHeader PictureHeader::read(const uint8_t* b) {
  PictureHeader h;
  h.time = u32(b + 0);
  h.width = u16(b + 4);
  h.height = u16(b + 6);
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
