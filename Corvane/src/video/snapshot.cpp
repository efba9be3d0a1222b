// Snapshots of what a player's main window shows, as 32-bit BMP or baseline JPEG files.
#include <cstring>

#include "plat/bytes.h"
#include "video/jpeg_encoder.h"
#include "plat/part_file.h"
#include "video/video_player.h"

namespace corvane {
namespace {

constexpr int kBmpFileHeaderSize = 14;
constexpr int kBmpPixelOffset = kBmpFileHeaderSize + kBitmapInfoHeaderSize;  // 54
constexpr int kJpegQualityStep = 5;

}  // namespace

// The last picture drawn is made again at its own size with its OSD, under the renderer's
// lock, so the drawing thread cannot change it half-way; whatever the display's format and
// the window's size, the snapshot holds the picture's 32-bit pixels.
bool VideoPlayer::snapshot32(std::vector<uint8_t>* pixels, int* width, int* height) {
  std::lock_guard<std::recursive_mutex> lk(drawMutex_);
  if (!main_.Snapshot32(&snapshotBuffer_, width, height)) return false;
  *pixels = snapshotBuffer_;
  return true;
}

int VideoPlayer::SaveBmp(const char* path) {
  if (!path) return 0;
  // The picture is taken before the file is touched: a snapshot that cannot be taken
  // leaves an earlier file at the path whole and makes no empty one.
  std::vector<uint8_t> pixels;
  int w = 0, h = 0;
  if (!snapshot32(&pixels, &w, &h)) return 0;
  // The picture grows in a part beside the path and takes its place only once it is whole:
  // a snapshot the disk refuses leaves nothing, and an earlier file at the path as it was.
  plat::PartFile part;
  if (!part.create(path)) return 0;
  const uint32_t imageSize = static_cast<uint32_t>(h) * (((32u * w + 31) & ~31u) / 8);
  imageSize_ = imageSize;
  uint8_t header[kBmpPixelOffset] = {};
  header[0] = 'B';
  header[1] = 'M';
  plat::putLe32(header + 2, kBmpPixelOffset + imageSize);
  plat::putLe32(header + 10, kBmpPixelOffset);
  uint8_t* info = header + kBmpFileHeaderSize;
  plat::putLe32(info + 0, kBitmapInfoHeaderSize);
  plat::putLe32(info + 4, static_cast<uint32_t>(w));
  plat::putLe32(info + 8, static_cast<uint32_t>(h));
  plat::putLe16(info + 12, 1);
  plat::putLe16(info + 14, 32);
  plat::putLe32(info + 20, imageSize);
  return part.write(header, sizeof header) && part.write(pixels.data(), imageSize) && part.commit() ? 1 : 0;
}

int VideoPlayer::SaveJpeg(const char* path) {
  if (!path) return 0;
  std::vector<uint8_t> pixels;
  int w = 0, h = 0;
  if (!snapshot32(&pixels, &w, &h)) return 0;
  // Rows of exactly width x 3 bytes, in the same bottom-up order.
  std::vector<uint8_t> packed(static_cast<size_t>(w) * h * 3);
  for (size_t i = 0, n = static_cast<size_t>(w) * h; i < n; ++i)
    std::memcpy(&packed[i * 3], &pixels[i * 4], 3);
  JpegEncoder encoder;
  return encoder.encode(path, w, h, packed.data(), w * 3, kJpegQualityStep) ? 1 : 0;
}

}  // namespace corvane
