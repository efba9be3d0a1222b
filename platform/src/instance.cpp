#include "plat/instance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace plat {

// A lock file in the runtime folder, held with flock: the kernel drops it when the process
// ends, however it ends, so a crash never leaves the program locked out.
SingleInstanceLock::SingleInstanceLock(const std::string& name) {
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  std::string base = dir && *dir ? dir : "/tmp";
  std::string user = std::to_string(getuid());
  path_ = base + "/" + name + "." + user + ".lock";
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    heldElsewhere_ = errno == EWOULDBLOCK;
    ::close(fd_);
    fd_ = -1;
  }
}

SingleInstanceLock::~SingleInstanceLock() {
  if (fd_ >= 0) {
    flock(fd_, LOCK_UN);
    ::close(fd_);
  }
}

}  // namespace plat
