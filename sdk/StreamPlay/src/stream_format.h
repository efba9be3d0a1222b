#pragma once
// The recorder stream format (docs/protocols.md): an optional 16-byte stream header, then
// frames, each a 16-byte frame header and its payload.
#include <cstddef>
#include <cstdint>

namespace streamplay {

constexpr uint32_t kStreamMagic = 0x4D525453;  // "STRM"
constexpr uint32_t kFrameMagic = 0x314D5246;   // "FRM1"
constexpr size_t kStreamHeaderSize = 16;
constexpr size_t kFrameHeaderSize = 16;
constexpr uint32_t kMaxVideoFrame = 2u << 20;
constexpr uint32_t kMaxAudioFrame = 64u << 10;

enum FrameKind : uint8_t { kKindVideo = 1, kKindAudio = 2 };
enum VideoCodec : uint8_t { kVideoH264 = 1, kVideoMpeg4 = 2 };
enum AudioCodec : uint8_t { kAudioNone = 0, kAudioMulaw = 1, kAudioPcm16 = 2 };
constexpr uint8_t kFlagKey = 1;

struct StreamInfo {
  uint8_t videoCodec = 0, audioCodec = 0;
  uint16_t width = 0, height = 0, fps = 0;
};

struct FrameRef {
  uint8_t kind = 0, codec = 0, flags = 0;
  uint32_t timestamp = 0;
  size_t offset = 0;  // of the payload
  uint32_t length = 0;
};

enum class ParseResult { NeedMore, Frame, StreamHeader, Skipped };

// Looks at data[pos..n): a stream header (info filled), a whole frame (frame filled), too
// few bytes, or bytes that are neither (skipped up to the next possible header). pos moves
// past what was used or skipped; it does not move on NeedMore.
ParseResult parseNext(const uint8_t* data, size_t n, size_t& pos, StreamInfo* info,
                      FrameRef* frame);

}  // namespace streamplay
