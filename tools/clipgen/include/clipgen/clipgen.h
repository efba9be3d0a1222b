#pragma once
// Short H.264 and MPEG-4 test clips made on the spot, with an index of their frames, so
// tests and emulators build their fixtures instead of keeping binaries in the repository.
// Every picture carries its own frame number as a row of black and white blocks along its
// top edge, so a decoded picture can be matched to the frame it came from.
#include <cstdint>
#include <string>
#include <vector>

namespace clipgen {

enum class Codec { H264, Mpeg4 };

struct Options {
  Codec codec = Codec::H264;
  int width = 352;   // even
  int height = 288;  // even
  int frames = 25;
  int fps = 25;
  int gop = 12;          // a key frame every gop frames
  int bitrate = 600000;  // bits per second
  // H.264 only: the encoder's speed preset. The default makes the simplest streams (no
  // CABAC, no deblocking); "veryfast" and slower give streams like a camera's.
  std::string preset = "ultrafast";
  // H.264 only: the profile ("baseline", "main", "high"); empty: the one the preset makes.
  std::string profile = "";
};

// One frame (access unit) of the elementary stream.
struct FrameEntry {
  int index = 0;
  uint64_t offset = 0;
  uint32_t size = 0;
  bool key = false;
};

struct Clip {
  Codec codec = Codec::H264;
  int width = 0;
  int height = 0;
  int fps = 0;
  std::vector<uint8_t> data;  // the elementary stream (Annex B for H.264)
  std::vector<FrameEntry> frames;

  // The bytes of frame i.
  std::vector<uint8_t> frameBytes(size_t i) const;
};

// Encodes a clip of the test pattern. Returns false (and a reason) when the encoder is
// missing or refuses the options.
bool generate(const Options& options, Clip* clip, std::string* error = nullptr);

// Writes the stream to `path` and the index beside it as `path`.idx, one line per frame:
// "index offset size key". Reads both back.
bool writeClip(const Clip& clip, const std::string& path, std::string* error = nullptr);
bool readClip(const std::string& path, Clip* clip, std::string* error = nullptr);

// An H.264 key frame made `total` bytes long by a user-data SEI message in front of its
// first slice (the picture is unchanged; the slice then lies past the first megabytes).
// Empty when the frame has no IDR slice or is already longer.
std::vector<uint8_t> padKeyFrame(const std::vector<uint8_t>& frame, size_t total);

// The test pattern: the I420 picture of frame `index` (Y plane, then U, then V).
std::vector<uint8_t> patternPicture(int width, int height, int index);

// Number of frame-number blocks along the top edge and their size in pixels.
inline constexpr int kIndexBits = 12;
inline constexpr int kIndexBlock = 16;

// Reads the frame number back from a decoded luma plane; -1 when the picture is too small
// to carry it or a block is neither clearly dark nor clearly light.
int readFrameIndex(const uint8_t* y, int stride, int width, int height);
// The same from a shown 32-bit picture (blue, green, red, one more byte a pixel, `stride`
// bytes a row): the blocks are black or white, so green serves as luma.
int readFrameIndexBgrx(const uint8_t* pixels, int stride, int width, int height);
// The same from a shown picture that is the clip's `pictureWidth` x `pictureHeight` picture
// scaled to `width` x `height` (as a window shows it): the blocks are read where they landed.
int readFrameIndexBgrx(const uint8_t* pixels, int stride, int width, int height, int pictureWidth,
                       int pictureHeight);

}  // namespace clipgen
