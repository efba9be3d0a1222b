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

// A folder of the user's own, made 0700 when missing; empty when what lies there is anything
// else (another user's folder made first, a link), which is never used.
std::string OwnFolder(const std::string& dir) {
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st{};
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
    PLAT_LOGW("instance", "%s is not this user's own folder; not used for the single-instance lock", dir.c_str());
    return {};
  }
  if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0) return {};
  return dir;
}

// The user's cache folder (XDG_CACHE_HOME, else ~/.cache), made when missing; empty without one.
std::string CacheFolder() {
  namespace fs = std::filesystem;
  fs::path base;
  if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
    base = cache;
  else if (const char* home = std::getenv("HOME"); home && *home == '/')
    base = fs::path(home) / ".cache";
  else
    return {};
  std::error_code ec;
  fs::create_directories(base, ec);
  return fs::is_directory(base, ec) ? base.string() : std::string();
}

std::string HostName() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0 || !*host) return "localhost";
  std::string name = host;
  for (char& c : name)
    if (c == '/') c = '_';
  return name;
}

}  // namespace

std::string instanceLockFolder() {
  if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir && PrivateFolder(dir)) return dir;
  // Without a runtime folder: a folder of the user's own in the user's cache folder, where no one
  // else can make it first. It is named for the machine, since a home may be shared by several.
  // Only without a usable home, one in the temporary folder, where anyone may take the name
  // first: then there is none.
  if (const std::string cache = CacheFolder(); !cache.empty()) {
    if (std::string dir = OwnFolder(cache + "/tarnwick-" + HostName()); !dir.empty()) return dir;
  }
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  return OwnFolder((base / ("tarnwick-" + std::to_string(::geteuid()))).string());
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
