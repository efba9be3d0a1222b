#pragma once
// Writes one RIFF AVI file: a 2,048-byte header, the "movi" list of video ("00dc") and audio
// ("01wb") chunks in the order they come, and the "idx1" index. The header is valid from the
// first byte on and is brought up to date by Checkpoint, so a file cut short by a crash or a
// power loss plays up to its last checkpoint; Close adds the index and the final header.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

constexpr uint32_t kAviHeaderSize = 2048;
constexpr uint32_t kAviIndexEntrySize = 16;
constexpr uint32_t kAviIndexGrowth = 4096;       // entries
constexpr uint64_t kAviMaxFileBytes = 2000000000;
constexpr uint32_t kAviFlagHasIndex = 0x10;
constexpr uint32_t kAviFlagInterleaved = 0x10000;
constexpr uint32_t kAviIndexKeyFrame = 0x10;

struct AviWriterOptions {
  uint64_t maxFileBytes = kAviMaxFileBytes;
  bool exclusive = false;  // refuse an existing file instead of truncating it
  // Replaces write(2), so tests can make the disk fill up.
  std::function<ssize_t(int fd, const void* data, size_t bytes)> writeFn;
};

class AviWriter {
 public:
  // Null when the file cannot be made or its first header not written; *error then holds
  // errno.
  static std::unique_ptr<AviWriter> Open(const std::string& path, AviWriterOptions options = {},
                                         int* error = nullptr);
  ~AviWriter();  // a writer not closed by Close leaves an unfinished file
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  void SetVideo(uint16_t width, uint16_t height, double frameRate, const char compressor[4]);
  void SetAudio(uint16_t channels, uint32_t samplesPerSecond, uint16_t bitsPerSample,
                uint16_t formatTag);
  // 0, or -1 when the chunk was not written (limit, memory, disk); the file stays usable.
  int WriteVideo(const void* data, uint32_t length, bool keyFrame);
  int WriteAudio(const void* data, uint32_t length);
  // Flushes the chunks written so far to the disk, then rewrites the header to cover them
  // (without the index flag). 0, or -1 when the flush or the header write failed.
  int Checkpoint();
  // Writes index and header and closes; 0, or -1 when any of it failed. Frees the writer.
  static int Close(std::unique_ptr<AviWriter> writer);

  // errno of the last write that failed on the disk (0 when none did): a chunk refused for
  // the size limit or for memory leaves it 0.
  int diskError() const { return diskError_; }

  uint32_t frames() const { return frames_; }
  uint64_t audioBytes() const { return audioBytes_; }
  uint64_t position() const { return position_; }

 private:
  AviWriter(int fd, AviWriterOptions options);
  struct IndexEntry {
    char tag[4];
    uint32_t flags;
    uint32_t offset;
    uint32_t length;
  };
  int writeChunk(const char tag[4], const void* data, uint32_t length, uint32_t indexFlags);
  bool writeAll(const void* data, size_t bytes);
  bool writeHeader(uint64_t fileLength, uint64_t moviEnd, bool indexWritten);
  int finish();
  std::vector<uint8_t> buildHeader(uint64_t fileLength, uint64_t moviEnd, bool indexWritten) const;

  int fd_;
  AviWriterOptions options_;
  uint16_t width_ = 0, height_ = 0;
  double frameRate_ = 0;
  char compressor_[4] = {0, 0, 0, 0};
  uint32_t frames_ = 0;
  uint16_t channels_ = 0, bitsPerSample_ = 0, formatTag_ = 0;
  uint32_t samplesPerSecond_ = 0;
  uint64_t audioBytes_ = 0;
  uint64_t position_ = kAviHeaderSize;
  std::vector<IndexEntry> index_;
  int diskError_ = 0;
};

}  // namespace corvane
