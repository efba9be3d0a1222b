#include "plat/part_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>

namespace plat {

namespace {

constexpr int kTries = 64;
constexpr size_t kSuffixChars = 6;
constexpr size_t kNameMax = 255;  // bytes of one name in a folder
constexpr const char* kPartEnd = ".part";

// Six characters that differ between the parts of this process and of others.
std::string Suffix() {
  static const uint64_t seed = [] {
    std::random_device rd;
    return (uint64_t{rd()} << 32) ^ rd() ^ static_cast<uint64_t>(::getpid());
  }();
  static std::atomic<uint64_t> counter{0};
  // splitmix64 of seed and count: every call a different value.
  uint64_t z = seed + 0x9E3779B97F4A7C15ull * (counter.fetch_add(1) + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string s;
  for (size_t i = 0; i < kSuffixChars; ++i, z /= 36) s.push_back(kDigits[z % 36]);
  return s;
}

// The part's path for a target: a name too long for the folder once the suffix is added
// loses the end of the target's name.
std::string PartPath(const std::string& target) {
  const size_t slash = target.find_last_of('/');
  const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  const size_t added = 1 + kSuffixChars + std::char_traits<char>::length(kPartEnd);
  std::string base = target;
  if (target.size() - nameAt + added > kNameMax) base.resize(nameAt + kNameMax - added);
  return base + "." + Suffix() + kPartEnd;
}

// The rename itself reaches the disk: without it a power loss may bring back the folder's
// entry as it was. A file system that cannot sync a folder keeps its entries in order anyway.
void SyncFolderOf(const std::string& target) {
  const size_t slash = target.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool writeAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

PartFile::~PartFile() { discard(); }

PartFile::PartFile(PartFile&& other) noexcept
    : path_(std::move(other.path_)), target_(std::move(other.target_)), fd_(other.fd_) {
  other.release();
}

PartFile& PartFile::operator=(PartFile&& other) noexcept {
  if (this != &other) {
    discard();
    path_ = std::move(other.path_);
    target_ = std::move(other.target_);
    fd_ = other.fd_;
    other.release();
  }
  return *this;
}

void PartFile::release() {
  path_.clear();
  target_.clear();
  fd_ = -1;
}

bool PartFile::create(const std::string& target) {
  discard();
  if (target.empty() || target.back() == '/') {
    errno = EISDIR;
    return false;
  }
  // Only a plain file (or a link) is ever replaced: a device, a pipe or a folder standing at
  // the target stays what it is.
  struct stat st{};
  if (::lstat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  for (int i = 0; i < kTries; ++i) {
    const std::string path = PartPath(target);
    // Made new here: never a file (or a link) someone else put there.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      path_ = path;
      target_ = target;
      fd_ = fd;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool PartFile::write(const void* data, size_t size) {
  if (!active()) {
    errno = EBADF;
    return false;
  }
  return writeAll(fd_, data, size);
}

bool PartFile::commit() {
  if (!active()) {
    errno = ENOENT;
    return false;
  }
  bool ok = ::fsync(fd_) == 0;
  int error = errno;
  if (::close(fd_) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && std::rename(path_.c_str(), target_.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (ok) SyncFolderOf(target_);
  else ::unlink(path_.c_str());
  release();
  errno = ok ? 0 : error;
  return ok;
}

void PartFile::discard() {
  if (!active()) return;
  const int saved = errno;
  ::close(fd_);
  ::unlink(path_.c_str());
  errno = saved;
  release();
}

}  // namespace plat
