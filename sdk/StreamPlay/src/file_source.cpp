#include "file_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace streamplay {

namespace {
constexpr size_t kReadChunk = 256u << 10;
constexpr size_t kMaxMarks = 8192;
}  // namespace

std::unique_ptr<FileSource> FileSource::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  std::unique_ptr<FileSource> s(new FileSource(fd));
  uint64_t keyFrames = 0;
  FrameRef f;
  std::vector<uint8_t> payload;
  while (s->next(f, payload)) {
    if (f.kind == kKindVideo && (f.flags & kFlagKey)) {
      if (keyFrames++ % s->markEvery_ == 0) {
        s->marks_.push_back({f.offset - kFrameHeaderSize, s->frames_});
        if (s->marks_.size() > kMaxMarks) {
          // Every other mark goes, and from now on every other key frame is skipped.
          size_t kept = 0;
          for (size_t i = 0; i < s->marks_.size(); i += 2) s->marks_[kept++] = s->marks_[i];
          s->marks_.resize(kept);
          s->markEvery_ *= 2;
        }
      }
    }
    ++s->frames_;
  }
  if (s->frames_ == 0) return nullptr;  // not a recording of ours
  s->seek(0);
  return s;
}

FileSource::~FileSource() { ::close(fd_); }

void FileSource::seek(uint64_t offset) {
  buf_.clear();
  bufStart_ = offset;
  pos_ = 0;
  eof_ = false;
}

bool FileSource::fill() {
  if (eof_) return false;
  // What was used goes; the window keeps at most one frame and a read's worth.
  buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(pos_));
  bufStart_ += pos_;
  pos_ = 0;
  const size_t had = buf_.size();
  buf_.resize(had + kReadChunk);
  ssize_t n;
  do {
    n = ::pread(fd_, buf_.data() + had, kReadChunk, static_cast<off_t>(bufStart_ + had));
  } while (n < 0 && errno == EINTR);
  buf_.resize(had + static_cast<size_t>(std::max<ssize_t>(n, 0)));
  if (n <= 0) eof_ = true;
  return n > 0;
}

bool FileSource::next(FrameRef& frame, std::vector<uint8_t>& payload) {
  for (;;) {
    size_t p = pos_;
    const ParseResult r = parseNext(buf_.data(), buf_.size(), p, &info_, &frame);
    if (r == ParseResult::NeedMore) {
      if (!fill()) return false;
      continue;
    }
    pos_ = p;
    if (r != ParseResult::Frame) continue;
    payload.assign(buf_.begin() + static_cast<std::ptrdiff_t>(frame.offset),
                   buf_.begin() + static_cast<std::ptrdiff_t>(frame.offset + frame.length));
    frame.offset += bufStart_;
    return true;
  }
}

void FileSource::keyFrameBefore(uint64_t number, uint64_t& offset, uint64_t& frame) const {
  auto it = std::upper_bound(marks_.begin(), marks_.end(), number,
                             [](uint64_t n, const Mark& m) { return n < m.frame; });
  if (it == marks_.begin()) {
    offset = 0;
    frame = 0;
    return;
  }
  --it;
  offset = it->offset;
  frame = it->frame;
}

}  // namespace streamplay
