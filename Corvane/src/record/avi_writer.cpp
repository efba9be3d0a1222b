#include "record/avi_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "plat/bytes.h"

namespace corvane {
namespace {

// Header layout offsets.
constexpr uint32_t kVideoStrlEnd = 220;
constexpr uint32_t kAudioStrlEnd = 328;
constexpr uint32_t kJunkDataEnd = 2036;
constexpr uint32_t kMoviListSizeBase = 2044;

class Cursor {
 public:
  explicit Cursor(uint8_t* p) : p_(p) {}
  Cursor& tag(const char* t) { return bytes(t, 4); }
  Cursor& u32(uint32_t v) {
    plat::putLe32(p_ + off_, v);
    off_ += 4;
    return *this;
  }
  Cursor& u16(uint16_t v) {
    plat::putLe16(p_ + off_, v);
    off_ += 2;
    return *this;
  }
  Cursor& bytes(const void* d, size_t n) {
    std::memcpy(p_ + off_, d, n);
    off_ += n;
    return *this;
  }
  Cursor& zeros(size_t n) {
    std::memset(p_ + off_, 0, n);
    off_ += n;
    return *this;
  }
  size_t offset() const { return off_; }

 private:
  uint8_t* p_;
  size_t off_ = 0;
};

uint32_t clamp32(uint64_t v) { return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v); }

}  // namespace

std::unique_ptr<AviWriter> AviWriter::Open(const std::string& path, AviWriterOptions options,
                                           int* error) {
  int flags = O_RDWR | O_CREAT | O_CLOEXEC | (options.exclusive ? O_EXCL : O_TRUNC);
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) {
    if (error) *error = errno;
    return nullptr;
  }
  std::unique_ptr<AviWriter> w(new AviWriter(fd, std::move(options)));
  // A real header from the start (an empty movi list): a file cut short before its first
  // checkpoint is still an AVI file. What its stream is the header can say only once the
  // caller knows it (SetVideo, then Checkpoint).
  const std::vector<uint8_t> header = w->buildHeader(kAviHeaderSize, kAviHeaderSize, false);
  if (!w->writeAll(header.data(), header.size())) {
    if (error) *error = errno ? errno : EIO;
    ::close(fd);
    w->fd_ = -1;
    ::unlink(path.c_str());
    return nullptr;
  }
  return w;
}

AviWriter::AviWriter(int fd, AviWriterOptions options) : fd_(fd), options_(std::move(options)) {}

AviWriter::~AviWriter() {
  if (fd_ >= 0) ::close(fd_);
}

void AviWriter::SetVideo(uint16_t width, uint16_t height, double frameRate,
                         const char compressor[4]) {
  width_ = width;
  height_ = height;
  frameRate_ = frameRate;
  std::memcpy(compressor_, compressor, 4);
}

void AviWriter::SetAudio(uint16_t channels, uint32_t samplesPerSecond, uint16_t bitsPerSample,
                         uint16_t formatTag) {
  channels_ = channels;
  samplesPerSecond_ = samplesPerSecond;
  bitsPerSample_ = bitsPerSample;
  formatTag_ = formatTag;
}

bool AviWriter::writeAll(const void* data, size_t bytes) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (bytes > 0) {
    ssize_t n = options_.writeFn ? options_.writeFn(fd_, p, bytes) : ::write(fd_, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      diskError_ = errno;
      return false;
    }
    p += n;
    bytes -= static_cast<size_t>(n);
  }
  return true;
}

int AviWriter::WriteVideo(const void* data, uint32_t length, bool keyFrame) {
  if (writeChunk("00dc", data, length, keyFrame ? kAviIndexKeyFrame : 0) < 0) return -1;
  frames_++;
  return 0;
}

int AviWriter::WriteAudio(const void* data, uint32_t length) {
  if (writeChunk("01wb", data, length, 0) < 0) return -1;
  audioBytes_ += length;
  return 0;
}

int AviWriter::writeChunk(const char tag[4], const void* data, uint32_t length,
                          uint32_t indexFlags) {
  if (fd_ < 0 || (!data && length)) return -1;
  uint64_t needed = position_ + uint64_t{kAviIndexEntrySize} * (index_.size() + 1) + length + 32;
  if (needed > options_.maxFileBytes) return -1;
  if (index_.size() == index_.capacity()) {
    try {
      index_.reserve(index_.size() + kAviIndexGrowth);
    } catch (const std::bad_alloc&) {
      return -1;
    }
  }
  uint8_t head[8];
  std::memcpy(head, tag, 4);
  plat::putLe32(head + 4, length);
  const uint8_t pad = 0;
  if (!writeAll(head, 8) || !writeAll(data, length) || ((length & 1) && !writeAll(&pad, 1))) {
    // Leave the file as it was before this chunk: the next one overwrites the rest.
    ::lseek(fd_, static_cast<off_t>(position_), SEEK_SET);
    return -1;
  }
  IndexEntry e;
  std::memcpy(e.tag, tag, 4);
  e.flags = indexFlags;
  e.offset = static_cast<uint32_t>(position_);
  e.length = length;
  index_.push_back(e);
  position_ += 8 + length + (length & 1);
  return 0;
}

std::vector<uint8_t> AviWriter::buildHeader(uint64_t fileLength, uint64_t moviEnd,
                                            bool indexWritten) const {
  std::vector<uint8_t> h(kAviHeaderSize, 0);
  const bool withAudio = audioBytes_ > 0 && channels_ > 0;
  const uint32_t headerLength = withAudio ? kAudioStrlEnd : kVideoStrlEnd;
  const uint32_t usPerFrame =
      frameRate_ < 0.001 ? 0 : static_cast<uint32_t>(1000000.0 / frameRate_ + 0.5);
  uint32_t blockAlign = ((bitsPerSample_ + 7u) / 8u) * channels_;
  if (blockAlign == 0) blockAlign = 1;

  Cursor c(h.data());
  c.tag("RIFF").u32(clamp32(fileLength - 8)).tag("AVI ");
  c.tag("LIST").u32(headerLength - 20).tag("hdrl");
  c.tag("avih").u32(56);
  c.u32(usPerFrame).u32(10000000).u32(0);
  c.u32(indexWritten ? (kAviFlagHasIndex | kAviFlagInterleaved) : kAviFlagInterleaved);
  c.u32(frames_).u32(0).u32(withAudio ? 2 : 1).u32(0).u32(width_).u32(height_).zeros(16);

  c.tag("LIST").u32(124).tag("strl");
  c.tag("strh").u32(64).tag("vids").bytes(compressor_, 4);
  c.u32(0).u32(0).u32(0).u32(usPerFrame).u32(1000000).u32(0).u32(frames_).u32(0);
  c.u32(0xFFFFFFFFu).u32(0).zeros(16);
  c.tag("strf").u32(40).u32(40).u32(width_).u32(height_).u16(1).u16(24).bytes(compressor_, 4);
  c.u32(uint32_t{width_} * height_).zeros(16);

  if (withAudio) {
    c.tag("LIST").u32(100).tag("strl");
    c.tag("strh").u32(64).tag("auds").u32(0);
    c.u32(0).u32(0).u32(0).u32(blockAlign).u32(blockAlign * samplesPerSecond_).u32(0);
    c.u32(clamp32(audioBytes_ / blockAlign)).u32(0).u32(0xFFFFFFFFu).u32(blockAlign).zeros(16);
    c.tag("strf").u32(16).u16(formatTag_).u16(channels_).u32(samplesPerSecond_);
    c.u32(blockAlign * samplesPerSecond_).u16(static_cast<uint16_t>(blockAlign)).u16(bitsPerSample_);
  }
  c.tag("JUNK").u32(2028 - headerLength);
  c.zeros(kJunkDataEnd - c.offset());
  c.tag("LIST").u32(clamp32(moviEnd - kMoviListSizeBase)).tag("movi");
  return h;
}

bool AviWriter::writeHeader(uint64_t fileLength, uint64_t moviEnd, bool indexWritten) {
  const auto header = buildHeader(fileLength, moviEnd, indexWritten);
  // In place at the start of the file; the write position stays after the last chunk.
  const ssize_t n = ::pwrite(fd_, header.data(), header.size(), 0);
  if (n == static_cast<ssize_t>(header.size())) return true;
  diskError_ = n < 0 ? errno : EIO;
  return false;
}

int AviWriter::Checkpoint() {
  if (fd_ < 0) return -1;
  // The chunks reach the disk before the header that points past them.
  if (::fdatasync(fd_) != 0) {
    diskError_ = errno;
    return -1;
  }
  return writeHeader(position_, position_, false) ? 0 : -1;
}

int AviWriter::finish() {
  int result = 0;
  const uint64_t moviEnd = position_;
  std::vector<uint8_t> idx;
  bool indexWritten = false;
  try {
    idx.resize(8 + index_.size() * kAviIndexEntrySize);
    std::memcpy(idx.data(), "idx1", 4);
    plat::putLe32(idx.data() + 4, static_cast<uint32_t>(index_.size() * kAviIndexEntrySize));
    uint8_t* p = idx.data() + 8;
    for (const auto& e : index_) {
      std::memcpy(p, e.tag, 4);
      plat::putLe32(p + 4, e.flags);
      plat::putLe32(p + 8, e.offset);
      plat::putLe32(p + 12, e.length);
      p += kAviIndexEntrySize;
    }
    indexWritten = writeAll(idx.data(), idx.size());
  } catch (const std::bad_alloc&) {
  }
  uint64_t end = moviEnd;
  if (indexWritten) {
    end += idx.size();
  } else {
    result = -1;
  }
  if (!writeHeader(end, moviEnd, indexWritten)) result = -1;
  if (::ftruncate(fd_, static_cast<off_t>(end)) != 0) result = -1;
  if (::close(fd_) != 0) result = -1;
  fd_ = -1;
  return result;
}

int AviWriter::Close(std::unique_ptr<AviWriter> writer) {
  if (!writer || writer->fd_ < 0) return -1;
  return writer->finish();
}

}  // namespace corvane
