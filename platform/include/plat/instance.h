#pragma once
// The single-instance lock (in place of a named mutex): held while the object lives.
#include <string>

namespace plat {

class SingleInstanceLock {
 public:
  explicit SingleInstanceLock(const std::string& name);  // e.g. "TarnwickInstance"
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
  // False when another process (or another lock object) already holds the name, and when
  // the lock file could not be made at all.
  bool acquired() const { return fd_ >= 0; }
  // True only when another holder has the name (not when the lock file could not be made).
  bool heldElsewhere() const { return heldElsewhere_; }

 private:
  int fd_ = -1;
  bool heldElsewhere_ = false;
  std::string path_;
};

}  // namespace plat
