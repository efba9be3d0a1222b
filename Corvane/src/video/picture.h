#pragma once
// A decoded picture as the renderers draw it: its three planes at their strides and its
// presentation time, shared by reference. Whoever made it keeps the planes unchanged for as
// long as a reference lives (a renderer keeps the last picture it drew for snapshots); the
// last reference to go hands the picture back to its maker.
#include <atomic>
#include <cstdint>
#include <utility>

#include "plat/picture_scale.h"

namespace corvane {

class Picture {
 public:
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  plat::I420Planes planes;
  uint32_t time = 0;  // presentation time in milliseconds

  int width() const { return planes.width; }
  int height() const { return planes.height; }

 protected:
  Picture() = default;
  virtual ~Picture() = default;
  // The last reference went: from now on the maker may reuse the picture.
  virtual void released() = 0;

 private:
  friend class PictureRef;
  std::atomic<int> refs_{0};
};

class PictureRef {
 public:
  PictureRef() = default;
  explicit PictureRef(Picture* p) : p_(p) { retain(); }
  PictureRef(const PictureRef& o) : p_(o.p_) { retain(); }
  PictureRef(PictureRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  PictureRef& operator=(PictureRef o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~PictureRef() { reset(); }

  void reset() {
    if (Picture* p = std::exchange(p_, nullptr))
      if (p->refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) p->released();
  }
  const Picture* get() const { return p_; }
  const Picture* operator->() const { return p_; }
  const Picture& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  void retain() {
    if (p_) p_->refs_.fetch_add(1, std::memory_order_relaxed);
  }
  Picture* p_ = nullptr;
};

}  // namespace corvane
