#pragma once
// The recorder stream format as the emulator writes it (docs/protocols.md): a 16-byte stream
// header, then frames of a 16-byte frame header and the payload.
#include <cstdint>
#include <string>
#include <vector>

namespace dvremu {

struct StreamFrame {
  bool video = true;
  uint8_t codec = 1;  // video: 1 H.264, 2 MPEG-4; audio: 1 mu-law, 2 PCM 16-bit
  bool key = false;
  uint32_t timestamp = 0;  // ms
  std::vector<uint8_t> bytes;
};

struct StreamClip {
  uint8_t videoCodec = 1;
  uint8_t audioCodec = 0;
  uint16_t width = 0, height = 0, fps = 25;
  std::vector<StreamFrame> frames;
};

constexpr size_t kStreamHeaderBytes = 16;
constexpr size_t kFrameHeaderBytes = 16;

std::vector<uint8_t> streamHeader(const StreamClip& clip);
std::vector<uint8_t> frameBytes(const StreamFrame& frame);
// Header and all frames: what a saved or downloaded recording holds.
std::vector<uint8_t> streamFile(const StreamClip& clip);

// A clip from the test clip generator (video only) plus, when asked, a mu-law tone frame
// after every video frame. False when the generator cannot encode here.
bool generatedClip(bool mpeg4, int width, int height, int frames, int fps, bool audio,
                   StreamClip* out, std::string* error = nullptr);
// Reads a clip written by the generator (its stream and index files).
bool clipFromFile(const std::string& path, StreamClip* out, std::string* error = nullptr);

}  // namespace dvremu
