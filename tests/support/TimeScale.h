#pragma once
// The product's time scale for one scope: set on construction, the scale found then put back
// on destruction, so a failed assertion that leaves the scope early leaves no other test with
// shrunken time-outs.
#include "plat/clock.h"

namespace testsupport {

class ScopedTimeScale {
 public:
  explicit ScopedTimeScale(double scale) : before_(plat::timeScale()) { plat::setTimeScale(scale); }
  ~ScopedTimeScale() { plat::setTimeScale(before_); }
  ScopedTimeScale(const ScopedTimeScale&) = delete;
  ScopedTimeScale& operator=(const ScopedTimeScale&) = delete;

 private:
  const double before_;
};

}  // namespace testsupport
