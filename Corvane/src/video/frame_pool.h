#pragma once
// Sets of media buffers per stream or playback, recycled: a free list and a ready list, both
// first in first out, under one lock held only for the list operation. Memory is committed
// as it is used: a buffer is made the first time the free list runs dry (up to the pool's
// count), at the size the stream needs, and grows when a larger frame or picture comes (up
// to the pool's limit). The threads on either side wait for a buffer and are woken at once
// when one is put in, or when their stop cancels the waits.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace corvane {

// Buffer sizes: a 40-byte media header before the data.
inline constexpr size_t kMediaHeaderSize = 40;
// A frame buffer starts at this size and grows for larger frames up to 4 MiB of data
// (larger key frames at high bit rates); a frame beyond that is cut.
inline constexpr size_t kFrameDataMax = 358400;
inline constexpr size_t kFrameBufferSize = kMediaHeaderSize + kFrameDataMax;  // 358,440
inline constexpr size_t kFrameDataLimit = 4u * 1024 * 1024;
inline constexpr size_t kFrameBufferLimit = kMediaHeaderSize + kFrameDataLimit;
// Frame buffers are first made at this size, enough for most frames of a camera stream.
inline constexpr size_t kFrameBufferInitial = 64 * 1024;
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
// A live stream shows the newest picture: a picture with more than this many frames waiting
// behind it (network and scheduling jitter) is dropped.
inline constexpr int kLiveJitterPictures = 2;
// Its decoded pictures: the one the windows show (kept for snapshots, let go as the next is
// drawn) and the one being decoded. Each one kept is a decoder's picture (3 MB at 1080p)
// the decoder cannot use again meanwhile: the count bounds a stream's memory.
inline constexpr int kLivePictures = 2;
inline constexpr int kPlaybackFrames = 10;
inline constexpr int kPlaybackAudioBlocks = 10;

class FramePool {
 public:
  // Up to `count` buffers of `size` bytes, which grow() takes up to `limit` (at least size).
  FramePool(int count, size_t size, size_t limit = 0);
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;

  uint8_t* takeFree();            // the oldest free buffer (made if need be), or null
  void giveFree(uint8_t* buffer);  // back to the end of the free list
  void putReady(uint8_t* buffer);  // a filled buffer to the end of the ready list
  uint8_t* takeReady();           // the oldest ready buffer, or null

  // As above, waiting up to `productMs` (scaled) for one; null on time-out or cancel.
  uint8_t* takeFreeWait(int productMs);
  uint8_t* takeReadyWait(int productMs);
  // The oldest ready buffer, waiting until `deadline` (real time) for one.
  uint8_t* takeReadyUntil(std::chrono::steady_clock::time_point deadline);
  // Ends every wait at once and makes later ones return at once, until resumed.
  void cancelWaits();
  void resumeWaits();

  // The buffer (taken, not on a list) with room for at least `bytes`: the same one, or a
  // larger one in its place (contents not kept). Null, leaving the buffer as it was, when
  // `bytes` is beyond the limit.
  uint8_t* grow(uint8_t* buffer, size_t bytes);
  size_t capacity(const uint8_t* buffer) const;

  int readyCount() const;
  int freeCount() const;  // including buffers not made yet
  int count() const { return count_; }
  int madeCount() const;  // buffers made so far
  size_t bufferSize() const { return size_; }
  size_t limit() const { return limit_; }
  size_t committedBytes() const;

 private:
  // A ring of at most count() entries: never grows, so lists need no allocation.
  struct Ring {
    std::vector<uint8_t*> cells;
    size_t head = 0, size = 0;
    bool push(uint8_t* p);
    uint8_t* pop();
  };
  // Picture memory (plat/aligned_bytes.h): pictures written into it stream whole lines.
  struct LineFree {
    void operator()(uint8_t* p) const noexcept;
  };
  struct Slot {
    std::unique_ptr<uint8_t[], LineFree> memory;
    size_t size = 0;
  };
  Slot* slotOf(const uint8_t* p);
  const Slot* slotOf(const uint8_t* p) const;
  uint8_t* takeFreeLocked();

  const int count_;
  const size_t size_, limit_;
  std::vector<Slot> slots_;  // reserved for count_: never moves
  mutable std::mutex mutex_;
  std::condition_variable freeCv_, readyCv_;
  bool cancelled_ = false;
  Ring free_, ready_;
};

// The 40-byte header of a frame, audio or talk buffer, read and written field by field.
struct MediaHeader {
  uint32_t stamp = 0;
  uint32_t length = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint16_t codec = 0;
  uint16_t keyFrame = 0;
  uint32_t seconds = 0;
  uint32_t microseconds = 0;

  void write(uint8_t* buffer) const;
  static MediaHeader read(const uint8_t* buffer);
};

// The 8-byte header of a decoded picture and where its planes lie.
struct PictureHeader {
  uint32_t time = 0;
  uint16_t width = 0;
  uint16_t height = 0;

  void write(uint8_t* buffer) const;
  static PictureHeader read(const uint8_t* buffer);
  // Bytes the picture needs including its header.
  static size_t bytesFor(int width, int height);
  static size_t uOffset(int width, int height);
  static size_t vOffset(int width, int height);
};

}  // namespace corvane
