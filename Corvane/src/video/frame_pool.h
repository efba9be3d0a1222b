#pragma once
// Sets of media buffers per stream or playback, made once when their owner is made and
// recycled for its whole life: a free list and a ready list, both first in first out, under
// one lock held only for the list operation. Nothing is allocated while media flows. The
// buffers are zero-filled pages of one mapping per pool, committed as they are first
// written, so a pool of large buffers costs only what its frames fill. A consumer may also
// wait for a ready buffer and is woken at once when one is put in, or when its stop cancels
// the waits.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace corvane {

// Buffer sizes: a 40-byte media header before the data.
inline constexpr size_t kMediaHeaderSize = 40;
inline constexpr size_t kFrameDataMax = 358400;
inline constexpr size_t kFrameBufferSize = kMediaHeaderSize + kFrameDataMax;  // 358,440
// A live stream's frame buffers take frames up to 4 MiB of data (key frames of cameras at
// high bit rates); a frame beyond that is cut.
inline constexpr size_t kFrameDataLimit = 4u * 1024 * 1024;
inline constexpr size_t kFrameBufferLimit = kMediaHeaderSize + kFrameDataLimit;
inline constexpr size_t kAudioDataMax = 1024;
inline constexpr size_t kAudioBufferSize = kMediaHeaderSize + kAudioDataMax;  // 1,064
// A decoded picture copied from a decoder that cannot keep its own: 8-byte header, then
// I420 of up to 3840 x 2160 (4K cameras).
inline constexpr size_t kPictureHeaderSize = 8;
inline constexpr int kPictureMaxWidth = 3840;
inline constexpr int kPictureMaxHeight = 2160;
inline constexpr size_t kPictureBufferSize =
    kPictureHeaderSize + size_t{kPictureMaxWidth} * kPictureMaxHeight * 3 / 2;

// Pool counts.
inline constexpr int kLiveFramesDisplaying = 50;
inline constexpr int kLiveFramesHeadless = 2;
inline constexpr int kLiveAudioBlocks = 10;
inline constexpr int kLiveTalkBlocks = 10;
inline constexpr int kLivePictures = 8;  // only while the stream displays
inline constexpr int kPlaybackFrames = 10;
inline constexpr int kPlaybackAudioBlocks = 10;

class FramePool {
 public:
  // `count` buffers of `size` bytes, zero-filled.
  FramePool(int count, size_t size);
  ~FramePool();
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;

  uint8_t* takeFree();            // the oldest free buffer, or null
  void giveFree(uint8_t* buffer);  // back to the end of the free list
  void putReady(uint8_t* buffer);  // a filled buffer to the end of the ready list
  uint8_t* takeReady();           // the oldest ready buffer, or null

  // As above, waiting up to `productMs` (scaled) for one; null on time-out or cancel.
  uint8_t* takeReadyWait(int productMs);
  // Ends every wait at once and makes later ones return at once, until resumed.
  void cancelWaits();
  void resumeWaits();

  int readyCount() const;
  int freeCount() const;
  int count() const { return count_; }
  size_t bufferSize() const { return size_; }
  // Bytes of the buffers that are in memory: the pages written so far.
  size_t committedBytes() const;

 private:
  // A ring of at most count() entries: never grows, so lists need no allocation.
  struct Ring {
    std::vector<uint8_t*> cells;
    size_t head = 0, size = 0;
    bool push(uint8_t* p);
    uint8_t* pop();
  };
  bool owns(const uint8_t* p) const;

  const int count_;
  const size_t size_;
  size_t stride_ = 0;  // from one buffer to the next: whole cache lines
  size_t bytes_ = 0;
  uint8_t* memory_ = nullptr;
  mutable std::mutex mutex_;
  std::condition_variable readyCv_;
  bool cancelled_ = false;
  Ring free_, ready_;
};

// A frame, audio or talk buffer: its 40-byte header, read and written field by field; the data
// follow it at kMediaHeaderSize.
struct MediaBuffer {
  uint32_t stamp = 0;
  uint32_t length = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint16_t codec = 0;
  uint16_t keyFrame = 0;
  uint32_t seconds = 0;
  uint32_t microseconds = 0;

  void write(uint8_t* buffer) const;
  static MediaBuffer read(const uint8_t* buffer);
};

// A decoded picture as a copy holds it: the 8-byte header, then its planes, placed by the
// picture's own width and height.
struct DecodedPicture {
  uint32_t time = 0;
  uint16_t width = 0;
  uint16_t height = 0;

  void write(uint8_t* buffer) const;
  static DecodedPicture read(const uint8_t* buffer);
  // Bytes the picture needs including its header.
  static size_t bytesFor(int width, int height);
  static size_t uOffset(int width, int height);
  static size_t vOffset(int width, int height);
};

}  // namespace corvane
