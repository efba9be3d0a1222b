#pragma once
// Picture memory shared with whoever shows or paints it: a buffer is handed out read-only and
// comes back for reuse when its last holder lets go, so presents allocate nothing in the
// steady state and never write into memory that is still on screen.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "plat/aligned_bytes.h"

namespace plat {

class PictureMemory : public std::enable_shared_from_this<PictureMemory> {
 public:
  using Buffer = std::unique_ptr<AlignedBytes>;

  explicit PictureMemory(size_t keep) : keep_(keep) {}

  // A buffer of `bytes` that nobody holds: a returned one, else a new zero-filled one.
  Buffer take(size_t bytes) {
    {
      std::lock_guard<std::mutex> lk(mutex_);
      while (!free_.empty()) {
        Buffer b = std::move(free_.back());
        free_.pop_back();
        if (b->size() == bytes) return b;
      }
    }
    return std::make_unique<AlignedBytes>(bytes);
  }

  // Hands the buffer out; it comes back here when the last copy of the result is gone.
  std::shared_ptr<const void> share(Buffer buffer) {
    AlignedBytes* raw = buffer.release();
    std::weak_ptr<PictureMemory> home = weak_from_this();
    return std::shared_ptr<const void>(raw->data(), [raw, home](const void*) {
      Buffer b(raw);
      if (auto h = home.lock()) h->giveBack(std::move(b));
    });
  }

 private:
  void giveBack(Buffer b) {
    std::lock_guard<std::mutex> lk(mutex_);
    if (free_.size() < keep_) free_.push_back(std::move(b));
  }

  const size_t keep_;
  std::mutex mutex_;
  std::vector<Buffer> free_;
};

}  // namespace plat
