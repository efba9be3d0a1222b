#pragma once
#include <cstdint>
#include <string>

namespace streamplay {

constexpr uint32_t kMaxCaptureWidth = 720, kMaxCaptureHeight = 576;
// The capture buffer its callers hand over: 720 x 576 pixels of 3 bytes (1,244,160).
constexpr uint64_t kCaptureBufferBytes = uint64_t{kMaxCaptureWidth} * kMaxCaptureHeight * 3;
constexpr size_t kBmpFileHeaderSize = 14, kBmpInfoHeaderSize = 40;

// Writes packed BGR (top row first) as a bottom-up 24-bit BMP file.
bool writeBmp24(const uint8_t* bgr, uint32_t width, uint32_t height, const std::string& path);

}  // namespace streamplay
