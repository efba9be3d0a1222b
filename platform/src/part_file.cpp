#include "plat/part_file.h"

#include <fcntl.h>
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

}  // namespace

PartFile::~PartFile() { discard(); }

PartFile::PartFile(PartFile&& other) noexcept
    : path_(std::move(other.path_)), target_(std::move(other.target_)) {
  other.path_.clear();
  other.target_.clear();
}

PartFile& PartFile::operator=(PartFile&& other) noexcept {
  if (this != &other) {
    discard();
    path_ = std::move(other.path_);
    target_ = std::move(other.target_);
    other.path_.clear();
    other.target_.clear();
  }
  return *this;
}

bool PartFile::create(const std::string& target) {
  discard();
  if (target.empty() || target.back() == '/') {
    errno = EISDIR;
    return false;
  }
  for (int i = 0; i < kTries; ++i) {
    const std::string path = PartPath(target);
    // Made new here: never a file (or a link) someone else put there.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      path_ = path;
      target_ = target;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool PartFile::commit() {
  if (!active()) {
    errno = ENOENT;
    return false;
  }
  const bool ok = std::rename(path_.c_str(), target_.c_str()) == 0;
  const int error = errno;
  if (!ok) ::unlink(path_.c_str());
  path_.clear();
  target_.clear();
  errno = ok ? 0 : error;
  return ok;
}

void PartFile::discard() {
  if (!active()) return;
  const int saved = errno;
  ::unlink(path_.c_str());
  errno = saved;
  path_.clear();
  target_.clear();
}

}  // namespace plat
