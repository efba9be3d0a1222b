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
  // False when another process (or another lock object) already holds the name.
  bool acquired() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace plat
