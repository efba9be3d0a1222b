#pragma once
// A small disk as the kernel sees it: while the object lives, the process may write files only
// up to `bytes`, and a write past that fails (EFBIG) instead of raising SIGXFSZ.
#include <signal.h>
#include <sys/resource.h>

namespace testsupport {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldSignal_ = signal(SIGXFSZ, SIG_IGN);
    rlimit l = old_;
    l.rlim_cur = bytes;
    ok_ = setrlimit(RLIMIT_FSIZE, &l) == 0;
  }
  ~FileSizeLimit() { Lift(); }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool ok() const { return ok_; }
  // Gives the room back before the object goes.
  void Lift() {
    if (lifted_) return;
    lifted_ = true;
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, oldSignal_);
  }

 private:
  rlimit old_{};
  sighandler_t oldSignal_ = SIG_DFL;
  bool ok_ = false;
  bool lifted_ = false;
};

}  // namespace testsupport
