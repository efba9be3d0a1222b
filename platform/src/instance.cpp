#include "plat/instance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

#include "plat/log.h"

namespace plat {

bool lockFolderIsPrivate(const struct stat& st, uid_t user) {
  return S_ISDIR(st.st_mode) && st.st_uid == user && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool lockFileCounts(const struct stat& st, uid_t user) { return S_ISREG(st.st_mode) && st.st_uid == user; }

namespace {

bool PrivateFolder(const std::string& dir) {
  struct stat st{};
  return ::lstat(dir.c_str(), &st) == 0 && lockFolderIsPrivate(st, ::geteuid());
}

// Opens the lock file, made anew when what lies there is not a file of this user's (another
// user's file, a link): such a file never decides whether this user's program runs.
int OpenLockFile(const std::string& path) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat st{};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && lockFileCounts(st, ::geteuid())) return fd;
    if (fd >= 0) ::close(fd);
    if (fd < 0 && errno != ELOOP && errno != EACCES && errno != EPERM && errno != EISDIR) return -1;
    PLAT_LOGW("instance", "%s is not this user's own; made anew", path.c_str());
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
  return -1;
}

}  // namespace

std::string instanceLockFolder() {
  if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir && PrivateFolder(dir)) return dir;
  // Without a runtime folder: one of the user's own, which no one else can make or fill.
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  const std::string dir = (base / ("tarnwick-" + std::to_string(::geteuid()))).string();
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st{};
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
    PLAT_LOGW("instance", "%s is not this user's own folder; no single-instance lock", dir.c_str());
    return {};
  }
  if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0) return {};
  return dir;
}

// A lock file held with flock: the kernel drops it when the process ends, however it ends,
// so a crash never leaves the program locked out.
SingleInstanceLock::SingleInstanceLock(const std::string& name) {
  const std::string dir = instanceLockFolder();
  if (dir.empty()) return;
  path_ = dir + "/" + name + "." + std::to_string(::geteuid()) + ".lock";
  fd_ = OpenLockFile(path_);
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
