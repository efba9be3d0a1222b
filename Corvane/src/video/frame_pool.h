#pragma once
// Fixed sets of media buffers, allocated once per stream or playback and recycled: a free
// list and a ready list, both first in first out, under one lock held only for the list
// operation. Nothing is allocated while media flows.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace corvane {

// Buffer sizes: a 40-byte media header before the data.
inline constexpr size_t kMediaHeaderSize = 40;
inline constexpr size_t kFrameDataMax = 358400;
inline constexpr size_t kFrameBufferSize = kMediaHeaderSize + kFrameDataMax;  // 358,440
inline constexpr size_t kAudioDataMax = 1024;
inline constexpr size_t kAudioBufferSize = kMediaHeaderSize + kAudioDataMax;  // 1,064
// A decoded picture: 8-byte header, then I420 of up to 1920 x 1440.
inline constexpr size_t kPictureHeaderSize = 8;
inline constexpr int kPictureMaxWidth = 1920;
inline constexpr int kPictureMaxHeight = 1440;
inline constexpr size_t kPictureBufferSize =
    kPictureHeaderSize + size_t{kPictureMaxWidth} * kPictureMaxHeight * 3 / 2;  // 4,147,208

// Pool counts.
inline constexpr int kLiveFramesDisplaying = 50;
inline constexpr int kLiveFramesHeadless = 2;
inline constexpr int kLiveAudioBlocks = 10;
inline constexpr int kLiveTalkBlocks = 10;
inline constexpr int kLivePictures = 8;
inline constexpr int kPlaybackFrames = 10;
inline constexpr int kPlaybackAudioBlocks = 10;

class FramePool {
 public:
  // `count` zero-filled buffers of `size` bytes, all on the free list.
  FramePool(int count, size_t size);
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;

  uint8_t* takeFree();            // the oldest free buffer, or null
  void giveFree(uint8_t* buffer);  // back to the end of the free list
  void putReady(uint8_t* buffer);  // a filled buffer to the end of the ready list
  uint8_t* takeReady();           // the oldest ready buffer, or null

  int readyCount() const;
  int freeCount() const;
  int count() const { return static_cast<int>(storage_.size()); }
  size_t bufferSize() const { return size_; }

 private:
  // A ring of at most count() entries: never grows, so no allocation after construction.
  struct Ring {
    std::vector<uint8_t*> slots;
    size_t head = 0, size = 0;
    bool push(uint8_t* p);
    uint8_t* pop();
  };
  bool owns(const uint8_t* p) const;

  size_t size_;
  std::vector<std::unique_ptr<uint8_t[]>> storage_;
  mutable std::mutex mutex_;
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
