#pragma once
#include <cstdint>
#include <string>

namespace streamplay {

constexpr uint32_t kMaxCaptureWidth = 720, kMaxCaptureHeight = 576;
constexpr size_t kBmpFileHeaderSize = 14, kBmpInfoHeaderSize = 40;

// Writes packed BGR (top row first) as a bottom-up 24-bit BMP file.
bool writeBmp24(const uint8_t* bgr, uint32_t width, uint32_t height, const std::string& path);

}  // namespace streamplay
