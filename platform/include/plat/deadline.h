#pragma once
// The moment by which a whole exchange with a device must have ended, however its bytes
// trickle in. Made once from a product duration (scaled when it is made) and handed to every
// wait of the exchange, each of which waits only what is left: a peer that sends one byte at
// a time cannot make the exchange last longer than its own time.
#include <chrono>
#include <cstdint>

#include "plat/clock.h"

namespace plat {

class Deadline {
 public:
  // productMs from now (scaled); a negative duration never passes.
  static Deadline after(int productMs) {
    return Deadline(productMs < 0 ? kNever : monotonicMs() + scaled(productMs));
  }
  static Deadline never() { return Deadline(kNever); }
  // productMs from a moment in the past (a plat::monotonicMs value), such as when a request
  // was sent.
  static Deadline after(int productMs, int64_t from) {
    return Deadline(productMs < 0 ? kNever : from + scaled(productMs));
  }

  bool passed() const { return at_ != kNever && monotonicMs() >= at_; }
  // Real milliseconds left: 0 once passed, -1 for a deadline that never passes.
  int leftMs() const {
    if (at_ == kNever) return -1;
    const int64_t left = at_ - monotonicMs();
    return left <= 0 ? 0 : left > 0x7fffffff ? 0x7fffffff : static_cast<int>(left);
  }
  // The monotonic time (plat::monotonicMs) it passes at; -1 for never.
  int64_t at() const { return at_; }
  // The same for the standard waits (wait_until, try_lock_until).
  std::chrono::steady_clock::time_point until() const {
    if (at_ == kNever) return std::chrono::steady_clock::time_point::max();
    return std::chrono::steady_clock::time_point(std::chrono::milliseconds(at_));
  }

 private:
  static constexpr int64_t kNever = -1;
  explicit Deadline(int64_t at) : at_(at) {}
  int64_t at_;
};

}  // namespace plat
